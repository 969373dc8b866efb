// A thread timer for the Windows tests: calls `tick` every few milliseconds on the
// creating thread from whatever message loop runs there (a modal run's, a message
// box's), so that a test can act inside a loop it does not own. Stops when destroyed.
#pragma once

#include "windows_api.h"

#include <functional>
#include <map>
#include <utility>

class ThreadTimer {
public:
    ThreadTimer(unsigned milliseconds, std::function<void()> tick) : tick_(std::move(tick))
    {
        id_ = SetTimer(nullptr, 0, milliseconds, &ThreadTimer::Tick);
        Timers()[id_] = this;
    }
    ~ThreadTimer()
    {
        KillTimer(nullptr, id_);
        Timers().erase(id_);
    }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

private:
    static std::map<UINT_PTR, ThreadTimer*>& Timers()
    {
        thread_local std::map<UINT_PTR, ThreadTimer*> timers;
        return timers;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD)
    {
        const auto timer = Timers().find(id);
        if (timer != Timers().end())
            timer->second->tick_();
    }

    std::function<void()> tick_;
    UINT_PTR id_ = 0;
};
