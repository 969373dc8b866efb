// lcdm-sim seen from the host's side of its pseudo-terminal: hand-built command frames go
// in, and every answer is checked byte for byte, together with the ground truth. The host's
// framing here is written independently of the simulator's.
#include "tools/lcdm-sim/cli_options.h"
#include "tools/lcdm-sim/faults.h"
#include "tools/lcdm-sim/lcdm_simulator.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using lcdm::Bytes;
using Clock = std::chrono::steady_clock;

constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;

// ---- The host's framing, independent of the simulator's.

std::uint8_t Xor(const Bytes& bytes)
{
    std::uint8_t check = 0;
    for (const std::uint8_t byte : bytes)
        check ^= byte;
    return check;
}

// Joins byte sequences: keeps the expected wire bytes readable.
Bytes operator+(const Bytes& a, const Bytes& b)
{
    Bytes joined;
    joined.reserve(a.size() + b.size());
    joined.insert(joined.end(), a.begin(), a.end());
    joined.insert(joined.end(), b.begin(), b.end());
    return joined;
}

Bytes Ascii(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

// EOT ID STX command ETX BCC
Bytes CommandFrame(const Bytes& command)
{
    Bytes frame = Bytes{0x04, 0x50, 0x02} + command + Bytes{0x03};
    frame.push_back(Xor(frame));
    return frame;
}

// SOH ID STX echo payload ETX BCC
Bytes ResponseFrame(std::uint8_t echo, const Bytes& payload)
{
    Bytes frame = Bytes{0x01, 0x50, 0x02, echo} + payload + Bytes{0x03};
    frame.push_back(Xor(frame));
    return frame;
}

// The slave pseudo-terminal, opened raw as the host would.
class HostLine {
public:
    explicit HostLine(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        if (fd_ < 0)
            throw std::runtime_error("cannot open " + path);
        termios settings{};
        ::tcgetattr(fd_, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(fd_, TCSANOW, &settings);
    }
    ~HostLine() { ::close(fd_); }
    HostLine(const HostLine&) = delete;
    HostLine& operator=(const HostLine&) = delete;

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

lcdm::SimulatorOptions Options(lcdm::Model model = lcdm::Model::Lcdm2000, int cassette1 = 100, int cassette2 = 100)
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

const Bytes kStatus{0x46};
const Bytes kVersion{0x47};
const Bytes kPurge{0x44};
const Bytes kTestRejectUpper{0x76};
const Bytes kTestRejectLower{0x77};

Bytes Dispense(std::string_view digits)
{
    return Bytes{digits.size() == 2 ? std::uint8_t{0x45} : std::uint8_t{0x56}} + Ascii(digits);
}

// ---------------------------------------------------------------- framing

TEST_F(LcdmSimTest, VersionExchangeIsExactOnTheWire)
{
    Start();
    host_->Send({0x04, 0x50, 0x02, 0x47, 0x03, 0x12});
    EXPECT_EQ(host_->Receive(15), (Bytes{0x06, 0x01, 0x50, 0x02, 0x47, 'V', '1', '.', '2', '2', '0', '0', '0', 0x03, 0x6E}));
    host_->Send({kAck});
    WaitForHostAcks(1);
    EXPECT_TRUE(host_->Quiet());
}

TEST_F(LcdmSimTest, VersionTextIsPaddedAndFilledWithTheModelNumber)
{
    auto options = Options(lcdm::Model::Lcdm1000);
    options.device.version = "AB";
    Start(options);
    EXPECT_EQ(Exchange(kVersion, 8), Ascii("AB  1000"));

    options = Options();
    options.device.version = "V2.01-XY";
    Start(options);
    EXPECT_EQ(Exchange(kVersion, 8), Ascii("V2.01-XY"));
}

TEST_F(LcdmSimTest, DamagedCommandFramesAreNakedAndNotExecuted)
{
    Start();
    Bytes badBcc = CommandFrame(kStatus);
    badBcc.back() ^= 0x01;
    Bytes badId = CommandFrame(kStatus);
    badId[1] = 0x51;
    badId.back() = Xor(Bytes(badId.begin(), badId.end() - 1));
    Bytes badStx = CommandFrame(kStatus);
    badStx[2] = 0x12;
    badStx.back() = Xor(Bytes(badStx.begin(), badStx.end() - 1));
    const Bytes noCode{0x04, 0x50, 0x02, 0x03, 0x04 ^ 0x50 ^ 0x02 ^ 0x03};
    for (const Bytes& frame : {badBcc, badId, badStx, noCode}) {
        host_->Send(frame);
        EXPECT_EQ(host_->Receive(1), Bytes{kNak}) << lcdm::HexBytes(frame);
        EXPECT_TRUE(host_->Quiet(50ms)) << "a NAK is all a damaged frame gets";
    }
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
    WaitForHostAcks(1);
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.commands, 1u);
    EXPECT_EQ(truth.framesIn, 5u);
    EXPECT_EQ(truth.frames.front().kind, lcdm::RecordKind::BadFrame);
    EXPECT_EQ(truth.frames.front().bytes, badBcc);
}

TEST_F(LcdmSimTest, OverlongFrameWithoutEtxIsNaked)
{
    Start();
    Bytes frame{0x04, 0x50, 0x02};
    frame.resize(64, 0x41);
    host_->Send(frame);
    EXPECT_EQ(host_->Receive(1), Bytes{kNak});
    EXPECT_EQ(Exchange(kStatus, 4).size(), 4u);
}

TEST_F(LcdmSimTest, NoiseAndUnfinishedFramesAreSkippedAndRecorded)
{
    Start();
    // Noise, then a frame cut short by the host starting over, then a whole frame.
    Bytes bytes{0xAA, 0x06, 0x15, 0x04, 0x50, 0x02, 0x46};
    const Bytes frame = CommandFrame(kVersion);
    bytes.insert(bytes.end(), frame.begin(), frame.end());
    host_->Send(bytes);
    EXPECT_EQ(host_->Receive(1), Bytes{kAck});
    EXPECT_EQ(host_->Receive(14), ResponseFrame(0x47, Ascii("V1.22000")));
    host_->Send({kAck});
    WaitForHostAcks(1);

    const lcdm::GroundTruth truth = sim_->Truth();
    ASSERT_GE(truth.frames.size(), 2u);
    EXPECT_EQ(truth.frames[0].kind, lcdm::RecordKind::Noise);
    EXPECT_EQ(truth.frames[0].bytes, (Bytes{0xAA, 0x06, 0x15, 0x04, 0x50, 0x02, 0x46}));
    EXPECT_EQ(truth.frames[1].kind, lcdm::RecordKind::Command);
    EXPECT_EQ(truth.frames[1].bytes, frame);
    EXPECT_EQ(truth.framesIn, 1u);
}

TEST_F(LcdmSimTest, UnknownCommandIsAcknowledgedAndAnsweredUndefined)
{
    Start();
    EXPECT_EQ(Exchange({0x99, 0x31}, 1), Bytes{0x37});
    EXPECT_EQ(sim_->CommandsExecuted(), 1u);
}

// ---------------------------------------------------------------- status and purge

TEST_F(LcdmSimTest, Lcdm2000StatusShowsNearEndAndMissingUnits)
{
    auto options = Options(lcdm::Model::Lcdm2000, 19, 20);
    Start(options);
    // Cassette 1 is below the threshold of 20, cassette 2 exactly at it.
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80 | 0x40, 0x80}));
    sim_->Fault("set-count:2:19");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0xC0, 0x80 | 0x20}));
    // A cassette that is out is not near its end.
    sim_->Fault("missing:1");
    sim_->Fault("missing:2");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80 | 0x02 | 0x04}));
    sim_->Fault("present:1");
    sim_->Fault("present:2");
    sim_->Fault("missing:tray");
    sim_->Fault("solenoid:1");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0xC0, 0x80 | 0x40 | 0x20 | 0x01}));
}

