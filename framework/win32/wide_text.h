// UTF-8 text at the Windows API's UTF-16 boundary (wchar_t is 16 bits on Windows).
#pragma once

#include "framework/utf.h"

#include <string>
#include <string_view>

inline std::wstring Widen(std::string_view text)
{
    const std::u16string wide = Utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string Narrow(std::wstring_view text)
{
    return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
