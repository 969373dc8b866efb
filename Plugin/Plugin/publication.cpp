// The publication of the dispenser's state into a kiosk session. Every comparison is
// unsigned; "unbounded" is 0xFFFFFFFF.
#include "Plugin/Plugin/publication.h"

#include "Plugin/Dispenser/payout_rules.h"
#include "Plugin/Plugin/readiness.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace Plugin {

namespace {

constexpr std::uint32_t kUnbounded = std::numeric_limits<std::uint32_t>::max();

std::string CassetteVariable(int number, const char* suffix)
{
    return std::string(number == 1 ? "Dispenser.Cassette1." : "Dispenser.Cassette2.") + suffix;
}

} // namespace

void Publish(SessionVariables& session, DispenserControl::Settings& store)
{
    if (!store.IsEnabled())
        return;
    session.SetBool("Dispenser.Enabled", true);
    if (store.IsDebug()) {
        session.SetBool("Dispenser.Debug", true);
    } else {
        const SerialPortSettings port = store.GetPortSettings();
        if (port.inUse)
            session.SetValue("Dispenser.Port", port.port);
        else
            session.Clear("Dispenser.Port");
    }
    session.SetValue("Dispenser.Model", store.GetDevice());
    const int n = store.GetModel();
    session.SetUInt("Dispenser.Cassettes", static_cast<std::uint32_t>(n));

    // Nothing can be paid while notes of an earlier pass are in doubt.
    const bool inDoubt = PassInDoubt(store);
    bool rejectFull = false;
    {
        DispenserControl::Reject reject(store);
        if (reject.IsCounted()) {
            const std::uint32_t count = reject.GetCount();
            session.SetUInt("Dispenser.Reject", count);
            const DispenserControl::RejectLimit limit(store, reject);
            if (limit.IsEnabled()) {
                session.SetUInt("Dispenser.MaxReject", limit.GetValue());
                rejectFull = !PayoutRules::RejectBinHasRoom(count, limit.GetValue(), PayoutRules::kKioskRejects);
            }
        }
    }
    const std::optional<std::uint32_t> amountCap = PayoutRules::AmountCap(store);
    if (amountCap) {
        session.SetUInt("Dispenser.Max", *amountCap);
        session.SetUInt("Dispenser.MaxChange", *amountCap);
    }

    std::uint32_t minDenomination = kUnbounded;
    for (int number = 1; number <= std::min(n, 2); ++number) {
        DispenserControl::Cassette cassette(store, number);
        const bool enabled = PayoutRules::CassetteInUse(cassette);
        session.SetBool(CassetteVariable(number, "Enabled"), enabled);
        std::uint32_t avail = enabled && !rejectFull && !inDoubt ? kUnbounded : 0;
        const std::uint32_t den = cassette.GetDenomination();
        if (enabled) {
            session.SetUInt(CassetteVariable(number, "Denomination"), den);
            if (cassette.IsCounted()) {
                const std::uint32_t count = cassette.GetCount();
                session.SetUInt(CassetteVariable(number, "Counter"), count);
                avail = std::min(avail, count);
                const DispenserControl::CassetteLimit minAmount(cassette, DispenserControl::kMinAmountLimit);
                if (minAmount.IsEnabled()) {
                    session.SetUInt(CassetteVariable(number, "MinAmount"), minAmount.GetValue());
                    if (!PayoutRules::AboveReserve(count, minAmount.GetValue(), PayoutRules::kPayoutTakes))
                        avail = 0;
                }
            }
            if (const std::optional<std::uint32_t> cap = PayoutRules::MaxDispenseCap(cassette)) {
                session.SetUInt(CassetteVariable(number, "MaxDispense"), *cap);
                avail = std::min(avail, *cap);
            }
            if (amountCap)
                avail = std::min(avail, PayoutRules::NotesWithinAmount(*amountCap, den));
        }
        if (avail == kUnbounded)
            session.Clear(CassetteVariable(number, "Avail"));
        else
            session.SetUInt(CassetteVariable(number, "Avail"), avail);
        if (avail != 0 && den != 0 && den < minDenomination)
            minDenomination = den;
    }
    if (minDenomination == kUnbounded)
        session.Clear("Dispenser.Min");
    else
        session.SetUInt("Dispenser.Min", minDenomination);
}

void ClearResult(SessionVariables* session)
{
    if (session == nullptr)
        return;
    session->Clear("Dispenser.Result");
    session->Clear("Dispenser.Message");
}

void SetMessage(SessionVariables& session, const std::vector<std::string>& errors)
{
    std::string message;
    for (const std::string& text : errors) {
        if (!message.empty())
            message += "; ";
        message += text;
    }
    if (message.empty())
        session.Clear("Dispenser.Message");
    else
        session.SetValue("Dispenser.Message", message);
}

} // namespace Plugin
