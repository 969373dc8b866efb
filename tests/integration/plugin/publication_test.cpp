// What a session learns of the dispenser before any event: the split of an amount
// between the cassettes, the published configuration, counters and availability,
// and whether the stored counters let the dispenser work at all.
#include "tests/integration/plugin/plugin_fixture.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <tuple>

namespace {

using Plugin::Split;

constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();

class Publication : public PluginTest {
protected:
    static Split SplitOf(std::uint32_t amount)
    {
        DispenserControl::Settings store(false);
        return Plugin::SplitAmount(store, amount, false);
    }
    static bool Ready()
    {
        DispenserControl::Settings store(false);
        return Plugin::IsReady(store);
    }
    static Variables Published(MapSession session = {})
    {
        DispenserControl::Settings store(false);
        Plugin::Publish(session, store);
        return session.Values();
    }
    static void SetCassetteFlags(int c, std::uint32_t flags) { SubKey(CassetteKey(c))["Flags"] = flags; }
};

// ---- Split ---------------------------------------------------------------------

struct SplitCase {
    const char* what;
    std::function<void()> arrange;
    std::uint32_t amount, count1, count2, rest;
    bool success;
};

TEST_F(Publication, SplitTakesLargerNotesFirstWithinEveryLimit)
{
    const auto singleCassette = [] { MainKey()["Device"] = "LCDM-1000"; };
    const std::vector<SplitCase> cases = {
        {"1000 and 500, ten notes each", [] {}, 3700, 3, 1, 200, true},
        {"smaller notes in cassette 1", [] { SubKey(CassetteKey(1))["Denomination"] = 100; }, 1000, 0, 2, 0, true},
        {"equal notes: cassette 1 first", [] { SubKey(CassetteKey(1))["Denomination"] = 500; }, 1000, 2, 0, 0, true},
        {"amount limit cuts the payout, the rest stays", [&] { singleCassette(); LimitAmount(5000); }, 8000, 5, 0,
         3000, true},
        {"no note fits", [&] { singleCassette(); SubKey(CassetteKey(1))["Denomination"] = 500; }, 300, 0, 0, 300,
         false},
        {"counted notes run out, the next cassette goes on", [] { SubKey(CassetteKey(1))["Count"] = 2; }, 3700, 2, 3,
         200, true},
        {"cassette at its reserve is not used", [] { LimitMinAmount(1, 10); }, 3700, 0, 7, 200, true},
        {"one note above the reserve: every counted note may go", [] { LimitMinAmount(1, 9); }, 50000, 10, 10, 35000,
         true},
        {"Max Dispense caps one cassette", [] { LimitMaxDispense(1, 2); }, 5000, 2, 6, 0, true},
        {"cassette not in use", [] { SetCassetteFlags(1, 0x2); }, 3700, 0, 7, 200, true},
        {"no denomination", [] { SubKey(CassetteKey(1))["Denomination"] = 0; }, 3700, 0, 7, 200, true},
        {"an LCDM-1000 has no second cassette", [&] { singleCassette(); SubKey(CassetteKey(1))["Count"] = 1; }, 3700,
         1, 0, 2700, true},
        {"unknown model", [] { MainKey()["Device"] = "LCDM-3000"; }, 3700, 0, 0, 3700, false},
        {"dispenser not in use", [] { MainKey()["Disabled"] = 1; }, 3700, 0, 0, 3700, false},
        {"reject bin at its limit", [] { LimitReject(5, 5); }, 3700, 0, 0, 3700, false},
        {"reject bin below its limit", [] { LimitReject(4, 5); }, 3700, 3, 1, 200, true},
        {"amount limit of 0", [] { LimitAmount(0); }, 3700, 0, 0, 3700, false},
        {"the largest amount, notes not counted", [] { SetCassetteFlags(1, 0x1); SetCassetteFlags(2, 0x1); }, kMax,
         4294967, 0, 295, true},
    };
    for (const SplitCase& test : cases) {
        SCOPED_TRACE(test.what);
        Configure("LCDM-2000", 10, 10);
        test.arrange();
        const Split split = SplitOf(test.amount);
        EXPECT_EQ(split.count1, test.count1);
        EXPECT_EQ(split.count2, test.count2);
        EXPECT_EQ(split.rest, test.rest);
        EXPECT_EQ(split.success, test.success);
    }
}

// Whatever the configuration and the amount, a split never pays more than the amount
// or the amount limit, never takes more notes than are counted or than "Max Dispense"
// allows, and accounts for every rouble in paid plus rest.
TEST_F(Publication, SplitNeverPaysBeyondTheAmountOrALimit)
{
    const std::pair<std::uint32_t, std::uint32_t> notes[] = {
        {1000, 500}, {500, 1000}, {100, 100}, {kMax, 3000000000u}, {0, 5000}};
    struct Limits {
        bool counted;
        std::uint32_t maxDispense; // 0: not enforced
        std::uint32_t amount;      // 0: not enforced
    };
    const Limits limits[] = {{false, 0, 0}, {true, 0, 0}, {true, 2, 5000}, {false, 0, kMax}, {false, 7, 3000000000u}};
    const std::uint32_t amounts[] = {1, 499, 500, 3700, 5000, 123456, 2147483647u, 3000000001u, kMax};
    for (const auto& [den1, den2] : notes) {
        for (const Limits& limit : limits) {
            Configure("LCDM-2000", 3, 3);
            SubKey(CassetteKey(1))["Denomination"] = den1;
            SubKey(CassetteKey(2))["Denomination"] = den2;
            for (int c = 1; c <= 2; ++c) {
                SetCassetteFlags(c, limit.counted ? 0x3 : 0x1);
                if (limit.maxDispense != 0)
                    LimitMaxDispense(c, limit.maxDispense);
            }
            if (limit.amount != 0)
                LimitAmount(limit.amount);
            for (std::uint32_t amount : amounts) {
                SCOPED_TRACE(::testing::Message() << "notes " << den1 << "/" << den2 << ", counted " << limit.counted
                                                  << ", Max Dispense " << limit.maxDispense << ", Max "
                                                  << limit.amount << ", amount " << amount);
                const Split split = SplitOf(amount);
                const std::uint64_t paid = std::uint64_t{split.count1} * den1 + std::uint64_t{split.count2} * den2;
                EXPECT_EQ(paid + split.rest, amount);
                EXPECT_LE(paid, limit.amount != 0 ? limit.amount : amount);
                const std::uint32_t most = limit.counted ? 3 : (limit.maxDispense != 0 ? limit.maxDispense : kMax);
                EXPECT_LE(std::max(split.count1, split.count2), most);
                EXPECT_TRUE(den1 != 0 || split.count1 == 0);
                EXPECT_EQ(split.success, split.rest == 0 || split.count1 + split.count2 != 0);
            }
        }
    }
}

// ---- Readiness -----------------------------------------------------------------

TEST_F(Publication, ReadyUnlessACounterStopsThePayout)
{
    const std::vector<std::tuple<const char*, std::function<void()>, bool>> cases = {
        {"as configured", [] {}, true},
        {"reject bin at its limit", [] { LimitReject(50, 50); }, false},
        {"reject bin over its limit", [] { LimitReject(51, 50); }, false},
        {"reject bin one below its limit", [] { LimitReject(49, 50); }, true},
        {"reject limit reached, the bin not counted",
         [] { LimitReject(50, 50); SubKey("Reject")["Flags"] = DispenserControl::kRejectLimit; }, true},
        {"cassette 2 down to its reserve", [] { LimitMinAmount(2, 200); }, false},
        {"cassette 1 below its reserve", [] { LimitMinAmount(1, 250); }, false},
        {"cassette 1 one note above its reserve", [] { LimitMinAmount(1, 199); }, true},
        {"reserve of a cassette not in use", [] { LimitMinAmount(1, 200); SetCassetteFlags(1, 0xA); }, true},
        {"reserve of an uncounted cassette", [] { LimitMinAmount(2, 200); SetCassetteFlags(2, 0x9); }, true},
        {"reserve of the cassette an LCDM-1000 lacks",
         [] { MainKey()["Device"] = "LCDM-1000"; LimitMinAmount(2, 200); }, true},
        {"dispenser not in use, whatever its counters",
         [] { LimitReject(50, 50); LimitMinAmount(1, 200); MainKey()["Disabled"] = 1; }, true},
    };
    for (const auto& [what, arrange, ready] : cases) {
        SCOPED_TRACE(what);
        Configure();
        arrange();
        EXPECT_EQ(Ready(), ready);
    }
}

// ---- Publish -------------------------------------------------------------------

TEST_F(Publication, PublishesConfigurationCountersAndWhatOnePayoutMayTake)
{
    Configure("LCDM-2000", 200, 4);
    LimitAmount(5000);
    LimitMinAmount(1, 10);
    LimitMaxDispense(1, 40);
    LimitReject(3, 50);
    EXPECT_EQ(Published(), (Variables{{"Dispenser.Enabled", "1"}, {"Dispenser.Port", "COM7"},
                                      {"Dispenser.Model", "LCDM-2000"}, {"Dispenser.Cassettes", "2"},
                                      {"Dispenser.Reject", "3"}, {"Dispenser.MaxReject", "50"},
                                      {"Dispenser.Max", "5000"}, {"Dispenser.MaxChange", "5000"},
                                      {"Dispenser.Cassette1.Enabled", "1"},
                                      {"Dispenser.Cassette1.Denomination", "1000"},
                                      {"Dispenser.Cassette1.Counter", "200"}, {"Dispenser.Cassette1.MinAmount", "10"},
                                      {"Dispenser.Cassette1.MaxDispense", "40"},
                                      {"Dispenser.Cassette1.Avail", "5"}, // 5000 / 1000
                                      {"Dispenser.Cassette2.Enabled", "1"},
                                      {"Dispenser.Cassette2.Denomination", "500"},
                                      {"Dispenser.Cassette2.Counter", "4"}, {"Dispenser.Cassette2.Avail", "4"},
                                      {"Dispenser.Min", "500"}}));
}

TEST_F(Publication, UnboundedAvailabilityAndUnusedCassettesClearWhatWasThere)
{
    Configure();
    MainKey()["Off"] = 1;     // port not in use
    SetCassetteFlags(1, 0x2); // counted, not in use
    SetCassetteFlags(2, 0x1); // in use, not counted
    SubKey("Reject")["Flags"] = 0;
    MapSession stale;
    for (const char* name : {"Dispenser.Port", "Dispenser.Cassette1.Enabled", "Dispenser.Cassette2.Avail",
                             "Dispenser.Min"})
        stale.SetValue(name, "7");
    EXPECT_EQ(Published(stale), (Variables{{"Dispenser.Enabled", "1"}, {"Dispenser.Port", ""},
                                           {"Dispenser.Model", "LCDM-2000"}, {"Dispenser.Cassettes", "2"},
                                           {"Dispenser.Cassette1.Enabled", ""}, {"Dispenser.Cassette1.Avail", "0"},
                                           {"Dispenser.Cassette2.Enabled", "1"},
                                           {"Dispenser.Cassette2.Denomination", "500"},
                                           {"Dispenser.Cassette2.Avail", ""}, {"Dispenser.Min", "500"}}));
}

TEST_F(Publication, AvailabilityFollowsReserveRejectBinAndAmountLimit)
{
    const auto availability = [] {
        Variables published = Published();
        return std::vector<std::string>{published["Dispenser.Cassette1.Avail"], published["Dispenser.Cassette2.Avail"],
                                        published["Dispenser.Min"]};
    };
    using Texts = std::vector<std::string>;
    Configure();
    LimitReject(50, 50);
    EXPECT_EQ(availability(), (Texts{"0", "0", ""})) << "full reject bin";
    Configure();
    LimitMinAmount(1, 200);
    LimitMinAmount(2, 199);
    EXPECT_EQ(availability(), (Texts{"0", "200", "500"})) << "at the reserve, and one note above it";
    Configure();
    LimitAmount(700);
    EXPECT_EQ(availability(), (Texts{"0", "1", "500"})) << "a 1000 note is over the amount limit";
    SubKey(CassetteKey(2))["Denomination"] = 0;
    LimitAmount(3000);
    EXPECT_EQ(availability(), (Texts{"3", "0", "1000"})) << "no denomination";
}

TEST_F(Publication, ModelAndModeDecideWhatIsPublished)
{
    Configure("LCDM-1000");
    MainKey()["Debug"] = 1;
    Variables published = Published();
    EXPECT_EQ(published["Dispenser.Debug"], "1");
    EXPECT_EQ(published.count("Dispenser.Port"), 0u) << "no port in debug mode";
    EXPECT_EQ(published["Dispenser.Cassettes"], "1");
    EXPECT_EQ(published["Dispenser.Cassette1.Counter"], "200");
    for (const auto& [name, value] : published)
        EXPECT_EQ(name.find("Cassette2"), std::string::npos) << name;

    Configure("LCDM-3000");
    published = Published();
    EXPECT_EQ(published["Dispenser.Cassettes"], "0");
    EXPECT_EQ(published["Dispenser.Min"], "");
    for (const auto& [name, value] : published)
        EXPECT_EQ(name.find("Dispenser.Cassette1"), std::string::npos) << name;

    MainKey()["Disabled"] = 1;
    EXPECT_TRUE(Published().empty());
}

TEST_F(Publication, ResultAndMessageVariables)
{
    MapSession session;
    session.SetValue("Dispenser.Result", "1");
    session.SetValue("Dispenser.Message", "old");
    Plugin::ClearResult(nullptr); // no session: nothing to do
    Plugin::ClearResult(&session);
    EXPECT_EQ(session.Values(), (Variables{{"Dispenser.Result", ""}, {"Dispenser.Message", ""}}));
    Plugin::SetMessage(session, {"Порт 'COM7' занят", "сбой операции"});
    EXPECT_EQ(session.GetValue("Dispenser.Message"), "Порт 'COM7' занят; сбой операции");
    Plugin::SetMessage(session, {});
    EXPECT_EQ(session.GetValue("Dispenser.Message"), "");
}

} // namespace
