#include "tools/kiosk-host/variable_store.h"

#include <algorithm>

namespace {

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithAsciiCaseless(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
}

} // namespace

bool VariableStore::AsciiCaseLess::operator()(std::string_view left, std::string_view right) const
{
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return static_cast<unsigned char>(FoldAscii(a)) < static_cast<unsigned char>(FoldAscii(b));
    });
}

void VariableStore::Set(const std::string& name, const std::string& text)
{
    const auto found = variables_.find(name);
    if (text.empty()) {
        if (found != variables_.end())
            variables_.erase(found);
    } else if (found != variables_.end()) {
        found->second = text;
    } else {
        variables_.emplace(name, text);
    }
}

std::string VariableStore::Get(std::string_view name) const
{
    const auto found = variables_.find(name);
    return found != variables_.end() ? found->second : std::string();
}

std::vector<std::pair<std::string, std::string>> VariableStore::List(std::string_view prefix) const
{
    std::vector<std::pair<std::string, std::string>> listed;
    // The names with the prefix form one run of the case-insensitive order.
    for (auto at = variables_.lower_bound(prefix); at != variables_.end() && StartsWithAsciiCaseless(at->first, prefix);
         ++at)
        listed.emplace_back(at->first, at->second);
    return listed;
}
