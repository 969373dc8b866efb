#include "MTSys/window_client_thread.h"

#include "framework/exceptions.h"
#include "framework/window_messages.h"

namespace MTSys {

namespace {

constexpr unsigned kCloseMessage = 0x0010; // WM_CLOSE

} // namespace

WindowClientThread::WindowClientThread(AppLog* log)
    : log_(log), exitMessage_(RegisterWindowMessageName("OrvaneThreadExit"))
{
}

WindowClientThread::~WindowClientThread()
{
    try {
        Stop(true);
    } catch (...) {
        // A destructor lets nothing out.
    }
}

void WindowClientThread::Start(WindowHandle window)
{
    window_ = window;
    thread_.Start(&WindowClientThread::ThreadBody, this);
}

void WindowClientThread::Terminate()
{
    Stop(false);
    WaitWithMessages();
}

void WindowClientThread::Stop(bool wait)
{
    stop_.Set();
    if (wait && thread_.IsValid())
        thread_.Wait(kInfinite);
}

void WindowClientThread::HandleWindowMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (message == kCloseMessage)
        Terminate();
    else if (message == exitMessage_)
        OnThreadExit(static_cast<int>(lParam), wParam != 0);
}

void WindowClientThread::WaitWithMessages()
{
    if (log_ != nullptr)
        log_->Write(AppLog::Trace, "Ожидание завершения потока");
    PumpUntilEnded();
}

unsigned WindowClientThread::ThreadMain()
{
    bool abnormal = true;
    int result = 0;
    try {
        result = ClientThreadFunc();
        abnormal = false;
    } catch (const SilentCancel&) {
        abnormal = false;
    } catch (const OrvaneException& error) {
        if (log_ != nullptr)
            log_->Write(AppLog::Error, "Необработанное исключение: %s", error.Reason().c_str());
    } catch (...) {
        if (log_ != nullptr)
            log_->Write(AppLog::Error, "Необработанное исключение неизвестного типа");
    }
    if (log_ != nullptr) {
        if (abnormal)
            log_->Write(AppLog::Warning, "Неожиданное завершение потока");
        else
            log_->Write(AppLog::Info, "Нормальное завершение потока");
    }
    if (window_ != nullptr)
        PostWindowMessage(window_, exitMessage_, abnormal ? 1 : 0, result);
    return static_cast<unsigned>(result);
}

int WindowClientThread::ClientThreadFunc()
{
    return 0;
}

void WindowClientThread::OnThreadExit(int /*result*/, bool /*abnormal*/) {}

unsigned WindowClientThread::ThreadBody(void* self)
{
    return static_cast<WindowClientThread*>(self)->ThreadMain();
}

} // namespace MTSys
