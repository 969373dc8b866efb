// The session extender against the simulated dispenser: the kiosk scenario writes
// "Dispenser." variables, raises an event and reads the results. Whatever a session
// holds, no payout passes a configured limit and no counter is corrupted.
#include "tests/integration/plugin/plugin_fixture.h"

#include "framework/exceptions.h"
#include "framework/messages.h"

#include <gmock/gmock.h>

#include <atomic>
#include <map>
#include <stdexcept>
#include <tuple>

namespace {

using ::testing::HasSubstr;
using Reports = std::vector<bool>;

// Texts no count may be read from: not numbers, or outside the signed 32-bit range
// (a cut to 32 bits would turn 4294967297 into 1 and 4294968296 into 1000).
const char* const kUnreadable[] = {"abc",        "1e3",         "0x10",       " ",          "12abc",
                                   "2147483648", "-2147483649", "4294967297", "4294968296", "99999999999999999999999"};

std::string FormatError(const std::string& name, const std::string& text)
{
    return "Неверный формат числа: " + name + "=" + text;
}

MapSession With(const std::map<std::string, std::string>& values)
{
    MapSession session;
    for (const auto& [name, text] : values)
        session.SetValue(name, text);
    return session;
}

class SessionEventsTest : public PluginTest {
protected:
    void Raise(MapSession& session, const std::string& event, Plugin::PluginContext* context)
    {
        Plugin::SessionEvents(context).OnSessionEvent(session, event);
    }
    void Raise(MapSession& session, const std::string& event) { Raise(session, event, &context_); }

