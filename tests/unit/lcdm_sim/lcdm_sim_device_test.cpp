// lcdm-sim's device commands on the wire with their ground truth: status and purge, jams,
// dispenses from one or both cassettes with rejects and bill-end, and the test reject.
#include "tests/unit/lcdm_sim/lcdm_sim_fixture.h"

namespace {

using namespace lcdm_sim_test;

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

} // namespace
