// Portable waitable objects with the observable behaviour of Windows kernel handles:
// a handle is a reference to a shared object, duplicating makes another reference,
// closing drops one, and the object lives while any handle or its thread holds it.
// One process-wide lock and condition variable serve every object, which keeps
// wait-any simple and exact.
#include "MTSys/native_handles.h"

#include "framework/deadline.h"
#include "framework/exceptions.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace MTSys::Backend {
namespace {

struct Object {
    bool manualReset = true;
    bool signalled = false;
    // Threads only.
    bool resumed = true;
    unsigned exitCode = 0;
    Thread::Function function = nullptr;
    void* argument = nullptr;
};

struct HandleRecord {
    std::shared_ptr<Object> object;
};

// Never destroyed: detached threads may still signal while the process exits.
std::mutex& StateMutex()
{
    static auto* mutex = new std::mutex;
    return *mutex;
}

std::condition_variable& StateChanged()
{
    static auto* changed = new std::condition_variable;
    return *changed;
}

Object& ObjectOf(NativeHandle handle)
{
    return *static_cast<HandleRecord*>(handle)->object;
}

NativeHandle NewHandle(std::shared_ptr<Object> object)
{
    return new HandleRecord{std::move(object)};
}

[[noreturn]] void RaiseInvalidHandle(int line)
{
    throw WindowsError(EINVAL, "MTSys", line);
}

// Takes the signal of an object that is signalled (an auto-reset one is reset by the wait).
bool TakeSignal(Object& object)
{
    if (!object.signalled)
        return false;
    if (!object.manualReset)
        object.signalled = false;
    return true;
}

// Waits under the state lock until `ready` holds or the deadline passes.
template <class Ready>
bool WaitUntil(std::unique_lock<std::mutex>& lock, const Deadline& deadline, Ready ready)
{
    if (deadline.IsNever()) {
        StateChanged().wait(lock, ready);
        return true;
    }
    // A poll (a zero wait, such as every abort check) answers at once: a condition
    // variable given a deadline already past still sleeps out the timer's slack.
    if (ready())
        return true;
    if (deadline.Expired())
        return false;
    return StateChanged().wait_until(lock, deadline.When(), ready);
}

void* ThreadBody(void* start)
{
    const std::shared_ptr<Object> object = std::move(static_cast<HandleRecord*>(start)->object);
    delete static_cast<HandleRecord*>(start);
    {
        std::unique_lock lock(StateMutex());
        StateChanged().wait(lock, [&] { return object->resumed; });
    }
    const unsigned code = object->function(object->argument);
    {
        std::lock_guard lock(StateMutex());
        object->exitCode = code;
        object->signalled = true;
    }
    StateChanged().notify_all();
    return nullptr;
}

} // namespace

void Close(NativeHandle handle) noexcept
{
    delete static_cast<HandleRecord*>(handle);
}

NativeHandle Duplicate(NativeHandle handle)
{
    if (handle == nullptr)
        RaiseInvalidHandle(__LINE__);
    return NewHandle(static_cast<HandleRecord*>(handle)->object);
}

WaitResult WaitOne(NativeHandle handle, int milliseconds)
{
    if (handle == nullptr)
        return WaitResult::Failed;
    Object& object = ObjectOf(handle);
    std::unique_lock lock(StateMutex());
    const bool signalled = WaitUntil(lock, Deadline::After(milliseconds), [&] { return object.signalled; });
    return signalled && TakeSignal(object) ? WaitResult::Signalled : WaitResult::TimedOut;
}

int WaitAny(const NativeHandle* handles, std::size_t count, int milliseconds)
{
    if (count == 0 || std::find(handles, handles + count, nullptr) != handles + count)
        RaiseInvalidHandle(__LINE__);
    const auto first = [&]() -> int {
        for (std::size_t i = 0; i < count; ++i) {
            if (ObjectOf(handles[i]).signalled)
                return static_cast<int>(i);
        }
        return -1;
    };
    std::unique_lock lock(StateMutex());
    if (!WaitUntil(lock, Deadline::After(milliseconds), [&] { return first() >= 0; }))
        return -1;
    const int index = first();
    TakeSignal(ObjectOf(handles[index]));
    return index;
}

NativeHandle NewEvent(bool manualReset, bool initiallySet)
{
    auto object = std::make_shared<Object>();
    object->manualReset = manualReset;
    object->signalled = initiallySet;
    return NewHandle(std::move(object));
}

void SignalEvent(NativeHandle event)
{
    if (event == nullptr)
        RaiseInvalidHandle(__LINE__);
    {
        std::lock_guard lock(StateMutex());
        ObjectOf(event).signalled = true;
    }
    StateChanged().notify_all();
}

void ClearEvent(NativeHandle event)
{
    if (event == nullptr)
        RaiseInvalidHandle(__LINE__);
    std::lock_guard lock(StateMutex());
    ObjectOf(event).signalled = false;
}

NativeHandle StartNewThread(Thread::Function function, void* argument, bool suspended, unsigned stackSize,
                            void* /*security*/, unsigned& identifier)
{
    static std::atomic<unsigned> nextIdentifier{1};

    auto object = std::make_shared<Object>();
    object->resumed = !suspended;
    object->function = function;
    object->argument = argument;

    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return nullptr;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    if (stackSize != 0)
        pthread_attr_setstacksize(&attributes, std::max<std::size_t>(stackSize, PTHREAD_STACK_MIN));

    auto* start = new HandleRecord{object};
    pthread_t thread;
    const int failed = pthread_create(&thread, &attributes, ThreadBody, start);
    pthread_attr_destroy(&attributes);
    if (failed != 0) {
        delete start;
        return nullptr;
    }
    identifier = nextIdentifier.fetch_add(1);
    return NewHandle(std::move(object));
}

void ResumeSuspended(NativeHandle thread)
{
    {
        std::lock_guard lock(StateMutex());
        ObjectOf(thread).resumed = true;
    }
    StateChanged().notify_all();
}

bool ReadExitCode(NativeHandle thread, unsigned& code)
{
    std::lock_guard lock(StateMutex());
    const Object& object = ObjectOf(thread);
    if (!object.signalled)
        return false;
    code = object.exitCode;
    return true;
}

} // namespace MTSys::Backend
