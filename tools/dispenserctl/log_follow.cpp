#include "tools/dispenserctl/log_follow.h"

#include "tools/dispenserctl/file_text.h"

#include <system_error>

bool LogFollower::Start(const std::string& path, std::size_t lastLines, const Line& line)
{
    path_ = path;
    offset_ = 0;
    partial_.clear();
    const std::optional<std::string> text = ReadFileFrom(path_);
    if (!text)
        return false;
    offset_ = text->size();
    const std::size_t end = text->rfind('\n');
    if (end == std::string::npos) {
        partial_ = *text;
        return true;
    }
    for (std::string_view whole : LastLines(std::string_view(*text).substr(0, end + 1), lastLines))
        line(whole);
    partial_ = text->substr(end + 1);
    return true;
}

bool LogFollower::Poll(const std::string& path, const Line& line)
{
    if (path != path_) {
        if (!path_.empty())
            ReadNew(line);
        path_ = path;
        offset_ = 0;
        partial_.clear();
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(PathOf(path_), error);
    if (error)
        return false;
    if (size < offset_) {
        // Cut short or replaced by a new file: start over.
        offset_ = 0;
        partial_.clear();
    }
    ReadNew(line);
    return true;
}

void LogFollower::ReadNew(const Line& line)
{
    const std::optional<std::string> added = ReadFileFrom(path_, offset_);
    if (!added)
        return;
    offset_ += added->size();
    partial_ += *added;
    const std::size_t end = partial_.rfind('\n');
    if (end == std::string::npos)
        return;
    for (std::string_view whole : SplitLines(std::string_view(partial_).substr(0, end + 1)))
        line(whole);
    partial_.erase(0, end + 1);
}

std::vector<std::string_view> LogFollower::LastLines(std::string_view text, std::size_t count)
{
    std::vector<std::string_view> lines = SplitLines(text);
    if (lines.size() > count)
        lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(count));
    return lines;
}

std::vector<std::string_view> SplitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return lines;
}
