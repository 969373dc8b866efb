// MTSys: owning wrappers of waitable operating-system objects (threads and events).
//
// Every object owns its handle and closes it when destroyed. A copy owns its own
// duplicate of the handle to the same kernel object, so a waiter may hold a copy of
// a thread while the owner keeps the original; a copy of an empty object is empty.
// The objects themselves are not locked: each is used by the thread that owns it,
// while the kernel objects they refer to are shared through copies.
//
// Times are in milliseconds; any negative time (kInfinite) waits without limit.
#pragma once

#include <initializer_list>
#include <optional>

namespace MTSys {

using NativeHandle = void*; // a kernel HANDLE on Windows, the portable object's handle on POSIX

constexpr int kInfinite = -1;

class Handle {
public:
    virtual ~Handle();
    virtual bool IsValid() const = 0;

    NativeHandle Native() const noexcept { return handle_; }

protected:
    Handle() noexcept = default;
    explicit Handle(NativeHandle handle) noexcept : handle_(handle) {}
    Handle(const Handle& other);            // duplicates; raises WindowsError when that fails
    Handle& operator=(const Handle& other); // duplicates, then closes the old handle
    Handle(Handle&& other) noexcept;
    Handle& operator=(Handle&& other) noexcept;

    // Closes the held handle (if any) and holds `handle` instead.
    void Assign(NativeHandle handle = nullptr) noexcept;

private:
    NativeHandle handle_ = nullptr;
};

class SyncObject : public Handle {
public:
    bool IsValid() const override { return Native() != nullptr; }

    // Waits until the object is signalled (true; also for an abandoned one) or the
    // time runs out (false). A failed wait, such as on an empty object, gives false.
    bool Wait(int milliseconds) const;
    bool IsSignalled() const { return Wait(0); }

protected:
    using Handle::Handle;
};

class Thread : public SyncObject {
public:
    // The thread's body: gets the start argument, returns the thread's exit code.
    using Function = unsigned (*)(void* argument);

    Thread() noexcept = default;

    // Closes any handle held, then starts a thread running function(argument).
    // Returns the thread's identifier, 0 when it could not start (the object is then
    // empty: IsValid() is false). A started thread's object stays valid after the
    // thread has ended, until it is destroyed or restarted; it is signalled then.
    unsigned Start(Function function, void* argument, bool suspended = false, unsigned stackSize = 0,
                   void* security = nullptr);

    // Lets a thread started suspended run.
    void Resume();

    // The exit code of an ended thread; nullopt while it runs (or when empty).
    std::optional<unsigned> ExitCode() const;

    // For tests: the next `count` starts of any thread fail as when the system has no
    // room for another thread.
    static void FailNextStarts(unsigned count);
};

class Event : public SyncObject {
public:
    // Creates the event; when that fails the object is empty (IsValid() is false).
    // Every event of the plug-in is manual-reset and starts not set.
    explicit Event(bool manualReset = true, bool initiallySet = false);

    void Set();   // raises WindowsError on failure
    void Reset(); // raises WindowsError on failure
};

// Waits until any of the objects is signalled: returns its index (the lowest when
// several are), or -1 when the time runs out. A failed wait (an empty object among
// them, for one) raises WindowsError instead of returning.
int WaitAny(std::initializer_list<const SyncObject*> objects, int milliseconds);

} // namespace MTSys
