// Payouts against the simulated dispenser: the outputs, the registry counters and the
// journal agree with what the device really did.
#include "tests/integration/scenarios/scenario_fixture.h"

namespace {

TEST_F(ScenarioTest, MultiPassPayoutFromBothCassettes)
{
    SetUpDevice();
    MainKey()["MaxDispense"] = 30;
    const Payout payout = Dispense(70, 5);
    ASSERT_TRUE(payout.result) << ::testing::PrintToString(payout.errors);
    EXPECT_EQ(payout.dispensed1, 70u);
    EXPECT_EQ(payout.dispensed2, 5u);
    EXPECT_TRUE(payout.errors.empty());
    const SimulatorTruth truth = device_->Truth();
    EXPECT_EQ(truth.exit1, 70u);
    EXPECT_EQ(truth.exit2, 5u);
    EXPECT_EQ(truth.commands, 3u); // 30+5, 30, 10
    EXPECT_EQ(CassetteCount(1), 130u);
    EXPECT_EQ(CassetteCount(2), 195u);
    EXPECT_EQ(JournalOf("DISPENSED"),
              (Texts{"4\tDISPENSED\t70\t;выдано купюр из кассеты #1: 70 шт.",
                     "4\tDISPENSED\t5\t;выдано купюр из кассеты #2: 5 шт."}));
}

} // namespace
