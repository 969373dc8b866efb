#include "shutdown_wait.h"

#include "win32_handle.h"

#include <thread>

namespace lcdm {

namespace {

// Set by Ctrl+C, Ctrl+Break, closing the console, or the end of standard input.
HANDLE g_shutdown = nullptr;

BOOL WINAPI OnConsoleControl(DWORD)
{
    ::SetEvent(g_shutdown);
    return TRUE;
}

} // namespace

void InstallShutdownSignals()
{
    static const UniqueHandle shutdown = MakeStopEvent();
    g_shutdown = shutdown.Get();
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

void WaitForShutdown(bool watchStdin)
{
    if (watchStdin) {
        // A blocking read cannot watch an event: a thread of its own reads standard input
        // to its end and is left behind at exit.
        std::thread([] {
            const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
            char buffer[256];
            DWORD got = 0;
            while (input != nullptr && input != INVALID_HANDLE_VALUE &&
                   ::ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            }
            ::SetEvent(g_shutdown);
        }).detach();
    }
    ::WaitForSingleObject(g_shutdown, INFINITE);
}

} // namespace lcdm