    // The event failed on the number in `name` before anything reached the device or
    // the counters, and the failure is in the application log.
    void ExpectRefusedNumber(MapSession& session, const std::string& event, const std::string& name)
    {
        const std::string error = FormatError(name, session.GetValue(name));
        const unsigned frames = FramesIn();
        const std::uint32_t counts[3] = {CassetteCount(1), CassetteCount(2), RejectCount()};
        try {
            Raise(session, event);
            ADD_FAILURE() << "no failure";
        } catch (const OVAppException& failure) {
            EXPECT_EQ(failure.Reason(), error);
        }
        EXPECT_EQ(FramesIn(), frames);
        EXPECT_EQ(CassetteCount(1), counts[0]);
        EXPECT_EQ(CassetteCount(2), counts[1]);
        EXPECT_EQ(RejectCount(), counts[2]);
        EXPECT_EQ(session.GetValue("Dispenser.Result"), "");
        EXPECT_EQ(session.Values().count("Dispenser.Dispensed1"), 0u);
        EXPECT_TRUE(context_.reports.empty());
        ASSERT_FALSE(LoggedErrors().empty());
        EXPECT_EQ(LoggedErrors().back(),
                  "при обработке события платёжного сеанса \"" + event + "\" произошла ошибка: \"" + error + "\"");
    }
};

// ---- Numbers and flags in the session ------------------------------------------

TEST(SessionVariablesTest, NumbersAreReadStrictlyWithinSigned32Bits)
{
    const std::pair<const char*, std::int32_t> readable[] = {
        {"", 0},         {"42", 42},       {" -7 ", -7},     {"+15", 15},
        {"1 000", 1000}, {"1 250,9", 1250}, {"-1,9", -1},     {"-0.5", 0},
        {"12 345 678", 12345678}, {"2147483647,99", 2147483647}, {"-2147483648", -2147483647 - 1}};
    MapSession session;
    for (const auto& [text, value] : readable) {
        session.SetValue("Dispenser.Dispense", text);
        EXPECT_EQ(session.GetInt("Dispenser.Dispense"), value) << text;
    }
    for (const char* text : kUnreadable) {
        session.SetValue("Dispenser.Dispense", text);
        try {
            session.GetInt("Dispenser.Dispense");
            ADD_FAILURE() << "read a number from \"" << text << "\"";
        } catch (const OVAppException& error) {
            EXPECT_EQ(error.Reason(), FormatError("Dispenser.Dispense", text));
        }
    }
    for (const char* text : {"1 00", "1 0000", "1,", "--1", "1 000 00"}) {
        session.SetValue("Dispenser.Dispense", text);
        EXPECT_THROW(session.GetInt("Dispenser.Dispense"), OVAppException) << text;
    }
    // Numbers are written unsigned, flags as "1" or nothing, under case-blind names.
    session.SetUInt("DISPENSER.DISPENSE", 4294967295u);
    session.SetBool("dispenser.failed", true);
    EXPECT_EQ(session.GetValue("Dispenser.Failed"), "1");
    session.SetBool("Dispenser.Failed", false);
    EXPECT_EQ(session.Values(), (std::map<std::string, std::string>{{"Dispenser.Dispense", "4294967295"},
                                                                    {"dispenser.failed", ""}}));
}

// ---- Preparing a session, the dispenser out of use -----------------------------

TEST_F(SessionEventsTest, PreparedSessionShowsAFailedPlugin)
{
    Configure();
    MapSession healthy, failed, unreachable, notInUse;
    Plugin::SessionEvents(&context_).PrepareSession(healthy);
    EXPECT_EQ(healthy.Values().count("Dispenser.Failed"), 0u);
    EXPECT_EQ(healthy.GetValue("Dispenser.Cassette1.Counter"), "200");

    context_.failed = true;
    Plugin::SessionEvents(&context_).PrepareSession(failed);
    EXPECT_EQ(failed.GetValue("Dispenser.Failed"), "1");
    EXPECT_EQ(failed.GetValue("Dispenser.Enabled"), "1");
    Plugin::SessionEvents(nullptr).PrepareSession(unreachable);
    EXPECT_EQ(unreachable.Values().count("Dispenser.Failed"), 0u);

    MainKey()["Disabled"] = 1;
    Plugin::SessionEvents(&context_).PrepareSession(notInUse);
    EXPECT_EQ(notInUse.Values(), (Variables{{"Dispenser.Failed", "1"}}));
}

TEST_F(SessionEventsTest, DispenserNotInUseOnlyClearsTheResult)
{
    ConfigureDevice();
    MainKey()["Disabled"] = 1;
    const Variables given = {{"Dispenser.Result", "1"},    {"Dispenser.Message", "old"}, {"Dispenser.Dispense", "3700"},
                             {"Dispenser.Dispense1", "2"}, {"Dispenser.Dispense2", "1"}, {"Dispenser.Cassette", "1"}};
    for (const std::string event : {"Dispenser.GetRomVersion", "Dispenser.Purge", "Dispenser.TestReject",
                                    "Dispenser.Dispense", "Dispenser.Calculate"}) {
        SCOPED_TRACE(event);
        MapSession session = With(given);
        Raise(session, event);
        Variables expected = given;
        expected["Dispenser.Result"] = expected["Dispenser.Message"] = "";
        if (event == "Dispenser.Calculate")
            expected["Dispenser.Dispense1"] = expected["Dispenser.Dispense2"] = "";
        EXPECT_EQ(session.Values(), expected);
    }
    EXPECT_EQ(FramesIn(), 0u);
    EXPECT_TRUE(context_.reports.empty());
    EXPECT_EQ(CassetteCount(1), 200u);
}

// An unknown model in the settings fails every device event before a frame is sent.
TEST_F(SessionEventsTest, UnknownModelFailsEveryDeviceEvent)
{
    ConfigureDevice();
    MainKey()["Device"] = "LCDM-9000";
    for (const std::string event :
         {"Dispenser.GetRomVersion", "Dispenser.Purge", "Dispenser.TestReject", "Dispenser.Dispense"}) {
        SCOPED_TRACE(event);
        context_.reports.clear();
        MapSession session = With({{"Dispenser.Result", "1"}, {"Dispenser.Dispense1", "2"}, {"Dispenser.Cassette", "1"}});
        Raise(session, event);
        ExpectHolds(session, {{"Dispenser.Result", ""}, {"Dispenser.Message", "Устройство не поддерживается: LCDM-9000"}});
        EXPECT_EQ(context_.reports, Reports{true});
    }
    EXPECT_EQ(FramesIn(), 0u);
    EXPECT_EQ(CassetteCount(1), 200u);
}

// A payout of nothing runs nothing and tells nothing of the device: a failure the
// terminal's check found stays reported.
TEST_F(SessionEventsTest, NothingAskedRunsNoOperationAndReportsNothing)
{
    ConfigureDevice();
    for (const char* count : {"", "0", "-3"}) {
        SCOPED_TRACE(count);
        MapSession session = With({{"Dispenser.Dispense1", count}, {"Dispenser.Dispense2", count}});
        Raise(session, "Dispenser.Dispense");
        ExpectHolds(session, {{"Dispenser.Result", "1"}, {"Dispenser.Dispensed1", "0"}, {"Dispenser.Dispensed2", "0"},
                              {"Dispenser.Unknown1", "0"}, {"Dispenser.Cassette1.Avail", "200"}});
    }
    EXPECT_TRUE(context_.reports.empty());
    EXPECT_EQ(FramesIn(), 0u);
}

// ---- Calculate -----------------------------------------------------------------

TEST_F(SessionEventsTest, CalculatedSplitIsPaidAndPublished)
{
    ConfigureDevice("LCDM-2000", 10, 10);
    MapSession session = With({{"Dispenser.Dispense", "3700"}});
    Raise(session, "Dispenser.Calculate");
    EXPECT_EQ(session.Values(), (Variables{{"Dispenser.Dispense", "200"}, {"Dispenser.Dispense1", "3"},
                                           {"Dispenser.Dispense2", "1"}, {"Dispenser.Result", "1"},
                                           {"Dispenser.Message", ""}}));
    EXPECT_EQ(FramesIn(), 0u) << "a split does not ask the device";

    session.SetValue("Dispenser.Message", "old");
    Raise(session, "Dispenser.Dispense");
    EXPECT_EQ(device_->Truth().exit1, 3u);
    EXPECT_EQ(device_->Truth().exit2, 1u);
    EXPECT_EQ(CassetteCount(1), 7u);
    EXPECT_EQ(CassetteCount(2), 9u);
    ExpectHolds(session, {{"Dispenser.Dispensed1", "3"}, {"Dispenser.Dispensed2", "1"}, {"Dispenser.Rejected1", "0"},
                          {"Dispenser.Rejected2", "0"}, {"Dispenser.Rejected", "0"}, {"Dispenser.Dispense1", ""},
                          {"Dispenser.Dispense2", ""}, {"Dispenser.Result", "1"}, {"Dispenser.Message", ""},
                          {"Dispenser.Cassette1.Counter", "7"}, {"Dispenser.Cassette2.Avail", "9"},
                          {"Dispenser.Min", "500"}});
    EXPECT_EQ(context_.reports, Reports{false});
}

TEST_F(SessionEventsTest, CalculateSplitsOnlyAStrictlyReadPositiveAmount)
{
    Configure("LCDM-2000", 10, 10);
    LimitAmount(5000);
    struct Case {
        const char *amount, *count1, *count2, *rest, *result;
    };
    const Case cases[] = {
        {"1 500", "1", "1", "0", "1"},
        {"2147483647", "5", "0", "2147478647", "1"}, // the amount limit holds the payout
        {"0", "", "", "0", ""},
        {"-1000", "", "", "-1000", ""},
        {"", "", "", "", ""},
        {"300", "", "", "300", ""}, // no note fits
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.amount);
        MapSession session = With({{"Dispenser.Dispense", test.amount}});
        Raise(session, "Dispenser.Calculate");
        ExpectHolds(session, {{"Dispenser.Dispense1", test.count1}, {"Dispenser.Dispense2", test.count2},
                              {"Dispenser.Dispense", test.rest}, {"Dispenser.Result", test.result}});
    }
    // Money is not cut: a fractional amount is refused, never paid short with rest 0.
    std::vector<const char*> refused(std::begin(kUnreadable), std::end(kUnreadable));
    refused.insert(refused.end(), {"1 500,99", "0,5", "-0,5"});
    for (const char* amount : refused) {
        SCOPED_TRACE(amount);
        MapSession session = With({{"Dispenser.Dispense", amount}, {"Dispenser.Dispense1", "9"}});
        ExpectRefusedNumber(session, "Dispenser.Calculate", "Dispenser.Dispense");
        ExpectHolds(session, {{"Dispenser.Dispense1", ""}, {"Dispenser.Dispense", amount}});
    }

