// Readiness, the split of an amount, and the publication of the dispenser's state
// into a kiosk session. Every comparison is unsigned; "unbounded" is 0xFFFFFFFF.
#include "Plugin/Plugin/dispenser_session.h"

#include "Plugin/Dispenser/payout_rules.h"
#include "framework/app_log.h"

#include <algorithm>
#include <atomic>
#include <limits>

namespace Plugin {

namespace {

constexpr std::uint32_t kUnbounded = std::numeric_limits<std::uint32_t>::max();
std::atomic<AppLog*> g_applicationLog{nullptr};

std::string CassetteVariable(int number, const char* suffix)
{
    return std::string(number == 1 ? "Dispenser.Cassette1." : "Dispenser.Cassette2.") + suffix;
}

// The kiosk's view of the reject bin: full once it has no room for one more note.
bool RejectBinFull(DispenserControl::Settings& store)
{
    return !PayoutRules::RejectBinAllows(store, PayoutRules::kKioskRejects);
}

} // namespace

AppLog* ApplicationLog()
{
    return g_applicationLog.load();
}

void SetApplicationLog(AppLog* log)
{
    g_applicationLog.store(log);
}

bool IsReady(DispenserControl::Settings& store)
{
    if (!store.IsEnabled())
        return true;
    if (RejectBinFull(store))
        return false;
    const int n = store.GetModel();
    for (int number = 1; number <= std::min(n, 2); ++number) {
        DispenserControl::Cassette cassette(store, number);
        if (PayoutRules::CassetteInUse(cassette) && !PayoutRules::ReserveAllows(cassette, PayoutRules::kPayoutTakes))
            return false;
    }
    return true;
}

Split SplitAmount(DispenserControl::Settings& store, std::uint32_t amount, bool failed)
{
    Split split;
    split.rest = amount;
    const auto done = [&split] {
        split.success = split.rest == 0 || split.count1 != 0 || split.count2 != 0;
        return split;
    };
    if (failed || !store.IsEnabled() || RejectBinFull(store))
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
        std::uint32_t avail = enabled && !rejectFull ? kUnbounded : 0;
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
