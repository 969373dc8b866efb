// lcdm-sim's injected link faults (NAKs, unknown acknowledgements, silence, damaged and
// short answers) and the fault texts it refuses.
#include "tests/unit/lcdm_sim/lcdm_sim_fixture.h"

#include "tools/lcdm-sim/faults.h"

namespace {

using namespace lcdm_sim_test;

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

    // An answer within the protocol that claims one note more than left.
    sim_->Fault("over-count:1");
    EXPECT_EQ(Exchange(Dispense("02"), 8), Ascii("0303" "0" "0" "00"));
    EXPECT_EQ(Exchange(Dispense("02"), 8), Ascii("0202" "0" "0" "00"));
    EXPECT_EQ(sim_->Truth().moved.exited[0], 6);
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

} // namespace
