#include "Plugin/Dispenser/dispenser_requests.h"

#include "MTSys/mtsys.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/exceptions.h"
#include "tests/support/scripted_line.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

Bytes Text(const char* characters)
{
    return Bytes(characters, characters + std::char_traits<char>::length(characters));
}

class RequestTest : public ::testing::Test {
protected:
    RequestTest()
    {
        override_.enabled = true;
        override_.device = "LCDM-2000";
        override_.port.inUse = true;
        override_.port.port = "COM1";
        override_.port.baudRate = 9600;
        override_.port.flowControl = 1;
        trace_.SetLogPath(folder_.File("trace.txt"));
    }

    // Runs a request to its end against one scripted answer and returns its state.
    std::int32_t Run(DispenserQuery& request, ScriptedAnswer answer)
    {
        script_.Answer(std::move(answer));
        EXPECT_TRUE(request.Initiate(nullptr, 0));
        return request.GetState(true);
    }

    std::string Trace() const { return ReadFileBytes(folder_.File("trace.txt")); }

    TestRegistry registry_;
    TempFolder folder_;
    DispenserControl::SettingsOverride override_;
    DispenserControl::Settings settings_{false, &override_};
    AppLog trace_;
    Texts errors_;
    LineScript script_;
    ScriptedPort port_{script_, &trace_, &errors_, &settings_};
};

TEST(DeviceCodes, ErrorTextsAndUnknownCodes)
{
    EXPECT_EQ(DispenserQuery::ErrorText(0x39), "неизвестный код");
    EXPECT_EQ(DispenserQuery::ErrorText(0x00), "неизвестный код");
    EXPECT_EQ(DispenserQuery::ErrorText(0x4E), "Purge error (Jam at Div Sensor)");
    EXPECT_EQ(DispenserQuery::ErrorText(0x30), "Good");
    EXPECT_EQ(DispenserQuery::ErrorText(0x38), "Bill- End (Upper Bill- End)");
    int known = 0;
    for (int code = 0; code < 256; ++code)
        known += DispenserQuery::ErrorText(static_cast<std::uint8_t>(code)) != "неизвестный код";
    EXPECT_EQ(known, 27);
    for (std::uint8_t gap : {0x39, 0x3E, 0x4B, 0x4D})
        EXPECT_EQ(DispenserQuery::ErrorText(gap), "неизвестный код");
}

TEST(DeviceCodes, SensorDescriptions)
{
    EXPECT_EQ(DispenserQuery::SensorText(0x80, DispenserQuery::kSensorNamesA), "Ok");
    EXPECT_EQ(DispenserQuery::SensorText(0x85, DispenserQuery::kSensorNamesA), "CHK SENSOR 1, DIV SENSOR 1");
    EXPECT_EQ(DispenserQuery::SensorText(0x7F, DispenserQuery::kSensorNamesB2000),
              "SOL SENSOR, CASSETTE0 SENSOR, CASSETTE1 SENSOR, CHK SENSOR 3, CHK SENSOR 4, NEAREND1 SENSOR, "
              "REJECT TRAY S/W");
}

TEST_F(RequestTest, StatusOfAHealthyLcdm2000)
{
    DispenserQuery_Status status(port_, true);
    ASSERT_EQ(Run(status, {0x06, {0x30, 0x30, 0x80, 0x00}}), QueryCompleted);
    EXPECT_EQ(status.ErrorDescription(), "Good");
    EXPECT_EQ(status.SensorsAText(), "Ok");
    EXPECT_EQ(status.SensorsBText(), "Ok");
    EXPECT_TRUE(status.SensorsHealthy());
    // The frame the host sent: 04 50 02 46 03 BCC, then its ACK of the answer.
    EXPECT_EQ(script_.Written(), (Bytes{0x04, 0x50, 0x02, 0x46, 0x03, 0x13, 0x06}));
}

