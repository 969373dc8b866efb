// printf-style formatting into owned UTF-8 strings.
#pragma once

#include "platform_types.h"

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

// printf into a text of at most size - 1 bytes (the size counts the terminating
// zero of a C buffer, as the sizes 256, 512 and 4096 used by callers do). A text
// that does not fit is cut at the last whole UTF-8 character that fits; nothing
// overflows. A size of 0 gives an empty text.
std::string FormatBuffer(std::size_t size, const char* format, ...) ORVANE_PRINTF(2, 3);
std::string FormatBufferV(std::size_t size, const char* format, std::va_list arguments) ORVANE_PRINTF(2, 0);

// printf into a text of any length.
std::string FormatText(const char* format, ...) ORVANE_PRINTF(1, 2);
std::string FormatTextV(const char* format, std::va_list arguments) ORVANE_PRINTF(1, 0);

// The longest prefix of text no longer than limit bytes that does not end inside a
// UTF-8 character (a lead byte's continuation bytes are never separated from it).
std::string_view Utf8Prefix(std::string_view text, std::size_t limit) noexcept;
