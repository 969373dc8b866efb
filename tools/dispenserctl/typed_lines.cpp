#include "tools/dispenserctl/typed_lines.h"

bool TypedLines::EndInput()
{
    if (text_.empty())
        return false;
    text_ += '\n';
    return true;
}

std::optional<std::string> TypedLines::TakeLine()
{
    const std::size_t end = text_.find('\n');
    if (end == std::string::npos)
        return std::nullopt;
    std::string line = text_.substr(0, end);
    text_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}
