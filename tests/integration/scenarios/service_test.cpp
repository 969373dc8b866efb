// The service operations against the simulated dispenser and in debug mode: firmware
// version, status, purge and test reject with its limits and counters.
#include "MTSys/mtsys.h"
#include "tests/integration/scenarios/scenario_fixture.h"

#include <gmock/gmock.h>

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

class ServiceOperations : public ScenarioTest {
protected:
    struct TestRun {
        bool result = false;
        unsigned rejected = 0;
        Texts errors;
    };
    TestRun TestReject(int cassette)
    {
        TestRun run;
        run.rejected = 12345; // cleared by the operation
        run.result = DispenserScenario::TestReject(nullptr, &run.errors, cassette, &run.rejected);
        return run;
    }
    // A test reject that the settings refuse: nothing reaches the device or the counters.
    void ExpectRefused(int cassette, const std::string& error)
    {
        const Ledger before = TakeLedger();
        const TestRun run = TestReject(cassette);
        EXPECT_FALSE(run.result);
        EXPECT_EQ(run.rejected, 0u);
        EXPECT_EQ(run.errors, Texts{error});
        EXPECT_EQ(device_->Truth().framesIn, before.truth.framesIn);
        EXPECT_EQ(CassetteCount(cassette), before.cassette[cassette - 1]);
        EXPECT_EQ(RejectCount(), before.reject);
        EXPECT_TRUE(RecordsSince(before).empty());
    }
};

// ---- Against the device ----------------------------------------------------------

TEST_F(ServiceOperations, VersionStatusAndPurgeOfBothModels)
{
    for (const char* model : {"LCDM-1000", "LCDM-2000"}) {
        SCOPED_TRACE(model);
        SetUpDevice(model);
        Texts errors{"left from before"};
        std::string version = "old";
        EXPECT_TRUE(DispenserScenario::QueryVersion(nullptr, &errors, &version)) << ::testing::PrintToString(errors);
        EXPECT_EQ(version, "V1.2");
        DispenserStatusInfo status;
        status.flags = 0x3;
        EXPECT_TRUE(DispenserScenario::QueryStatus(nullptr, &errors, &status)) << ::testing::PrintToString(errors);
        EXPECT_EQ(status.error, 0x30);
        EXPECT_EQ(status.errorText, "Good");
        EXPECT_EQ(status.sensor0, 0x80);
        EXPECT_EQ(status.flags, 0);
        EXPECT_TRUE(DispenserScenario::QueryStatus(nullptr, &errors, nullptr)); // no output wanted
        EXPECT_TRUE(DispenserScenario::Purge(nullptr, &errors)) << ::testing::PrintToString(errors);
        EXPECT_TRUE(errors.empty());
        EXPECT_EQ(device_->Truth().commands, 4u);
        EXPECT_THAT(Trace(), HasSubstr("Опрос версии прошивки устройства: версия V1.2"));
        EXPECT_THAT(Trace(), HasSubstr("Прогон механизма устройства: команда выполнена"));
    }
}

TEST_F(ServiceOperations, StatusReportsDeviceAndSensorFaultsWithoutFailing)
{
    SetUpDevice();
    device_->Fault("missing:tray");
    Texts errors;
    DispenserStatusInfo status;
    EXPECT_TRUE(DispenserScenario::QueryStatus(nullptr, &errors, &status));
    EXPECT_EQ(status.error, 0x30);
    EXPECT_EQ(status.flags, DispenserStatusInfo::kDeviceFault | DispenserStatusInfo::kSensorFault);
    EXPECT_THAT(status.sensor1Text, HasSubstr("REJECT TRAY S/W"));
    EXPECT_EQ(errors, (Texts{"Состояние датчиков: ошибка", "Состояние устройства: ошибка"}));

    // A device error with healthy sensors is a device fault only.
    device_->Fault("present:tray");
    device_->Fault("error:33");
    EXPECT_TRUE(DispenserScenario::QueryStatus(nullptr, &errors, &status));
    EXPECT_EQ(status.error, 0x33);
    EXPECT_EQ(status.errorText, "JAM at CHK1,2 Sensor");
    EXPECT_EQ(status.flags, DispenserStatusInfo::kDeviceFault);
    EXPECT_EQ(errors, Texts{"Состояние устройства: ошибка"});
}

