#include "tools/dispenserctl/console_platform.h"
#include "tools/dispenserctl/typed_lines.h"

#include "framework/win32/wide_text.h"
#include "windows_api.h"

#include <shellapi.h>

#include <iterator>
#include <memory>
#include <mutex>

namespace {

// ENABLE_VIRTUAL_TERMINAL_PROCESSING (Windows 10 and later; older consoles refuse it).
constexpr DWORD kVirtualTerminalOutput = 0x0004;

// Standard handles belong to the process: never closed here.
HANDLE HandleOf(ConsoleStream stream)
{
    return GetStdHandle(stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}

bool IsConsole(HANDLE handle, DWORD* mode = nullptr)
{
    DWORD ignored = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, mode ? mode : &ignored) != 0;
}

std::mutex g_inputMutex;
TypedLines g_typed;

} // namespace

void PrepareConsole()
{
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    for (ConsoleStream stream : {ConsoleStream::Output, ConsoleStream::Error}) {
        const HANDLE handle = HandleOf(stream);
        DWORD mode = 0;
        if (IsConsole(handle, &mode))
            SetConsoleMode(handle, mode | kVirtualTerminalOutput);
    }
}

bool StreamShowsColour(ConsoleStream stream)
{
    DWORD mode = 0;
    return IsConsole(HandleOf(stream), &mode) && (mode & kVirtualTerminalOutput) != 0;
}

bool InputIsTerminal()
{
    return IsConsole(GetStdHandle(STD_INPUT_HANDLE));
}

bool WriteStream(ConsoleStream stream, std::string_view text)
{
    const HANDLE handle = HandleOf(stream);
    if (IsConsole(handle)) {
        // The console takes UTF-16; UTF-8 bytes split across writes would show as garbage.
        const std::wstring wide = Widen(text);
        DWORD written = 0;
        return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
    }
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

// Ctrl+C ends a console read at once (it returns no characters), so only the stop
// check before the read is needed here.
std::optional<std::string> ReadTerminalLine(const std::function<bool()>& stopRequested)
{
    std::lock_guard lock(g_inputMutex);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    for (;;) {
        if (auto line = g_typed.TakeLine())
            return line;
        if (stopRequested())
            return std::nullopt;
        wchar_t buffer[256];
        DWORD got = 0;
        if (!ReadConsoleW(input, buffer, static_cast<DWORD>(std::size(buffer)), &got, nullptr) || got == 0)
            return std::nullopt;
        g_typed.Append(Narrow(std::wstring_view(buffer, got)));
    }
}

std::vector<std::string> CommandLineArguments(int /*argc*/, char** /*argv*/)
{
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> wide(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
    std::vector<std::string> arguments;
    for (int i = 1; wide && i < count; ++i)
        arguments.push_back(Narrow(wide.get()[i]));
    return arguments;
}