TEST_F(RequestTest, StatusSensorsOfAnLcdm1000)
{
    DispenserQuery_Status on(port_, false);
    ASSERT_EQ(Run(on, {0x06, {0x30, 0x30, 0x80, 0x80}}), QueryCompleted);
    EXPECT_EQ(on.SensorsBText(), "Reject tray is on");
    EXPECT_TRUE(on.SensorsHealthy());

    ScriptedPort second(script_, nullptr, &errors_, &settings_);
    DispenserQuery_Status off(second, false);
    ASSERT_EQ(Run(off, {0x06, {0x30, 0x30, 0x80, 0x87}}), QueryCompleted);
    EXPECT_EQ(off.SensorsBText(), "No Reject tray, CASSETTE SENSOR, SOL SENSOR");
    EXPECT_FALSE(off.SensorsHealthy());
}

TEST_F(RequestTest, StatusWithoutTheMarkerBitsIsInvalid)
{
    DispenserQuery_Status lcdm1000(port_, false);
    EXPECT_EQ(Run(lcdm1000, {0x06, {0x30, 0x30, 0x80, 0x00}}), QueryFailed);
    EXPECT_EQ(errors_, Texts{"Не удалось интерпретировать ответ устройства"});
    // The bytes were stored before the check.
    EXPECT_EQ(lcdm1000.SensorsA(), 0x80);

    ScriptedPort second(script_, nullptr, &errors_, &settings_);
    DispenserQuery_Status lcdm2000(second, true);
    EXPECT_EQ(Run(lcdm2000, {0x06, {0x30, 0x30, 0x03, 0x80}}), QueryFailed);
    ScriptedPort third(script_, nullptr, &errors_, &settings_);
    DispenserQuery_Status wrongFirst(third, true);
    EXPECT_EQ(Run(wrongFirst, {0x06, {0x31, 0x30, 0x80, 0x00}}), QueryFailed);
    EXPECT_EQ(errors_.size(), 3u);
    EXPECT_NE(Trace().find("DispenserQuery: не удалось интерпретировать ответ устройства"), std::string::npos);
}

TEST_F(RequestTest, StatusSensorTextsName)
{
    DispenserQuery_Status status(port_, true);
    ASSERT_EQ(Run(status, {0x06, {0x30, 0x38, 0x85, 0x00}}), QueryCompleted);
    EXPECT_EQ(status.SensorsAText(), "CHK SENSOR 1, DIV SENSOR 1");
    EXPECT_EQ(status.ErrorDescription(), "Bill- End (Upper Bill- End)");
    EXPECT_FALSE(status.SensorsHealthy());
}

TEST_F(RequestTest, VersionAndPurge)
{
    DispenserQuery_RomVersion version(port_);
    ASSERT_EQ(Run(version, {0x06, Text("V1.2abcd")}), QueryCompleted);
    EXPECT_EQ(version.GetVersion(), "V1.2");

    ScriptedPort second(script_, nullptr, &errors_, &settings_);
    DispenserQuery_Purge purge(second);
    ASSERT_EQ(Run(purge, {0x06, {0x4E}}), QueryCompleted);
    EXPECT_EQ(purge.ErrorCode(), 0x4E);
    EXPECT_EQ(purge.ErrorDescription(), "Purge error (Jam at Div Sensor)");
}