TEST_F(ServiceOperations, PurgeMovesAJammedNoteIntoTheBinUncounted)
{
    SetUpDevice();
    device_->Fault("jam-after:0");
    const Payout payout = Dispense(1, 0);
    EXPECT_EQ(payout.dispensed1, 0u);
    ASSERT_EQ(device_->Truth().inPath, 1u);
    Texts errors;
    EXPECT_TRUE(DispenserScenario::Purge(nullptr, &errors)) << ::testing::PrintToString(errors);
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(truth.inPath, 0u);
    EXPECT_EQ(truth.rejectBin, 1u);
    // No answer ever reported that note: the counters still hold it in its cassette.
    EXPECT_EQ(RejectCount(), 0u);
    EXPECT_EQ(CassetteCount(1), truth.cassette1 + 1);
}

TEST_F(ServiceOperations, PurgeThatTheDeviceReportsAsFailedFails)
{
    SetUpDevice();
    device_->Fault("jam-after:5"); // armed: the purge answers "Purge error"
    Texts errors;
    EXPECT_FALSE(DispenserScenario::Purge(nullptr, &errors));
    EXPECT_EQ(errors, Texts{"Ошибка устройства, код 78 (4EH)."});
    EXPECT_NE(Trace().find("Прогон механизма устройства: ошибка устройства: Purge error (Jam at Div Sensor)"),
              std::string::npos);
}

TEST_F(ServiceOperations, TestRejectNamesTheCassette)
{
    struct Case {
        const char* model;
        int cassette;
        const char* text;
    };
    const Case cases[] = {
        {"LCDM-1000", 1, "кассеты"}, {"LCDM-2000", 1, "верхней кассеты"}, {"LCDM-2000", 2, "нижней кассеты"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.model) + " #" + std::to_string(c.cassette));
        SetUpDevice(c.model, 200, std::string(c.model) == "LCDM-2000" ? 200 : 0);
        const Ledger before = TakeLedger();
        const TestRun run = TestReject(c.cassette);
        EXPECT_TRUE(run.result) << ::testing::PrintToString(run.errors);
        EXPECT_EQ(run.rejected, 1u);
        EXPECT_THAT(Trace(), HasSubstr(std::string("Тест выдачи купюр: выдано купюр из ") + c.text + ": 1 шт."));
        const SimulatorTruth truth = device_->Truth();
        EXPECT_EQ(c.cassette == 1 ? truth.rejected1 : truth.rejected2, 1u);
        EXPECT_EQ(RejectCount(), truth.rejectBin);
        ExpectRegistryMatchesDevice();
        EXPECT_EQ(RecordsSince(before),
                  (Texts{"11\tREJECT\t1\t;диспенсер забраковал купюр: 1 шт.",
                         "10\tCOUNT\t199\t;предполагаемое количество купюр в кассете диспенсера: 199 шт."}));

        SubKey(c.cassette == 1 ? "Cassette\\1" : "Cassette\\2")["Flags"] = 0x2;
        ExpectRefused(c.cassette, std::string("Запрещено использование ") + c.text);
    }
}

// ---- Who runs an operation ------------------------------------------------------

// A user interface installs the runner that carries every run (the operator dialog);
// the service tool's headless switch passes it by, and without one a run is headless.
TEST_F(ServiceOperations, RunsGoThroughTheInstalledDialogRunnerUnlessHeadless)
{
    SetUpDevice();
    int runs = 0;
    // An operator who cancels before the device is asked.
    const DispenserScenario::DialogRunner previous =
        DispenserScenario::SetDialogRunner([&runs](DispenserScenario::Request& request, WindowHandle) {
            ++runs;
            EXPECT_EQ(request.GetKind(), DispenserScenario::KindRomVersion);
            return 2;
        });
    DispenserScenario::SetHeadless(false);
    Texts errors;
    std::string version;
    EXPECT_FALSE(DispenserScenario::QueryVersion(nullptr, &errors, &version));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(errors, Texts{"Выполнение запроса неожиданно прервано"});
    EXPECT_EQ(device_->Truth().commands, 0u);

    DispenserScenario::SetHeadless(true);
    EXPECT_TRUE(DispenserScenario::QueryVersion(nullptr, &errors, &version)) << ::testing::PrintToString(errors);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(version, "V1.2");

    DispenserScenario::SetHeadless(false);
    DispenserScenario::SetDialogRunner({});
    version.clear();
    EXPECT_TRUE(DispenserScenario::QueryVersion(nullptr, &errors, &version)) << ::testing::PrintToString(errors);
    EXPECT_EQ(version, "V1.2");
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(device_->Truth().commands, 2u);
    DispenserScenario::SetDialogRunner(previous);
}

// ---- Test reject: limits and counters ------------------------------------------------

