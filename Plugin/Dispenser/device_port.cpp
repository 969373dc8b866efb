#include "Plugin/Dispenser/device_port.h"

DevicePort::Lock::~Lock()
{
    port_.inUse_.fetch_sub(1);
}

DevicePort::DevicePort(AppLog* log) : log_(log) {}

DevicePort::~DevicePort()
{
    if (log_ != nullptr && IsLocked())
        log_->Write(AppLog::Trace, "DevicePort warning: destruction in locked state.");
}

std::unique_ptr<DevicePort::Lock> DevicePort::TryLock()
{
    std::int32_t expected = 0;
    if (!inUse_.compare_exchange_strong(expected, 1))
        return nullptr;
    return std::make_unique<Lock>(*this);
}

bool DevicePort::IsLocked() const
{
    return inUse_.load() != 0;
}
