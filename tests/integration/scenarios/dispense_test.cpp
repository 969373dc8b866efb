// Payouts against the simulated dispenser: the outputs, the registry counters and the
// journal agree with what the device really did.
#include "tests/integration/scenarios/scenario_fixture.h"

#include "Plugin/Dispenser/dispenser_port.h"
#include "Plugin/Dispenser/serial_port.h"

#include <gmock/gmock.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

constexpr const char* kCancelled = "Выдача купюр: операция прервана";
constexpr const char* kRunInterrupted = "Выполнение запроса неожиданно прервано";

// ---- Passes --------------------------------------------------------------------

TEST_F(ScenarioTest, NoNotesRequestedSucceedsWithoutTouchingAnything)
{
    SetUpDevice();
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(0, 0);
    EXPECT_TRUE(payout.result);
    EXPECT_TRUE(payout.errors.empty()) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(device_->Truth().framesIn, 0u);
    EXPECT_TRUE(RecordsSince(before).empty()) << ::testing::PrintToString(RecordsSince(before));
    ExpectAccounted(before, payout);
}

TEST_F(ScenarioTest, PassesOfSixtyNotesByDefault)
{
    SetUpDevice("LCDM-2000", 300, 200);
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(100, 0);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 100u);
    EXPECT_EQ(device_->Truth().commands, 2u);
    for (const char* pass : {"(кассета #1), 60 шт.: выдано 60 шт., забраковано 0 шт.",
                             "(кассета #1), 40 шт.: выдано 40 шт., забраковано 0 шт."})
        EXPECT_THAT(Trace(), HasSubstr(std::string("Выдача купюр: выдача купюр ") + pass));
    ExpectAccounted(before, payout);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, MultiPassPayoutFromBothCassettes)
{
    SetUpDevice();
    MainKey()["MaxDispense"] = 30;
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(70, 5);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 70u);
    EXPECT_EQ(payout.dispensed2, 5u);
    EXPECT_TRUE(payout.errors.empty());
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(truth.exit1, 70u);
    EXPECT_EQ(truth.exit2, 5u);
    EXPECT_EQ(truth.commands, 3u); // 30+5, 30, 10
    for (const char* pass : {"(кассета #1), 30 шт.: выдано 30", "(кассета #1), 10 шт.: выдано 10",
                             "(кассета #2), 5 шт.: выдано 5"})
        EXPECT_THAT(Trace(), HasSubstr(pass));
    EXPECT_EQ(CassetteCount(1), 130u);
    EXPECT_EQ(CassetteCount(2), 195u);
    EXPECT_EQ(JournalOf("DISPENSED"),
              (Texts{"4\tDISPENSED\t70\t;выдано купюр из кассеты #1: 70 шт.",
                     "4\tDISPENSED\t5\t;выдано купюр из кассеты #2: 5 шт."}));
    EXPECT_EQ(JournalOf("COUNT").back(), "10\tCOUNT\t130\t;предполагаемое количество купюр в кассете #1: 130 шт.");
    ExpectAccounted(before, payout);
}

TEST_F(ScenarioTest, MaxDispenseOutsideOneToSixtyIsClampedWithAWarning)
{
    SetUpDevice();
    MainKey()["MaxDispense"] = 0;
    Payout payout = Dispense(3, 0);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 3u);
    EXPECT_EQ(device_->Truth().commands, 3u); // passes of one note
    EXPECT_THAT(Trace(), HasSubstr("значение MaxDispense (0) вне пределов 1..60, используется 1"));

    MainKey()["MaxDispense"] = 1000;
    const Ledger before = TakeLedger();
    payout = Dispense(70, 0);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 70u);
    EXPECT_EQ(device_->Truth().commands - before.truth.commands, 2u); // 60, 10
    EXPECT_THAT(Trace(), HasSubstr("значение MaxDispense (1000) вне пределов 1..60, используется 60"));
    ExpectAccounted(before, payout);
    ExpectRegistryMatchesDevice();
}

// ---- Refusals before any note moves --------------------------------------------