TEST_F(ServiceOperations, TestRejectKeepsOneNoteAboveTheReserve)
{
    SetUpDevice();
    RegKey cassette = SubKey("Cassette\\2");
    cassette["Flags"] = 0xB;
    cassette["Min Amount"] = 10;
    cassette["Count"] = 11;
    ExpectRefused(2, "По данным системного реестра в кассете диспенсера недостаточно купюр для выполнения операции "
                     "(запрошено 1 шт., предполагается в наличии 11 шт., минимальное ограничение: 10 шт.)");
    cassette["Count"] = 12;
    const TestRun run = TestReject(2);
    EXPECT_TRUE(run.result) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(CassetteCount(2), 11u);

    // The largest reserve leaves no count high enough.
    cassette["Min Amount"] = 0xFFFFFFFF;
    cassette["Count"] = 0xFFFFFFFF;
    ExpectRefused(2, "По данным системного реестра в кассете диспенсера недостаточно купюр для выполнения операции "
                     "(запрошено 1 шт., предполагается в наличии 4294967295 шт., минимальное ограничение: "
                     "4294967295 шт.)");

    cassette["Flags"] = 0x7;
    cassette["Max Dispense"] = 0;
    ExpectRefused(2, "Нарушен предел максимальной выдачи купюр (запрошено 1 шт., разрешено максимум 0 шт.)");
}

TEST_F(ServiceOperations, TestRejectNeedsRoomForOneNoteInTheBin)
{
    SetUpDevice();
    RegKey reject = SubKey("Reject");
    reject["Flags"] = 0x5;
    reject["Max Limit"] = 20;
    reject["Count"] = 20;
    ExpectRefused(1, "По данным системного реестра в контейнере \"Reject\" недостаточно места для выполнения "
                     "операции (запрошена выбраковка 1 шт., предполагается в контейнере 20 шт., максимальное "
                     "ограничение: 20 шт.)");
    reject["Count"] = 19;
    const TestRun run = TestReject(1);
    EXPECT_TRUE(run.result) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(RejectCount(), 20u);

    reject["Max Limit"] = 0xFFFFFFFF;
    reject["Count"] = 0xFFFFFFFF;
    ExpectRefused(1, "По данным системного реестра в контейнере \"Reject\" недостаточно места для выполнения "
                     "операции (запрошена выбраковка 1 шт., предполагается в контейнере 4294967295 шт., "
                     "максимальное ограничение: 4294967295 шт.)");
}

TEST_F(ServiceOperations, TestRejectWeighsByRejectFactor)
{
    SetUpDevice();
    MainKey()["RejectFactor"] = 3;
    SubKey("Cassette\\1")["Count"] = 2;
    SubKey("Reject")["Count"] = 4;
    const Ledger before = TakeLedger();
    TestRun run = TestReject(1);
    EXPECT_TRUE(run.result) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(run.rejected, 1u); // the device's count
    EXPECT_EQ(RejectCount(), 7u);
    EXPECT_EQ(CassetteCount(1), 0u); // 2 - 3, not below 0
    EXPECT_EQ(RecordsSince(before),
              (Texts{"11\tREJECT\t3\t;диспенсер забраковал купюр: 3 шт.",
                     "10\tCOUNT\t0\t;предполагаемое количество купюр в кассете диспенсера: 0 шт."}));
    EXPECT_THAT(Trace(), HasSubstr("Тест выдачи купюр: RejectFactor:3, calc. rejected:3"));

    // The largest factor and a nearly full counter stop at the top of the range.
    MainKey()["RejectFactor"] = 0xFFFFFFFF;
    SubKey("Reject")["Count"] = 0xFFFFFFF0;
    SubKey("Cassette\\1")["Count"] = 50;
    run = TestReject(1);
    EXPECT_TRUE(run.result) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(RejectCount(), 0xFFFFFFFFu);
    EXPECT_EQ(CassetteCount(1), 0u);
    EXPECT_EQ(JournalOf("REJECT").back(), "11\tREJECT\t4294967295\t;диспенсер забраковал купюр: 4294967295 шт.");
}

// An unreadable value of the bookkeeping fails the test before the note moves: after
// it, the note would be in the bin but in no counter.
TEST_F(ServiceOperations, TestRejectWithAnUnreadableFactorMovesNothing)
{
    SetUpDevice("LCDM-2000", 100, 100);
    MainKey()["RejectFactor"] = "3";
    const Ledger before = TakeLedger();
    const TestRun run = TestReject(2);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.rejected, 0u);
    EXPECT_EQ(device_->Truth().framesIn, before.truth.framesIn);
    EXPECT_EQ(CassetteCount(2), 100u);
}

