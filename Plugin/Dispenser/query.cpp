#include "Plugin/Dispenser/query.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"
#include "framework/window_messages.h"

#include <cstdint>

Query::Query() = default;

Query::~Query() = default;

bool Query::Initiate(WindowHandle window, unsigned message)
{
    std::lock_guard lock(lock_);
    state_ = QueryRunning;
    window_ = window;
    message_ = message;
    return true;
}

bool Query::IsComplete()
{
    return GetState(false) > QueryRunning;
}

std::int32_t Query::GetState(bool wait)
{
    if (wait)
        Wait(MTSys::kInfinite);
    std::lock_guard lock(lock_);
    return state_;
}

bool Query::Wait(int milliseconds)
{
    const std::unique_ptr<MTSys::SyncObject> object = GetSyncObject();
    return object->Wait(milliseconds);
}

void Query::SetState(std::int32_t state)
{
    std::lock_guard lock(lock_);
    state_ = state;
    if (window_ != nullptr && message_ != 0)
        PostWindowMessage(window_, message_, static_cast<std::uintptr_t>(state),
                          reinterpret_cast<std::intptr_t>(this));
}

QueryThread::QueryThread() = default;

QueryThread::~QueryThread()
{
    WaitForEnd();
}

void QueryThread::WaitForEnd() noexcept
{
    try {
        if (thread_.IsValid())
            Wait(MTSys::kInfinite);
    } catch (...) {
        // A failed wait must not escape a destructor.
    }
}

bool QueryThread::Initiate(WindowHandle window, unsigned message)
{
    if (thread_.IsValid()) {
        Cancel(true);
        Query::Initiate(window, message);
        SetState(QueryFailed);
        throw InternalError(
            FormatBuffer(4096, "QueryThread internal error: repeated Initiate (%s:%i)", __FILE_NAME__, __LINE__));
    }
    std::lock_guard lock(lock_);
    Query::Initiate(window, message);
    // Without its stop event or its thread the request cannot run: it fails at once,
    // and nobody waits for a thread that does not exist.
    try {
        stop_.Reset();
    } catch (const OrvaneException&) {
        SetState(QueryFailed);
        return false;
    }
    thread_.Start(&QueryThread::ThreadBody, this);
    if (!thread_.IsValid()) {
        SetState(QueryFailed);
        return false;
    }
    return true;
}

std::unique_ptr<MTSys::SyncObject> QueryThread::GetSyncObject()
{
    return std::make_unique<MTSys::Thread>(thread_);
}

void QueryThread::Cancel(bool wait)
{
    stop_.Set();
    if (wait)
        Wait(MTSys::kInfinite);
}

std::int32_t QueryThread::Run()
{
    std::int32_t state = QueryFailed;
    try {
        state = Execute();
    } catch (...) {
        state = QueryFailed;
    }
    SetState(state);
    return state;
}

unsigned QueryThread::ThreadBody(void* query)
{
    return static_cast<unsigned>(static_cast<QueryThread*>(query)->Run());
}