struct Refusal {
    const char* what;
    std::function<void()> arrange;
    unsigned count1, count2;
    std::string error;
};

TEST_F(ScenarioTest, RefusalsComeBeforeAnyCommandAndFailEveryRequestedCassette)
{
    const std::vector<Refusal> refusals = {
        {"dispenser off", [] { MainKey()["Disabled"] = 1; }, 1, 1, "Диспенсер не задействован"},
        {"upper cassette not in use", [] { SubKey("Cassette\\1")["Flags"] = 0x2; }, 1, 0,
         "Запрещено использование кассеты #1"},
        {"lower cassette not in use", [] { SubKey("Cassette\\2")["Flags"] = 0x2; }, 0, 1,
         "Запрещено использование кассеты #2"},
        {"more than Max Dispense",
         [] {
             SubKey("Cassette\\2")["Flags"] = 0x7;
             SubKey("Cassette\\2")["Max Dispense"] = 5;
         },
         1, 6, "Нарушен предел максимальной выдачи купюр (кассета #2, запрошено 6 шт., разрешено максимум 5 шт.)"},
        {"count equal to Min Amount, one note",
         [] {
             SubKey("Cassette\\1")["Flags"] = 0xB;
             SubKey("Cassette\\1")["Min Amount"] = 200;
         },
         1, 0,
         "По данным системного реестра в кассете диспенсера слишком мало купюр (кассета #1, предполагается в "
         "наличии 200 шт., минимальное ограничение: 200 шт.)"},
        {"reject bin one above its limit",
         [] {
             SubKey("Reject")["Flags"] = 0x5;
             SubKey("Reject")["Max Limit"] = 10;
             SubKey("Reject")["Count"] = 11;
         },
         2, 0,
         "По данным системного реестра в контейнере \"Reject\" слишком много купюр (предполагается в контейнере "
         "11 шт., максимальное ограничение: 10 шт.)"},
    };
    for (const Refusal& refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        SetUpDevice();
        refusal.arrange();
        const Ledger before = TakeLedger();
        const Payout payout = Dispense(refusal.count1, refusal.count2);
        EXPECT_FALSE(payout.result);
        EXPECT_EQ(payout.errors, Texts{refusal.error});
        EXPECT_EQ(device_->Truth().framesIn, 0u);
        const Texts records = RecordsSince(before);
        Texts expected;
        for (int c = 1; c <= 2; ++c) {
            const unsigned count = c == 1 ? refusal.count1 : refusal.count2;
            if (count > 0)
                expected.push_back("9\tFAILURE\t" + std::to_string(count) + "\t;ошибка: \"" + refusal.error +
                                   "\"; не выдано купюр из кассеты #" + std::to_string(c) + ": " +
                                   std::to_string(count) + " шт.");
        }
        EXPECT_EQ(records, expected);
        ExpectAccounted(before, payout);
    }
}

TEST_F(ScenarioTest, LimitsAreInclusive)
{
    SetUpDevice();
    SubKey("Cassette\\1")["Flags"] = 0xF; // Max Dispense and Min Amount apply
    SubKey("Cassette\\1")["Max Dispense"] = 5;
    SubKey("Cassette\\1")["Min Amount"] = 199;
    SubKey("Reject")["Flags"] = 0x5;
    SubKey("Reject")["Max Limit"] = 10;
    SubKey("Reject")["Count"] = 10; // full, but not over
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(5, 0);
    EXPECT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 5u);
    ExpectAccounted(before, payout);
}