TEST_F(ServiceOperations, TestRejectThatTheDeviceRefusesFails)
{
    SetUpDevice("LCDM-2000", 100, 100);
    device_->Fault("missing:1");
    const Ledger before = TakeLedger();
    const TestRun run = TestReject(1);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.errors, Texts{"Ошибка устройства, код 69 (45H)."});
    EXPECT_EQ(run.rejected, 0u);
    EXPECT_EQ(CassetteCount(1), 100u);
    EXPECT_TRUE(RecordsSince(before).empty());
}

TEST_F(ServiceOperations, TestRejectOnAnEmptyCassette)
{
    SetUpDevice("LCDM-2000", 0, 100);
    SubKey("Cassette\\1")["Count"] = 30;
    MainKey()["Reset on Bill-End"] = 0;
    Ledger before = TakeLedger();
    TestRun run = TestReject(1);
    EXPECT_TRUE(run.result) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(run.rejected, 0u);
    EXPECT_EQ(CassetteCount(1), 30u);
    EXPECT_TRUE(RecordsSince(before).empty());

    MainKey().DeleteValue("Reset on Bill-End"); // absent: on
    before = TakeLedger();
    run = TestReject(1);
    EXPECT_TRUE(run.result) << ::testing::PrintToString(run.errors);
    EXPECT_EQ(run.rejected, 0u);
    EXPECT_EQ(CassetteCount(1), 0u);
    EXPECT_EQ(RejectCount(), 0u);
    EXPECT_EQ(RecordsSince(before),
              Texts{"10\tCOUNT\t0\t;предполагаемое количество купюр в кассете диспенсера: 0 шт."});
    EXPECT_THAT(Trace(), HasSubstr("Тест выдачи купюр: диспенсер показал отсутствие купюр, сбрасываем программный "
                                   "счётчик купюр"));
}

TEST_F(ServiceOperations, CancelDuringTestRejectStillCountsTheNote)
{
    SetUpDevice();
    device_->Fault("note-ms:400");
    CancelWhenPicking cancel(*device_);
    const TestRun run = TestReject(2);
    cancel.Join();
    EXPECT_EQ(cancel.cancelled, 1);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.rejected, 1u);
    EXPECT_EQ(run.errors, (Texts{"Тест выдачи купюр: операция прервана", "Выполнение запроса неожиданно прервано"}));
    EXPECT_EQ(device_->Truth().rejected2, 1u);
    EXPECT_EQ(RejectCount(), 1u);
    ExpectRegistryMatchesDevice();
    EXPECT_EQ(JournalOf("REJECT"), Texts{"11\tREJECT\t1\t;диспенсер забраковал купюр: 1 шт."});
}

// ---- Debug mode ---------------------------------------------------------------

TEST_F(ServiceOperations, DebugModeYesSucceedsWithoutTheDevice)
{
    SetUpDevice();
    MainKey()["Debug"] = 1;
    MainKey()["Off"] = 1;
    ScriptedOperator answers({ButtonYes, ButtonYes, ButtonYes, ButtonYes});
    Texts errors;
    std::string version;
    EXPECT_TRUE(DispenserScenario::QueryVersion(nullptr, &errors, &version));
    EXPECT_EQ(version, "DEBUG");
    DispenserStatusInfo status;
    EXPECT_TRUE(DispenserScenario::QueryStatus(nullptr, &errors, &status));
    EXPECT_EQ(status.error, 0x30);
    EXPECT_EQ(status.sensor0, 0x80);
    EXPECT_EQ(status.sensor1, 0x80);
    EXPECT_EQ(status.errorText, "Ok (debug)");
    EXPECT_EQ(status.sensor0Text, "Ok (debug)");
    EXPECT_EQ(status.sensor1Text, "Ok (debug)");
    EXPECT_EQ(status.flags, 0);
    EXPECT_TRUE(DispenserScenario::Purge(nullptr, &errors));
    const TestRun run = TestReject(1);
    EXPECT_TRUE(run.result);
    EXPECT_EQ(run.rejected, 1u);
    EXPECT_TRUE(errors.empty() && run.errors.empty());
    EXPECT_EQ(answers.asked,
              (Texts{"Опрос версии прошивки диспенсера считаем успешным?", "Опрос статуса диспенсера считаем успешным?",
                     "Прогон механизма диспенсера считаем успешным?",
                     "Тест выдачи из верхней кассеты считаем успешным?"}));
    EXPECT_EQ(RejectCount(), 1u);
    EXPECT_EQ(CassetteCount(1), 199u);
    EXPECT_EQ(device_->Truth().framesIn, 0u);
}

