#include "MTSys/mtsys.h"

#include "MTSys/native_handles.h"

#include <atomic>
#include <utility>
#include <vector>

namespace MTSys {

Handle::~Handle()
{
    Assign();
}

Handle::Handle(const Handle& other) : handle_(other.handle_ == nullptr ? nullptr : Backend::Duplicate(other.handle_)) {}

Handle& Handle::operator=(const Handle& other)
{
    if (this != &other)
        Assign(other.handle_ == nullptr ? nullptr : Backend::Duplicate(other.handle_));
    return *this;
}

Handle::Handle(Handle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

Handle& Handle::operator=(Handle&& other) noexcept
{
    if (this != &other)
        Assign(std::exchange(other.handle_, nullptr));
    return *this;
}

void Handle::Assign(NativeHandle handle) noexcept
{
    // The stored handle is cleared before the old one is closed.
    const NativeHandle old = std::exchange(handle_, handle);
    if (old != nullptr)
        Backend::Close(old);
}

bool SyncObject::Wait(int milliseconds) const
{
    return Backend::WaitOne(Native(), milliseconds) == Backend::WaitResult::Signalled;
}

namespace {

std::atomic<unsigned> g_failingStarts{0};

// Uses up one start that is to fail; true when there was one.
bool TakeFailingStart()
{
    unsigned pending = g_failingStarts.load();
    while (pending > 0 && !g_failingStarts.compare_exchange_weak(pending, pending - 1)) {
    }
    return pending > 0;
}

} // namespace

void Thread::FailNextStarts(unsigned count)
{
    g_failingStarts = count;
}

unsigned Thread::Start(Function function, void* argument, bool suspended, unsigned stackSize, void* security)
{
    Assign();
    if (TakeFailingStart())
        return 0;
    unsigned identifier = 0;
    Assign(Backend::StartNewThread(function, argument, suspended, stackSize, security, identifier));
    return IsValid() ? identifier : 0;
}

void Thread::Resume()
{
    if (IsValid())
        Backend::ResumeSuspended(Native());
}

std::optional<unsigned> Thread::ExitCode() const
{
    unsigned code = 0;
    if (!IsValid() || !Backend::ReadExitCode(Native(), code))
        return std::nullopt;
    return code;
}

Event::Event(bool manualReset, bool initiallySet) : SyncObject(Backend::NewEvent(manualReset, initiallySet)) {}

void Event::Set()
{
    Backend::SignalEvent(Native());
}

void Event::Reset()
{
    Backend::ClearEvent(Native());
}

int WaitAny(std::initializer_list<const SyncObject*> objects, int milliseconds)
{
    std::vector<NativeHandle> handles;
    handles.reserve(objects.size());
    for (const SyncObject* object : objects)
        handles.push_back(object != nullptr ? object->Native() : nullptr);
    return Backend::WaitAny(handles.data(), handles.size(), milliseconds);
}

} // namespace MTSys
