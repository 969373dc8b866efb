#include "tools/kiosk-host/script_file.h"

#include "tools/kiosk-host/usage_error.h"

#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

namespace {

constexpr std::string_view kBlanks = " \t\r";

std::string_view Trim(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

} // namespace

std::vector<ScriptLine> ReadScript(const std::filesystem::path& path, const std::string& shownName)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw UsageError("cannot read the script " + shownName);
    std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad())
        throw UsageError("cannot read the script " + shownName);
    if (content.starts_with("\xEF\xBB\xBF"))
        content.erase(0, 3);

    std::vector<ScriptLine> lines;
    std::istringstream stream(content);
    int number = 0;
    for (std::string raw; std::getline(stream, raw);) {
        ++number;
        const std::string_view line = Trim(raw);
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t blank = line.find_first_of(kBlanks);
        std::string_view word = line.substr(0, blank);
        if (word.starts_with("--"))
            word.remove_prefix(2);
        const std::string_view rest = blank == std::string_view::npos ? std::string_view() : Trim(line.substr(blank));
        lines.push_back({number, std::string(word), std::string(rest)});
    }
    return lines;
}