TEST_F(RequestTest, DispenseCommandsAndTheirLimits)
{
    EXPECT_EQ(DispenserQuery_Dispense(port_, 12, 0).Command(), (Bytes{0x45, 0x31, 0x32}));
    EXPECT_EQ(DispenserQuery_Dispense(port_, 5, 7).Command(), (Bytes{0x56, 0x30, 0x35, 0x30, 0x37}));
    EXPECT_EQ(DispenserQuery_Dispense(port_, 60, 60).Command(), (Bytes{0x56, 0x36, 0x30, 0x36, 0x30}));
    try {
        DispenserQuery_Dispense(port_, 61, 0);
        FAIL();
    } catch (const InternalError& error) {
        EXPECT_EQ(error.Reason().rfind("DispenserQuery: указанное количество купюр для кассеты #1 (61) не "
                                       "соответствует протоколу устройства (",
                                       0),
                  0u);
    }
    try {
        DispenserQuery_Dispense(port_, 1, 61);
        FAIL();
    } catch (const InternalError& error) {
        EXPECT_NE(error.Reason().find("для кассеты #2 (61)"), std::string::npos);
    }
    override_.device = "LCDM-1000";
    try {
        DispenserQuery_Dispense(port_, 1, 1);
        FAIL();
    } catch (const OVAppException& error) {
        EXPECT_EQ(error.Reason(), "Устройство не поддерживает вторую/нижнюю кассету");
    }
    EXPECT_NO_THROW(DispenserQuery_Dispense(port_, 1, 0));
    override_.device = "lcdm-2000";
    EXPECT_NO_THROW(DispenserQuery_Dispense(port_, 1, 1));
}

TEST_F(RequestTest, SingleCassetteDispenseAnswer)
{
    DispenserQuery_Dispense dispense(port_, 12, 0);
    ASSERT_EQ(Run(dispense, {0x06, Text("12120000")}), QueryCompleted);
    const auto upper = dispense.Cassette(1);
    EXPECT_EQ(upper.requested, 12);
    EXPECT_EQ(upper.checked, 12);
    EXPECT_EQ(upper.exited, 12);
    EXPECT_EQ(upper.rejected, 0);
    EXPECT_EQ(upper.statusText, "Enough notes (Normal)");
    EXPECT_EQ(dispense.ErrorDescription(), "Good");
    EXPECT_EQ(dispense.Cassette(2).statusText, "");
    EXPECT_NE(Trace().find("DispenserQuery_Dispense: результат запроса на выдачу 12/0 купюр: "
                           "\"atCHK\":=12:0, \"atEXIT\":=12:0, rejected:=0:0, error: 30 (\"Good\"), "
                           "status1:30 (\"Enough notes (Normal)\"), status2:00 (\"\")"),
              std::string::npos)
        << Trace();
}

TEST_F(RequestTest, TwoCassetteDispenseAnswer)
{
    DispenserQuery_Dispense dispense(port_, 5, 7);
    // check 06, exit 05 / check 07, exit 07, error 0x38, status 1 near end, rejects 01 / 00
    ASSERT_EQ(Run(dispense, {0x06, Text("060507078" "10" "0100")}), QueryCompleted);
    const auto upper = dispense.Cassette(1);
    const auto lower = dispense.Cassette(2);
    EXPECT_EQ(upper.checked, 6);
    EXPECT_EQ(upper.exited, 5);
    EXPECT_EQ(upper.rejected, 1);
    EXPECT_EQ(upper.statusText, "Status of Near end");
    EXPECT_EQ(lower.checked, 7);
    EXPECT_EQ(lower.exited, 7);
    EXPECT_EQ(lower.rejected, 0);
    EXPECT_EQ(lower.statusText, "Enough notes (Normal)");
    EXPECT_EQ(dispense.ErrorCode(), '8');
}

TEST_F(RequestTest, AnswerStandsWhenItsAcknowledgementCannotBeWritten)
{
    // The notes have left by the time the answer comes: a failed ACK must not lose them.
    script_.FailAcknowledgementWrites();
    DispenserQuery_Dispense dispense(port_, 5, 7);
    ASSERT_EQ(Run(dispense, {0x06, Text("050507070" "00" "0000")}), QueryCompleted);
    EXPECT_EQ(dispense.Cassette(1).exited, 5);
    EXPECT_EQ(dispense.Cassette(2).exited, 7);
    EXPECT_TRUE(errors_.empty()) << ::testing::PrintToString(errors_);
    EXPECT_NE(Trace().find("положительное подтверждение не отправлено"), std::string::npos);
}

