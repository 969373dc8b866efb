#include "framework/win32/ui_engine.h"

#include "framework/exceptions.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// The modeless dialogs of this thread; windows that are gone are dropped on the way.
thread_local std::vector<HWND> t_dialogs;

bool RouteToDialog(MSG& message)
{
    t_dialogs.erase(std::remove_if(t_dialogs.begin(), t_dialogs.end(), [](HWND window) { return !IsWindow(window); }),
                    t_dialogs.end());
    for (HWND dialog : t_dialogs) {
        if (message.hwnd != nullptr && (message.hwnd == dialog || IsChild(dialog, message.hwnd)) &&
            IsDialogMessageW(dialog, &message))
            return true;
    }
    return false;
}

} // namespace

void QortoModelessDialog(HWND window)
{
    if (std::find(t_dialogs.begin(), t_dialogs.end(), window) == t_dialogs.end())
        t_dialogs.push_back(window);
}

void QortoProcessMessage(MSG& message)
{
    if (RouteToDialog(message))
        return;
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

void PostEndModalRun(HWND window, int code)
{
    PostThreadMessageW(GetCurrentThreadId(), kEndModalRunMessage, static_cast<WPARAM>(code),
                       reinterpret_cast<LPARAM>(window));
}

namespace {

// Whether an end message is for the run of `window`: it names that window, or no
// window at all (then the innermost run takes it).
bool EndsRunOf(const MSG& message, HWND window)
{
    const auto target = static_cast<std::uintptr_t>(message.lParam);
    return target < 0x10000 || reinterpret_cast<HWND>(message.lParam) == window;
}

} // namespace

HRESULT QortoExecute(HWND window, int& result, int showCommand)
{
    if (!IsWindow(window))
        return E_HANDLE;
    QortoModelessDialog(window);
    HWND owner = GetWindow(window, GW_OWNER);
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner)
        EnableWindow(owner, FALSE);
    ShowWindow(window, showCommand);

    HRESULT outcome = S_OK;
    // End messages of outer runs that came while this one ran.
    std::vector<MSG> outerEnds;
    for (;;) {
        MSG message;
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == -1) {
            outcome = HRESULT_FROM_WIN32(GetLastError());
            break;
        }
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));
            outcome = E_ABORT;
            break;
        }
        if (message.hwnd == nullptr && message.message == kEndModalRunMessage) {
            if (!EndsRunOf(message, window)) {
                outerEnds.push_back(message);
                continue;
            }
            result = static_cast<int>(message.wParam);
            break;
        }
        QortoProcessMessage(message);
    }
    if (disableOwner)
        EnableWindow(owner, TRUE);
    for (const MSG& end : outerEnds)
        PostThreadMessageW(GetCurrentThreadId(), kEndModalRunMessage, end.wParam, end.lParam);
    return outcome;
}

void CheckQortoResult(HRESULT result, const char* file, int line)
{
    if (FAILED(result))
        throw CoError(static_cast<std::int32_t>(result), file, line);
}
