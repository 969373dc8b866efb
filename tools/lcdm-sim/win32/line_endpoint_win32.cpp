#include "line_endpoint.h"

#include "paced_line.h"
#include "win32_handle.h"

#include <algorithm>
#include <stdexcept>

namespace lcdm {

namespace {

// The longest a read or write blocks without looking at the stop event.
constexpr DWORD kWaitSliceMs = 50;
constexpr int kLineBaud = 9600;

std::wstring DevicePath(const std::string& port)
{
    std::wstring wide(port.begin(), port.end()); // port names are ASCII ("COM2")
    return wide.rfind(L"\\\\.\\", 0) == 0 ? wide : L"\\\\.\\" + wide;
}

// Milliseconds from now to `when`, rounded up, at least 0.
DWORD MillisecondsUntil(Clock::time_point when)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
    return static_cast<DWORD>(std::clamp<long long>(left, 0, INFINITE - 1));
}

// The device's end of a COM port as a LinkIo: reads wait for the first byte in slices, so
// that a stop ends every wait within a slice; paced bytes as on the pseudo-terminal.
class ComLine final : public PacedLine {
public:
    ComLine(HANDLE port, HANDLE stop, int paceBaud) : PacedLine(paceBaud), port_(port), stop_(stop) {}

    std::size_t Read(std::uint8_t* buffer, std::size_t size, Deadline deadline) override
    {
        for (;;) {
            ThrowIfStopped();
            DWORD wait = kWaitSliceMs;
            if (deadline) {
                if (Clock::now() >= *deadline)
                    return 0;
                wait = std::clamp<DWORD>(MillisecondsUntil(*deadline), 1, kWaitSliceMs);
            }
            SetReadWait(wait);
            DWORD got = 0;
            if (!::ReadFile(port_, buffer, static_cast<DWORD>(std::min<std::size_t>(size, 4096)), &got, nullptr))
                ThrowWin32Error("ReadFile (COM port)");
            if (got > 0) {
                Pacer().Received(got, Clock::now());
                return got;
            }
        }
    }

private:
    void ThrowIfStopped() const
    {
        if (::WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0)
            throw LinkStopped();
    }

    // Its waits may overshoot by a millisecond: to a millisecond before `when`.
    void SleepUntil(Clock::time_point when) override
    {
        const auto left = std::chrono::floor<std::chrono::milliseconds>(when - Clock::now()).count();
        if (left >= 2 && ::WaitForSingleObject(stop_, static_cast<DWORD>(left - 1)) == WAIT_OBJECT_0)
            throw LinkStopped();
        ThrowIfStopped();
    }

    // A read returns as soon as a byte is there, or after `milliseconds` without one.
    void SetReadWait(DWORD milliseconds)
    {
        if (milliseconds == readWait_)
            return;
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = milliseconds;
        timeouts.WriteTotalTimeoutConstant = kWaitSliceMs;
        if (!::SetCommTimeouts(port_, &timeouts))
            ThrowWin32Error("SetCommTimeouts");
        readWait_ = milliseconds;
    }

    void WriteAll(const std::uint8_t* data, std::size_t size) override
    {
        while (size > 0) {
            ThrowIfStopped();
            DWORD written = 0;
            // A write that times out (the host is not reading) is tried again.
            if (!::WriteFile(port_, data, static_cast<DWORD>(size), &written, nullptr) &&
                ::GetLastError() != ERROR_TIMEOUT)
                ThrowWin32Error("WriteFile (COM port)");
            data += written;
            size -= written;
        }
    }

    HANDLE port_;
    HANDLE stop_;
    DWORD readWait_ = 0; // 0: not set yet
};

UniqueHandle OpenPort(const std::string& port, int baud)
{
    UniqueHandle handle(::CreateFileW(DevicePath(port).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    if (!handle.IsValid())
        ThrowWin32Error("cannot open " + port);
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!::GetCommState(handle.Get(), &settings))
        ThrowWin32Error("GetCommState (" + port + ")");
    settings.BaudRate = static_cast<DWORD>(baud);
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fNull = FALSE;
    settings.fAbortOnError = FALSE;
    if (!::SetCommState(handle.Get(), &settings))
        ThrowWin32Error("SetCommState (" + port + ")");
    ::PurgeComm(handle.Get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
    return handle;
}

} // namespace

struct LineEndpoint::Impl {
    explicit Impl(const EndpointOptions& options)
        : port(Checked(options).port), paceBaud(options.paceBaud),
          handle(OpenPort(port, paceBaud > 0 ? paceBaud : kLineBaud)), stop(MakeStopEvent())
    {
    }

    static const EndpointOptions& Checked(const EndpointOptions& options)
    {
        if (!options.links.empty())
            throw std::invalid_argument("--link needs a pseudo-terminal, which Windows has not; give the COM port "
                                        "with --port");
        if (options.port.empty())
            throw std::invalid_argument("on Windows the simulator serves an existing COM port, the device's end of "
                                        "a null-modem pair: give it with --port (for example --port COM2)");
        return options;
    }

    const std::string port;
    const int paceBaud;
    UniqueHandle handle;
    UniqueHandle stop;
};

LineEndpoint::LineEndpoint(const EndpointOptions& options) : impl_(std::make_unique<Impl>(options)) {}

LineEndpoint::~LineEndpoint() = default;

const std::string& LineEndpoint::Path() const
{
    return impl_->port;
}

void LineEndpoint::Serve(const std::function<void(LinkIo&)>& serve)
{
    ComLine line(impl_->handle.Get(), impl_->stop.Get(), impl_->paceBaud);
    serve(line);
}

void LineEndpoint::RequestStop() noexcept
{
    ::SetEvent(impl_->stop.Get());
}

} // namespace lcdm