    // A failed plug-in splits nothing; an unreachable one does not even read the amount.
    context_.failed = true;
    MapSession failed = With({{"Dispenser.Dispense", "3700"}});
    Raise(failed, "Dispenser.Calculate");
    const Variables cleared = {{"Dispenser.Dispense1", ""}, {"Dispenser.Dispense2", ""}, {"Dispenser.Result", ""},
                               {"Dispenser.Message", ""}};
    Variables expected = cleared;
    expected["Dispenser.Dispense"] = "3700";
    EXPECT_EQ(failed.Values(), expected);
    MapSession unreachable = With({{"Dispenser.Dispense", "abc"}, {"Dispenser.Dispense2", "4"}});
    Raise(unreachable, "Dispenser.Calculate", nullptr);
    expected["Dispenser.Dispense"] = "abc";
    EXPECT_EQ(unreachable.Values(), expected);
}

// ---- Dispense with hostile counts ------------------------------------------------

TEST_F(SessionEventsTest, UnreadableCountsStopThePayoutBeforeTheDevice)
{
    ConfigureDevice();
    for (const char* name : {"Dispenser.Dispense1", "Dispenser.Dispense2"}) {
        for (const char* text : kUnreadable) {
            SCOPED_TRACE(std::string(name) + "=" + text);
            MapSession session = With({{"Dispenser.Dispense1", "1"}, {"Dispenser.Dispense2", "1"}});
            session.SetValue(name, text);
            ExpectRefusedNumber(session, "Dispenser.Dispense", name);
        }
    }
}

