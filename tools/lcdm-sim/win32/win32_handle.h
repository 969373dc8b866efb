// One owner for one kernel handle, and the error raised when a Windows call fails.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <system_error>

namespace lcdm {

// Raises the failure of the call named `call`; reads GetLastError at once.
[[noreturn]] inline void ThrowWin32Error(const std::string& call)
{
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), call);
}

// Owns a handle from the line that creates it and closes it when destroyed. Both null and
// INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~UniqueHandle()
    {
        if (IsValid())
            ::CloseHandle(handle_);
    }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        std::swap(handle_, other.handle_);
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const noexcept { return handle_; }
    bool IsValid() const noexcept { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_ = nullptr;
};

// A manual-reset event that stays signalled once set: a stop request waits can watch.
inline UniqueHandle MakeStopEvent()
{
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.IsValid())
        ThrowWin32Error("CreateEventW");
    return event;
}

} // namespace lcdm
