// The rules that decide whether notes may be paid, in one place: the payout, the test
// payout into the reject bin, the kiosk's split, its publication and its readiness all
// ask here, and each caller keeps its own texts.
//
// Each rule is one comparison. Where callers must judge differently, they do so through
// the rule's argument (the notes the operation takes from the cassette, or adds to the
// reject bin), through the named constants below, never through a comparison of their
// own. Counts are notes, amounts roubles; sums are made in 64 bits, so nothing wraps.
//
// The store-level forms read the settings afresh on every call, in the order given,
// and must not outlive the accessors they are handed.
#pragma once

#include "Plugin/Dispenser/settings.h"

#include <cstdint>
#include <optional>

namespace PayoutRules {

// The notes an operation counts against the reserve and the reject bin's room.
// A payout needs only a cassette above its reserve, whatever it asks for (the device
// stops at the cassette's end), and a bin not yet over its limit: it may reject nothing.
constexpr std::uint32_t kPayoutTakes = 0;
constexpr std::uint32_t kPayoutRejects = 0;
// The test payout moves exactly one note from the cassette into the bin.
constexpr std::uint32_t kTestTakes = 1;
constexpr std::uint32_t kTestRejects = 1;
// The kiosk (split, publication, readiness) calls the bin full once it has no room for one note.
constexpr std::uint32_t kKioskRejects = 1;

// The device takes 1 to 60 notes of a cassette in one command.
constexpr std::uint32_t kMaxNotesPerPass = 60;

// ---- The rules over plain values ----

// A cassette whose reserve is enforced still holds more than its reserve after `taking`
// more notes: count > reserve + taking.
bool AboveReserve(std::uint32_t count, std::uint32_t reserve, std::uint32_t taking);
// "Max Dispense": `requested` notes of one cassette in one operation, requested <= limit.
bool WithinMaxDispense(std::uint32_t requested, std::uint32_t limit);
// The reject bin has room for `adding` more notes: count + adding <= limit.
bool RejectBinHasRoom(std::uint32_t count, std::uint32_t limit, std::uint32_t adding);
// The value of a payout: denomination1 × notes1 + denomination2 × notes2, exactly.
std::uint64_t PayoutAmount(std::uint32_t denomination1, std::uint32_t notes1, std::uint32_t denomination2,
                           std::uint32_t notes2);
// Notes asked of a cassette can be valued against the amount limit: none are asked, or
// the cassette has a denomination (a note of no stated value would pass any limit).
bool CanBeValued(std::uint32_t denomination, std::uint32_t notes);
// A payout within the amount limit: amount <= limit.
bool WithinAmountLimit(std::uint64_t amount, std::uint32_t limit);
// Notes of `denomination` whose value fits within `amount`; 0 for a denomination of 0.
std::uint32_t NotesWithinAmount(std::uint32_t amount, std::uint32_t denomination);

struct PassSize {
    std::uint32_t notes = kMaxNotesPerPass; // notes per cassette in one device command
    bool clamped = false;                   // the stored value was outside 1..60
};
// The stored "MaxDispense" brought into 1..60.
PassSize NotesPerPass(std::uint32_t stored);

// The stored "RejectFactor" as the weight of a rejected note: 0 would make rejected
// notes vanish from the counters, and stands for 1.
constexpr std::uint32_t RejectWeight(std::uint32_t stored)
{
    return stored == 0 ? 1 : stored;
}

// ---- The same rules over the settings store ----

// The model has this cassette (1 or 2): "LCDM-2000" has two, "LCDM-1000" one.
bool ModelHasCassette(const DispenserControl::Settings& store, int number);
// The cassette may be used.
bool CassetteInUse(const DispenserControl::Cassette& cassette);
// False only when the cassette's count is tracked, its "Min Amount" enforced, and the
// count is not above the reserve plus `taking`.
bool ReserveAllows(DispenserControl::Cassette& cassette, std::uint32_t taking);
// The most notes one operation may take from the cassette ("Max Dispense"); nullopt
// when that limit is off.
std::optional<std::uint32_t> MaxDispenseCap(DispenserControl::Cassette& cassette);
// False only when the cassette's "Max Dispense" is enforced and below `requested`.
bool MaxDispenseAllows(DispenserControl::Cassette& cassette, std::uint32_t requested);
// False only when the bin's count is tracked, its "Max Limit" enforced, and it has no
// room for `adding` more notes.
bool RejectBinAllows(DispenserControl::Settings& store, std::uint32_t adding);
// The most roubles one payout may pay; nullopt when the amount limit is off.
std::optional<std::uint32_t> AmountCap(DispenserControl::Settings& store);

} // namespace PayoutRules
