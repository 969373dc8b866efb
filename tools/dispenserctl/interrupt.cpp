#include "tools/dispenserctl/interrupt.h"

#include "Plugin/Dispenser/scenario.h"
#include "tools/dispenserctl/console.h"

#include <cstdlib>
#include <thread>

InterruptState::InterruptState(Console& console) : console_(console)
{
}

void InterruptState::OnInterrupt()
{
    if (count_.fetch_add(1) > 0) {
        console_.Error("dispenserctl: interrupted again, quitting at once", Tone::Bad);
        std::_Exit(1);
    }
    {
        std::lock_guard lock(mutex_);
        raised_.notify_all();
    }
    // Between the command's start of an operation and the operation's own start there
    // is nothing to cancel yet: keep cancelling until it has begun or is over.
    int cancelled = DispenserScenario::CancelRunning();
    while (cancelled == 0 && operationActive_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        cancelled = DispenserScenario::CancelRunning();
    }
    if (cancelled > 0)
        console_.Error("dispenserctl: cancelling; notes the device has taken are paid out and counted "
                       "(Ctrl+C again quits at once)",
                       Tone::Warning);
}

bool InterruptState::IsRaised() const
{
    return count_.load() > 0;
}

bool InterruptState::WaitFor(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return raised_.wait_for(lock, timeout, [this] { return IsRaised(); });
}

InterruptState::OperationScope::OperationScope(InterruptState& state) : state_(state)
{
    state_.operationActive_.store(true);
}

InterruptState::OperationScope::~OperationScope()
{
    state_.operationActive_.store(false);
}
