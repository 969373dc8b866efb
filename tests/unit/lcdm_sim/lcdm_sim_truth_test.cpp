// lcdm-sim's ground truth (the frame log, the summary, the ground-truth file, reset) and
// its timing: notes moving one by one, and paced bytes at the configured baud rate.
#include "tests/unit/lcdm_sim/lcdm_sim_fixture.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using namespace lcdm_sim_test;

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
    EXPECT_NE(json.find("\"hex\":\"04 50 02 47 03 12\",\"line_us\":"), std::string::npos) << json;
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

} // namespace
