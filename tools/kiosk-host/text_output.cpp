#include "tools/kiosk-host/text_output.h"

#include "windows_api.h"

#include <string>

namespace {

void WriteLine(DWORD stream, std::string_view text)
{
    const HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE)
        return;
    // One write per line keeps lines whole when both streams share one pipe.
    std::string line(text);
    line += '\n';
    DWORD written = 0;
    WriteFile(handle, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

} // namespace

void PrepareConsoleOutput()
{
    SetConsoleOutputCP(CP_UTF8);
}

void PrintLine(std::string_view text)
{
    WriteLine(STD_OUTPUT_HANDLE, text);
}

void PrintError(std::string_view text)
{
    WriteLine(STD_ERROR_HANDLE, text);
}