TEST_F(LcdmSimTest, Lcdm1000StatusByteBHasItsOwnLayout)
{
    Start(Options(lcdm::Model::Lcdm1000, 100, 0));
    // The empty lower cassette of an LCDM-1000 does not exist and shows nowhere.
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
    sim_->Fault("missing:tray");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x81}));
    sim_->Fault("missing:1");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x83}));
    sim_->Fault("solenoid:1");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x87}));
    sim_->Fault("present:tray");
    sim_->Fault("present:1");
    sim_->Fault("solenoid:0");
    sim_->Fault("set-count:1:3");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0xC0, 0x80}));
}

TEST_F(LcdmSimTest, StickyErrorStaysUntilCleared)
{
    Start();
    sim_->Fault("error:41");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x41, 0x80, 0x80}));
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x41, 0x80, 0x80}));
    sim_->Fault("error:30");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
}

TEST_F(LcdmSimTest, JamHoldsANoteInThePathUntilAPurge)
{
    Start();
    EXPECT_EQ(Exchange(kPurge, 1), Bytes{0x30});
    sim_->Fault("jam-after:2");
    // An armed jam makes the purge fail and stays armed for the next dispense.
    EXPECT_EQ(Exchange(kPurge, 1), Bytes{0x4E});
    EXPECT_EQ(Exchange(Dispense("05"), 8), Ascii("0202" "3" "0" "00"));
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80 | 0x01, 0x80})) << "CHK SENSOR 1 blocked";
    lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.taken[0], 3);
    EXPECT_EQ(truth.moved.exited[0], 2);
    EXPECT_EQ(truth.moved.inPath[0], 1);
    EXPECT_EQ(truth.moved.rejectBin, 0);

    EXPECT_EQ(Exchange(kPurge, 1), Bytes{0x30});
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
    truth = sim_->Truth();
    EXPECT_EQ(truth.moved.inPath[0], 0);
    EXPECT_EQ(truth.moved.rejected[0], 1);
    EXPECT_EQ(truth.moved.rejectBin, 1);
    EXPECT_EQ(truth.cassette1, 97);
}

TEST_F(LcdmSimTest, JamCodeChoosesTheBlockedSensor)
{
    Start();
    sim_->Fault("jam-after:0:35");
    EXPECT_EQ(Exchange(Dispense("0303"), 15), Ascii("0000" "0000" "5" "0" "0" "00" "00"));
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80 | 0x20, 0x80})) << "EXIT SENSOR";
    EXPECT_EQ(Exchange(kPurge, 1), Bytes{0x30});
    sim_->Fault("jam-after:1:4C");
    EXPECT_EQ(Exchange(Dispense("0202"), 15), Ascii("0101" "0000" "L" "0" "0" "00" "00"));
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80 | 0x08})) << "CHK SENSOR 3";
    EXPECT_EQ(sim_->Truth().moved.taken[1], 0) << "a jam stops the lower cassette too";
}

// ---------------------------------------------------------------- dispense