TEST_F(ServiceOperations, DebugModeNoFailsWithItsOwnText)
{
    SetUpDevice();
    MainKey()["Debug"] = 1;
    ScriptedOperator answers({ButtonNo, ButtonNo, ButtonNo, ButtonNo});
    Texts errors;
    std::string version = "old";
    EXPECT_FALSE(DispenserScenario::QueryVersion(nullptr, &errors, &version));
    EXPECT_EQ(version, "");
    EXPECT_EQ(errors, Texts{"условная ошибка опроса версии прошивки диспенсера (отладочный режим)"});
    EXPECT_FALSE(DispenserScenario::QueryStatus(nullptr, &errors, nullptr));
    EXPECT_EQ(errors, Texts{"условная ошибка опроса статуса диспенсера (отладочный режим)"});
    EXPECT_FALSE(DispenserScenario::Purge(nullptr, &errors));
    EXPECT_EQ(errors, Texts{"Условная ошибка прогона механизма диспенсера (отладочный режим)"});
    const TestRun run = TestReject(2);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.rejected, 0u);
    EXPECT_EQ(run.errors, Texts{"Условная ошибка теста выдачи (отладочный режим)"});
    EXPECT_EQ(CassetteCount(2), 200u);
    EXPECT_EQ(RejectCount(), 0u);
    EXPECT_THAT(Trace(), HasSubstr("Тест выдачи купюр: необработанное исключение: Условная ошибка теста выдачи"));
}

// A test reject the operator confirmed whose booking then fails ends failed: its result
// agrees with its error list.
TEST_F(ServiceOperations, ATestRejectThatFailsAfterItsAnswerEndsFailed)
{
    SetUpDevice();
    MainKey()["Debug"] = 1;
    const OperatorPromptHook previous = SetOperatorPromptHook([this](const OperatorPrompt&) {
        SubKey("Reject")["Count"] = "сломано"; // the store fails the booking
        return ButtonYes;
    });
    const TestRun run = TestReject(1);
    SetOperatorPromptHook(previous);
    EXPECT_FALSE(run.result);
    ASSERT_EQ(run.errors.size(), 1u) << ::testing::PrintToString(run.errors);
    EXPECT_THAT(run.errors.front(), HasSubstr("Reject"));
}

// Neither the operation's thread nor a device request's thread could start: the
// operation fails at once with a text, nothing reaches the device, and the port is
// free for the next one.
TEST_F(ServiceOperations, ThreadsThatCannotStartFailTheOperationAtOnce)
{
    SetUpDevice();
    MTSys::Thread::FailNextStarts(1);
    const TestRun run = TestReject(1);
    MTSys::Thread::FailNextStarts(0);
    EXPECT_FALSE(run.result);
    EXPECT_EQ(run.errors, Texts{"Не удалось запустить поток выполнения операции"});
    EXPECT_EQ(device_->Truth().framesIn, 0u);
    EXPECT_TRUE(TestReject(1).result) << "nothing stays behind";
}

// ---- Refusals of every kind ---------------------------------------------------

TEST_F(ServiceOperations, DisabledDispenserRefusesEveryOperation)
{
    SetUpDevice();
    MainKey()["Disabled"] = 1;
    const Texts off{"Диспенсер не задействован"};
    Texts errors;
    EXPECT_FALSE(DispenserScenario::QueryVersion(nullptr, &errors, nullptr));
    EXPECT_EQ(errors, off);
    EXPECT_FALSE(DispenserScenario::QueryStatus(nullptr, &errors, nullptr));
    EXPECT_EQ(errors, off);
    EXPECT_FALSE(DispenserScenario::Purge(nullptr, &errors));
    EXPECT_EQ(errors, off);
    ExpectRefused(1, off.front());
    EXPECT_EQ(device_->Truth().framesIn, 0u);
}

TEST_F(ServiceOperations, UnknownKindRunsNothing)
{
    SetUpDevice();
    Texts errors{"left from before"};
    DispenserScenario::Request request(9, &errors, {}, {}, nullptr);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(DispenserScenario::OperationName(request), "");
    EXPECT_FALSE(request.Run(nullptr));
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
    EXPECT_EQ(device_->Truth().framesIn, 0u);
}

TEST_F(ServiceOperations, FailedExchangeFailsTheOperationWithTheLinkTexts)
{
    SetUpDevice();
    device_->Fault("nak:3");
    Texts errors;
    std::string version = "old";
    EXPECT_FALSE(DispenserScenario::QueryVersion(nullptr, &errors, &version));
    EXPECT_EQ(version, "");
    EXPECT_THAT(errors, Contains(HasSubstr("Отрицательное подтверждение получено 3 раз")));
    EXPECT_EQ(errors.back(), "сбой операции");
    EXPECT_EQ(device_->Truth().commands, 0u);
}

} // namespace