TEST_F(ScenarioTest, AmountLimitAtItsBoundaryAndOff)
{
    SetUpDevice();
    MainKey()["Max"] = 3000;
    MainKey()["Flags"] = 0x4;
    Payout payout = Dispense(2, 2); // 2 × 1000 + 2 × 500
    EXPECT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);

    MainKey()["Max"] = 2999;
    payout = Dispense(2, 2);
    EXPECT_FALSE(payout.result);
    EXPECT_EQ(payout.errors, Texts{"Нарушен предел максимальной выдачи (запрошена выдача на сумму 3000 руб., "
                                   "разрешено максимум 2999 руб.)"});

    MainKey()["Flags"] = 0;
    payout = Dispense(2, 2);
    EXPECT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(device_->Truth().exit1, 4u);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, AmountLimitCannotBeWrappedPast)
{
    SetUpDevice();
    MainKey()["Flags"] = 0x4;
    struct Case {
        std::uint32_t denomination1, limit;
        unsigned count1, count2;
        const char* amount;
    };
    // Each amount taken modulo 2^32 would be within its limit.
    const Case cases[] = {
        {5000, 5000, 858994, 0, "4294970000"},    // one product: 2704 after wrapping
        {1000, 1000, 4294967, 2, "4294968000"},   // the sum: 704 after wrapping
        {5000, 1000, 1000000, 0, "5000000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.amount);
        SubKey("Cassette\\1")["Denomination"] = c.denomination1;
        MainKey()["Max"] = c.limit;
        const Ledger before = TakeLedger();
        const Payout payout = Dispense(c.count1, c.count2);
        EXPECT_FALSE(payout.result);
        EXPECT_EQ(payout.errors, Texts{std::string("Нарушен предел максимальной выдачи (запрошена выдача на сумму ") +
                                       c.amount + " руб., разрешено максимум " + std::to_string(c.limit) +
                                       " руб.)"});
        EXPECT_EQ(device_->Truth().framesIn, 0u);
        ExpectAccounted(before, payout);
    }
}

TEST_F(ScenarioTest, AmountLimitRefusesACassetteWithoutDenomination)
{
    SetUpDevice();
    MainKey()["Max"] = 1000;
    MainKey()["Flags"] = 0x4;
    SubKey("Cassette\\2")["Denomination"] = 0;
    const Ledger before = TakeLedger();
    Payout payout = Dispense(0, 50); // worth nothing by the settings, and so within any limit
    EXPECT_FALSE(payout.result);
    EXPECT_EQ(payout.errors,
              Texts{"Не задан номинал купюр кассеты #2: предел максимальной выдачи не может быть проверен"});
    EXPECT_EQ(device_->Truth().framesIn, 0u);
    ExpectAccounted(before, payout);

    // Only the cassettes asked count, and without the limit the denomination does not matter.
    payout = Dispense(1, 0);
    EXPECT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    MainKey()["Flags"] = 0;
    payout = Dispense(0, 1);
    EXPECT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
}

TEST_F(ScenarioTest, SingleCassetteModelRefusesTheLowerCassette)
{
    SetUpDevice("LCDM-1000", 200, 0);
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(3, 2);
    EXPECT_FALSE(payout.result);
    EXPECT_EQ(payout.errors, Texts{"Устройство не поддерживает кассету #2"});
    EXPECT_EQ(payout.dispensed1 + payout.dispensed2 + payout.rejected1 + payout.rejected2, 0u);
    EXPECT_EQ(RecordsSince(before),
              (Texts{"9\tFAILURE\t3\t;ошибка: \"Устройство не поддерживает кассету #2\"; не выдано купюр из "
                     "кассеты #1: 3 шт.",
                     "9\tFAILURE\t2\t;ошибка: \"Устройство не поддерживает кассету #2\"; не выдано купюр из "
                     "кассеты #2: 2 шт."}));
    EXPECT_EQ(device_->Truth().framesIn, 0u);

    // Without the lower cassette the model is not asked about.
    const Ledger next = TakeLedger();
    const Payout upper = Dispense(3, 0);
    EXPECT_TRUE(upper.result) << ::testing::PrintToString(upper.errors);
    ExpectAccounted(next, upper);
}

// ---- What the device reports -----------------------------------------------------

TEST_F(ScenarioTest, RejectFactorWeighsTheRejectedNotesInTheCounters)
{
    SetUpDevice();
    MainKey()["RejectFactor"] = 2;
    MainKey()["MaxDispense"] = 3;
    device_->Fault("reject-every:2"); // per command: picks 2 and 4 of pass one, pick 2 of pass two
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(5, 0);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 5u);
    EXPECT_EQ(payout.rejected1, 3u); // the device's own count
    EXPECT_EQ(RejectCount(), 6u);
    EXPECT_EQ(CassetteCount(1), 200u - 5 - 6);
    EXPECT_EQ(JournalOf("REJECT"), (Texts{"11\tREJECT\t4\t;диспенсер забраковал купюр: 4 шт.",
                                          "11\tREJECT\t2\t;диспенсер забраковал купюр: 2 шт."}));
    ExpectAccounted(before, payout, 2);
}

