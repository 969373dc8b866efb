// Any text as an operations-journal day file and as one line: every line gives at most
// one record or problem, in order; each record holds together (unit and range only
// where its code names them, well-formed UTF-8, a time stamp that exists) and reads
// back the same when written out again.
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/journal_reader.h"
#include "framework/utf.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kDebugSuffix = " (отладочный режим)";

void Fail(int line)
{
    std::fprintf(stderr, "journal_fuzzer: the check of line %d failed\n", line);
    std::abort();
}
// The line of a failed check, for the finding's report.
#define CHECK(condition) ((condition) ? static_cast<void>(0) : Fail(__LINE__))

void CheckRecord(const Journal::Record& record)
{
    using Journal::Unit;
    const bool namesCassette = record.code == EventDispensed || record.code == EventAbort ||
                               record.code == EventFailure || record.code == EventCount ||
                               record.code == EventPending || record.code == EventUnknown ||
                               record.code == EventReconciled;
    const bool namesBin = record.code == EventCount || record.code == EventReconciled;
    const bool cassette = record.unit == Unit::Cassette1 || record.unit == Unit::Cassette2;
    CHECK(record.unit == Unit::None || (namesCassette && cassette) || (namesBin && record.unit == Unit::RejectBin));
    CHECK(record.expectedLow.has_value() == record.expectedHigh.has_value());
    CHECK(!record.expectedLow || (record.code == EventReconciled && record.unit != Unit::None));
    CHECK(record.debugMode == record.comment.ends_with(kDebugSuffix));
    CHECK(Utf16ToUtf8(Utf8ToUtf16(record.comment)) == record.comment);
    CHECK(record.comment.find_first_of("\r\n") == std::string::npos);
    CHECK(!record.word.empty() && record.word.find_first_of("\t\r\n ") == std::string::npos);
    CHECK(record.day.has_value() == (record.millisecondOfDay >= 0));
    CHECK(record.millisecondOfDay >= -1 && record.millisecondOfDay < 86400000);
    if (record.day) {
        CHECK(Journal::Day::Parse(record.day->Text()) == record.day);
        CHECK(Journal::Day::FromSerial(record.day->Serial()) == *record.day);
    }

    // Written out as the plug-in writes it, the record reads back as it was.
    std::string reason;
    const std::optional<Journal::Record> again = Journal::ParseLine(
        std::to_string(record.code) + "\t" + record.word + "\t" + std::to_string(record.value) + "\t;" + record.comment,
        reason);
    CHECK(again.has_value() && reason.empty());
    CHECK(again->code == record.code && again->word == record.word && again->value == record.value);
    CHECK(again->comment == record.comment && again->unit == record.unit && again->debugMode == record.debugMode);
    CHECK(again->expectedLow == record.expectedLow && again->expectedHigh == record.expectedHigh);
    CHECK(!again->truncated && !again->day);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const Journal::DayFile file = Journal::ParseDayFile(text, "fuzz.txt");
    const bool endsOpen = !text.empty() && text.back() != '\n';
    const std::size_t lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + (endsOpen ? 1 : 0);
    CHECK(file.file == "fuzz.txt");
    CHECK(file.records.size() + file.problems.size() <= lines);
    std::vector<bool> used(lines + 1, false);
    int previous = 0;
    std::optional<unsigned> version;
    for (const Journal::Record& record : file.records) {
        CHECK(record.line > previous && static_cast<std::size_t>(record.line) <= lines);
        previous = record.line;
        used[static_cast<std::size_t>(record.line)] = true;
        CHECK(!record.truncated || (endsOpen && static_cast<std::size_t>(record.line) == lines));
        if (!version && (record.code == EventOpen || record.code == EventClose))
            version = record.value;
        CheckRecord(record);
    }
    CHECK(file.formatVersion == version);
    previous = 0;
    for (const Journal::Problem& problem : file.problems) {
        CHECK(problem.file == "fuzz.txt" && !problem.reason.empty());
        CHECK(problem.line > previous && static_cast<std::size_t>(problem.line) <= lines);
        CHECK(!used[static_cast<std::size_t>(problem.line)]);
        previous = problem.line;
    }

    std::string reason = "stale";
    const std::optional<Journal::Record> record = Journal::ParseLine(text, reason);
    if (record) {
        CHECK(reason.empty() && record->line == 0 && !record->truncated);
        CHECK(text.find('\n') == std::string_view::npos);
        CheckRecord(*record);
    } else {
        CHECK(reason.empty() == (text.find_first_not_of('\r') == std::string_view::npos));
    }

    if (const std::optional<Journal::Day> day = Journal::Day::Parse(text.substr(0, 10)))
        CHECK(day->Text() == text.substr(0, 10) && Journal::Day::FromSerial(day->Serial()) == *day);
    return 0;
}
