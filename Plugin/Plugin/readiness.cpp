#include "Plugin/Plugin/readiness.h"

#include "Plugin/Dispenser/payout_rules.h"
#include "Plugin/Dispenser/pending_pass.h"

#include <algorithm>

namespace Plugin {

bool RejectBinFull(DispenserControl::Settings& store)
{
    return !PayoutRules::RejectBinAllows(store, PayoutRules::kKioskRejects);
}

bool PassInDoubt(const DispenserControl::Settings& store)
{
    return DispenserControl::ReadPendingPass(store).has_value();
}

bool IsReady(DispenserControl::Settings& store)
{
    if (!store.IsEnabled())
        return true;
    if (PassInDoubt(store) || RejectBinFull(store))
        return false;
    const int n = store.GetModel();
    for (int number = 1; number <= std::min(n, 2); ++number) {
        DispenserControl::Cassette cassette(store, number);
        if (PayoutRules::CassetteInUse(cassette) && !PayoutRules::ReserveAllows(cassette, PayoutRules::kPayoutTakes))
            return false;
    }
    return true;
}

} // namespace Plugin
