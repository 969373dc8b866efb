// Delivers the console's interrupts to a function that runs on an ordinary thread,
// never inside a signal handler (interrupt_watch_posix.cpp, interrupt_watch_win32.cpp).
// POSIX: SIGINT, and SIGTERM and SIGHUP too, since killing the tool in the middle of a
// payout would leave notes paid out and not counted; they are blocked in every thread
// and one thread of the watcher takes them with sigwait(). Windows: Ctrl+C and
// Ctrl+Break through the console's control handler, which the system calls on a thread
// of its own.
#pragma once

#include <functional>
#include <memory>

class InterruptWatch {
public:
    // POSIX: made first in main, before any other thread starts, so that every thread
    // inherits the blocked signals.
    explicit InterruptWatch(std::function<void()> onInterrupt);
    // Stops watching; interrupts after that are not delivered.
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    struct State;

private:
    std::unique_ptr<State> state_;
};