// Whether a failed note-moving command may have paid: the scenario keeps the notes in
// doubt exactly when the device could have taken the command.
TEST_F(RequestTest, AFailedDispenseMayHaveRunOnceTheDeviceCouldHaveTakenIt)
{
    {
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["DeviceResponseTimeout"] = 30;
        key["MaxRetryRsp"] = 1;
    }
    const ScriptedAnswer nak{0x15, {}};
    ScriptedAnswer silent;
    silent.silent = true;
    ScriptedAnswer mute;
    mute.mute = true;
    ScriptedAnswer cut{0x06, Text("05050000")};
    cut.cutTo = 7;
    struct Case {
        const char* name;
        std::vector<ScriptedAnswer> answers;
        bool mayHaveRun;
    };
    const Case cases[] = {
        {"refused three times", {nak, nak, nak}, false},
        {"no acknowledgement at all", {silent}, false},
        {"an unknown acknowledgement byte", {{0x00, {}}}, true},
        {"acknowledged, then silence", {mute}, true},
        {"acknowledged, answer cut short", {cut}, true},
        {"acknowledged, fields out of range", {{0x06, Text("05750000")}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Texts errors;
        ScriptedPort port(script_, nullptr, &errors, &settings_);
        for (const ScriptedAnswer& answer : c.answers)
            script_.Answer(answer);
        DispenserQuery_Dispense dispense(port, 5, 0);
        ASSERT_TRUE(dispense.Initiate(nullptr, 0));
        EXPECT_EQ(dispense.GetState(true), QueryFailed);
        EXPECT_EQ(dispense.CommandMayHaveRun(), c.mayHaveRun);
        EXPECT_EQ(dispense.Cassette(1).exited, 0);
    }

    // A cancel while the answer is awaited: waited for up to the ceiling, then given up.
    ScriptedPort port(script_, nullptr, &errors_, &settings_);
    port.ShortenAnswerAfterAbort(10);
    {
        RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll)["DeviceResponseTimeout"] =
            60000;
    }
    script_.Hold();
    script_.Answer(mute);
    DispenserQuery_Dispense dispense(port, 5, 0);
    ASSERT_TRUE(dispense.Initiate(nullptr, 0));
    ASSERT_TRUE(script_.WaitForHeldRead(5000));
    dispense.Cancel(false);
    script_.Release();
    EXPECT_NE(dispense.GetState(true), QueryCompleted);
    EXPECT_TRUE(dispense.CommandMayHaveRun());
    EXPECT_NE(::testing::PrintToString(errors_).find("после отмены операции"), std::string::npos)
        << ::testing::PrintToString(errors_);
}

TEST_F(RequestTest, DispenseAnswerOutOfRangeStoresNothing)
{
    for (const char* payload : {"12720000", "12120200", "1212000a", "12:20000", "1/120000"}) {
        Texts errors;
        ScriptedPort port(script_, nullptr, &errors, &settings_);
        DispenserQuery_Dispense dispense(port, 12, 0);
        EXPECT_EQ(Run(dispense, {0x06, Text(payload)}), QueryFailed) << payload;
        EXPECT_EQ(errors, Texts{"Не удалось интерпретировать ответ устройства"}) << payload;
        EXPECT_EQ(dispense.Cassette(1).exited, 0) << payload;
    }
}

TEST_F(RequestTest, CheckedCountsPastSixtyAreAnswers)
{
    // 60 notes out and 10 rejected: 70 passed the check sensors.
    DispenserQuery_Dispense dispense(port_, 60, 0);
    ASSERT_EQ(Run(dispense, {0x06, Text("70600010")}), QueryCompleted);
    EXPECT_EQ(dispense.Cassette(1).checked, 70);
    EXPECT_EQ(dispense.Cassette(1).exited, 60);
    EXPECT_EQ(dispense.Cassette(1).rejected, 10);
}

TEST_F(RequestTest, TestRejectAnswers)
{
    DispenserQuery_TestReject upper(port_, false);
    EXPECT_EQ(upper.Command(), Bytes{0x76});
    ASSERT_EQ(Run(upper, {0x06, Text("01000101")}), QueryCompleted);
    EXPECT_EQ(upper.RejectedCount(), 1u);
    EXPECT_EQ(upper.StatusText(), "Status of Near end");
    EXPECT_NE(Trace().find("DispenserQuery_TestReject: результат запроса на выдачу в брак 1 купюр: rejected:1, "
                           "error: 30 (\"Good\"), status:31 (\"Status of Near end\")"),
              std::string::npos);

    ScriptedPort second(script_, nullptr, &errors_, &settings_);
    DispenserQuery_TestReject lower(second, true);
    EXPECT_EQ(lower.Command(), Bytes{0x77});
    // Checked like a dispense answer: notes the device says left are reported, for the
    // scenario to count or to hold in doubt; a field out of range is no answer.
    ASSERT_EQ(Run(lower, {0x06, Text("12100002")}), QueryCompleted);
    EXPECT_EQ(lower.CheckedCount(), 12u);
    EXPECT_EQ(lower.ExitedCount(), 10u);
    EXPECT_EQ(lower.RejectedCount(), 2u);

    ScriptedPort third(script_, nullptr, &errors_, &settings_);
    DispenserQuery_TestReject broken(third, true);
    EXPECT_EQ(Run(broken, {0x06, Text("01700001")}), QueryFailed);
    EXPECT_EQ(broken.RejectedCount(), 0u);
}

TEST_F(RequestTest, SecondRequestOnABusyPortIsRefused)
{
    script_.Hold();
    script_.Answer({0x06, {0x30, 0x30, 0x80, 0x00}});
    DispenserQuery_Status first(port_, true);
    ASSERT_TRUE(first.Initiate(nullptr, 0));
    ASSERT_TRUE(script_.WaitForHeldRead(5000));
    EXPECT_FALSE(first.Wait(0));
    {
        DispenserQuery_Purge second(port_);
        EXPECT_FALSE(second.Initiate(nullptr, 0));
        EXPECT_EQ(second.GetState(true), QueryBusy); // no thread to wait for
        EXPECT_TRUE(errors_.empty());                // the scenario reports it
    }
    script_.Release();
    EXPECT_EQ(first.GetState(true), QueryCompleted);
    EXPECT_TRUE(port_.IsLocked()); // held until the request is destroyed
}

TEST_F(RequestTest, ARequestWhoseThreadCannotStartFailsAndFreesThePort)
{
    MTSys::Thread::FailNextStarts(1);
    DispenserQuery_Status status(port_, true);
    EXPECT_FALSE(status.Initiate(nullptr, 0));
    MTSys::Thread::FailNextStarts(0);
    EXPECT_EQ(status.GetState(false), QueryFailed);
    EXPECT_EQ(errors_, Texts{"Не удалось запустить поток запроса к устройству"});
    ScriptedPort second(script_, nullptr, &errors_, &settings_);
    DispenserQuery_Status again(second, true);
    EXPECT_EQ(Run(again, {0x06, {0x30, 0x30, 0x80, 0x00}}), QueryCompleted);
}

TEST_F(RequestTest, RepeatedInitiationOfADeviceRequest)
{
    DispenserQuery_RomVersion version(port_);
    ASSERT_EQ(Run(version, {0x06, Text("V1.2abcd")}), QueryCompleted);
    try {
        version.Initiate(nullptr, 0);
        FAIL();
    } catch (const InternalError& error) {
        EXPECT_EQ(error.Reason().rfind("DispenserQuery internal error: repeated Initiate (dispenser_query.cpp:", 0), 0u);
    }
    EXPECT_EQ(version.GetState(false), QueryFailed);
}

TEST_F(RequestTest, CancelDuringTheExchange)
{
    script_.Hold();
    script_.Answer({0x06, {0x30, 0x30, 0x80, 0x00}});
    DispenserQuery_Status status(port_, true);
    ASSERT_TRUE(status.Initiate(nullptr, 0));
    ASSERT_TRUE(script_.WaitForHeldRead(5000));
    status.Cancel(false);
    script_.Release();
    EXPECT_EQ(status.GetState(true), QueryCancelled);
    EXPECT_EQ(errors_, (Texts{"Не удалось выполнить обмен с устройством", "Обмен с устройством принудительно прерван"}));
}

TEST_F(RequestTest, DestroyingARunningRequestWaitsForItsThread)
{
    // Each request is destroyed while its exchange is held back; the answer comes only
    // then, so the request's thread decodes it into the request's results while the
    // destructor waits. A wait that comes after the concrete request's destructor lets
    // that thread call a pure virtual Interpret() or write destroyed results.
    using Make = std::function<std::unique_ptr<DispenserQuery>(DispenserPort&)>;
    const std::pair<Make, Bytes> cases[] = {
        {[](DispenserPort& port) { return std::make_unique<DispenserQuery_RomVersion>(port); }, Text("V1.2abcd")},
        {[](DispenserPort& port) { return std::make_unique<DispenserQuery_Status>(port, true); },
         Bytes{0x30, 0x30, 0x80, 0x00}},
        {[](DispenserPort& port) { return std::make_unique<DispenserQuery_Purge>(port); }, Bytes{0x4E}},
        {[](DispenserPort& port) { return std::make_unique<DispenserQuery_TestReject>(port, false); },
         Text("01000101")},
        {[](DispenserPort& port) { return std::make_unique<DispenserQuery_Dispense>(port, 5, 7); },
         Text("060507078" "10" "0100")},
    };
    for (const auto& [make, payload] : cases) {
        LineScript script;
        script.Hold();
        script.Answer({0x06, payload});
        ScriptedPort port(script, &trace_, &errors_, &settings_);
        std::unique_ptr<DispenserQuery> request = make(port);
        ASSERT_TRUE(request->Initiate(nullptr, 0));
        ASSERT_TRUE(script.WaitForHeldRead(5000));
        std::thread release([&script] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            script.Release();
        });
        request.reset();
        release.join();
        EXPECT_FALSE(port.IsLocked());
    }
    EXPECT_TRUE(errors_.empty());
    // The two requests that log their answer decoded it completely.
    EXPECT_NE(Trace().find("DispenserQuery_TestReject: результат запроса"), std::string::npos);
    EXPECT_NE(Trace().find("DispenserQuery_Dispense: результат запроса на выдачу 5/7 купюр"), std::string::npos);
}

