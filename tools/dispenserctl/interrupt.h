// Ctrl+C in the tool. The first one asks whatever runs to stop at a safe point: the
// running operations are cancelled as the operator dialog's Cancel does (a command the
// device has taken is read to its end and its notes are counted), a log follow ends,
// a question waiting for its answer gets its most cautious one. A second one while
// that is under way ends the process at once with status 1.
//
// The platform's watcher (interrupt_watch.h) calls OnInterrupt on a thread of its own;
// every other member is safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class Console;

class InterruptState {
public:
    explicit InterruptState(Console& console);
    InterruptState(const InterruptState&) = delete;
    InterruptState& operator=(const InterruptState&) = delete;

    void OnInterrupt();

    bool IsRaised() const;
    // Waits up to `timeout` for the interrupt; true when it has come.
    bool WaitFor(std::chrono::milliseconds timeout);

    // Marks the span in which the command runs an operation: an interrupt that comes
    // while the operation is being set up still cancels it once it has begun.
    class OperationScope {
    public:
        explicit OperationScope(InterruptState& state);
        ~OperationScope();
        OperationScope(const OperationScope&) = delete;
        OperationScope& operator=(const OperationScope&) = delete;

    private:
        InterruptState& state_;
    };

private:
    Console& console_;
    mutable std::mutex mutex_;
    std::condition_variable raised_;
    std::atomic<int> count_{0};
    std::atomic<bool> operationActive_{false};
};
