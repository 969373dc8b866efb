// How an amount is split between the cassettes for a payout, by the payout rules.
// Every comparison is unsigned.
#pragma once

#include "Plugin/Dispenser/settings.h"

#include <cstdint>

namespace Plugin {

struct Split {
    std::uint32_t count1 = 0; // notes from cassette 1
    std::uint32_t count2 = 0;
    std::uint32_t rest = 0;   // roubles that cannot be paid
    bool success = false;
};
// Splits an amount (roubles) between the cassettes, larger notes first.
Split SplitAmount(DispenserControl::Settings& store, std::uint32_t amount, bool failed);

} // namespace Plugin
