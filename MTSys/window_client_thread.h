// WindowClientThread: a worker thread that serves a window. The window's owner starts
// it, the worker runs one job (ClientThreadFunc), and when the job ends the worker
// posts the registered message "OrvaneThreadExit" to the window (wParam 1 for an
// abnormal end, lParam the job's result), so the window's thread learns of the end
// without blocking. The stop event tells the job to stop; the job watches it.
//
// Three threads meet here: the owner (creates, starts, stops, waits, receives the
// exit message), the worker (runs the job, posts the message) and whichever thread
// calls Stop. The object has no lock of its own.
#pragma once

#include "MTSys/mtsys.h"
#include "framework/app_log.h"
#include "platform_types.h"

namespace MTSys {

class WindowClientThread {
public:
    // `log` is borrowed and may be null (then nothing is logged).
    explicit WindowClientThread(AppLog* log);
    // Stops the worker and waits for it without limit.
    virtual ~WindowClientThread();
    WindowClientThread(const WindowClientThread&) = delete;
    WindowClientThread& operator=(const WindowClientThread&) = delete;

    // Stores the client window (may be null: no exit message) and starts the worker.
    virtual void Start(WindowHandle window);
    // Stop without waiting, then WaitWithMessages.
    virtual void Terminate();
    // Signals the stop event; with `wait`, blocks until the worker has ended.
    virtual void Stop(bool wait);
    // For the client window's procedure: WM_CLOSE terminates the worker, the exit
    // message calls OnThreadExit; everything else is ignored.
    virtual void HandleWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);
    // Waits for the worker's end while the calling thread's messages keep flowing
    // (Windows); a plain wait where there is no message queue (POSIX).
    virtual void WaitWithMessages();

    const Event& StopEvent() const { return stop_; }
    const Thread& WorkerThread() const { return thread_; }
    AppLog* Log() const { return log_; }
    WindowHandle ClientWindow() const { return window_; }
    // The number of the registered message "OrvaneThreadExit".
    unsigned ExitMessage() const { return exitMessage_; }

protected:
    // The worker's body: runs the job, logs how it ended, posts the exit message.
    virtual unsigned ThreadMain();
    // The job; the base does nothing and returns 0.
    virtual int ClientThreadFunc();
    // On the window's thread, when the exit message arrives; the base does nothing.
    virtual void OnThreadExit(int result, bool abnormal);

    // Waits for the worker, dispatching the calling thread's messages (platform part).
    void PumpUntilEnded();

private:
    static unsigned ThreadBody(void* self);

    Thread thread_;
    Event stop_;
    AppLog* log_;
    WindowHandle window_ = nullptr;
    unsigned exitMessage_;
};

} // namespace MTSys
