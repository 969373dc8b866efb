#include "framework/text_utils.h"

namespace {

constexpr const char* kBlanks = " \t\r\n";

char LowerAscii(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

void trim(std::string& text)
{
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(kBlanks) + 1);
    text.erase(0, first);
}

bool EqualsNoCase(std::string_view a, std::string_view b) noexcept
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const noexcept
{
    // A plain loop: this runs for every registry lookup, also in unoptimised builds.
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(a[i] | ((a[i] >= 'A' && a[i] <= 'Z') ? 0x20 : 0));
        const auto y = static_cast<unsigned char>(b[i] | ((b[i] >= 'A' && b[i] <= 'Z') ? 0x20 : 0));
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}