TEST_F(ScenarioTest, RejectFactorZeroCountsTheRejectsOnceWithAWarning)
{
    SetUpDevice();
    MainKey()["RejectFactor"] = 0;
    device_->Fault("reject-every:2");
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(3, 0);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    ASSERT_GT(payout.rejected1, 0u);
    EXPECT_EQ(RejectCount(), payout.rejected1) << "rejected notes must not vanish from the bin";
    EXPECT_EQ(CassetteCount(1), 200u - 3 - payout.rejected1);
    EXPECT_THAT(Trace(), HasSubstr("значение RejectFactor (0) недопустимо, используется 1"));
    ExpectAccounted(before, payout);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, BillEndResetsTheCassetteCounter)
{
    // The registry believes in 50 notes; the cassette holds 7 and runs out in pass two.
    SetUpDevice("LCDM-2000", 7, 200);
    SubKey("Cassette\\1")["Count"] = 50;
    MainKey()["MaxDispense"] = 5;
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(12, 0);
    EXPECT_TRUE(payout.result);
    EXPECT_EQ(payout.dispensed1, 7u);
    const std::string reset = "Диспенсер показал отсутствие купюр в кассете 1, сбрасываем программный счётчик купюр";
    const std::string error = "Ошибка устройства, код 56 (38H).";
    EXPECT_EQ(payout.errors, (Texts{error, reset, error, reset,
                                    "Кассета #1: выдача купюр прервана, не выдано купюр: 5 шт."}));
    EXPECT_EQ(CassetteCount(1), 0u);
    EXPECT_EQ(RecordsOf(RecordsSince(before), "COUNT"),
              (Texts{"10\tCOUNT\t45\t;предполагаемое количество купюр в кассете #1: 45 шт.",
                     "10\tCOUNT\t0\t;предполагаемое количество купюр в кассете #1 диспенсера: 0 шт.",
                     "10\tCOUNT\t0\t;предполагаемое количество купюр в кассете #1 диспенсера: 0 шт."}));
    EXPECT_EQ(JournalOf("ABORT"), Texts{"8\tABORT\t5\t;Кассета #1: выдача купюр прервана, не выдано купюр: 5 шт."});
    EXPECT_EQ(JournalOf("ERROR").size(), 2u);
    EXPECT_EQ(JournalOf("ERROR").front(), "12\tERROR\t56\t;Ошибка устройства, код 56 (38H).");
    ExpectAccounted(before, payout);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, BillEndWithoutResetOnlyDecrements)
{
    SetUpDevice("LCDM-2000", 7, 200);
    SubKey("Cassette\\1")["Count"] = 50;
    MainKey()["MaxDispense"] = 5;
    MainKey()["Reset on Bill-End"] = 0;
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(12, 0);
    EXPECT_TRUE(payout.result);
    EXPECT_EQ(payout.dispensed1, 7u);
    EXPECT_EQ(payout.errors, (Texts{"Ошибка устройства, код 56 (38H).", "Ошибка устройства, код 56 (38H).",
                                    "Кассета #1: выдача купюр прервана, не выдано купюр: 5 шт."}));
    EXPECT_EQ(CassetteCount(1), 43u);
    EXPECT_EQ(RecordsOf(RecordsSince(before), "COUNT", "диспенсера"), Texts{});
    EXPECT_EQ(JournalOf("ABORT").size(), 1u);
    ExpectAccounted(before, payout);
}

