// The platform part of MTSys: kernel handles on Windows, portable waitable objects on POSIX.
#pragma once

#include "MTSys/mtsys.h"

#include <cstddef>

namespace MTSys::Backend {

enum class WaitResult { Signalled, TimedOut, Failed };

void Close(NativeHandle handle) noexcept;
NativeHandle Duplicate(NativeHandle handle); // raises WindowsError

WaitResult WaitOne(NativeHandle handle, int milliseconds);
// Index of the signalled object, -1 on time-out; raises WindowsError on failure.
int WaitAny(const NativeHandle* handles, std::size_t count, int milliseconds);

NativeHandle NewEvent(bool manualReset, bool initiallySet); // null on failure
void SignalEvent(NativeHandle event);   // raises WindowsError
void ClearEvent(NativeHandle event); // raises WindowsError

// Null on failure; `identifier` receives the thread's identifier.
NativeHandle StartNewThread(Thread::Function function, void* argument, bool suspended, unsigned stackSize,
                         void* security, unsigned& identifier);
void ResumeSuspended(NativeHandle thread);
bool ReadExitCode(NativeHandle thread, unsigned& code);

} // namespace MTSys::Backend
