#include "Plugin/Dispenser/counter_records.h"

#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/saturating.h"
#include "framework/text_format.h"

#include <optional>

namespace DispenserControl {

namespace {

// One read-modify-write that puts `count` in place; returns what it replaced.
template <typename Unit>
std::uint32_t Replace(Unit& unit, std::uint32_t count)
{
    std::uint32_t previous = 0;
    unit.UpdateCount([&previous, count](std::optional<std::uint32_t> current) {
        previous = current.value_or(0);
        return count;
    });
    return previous;
}

std::string RangeComment(const char* unit, std::uint32_t counted, const CountRange& range)
{
    std::string text = FormatText("сверка: %s, пересчитано %u шт., ожидалось от %u до %u шт.", unit, counted, range.low,
                                  range.high);
    if (!range.Holds(counted))
        text += " (пересчёт вне ожидаемого диапазона, принят пересчёт)";
    return text;
}

} // namespace

std::uint32_t SetCassetteCount(Settings& store, int number, std::uint32_t count, DispenserLogHandler& logs)
{
    Cassette cassette(store, number);
    const std::uint32_t previous = Replace(cassette, count);
    logs.WriteRecord(EventCount, "COUNT", count,
                     FormatText("количество купюр в кассете #%d установлено вручную: %u шт.", number, count));
    return previous;
}

std::uint32_t SetRejectCount(Settings& store, std::uint32_t count, DispenserLogHandler& logs)
{
    Reject reject(store);
    const std::uint32_t previous = Replace(reject, count);
    logs.WriteRecord(EventCount, "COUNT", count,
                     FormatText("количество купюр в контейнере \"Reject\" установлено вручную: %u шт.", count));
    return previous;
}

CountRange ExpectedCassetteRange(Settings& store, int number)
{
    const std::uint32_t count = Cassette(store, number).GetCount();
    const std::optional<PendingPass> pass = ReadPendingPass(store);
    return CountRange{SaturatingSubtract(count, pass ? pass->asked[number - 1] : 0), count};
}

CountRange ExpectedRejectRange(Settings& store)
{
    const std::optional<PendingPass> pass = ReadPendingPass(store);
    const std::uint32_t count = Reject(store).GetCount();
    return CountRange{count, SaturatingAdd(count, pass ? pass->Total() : 0)};
}

Reconciliation ReconcileCassette(Settings& store, int number, std::uint32_t counted, DispenserLogHandler& logs)
{
    Reconciliation result;
    result.expected = ExpectedCassetteRange(store, number);
    result.inRange = result.expected.Holds(counted);
    Cassette cassette(store, number);
    result.previous = Replace(cassette, counted);
    logs.WriteRecord(EventReconciled, "RECONCILED", counted,
                     RangeComment(FormatText("кассета #%d", number).c_str(), counted, result.expected));
    SettlePendingCassette(store, number);
    return result;
}

Reconciliation ReconcileReject(Settings& store, std::uint32_t counted, DispenserLogHandler& logs)
{
    Reconciliation result;
    result.expected = ExpectedRejectRange(store);
    result.inRange = result.expected.Holds(counted);
    Reject reject(store);
    result.previous = Replace(reject, counted);
    logs.WriteRecord(EventReconciled, "RECONCILED", counted,
                     RangeComment("контейнер \"Reject\"", counted, result.expected));
    return result;
}

void EnterCassetteCount(Settings& store, int number, std::uint32_t count, DispenserLogHandler& logs)
{
    if (ReadPendingPass(store))
        ReconcileCassette(store, number, count, logs);
    else
        SetCassetteCount(store, number, count, logs);
}

void EnterRejectCount(Settings& store, std::uint32_t count, DispenserLogHandler& logs)
{
    if (ReadPendingPass(store))
        ReconcileReject(store, count, logs);
    else
        SetRejectCount(store, count, logs);
}

} // namespace DispenserControl