// A port whose line fails with a given exception.
class FailingPort : public DispenserPort {
public:
    FailingPort(std::function<void()> fail, std::vector<std::string>* errors, DispenserControl::Settings* settings)
        : DispenserPort(nullptr, errors, settings), fail_(std::move(fail))
    {
    }

protected:
    std::unique_ptr<SerialPort> OpenLine(const std::string&) override
    {
        fail_();
        return nullptr;
    }

private:
    std::function<void()> fail_;
};

TEST_F(RequestTest, ExceptionsBecomeStatesAndTexts)
{
    struct Case {
        std::function<void()> fail;
        std::int32_t state;
        Texts errors;
    };
    const Case cases[] = {
        {[] { throw WindowsError(2, "serial.cpp", 10); }, QueryFailed,
         Texts{WindowsError(2, "serial.cpp", 10).Reason()}},
        {[] { throw SilentCancel(); }, QueryCompleted, Texts{}},
        {[] { throw 7; }, QueryFailed, Texts{"Неизвестная ошибка"}},
    };
    for (const Case& c : cases) {
        Texts errors;
        FailingPort port(c.fail, &errors, &settings_);
        DispenserQuery_Status status(port, true);
        ASSERT_TRUE(status.Initiate(nullptr, 0));
        EXPECT_EQ(status.GetState(true), c.state);
        EXPECT_EQ(errors, c.errors);
    }
}

} // namespace
