#include "framework/paths.h"

namespace {

std::size_t LastSeparator(std::string_view path)
{
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsPathSeparator(path[i - 1]))
            return i - 1;
    }
    return std::string_view::npos;
}

} // namespace

std::string GetFileName(std::string_view path)
{
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos) {
        // "C:name" on Windows: the name follows the drive.
        const std::size_t colon = path.find(':');
        return std::string(colon == std::string_view::npos || PreferredPathSeparator() == '/' ? path
                                                                                              : path.substr(colon + 1));
    }
    return std::string(path.substr(separator + 1));
}

std::string GetParentPath(std::string_view path)
{
    const std::size_t separator = LastSeparator(path);
    if (separator == std::string_view::npos)
        return {};
    std::size_t end = separator;
    while (end > 0 && IsPathSeparator(path[end - 1]))
        --end;
    // Keep the root: "/", "\", "C:\".
    if (end == 0 || (end == 2 && path[1] == ':' && PreferredPathSeparator() == '\\'))
        return std::string(path.substr(0, end + 1));
    return std::string(path.substr(0, end));
}

std::string MakePathSpec(std::string_view path)
{
    std::string spec(path);
    if (spec.empty() || IsPathSeparator(spec.back()))
        return spec;
    if (PreferredPathSeparator() == '\\' && spec.size() == 2 && spec[1] == ':')
        return spec;
    spec.push_back(PreferredPathSeparator());
    return spec;
}

std::string ExpEnv(std::string_view text)
{
    std::string result;
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t open = text.find('%', position);
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            result.append(text.substr(position));
            break;
        }
        result.append(text.substr(position, open - position));
        const std::string name(text.substr(open + 1, close - open - 1));
        bool found = false;
        const std::string value = name.empty() ? std::string() : GetEnvironmentText(name, found);
        if (found) {
            result.append(value);
            position = close + 1;
        } else {
            // Not a variable: keep the first "%" and look again from the second one.
            result.append(text.substr(open, close - open));
            position = close;
        }
    }
    return result;
}
