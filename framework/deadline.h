// One deadline helper for every bounded wait: a point on the monotonic clock that
// waits loop towards, so that a spurious or early wake-up never shortens a wait.
#pragma once

#include <chrono>

class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    // A deadline `milliseconds` from now; a negative value never expires.
    static Deadline After(long long milliseconds)
    {
        if (milliseconds < 0)
            return Never();
        return Deadline(Clock::now() + std::chrono::milliseconds(milliseconds));
    }

    static Deadline Never() { return Deadline(Clock::time_point::max()); }

    bool IsNever() const { return when_ == Clock::time_point::max(); }
    bool Expired() const { return !IsNever() && Clock::now() >= when_; }
    Clock::time_point When() const { return when_; }

    // Whole milliseconds left, rounded up (0 once expired); -1 for a deadline that never expires.
    long long RemainingMilliseconds() const
    {
        if (IsNever())
            return -1;
        const auto left = when_ - Clock::now();
        if (left <= Clock::duration::zero())
            return 0;
        return std::chrono::ceil<std::chrono::milliseconds>(left).count();
    }

private:
    explicit Deadline(Clock::time_point when) : when_(when) {}

    Clock::time_point when_;
};
