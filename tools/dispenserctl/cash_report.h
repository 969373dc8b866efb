// The cash report: what the operations journal says, per day and for a period. Built
// from the day files of "LogDir"; the formats (text, CSV, HTML) are in report_*.h.
#pragma once

#include "Plugin/Dispenser/journal_reader.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace CashReport {

using Journal::Day;

// A device error the journal recorded (ERROR: the code is the value, the text its comment).
struct DeviceError {
    unsigned code = 0;
    std::string text;
    unsigned times = 0;
};

// A technician's count that settled (or replaced) a counter (RECONCILED).
struct Reconciliation {
    std::string time;           // "HH:MM:SS", empty without a time stamp
    Journal::Unit unit = Journal::Unit::None;
    std::uint32_t counted = 0;
    std::optional<std::uint32_t> expectedLow;
    std::optional<std::uint32_t> expectedHigh;
    // Notes the count shows to have left a cassette during the passes in doubt
    // (expectedHigh - counted; negative when more notes were found than expected); for
    // the reject bin, the notes it holds beyond the low end (counted - expectedLow).
    std::optional<long long> found;
};

struct DayTotals {
    // Notes out of cassette 1 and 2: DISPENSED, and the notes a count found to have left
    // in a pass in doubt (on the day of that pass).
    std::array<std::uint64_t, 2> paid{};
    std::uint64_t rejected = 0;          // notes into the reject bin (REJECT)
    std::uint64_t aborted = 0;           // notes not paid by payouts stopped early (ABORT values)
    unsigned abortRecords = 0;
    std::uint64_t failed = 0;            // notes not paid because of an error (FAILURE values)
    unsigned failureRecords = 0;
    std::uint64_t unknown = 0;           // notes of passes in doubt (UNKNOWN values)
    unsigned unknownRecords = 0;
    long long reconciled = 0;            // of `paid`, the notes counts found to have left in passes in doubt
    // What counts found beyond that: the counters' own error (positive: fewer notes than
    // the counter said; a routine recount outside any doubt is all discrepancy).
    long long discrepancy = 0;
    unsigned debugRecords = 0;           // records of the debug mode, left out of every total
};

struct ReportDay {
    Day day;
    bool hasFile = false;                    // a day without a file has no records
    DayTotals totals;
    std::vector<DeviceError> errors;         // by code, in order of first appearance
    std::vector<Reconciliation> reconciliations;
    // Expected content at the end of the day: the last COUNT or RECONCILED of that unit up
    // to then (from earlier days too); the reject bin also adds REJECT notes after its
    // last count. nullopt when the journal has not said, and for a cassette with a pass in
    // doubt until a count settles it.
    std::array<std::optional<std::uint32_t>, 2> count;
    std::optional<std::uint32_t> rejectBin;
    long long runSeconds = 0;                // time between START and STOP (or the day's end, or the last record)
    unsigned starts = 0;
    std::optional<unsigned> formatVersion;
};

// When a cassette reaches its reserve and when it empties, at the recent rate.
struct Forecast {
    std::optional<std::uint32_t> count;  // expected content at the end of the period
    std::uint32_t reserve = 0;           // "Min Amount"
    double notesPerDay = 0;              // average paid over `rateDays`
    int rateDays = 0;
    std::optional<Day> reserveDay;       // nullopt: no use, or no count known
    std::optional<Day> emptyDay;         // nullopt also with a reserve: payouts stop there
};

struct Options {
    Day from;
    Day to;
    std::array<std::uint32_t, 2> denomination{}; // 0: unknown
    std::array<bool, 2> denominationOverridden{};
    std::array<std::uint32_t, 2> reserve{};      // "Min Amount" of each cassette
    int cassettes = 2;                           // 1 for an LCDM-1000
};

struct Report {
    Options options;
    std::vector<ReportDay> days;                // every day of the period, in order
    DayTotals totals;                            // the period's
    std::vector<DeviceError> errors;             // the period's, by code
    std::array<Forecast, 2> forecast;
    std::vector<Journal::Problem> problems;      // lines skipped, in file order

    std::uint64_t Amount(const DayTotals& day) const; // paid notes at the denominations
};

// Reads the day files of `folder` of the period, and earlier ones back to the last count
// of each unit (a year at most), and builds the report of the period. The rate of the
// forecast is the average of the period's last 14 days (all of it when shorter).
Report Build(const std::string& folder, const Options& options);

// The same from day files already read (tests, fuzzing): `files` in any order.
Report BuildFrom(const std::vector<std::pair<Day, Journal::DayFile>>& files, const Options& options);

} // namespace CashReport