TEST_F(ScenarioTest, EmptyLowerCassetteAbortsOnlyItself)
{
    SetUpDevice("LCDM-2000", 200, 0);
    SubKey("Cassette\\2")["Count"] = 40;
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(2, 3);
    EXPECT_TRUE(payout.result);
    EXPECT_EQ(payout.dispensed1, 2u);
    EXPECT_EQ(payout.dispensed2, 0u);
    EXPECT_EQ(payout.errors,
              (Texts{"Ошибка устройства, код 64 (40H).",
                     "Диспенсер показал отсутствие купюр в кассете 2, сбрасываем программный счётчик купюр",
                     "кассета #2: выдача купюр прервана, не выдано купюр: 3 шт."}));
    EXPECT_EQ(CassetteCount(2), 0u);
    EXPECT_EQ(JournalOf("ABORT"), Texts{"8\tABORT\t3\t;кассета #2: выдача купюр прервана, не выдано купюр: 3 шт."});
    EXPECT_EQ(device_->Truth().commands, 1u);
    ExpectAccounted(before, payout);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, DeviceErrorIsJournaledAndThePayoutGoesOn)
{
    SetUpDevice();
    device_->Fault("jam-after:2"); // pick 3 of the first command jams (0x33)
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(5, 0);
    EXPECT_TRUE(payout.result);
    EXPECT_EQ(payout.errors, Texts{"Ошибка устройства, код 51 (33H)."});
    EXPECT_EQ(payout.dispensed1, 5u);
    EXPECT_EQ(JournalOf("ERROR"), Texts{"12\tERROR\t51\t;Ошибка устройства, код 51 (33H)."});
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(truth.commands, 2u); // 5, then the 3 still owed
    EXPECT_EQ(truth.inPath, 1u);   // the jammed note, reported by no answer
    ExpectAccounted(before, payout);
    ExpectRegistryMatchesDevice();
}

// Disabled until the dispense request accepts it: the device's answer says 70 notes
// passed the check sensors of the lower cassette (60 out, 10 rejected), the request
// refuses a count field above 69, and so the pass fails after its notes have left
// and none of them is counted.
TEST_F(ScenarioTest, SixtyNotesWithTenRejectsAreCounted)
{
    SetUpDevice();
    device_->Fault("reject-every:7"); // picks 7, 14, ..., 70 of 76: all of the lower cassette
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(6, 60);
    EXPECT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed2, 60u);
    EXPECT_EQ(payout.rejected2, 10u);
    ExpectAccounted(before, payout);
}

// ---- Debug mode -----------------------------------------------------------------

TEST_F(ScenarioTest, DebugModeCountsTheOperatorsAnswers)
{
    SetUpDevice();
    MainKey()["Debug"] = 1;
    MainKey()["Off"] = 1; // no port: debug mode never touches the device
    ScriptedOperator answers({ButtonYes, ButtonCancel, ButtonYes, ButtonYes});
    const Payout payout = Dispense(1, 2);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 1u);
    EXPECT_EQ(payout.dispensed2, 2u);
    EXPECT_EQ(payout.rejected2, 1u);
    EXPECT_EQ(payout.rejected1, 0u);
    ASSERT_EQ(answers.asked.size(), 4u);
    EXPECT_EQ(answers.asked[0],
              "Выдача купюры 1000 руб. (из кассеты #1).\r\nРезультат считаем успешным?\r\n(Отмена - Reject)");
    EXPECT_THAT(answers.asked[1], HasSubstr("Выдача купюры 500 руб. (из кассеты #2)."));
    EXPECT_EQ(CassetteCount(1), 199u);
    EXPECT_EQ(CassetteCount(2), 197u);
    EXPECT_EQ(RejectCount(), 1u);
    // The operator's answers are marked as such.
    EXPECT_EQ(JournalOf("REJECT"), Texts{"11\tREJECT\t1\t;диспенсер забраковал купюр: 1 шт. (отладочный режим)"});
    EXPECT_EQ(JournalOf("DISPENSED").size(), 2u);
    EXPECT_TRUE(JournalOf("PENDING").empty());
    EXPECT_EQ(device_->Truth().framesIn, 0u);
}

