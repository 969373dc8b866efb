// Passes in doubt against the simulated dispenser: a command the device may have
// carried out without a valid answer leaves its notes in doubt under a durable marker,
// no note moves until a technician's count, and the count settles them.
#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "tests/integration/scenarios/scenario_fixture.h"

#include <gmock/gmock.h>


namespace {

using ::testing::HasSubstr;

struct FaultCase {
    const char* fault;
    bool inDoubt; // the device took the command, or may have
};

TEST_F(ScenarioTest, EveryFaultAfterTheCommandLeavesThePassInDoubtUntilReconciled)
{
    const FaultCase cases[] = {
        {"mute:1", true},        // executed, the answer never comes
        {"short:3", true},       // executed, the answer cut short beyond the retries
        {"bad-payload:1", true}, // executed, fields out of range
        {"over-count:1", true},  // executed, the answer claims more notes than were asked
        {"ack:00", true},        // a byte that may have been a damaged acknowledgement
        {"nak:3", false},        // refused each time: nothing moved, nothing in doubt
    };
    for (const char* model : {"LCDM-1000", "LCDM-2000"}) {
        for (const FaultCase& c : cases) {
            SCOPED_TRACE(std::string(model) + " " + c.fault);
            SetUpDevice(model, 100, 100);
            MainKey()["MaxDispense"] = 5;
            MainKey()["DeviceResponseTimeout"] = 500;
            const Ledger before = TakeLedger();
            const std::size_t pending = JournalOf("PENDING").size();
            device_->Fault(c.fault);
            const Payout payout = Dispense(12, 0);
            device_->Fault("clear");
            EXPECT_FALSE(payout.result);
            const SimulatorTruth truth = device_->Truth();
            const Texts records = RecordsSince(before);
            if (!c.inDoubt) {
                EXPECT_EQ(payout.unknown1, 0u);
                EXPECT_EQ(RecordsOf(records, "FAILURE").size(), 1u);
                EXPECT_FALSE(MainKey().HasSubkey("Pending"));
                continue;
            }
            // The first pass of 5 is in doubt; no FAILURE counts its notes.
            EXPECT_EQ(payout.dispensed1, 0u);
            EXPECT_EQ(payout.unknown1, 5u);
            EXPECT_EQ(SumOf(RecordsOf(records, "UNKNOWN", "кассета #1:")), 5u);
            EXPECT_EQ(SumOf(RecordsOf(records, "FAILURE")), 7u);
            EXPECT_THAT(::testing::PrintToString(payout.errors), HasSubstr("Результат выдачи неизвестен"));
            EXPECT_EQ(JournalOf("PENDING").size(), pending + 1) << "one pass written ahead, one sent";
            EXPECT_EQ(CassetteCount(1), 100u) << "the counters of a pass in doubt are not changed";

            // Nothing moves, with no frame on the wire, until the count.
            const unsigned frames = device_->Truth().framesIn;
            const Payout refused = Dispense(1, 0);
            EXPECT_FALSE(refused.result);
            EXPECT_THAT(::testing::PrintToString(refused.errors), HasSubstr("dispenserctl reconcile"));
            EXPECT_FALSE(DispenserScenario::TestReject(nullptr, nullptr, 1, nullptr));
            EXPECT_EQ(device_->Truth().framesIn, frames);

            DispenserControl::Settings store(true);
            const DispenserControl::CountRange range = DispenserControl::ExpectedCassetteRange(store, 1);
            EXPECT_EQ(range.low, 95u);
            EXPECT_EQ(range.high, 100u);
            EXPECT_TRUE(range.Holds(truth.cassette1));
            DispenserControl::ReconcileCassette(store, 1, truth.cassette1, *DispenserLogHandler::Instance());
            EXPECT_FALSE(MainKey().HasSubkey("Pending"));
            ASSERT_FALSE(JournalOf("RECONCILED").empty());
            EXPECT_EQ(RecordValue(JournalOf("RECONCILED").back()), truth.cassette1);

            const Ledger again = TakeLedger();
            const Payout paid = Dispense(3, 0);
            EXPECT_TRUE(paid.result) << ::testing::PrintToString(paid.errors);
            ExpectAccounted(again, paid);
            EXPECT_EQ(CassetteCount(1), device_->Truth().cassette1);
        }
    }
}

TEST_F(ScenarioTest, AnAnswerNamingACassetteNotAskedLeavesThePassInDoubt)
{
    // Only the lower cassette is asked; the answer claims a note of the upper one.
    SetUpDevice("LCDM-2000", 100, 100);
    device_->Fault("over-count:1");
    const Payout payout = Dispense(0, 4);
    EXPECT_FALSE(payout.result);
    EXPECT_EQ(payout.unknown1, 0u);
    EXPECT_EQ(payout.unknown2, 4u);
    EXPECT_EQ(device_->Truth().cassette2, 96u);
    EXPECT_EQ(CassetteCount(1), 100u);
    EXPECT_EQ(CassetteCount(2), 100u);
    EXPECT_THAT(JournalOf("UNKNOWN").back(), HasSubstr("кассеты #1"));
}

TEST_F(ScenarioTest, AnExceptionOfAnyKindAfterTheAnswerLeavesThePassInDoubt)
{
    // A trace observer (a console following the payout) fails as the answer is traced.
    SetUpDevice("LCDM-2000", 100, 100);
    AppLog& trace = DispenserLogHandler::Instance()->TraceLog();
    trace.SetRecordObserver([](int, const std::string& line) {
        if (line.find("выдача купюр (кассета #2)") != std::string::npos)
            throw std::runtime_error("the console went away");
    });
    const Payout payout = Dispense(0, 4);
    trace.SetRecordObserver(nullptr);
    EXPECT_FALSE(payout.result);
    EXPECT_EQ(payout.unknown2, 4u);
    EXPECT_EQ(device_->Truth().cassette2, 96u);
    EXPECT_EQ(CassetteCount(2), 100u) << "the booking did not happen";
    EXPECT_TRUE(MainKey().HasSubkey("Pending"));
    EXPECT_EQ(SumOf(JournalOf("UNKNOWN")), 4u);
    EXPECT_TRUE(JournalOf("FAILURE").empty());
}

TEST_F(ScenarioTest, AMarkerLeftByADeadProcessRefusesEveryNoteMove)
{
    SetUpDevice();
    {
        DispenserControl::Settings store(true);
        DispenserControl::PendingPass pass;
        pass.operation = "Dispense";
        pass.asked[1] = 7;
        DispenserControl::WritePendingPass(store, pass);
    }
    const Payout refused = Dispense(0, 1);
    EXPECT_FALSE(refused.result);
    EXPECT_EQ(device_->Truth().framesIn, 0u);
    // A count of the other cassette leaves the doubt; the doubtful one settles it.
    DispenserControl::Settings store(true);
    DispenserControl::ReconcileCassette(store, 1, 200, *DispenserLogHandler::Instance());
    EXPECT_TRUE(MainKey().HasSubkey("Pending"));
    const DispenserControl::Reconciliation outside =
        DispenserControl::ReconcileCassette(store, 2, 150, *DispenserLogHandler::Instance());
    EXPECT_FALSE(outside.inRange);
    EXPECT_THAT(JournalOf("RECONCILED").back(), HasSubstr("вне ожидаемого диапазона"));
    EXPECT_FALSE(MainKey().HasSubkey("Pending"));
    EXPECT_EQ(CassetteCount(2), 150u);
}

TEST_F(ScenarioTest, AnUnwritableJournalRefusesBeforeAFrame)
{
    SetUpDevice();
    // A folder under a plain file: no user, root included, can write there.
    const std::string blocker = folder_.File("plain");
    WriteFileBytes(blocker, "x");
    MainKey()["LogDir"] = blocker + "/journal";
    DispenserLogHandler::Release();
    const Payout payout = Dispense(2, 0);
    EXPECT_FALSE(payout.result);
    EXPECT_THAT(::testing::PrintToString(payout.errors), HasSubstr("журнал операций"));
    EXPECT_EQ(device_->Truth().framesIn, 0u);
    EXPECT_FALSE(MainKey().HasSubkey("Pending"));
}

} // namespace
