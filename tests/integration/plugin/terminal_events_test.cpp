// The terminal extender: "Poll", the counters set up from the current session, the
// device check, and the device state the host passes back. A counter the session
// cannot state exactly is never stored.
#include "tests/integration/plugin/plugin_fixture.h"

#include "framework/exceptions.h"
#include "framework/messages.h"

#include <stdexcept>

namespace {

using Calls = std::vector<std::pair<std::string, bool>>;
const Calls kFailed = {{"Dispenser", true}};

class TerminalEventsTest : public PluginTest {
protected:
    void Raise(const std::string& event, Plugin::PluginContext* context)
    {
        Plugin::TerminalEvents(context).OnTerminalEvent(terminal_, event);
    }
    void Raise(const std::string& event) { Raise(event, &context_); }

    MapSession& Session() { return context_.session; }
    void SetCounters(const std::string& counter1, const std::string& counter2, const std::string& reject)
    {
        Session().SetValue("Dispenser.Cassette1.Counter", counter1);
        Session().SetValue("Dispenser.Cassette2.Counter", counter2);
        Session().SetValue("Dispenser.Reject", reject);
    }
    // The registry's counts and the session's counter variables.
    void ExpectCounts(std::uint32_t count1, std::uint32_t count2, std::uint32_t reject)
    {
        EXPECT_EQ(CassetteCount(1), count1);
        EXPECT_EQ(CassetteCount(2), count2);
        EXPECT_EQ(RejectCount(), reject);
    }
    void ExpectCounters(const std::string& counter1, const std::string& counter2, const std::string& reject)
    {
        EXPECT_EQ(Session().GetValue("Dispenser.Cassette1.Counter"), counter1);
        EXPECT_EQ(Session().GetValue("Dispenser.Cassette2.Counter"), counter2);
        EXPECT_EQ(Session().GetValue("Dispenser.Reject"), reject);
    }

