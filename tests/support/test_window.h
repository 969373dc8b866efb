// A window for tests to receive posted messages: a MessageQueueWindow on POSIX, a
// message-only window on Windows (read from the creating thread).
#pragma once

#include "platform_types.h"

#include <cstdint>
#include <memory>
#include <optional>

struct PostedMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class TestWindow {
public:
    TestWindow();
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    WindowHandle Handle() const;
    // The next posted message, waiting up to `milliseconds`.
    std::optional<PostedMessage> Next(int milliseconds);

    struct State;

private:
    std::unique_ptr<State> state_;
};
