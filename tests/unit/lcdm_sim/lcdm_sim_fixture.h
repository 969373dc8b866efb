// The host's side of lcdm-sim for its tests: command and response frames built here,
// independently of the simulator's framing; the host's end of the pseudo-terminal; a
// fixture that starts a simulator and runs clean exchanges; a client of the control channel.
#pragma once

#include "tools/lcdm-sim/lcdm_simulator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lcdm_sim_test {

using namespace std::chrono_literals;
using lcdm::Bytes;
using Clock = std::chrono::steady_clock;

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kNak = 0x15;

// ---- The host's framing, independent of the simulator's.

inline std::uint8_t Xor(const Bytes& bytes)
{
    std::uint8_t check = 0;
    for (const std::uint8_t byte : bytes)
        check ^= byte;
    return check;
}

// Joins byte sequences: keeps the expected wire bytes readable.
inline Bytes operator+(const Bytes& a, const Bytes& b)
{
    Bytes joined;
    joined.reserve(a.size() + b.size());
    joined.insert(joined.end(), a.begin(), a.end());
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

inline Bytes Ascii(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// EOT ID STX command ETX BCC
inline Bytes CommandFrame(const Bytes& command)
{
    Bytes frame = Bytes{0x04, 0x50, 0x02} + command + Bytes{0x03};
    frame.push_back(Xor(frame));
    return frame;
}

// SOH ID STX echo payload ETX BCC
inline Bytes ResponseFrame(std::uint8_t echo, const Bytes& payload)
{
    Bytes frame = Bytes{0x01, 0x50, 0x02, echo} + payload + Bytes{0x03};
    frame.push_back(Xor(frame));
    return frame;
}

// The slave pseudo-terminal, opened raw as the host would.
class HostLine {
public:
    explicit HostLine(const std::string& path) : HostLine(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC), path) {}
    // Takes `fd` over (a pseudo-terminal's master, say).
    HostLine(int fd, const std::string& what) : fd_(fd)
    {
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + what);
        termios settings{};
        ::tcgetattr(fd_, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
    ~HostLine() { ::close(fd_); }
    HostLine(const HostLine&) = delete;
    HostLine& operator=(const HostLine&) = delete;

    int Fd() const noexcept { return fd_; }

    void Send(const Bytes& bytes) const
    {
        ASSERT_EQ(::write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Up to `count` bytes; fewer when the time-out passes first.
    Bytes Receive(std::size_t count, std::chrono::milliseconds timeout = 5s) const
    {
        Bytes received;
        const auto deadline = Clock::now() + timeout;
        while (received.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd entry{fd_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
                break;
            std::uint8_t buffer[256];
            const ssize_t got = ::read(fd_, buffer, std::min(sizeof buffer, count - received.size()));
            if (got > 0)
                received.insert(received.end(), buffer, buffer + got);
        }
        return received;
    }

    // True when nothing arrives within the window.
    bool Quiet(std::chrono::milliseconds window = 150ms) const { return Receive(1, window).empty(); }

private:
    int fd_;
};

inline lcdm::SimulatorOptions Options(lcdm::Model model = lcdm::Model::Lcdm2000, int cassette1 = 100, int cassette2 = 100)
{
    lcdm::SimulatorOptions options;
    options.device.model = model;
    options.device.cassette1 = cassette1;
    options.device.cassette2 = cassette2;
    return options;
}

class LcdmSimTest : public ::testing::Test {
protected:
    void Start(lcdm::SimulatorOptions options = Options())
    {
        sim_ = std::make_unique<lcdm::Simulator>(std::move(options));
        host_ = std::make_unique<HostLine>(sim_->DevicePath());
    }

    // One clean exchange: command, ACK, response of `payloadLength` bytes, host ACK.
    // Returns the payload; records a failure when the framing is not exactly right.
    Bytes Exchange(const Bytes& command, std::size_t payloadLength)
    {
        host_->Send(CommandFrame(command));
        const Bytes ack = host_->Receive(1);
        EXPECT_EQ(ack, Bytes{kAck}) << "command " << lcdm::HexBytes(command);
        const Bytes response = host_->Receive(payloadLength + 6);
        host_->Send({kAck});
        if (response.size() != payloadLength + 6) {
            ADD_FAILURE() << "response to " << lcdm::HexBytes(command) << ": " << lcdm::HexBytes(response);
            return {};
        }
        const Bytes payload(response.begin() + 4, response.end() - 2);
        EXPECT_EQ(response, ResponseFrame(command[0], payload)) << "framing of the response";
        return payload;
    }

    // Waits until the device has seen the host's last ACK, so the exchange is over.
    void WaitForHostAcks(std::size_t count)
    {
        ASSERT_TRUE(sim_->WaitUntil(
            [&](const lcdm::GroundTruth& truth) {
                return std::count_if(truth.frames.begin(), truth.frames.end(), [](const lcdm::FrameRecord& r) {
                           return r.direction == lcdm::Direction::In && r.kind == lcdm::RecordKind::Ack;
                       }) >= static_cast<std::ptrdiff_t>(count);
            },
            5s));
    }

    std::unique_ptr<lcdm::Simulator> sim_;
    std::unique_ptr<HostLine> host_;
};

inline const Bytes kStatus{0x46};
inline const Bytes kVersion{0x47};
inline const Bytes kPurge{0x44};
inline const Bytes kTestRejectUpper{0x76};
inline const Bytes kTestRejectLower{0x77};

inline Bytes Dispense(std::string_view digits)
{
    return Bytes{digits.size() == 2 ? std::uint8_t{0x45} : std::uint8_t{0x56}} + Ascii(digits);
}

// A connection to the simulator's control channel, one line per command and answer.
class ControlClient {
public:
    explicit ControlClient(const std::string& address) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        const std::size_t colon = address.rfind(':');
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(static_cast<std::uint16_t>(std::stoi(address.substr(colon + 1))));
        ::inet_pton(AF_INET, address.substr(0, colon).c_str(), &target.sin_addr);
        if (::connect(fd_, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0)
            throw std::runtime_error("cannot connect to " + address);
    }
    ~ControlClient() { ::close(fd_); }
    ControlClient(const ControlClient&) = delete;
    ControlClient& operator=(const ControlClient&) = delete;

    // Sends the line; returns the reply line, or nullopt when the connection closed.
    std::optional<std::string> Ask(const std::string& line)
    {
        const std::string data = line + "\n";
        if (::send(fd_, data.data(), data.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(data.size()))
            return std::nullopt;
        return ReadLine();
    }

    std::optional<std::string> ReadLine()
    {
        for (;;) {
            if (const std::size_t end = input_.find('\n'); end != std::string::npos) {
                std::string line = input_.substr(0, end);
                input_.erase(0, end + 1);
                return line;
            }
            pollfd entry{fd_, POLLIN, 0};
            if (::poll(&entry, 1, 5000) <= 0)
                return std::nullopt;
            char buffer[4096];
            const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0)
                return std::nullopt;
            input_.append(buffer, static_cast<std::size_t>(got));
        }
    }

private:
    int fd_;
    std::string input_;
};

} // namespace lcdm_sim_test
