#include "Plugin/Plugin/amount_split.h"

#include "Plugin/Dispenser/payout_rules.h"
#include "Plugin/Plugin/readiness.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace Plugin {

Split SplitAmount(DispenserControl::Settings& store, std::uint32_t amount, bool failed)
{
    Split split;
    split.rest = amount;
    const auto done = [&split] {
        split.success = split.rest == 0 || split.count1 != 0 || split.count2 != 0;
        return split;
    };
    if (failed || !store.IsEnabled() || PassInDoubt(store) || RejectBinFull(store))
        return done();
    std::uint32_t limit = amount;
    if (const std::optional<std::uint32_t> cap = PayoutRules::AmountCap(store))
        limit = std::min(limit, *cap);
    const int n = store.GetModel();
    if (limit == 0 || n == 0)
        return done();

    int order[2] = {1, 2};
    if (n >= 2 && DispenserControl::Cassette(store, 1).GetDenomination() <
                      DispenserControl::Cassette(store, 2).GetDenomination())
        std::swap(order[0], order[1]);
    for (int number : order) {
        if (limit == 0 || number > n)
            continue;
        DispenserControl::Cassette cassette(store, number);
        const std::uint32_t den = cassette.GetDenomination();
        if (!PayoutRules::CassetteInUse(cassette) || den == 0)
            continue;
        std::uint32_t q = PayoutRules::NotesWithinAmount(limit, den);
        if (q == 0)
            continue;
        // Once above its reserve, all of a cassette's counted notes may be paid.
        if (cassette.IsCounted())
            q = std::min(q, PayoutRules::ReserveAllows(cassette, PayoutRules::kPayoutTakes) ? cassette.GetCount() : 0u);
        if (const std::optional<std::uint32_t> cap = PayoutRules::MaxDispenseCap(cassette); q != 0 && cap)
            q = std::min(q, *cap);
        if (q == 0)
            continue;
        (number == 1 ? split.count1 : split.count2) = q;
        // q * den never exceeds limit, which never exceeds the amount.
        limit -= q * den;
        split.rest -= q * den;
    }
    return done();
}

} // namespace Plugin