TEST_F(LcdmSimTest, SingleCassetteDispenseCountsEveryNote)
{
    auto options = Options(lcdm::Model::Lcdm2000, 25, 100);
    Start(options);
    EXPECT_EQ(Exchange(Dispense("05"), 8), Ascii("0505" "0" "0" "00")) << "20 left: not below the threshold";
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0101" "0" "1" "00")) << "19 left: near end";
    EXPECT_EQ(Exchange(Dispense("00"), 8), Ascii("0000" "0" "1" "00"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.cassette1, 19);
    EXPECT_EQ(truth.cassette2, 100);
    EXPECT_EQ(truth.moved.taken[0], 6);
    EXPECT_EQ(truth.moved.exited[0], 6);
    EXPECT_EQ(truth.moved.taken[1], 0);
    EXPECT_EQ(truth.commands, 3u);
}

TEST_F(LcdmSimTest, SixtyNotesIsTheMostOneDispenseTakes)
{
    Start();
    EXPECT_EQ(Exchange(Dispense("60"), 8), Ascii("6060" "0" "0" "00"));
    for (const char* digits : {"61", "99", "1A", "-1", " 5"})
        EXPECT_EQ(Exchange(Dispense(digits), 8), Ascii("0000" ";" "0" "00")) << digits;
    EXPECT_EQ(Exchange({0x45, '1'}, 8), Ascii("0000" ";" "0" "00")) << "one digit only";
    EXPECT_EQ(Exchange(Dispense("0561"), 15), Ascii("0000" "0000" ";" "0" "0" "00" "00"));
    EXPECT_EQ(sim_->Truth().moved.taken[0], 60) << "refused requests move nothing";
}

TEST_F(LcdmSimTest, UpperCassetteRunningOutIsBillEnd)
{
    Start(Options(lcdm::Model::Lcdm2000, 3, 100));
    EXPECT_EQ(Exchange(Dispense("05"), 8), Ascii("0303" "8" "1" "00"));
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0000" "8" "1" "00"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.cassette1, 0);
    EXPECT_EQ(truth.moved.taken[0], 3);
    EXPECT_EQ(truth.moved.exited[0], 3);
}

TEST_F(LcdmSimTest, EmptyingACassetteExactlyIsNoBillEnd)
{
    Start(Options(lcdm::Model::Lcdm2000, 5, 100));
    EXPECT_EQ(Exchange(Dispense("05"), 8), Ascii("0505" "0" "1" "00"));
}

TEST_F(LcdmSimTest, TwoCassetteDispense)
{
    Start();
    EXPECT_EQ(Exchange(Dispense("0507"), 15), Ascii("0505" "0707" "0" "0" "0" "00" "00"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.cassette1, 95);
    EXPECT_EQ(truth.cassette2, 93);
    EXPECT_EQ(truth.moved.exited[0], 5);
    EXPECT_EQ(truth.moved.exited[1], 7);
}

TEST_F(LcdmSimTest, BillEndOfOneCassetteLetsTheOtherFinish)
{
    Start(Options(lcdm::Model::Lcdm2000, 100, 2));
    EXPECT_EQ(Exchange(Dispense("0504"), 15), Ascii("0505" "0202" "@" "0" "1" "00" "00"));

    Start(Options(lcdm::Model::Lcdm2000, 1, 100));
    EXPECT_EQ(Exchange(Dispense("0302"), 15), Ascii("0101" "0202" "8" "1" "0" "00" "00"));
    EXPECT_EQ(sim_->Truth().moved.exited[1], 2);
}

TEST_F(LcdmSimTest, RejectedNotesAreReplaced)
{
    Start();
    sim_->Fault("reject-every:3");
    // Picks 1 2 [3] 4 5 [6] 7: five out of the exit, two into the bin.
    EXPECT_EQ(Exchange(Dispense("05"), 8), Ascii("0705" "0" "0" "02"));
    // Picks are counted over the whole command: the lower cassette's first pick is the third.
    EXPECT_EQ(Exchange(Dispense("0202"), 15), Ascii("0202" "0302" "0" "0" "0" "00" "01"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.taken[0], 9);
    EXPECT_EQ(truth.moved.exited[0], 7);
    EXPECT_EQ(truth.moved.rejected[0], 2);
    EXPECT_EQ(truth.moved.taken[1], 3);
    EXPECT_EQ(truth.moved.exited[1], 2);
    EXPECT_EQ(truth.moved.rejected[1], 1);
    EXPECT_EQ(truth.moved.rejectBin, 3);
    sim_->Fault("reject-every:0");
    EXPECT_EQ(Exchange(Dispense("03"), 8), Ascii("0303" "0" "0" "00"));
}

TEST_F(LcdmSimTest, TooManyRejectsStopWithOverReject)
{
    Start();
    sim_->Fault("reject-every:1");
    EXPECT_EQ(Exchange(Dispense("05"), 8), Ascii("1100" "D" "0" "11"));
    EXPECT_EQ(sim_->Truth().moved.rejectBin, 11);

    auto options = Options();
    options.device.overRejectLimit = 2;
    options.faults = {"reject-every:2"};
    Start(options);
    EXPECT_EQ(Exchange(Dispense("0003"), 15), Ascii("0000" "0503" "0" "0" "0" "00" "02"));
    EXPECT_EQ(Exchange(Dispense("09"), 8), Ascii("0603" "D" "0" "03"));
}

TEST_F(LcdmSimTest, MissingCassetteOrTrayStopsADispenseBeforeThePick)
{
    Start();
    sim_->Fault("missing:2");
    EXPECT_EQ(Exchange(Dispense("0101"), 15), Ascii("0000" "0000" "F" "0" "0" "00" "00"));
    EXPECT_EQ(Exchange(Dispense("0100"), 15), Ascii("0101" "0000" "0" "0" "0" "00" "00")) << "lower one not asked";
    sim_->Fault("missing:1");
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0000" "E" "0" "00"));
    sim_->Fault("present:1");
    sim_->Fault("missing:tray");
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0000" "?" "0" "00"));
    EXPECT_EQ(Exchange(kTestRejectUpper, 8), Ascii("0000" "?" "0" "00"));
    sim_->Fault("present:tray");
    sim_->Fault("solenoid:1");
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0000" "I" "0" "00"));
    EXPECT_EQ(sim_->Truth().moved.taken[0], 1);
}

// ---------------------------------------------------------------- test reject

TEST_F(LcdmSimTest, TestRejectSendsOneNoteIntoTheBin)
{
    Start(Options(lcdm::Model::Lcdm2000, 21, 1));
    EXPECT_EQ(Exchange(kTestRejectUpper, 8), Ascii("0100" "0" "0" "01"));
    EXPECT_EQ(Exchange(kTestRejectUpper, 8), Ascii("0100" "0" "1" "01"));
    EXPECT_EQ(Exchange(kTestRejectLower, 8), Ascii("0100" "0" "1" "01"));
    EXPECT_EQ(Exchange(kTestRejectLower, 8), Ascii("0000" "@" "1" "00"));
    sim_->Fault("empty:1");
    EXPECT_EQ(Exchange(kTestRejectUpper, 8), Ascii("0000" "8" "1" "00"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.taken[0], 2);
    EXPECT_EQ(truth.moved.taken[1], 1);
    EXPECT_EQ(truth.moved.rejected[0], 2);
    EXPECT_EQ(truth.moved.rejected[1], 1);
    EXPECT_EQ(truth.moved.rejectBin, 3);
    EXPECT_EQ(truth.moved.exited[0] + truth.moved.exited[1], 0);
}

TEST_F(LcdmSimTest, Lcdm1000RefusesTheLowerCassetteCommands)
{
    Start(Options(lcdm::Model::Lcdm1000, 100, 50));
    EXPECT_EQ(Exchange(Dispense("0101"), 15), Ascii("0000" "0000" "7" "0" "0" "00" "00"));
    EXPECT_EQ(Exchange(kTestRejectLower, 8), Ascii("0000" "7" "0" "00"));
    EXPECT_EQ(Exchange(Dispense("02"), 8), Ascii("0202" "0" "0" "00"));
    EXPECT_EQ(Exchange(kTestRejectUpper, 8), Ascii("0100" "0" "0" "01"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.cassette2, 50);
    EXPECT_EQ(truth.moved.taken[1], 0);
    EXPECT_EQ(truth.moved.taken[0], 3);
}

// ---------------------------------------------------------------- link faults

TEST_F(LcdmSimTest, NakFaultRefusesGoodFramesWithoutExecuting)
{
    Start();
    sim_->Fault("nak:2");
    const Bytes frame = CommandFrame(Dispense("01"));
    for (int attempt = 0; attempt < 2; ++attempt) {
        host_->Send(frame);
        EXPECT_EQ(host_->Receive(1), Bytes{kNak});
        EXPECT_TRUE(host_->Quiet(50ms));
    }
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0101" "0" "0" "00"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.taken[0], 1) << "only the acknowledged command moved a note";
    EXPECT_EQ(truth.commands, 1u);
    EXPECT_EQ(truth.framesIn, 3u);
}

TEST_F(LcdmSimTest, UnknownAcknowledgementFault)
{
    Start();
    sim_->Fault("ack:41");
    host_->Send(CommandFrame(Dispense("01")));
    EXPECT_EQ(host_->Receive(1), Bytes{0x41});
    EXPECT_TRUE(host_->Quiet());
    EXPECT_EQ(sim_->Truth().moved.taken[0], 0);
    EXPECT_EQ(Exchange(kStatus, 4).size(), 4u) << "the fault is used up";
    EXPECT_EQ(sim_->Truth().frames[1].kind, lcdm::RecordKind::OtherAck);
}

TEST_F(LcdmSimTest, SilentFaultIgnoresCommandsCompletely)
{
    Start();
    sim_->Fault("silent:2");
    host_->Send(CommandFrame(kStatus));
    EXPECT_TRUE(host_->Quiet());
    host_->Send(CommandFrame(kStatus));
    EXPECT_TRUE(host_->Quiet());
    EXPECT_EQ(Exchange(kStatus, 4).size(), 4u);
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.framesIn, 3u) << "ignored frames are still recorded";
    EXPECT_EQ(truth.commands, 1u);
}

TEST_F(LcdmSimTest, MuteFaultExecutesWithoutAnswering)
{
    Start();
    sim_->Fault("mute:1");
    host_->Send(CommandFrame(Dispense("03")));
    EXPECT_EQ(host_->Receive(1), Bytes{kAck});
    ASSERT_TRUE(sim_->WaitForCommands(1, 5s));
    EXPECT_TRUE(host_->Quiet());
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.exited[0], 3) << "the notes left although the host heard nothing";
    EXPECT_EQ(truth.framesOut, 0u);
    // The device is idle again: the host's next command (a new EOT) is served.
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0101" "0" "0" "00"));
}

TEST_F(LcdmSimTest, DamagedResponsesAreResentCleanOnNak)
{
    Start();
    const Bytes good = ResponseFrame(0x46, {0x30, 0x30, 0x80, 0x80});
    Bytes badBcc = good;
    badBcc.back() ^= 0xFF;
    const Bytes badEcho = ResponseFrame(0x47, {0x30, 0x30, 0x80, 0x80});

    sim_->Fault("bad-bcc:2");
    host_->Send(CommandFrame(kStatus));
    EXPECT_EQ(host_->Receive(1 + good.size()), Bytes{kAck} + badBcc);
    host_->Send({kNak});
    EXPECT_EQ(host_->Receive(good.size()), badBcc) << "the fault counts resends too";
    host_->Send({kNak});
    EXPECT_EQ(host_->Receive(good.size()), good);
    host_->Send({kAck});

    sim_->Fault("bad-echo:1");
    host_->Send(CommandFrame(kStatus));
    EXPECT_EQ(host_->Receive(1 + good.size()), Bytes{kAck} + badEcho);
    host_->Send({kNak});
    EXPECT_EQ(host_->Receive(good.size()), good);
    host_->Send({kAck});
    WaitForHostAcks(2);
    EXPECT_EQ(sim_->Truth().commands, 2u) << "resending does not execute again";
    EXPECT_EQ(sim_->Truth().framesOut, 5u);
}

TEST_F(LcdmSimTest, ShortFaultSendsOnlyTheHeader)
{
    Start();
    sim_->Fault("short:1");
    host_->Send(CommandFrame(kVersion));
    EXPECT_EQ(host_->Receive(5), (Bytes{kAck, 0x01, 0x50, 0x02, 0x47}));
    EXPECT_TRUE(host_->Quiet());
    // The host gives up without a NAK and sends its next command.
    EXPECT_EQ(Exchange(kVersion, 8), Ascii("V1.22000"));
}

TEST_F(LcdmSimTest, BadPayloadFaultBreaksWhatTheHostChecks)
{
    Start();
    sim_->Fault("bad-payload:3");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x31, 0x30, 0x00, 0x00}));
    EXPECT_EQ(Exchange(Dispense("02"), 8), Ascii("0272" "0" "0" "00"));
    EXPECT_EQ(Exchange(kTestRejectLower, 8), Ascii("7100" "0" "0" "01"));
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
    EXPECT_EQ(sim_->Truth().moved.exited[0], 2) << "the notes moved; only the answer is wrong";
}

