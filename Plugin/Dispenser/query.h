// Query: one asynchronous request with a result state that other threads can read,
// wait for and be told about. QueryThread runs the request's work on a thread of its
// own and lets it be cancelled through a stop event.
//
// Three parties touch a request: the thread that creates it (initiates, waits,
// cancels, destroys), the request's own thread (runs the work, sets the final
// state), and the receiver of the posted notification. A request runs once.
#pragma once

#include "MTSys/mtsys.h"
#include "platform_types.h"

#include <cstdint>
#include <memory>
#include <mutex>

// Result states; a state above QueryRunning is final.
enum QueryState : std::int32_t {
    QueryCreated = 0,
    QueryRunning = 1,
    QueryCompleted = 2, // the device answered and the answer was understood
    QueryCancelled = 3,
    QueryBusy = 4,      // another request holds the port
    QueryFailed = 5,
};

class Query {
public:
    Query();
    virtual ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    // State 1; stores where every later state change is posted (null, 0: nowhere).
    virtual bool Initiate(WindowHandle window, unsigned message);
    virtual bool IsComplete();
    // With `wait`, first waits for the request's end without limit.
    virtual std::int32_t GetState(bool wait);
    // A new waitable object of the caller's own, signalled when the request ends.
    virtual std::unique_ptr<MTSys::SyncObject> GetSyncObject() = 0;
    virtual void Cancel(bool wait) = 0;
    // Waits on GetSyncObject() (milliseconds; negative: without limit).
    virtual bool Wait(int milliseconds);
    // Stores the state and posts it (wParam = state, lParam = this query) when a
    // window and a message were given.
    virtual void SetState(std::int32_t state);

protected:
    // Guards the state, window and message; held by QueryThread::Initiate while the
    // thread starts, so the new thread cannot set a state before Initiate returns.
    std::recursive_mutex lock_;

private:
    std::int32_t state_ = QueryCreated;
    WindowHandle window_ = nullptr;
    unsigned message_ = 0;
};

class QueryThread : public Query {
public:
    QueryThread();
    // Waits without limit for the thread to end; it does not cancel it.
    ~QueryThread() override;

    // Starts the thread; a second call cancels and waits, sets state 5 and raises
    // InternalError "QueryThread internal error: repeated Initiate (file:line)".
    bool Initiate(WindowHandle window, unsigned message) override;
    std::unique_ptr<MTSys::SyncObject> GetSyncObject() override;
    // Sets the stop event; with `wait`, waits for the end without limit.
    void Cancel(bool wait) override;

    const MTSys::Event& StopEvent() const { return stop_; }

protected:
    // The thread's body: Execute(), any escaping exception giving state 5, then SetState.
    virtual std::int32_t Run();
    // The work, on the request's thread; returns the final state.
    virtual std::int32_t Execute() = 0;

    // For destructors of derived classes: waits for the thread before their members go.
    void WaitForEnd() noexcept;
    bool HasThread() const { return thread_.IsValid(); }

private:
    static unsigned ThreadBody(void* query);

    MTSys::Thread thread_;
    MTSys::Event stop_;
};