TEST_F(SessionEventsTest, CountsAreClearedBeforeThePayoutSoAFailureCannotPayThemTwice)
{
    ConfigureDevice();
    // The host refuses the first result of the payout.
    class RefusingResults : public MapSession {
    public:
        void SetValue(const std::string& name, const std::string& text) override
        {
            if (name == "Dispenser.Dispensed1" && text != "0")
                throw OVAppException("сеанс недоступен");
            MapSession::SetValue(name, text);
        }
    } session;
    session.SetValue("Dispenser.Dispense1", "2");
    session.SetValue("Dispenser.Dispense2", "1");
    EXPECT_THROW(Raise(session, "Dispenser.Dispense"), OVAppException);
    EXPECT_EQ(CassetteCount(1), 198u) << "the payout ran";
    EXPECT_EQ(session.GetValue("Dispenser.Dispense1"), "");
    EXPECT_EQ(session.GetValue("Dispenser.Dispense2"), "");
}

TEST_F(SessionEventsTest, NegativeOrFractionalCountsNeverAskForMore)
{
    ConfigureDevice();
    MapSession session = With({{"Dispenser.Dispense1", "-5"}, {"Dispenser.Dispense2", "2,9"}});
    Raise(session, "Dispenser.Dispense");
    EXPECT_EQ(device_->Truth().exit1, 0u);
    EXPECT_EQ(device_->Truth().exit2, 2u);
    // Nothing was asked of cassette 1, so its count stays.
    ExpectHolds(session, {{"Dispenser.Dispensed1", "0"}, {"Dispenser.Dispensed2", "2"}, {"Dispenser.Dispense1", "-5"},
                          {"Dispenser.Dispense2", ""}, {"Dispenser.Result", "1"}});
    EXPECT_EQ(CassetteCount(1), 200u);
    EXPECT_EQ(CassetteCount(2), 198u);
    EXPECT_EQ(context_.reports, Reports{false});
}