TEST_F(LcdmSimTest, ClearDropsPendingFaults)
{
    Start();
    for (const char* text : {"nak:5", "silent:3", "mute:2", "short:2", "jam-after:0", "reject-every:1", "error:41",
                             "note-ms:5000", "solenoid:1", "bad-payload:4"})
        sim_->Fault(text);
    sim_->Fault("clear");
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
    EXPECT_EQ(Exchange(Dispense("02"), 8), Ascii("0202" "0" "0" "00"));
}

TEST_F(LcdmSimTest, SetCountAndEmptyChangeTheCassettes)
{
    Start();
    sim_->Fault("set-count:1:2");
    sim_->Fault("empty:2");
    EXPECT_EQ(Exchange(Dispense("0301"), 15), Ascii("0202" "0000" "8" "1" "1" "00" "00"));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.cassette1, 0);
    EXPECT_EQ(truth.cassette2, 0);
}

TEST(LcdmSimFaults, MalformedFaultsAreRefused)
{
    for (const char* text :
         {"", "nak", "nak:", "nak:x", "nak:-1", "nak:1:2", "nak:2000000", "ack:4", "ack:GG", "ack:123", "empty:0",
          "empty:3", "set-count:1", "set-count:0:5", "set-count:1:-1", "missing:3", "present:", "solenoid:2",
          "clear:1", "error:", "jam-after:2:XYZ", "jam-after:", "note-ms:1.5", "frobnicate:1", "NAK:1"}) {
        EXPECT_THROW(lcdm::ParseFault(text), std::invalid_argument) << '"' << text << '"';
    }
    const lcdm::Fault jam = lcdm::ParseFault("jam-after:4:48");
    EXPECT_EQ(jam.kind, lcdm::FaultKind::JamAfter);
    EXPECT_EQ(jam.count, 4);
    EXPECT_EQ(jam.code, 0x48);
    EXPECT_EQ(lcdm::ParseFault("jam-after:0").code, 0x33);
    const lcdm::Fault count = lcdm::ParseFault("set-count:2:1000000");
    EXPECT_EQ(count.cassette, 2);
    EXPECT_EQ(count.count, 1000000);
    EXPECT_EQ(lcdm::ParseFault("missing:tray").removable, lcdm::Removable::RejectTray);
    EXPECT_EQ(lcdm::ParseFault("ack:fe").code, 0xFE);
}

