#include "tools/dispenserctl/interrupt_watch.h"

#include "framework/exceptions.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <thread>

namespace {

// A signal of this set that the watcher sends to its own thread to end it.
constexpr int kWakeSignal = SIGINT;

sigset_t WatchedSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&set, signal);
    return set;
}

} // namespace

struct InterruptWatch::State {
    std::function<void()> onInterrupt;
    std::atomic<bool> stopping{false};
    std::thread thread;
};

InterruptWatch::InterruptWatch(std::function<void()> onInterrupt) : state_(std::make_unique<State>())
{
    state_->onInterrupt = std::move(onInterrupt);
    // A reader that went away (a closed pipe) makes writes fail, not the process die.
    ::signal(SIGPIPE, SIG_IGN);
    const sigset_t set = WatchedSignals();
    if (const int error = ::pthread_sigmask(SIG_BLOCK, &set, nullptr); error != 0) {
        errno = error;
        THROW_LAST_SYSTEM_ERROR();
    }
    State* state = state_.get();
    state_->thread = std::thread([state, set] {
        for (;;) {
            int signal = 0;
            if (::sigwait(&set, &signal) != 0 || state->stopping.load())
                return;
            state->onInterrupt();
        }
    });
}

InterruptWatch::~InterruptWatch()
{
    state_->stopping.store(true);
    ::pthread_kill(state_->thread.native_handle(), kWakeSignal);
    state_->thread.join();
}
