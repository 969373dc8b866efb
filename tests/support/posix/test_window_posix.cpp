#include "tests/support/test_window.h"

#include "framework/posix/message_window.h"

struct TestWindow::State {
    MessageQueueWindow window;
};

TestWindow::TestWindow() : state_(std::make_unique<State>()) {}

TestWindow::~TestWindow() = default;

WindowHandle TestWindow::Handle() const
{
    return &state_->window;
}

std::optional<PostedMessage> TestWindow::Next(int milliseconds)
{
    const auto message = state_->window.Get(milliseconds);
    if (!message)
        return std::nullopt;
    return PostedMessage{message->message, message->wParam, message->lParam};
}