TEST_F(LcdmSimTest, BadFaultThroughTheApiChangesNothing)
{
    Start();
    EXPECT_THROW(sim_->Fault("nak:two"), std::invalid_argument);
    EXPECT_THROW(lcdm::Simulator([] {
                     auto options = Options();
                     options.faults = {"silent"};
                     return options;
                 }()),
                 std::invalid_argument);
    EXPECT_EQ(Exchange(kStatus, 4).size(), 4u);
}

// ---------------------------------------------------------------- resends and time-outs

TEST_F(LcdmSimTest, ResponseIsSentAtMostThreeTimes)
{
    Start();
    const Bytes response = ResponseFrame(0x76, Ascii("0100" "0" "0" "01"));
    host_->Send(CommandFrame(kTestRejectUpper));
    EXPECT_EQ(host_->Receive(1), Bytes{kAck});
    for (int transmission = 1; transmission <= 3; ++transmission) {
        EXPECT_EQ(host_->Receive(response.size()), response) << "transmission " << transmission;
        host_->Send({kNak});
    }
    EXPECT_TRUE(host_->Quiet(300ms)) << "no fourth transmission";
    EXPECT_EQ(Exchange(kStatus, 4).size(), 4u) << "idle again";
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.rejectBin, 1) << "executed once";
    EXPECT_EQ(truth.framesOut, 4u);
}

TEST_F(LcdmSimTest, DeviceStopsWaitingForTheHostAfterTheAckTimeout)
{
    auto options = Options();
    options.ackTimeout = 200ms;
    Start(options);
    host_->Send(CommandFrame(kStatus));
    EXPECT_EQ(host_->Receive(11).size(), 11u);
    std::this_thread::sleep_for(500ms); // well past the device's 200 ms
    host_->Send({kNak});
    EXPECT_TRUE(host_->Quiet(300ms)) << "a late NAK is noise, not a request to resend";
    ASSERT_TRUE(sim_->WaitUntil([](const lcdm::GroundTruth& truth) {
        return !truth.frames.empty() && truth.frames.back().kind == lcdm::RecordKind::Noise;
    }, 5s));
    EXPECT_EQ(sim_->Truth().frames.back().bytes, Bytes{kNak});
}

TEST_F(LcdmSimTest, NextCommandEndsTheWaitForTheHostsAck)
{
    Start(); // ack time-out 5 s: the test would notice waiting for it
    host_->Send(CommandFrame(kVersion));
    EXPECT_EQ(host_->Receive(15).size(), 15u);
    const auto start = Clock::now();
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
    EXPECT_LT(Clock::now() - start, 4s);
}

// ---------------------------------------------------------------- ground truth and timing