TEST_F(SessionEventsTest, NoCountPassesTheAmountOrNoteLimits)
{
    ConfigureDevice();
    LimitAmount(5000);
    LimitMaxDispense(2, 6);
    const std::tuple<const char*, const char*, const char*> cases[] = {
        // 4294968 notes of 1000 are 4294968000 roubles: 704 when cut to 32 bits.
        {"4294968", "", "запрошена выдача на сумму 4294968000 руб., разрешено максимум 5000 руб."},
        {"2147483647", "0", "запрошена выдача на сумму 2147483647000 руб."},
        {"6", "", "запрошена выдача на сумму 6000 руб."},
        {"4", "3", "запрошена выдача на сумму 5500 руб."},
        {"1 000", "", "запрошена выдача на сумму 1000000 руб."},
        {"", "7", "(кассета #2, запрошено 7 шт., разрешено максимум 6 шт.)"},
        {"1", "2147483647", "(кассета #2, запрошено 2147483647 шт., разрешено максимум 6 шт.)"},
    };
    for (const auto& [count1, count2, error] : cases) {
        SCOPED_TRACE(std::string(count1) + " / " + count2);
        context_.reports.clear();
        MapSession session = With({{"Dispenser.Dispense1", count1}, {"Dispenser.Dispense2", count2}});
        Raise(session, "Dispenser.Dispense");
        EXPECT_THAT(session.GetValue("Dispenser.Message"), HasSubstr(error));
        ExpectHolds(session, {{"Dispenser.Result", ""}, {"Dispenser.Dispensed1", "0"}, {"Dispenser.Dispensed2", "0"}});
        EXPECT_EQ(context_.reports, Reports{true});
    }
    EXPECT_EQ(FramesIn(), 0u);
    EXPECT_EQ(CassetteCount(1), 200u);
    EXPECT_EQ(CassetteCount(2), 200u);

    // Exactly at the limit is paid.
    MapSession session = With({{"Dispenser.Dispense1", "3"}, {"Dispenser.Dispense2", "4"}});
    Raise(session, "Dispenser.Dispense");
    EXPECT_EQ(session.GetValue("Dispenser.Result"), "1");
    EXPECT_EQ(device_->Truth().exit1 * 1000 + device_->Truth().exit2 * 500, 5000u);
}

// A single-cassette device pays no part of a request that asks its missing cassette;
// what is no number there is left alone.
TEST_F(SessionEventsTest, SingleCassetteDeviceRefusesASecondCount)
{
    ConfigureDevice("LCDM-1000", 10, 0);
    for (const char* second : {"abc", "0", "", "-1"}) {
        SCOPED_TRACE(second);
        MapSession session = With({{"Dispenser.Dispense1", "2"}, {"Dispenser.Dispense2", second}});
        Raise(session, "Dispenser.Dispense");
        EXPECT_EQ(session.GetValue("Dispenser.Result"), "1");
        EXPECT_EQ(session.GetValue("Dispenser.Dispense2"), second);
        EXPECT_EQ(session.Values().count("Dispenser.Dispensed2"), 0u);
    }
    EXPECT_EQ(device_->Truth().exit1, 8u);
    EXPECT_EQ(CassetteCount(1), 2u);

    context_.reports.clear();
    const unsigned frames = FramesIn();
    MapSession session = With({{"Dispenser.Dispense1", "1"}, {"Dispenser.Dispense2", "5"}});
    Raise(session, "Dispenser.Dispense");
    ExpectHolds(session, {{"Dispenser.Result", ""}, {"Dispenser.Message", "Устройство не поддерживает кассету #2"},
                          {"Dispenser.Dispensed1", "0"}});
    EXPECT_EQ(FramesIn(), frames);
    EXPECT_EQ(context_.reports, Reports{true});
}

// ---- Dispense as the device does it ----------------------------------------------

TEST_F(SessionEventsTest, RejectedNotesAreShownAndCounted)
{
    ConfigureDevice();
    device_->Fault("reject-every:2");
    MapSession session = With({{"Dispenser.Dispense1", "3"}, {"Dispenser.Dispense2", "1"}});
    Raise(session, "Dispenser.Dispense");
    const SimulatorTruth truth = device_->Truth();
    ASSERT_GT(truth.rejected1 + truth.rejected2, 0u);
    ExpectHolds(session, {{"Dispenser.Dispensed1", std::to_string(truth.exit1)},
                          {"Dispenser.Rejected1", std::to_string(truth.rejected1)},
                          {"Dispenser.Rejected2", std::to_string(truth.rejected2)},
                          {"Dispenser.Rejected", std::to_string(truth.rejected1 + truth.rejected2)},
                          {"Dispenser.Reject", std::to_string(truth.rejectBin)}, {"Dispenser.Result", "1"}});
    EXPECT_EQ(RejectCount(), truth.rejectBin);
    EXPECT_EQ(CassetteCount(1), truth.cassette1);
    EXPECT_EQ(CassetteCount(2), truth.cassette2);
    EXPECT_EQ(context_.reports, Reports{false});
}

