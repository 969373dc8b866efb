#include "Plugin/Dispenser/payout_rules.h"

#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace PayoutRules;
constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();

TEST(PayoutRulesTest, ReserveNeedsMoreThanItselfPlusWhatIsTaken)
{
    // A payout takes nothing from the reserve's view: equal is refused, one more allowed.
    EXPECT_FALSE(AboveReserve(10, 10, kPayoutTakes));
    EXPECT_FALSE(AboveReserve(9, 10, kPayoutTakes));
    EXPECT_TRUE(AboveReserve(11, 10, kPayoutTakes));
    EXPECT_FALSE(AboveReserve(0, 0, kPayoutTakes));
    EXPECT_TRUE(AboveReserve(1, 0, kPayoutTakes));
    // The test payout takes one note: reserve + 1 is refused, reserve + 2 allowed.
    EXPECT_FALSE(AboveReserve(11, 10, kTestTakes));
    EXPECT_TRUE(AboveReserve(12, 10, kTestTakes));
    // At the top of the range no sum wraps into a small number.
    EXPECT_FALSE(AboveReserve(kMax, kMax, kTestTakes));
    EXPECT_FALSE(AboveReserve(kMax, kMax - 1, kTestTakes));
    EXPECT_TRUE(AboveReserve(kMax, kMax - 2, kTestTakes));
    EXPECT_FALSE(AboveReserve(5, 0, kMax));
}

TEST(PayoutRulesTest, MaxDispenseAllowsUpToItsValue)
{
    EXPECT_TRUE(WithinMaxDispense(10, 10));
    EXPECT_TRUE(WithinMaxDispense(9, 10));
    EXPECT_FALSE(WithinMaxDispense(11, 10));
    EXPECT_TRUE(WithinMaxDispense(0, 0));
    EXPECT_FALSE(WithinMaxDispense(kTestTakes, 0));
    EXPECT_TRUE(WithinMaxDispense(kMax, kMax));
}

TEST(PayoutRulesTest, RejectBinRoomCountsTheNotesAdded)
{
    // A payout is refused only past the limit; the test payout and the kiosk need room for one.
    EXPECT_TRUE(RejectBinHasRoom(10, 10, kPayoutRejects));
    EXPECT_FALSE(RejectBinHasRoom(11, 10, kPayoutRejects));
    EXPECT_FALSE(RejectBinHasRoom(10, 10, kTestRejects));
    EXPECT_TRUE(RejectBinHasRoom(9, 10, kTestRejects));
    EXPECT_FALSE(RejectBinHasRoom(0, 0, kKioskRejects));
    EXPECT_TRUE(RejectBinHasRoom(0, 0, kPayoutRejects));
    // A full bin at the top of the range takes no more: no saturated or wrapped sum.
    EXPECT_FALSE(RejectBinHasRoom(kMax, kMax, kTestRejects));
    EXPECT_TRUE(RejectBinHasRoom(kMax - 1, kMax, kTestRejects));
    EXPECT_FALSE(RejectBinHasRoom(1, kMax, kMax));
}

TEST(PayoutRulesTest, AmountIsExactAndLimitInclusive)
{
    EXPECT_EQ(PayoutAmount(1000, 3, 500, 1), 3500u);
    EXPECT_EQ(PayoutAmount(0, 50, 0, 0), 0u);
    // 32-bit products and sums would wrap here.
    EXPECT_EQ(PayoutAmount(kMax, kMax, kMax, kMax), 2 * std::uint64_t{kMax} * kMax);
    EXPECT_EQ(PayoutAmount(65536, 65536, 0, 0), std::uint64_t{1} << 32);
    EXPECT_FALSE(WithinAmountLimit(std::uint64_t{1} << 32, kMax));
    EXPECT_TRUE(WithinAmountLimit(5000, 5000));
    EXPECT_TRUE(WithinAmountLimit(4999, 5000));
    EXPECT_FALSE(WithinAmountLimit(5001, 5000));
    EXPECT_TRUE(WithinAmountLimit(0, 0));
    EXPECT_FALSE(WithinAmountLimit(1, 0));

    EXPECT_TRUE(CanBeValued(0, 0));
    EXPECT_FALSE(CanBeValued(0, 1));
    EXPECT_TRUE(CanBeValued(1, kMax));

    EXPECT_EQ(NotesWithinAmount(5000, 1000), 5u);
    EXPECT_EQ(NotesWithinAmount(4999, 1000), 4u);
    EXPECT_EQ(NotesWithinAmount(5000, 0), 0u);
    EXPECT_EQ(NotesWithinAmount(0, 100), 0u);
    EXPECT_EQ(NotesWithinAmount(kMax, 1), kMax);
}

