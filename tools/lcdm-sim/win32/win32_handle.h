// One owner for one kernel handle, and the error raised when a Windows call fails.
#pragma once

#include "unique_resource.h"

#include <windows.h>

#include <string>
#include <system_error>

namespace lcdm {

// Raises the failure of the call named `call`; reads GetLastError at once.
[[noreturn]] inline void ThrowWin32Error(const std::string& call)
{
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(), call);
}

struct HandleTraits {
    using Value = HANDLE;
    static HANDLE Empty() noexcept { return nullptr; }
    static bool IsHeld(HANDLE handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) noexcept { ::CloseHandle(handle); }
};

// Owns a handle from the line that creates it and closes it when destroyed. Both null and
// INVALID_HANDLE_VALUE mean "none".
using UniqueHandle = UniqueResource<HandleTraits>;

// A manual-reset event that stays signalled once set: a stop request waits can watch.
inline UniqueHandle MakeStopEvent()
{
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.IsValid())
        ThrowWin32Error("CreateEventW");
    return event;
}

} // namespace lcdm
