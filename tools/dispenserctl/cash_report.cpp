#include "tools/dispenserctl/cash_report.h"

#include "Plugin/Dispenser/dispenser_log.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <map>
#include <set>
#include <tuple>

namespace CashReport {

namespace {

constexpr long long kDayMs = 24LL * 60 * 60 * 1000;
constexpr int kRateDays = 14;
constexpr int kHistoryFiles = 366; // how far back the counts are looked for

// A record placed in time: the day of its own stamp when it has one, else its file's day;
// the time of the record before it in that file when it has none.
struct Placed {
    Day day;
    long long ms = 0;
    std::size_t order = 0; // file order, for records of one moment
    const Journal::Record* record = nullptr;
};

int CassetteIndex(Journal::Unit unit)
{
    return unit == Journal::Unit::Cassette1 ? 0 : unit == Journal::Unit::Cassette2 ? 1 : -1;
}

std::string TimeText(long long ms)
{
    if (ms < 0)
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
    return text;
}

void AddError(std::vector<DeviceError>& errors, unsigned code, const std::string& text)
{
    const auto found = std::find_if(errors.begin(), errors.end(), [code](const DeviceError& e) { return e.code == code; });
    if (found != errors.end()) {
        ++found->times;
        return;
    }
    errors.push_back(DeviceError{code, text, 1});
}

void AddTotals(DayTotals& into, const DayTotals& day)
{
    for (int c = 0; c < 2; ++c)
        into.paid[c] += day.paid[c];
    into.rejected += day.rejected;
    into.aborted += day.aborted;
    into.abortRecords += day.abortRecords;
    into.failed += day.failed;
    into.failureRecords += day.failureRecords;
    into.unknown += day.unknown;
    into.unknownRecords += day.unknownRecords;
    into.reconciled += day.reconciled;
    into.discrepancy += day.discrepancy;
    into.debugRecords += day.debugRecords;
}

// Every record once, in time order. A record found in two files (a copy of a day's file
// under another day's name) is taken from the first only.
std::vector<Placed> PlaceRecords(const std::vector<std::pair<Day, Journal::DayFile>>& files)
{
    std::vector<const std::pair<Day, Journal::DayFile>*> byDay;
    for (const auto& file : files)
        byDay.push_back(&file);
    std::stable_sort(byDay.begin(), byDay.end(), [](auto* a, auto* b) { return a->first < b->first; });

    std::vector<Placed> placed;
    // The comment is left out of the key: a copy cut mid-line or saved in another encoding
    // has the same moment, code and value.
    std::set<std::tuple<long long, long long, unsigned, std::uint32_t>> seen;
    std::size_t order = 0;
    for (const auto* file : byDay) {
        std::set<std::tuple<long long, long long, unsigned, std::uint32_t>> inThisFile;
        long long lastMs = 0;
        for (const Journal::Record& record : file->second.records) {
            Placed entry;
            entry.day = record.day.value_or(file->first);
            entry.ms = record.millisecondOfDay >= 0 ? record.millisecondOfDay : lastMs;
            lastMs = entry.ms;
            entry.order = order++;
            entry.record = &record;
            if (record.day && record.millisecondOfDay >= 0) {
                auto key = std::make_tuple(entry.day.Serial(), entry.ms, record.code, record.value);
                if (seen.count(key) != 0 && inThisFile.count(key) == 0)
                    continue;
                inThisFile.insert(key);
                seen.insert(std::move(key));
            }
            placed.push_back(entry);
        }
    }
    // By day only: within a day the files' own order stands, also when the clock was set
    // back in the middle of it.
    std::stable_sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) { return a.day < b.day; });
    return placed;
}

// What the journal says about the units and the kiosk's running, carried through time.
struct Ledger {
    std::array<std::optional<std::uint32_t>, 2> count;
    std::optional<std::uint32_t> rejectBin;
    // The running kiosk: the start of the current stretch and the last moment it was seen.
    bool running = false;
    long long stretchStart = 0; // serial day * kDayMs + ms
    long long lastSeen = 0;
    std::map<long long, long long> runMs; // day serial -> milliseconds

    void AddRun(long long from, long long to)
    {
        while (from < to) {
            const long long day = from / kDayMs;
            const long long dayEnd = (day + 1) * kDayMs;
            runMs[day] += std::min(to, dayEnd) - from;
            from = std::min(to, dayEnd);
        }
    }
};

} // namespace

std::uint64_t Report::Amount(const DayTotals& day) const
{
    return day.paid[0] * options.denomination[0] + day.paid[1] * options.denomination[1];
}

