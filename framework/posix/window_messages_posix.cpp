#include "framework/window_messages.h"

#include "framework/posix/message_window.h"
#include "framework/text_utils.h"

#include <map>
#include <mutex>
#include <string>

bool PostWindowMessage(WindowHandle window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    return window != nullptr && window->Post(WindowMessage{message, wParam, lParam});
}

unsigned RegisterWindowMessageName(const char* name)
{
    // Window messages are named without regard to case, as on Windows.
    static std::mutex mutex;
    static std::map<std::string, unsigned, NoCaseLess> numbers;
    std::lock_guard lock(mutex);
    const auto [position, added] = numbers.emplace(name, 0xC000u + static_cast<unsigned>(numbers.size()));
    return position->second;
}

bool MessageQueueWindow::Post(const WindowMessage& message)
{
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(message);
    }
    posted_.notify_all();
    return true;
}

void MessageQueueWindow::ShowLogEntries(const std::vector<AppLogEntry>& entries)
{
    std::lock_guard lock(mutex_);
    shown_.insert(shown_.end(), entries.begin(), entries.end());
}

std::optional<WindowMessage> MessageQueueWindow::Get(long long milliseconds)
{
    const Deadline deadline = Deadline::After(milliseconds);
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return !queue_.empty(); };
    if (deadline.IsNever())
        posted_.wait(lock, ready);
    else if (!posted_.wait_until(lock, deadline.When(), ready))
        return std::nullopt;
    WindowMessage message = queue_.front();
    queue_.pop_front();
    return message;
}

std::size_t MessageQueueWindow::PendingCount() const
{
    std::lock_guard lock(mutex_);
    return queue_.size();
}

std::string MessageQueueWindow::ShownText() const
{
    std::lock_guard lock(mutex_);
    std::string text;
    for (const AppLogEntry& entry : shown_)
        text += entry.text + "\n";
    return text;
}

std::vector<AppLogEntry> MessageQueueWindow::ShownEntries() const
{
    std::lock_guard lock(mutex_);
    return shown_;
}
