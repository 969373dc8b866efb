#include "Plugin/Dispenser/payout_rules.h"

#include <algorithm>

namespace PayoutRules {

bool AboveReserve(std::uint32_t count, std::uint32_t reserve, std::uint32_t taking)
{
    return count > std::uint64_t{reserve} + taking;
}

bool WithinMaxDispense(std::uint32_t requested, std::uint32_t limit)
{
    return requested <= limit;
}

bool RejectBinHasRoom(std::uint32_t count, std::uint32_t limit, std::uint32_t adding)
{
    return std::uint64_t{count} + adding <= limit;
}

std::uint64_t PayoutAmount(std::uint32_t denomination1, std::uint32_t notes1, std::uint32_t denomination2,
                           std::uint32_t notes2)
{
    // Each product fits in 64 bits, and so does their sum.
    return std::uint64_t{denomination1} * notes1 + std::uint64_t{denomination2} * notes2;
}

bool CanBeValued(std::uint32_t denomination, std::uint32_t notes)
{
    return notes == 0 || denomination != 0;
}

bool WithinAmountLimit(std::uint64_t amount, std::uint32_t limit)
{
    return amount <= limit;
}

std::uint32_t NotesWithinAmount(std::uint32_t amount, std::uint32_t denomination)
{
    return denomination == 0 ? 0 : amount / denomination;
}

PassSize NotesPerPass(std::uint32_t stored)
{
    PassSize size;
    size.notes = std::clamp<std::uint32_t>(stored, 1, kMaxNotesPerPass);
    size.clamped = size.notes != stored;
    return size;
}

bool ModelHasCassette(const DispenserControl::Settings& store, int number)
{
    return number >= 1 && number <= store.GetModel();
}

bool CassetteInUse(const DispenserControl::Cassette& cassette)
{
    return cassette.IsEnabled();
}

bool ReserveAllows(DispenserControl::Cassette& cassette, std::uint32_t taking)
{
    if (!cassette.IsCounted())
        return true;
    const DispenserControl::CassetteLimit reserve(cassette, DispenserControl::kMinAmountLimit);
    return !reserve.IsEnabled() || AboveReserve(cassette.GetCount(), reserve.GetValue(), taking);
}

std::optional<std::uint32_t> MaxDispenseCap(DispenserControl::Cassette& cassette)
{
    const DispenserControl::CassetteLimit maxDispense(cassette, DispenserControl::kMaxDispenseLimit);
    if (!maxDispense.IsEnabled())
        return std::nullopt;
    return maxDispense.GetValue();
}

bool MaxDispenseAllows(DispenserControl::Cassette& cassette, std::uint32_t requested)
{
    const std::optional<std::uint32_t> cap = MaxDispenseCap(cassette);
    return !cap || WithinMaxDispense(requested, *cap);
}

bool RejectBinAllows(DispenserControl::Settings& store, std::uint32_t adding)
{
    DispenserControl::Reject reject(store);
    if (!reject.IsCounted())
        return true;
    const DispenserControl::RejectLimit limit(store, reject);
    return !limit.IsEnabled() || RejectBinHasRoom(reject.GetCount(), limit.GetValue(), adding);
}

std::optional<std::uint32_t> AmountCap(DispenserControl::Settings& store)
{
    const DispenserControl::AmountLimit limit(store);
    if (!limit.IsEnabled())
        return std::nullopt;
    return limit.GetValue();
}

} // namespace PayoutRules