TEST_F(LcdmSimTest, FrameLogHoldsEveryByteInOrder)
{
    Start();
    EXPECT_TRUE(sim_->WaitForCommands(0, 0ms));
    EXPECT_FALSE(sim_->WaitForCommands(1, 20ms));
    Exchange(kVersion, 8);
    WaitForHostAcks(1);
    const lcdm::GroundTruth truth = sim_->Truth();
    ASSERT_EQ(truth.frames.size(), 4u);
    EXPECT_EQ(truth.frames[0].direction, lcdm::Direction::In);
    EXPECT_EQ(truth.frames[0].kind, lcdm::RecordKind::Command);
    EXPECT_EQ(lcdm::HexBytes(truth.frames[0].bytes), "04 50 02 47 03 12");
    EXPECT_EQ(truth.frames[1].direction, lcdm::Direction::Out);
    EXPECT_EQ(truth.frames[1].kind, lcdm::RecordKind::Ack);
    EXPECT_EQ(truth.frames[2].direction, lcdm::Direction::Out);
    EXPECT_EQ(truth.frames[2].kind, lcdm::RecordKind::Response);
    EXPECT_EQ(truth.frames[2].bytes, ResponseFrame(0x47, Ascii("V1.22000")));
    EXPECT_EQ(truth.frames[3].direction, lcdm::Direction::In);
    EXPECT_EQ(truth.frames[3].kind, lcdm::RecordKind::Ack);
    for (std::size_t i = 1; i < truth.frames.size(); ++i)
        EXPECT_LE(truth.frames[i - 1].at, truth.frames[i].at);

    const std::string json = sim_->FramesJson();
    EXPECT_EQ(json.rfind("{\"frames\":[{\"dir\":\"in\",\"kind\":\"command\",\"ms\":", 0), 0u) << json;
    EXPECT_NE(json.find("\"hex\":\"04 50 02 47 03 12\"}"), std::string::npos) << json;
    EXPECT_NE(json.find("{\"dir\":\"out\",\"kind\":\"ack\""), std::string::npos) << json;
}

TEST_F(LcdmSimTest, TruthJsonSummarisesTheCounts)
{
    Start(Options(lcdm::Model::Lcdm2000, 10, 20));
    sim_->Fault("reject-every:2");
    Exchange(Dispense("0201"), 15);
    WaitForHostAcks(1);
    EXPECT_EQ(sim_->TruthJson(),
              "{\"model\":\"LCDM-2000\",\"cassette1\":7,\"cassette2\":18,\"taken1\":3,\"taken2\":2,\"exit1\":2,"
              "\"exit2\":1,\"rejected1\":1,\"rejected2\":1,\"reject_bin\":2,\"in_path\":0,\"commands\":1,"
              "\"frames_in\":1,\"frames_out\":1}");
}

TEST_F(LcdmSimTest, GroundTruthFileHasTheSummaryThenOneLinePerRecord)
{
    Start();
    Exchange(kStatus, 4);
    WaitForHostAcks(1);
    const auto path = std::filesystem::temp_directory_path() / ("lcdm-sim-truth-" + std::to_string(::getpid()));
    sim_->WriteGroundTruth(path.string());
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    std::filesystem::remove(path);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], sim_->TruthJson());
    EXPECT_EQ(lines[1].rfind("{\"dir\":\"in\",\"kind\":\"command\"", 0), 0u) << lines[1];
    EXPECT_EQ(lines[4].rfind("{\"dir\":\"in\",\"kind\":\"ack\"", 0), 0u) << lines[4];
    EXPECT_THROW(sim_->WriteGroundTruth("/nonexistent-folder/truth.jsonl"), std::system_error);
}

TEST_F(LcdmSimTest, ResetGivesAFreshDeviceAndDropsFaults)
{
    Start();
    Exchange(Dispense("05"), 8);
    sim_->Fault("nak:3");
    lcdm::DeviceConfig config;
    config.model = lcdm::Model::Lcdm1000;
    config.cassette1 = 7;
    sim_->Reset(config);
    lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.model, lcdm::Model::Lcdm1000);
    EXPECT_EQ(truth.cassette1, 7);
    EXPECT_EQ(truth.moved.taken[0], 0);
    EXPECT_TRUE(truth.frames.empty());
    EXPECT_EQ(Exchange(Dispense("01"), 8), Ascii("0101" "0" "1" "00"));
    sim_->Reset();
    truth = sim_->Truth();
    EXPECT_EQ(truth.model, lcdm::Model::Lcdm2000);
    EXPECT_EQ(truth.cassette1, 100);
    config.nearEnd = -1;
    EXPECT_THROW(sim_->Reset(config), std::invalid_argument);
}

TEST_F(LcdmSimTest, ResetDropsACommandInProgress)
{
    Start();
    sim_->Fault("note-ms:200"); // 60 notes: twelve seconds, so the reset comes mid-command
    host_->Send(CommandFrame(Dispense("60")));
    EXPECT_EQ(host_->Receive(1), Bytes{kAck});
    ASSERT_TRUE(sim_->WaitUntil([](const lcdm::GroundTruth& t) { return t.moved.taken[0] >= 1; }, 5s));
    sim_->Reset();
    // The dropped dispense never answers; the next command is served by the fresh device.
    EXPECT_EQ(Exchange(kStatus, 4), (Bytes{0x30, 0x30, 0x80, 0x80}));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.taken[0], 0);
    EXPECT_EQ(truth.commands, 1u);
}

TEST_F(LcdmSimTest, NotesMoveOneByOneInTheirTime)
{
    Start();
    sim_->Fault("note-ms:60");
    const auto start = Clock::now();
    EXPECT_EQ(Exchange(Dispense("03"), 8), Ascii("0303" "0" "0" "00"));
    EXPECT_GE(Clock::now() - start, 180ms);
    EXPECT_LT(Clock::now() - start, 10s);
}

TEST_F(LcdmSimTest, CountersChangeAsNotesMoveAndAStopEndsANoteTime)
{
    Start();
    sim_->Fault("note-ms:10000");
    host_->Send(CommandFrame(Dispense("02")));
    EXPECT_EQ(host_->Receive(1), Bytes{kAck});
    ASSERT_TRUE(sim_->WaitUntil([](const lcdm::GroundTruth& t) { return t.moved.taken[0] >= 1; }, 5s));
    const lcdm::GroundTruth truth = sim_->Truth();
    EXPECT_EQ(truth.moved.taken[0], 1) << "the second note is ten seconds away";
    EXPECT_EQ(truth.moved.exited[0], 1);
    EXPECT_EQ(truth.commands, 0u);
    EXPECT_TRUE(host_->Quiet(50ms));

    const auto start = Clock::now();
    sim_.reset();
    EXPECT_LT(Clock::now() - start, 5s) << "destruction does not wait for the note";
}

