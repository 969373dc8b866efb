// The POSIX stand-in for a window: something that messages can be posted to and
// that an application log can show its text in.
#pragma once

#include "framework/app_log_entry.h"
#include "framework/deadline.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct WindowMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class MessageWindow {
public:
    virtual ~MessageWindow() = default;

    // Takes a posted message; called on the poster's thread. Returns false when refused.
    virtual bool Post(const WindowMessage& message) = 0;

    // Shows log records handed over by AppLog::Produce; called on the window's thread.
    virtual void ShowLogEntries(const std::vector<AppLogEntry>& entries) = 0;
};

// A message queue that one thread reads: the usual stand-in for a window's queue.
// Post is safe from any thread; the shown log text is kept for the owner to read.
class MessageQueueWindow : public MessageWindow {
public:
    bool Post(const WindowMessage& message) override;
    void ShowLogEntries(const std::vector<AppLogEntry>& entries) override;

    // The next message, waiting up to `milliseconds` (negative: without limit).
    std::optional<WindowMessage> Get(long long milliseconds);
    std::size_t PendingCount() const;

    // Everything shown so far, one line per record.
    std::string ShownText() const;
    std::vector<AppLogEntry> ShownEntries() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<WindowMessage> queue_;
    std::vector<AppLogEntry> shown_;
};
