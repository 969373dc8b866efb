// MTSys over Windows kernel handles.
#include "MTSys/native_handles.h"

#include "framework/exceptions.h"
#include "windows_api.h"

#include <process.h>

#include <memory>

namespace MTSys::Backend {
namespace {

[[noreturn]] void RaiseLastError(int line)
{
    throw WindowsError(GetLastError(), "MTSys", line);
}

struct ThreadStart {
    Thread::Function function;
    void* argument;
};

unsigned __stdcall ThreadTrampoline(void* start)
{
    const std::unique_ptr<ThreadStart> owned(static_cast<ThreadStart*>(start));
    return owned->function(owned->argument);
}

DWORD Milliseconds(int milliseconds)
{
    return milliseconds < 0 ? INFINITE : static_cast<DWORD>(milliseconds);
}

} // namespace

void Close(NativeHandle handle) noexcept
{
    CloseHandle(handle); // closing an empty handle fails harmlessly
}

NativeHandle Duplicate(NativeHandle handle)
{
    HANDLE copy = nullptr;
    const HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, handle, process, &copy, 0, TRUE, DUPLICATE_SAME_ACCESS))
        RaiseLastError(__LINE__);
    return copy;
}

WaitResult WaitOne(NativeHandle handle, int milliseconds)
{
    switch (WaitForSingleObject(handle, Milliseconds(milliseconds))) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:
        return WaitResult::Signalled;
    case WAIT_TIMEOUT:
        return WaitResult::TimedOut;
    default:
        return WaitResult::Failed;
    }
}

int WaitAny(const NativeHandle* handles, std::size_t count, int milliseconds)
{
    const DWORD result =
        WaitForMultipleObjects(static_cast<DWORD>(count), handles, FALSE, Milliseconds(milliseconds));
    if (result < WAIT_OBJECT_0 + count)
        return static_cast<int>(result - WAIT_OBJECT_0);
    if (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + count)
        return static_cast<int>(result - WAIT_ABANDONED_0);
    if (result == WAIT_TIMEOUT)
        return -1;
    RaiseLastError(__LINE__);
}

NativeHandle NewEvent(bool manualReset, bool initiallySet)
{
    return CreateEventW(nullptr, manualReset, initiallySet, nullptr);
}

void SignalEvent(NativeHandle event)
{
    if (!SetEvent(event))
        RaiseLastError(__LINE__);
}

void ClearEvent(NativeHandle event)
{
    if (!ResetEvent(event))
        RaiseLastError(__LINE__);
}

NativeHandle StartNewThread(Thread::Function function, void* argument, bool suspended, unsigned stackSize,
                            void* security, unsigned& identifier)
{
    auto start = std::make_unique<ThreadStart>(ThreadStart{function, argument});
    const uintptr_t thread = _beginthreadex(security, stackSize, ThreadTrampoline, start.get(),
                                            suspended ? CREATE_SUSPENDED : 0, &identifier);
    if (thread == 0)
        return nullptr;
    (void)start.release(); // the thread owns it now
    return reinterpret_cast<HANDLE>(thread);
}

void ResumeSuspended(NativeHandle thread)
{
    if (ResumeThread(thread) == static_cast<DWORD>(-1))
        RaiseLastError(__LINE__);
}

bool ReadExitCode(NativeHandle thread, unsigned& code)
{
    DWORD exitCode = 0;
    // A thread may return 259 (STILL_ACTIVE) itself: ask whether it has ended first.
    if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0 || !GetExitCodeThread(thread, &exitCode))
        return false;
    code = exitCode;
    return true;
}

} // namespace MTSys::Backend