TEST_F(ScenarioTest, DebugModeNoStopsAtOnceAndSucceeds)
{
    SetUpDevice();
    MainKey()["Debug"] = 1;
    {
        ScriptedOperator answers({ButtonNo});
        const Payout payout = Dispense(3, 1);
        EXPECT_TRUE(payout.result);
        EXPECT_EQ(payout.dispensed1 + payout.dispensed2 + payout.rejected1 + payout.rejected2, 0u);
        EXPECT_EQ(payout.errors, Texts{"Выдача купюр прервана пользователем (отладочный режим)"});
        EXPECT_EQ(answers.asked.size(), 1u);
    }
    {
        // No after a note: that note stays counted.
        ScriptedOperator answers({ButtonYes, ButtonNo});
        const Payout payout = Dispense(3, 0);
        EXPECT_TRUE(payout.result);
        EXPECT_EQ(payout.dispensed1, 1u);
        EXPECT_EQ(CassetteCount(1), 199u);
        EXPECT_EQ(JournalOf("DISPENSED"),
                  Texts{"4\tDISPENSED\t1\t;выдано купюр из кассеты #1: 1 шт. (отладочный режим)"});
    }
    EXPECT_TRUE(JournalOf("ABORT").empty());
    EXPECT_EQ(device_->Truth().framesIn, 0u);
}

// Nobody to answer, or an answer the box does not offer (a box that could not be
// shown): the payout stops as on No. Cancel would count a rejected note each time and
// never end.
TEST_F(ScenarioTest, DebugModeWithoutAnAnswerStopsAsOnNo)
{
    SetUpDevice();
    MainKey()["Debug"] = 1;
    {
        int asked = 0;
        const OperatorPromptHook previous = SetOperatorPromptHook([&](const OperatorPrompt& prompt) {
            ++asked;
            return CautiousAnswer(prompt);
        });
        const Payout payout = Dispense(3, 1);
        SetOperatorPromptHook(previous);
        EXPECT_TRUE(payout.result);
        EXPECT_EQ(payout.dispensed1 + payout.dispensed2 + payout.rejected1 + payout.rejected2, 0u);
        EXPECT_EQ(payout.errors, Texts{"Выдача купюр прервана пользователем (отладочный режим)"});
        EXPECT_EQ(asked, 1);
    }
    {
        ScriptedOperator answers({ButtonYes, 0});
        const Payout payout = Dispense(3, 1);
        EXPECT_EQ(payout.dispensed1, 1u);
        EXPECT_EQ(payout.rejected1 + payout.rejected2, 0u);
        EXPECT_EQ(answers.asked.size(), 2u);
    }
    EXPECT_EQ(CassetteCount(1), 199u);
    EXPECT_EQ(RejectCount(), 0u);
}

// ---- Outputs, cancel, port -------------------------------------------------------