TEST_F(LcdmSimTest, PacingSpendsTenBitTimesPerByte)
{
    auto options = Options();
    options.paceBaud = 1200; // 8.3 ms per byte
    Start(options);
    const auto start = Clock::now();
    host_->Send(CommandFrame(kVersion));
    EXPECT_EQ(host_->Receive(15).size(), 15u);
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 120ms) << "15 bytes at 1200 baud take 125 ms";
    EXPECT_LT(elapsed, 10s);
}

// ---------------------------------------------------------------- control channel

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

TEST_F(LcdmSimTest, ControlChannelOverTcp)
{
    auto options = Options();
    options.control = "127.0.0.1:0";
    Start(options);
    ASSERT_EQ(sim_->ControlAddress().rfind("127.0.0.1:", 0), 0u) << sim_->ControlAddress();
    ControlClient client(sim_->ControlAddress());
    ControlClient other(sim_->ControlAddress());

    EXPECT_EQ(client.Ask("fault nak:1 set-count:1:30"), "OK");
    host_->Send(CommandFrame(kStatus));
    EXPECT_EQ(host_->Receive(1), Bytes{kNak});
    EXPECT_EQ(Exchange(Dispense("02"), 8), Ascii("0202" "0" "0" "00"));
    WaitForHostAcks(1);
    EXPECT_EQ(other.Ask("truth"), sim_->TruthJson()) << "a second connection is served too";
    const auto truth = client.Ask("truth");
    ASSERT_TRUE(truth);
    EXPECT_NE(truth->find("\"cassette1\":28,"), std::string::npos) << *truth;
    EXPECT_NE(truth->find("\"frames_in\":2,\"frames_out\":1}"), std::string::npos) << *truth;
    EXPECT_EQ(client.Ask("frames"), sim_->FramesJson());

    EXPECT_EQ(client.Ask("reset model=lcdm-1000 cassette1=7 near-end=5"), "OK");
    const auto fresh = client.Ask("truth");
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->rfind("{\"model\":\"LCDM-1000\",\"cassette1\":7,\"cassette2\":0,", 0), 0u) << *fresh;
    EXPECT_EQ(Exchange(Dispense("03"), 8), Ascii("0303" "0" "1" "00"));

    for (const char* bad : {"fault", "fault nak:1 bogus", "reset colour=red", "reset cassette1=-4", "reset model=x",
                            "truth please", "launch", ""}) {
        const auto reply = client.Ask(bad);
        ASSERT_TRUE(reply) << bad;
        EXPECT_EQ(reply->rfind("ERROR ", 0), 0u) << bad << " -> " << *reply;
    }
    EXPECT_EQ(Exchange(kStatus, 4).size(), 4u) << "'fault nak:1 bogus' applied nothing";
    EXPECT_EQ(client.Ask("quit"), "OK");
    EXPECT_EQ(client.ReadLine(), std::nullopt) << "closed after quit";
    EXPECT_EQ(other.Ask("truth"), sim_->TruthJson());
}

TEST(LcdmSimControl, UnusableAddressesAreRefused)
{
    auto options = Options();
    options.control = "no-port";
    EXPECT_THROW(lcdm::Simulator{options}, std::invalid_argument);
    options.control = "127.0.0.1:notaport";
    EXPECT_ANY_THROW(lcdm::Simulator{options});
}

// ---------------------------------------------------------------- command line

TEST(LcdmSimCommandLine, TakesEveryOption)
{
    const lcdm::ProgramOptions options = lcdm::ParseCommandLine(
        {"--model", "LCDM-1000", "--cassette1=40", "--near-end", "7", "--over-reject", "3", "--version", "X9",
         "--link", "/tmp/a", "--link=/tmp/b", "--fault", "nak:1", "--fault", "note-ms:5", "--pace-baud", "9600",
         "--ack-timeout", "250", "--ground-truth", "/tmp/t.jsonl", "--control", "127.0.0.1:0", "--ignore-stdin"});
    const lcdm::SimulatorOptions& sim = options.simulator;
    EXPECT_EQ(sim.device.model, lcdm::Model::Lcdm1000);
    EXPECT_EQ(sim.device.cassette1, 40);
    EXPECT_EQ(sim.device.cassette2, 0) << "an LCDM-1000 has no lower cassette";
    EXPECT_EQ(sim.device.nearEnd, 7);
    EXPECT_EQ(sim.device.overRejectLimit, 3);
    EXPECT_EQ(sim.device.version, "X9");
    EXPECT_EQ(sim.links, (std::vector<std::string>{"/tmp/a", "/tmp/b"}));
    EXPECT_EQ(sim.faults, (std::vector<std::string>{"nak:1", "note-ms:5"}));
    EXPECT_EQ(sim.paceBaud, 9600);
    EXPECT_EQ(sim.ackTimeout, 250ms);
    EXPECT_EQ(options.groundTruthPath, "/tmp/t.jsonl");
    EXPECT_EQ(sim.control, "127.0.0.1:0");
    EXPECT_FALSE(options.watchStdin);
    EXPECT_FALSE(options.showHelp);

    const lcdm::ProgramOptions defaults = lcdm::ParseCommandLine({});
    EXPECT_EQ(defaults.simulator.device.model, lcdm::Model::Lcdm2000);
    EXPECT_EQ(defaults.simulator.device.cassette2, 100);
    EXPECT_EQ(defaults.simulator.device.nearEnd, 20);
    EXPECT_EQ(defaults.simulator.device.version, "V1.2");
    EXPECT_EQ(defaults.simulator.ackTimeout, 5000ms);
    EXPECT_EQ(defaults.simulator.paceBaud, 0);
    EXPECT_TRUE(defaults.watchStdin);
    EXPECT_EQ(lcdm::ParseCommandLine({"--model", "lcdm-1000", "--cassette2", "9"}).simulator.device.cassette2, 9);
}

