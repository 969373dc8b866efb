// DevicePort: the trace log of a device's link and the flag that gives one request
// at a time the sole use of the device. The dispenser's own port, which performs the
// exchanges, is DispenserPort (dispenser_port.h).
#pragma once

#include "framework/app_log.h"

#include <atomic>
#include <cstdint>
#include <memory>

class DevicePort {
public:
    // The token of the sole use of a port; destroying it frees the port.
    class Lock {
    public:
        explicit Lock(DevicePort& port) : port_(port) {}
        virtual ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        DevicePort& port_;
    };

    // `log` is borrowed and may be null (then nothing is traced).
    explicit DevicePort(AppLog* log);
    // Warns in the trace log when the port is destroyed while still locked.
    virtual ~DevicePort();
    DevicePort(const DevicePort&) = delete;
    DevicePort& operator=(const DevicePort&) = delete;

    // A new lock when the port was free, null (and nothing changed) when it is in use. Never waits.
    virtual std::unique_ptr<Lock> TryLock();
    bool IsLocked() const;

    AppLog* Log() const { return log_; }

private:
    AppLog* log_;
    std::atomic<std::int32_t> inUse_{0};
};