TEST_F(SessionEventsTest, ShortPayoutOrAReserveReachedIsReportedAsAFailure)
{
    ConfigureDevice();
    device_->Fault("set-count:1:2"); // the registry believes 200
    MapSession session = With({{"Dispenser.Dispense1", "5"}});
    Raise(session, "Dispenser.Dispense");
    EXPECT_EQ(device_->Truth().exit1, 2u);
    ExpectHolds(session, {{"Dispenser.Dispensed1", "2"}, {"Dispenser.Cassette1.Counter", "0"}}); // reset on bill-end
    EXPECT_THAT(session.GetValue("Dispenser.Message"), HasSubstr("отсутствие купюр в кассете 1"));
    EXPECT_EQ(context_.reports, Reports{true});

    // Paid in full, but down to the reserve of cassette 2: the dispenser cannot go on.
    context_.reports.clear();
    LimitMinAmount(2, 195);
    session.SetValue("Dispenser.Dispense2", "5");
    Raise(session, "Dispenser.Dispense");
    ExpectHolds(session,
                {{"Dispenser.Dispensed2", "5"}, {"Dispenser.Result", "1"}, {"Dispenser.Cassette2.Avail", "0"}});
    EXPECT_EQ(context_.reports, Reports{true});
}

// ---- Service events ------------------------------------------------------------

TEST_F(SessionEventsTest, VersionAndPurgeReportTheDeviceState)
{
    ConfigureDevice();
    MapSession session;
    Raise(session, "Dispenser.GetRomVersion");
    EXPECT_THAT(session.GetValue("Dispenser.Result"), ::testing::StartsWith("V1.2"));
    EXPECT_EQ(session.GetValue("Dispenser.Message"), "");
    EXPECT_TRUE(context_.reports.empty()) << "a version answered reports nothing";

    Raise(session, "dispenser.PURGE"); // names ignore letter case
    EXPECT_EQ(session.GetValue("Dispenser.Result"), "1");
    EXPECT_EQ(context_.reports, Reports{false});

    // Other names are not events of this extender.
    const Variables before = session.Values();
    const unsigned frames = FramesIn();
    for (const char* event : {"Dispenser.Setup", "Dispenser.Purge ", "Dispenser.Dispense1", "Purge", ""})
        Raise(session, event);
    EXPECT_EQ(session.Values(), before);
    EXPECT_EQ(FramesIn(), frames);

    LimitReject(10, 10);
    Raise(session, "Dispenser.Purge");
    EXPECT_EQ(session.GetValue("Dispenser.Result"), "1");
    EXPECT_EQ(context_.reports, (Reports{false, true})) << "a full reject bin stops the dispenser";

    for (const char* event : {"Dispenser.GetRomVersion", "Dispenser.Purge"}) {
        SCOPED_TRACE(event);
        context_.reports.clear();
        device_->Fault("nak:3");
        Raise(session, event);
        EXPECT_EQ(session.GetValue("Dispenser.Result"), "");
        EXPECT_THAT(session.GetValue("Dispenser.Message"), HasSubstr("Отрицательное подтверждение"));
        EXPECT_EQ(context_.reports, Reports{true});
    }
}

