#include "tests/support/test_window.h"

#include "framework/deadline.h"

#include <algorithm>

struct TestWindow::State {
    HWND window = nullptr;
};

TestWindow::TestWindow() : state_(std::make_unique<State>())
{
    state_->window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                                     nullptr);
}

TestWindow::~TestWindow()
{
    if (state_->window != nullptr)
        DestroyWindow(state_->window);
}

WindowHandle TestWindow::Handle() const
{
    return state_->window;
}

std::optional<PostedMessage> TestWindow::Next(int milliseconds)
{
    const Deadline deadline = Deadline::After(milliseconds);
    for (;;) {
        MSG message;
        // Registered messages only (0xC000 and above): nothing the window posts to itself.
        if (PeekMessageW(&message, state_->window, 0xC000, 0xFFFF, PM_REMOVE))
            return PostedMessage{message.message, static_cast<std::uintptr_t>(message.wParam),
                                 static_cast<std::intptr_t>(message.lParam)};
        if (deadline.Expired())
            return std::nullopt;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::max<long long>(1, deadline.RemainingMilliseconds())),
                                  QS_POSTMESSAGE);
    }
}
