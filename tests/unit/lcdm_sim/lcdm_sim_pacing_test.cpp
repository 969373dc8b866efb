// The paced line against the clock: at 9600 Bd every byte of the device's answer reaches
// the host in the line's time, on a schedule whose errors do not add up, and no answer
// begins before the host's command could have arrived.
#include "tests/unit/lcdm_sim/lcdm_sim_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>

namespace {

using namespace lcdm_sim_test;

constexpr auto kByteTime = std::chrono::nanoseconds(10'000'000'000LL / 9600); // 1.0417 ms
// How much longer than the line's time a frame may take to reach the host: the wake-ups
// of the simulator and of the host's reads. Measured on a 2-core machine with both cores
// busy (a full test run beside it, load 2 to 3): at most 2.1 ms in 40 runs of this test.
constexpr auto kLateness = std::chrono::microseconds(LCDM_SIM_PACING_TOLERANCE_US);

// One byte read by the host as soon as it is there, and when.
struct Arrival {
    std::uint8_t byte = 0;
    Clock::time_point at;
};

std::vector<Arrival> ReceiveTimed(const HostLine& host, std::size_t count)
{
    std::vector<Arrival> arrivals;
    while (arrivals.size() < count) {
        const Bytes byte = host.Receive(1, 2s);
        if (byte.empty())
            break;
        arrivals.push_back({byte[0], Clock::now()});
    }
    return arrivals;
}

TEST_F(LcdmSimTest, PacedBytesKeepTheLinesTimeAgainstTheClock)
{
    lcdm::SimulatorOptions options = Options();
    options.paceBaud = 9600;
    Start(options);
    Clock::duration worst{};
    for (const Bytes& command : {kStatus, Dispense("0101"), kStatus, Dispense("0202"), kStatus}) {
        const Bytes frame = CommandFrame(command);
        const Clock::time_point sent = Clock::now();
        host_->Send(frame);
        const std::vector<Arrival> ack = ReceiveTimed(*host_, 1);
        ASSERT_EQ(ack.size(), 1u);
        EXPECT_EQ(ack[0].byte, kAck);
        // The command's bytes and then the ACK's, each a byte time on the line.
        EXPECT_GE(ack[0].at - sent, kByteTime * static_cast<long>(frame.size() + 1))
            << "the ACK came before the command could have arrived";

        const std::size_t length = command == kStatus ? 4 + 6 : 15 + 6; // payload and framing
        const std::vector<Arrival> answer = ReceiveTimed(*host_, length);
        ASSERT_EQ(answer.size(), length);
        host_->Send({kAck});
        // The frame takes the line's time from its first byte to its last: not much less (an
        // unpaced line), and not more by the tolerance (a drift that adds up byte by byte,
        // such as a byte time rounded up to 2 ms, would be 20 ms over 21 bytes).
        const auto lineTime = kByteTime * static_cast<long>(answer.size() - 1);
        const auto took = answer.back().at - answer.front().at;
        // (A late wake-up for the first byte shortens what the host sees; half the line's
        // time is still far more than an unpaced line's burst takes.)
        EXPECT_GE(took, lineTime / 2) << "faster than the line";
        worst = std::max(worst, took - lineTime);
        WaitForHostAcks(1);
    }
    EXPECT_LE(worst, kLateness);
    if (std::getenv("LCDM_SIM_PACING_REPORT") != nullptr)
        std::cout << "pacing: worst frame over the line's time "
                  << std::chrono::duration_cast<std::chrono::microseconds>(worst).count() << " us\n";
}

// Each record says when its bytes were on the line, on the clock other programs share:
// the command when it was read, each answer when its last byte was whole at the host's
// end, in the order and at least the line time apart.
TEST_F(LcdmSimTest, RecordsSayWhenTheirBytesWereOnTheLine)
{
    lcdm::SimulatorOptions options = Options();
    options.paceBaud = 9600;
    Start(options);
    const auto before = std::chrono::system_clock::now();
    Exchange(kStatus, 4);
    WaitForHostAcks(1);
    const auto after = std::chrono::system_clock::now();
    const std::vector<lcdm::FrameRecord> frames = sim_->Truth().frames;
    ASSERT_EQ(frames.size(), 4u); // command, ACK, response, the host's ACK
    for (const lcdm::FrameRecord& record : frames) {
        EXPECT_GE(record.lineAt, before) << lcdm::KindName(record.kind);
        EXPECT_LE(record.lineAt, after) << lcdm::KindName(record.kind);
    }
    // The command's 6 bytes and the ACK (most of them: the command's record reads the clock
    // a little after the pacer does, later still when the scheduler intervenes); then the
    // response's 10, both stamps taken on the one thread after its writes.
    EXPECT_GE(frames[1].lineAt - frames[0].lineAt, kByteTime * 4);
    EXPECT_GE(frames[2].lineAt - frames[1].lineAt, kByteTime * 10);
    EXPECT_GT(frames[3].lineAt, frames[2].lineAt);
    EXPECT_NE(lcdm::FrameRecordJson(frames[2]).find(",\"line_us\":" + std::to_string(
                  std::chrono::duration_cast<std::chrono::microseconds>(frames[2].lineAt.time_since_epoch()).count())),
              std::string::npos);
}

} // namespace
