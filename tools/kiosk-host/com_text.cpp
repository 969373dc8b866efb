#include "tools/kiosk-host/com_text.h"

#include "framework/win32/wide_text.h"

#include <cstdio>
#include <new>

UniqueBstr MakeBstr(std::string_view utf8)
{
    const std::wstring wide = Widen(utf8);
    UniqueBstr text(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    if (!text)
        throw std::bad_alloc();
    return text;
}

std::string BstrToUtf8(BSTR text)
{
    if (text == nullptr)
        return {};
    return Narrow(std::wstring_view(text, SysStringLen(text)));
}

std::string HresultText(HRESULT result)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(result));
    return text;
}