TEST_F(ScenarioTest, NullOutputsOnlySkipTheOutputs)
{
    SetUpDevice();
    Texts errors{"left from before"};
    EXPECT_TRUE(DispenserScenario::Dispense(nullptr, &errors, 3, 2, nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(DispenserScenario::Dispense(nullptr, nullptr, 1, 0, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(device_->Truth().exit1, 4u);
    EXPECT_EQ(SumOf(JournalOf("DISPENSED")), 6u);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, CancelDuringAPassCountsThatPassAndStops)
{
    SetUpDevice();
    MainKey()["MaxDispense"] = 5;
    device_->Fault("note-ms:100"); // a pass of 5 notes takes half a second
    const Ledger before = TakeLedger();
    CancelWhenPicking cancel(*device_);
    const Payout payout = Dispense(15, 0);
    cancel.Join();
    EXPECT_EQ(cancel.cancelled, 1);
    EXPECT_FALSE(payout.result);
    EXPECT_THAT(payout.errors, Contains(kCancelled));
    EXPECT_EQ(payout.errors.back(), kRunInterrupted);
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(truth.commands, 1u) << "no second command after the cancel";
    // Not even started: a second request could reach the device before it saw the cancel.
    const std::string trace = Trace();
    const std::string started = "Выдача купюр: запрос инициализирован";
    ASSERT_NE(trace.find(started), std::string::npos);
    EXPECT_EQ(trace.find(started), trace.rfind(started)) << "a second device request was started";
    EXPECT_EQ(truth.exit1, 5u);
    EXPECT_EQ(payout.dispensed1, 5u);
    EXPECT_EQ(CassetteCount(1), 195u);
    EXPECT_EQ(JournalOf("DISPENSED"), Texts{"4\tDISPENSED\t5\t;выдано купюр из кассеты #1: 5 шт."});
    EXPECT_EQ(JournalOf("FAILURE"),
              Texts{std::string("9\tFAILURE\t10\t;ошибка: \"") + kCancelled +
                    "\"; не выдано купюр из кассеты #1: 10 шт."});
    ExpectAccounted(before, payout);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, CancelDuringAPassThatEmptiesACassetteStillFails)
{
    // The one pass pays cassette #1 in full and finds #2 empty: the cancel that came
    // meanwhile must fail the payout with a FAILURE record, not be lost to the stop.
    SetUpDevice("LCDM-2000", 200, 0);
    SubKey("Cassette\\2")["Count"] = 40;
    device_->Fault("note-ms:100");
    const Ledger before = TakeLedger();
    CancelWhenPicking cancel(*device_);
    const Payout payout = Dispense(5, 3);
    cancel.Join();
    EXPECT_EQ(cancel.cancelled, 1);
    EXPECT_FALSE(payout.result);
    EXPECT_EQ(payout.dispensed1, 5u);
    EXPECT_THAT(payout.errors, Contains(kCancelled));
    EXPECT_EQ(JournalOf("ABORT"), Texts{"8\tABORT\t3\t;кассета #2: выдача купюр прервана, не выдано купюр: 3 шт."});
    EXPECT_EQ(JournalOf("FAILURE"),
              Texts{std::string("9\tFAILURE\t3\t;ошибка: \"") + kCancelled +
                    "\"; не выдано купюр из кассеты #2: 3 шт."});
    ExpectAccounted(before, payout);
}

TEST_F(ScenarioTest, BusyPortFailsBeforeAnyNoteMoves)
{
    SetUpDevice();
    // Another program holds the line (on Windows its exclusive open and the port's semaphore).
    const std::string port = DispenserPort::NormalisePortName(device_->PortName());
    const std::unique_ptr<SerialPort> holder = SerialPort::Open(port);
    ASSERT_NE(holder, nullptr);
    const Ledger before = TakeLedger();
    const Payout payout = Dispense(3, 1);
    EXPECT_FALSE(payout.result);
    EXPECT_THAT(payout.errors, Contains("Порт '" + port + "' занят"));
    EXPECT_EQ(RecordsOf(RecordsSince(before), "FAILURE").size(), 2u);
    EXPECT_EQ(device_->Truth().framesIn, 0u);
    ExpectAccounted(before, payout);
}

// A value the passes read or write that cannot be read would fail only after the
// first notes left the device, losing their count: it fails the payout first.
TEST_F(ScenarioTest, UnreadableCounterValuesFailBeforeAnyNoteMoves)
{
    SetUpDevice();
    struct Case {
        const char* key;
        const char* value;
    };
    for (const Case& bad : {Case{"", "RejectFactor"}, Case{"", "Reset on Bill-End"}, Case{"Reject", "Count"}}) {
        SCOPED_TRACE(bad.value);
        RegKey key = *bad.key == '\0' ? MainKey() : SubKey(bad.key);
        const Ledger before = TakeLedger();
        key[bad.value] = "1"; // text where a number belongs
        const Payout payout = Dispense(3, 1);
        EXPECT_FALSE(payout.result);
        EXPECT_EQ(payout.dispensed1 + payout.dispensed2, 0u);
        EXPECT_EQ(device_->Truth().framesIn, before.truth.framesIn);
        EXPECT_EQ(CassetteCount(1), before.cassette[0]);
        key[bad.value] = 0;
    }
}

// ---- Counters ----------------------------------------------------------------

TEST_F(ScenarioTest, UncountedUnitsStillHaveTheirJournalRecords)
{
    SetUpDevice();
    SubKey("Cassette\\1")["Flags"] = 0x1; // in use, not counted
    SubKey("Reject")["Flags"] = 0;
    device_->Fault("reject-every:3");
    const Payout payout = Dispense(4, 0);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.rejected1, 1u);
    EXPECT_EQ(CassetteCount(1), 200u);
    EXPECT_EQ(RejectCount(), 0u);
    EXPECT_TRUE(JournalOf("COUNT").empty());
    EXPECT_EQ(JournalOf("REJECT"), Texts{"11\tREJECT\t1\t;диспенсер забраковал купюр: 1 шт."});
    EXPECT_EQ(JournalOf("DISPENSED"), Texts{"4\tDISPENSED\t4\t;выдано купюр из кассеты #1: 4 шт."});
}

TEST_F(ScenarioTest, PayoutsAtTheSameTimeNeverLoseANote)
{
    // Two callers pay out at once: they meet at the port, where one may find it busy
    // and fail before its command; every note that moved is counted once.
    SetUpDevice("LCDM-2000", 500, 500);
    MainKey()["MaxDispense"] = 10;
    device_->Fault("note-ms:5");
    const Ledger before = TakeLedger();
    Payout first, second;
    std::thread other([&] { second = Dispense(25, 15); });
    first = Dispense(30, 20);
    other.join();
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(first.dispensed1 + second.dispensed1, truth.exit1 - before.truth.exit1);
    EXPECT_EQ(first.dispensed2 + second.dispensed2, truth.exit2 - before.truth.exit2);
    EXPECT_GT(truth.exit1 + truth.exit2, 0u);
    for (const Payout* payout : {&first, &second}) {
        if (!payout->result) {
            EXPECT_THAT(payout->errors, Contains(HasSubstr("занят")));
        }
    }
    EXPECT_EQ(SumOf(RecordsOf(RecordsSince(before), "DISPENSED")), truth.exit1 + truth.exit2);
    ExpectRegistryMatchesDevice();
}

TEST_F(ScenarioTest, CounterChangesOfAnotherWriterAreNotLost)
{
    SetUpDevice("LCDM-2000", 500, 200);
    MainKey()["MaxDispense"] = 5;
    device_->Fault("note-ms:10");
    std::atomic<bool> running{true};
    unsigned added = 0;
    std::thread loader([&] {
        // A service tool loading notes into the cassette while the payout runs.
        while (running) {
            DispenserControl::Settings settings(true);
            DispenserControl::Cassette(settings, 1).UpdateCount(
                [](std::optional<std::uint32_t> count) { return count.value_or(0) + 1; });
            ++added;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    const auto stopLoader = [&] {
        running = false;
        if (loader.joinable())
            loader.join();
    };
    struct StopOnExit {
        std::function<void()> stop;
        ~StopOnExit() { stop(); }
    } const guard{stopLoader};
    const Payout payout = Dispense(40, 0);
    stopLoader();
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_GT(added, 0u);
    EXPECT_EQ(CassetteCount(1), 500u + added - 40);
}

TEST_F(ScenarioTest, CountersSaturateInsteadOfWrapping)
{
    SetUpDevice();
    MainKey()["RejectFactor"] = 0xFFFFFFFF;
    SubKey("Reject")["Count"] = 0xFFFFFFFE;
    device_->Fault("reject-every:2");
    const Payout payout = Dispense(3, 0);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.rejected1, 2u);
    EXPECT_EQ(RejectCount(), 0xFFFFFFFFu);
    EXPECT_EQ(CassetteCount(1), 0u);
    EXPECT_EQ(JournalOf("REJECT"), Texts{"11\tREJECT\t4294967295\t;диспенсер забраковал купюр: 4294967295 шт."});
}

} // namespace