TEST_F(SessionEventsTest, TestRejectOfACassette)
{
    ConfigureDevice();
    MapSession session = With({{"Dispenser.Cassette", "2"}});
    Raise(session, "Dispenser.TestReject");
    ASSERT_EQ(device_->Truth().rejected2, 1u);
    ExpectHolds(session, {{"Dispenser.Result", "1"}, {"Dispenser.Rejected2", "1"}, {"Dispenser.Rejected", "1"},
                          {"Dispenser.Reject", "1"}, {"Dispenser.Cassette2.Counter", "199"}});
    EXPECT_EQ(session.Values().count("Dispenser.Rejected1"), 0u);
    EXPECT_EQ(context_.reports, Reports{false});

    // The bin reaches its limit with this note: done, but the dispenser cannot go on.
    LimitReject(1, 2);
    session.SetValue("Dispenser.Cassette", "1");
    Raise(session, "Dispenser.TestReject");
    ExpectHolds(session, {{"Dispenser.Result", "1"}, {"Dispenser.Rejected1", "1"}});
    EXPECT_EQ(RejectCount(), 2u);
    EXPECT_EQ(context_.reports, (Reports{false, true}));

    // An empty cassette rejects nothing: done, and nothing to tell the host.
    LimitReject(0, 2);
    device_->Fault("set-count:2:0");
    context_.reports.clear();
    MapSession empty = With({{"Dispenser.Cassette", "2"}});
    Raise(empty, "Dispenser.TestReject");
    EXPECT_EQ(device_->Truth().rejected2, 1u);
    ExpectHolds(empty, {{"Dispenser.Result", "0"}, {"Dispenser.Rejected2", "0"}, {"Dispenser.Rejected", "0"}});
    EXPECT_TRUE(context_.reports.empty());
}

TEST_F(SessionEventsTest, TestRejectOfNoSuchCassetteRunsNothing)
{
    ConfigureDevice("LCDM-1000", 10, 0);
    for (const char* cassette : {"3", "2", "0", "-1", "", "-2147483647"}) {
        SCOPED_TRACE(cassette);
        context_.reports.clear();
        MapSession session = With({{"Dispenser.Cassette", cassette}, {"Dispenser.Result", "old"}});
        Raise(session, "Dispenser.TestReject");
        ExpectHolds(session,
                    {{"Dispenser.Rejected", "0"}, {"Dispenser.Result", ""}, {"Dispenser.Cassette1.Counter", "10"}});
        EXPECT_EQ(session.Values().count("Dispenser.Rejected1") + session.Values().count("Dispenser.Rejected2"), 0u);
        EXPECT_EQ(context_.reports, Reports{true});
    }
    context_.reports.clear();
    for (const char* cassette : kUnreadable) {
        SCOPED_TRACE(cassette);
        MapSession session = With({{"Dispenser.Cassette", cassette}});
        ExpectRefusedNumber(session, "Dispenser.TestReject", "Dispenser.Cassette");
    }
    EXPECT_EQ(FramesIn(), 0u);
}

// A failure of another kind than the plug-in's own is logged as such and passed on.
TEST_F(SessionEventsTest, ForeignFailuresAreLoggedAndPassedOn)
{
    ConfigureDevice();
    FailingSession broken("Dispenser.Cassette", [] { throw std::runtime_error("broken"); });
    EXPECT_THROW(Raise(broken, "Dispenser.TestReject"), std::runtime_error);
    ASSERT_FALSE(LoggedErrors().empty());
    EXPECT_EQ(LoggedErrors().back(),
              "при обработке события платёжного сеанса \"Dispenser.TestReject\" произошла ошибка неизвестного типа");
    EXPECT_EQ(FramesIn(), 0u);
    EXPECT_TRUE(context_.reports.empty());
}

// ---- Debug mode ----------------------------------------------------------------

TEST_F(SessionEventsTest, DebugModePaysWhatTheOperatorConfirms)
{
    ConfigureDevice();
    MainKey()["Debug"] = 1;
    std::atomic<int> asked{0};
    // Note one paid, note two rejected, note three paid.
    const OperatorPromptHook previous = SetOperatorPromptHook([&asked](const OperatorPrompt&) {
        return ++asked == 2 ? ButtonCancel : ButtonYes;
    });
    MapSession session = With({{"Dispenser.Dispense1", "2"}});
    Raise(session, "Dispenser.Dispense");
    SetOperatorPromptHook(previous);
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(FramesIn(), 0u);
    EXPECT_EQ(session.GetValue("Dispenser.Debug"), "1");
    EXPECT_EQ(session.Values().count("Dispenser.Port"), 0u);
    ExpectHolds(session, {{"Dispenser.Dispensed1", "2"}, {"Dispenser.Rejected1", "1"}, {"Dispenser.Rejected", "1"},
                          {"Dispenser.Result", "1"}});
    EXPECT_EQ(CassetteCount(1), 197u);
    EXPECT_EQ(RejectCount(), 1u);
}

} // namespace