TEST(LcdmSimCommandLine, RefusesWhatItCannotTake)
{
    for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"--model"}, {"--model", "LCDM-3000"}, {"--cassette1", "many"}, {"--cassette1", "-1"},
             {"--near-end", "1e3"}, {"--fault", "nak"}, {"--pace-baud", "-9600"}, {"--version", "TOO-LONG-1"},
             {"--version", ""}, {"--help=yes"}, {"--over-reject", "100"}, {"cassette1"}}) {
        EXPECT_THROW(lcdm::ParseCommandLine(arguments), std::invalid_argument) << arguments.front();
    }
}

// The program, started by path and stopped by PID.
class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& arguments)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0 || ::pipe2(output, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe2");
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        std::vector<std::string> all{LCDM_SIM_PROGRAM};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& argument : all)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int error = ::posix_spawn(&pid_, LCDM_SIM_PROGRAM, &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        stdin_ = input[1];
        stdout_ = output[0];
        if (error != 0)
            throw std::runtime_error("cannot start " LCDM_SIM_PROGRAM);
    }

    ~SimProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        CloseStdin();
        ::close(stdout_);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // One line of standard output; empty at its end or after 10 s.
    std::string ReadLine()
    {
        std::string line;
        for (char c = 0;;) {
            pollfd entry{stdout_, POLLIN, 0};
            if (::poll(&entry, 1, 10000) <= 0 || ::read(stdout_, &c, 1) != 1 || c == '\n')
                return line;
            line += c;
        }
    }

    // Everything left on standard output, until it closes (or 10 s pass).
    std::string ReadAll()
    {
        std::string text;
        char buffer[4096];
        for (;;) {
            pollfd entry{stdout_, POLLIN, 0};
            if (::poll(&entry, 1, 10000) <= 0)
                return text;
            const ssize_t got = ::read(stdout_, buffer, sizeof buffer);
            if (got <= 0)
                return text;
            text.append(buffer, static_cast<std::size_t>(got));
        }
    }

    void CloseStdin()
    {
        if (stdin_ >= 0)
            ::close(stdin_);
        stdin_ = -1;
    }

    void Signal(int signal) const { ::kill(pid_, signal); }

    // The exit code; -1 when it has not ended within 10 s (or died of a signal).
    int Wait()
    {
        const auto deadline = Clock::now() + 10s;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (Clock::now() > deadline)
                return -1;
            std::this_thread::sleep_for(5ms);
        }
        pid_ = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid_ = 0;
    int stdin_ = -1;
    int stdout_ = -1;
};

class TempFolder {
public:
    TempFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "lcdm-sim-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp");
        path_ = pattern;
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

TEST(LcdmSimProgram, ServesUntilSigtermThenWritesTheTruthAndRemovesItsLinks)
{
    const TempFolder folder;
    const auto link = folder / "com1";
    const auto truthFile = folder / "truth.jsonl";
    std::filesystem::create_symlink("/nonexistent", link); // an old link is replaced
    SimProcess process({"--model", "LCDM-1000", "--cassette1", "30", "--link", link.string(), "--control",
                        "127.0.0.1:0", "--ground-truth", truthFile.string(), "--fault", "reject-every:2"});
    const std::string control = process.ReadLine();
    ASSERT_EQ(control.rfind("CONTROL 127.0.0.1:", 0), 0u) << control;
    const std::string ready = process.ReadLine();
    ASSERT_EQ(ready.rfind("READY /dev/pts/", 0), 0u) << ready;
    const std::string device = ready.substr(6);
    EXPECT_EQ(std::filesystem::read_symlink(link), device);

    {
        const HostLine host(link.string());
        host.Send(CommandFrame(Dispense("02")));
        EXPECT_EQ(host.Receive(15), Bytes{kAck} + ResponseFrame(0x45, Ascii("0302" "0" "0" "01")));
        host.Send({kAck});
        ControlClient client(control.substr(8));
        ASSERT_TRUE(client.Ask("truth"));
    }
    process.Signal(SIGTERM);
    EXPECT_EQ(process.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    std::ifstream file(truthFile);
    std::string summary;
    ASSERT_TRUE(std::getline(file, summary));
    EXPECT_EQ(summary.rfind("{\"model\":\"LCDM-1000\",\"cassette1\":27,\"cassette2\":0,\"taken1\":3,", 0), 0u)
        << summary;
}

TEST(LcdmSimProgram, EndOfStandardInputStopsIt)
{
    SimProcess process({});
    const std::string ready = process.ReadLine();
    ASSERT_EQ(ready.rfind("READY ", 0), 0u) << ready;
    EXPECT_TRUE(std::filesystem::exists(ready.substr(6)));
    process.CloseStdin();
    EXPECT_EQ(process.Wait(), 0);
}

TEST(LcdmSimProgram, HelpAndBadArguments)
{
    SimProcess help({"--help"});
    const std::string text = help.ReadAll();
    EXPECT_EQ(help.Wait(), 0);
    for (const char* word : {"--model", "--cassette1", "--cassette2", "--near-end", "--link", "--fault", "--pace-baud",
                             "--ground-truth", "--control", "--version", "--ack-timeout", "--over-reject",
                             "--ignore-stdin", "nak:N", "ack:XX", "silent:N", "mute:N", "bad-bcc:N", "bad-echo:N",
                             "short:N", "bad-payload:N", "jam-after:K", "empty:C", "set-count:C:N", "reject-every:N",
                             "note-ms:T", "error:XX", "missing:", "present:", "solenoid:", "clear", "truth", "frames",
                             "reset", "quit"})
        EXPECT_NE(text.find(word), std::string::npos) << word;

    SimProcess bad({"--fault", "nak:many"});
    EXPECT_EQ(bad.ReadLine(), "") << "no READY line";
    EXPECT_EQ(bad.Wait(), 2);
}

} // namespace
