// The bookkeeping of one pass, shared by the payout and the test payout: what the
// device reports moved is what the counters and the operations log receive.
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/payout_rules.h"
#include "Plugin/Dispenser/saturating.h"
#include "Plugin/Dispenser/scenario_thread.h"
#include "framework/app_log.h"
#include "framework/text_format.h"

namespace DispenserScenario {

namespace {

// The COUNT record's text of a cassette whose counter fell by the notes of a pass.
std::string CountText(PassKind kind, int number, std::uint32_t count)
{
    if (kind == PassKind::TestReject)
        return FormatText("предполагаемое количество купюр в кассете диспенсера: %u шт.", count);
    return FormatText("предполагаемое количество купюр в кассете #%d: %u шт.", number, count);
}

// The COUNT record's text of a cassette whose counter was set to 0 at its end.
std::string ResetText(PassKind kind, int number, std::uint32_t count)
{
    if (kind == PassKind::TestReject)
        return FormatText("предполагаемое количество купюр в кассете диспенсера: %u шт.", count);
    return FormatText("предполагаемое количество купюр в кассете #%i диспенсера: %u шт.", number, count);
}

} // namespace

void ScenarioThread::BookPass(const PassOutcome& pass, PassKind kind)
{
    std::uint32_t rejected[2] = {pass.rejected[0], pass.rejected[1]};
    if (rejected[0] != 0 || rejected[1] != 0) {
        const std::uint32_t stored = OperationValue("RejectFactor", 1);
        const std::uint32_t factor = PayoutRules::RejectWeight(stored);
        if (factor != stored)
            Say(AppLog::Warning, "%s: значение RejectFactor (%u) недопустимо, используется %u", name_.c_str(), stored,
                factor);
        rejected[0] = SaturatingMultiply(rejected[0], factor);
        rejected[1] = SaturatingMultiply(rejected[1], factor);
        if (kind == PassKind::TestReject)
            Say(AppLog::Positive, "%s: RejectFactor:%u, calc. rejected:%u", name_.c_str(), factor,
                SaturatingAdd(rejected[0], rejected[1]));
    }

    bool reset[2] = {false, false};
    if ((pass.billEnd[0] || pass.billEnd[1]) && OperationValue("Reset on Bill-End", 1) != 0) {
        for (int c = 0; c < 2; ++c) {
            if (!pass.billEnd[c])
                continue;
            const int number = c + 1;
            DispenserControl::Settings writable(true, request_.Override());
            DispenserControl::Cassette cassette(writable, number);
            if (!cassette.IsCounted())
                continue;
            if (kind == PassKind::TestReject) {
                Say(AppLog::Warning, "%s: диспенсер показал отсутствие купюр, сбрасываем программный счётчик купюр",
                    name_.c_str());
            } else {
                const std::string text = FormatText(
                    "Диспенсер показал отсутствие купюр в кассете %i, сбрасываем программный счётчик купюр", number);
                Say(AppLog::Warning, "%s: %s", name_.c_str(), text.c_str());
                request_.AddError(text);
            }
            const std::uint32_t count = cassette.UpdateCount([](auto) { return 0u; });
            Record(EventCount, "COUNT", count, ResetText(kind, number, count));
            reset[c] = true;
        }
    }

    const std::uint32_t rejectedNow = SaturatingAdd(rejected[0], rejected[1]);
    if (rejectedNow > 0) {
        DispenserControl::Settings writable(true, request_.Override());
        DispenserControl::Reject reject(writable);
        if (reject.IsCounted())
            reject.UpdateCount([rejectedNow](std::optional<std::uint32_t> count) {
                return SaturatingAdd(count.value_or(0), rejectedNow);
            });
        Record(EventReject, "REJECT", rejectedNow,
                         FormatText("диспенсер забраковал купюр: %u шт.", rejectedNow));
    }

    for (int c = 0; c < 2; ++c) {
        const std::uint32_t used = SaturatingAdd(pass.out[c], rejected[c]);
        if (used == 0 || reset[c])
            continue;
        DispenserControl::Settings writable(true, request_.Override());
        DispenserControl::Cassette cassette(writable, c + 1);
        if (!cassette.IsCounted())
            continue;
        const std::uint32_t count = cassette.UpdateCount([used](std::optional<std::uint32_t> current) {
            return SaturatingSubtract(current.value_or(0), used);
        });
        Record(EventCount, "COUNT", count, CountText(kind, c + 1, count));
    }
}

} // namespace DispenserScenario
