// lcdm-sim seen from the host's side of its pseudo-terminal: hand-built command frames go
// in, and every answer is checked byte for byte: the framing, damaged and unknown frames,
// and the resends and time-outs of an exchange.
#include "tests/unit/lcdm_sim/lcdm_sim_fixture.h"

#include <thread>

namespace {

using namespace lcdm_sim_test;

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

} // namespace
