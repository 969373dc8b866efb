#include "framework/messages.h"

#include "framework/win32/wide_text.h"
#include "windows_api.h"

int ShowPlatformMessageBox(const OperatorPrompt& prompt)
{
    return MessageBoxW(prompt.owner, Widen(prompt.text).c_str(), Widen(prompt.caption).c_str(),
                       static_cast<UINT>(prompt.style));
}

void WritePlatformDebugMessage(const std::string& text)
{
    OutputDebugStringW(Widen(text + "\n").c_str());
}

namespace {

struct MainWindowSearch {
    DWORD process = GetCurrentProcessId();
    DWORD thread = GetCurrentThreadId();
    HWND ofThread = nullptr;
    HWND ofProcess = nullptr;
};

BOOL CALLBACK ConsiderWindow(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<MainWindowSearch*>(data);
    DWORD process = 0;
    const DWORD thread = GetWindowThreadProcessId(window, &process);
    if (process != search.process || !IsWindowVisible(window) || GetWindow(window, GW_OWNER) != nullptr)
        return TRUE;
    if (thread == search.thread) {
        search.ofThread = window;
        return FALSE;
    }
    if (search.ofProcess == nullptr)
        search.ofProcess = window;
    return TRUE;
}

} // namespace

// The plug-in is a guest in the host's process: the host's main window is the first
// visible top-level window without an owner, preferably one of the calling thread.
WindowHandle FindPlatformMainWindow()
{
    MainWindowSearch search;
    EnumWindows(ConsiderWindow, reinterpret_cast<LPARAM>(&search));
    return search.ofThread != nullptr ? search.ofThread : search.ofProcess;
}
