#include "framework/system_error.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/win32/wide_text.h"
#include "windows_api.h"

std::string SystemErrorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr)
        return {};
    std::wstring text(buffer, length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
        text.pop_back();
    return Narrow(text);
}

std::string DescribeSystemCallError(unsigned long code, const char* file, int line)
{
    return FormatText("Windows system call error %i (%08lX) at \"%s\":%i", static_cast<int>(code), code, file, line);
}

unsigned long LastSystemError() noexcept
{
    return GetLastError();
}