Report BuildFrom(const std::vector<std::pair<Day, Journal::DayFile>>& files, const Options& options)
{
    Report report;
    report.options = options;
    for (const auto& [day, file] : files) {
        if (day >= options.from && day <= options.to)
            report.problems.insert(report.problems.end(), file.problems.begin(), file.problems.end());
    }
    const std::vector<Placed> placed = PlaceRecords(files);
    std::set<Day> filed;
    std::map<Day, std::optional<unsigned>> versions;
    for (const auto& [day, file] : files) {
        filed.insert(day);
        versions[day] = file.formatVersion;
    }

    for (Day day = options.from; day <= options.to; day = day.Next()) {
        ReportDay& reportDay = report.days.emplace_back();
        reportDay.day = day;
        reportDay.hasFile = filed.count(day) != 0;
        if (const auto version = versions.find(day); version != versions.end())
            reportDay.formatVersion = version->second;
    }

    Ledger ledger;
    // Each cassette's pass in doubt not yet settled: its day (the notes a count finds to
    // have left were paid then) and the notes asked (no count can find more of them).
    std::array<ReportDay*, 2> doubtDay{};
    std::array<std::uint64_t, 2> doubtAsked{};
    std::array<bool, 2> inDoubt{};
    int lastPendingCassette = -1; // the cassette of the last command sent: a test reject's COUNT names none
    // Each cassette's pass written ahead (PENDING) and not yet closed by its count or an
    // ending. Still open when a count settles the cassette, the pass was cut off (the
    // process ended in it): it was in doubt, as one that wrote its UNKNOWN.
    std::array<std::optional<std::uint64_t>, 2> pendingAsked{};
    std::array<ReportDay*, 2> pendingDay{};
    const auto closePending = [&](int c) {
        if (c >= 0)
            pendingAsked[c].reset();
    };
    std::size_t next = 0;
    const auto apply = [&](const Placed& entry, ReportDay* day) {
        const Journal::Record& record = *entry.record;
        const long long moment = entry.day.Serial() * kDayMs + entry.ms;
        if (ledger.running)
            ledger.lastSeen = std::max(ledger.lastSeen, moment);
        const int c = CassetteIndex(record.unit);
        DayTotals scratch;
        DayTotals& totals = day != nullptr ? day->totals : scratch;
        // Notes the operator made up in the debug mode never left a device: counted apart.
        const bool money = !record.debugMode;
        if (record.debugMode)
            ++totals.debugRecords;
        switch (record.code) {
        case EventDispensed:
            if (money && c >= 0)
                totals.paid[c] += record.value;
            closePending(c);
            break;
        case EventReject:
            if (money)
                totals.rejected += record.value;
            // The counter follows the debug mode's rejects too.
            if (ledger.rejectBin)
                ledger.rejectBin = static_cast<std::uint32_t>(
                    std::min<std::uint64_t>(std::uint64_t{*ledger.rejectBin} + record.value, UINT32_MAX));
            break;
        case EventPending:
            lastPendingCassette = c;
            if (c >= 0) {
                pendingAsked[c] = record.value;
                pendingDay[c] = day;
            }
            break;
        case EventAbort:
            closePending(c);
            if (money) {
                totals.aborted += record.value;
                ++totals.abortRecords;
            }
            break;
        case EventFailure:
            closePending(c);
            if (money) {
                totals.failed += record.value;
                ++totals.failureRecords;
            }
            break;
        case EventUnknown:
            closePending(c);
            if (money) {
                totals.unknown += record.value;
                ++totals.unknownRecords;
                if (c >= 0) {
                    doubtDay[c] = day;
                    doubtAsked[c] += record.value;
                    inDoubt[c] = true;
                    // Up to the asked notes may have left: the content is not known until a count.
                    ledger.count[c].reset();
                }
            }
            break;
        case EventError:
            if (day != nullptr)
                AddError(day->errors, record.value, record.comment);
            break;
        case EventCount:
            closePending(c >= 0 ? c : lastPendingCassette);
            if (c >= 0)
                ledger.count[c] = record.value;
            else if (record.unit == Journal::Unit::RejectBin)
                ledger.rejectBin = record.value;
            else if (lastPendingCassette >= 0) // a test reject's count: the cassette it was sent for
                ledger.count[lastPendingCassette] = record.value;
            else if (options.cassettes == 1)
                ledger.count[0] = record.value;
            break;
        case EventReconciled: {
            Reconciliation reconciliation;
            reconciliation.time = TimeText(record.millisecondOfDay);
            reconciliation.unit = record.unit;
            reconciliation.counted = record.value;
            reconciliation.expectedLow = record.expectedLow;
            reconciliation.expectedHigh = record.expectedHigh;
            if (c >= 0) {
                if (pendingAsked[c]) {
                    doubtDay[c] = pendingDay[c];
                    doubtAsked[c] += *pendingAsked[c];
                    inDoubt[c] = true;
                    pendingAsked[c].reset();
                }
                ledger.count[c] = record.value;
                if (record.expectedHigh)
                    reconciliation.found = static_cast<long long>(*record.expectedHigh) - record.value;
                // Notes that left in a pass in doubt are paid, on the day of that pass, up to
                // the notes it asked; any other difference is a discrepancy of the counter.
                const long long found = reconciliation.found.value_or(0);
                const long long paidInDoubt =
                    inDoubt[c] ? std::clamp<long long>(found, 0, static_cast<long long>(doubtAsked[c])) : 0;
                if (paidInDoubt > 0) {
                    ReportDay* paidOn = doubtDay[c] != nullptr ? doubtDay[c] : day;
                    DayTotals& paidTotals = paidOn != nullptr ? paidOn->totals : scratch;
                    paidTotals.paid[c] += static_cast<std::uint64_t>(paidInDoubt);
                    paidTotals.reconciled += paidInDoubt;
                }
                totals.discrepancy += found - paidInDoubt;
                doubtDay[c] = nullptr;
                doubtAsked[c] = 0;
                inDoubt[c] = false;
            } else if (record.unit == Journal::Unit::RejectBin) {
                ledger.rejectBin = record.value;
                if (record.expectedLow)
                    reconciliation.found = static_cast<long long>(record.value) - *record.expectedLow;
            }
            if (day != nullptr)
                day->reconciliations.push_back(reconciliation);
            break;
        }
        case EventStart:
            // A start while running: the last run ended unannounced, when it was last seen.
            if (ledger.running)
                ledger.AddRun(ledger.stretchStart, ledger.lastSeen);
            ledger.running = true;
            ledger.stretchStart = ledger.lastSeen = moment;
            if (day != nullptr)
                ++day->starts;
            break;
        case EventStop:
            if (ledger.running)
                ledger.AddRun(ledger.stretchStart, moment);
            ledger.running = false;
            break;
        default:
            break;
        }
    };

    // Before the period: the counts and the running only.
    while (next < placed.size() && placed[next].day < options.from)
        apply(placed[next++], nullptr);
    // A run that began before the period and went on into it counts from its first day.
    if (ledger.running && ledger.stretchStart < options.from.Serial() * kDayMs) {
        ledger.AddRun(ledger.stretchStart, ledger.lastSeen);
        ledger.stretchStart = ledger.lastSeen = std::max(ledger.lastSeen, options.from.Serial() * kDayMs);
    }
    for (ReportDay& reportDay : report.days) {
        while (next < placed.size() && placed[next].day == reportDay.day)
            apply(placed[next++], &reportDay);
        reportDay.count = ledger.count;
        reportDay.rejectBin = ledger.rejectBin;
    }
    if (ledger.running)
        ledger.AddRun(ledger.stretchStart, ledger.lastSeen);
    for (ReportDay& day : report.days) {
        if (const auto run = ledger.runMs.find(day.day.Serial()); run != ledger.runMs.end())
            day.runSeconds = run->second / 1000;
        AddTotals(report.totals, day.totals);
        for (const DeviceError& error : day.errors)
            for (unsigned i = 0; i < error.times; ++i)
                AddError(report.errors, error.code, error.text);
    }

    // The forecast: the recent rate of each cassette against its expected content.
    const int periodDays = static_cast<int>(report.days.size());
    const int rateDays = std::min(kRateDays, periodDays);
    for (int c = 0; c < options.cassettes && c < 2; ++c) {
        Forecast& forecast = report.forecast[c];
        forecast.reserve = options.reserve[c];
        forecast.rateDays = rateDays;
        std::uint64_t paid = 0;
        for (int i = periodDays - rateDays; i < periodDays; ++i)
            paid += report.days[i].totals.paid[c];
        forecast.notesPerDay = rateDays > 0 ? static_cast<double>(paid) / rateDays : 0.0;
        forecast.count = report.days.empty() ? std::nullopt : report.days.back().count[c];
        if (!forecast.count || forecast.notesPerDay <= 0)
            continue;
        const auto daysUntil = [&](std::uint32_t notes) {
            return static_cast<long long>(std::ceil(static_cast<double>(notes) / forecast.notesPerDay));
        };
        const std::uint32_t count = *forecast.count;
        forecast.reserveDay =
            Day::FromSerial(options.to.Serial() + (count > forecast.reserve ? daysUntil(count - forecast.reserve) : 0));
        // With a reserve the kiosk stops paying from the cassette there: it does not empty.
        if (forecast.reserve == 0)
            forecast.emptyDay = Day::FromSerial(options.to.Serial() + daysUntil(count));
    }
    return report;
}

Report Build(const std::string& folder, const Options& options)
{
    std::vector<std::pair<Day, Journal::DayFile>> files;
    for (Day day = options.from; day <= options.to; day = day.Next()) {
        if (std::optional<Journal::DayFile> file = Journal::ReadDayFile(folder, day))
            files.emplace_back(day, std::move(*file));
    }

    // Earlier files, newest first, until each cassette's count is known (the reject bin's
    // too, when it turns up on the way). Day by day, as the journal names them.
    std::array<bool, 3> known{};
    for (int back = 1; back <= kHistoryFiles; ++back) {
        if (known[0] && (known[1] || options.cassettes < 2))
            break;
        const Day day = Day::FromSerial(options.from.Serial() - back);
        std::optional<Journal::DayFile> file = Journal::ReadDayFile(folder, day);
        if (!file)
            continue;
        for (const Journal::Record& record : file->records) {
            if (record.code != EventCount && record.code != EventReconciled)
                continue;
            const int c = CassetteIndex(record.unit);
            if (c >= 0)
                known[c] = true;
            else if (record.unit == Journal::Unit::RejectBin)
                known[2] = true;
        }
        files.emplace_back(day, std::move(*file));
    }
    return BuildFrom(files, options);
}

} // namespace CashReport
