// A serial device on POSIX: termios for the line, an exclusive flock for the
// port's sole use, and poll-based reads and writes whose time-outs mean what the
// Windows COMMTIMEOUTS values mean.
#include "Plugin/Dispenser/serial_port.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/deadline.h"
#include "framework/exceptions.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>

namespace {

constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

[[noreturn]] void RaiseInvalid(int line)
{
    throw WindowsError(EINVAL, __FILE_NAME__, line);
}

speed_t SpeedOf(std::uint32_t baudRate)
{
    switch (baudRate) {
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    default: RaiseInvalid(__LINE__);
    }
}

tcflag_t ByteSizeFlag(std::uint8_t byteSize)
{
    switch (byteSize) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    case 8: return CS8;
    default: RaiseInvalid(__LINE__);
    }
}

tcflag_t ParityFlags(std::uint8_t parity)
{
    switch (parity) {
    case 0: return 0;
    case 1: return PARENB | PARODD;
    case 2: return PARENB;
    case 3: return PARENB | PARODD | CMSPAR; // mark
    case 4: return PARENB | CMSPAR;          // space
    default: RaiseInvalid(__LINE__);
    }
}

tcflag_t StopBitsFlag(std::uint8_t stopBits)
{
    switch (stopBits) {
    case 0: return 0;
    case 1: // 1.5 stop bits do not exist on POSIX lines: the nearest is 2
    case 2: return CSTOPB;
    default: RaiseInvalid(__LINE__);
    }
}

// Milliseconds as poll wants them, -1 for no limit.
int PollTime(long long milliseconds)
{
    return milliseconds < 0 ? -1 : static_cast<int>(std::min<long long>(milliseconds, INT_MAX));
}

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort(int fd, const std::string& name) : SerialPort(fd, name) {}

    void Configure(const SerialLineFormat& format, const SerialTimeouts& timeouts) override
    {
        termios line{};
        if (tcgetattr(Fd(), &line) != 0)
            THROW_LAST_SYSTEM_ERROR();
        cfmakeraw(&line);
        line.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
        line.c_cflag |= CLOCAL | CREAD | ByteSizeFlag(format.byteSize) | ParityFlags(format.parity) |
                        StopBitsFlag(format.stopBits);
        line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        bool lines = false; // DTR and RTS raised
        switch (format.flowControl) {
        case FlowControlNone:
            lines = true;
            break;
        case FlowControlXonXoff:
            line.c_iflag |= IXON | IXOFF;
            lines = true;
            break;
        case FlowControlHardware:
            line.c_cflag |= CRTSCTS;
            lines = true;
            break;
        default:
            break;
        }
        line.c_cc[VMIN] = 0;
        line.c_cc[VTIME] = 0;
        const speed_t speed = SpeedOf(format.baudRate);
        cfsetispeed(&line, speed);
        cfsetospeed(&line, speed);
        if (tcsetattr(Fd(), TCSANOW, &line) != 0)
            THROW_LAST_SYSTEM_ERROR();
        SetModemLines(lines);
        timeouts_ = timeouts;
    }

    void DiscardInput() override
    {
        if (tcflush(Fd(), TCIFLUSH) != 0)
            THROW_LAST_SYSTEM_ERROR();
    }

    std::size_t Read(std::size_t* done, void* buffer, std::size_t size) override
    {
        const std::size_t got = ReadWithTimeouts(static_cast<std::uint8_t*>(buffer), size);
        if (done != nullptr)
            *done = got;
        return got;
    }

    std::size_t Write(const void* data, std::size_t size) override
    {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        const std::uint64_t total =
            static_cast<std::uint64_t>(timeouts_.writeTotalMultiplier) * size + timeouts_.writeTotalConstant;
        const bool limited = timeouts_.writeTotalMultiplier != 0 || timeouts_.writeTotalConstant != 0;
        const Deadline deadline = limited ? Deadline::After(static_cast<long long>(total)) : Deadline::Never();
        std::size_t written = 0;
        while (written < size) {
            const ssize_t n = ::write(Fd(), bytes + written, size - written);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                THROW_LAST_SYSTEM_ERROR();
            if (deadline.Expired())
                break;
            pollfd wait{Fd(), POLLOUT, 0};
            if (::poll(&wait, 1, PollTime(deadline.RemainingMilliseconds())) < 0 && errno != EINTR)
                THROW_LAST_SYSTEM_ERROR();
        }
        return written;
    }

