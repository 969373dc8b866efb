#include "MTSys/window_client_thread.h"

namespace MTSys {

// Without a message queue of the thread's own, waiting is a plain wait.
void WindowClientThread::PumpUntilEnded()
{
    if (thread_.IsValid())
        thread_.Wait(kInfinite);
}

} // namespace MTSys