TEST(PayoutRulesTest, NotesPerPassStayWithinWhatTheDeviceTakes)
{
    EXPECT_EQ(NotesPerPass(60).notes, 60u);
    EXPECT_FALSE(NotesPerPass(60).clamped);
    EXPECT_EQ(NotesPerPass(59).notes, 59u);
    EXPECT_EQ(NotesPerPass(1).notes, 1u);
    EXPECT_FALSE(NotesPerPass(1).clamped);
    EXPECT_EQ(NotesPerPass(61).notes, 60u);
    EXPECT_TRUE(NotesPerPass(61).clamped);
    EXPECT_EQ(NotesPerPass(0).notes, 1u);
    EXPECT_TRUE(NotesPerPass(0).clamped);
    EXPECT_EQ(NotesPerPass(kMax).notes, 60u);

    EXPECT_EQ(RejectWeight(0), 1u);
    EXPECT_EQ(RejectWeight(1), 1u);
    EXPECT_EQ(RejectWeight(kMax), kMax);
}

// The store-level forms: a rule applies only while its flags say so.
class PayoutRulesStoreTest : public ::testing::Test {
protected:
    static RegKey Raw(const std::string& subkey)
    {
        return RegKey(RegistryRoot::LocalMachine, std::string(DispenserControl::kSettingsKey) + "\\" + subkey, true,
                      RegAccessAll);
    }

    TestRegistry registry_;
};

TEST_F(PayoutRulesStoreTest, ReserveAndMaxDispenseApplyOnlyWhenEnforced)
{
    RegKey raw = Raw("Cassette\\1");
    raw["Count"] = 5u;
    raw["Min Amount"] = 5u;
    raw["Max Dispense"] = 2u;
    raw["Flags"] = DispenserControl::kCassetteInUse;
    DispenserControl::Settings store(false);
    DispenserControl::Cassette cassette(store, 1);
    EXPECT_TRUE(CassetteInUse(cassette));
    // Not counted, no limits on: everything is allowed.
    EXPECT_TRUE(ReserveAllows(cassette, kPayoutTakes));
    EXPECT_TRUE(MaxDispenseAllows(cassette, 100));
    EXPECT_FALSE(MaxDispenseCap(cassette).has_value());

    raw["Flags"] = DispenserControl::kCassetteInUse | DispenserControl::kMinAmountLimit;
    EXPECT_TRUE(ReserveAllows(cassette, kPayoutTakes)) << "a reserve needs a counted cassette";
    raw["Flags"] = DispenserControl::kCassetteInUse | DispenserControl::kCassetteCounted |
                   DispenserControl::kMinAmountLimit | DispenserControl::kMaxDispenseLimit;
    EXPECT_FALSE(ReserveAllows(cassette, kPayoutTakes));
    raw["Count"] = 6u;
    EXPECT_TRUE(ReserveAllows(cassette, kPayoutTakes));
    EXPECT_FALSE(ReserveAllows(cassette, kTestTakes));
    EXPECT_EQ(MaxDispenseCap(cassette), 2u);
    EXPECT_TRUE(MaxDispenseAllows(cassette, 2));
    EXPECT_FALSE(MaxDispenseAllows(cassette, 3));

    raw["Flags"] = 0u;
    EXPECT_FALSE(CassetteInUse(cassette));
}

TEST_F(PayoutRulesStoreTest, RejectBinAndAmountLimitApplyOnlyWhenEnforced)
{
    RegKey reject = Raw("Reject");
    reject["Count"] = 10u;
    reject["Max Limit"] = 10u;
    reject["Flags"] = DispenserControl::kRejectLimit;
    DispenserControl::Settings store(false);
    EXPECT_TRUE(RejectBinAllows(store, kKioskRejects)) << "an untracked bin is never full";
    reject["Flags"] = DispenserControl::kRejectCounted;
    EXPECT_TRUE(RejectBinAllows(store, kKioskRejects)) << "a bin without its limit is never full";
    reject["Flags"] = DispenserControl::kRejectCounted | DispenserControl::kRejectLimit;
    EXPECT_TRUE(RejectBinAllows(store, kPayoutRejects));
    EXPECT_FALSE(RejectBinAllows(store, kKioskRejects));

    EXPECT_FALSE(AmountCap(store).has_value());
    RegKey main(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
    main["Max"] = 5000u;
    main["Flags"] = DispenserControl::kAmountLimitFlag;
    EXPECT_EQ(AmountCap(store), 5000u);

    main["Device"] = "lcdm-2000";
    EXPECT_TRUE(ModelHasCassette(store, 2));
    main["Device"] = "LCDM-1000";
    EXPECT_TRUE(ModelHasCassette(store, 1));
    EXPECT_FALSE(ModelHasCassette(store, 2));
    EXPECT_FALSE(ModelHasCassette(store, 0));
}

} // namespace
