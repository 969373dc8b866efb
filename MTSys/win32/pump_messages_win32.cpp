#include "MTSys/window_client_thread.h"

#include "framework/win32/ui_engine.h"
#include "windows_api.h"

namespace MTSys {

// Waits for the worker while the calling thread's messages keep flowing, with the
// wait cursor showing; the queue is drained once more after the end.
void WindowClientThread::PumpUntilEnded()
{
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    bool quit = false;
    WPARAM quitCode = 0;
    for (;;) {
        const bool running = thread_.IsValid() && !thread_.IsSignalled();
        if (running) {
            HANDLE worker = thread_.Native();
            MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT);
        }
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // Kept for the host: its own loop must still see it.
                quit = true;
                quitCode = message.wParam;
                continue;
            }
            QortoProcessMessage(message);
        }
        if (!running)
            break;
    }
    if (quit)
        PostQuitMessage(static_cast<int>(quitCode));
    SetCursor(previous);
}

} // namespace MTSys
