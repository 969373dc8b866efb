#include "framework/text_format.h"

#include <cstdio>

namespace {

bool IsContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

} // namespace

std::string_view Utf8Prefix(std::string_view text, std::size_t limit) noexcept
{
    if (text.size() <= limit)
        return text;
    // Step back from the cut over at most three continuation bytes: the cut then
    // falls before the lead byte of the character it would have split.
    std::size_t cut = limit;
    for (int step = 0; step < 3 && cut > 0 && IsContinuationByte(text[cut]); ++step)
        --cut;
    if (IsContinuationByte(text[cut]))
        cut = limit; // not UTF-8 at all here: cut bytes as they are
    return text.substr(0, cut);
}

std::string FormatTextV(const char* format, std::va_list arguments)
{
    std::va_list measure;
    va_copy(measure, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0)
        return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    return text;
}

std::string FormatText(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::string text = FormatTextV(format, arguments);
    va_end(arguments);
    return text;
}

std::string FormatBufferV(std::size_t size, const char* format, std::va_list arguments)
{
    if (size == 0)
        return {};
    std::string text = FormatTextV(format, arguments);
    text.resize(Utf8Prefix(text, size - 1).size());
    return text;
}

std::string FormatBuffer(std::size_t size, const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::string text = FormatBufferV(size, format, arguments);
    va_end(arguments);
    return text;
}
