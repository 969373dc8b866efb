// UTF-8 <-> UTF-16 conversion. Text is UTF-8 everywhere inside the plug-in and
// becomes UTF-16 only at Windows and COM boundaries. Ill-formed input is never
// rejected: each bad sequence becomes U+FFFD.
#pragma once

#include <string>
#include <string_view>

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