private:
    int Fd() const { return static_cast<int>(File()); }

    // DTR and RTS follow the flow-control mode; a pseudo-terminal has no modem lines.
    void SetModemLines(bool raised)
    {
        const int bits = TIOCM_DTR | TIOCM_RTS;
        if (::ioctl(Fd(), raised ? TIOCMBIS : TIOCMBIC, &bits) != 0 && errno != ENOTTY && errno != EINVAL)
            THROW_LAST_SYSTEM_ERROR();
    }

    std::size_t ReadWithTimeouts(std::uint8_t* buffer, std::size_t size)
    {
        const SerialTimeouts& t = timeouts_;
        // Interval MAXDWORD with both totals 0: return at once with what has arrived.
        const bool immediate = t.readInterval == kMaxDword && t.readTotalMultiplier == 0 && t.readTotalConstant == 0;
        // Interval and multiplier MAXDWORD: wait up to the constant for the first byte only.
        const bool firstByteOnly = t.readInterval == kMaxDword && t.readTotalMultiplier == kMaxDword &&
                                   t.readTotalConstant != 0 && t.readTotalConstant != kMaxDword;
        Deadline total = Deadline::Never();
        if (firstByteOnly)
            total = Deadline::After(t.readTotalConstant);
        else if (!immediate && (t.readTotalMultiplier != 0 || t.readTotalConstant != 0))
            total = Deadline::After(static_cast<long long>(static_cast<std::uint64_t>(t.readTotalMultiplier) * size +
                                                           t.readTotalConstant));
        const bool intervalLimit = t.readInterval != 0 && t.readInterval != kMaxDword;

        std::size_t got = 0;
        auto lastByte = Deadline::Clock::now();
        while (got < size) {
            const ssize_t n = ::read(Fd(), buffer + got, size - got);
            if (n > 0) {
                got += static_cast<std::size_t>(n);
                lastByte = Deadline::Clock::now();
                if (firstByteOnly)
                    break;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                THROW_LAST_SYSTEM_ERROR();
            if (immediate || total.Expired())
                break;
            long long wait = total.RemainingMilliseconds();
            if (got > 0 && intervalLimit) {
                const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(Deadline::Clock::now() - lastByte);
                const long long left = static_cast<long long>(t.readInterval) - since.count();
                if (left <= 0)
                    break;
                wait = wait < 0 ? left : std::min(wait, left);
            }
            pollfd ready{Fd(), POLLIN, 0};
            const int polled = ::poll(&ready, 1, PollTime(wait));
            if (polled < 0 && errno != EINTR)
                THROW_LAST_SYSTEM_ERROR();
            // A line whose other end has gone reads as end of file at once: wait
            // a moment rather than spin until the time-out.
            if (polled > 0 && (ready.revents & POLLHUP) != 0 && (ready.revents & POLLIN) == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(wait < 0 ? 10 : wait, 10)));
        }
        return got;
    }

    SerialTimeouts timeouts_;
};

} // namespace

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& name)
{
    const int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EBUSY)
            return nullptr;
        THROW_LAST_SYSTEM_ERROR();
    }
    auto port = std::make_unique<PosixSerialPort>(fd, name);
    // Sole use: a second opener (this process or another) finds the lock taken.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            return nullptr;
        THROW_LAST_SYSTEM_ERROR();
    }
    return port;
}
