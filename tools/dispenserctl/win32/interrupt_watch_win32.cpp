#include "tools/dispenserctl/interrupt_watch.h"

#include "framework/exceptions.h"
#include "windows_api.h"

#include <mutex>

namespace {

// The handler is a plain function: it finds the watcher's function here.
std::mutex g_handlerMutex;
std::function<void()> g_onInterrupt;

BOOL WINAPI OnConsoleControl(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE; // closing the window, logoff, shutdown: the system's default
    std::function<void()> onInterrupt;
    {
        std::lock_guard lock(g_handlerMutex);
        onInterrupt = g_onInterrupt;
    }
    if (onInterrupt)
        onInterrupt();
    return TRUE;
}

} // namespace

struct InterruptWatch::State {};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : state_(std::make_unique<State>())
{
    {
        std::lock_guard lock(g_handlerMutex);
        g_onInterrupt = std::move(onInterrupt);
    }
    if (!SetConsoleCtrlHandler(OnConsoleControl, TRUE))
        THROW_LAST_SYSTEM_ERROR();
}

InterruptWatch::~InterruptWatch()
{
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    std::lock_guard lock(g_handlerMutex);
    g_onInterrupt = nullptr;
}