    RecordingTerminal terminal_;
};

// The host as it answers SetDeviceFailed: the terminal extender hears the state.
class ForwardingTerminal : public Plugin::DeviceStateSink {
public:
    explicit ForwardingTerminal(Plugin::PluginContext* context) : extender_(context) {}
    void SetDeviceFailed(const std::string& device, bool failed) override { extender_.OnDeviceState(device, failed); }

private:
    Plugin::TerminalEvents extender_;
};

TEST_F(TerminalEventsTest, PollIsOnlyTraced)
{
    ConfigureDevice();
    std::vector<std::string> traced;
    const DebugMessageHook previous = SetDebugMessageHook([&traced](const std::string& text) {
        traced.push_back(text);
    });
    Session().SetValue("Dispenser.Result", "1");
    for (const char* event : {"Poll", "POLL", "poll", "Dispenser.Purge", "Dispenser.Setup "})
        Raise(event);
    SetDebugMessageHook(previous);
    EXPECT_EQ(traced, std::vector<std::string>(3, "Dispenser received Poll"));
    EXPECT_EQ(Session().Values(), (Variables{{"Dispenser.Result", "1"}}));
    EXPECT_TRUE(terminal_.calls.empty());
    EXPECT_EQ(FramesIn(), 0u);
}

// ---- Setup ---------------------------------------------------------------------

TEST_F(TerminalEventsTest, SetupStoresTheCountsOfTheSession)
{
    Configure();
    SetCounters("500", "1 000", "7");
    Session().SetValue("Dispenser.Message", "old");
    Raise("dispenser.setup");
    ExpectCounts(500, 1000, 7);
    ExpectCounters("500", "1000", "7");
    EXPECT_EQ(Session().GetValue("Dispenser.Result"), "1");
    EXPECT_EQ(Session().GetValue("Dispenser.Message"), "");

    SetCounters("0", "2147483647", ""); // an empty variable reads as 0
    Raise("Dispenser.Setup");
    ExpectCounts(0, 2147483647, 0);
    ExpectCounters("0", "2147483647", "0");
    EXPECT_EQ(Session().GetValue("Dispenser.Result"), "1");
}

TEST_F(TerminalEventsTest, SetupReadsOnlyWhatIsCountedAndInUse)
{
    Configure();
    SubKey(CassetteKey(1))["Flags"] = 0x2; // counted, but not in use
    SubKey(CassetteKey(2))["Flags"] = 0x1; // in use, not counted
    SubKey("Reject")["Flags"] = 0;
    SetCounters("abc", "-1", "99999999999"); // never read
    Raise("Dispenser.Setup");
    ExpectCounts(200, 200, 0);
    ExpectCounters("", "", "");
    EXPECT_EQ(Session().GetValue("Dispenser.Result"), "1");
    EXPECT_EQ(Session().GetValue("Dispenser.Message"), "");

    Configure("LCDM-1000"); // no second cassette
    SetCounters("12", "abc", "3");
    Raise("Dispenser.Setup");
    ExpectCounts(12, 200, 3);
    ExpectCounters("12", "", "3");
    EXPECT_EQ(Session().GetValue("Dispenser.Result"), "1");

    // Without the plug-in nothing is read, stored or cleared.
    SetCounters("5", "6", "7");
    Raise("Dispenser.Setup", nullptr);
    ExpectCounts(12, 200, 3);
    ExpectCounters("5", "6", "7");

    // Without a dispenser in use nothing is read or stored, and nothing is shown.
    MainKey()["Disabled"] = 1;
    SetCounters("5", "abc", "7");
    Raise("Dispenser.Setup");
    ExpectCounts(12, 200, 3);
    ExpectCounters("", "", "");
    EXPECT_EQ(Session().GetValue("Dispenser.Result"), "");
    EXPECT_EQ(Session().GetValue("Dispenser.Message"), "");
}

TEST_F(TerminalEventsTest, SetupStoresNothingWhenAnyCountIsUnreadableOrNegative)
{
    for (const char* name : {"Dispenser.Cassette1.Counter", "Dispenser.Cassette2.Counter", "Dispenser.Reject"}) {
        for (const char* text : {"abc", "-1", "-2147483648", "2147483648", "4294967295", "4294967301", "99999999999",
                                 " ", "1e3", "-0,5x"}) {
            SCOPED_TRACE(std::string(name) + "=" + text);
            Configure();
            SubKey("Reject")["Count"] = 9;
            SetCounters("5", "6", "7");
            Session().SetValue(name, text);
            Session().SetValue("Dispenser.Result", "1");
            Raise("Dispenser.Setup");
            ExpectCounts(200, 200, 9);
            ExpectCounters("200", "200", "9"); // what is stored, shown again
            EXPECT_EQ(Session().GetValue("Dispenser.Result"), "");
            EXPECT_EQ(Session().GetValue("Dispenser.Message"),
                      "Неверный формат числа: " + std::string(name) + "=" + text);
        }
    }
    EXPECT_TRUE(LoggedErrors().empty()) << "a refused count is the session's message, not an error";
}

TEST_F(TerminalEventsTest, HostFailuresAreLoggedAndPassedOn)
{
    Configure();
    const CoError disconnected(static_cast<std::int32_t>(0x80010108)); // the host went away
    FailingSession host("Dispenser.Result", [&disconnected] { throw disconnected; });
    context_.current = &host;
    EXPECT_THROW(Raise("Dispenser.Setup"), CoError);
    ASSERT_FALSE(LoggedErrors().empty());
    EXPECT_EQ(LoggedErrors().back(), "при обработке события терминала \"Dispenser.Setup\" произошла ошибка: \"" +
                                         disconnected.Reason() + "\"");

    FailingSession broken("Dispenser.Reject", [] { throw std::runtime_error("broken"); });
    broken.SetValue("Dispenser.Cassette1.Counter", "5");
    context_.current = &broken;
    EXPECT_THROW(Raise("Dispenser.Setup"), std::runtime_error);
    context_.current = &context_.session;
    EXPECT_EQ(LoggedErrors().back(),
              "при обработке события терминала \"Dispenser.Setup\" произошла ошибка неизвестного типа");
    ExpectCounts(200, 200, 0);
}

// ---- Check ---------------------------------------------------------------------

TEST_F(TerminalEventsTest, CheckReportsOnlyAFailure)
{
    ConfigureDevice();
    Raise("Dispenser.Check");
    Raise("Dispenser.Check", nullptr); // without the plug-in the device alone decides
    EXPECT_TRUE(terminal_.calls.empty());
    EXPECT_EQ(device_->Truth().commands, 2u);

    // Held as failed, a full reject bin, a cassette at its reserve: no need to ask.
    context_.failed = true;
    Raise("Dispenser.Check");
    context_.failed = false;
    LimitReject(10, 10);
    Raise("Dispenser.Check");
    LimitReject(0, 10);
    LimitMinAmount(2, 200);
    Raise("DISPENSER.CHECK");
    EXPECT_EQ(terminal_.calls, Calls(3, kFailed.front()));
    EXPECT_EQ(device_->Truth().commands, 2u);

    // A fault the device shows, or no answer at all.
    SubKey(CassetteKey(2))["Flags"] = 0x3;
    terminal_.calls.clear();
    device_->Fault("missing:tray");
    Raise("Dispenser.Check");
    device_->Fault("present:tray");
    device_->Fault("nak:3");
    Raise("Dispenser.Check");
    EXPECT_EQ(terminal_.calls, Calls(2, kFailed.front()));

    MainKey()["Disabled"] = 1;
    terminal_.calls.clear();
    const unsigned frames = FramesIn();
    Raise("Dispenser.Check");
    EXPECT_TRUE(terminal_.calls.empty());
    EXPECT_EQ(FramesIn(), frames);
}

// ---- Device state --------------------------------------------------------------

// A check that fails goes round the host back to the plug-in: sessions prepared
// afterwards show the failure, and no amount is split until the device recovers.
TEST_F(TerminalEventsTest, FailedCheckStopsThePayoutsUntilTheDeviceRecovers)
{
    ConfigureDevice("LCDM-2000", 10, 10);
    device_->Fault("missing:tray");
    ForwardingTerminal host(&context_);
    Plugin::TerminalEvents(&context_).OnTerminalEvent(host, "dispenser.check");
    EXPECT_TRUE(context_.failed);
    EXPECT_EQ(Session().GetValue("Dispenser.Failed"), "1");

    MapSession next;
    Plugin::SessionEvents sessions(&context_);
    sessions.PrepareSession(next);
    EXPECT_EQ(next.GetValue("Dispenser.Failed"), "1");
    next.SetValue("Dispenser.Dispense", "3700");
    sessions.OnSessionEvent(next, "Dispenser.Calculate");
    EXPECT_EQ(next.GetValue("Dispenser.Result"), "");
    EXPECT_EQ(next.GetValue("Dispenser.Dispense"), "3700");

    // Only the state of the dispenser counts, in any letter case.
    for (const char* other : {"Printer", "Dispenser2", ""})
        host.SetDeviceFailed(other, false);
    Plugin::TerminalEvents(nullptr).OnDeviceState("Dispenser", false); // no plug-in: nothing to tell
    EXPECT_TRUE(context_.failed);
    host.SetDeviceFailed("DISPENSER", false);
    EXPECT_FALSE(context_.failed);
    EXPECT_EQ(Session().GetValue("Dispenser.Failed"), "");
    sessions.OnSessionEvent(next, "Dispenser.Calculate");
    EXPECT_EQ(next.GetValue("Dispenser.Result"), "1");
    EXPECT_EQ(next.GetValue("Dispenser.Dispense1"), "3");
}

} // namespace
