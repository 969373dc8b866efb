// The cash report as plain text and as CSV.
#include "tools/dispenserctl/report_formats.h"

#include "framework/text_format.h"

#include <string>

namespace CashReport {

namespace {

std::string Optional(const std::optional<std::uint32_t>& value, const char* none)
{
    return value ? std::to_string(*value) : std::string(none);
}

std::string RunText(long long seconds)
{
    return FormatText("%lld:%02lld", seconds / 3600, seconds / 60 % 60);
}

std::string UnitName(Journal::Unit unit)
{
    switch (unit) {
    case Journal::Unit::Cassette1:
        return "cassette #1";
    case Journal::Unit::Cassette2:
        return "cassette #2";
    case Journal::Unit::RejectBin:
        return "reject bin";
    case Journal::Unit::None:
        break;
    }
    return "unnamed unit";
}

std::string RangeText(const Reconciliation& r)
{
    if (!r.expectedLow || !r.expectedHigh)
        return "no expected range";
    return FormatText("expected %u..%u", *r.expectedLow, *r.expectedHigh);
}

std::string FoundText(const Reconciliation& r)
{
    if (!r.found)
        return {};
    if (r.unit == Journal::Unit::RejectBin)
        return FormatText(", %lld note(s) above the expected low end", *r.found);
    if (*r.found < 0)
        return FormatText(", %lld note(s) more than expected in the cassette", -*r.found);
    return FormatText(", %lld note(s) of the passes in doubt had left", *r.found);
}

std::string DayRow(const Report& report, const std::string& label, const DayTotals& t,
                   const std::array<std::optional<std::uint32_t>, 2>& count,
                   const std::optional<std::uint32_t>& bin, const std::string& running)
{
    const bool two = report.options.cassettes > 1;
    std::string row = FormatText("%-10s %7llu", label.c_str(), static_cast<unsigned long long>(t.paid[0]));
    if (two)
        row += FormatText(" %7llu", static_cast<unsigned long long>(t.paid[1]));
    row += FormatText(" %10llu %8llu %7llu %6llu %8llu %10lld %7s", static_cast<unsigned long long>(report.Amount(t)),
                      static_cast<unsigned long long>(t.rejected), static_cast<unsigned long long>(t.aborted),
                      static_cast<unsigned long long>(t.failed), static_cast<unsigned long long>(t.unknown),
                      t.reconciled, Optional(count[0], "-").c_str());
    if (two)
        row += FormatText(" %7s", Optional(count[1], "-").c_str());
    row += FormatText(" %6s %7s\n", Optional(bin, "-").c_str(), running.c_str());
    return row;
}

std::string ForecastText(const Forecast& f, int number)
{
    std::string text = FormatText("  cassette #%d: ", number);
    if (!f.count)
        return text + "the journal gives no count, so no forecast\n";
    text += FormatText("%u note(s) at the end, %.1f note(s) a day over the last %d day(s)", *f.count, f.notesPerDay,
                       f.rateDays);
    text += f.reserve > 0 ? FormatText(", reserve %u: ", f.reserve) : std::string(", no reserve: ");
    if (!f.reserveDay)
        return text + "nothing paid, no end in sight\n";
    if (f.reserve > 0)
        return text + "reserve reached " + f.reserveDay->Text() + " (payouts from it stop there)\n";
    return text + "empty " + (f.emptyDay ? f.emptyDay->Text() : f.reserveDay->Text()) + "\n";
}

} // namespace

std::string RenderText(const Report& report)
{
    const Options& o = report.options;
    const bool two = o.cassettes > 1;
    std::string text = "Cash report " + o.from.Text() + " .. " + o.to.Text() + "\n";
    text += FormatText("Denominations: cassette #1 %u%s", o.denomination[0],
                       o.denominationOverridden[0] ? " (given)" : " (settings)");
    if (two)
        text += FormatText(", cassette #2 %u%s", o.denomination[1],
                           o.denominationOverridden[1] ? " (given)" : " (settings)");
    text += "\n\n";

    text += FormatText("%-10s %7s", "date", "paid#1");
    if (two)
        text += FormatText(" %7s", "paid#2");
    text += FormatText(" %10s %8s %7s %6s %8s %10s %7s", "amount", "rejected", "aborted", "failed", "in-doubt",
                       "reconciled", "count#1");
    if (two)
        text += FormatText(" %7s", "count#2");
    text += FormatText(" %6s %7s\n", "reject", "running");
    for (const ReportDay& day : report.days) {
        if (!day.hasFile && day.totals.paid == std::array<std::uint64_t, 2>{} && day.runSeconds == 0) {
            text += FormatText("%-10s (no journal)\n", day.day.Text().c_str());
            continue;
        }
        text += DayRow(report, day.day.Text(), day.totals, day.count, day.rejectBin, RunText(day.runSeconds));
    }
    long long running = 0;
    for (const ReportDay& day : report.days)
        running += day.runSeconds;
    const ReportDay* last = report.days.empty() ? nullptr : &report.days.back();
    text += DayRow(report, "total", report.totals, last ? last->count : std::array<std::optional<std::uint32_t>, 2>{},
                   last ? last->rejectBin : std::nullopt, RunText(running));

    const DayTotals& t = report.totals;
    text += FormatText("\nPayouts stopped early: %u (%llu note(s) not paid); failed: %u (%llu note(s) not paid)\n",
                       t.abortRecords, static_cast<unsigned long long>(t.aborted), t.failureRecords,
                       static_cast<unsigned long long>(t.failed));
    text += FormatText("Passes in doubt: %u record(s), %llu note(s) asked\n", t.unknownRecords,
                       static_cast<unsigned long long>(t.unknown));
    if (t.discrepancy != 0)
        text += FormatText("Counts found the counters off by %lld note(s) outside the passes in doubt (positive: "
                           "fewer notes than counted)\n",
                           t.discrepancy);
    if (t.debugRecords != 0)
        text += FormatText("Records of the debug mode, left out of the totals: %u\n", t.debugRecords);
    if (!report.errors.empty()) {
        text += "Device errors:\n";
        for (const DeviceError& error : report.errors)
            text += FormatText("  0x%02X x%u  %s\n", error.code, error.times, error.text.c_str());
    }
    bool anyReconciliation = false;
    for (const ReportDay& day : report.days) {
        for (const Reconciliation& r : day.reconciliations) {
            if (!anyReconciliation)
                text += "Reconciliations:\n";
            anyReconciliation = true;
            text += FormatText("  %s %s %s: counted %u, %s%s\n", day.day.Text().c_str(), r.time.c_str(),
                               UnitName(r.unit).c_str(), r.counted, RangeText(r).c_str(), FoundText(r).c_str());
        }
    }
    text += "Forecast:\n";
    for (int c = 0; c < o.cassettes && c < 2; ++c)
        text += ForecastText(report.forecast[c], c + 1);
    if (!report.problems.empty()) {
        text += "Lines skipped:\n";
        for (const Journal::Problem& problem : report.problems)
            text += FormatText("  %s:%d: %s\n", problem.file.c_str(), problem.line, problem.reason.c_str());
    }
    return text;
}

std::string RenderCsv(const Report& report)
{
    std::string csv = "date,paid1,paid2,amount,rejected,aborted,failed,unknown,reconciled,count1,count2,reject_bin,"
                      "device_errors,run_seconds,journal,discrepancy\n";
    for (const ReportDay& day : report.days) {
        const DayTotals& t = day.totals;
        unsigned errors = 0;
        for (const DeviceError& error : day.errors)
            errors += error.times;
        csv += FormatText("%s,%llu,%llu,%llu,%llu,%llu,%llu,%llu,%lld,%s,%s,%s,%u,%lld,%d,%lld\n", day.day.Text().c_str(),
                          static_cast<unsigned long long>(t.paid[0]), static_cast<unsigned long long>(t.paid[1]),
                          static_cast<unsigned long long>(report.Amount(t)),
                          static_cast<unsigned long long>(t.rejected), static_cast<unsigned long long>(t.aborted),
                          static_cast<unsigned long long>(t.failed), static_cast<unsigned long long>(t.unknown),
                          t.reconciled, Optional(day.count[0], "").c_str(), Optional(day.count[1], "").c_str(),
                          Optional(day.rejectBin, "").c_str(), errors, day.runSeconds, day.hasFile ? 1 : 0,
                          t.discrepancy);
    }
    return csv;
}

} // namespace CashReport
