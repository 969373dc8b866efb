#include "tests/unit/tools/standard_streams_double.h"

#include "framework/win32/unique_handle.h"
#include "framework/win32/wide_text.h"
#include "windows_api.h"

#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

DWORD StandardHandleOf(ConsoleStream stream)
{
    return stream == ConsoleStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
}

void Check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("test stream setup failed: ") + what + ", error " +
                                 std::to_string(GetLastError()));
}

UniqueFileHandle OpenConsoleBuffer(const wchar_t* name)
{
    UniqueFileHandle handle(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
    Check(handle.Valid(), "open the console buffer");
    return handle;
}

INPUT_RECORD KeyRecord(wchar_t character, bool down)
{
    INPUT_RECORD record{};
    record.EventType = KEY_EVENT;
    record.Event.KeyEvent.bKeyDown = down ? TRUE : FALSE;
    record.Event.KeyEvent.wRepeatCount = 1;
    record.Event.KeyEvent.wVirtualKeyCode = character == L'\r' ? VK_RETURN : 0;
    record.Event.KeyEvent.uChar.UnicodeChar = character;
    return record;
}

// The screen's rows up to the cursor's, without their trailing blanks, as UTF-8.
std::string ScreenText(HANDLE output)
{
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(output, &info) || info.dwSize.X <= 0)
        return {};
    std::string text;
    for (SHORT row = 0; row <= info.dwCursorPosition.Y; ++row) {
        std::wstring cells(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(output, cells.data(), static_cast<DWORD>(cells.size()), COORD{0, row}, &read);
        cells.resize(read);
        cells.erase(cells.find_last_not_of(L' ') + 1);
        text += Narrow(cells) + '\n';
    }
    return text;
}

} // namespace

struct TerminalDouble::State {
    HANDLE savedInput = GetStdHandle(STD_INPUT_HANDLE);
    HANDLE savedOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE savedError = GetStdHandle(STD_ERROR_HANDLE);
    UniqueFileHandle input;
    UniqueFileHandle screen;
};

// wine starts a program whose standard handles are not a console with a console that
// has no window and takes no keys: the test gets a real one of its own instead.
TerminalDouble::TerminalDouble() : state_(std::make_unique<State>())
{
    FreeConsole();
    Check(AllocConsole() != 0, "AllocConsole");
    DWORD mode = 0;
    Check(GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0,
          "a console that takes keys (under wine it needs a display: scripts/wine-session.sh)");
    state_->input = OpenConsoleBuffer(L"CONIN$");
    state_->screen = OpenConsoleBuffer(L"CONOUT$");
}

TerminalDouble::~TerminalDouble()
{
    state_->input.Reset();
    state_->screen.Reset();
    FreeConsole();
    SetStdHandle(STD_INPUT_HANDLE, state_->savedInput);
    SetStdHandle(STD_OUTPUT_HANDLE, state_->savedOutput);
    SetStdHandle(STD_ERROR_HANDLE, state_->savedError);
}

void TerminalDouble::Type(std::string_view text)
{
    std::vector<INPUT_RECORD> records;
    for (wchar_t character : Widen(text)) {
        const wchar_t key = character == L'\n' ? L'\r' : character;
        records.push_back(KeyRecord(key, true));
        records.push_back(KeyRecord(key, false));
    }
    DWORD written = 0;
    Check(WriteConsoleInputW(state_->input.Get(), records.data(), static_cast<DWORD>(records.size()), &written) != 0,
          "WriteConsoleInputW");
}

bool TerminalDouble::Shows(std::string_view text)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        if (ScreenText(state_->screen.Get()).find(text) != std::string::npos)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct PipedStream::State {
    DWORD which = 0;
    HANDLE saved = nullptr;
    UniqueKernelHandle reader;
    UniqueKernelHandle writer;
};

PipedStream::PipedStream(ConsoleStream stream) : state_(std::make_unique<State>())
{
    state_->which = StandardHandleOf(stream);
    state_->saved = GetStdHandle(state_->which);
    Check(CreatePipe(state_->reader.Receive(), state_->writer.Receive(), nullptr, 0) != 0, "CreatePipe");
    Check(SetStdHandle(state_->which, state_->writer.Get()) != 0, "SetStdHandle");
}

PipedStream::~PipedStream()
{
    SetStdHandle(state_->which, state_->saved);
}

std::string PipedStream::Drain()
{
    std::string bytes;
    DWORD waiting = 0;
    while (state_->reader && PeekNamedPipe(state_->reader.Get(), nullptr, 0, nullptr, &waiting, nullptr) &&
           waiting > 0) {
        std::string block(waiting, '\0');
        DWORD got = 0;
        if (!ReadFile(state_->reader.Get(), block.data(), waiting, &got, nullptr) || got == 0)
            break;
        bytes.append(block, 0, got);
    }
    return bytes;
}

void PipedStream::CloseReader()
{
    state_->reader.Reset();
}

void SendInterrupt()
{
    Check(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0, "GenerateConsoleCtrlEvent");
}
