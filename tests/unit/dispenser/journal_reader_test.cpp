#include "Plugin/Dispenser/journal_reader.h"

#include "Plugin/Dispenser/counter_records.h"
#include "Plugin/Dispenser/dispenser_log.h"
#include "Plugin/Dispenser/pending_pass.h"
#include "Plugin/Dispenser/settings.h"
#include "framework/paths.h"
#include "framework/real_time.h"
#include "framework/registry.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using Journal::Day;
using Journal::Unit;

TEST(JournalDay, ParseTakesOnlyDaysThatExist)
{
    EXPECT_EQ(Day::Parse("2024-02-29"), (Day{2024, 2, 29}));
    EXPECT_EQ(Day::Parse("2000-02-29"), (Day{2000, 2, 29}));
    EXPECT_EQ(Day::Parse("2026-12-31"), (Day{2026, 12, 31}));
    for (const char* text : {"2026-02-30", "2023-02-29", "1900-02-29", "2026-04-31", "2026-13-01", "2026-00-10",
                             "2026-01-00", "2026-1-01", "2026-01-1", "2026/01/01", "+026-01-01", "2026-01-01 ",
                             " 2026-01-01", "20260101", "2026-0a-01", ""})
        EXPECT_FALSE(Day::Parse(text)) << text;
}

// Day by day through four centuries (1900 and 2100 without a leap day, 2000 with one):
// each serial is one more than the last, each day exists, and a new month begins only
// after the last day of the one before.
TEST(JournalDay, SerialCountsEveryDayAcrossMonthsYearsAndLeapDays)
{
    EXPECT_EQ((Day{1970, 1, 1}).Serial(), 0);
    EXPECT_EQ((Day{1969, 12, 31}).Serial(), -1);
    EXPECT_EQ((Day{2000, 3, 1}).Serial(), 11017);
    EXPECT_EQ((Day{2026, 12, 8}).Serial(), 20795);
    EXPECT_EQ(Day::FromSerial(-135140), (Day{1600, 1, 1}));

    Day day{1800, 1, 1};
    int daysOfYear = 1;
    while (day.year < 2201) {
        const Day next = day.Next();
        ASSERT_EQ(next.Serial(), day.Serial() + 1) << day.Text();
        ASSERT_EQ(Day::FromSerial(next.Serial()), next);
        ASSERT_EQ(Day::Parse(next.Text()), next) << next.Text();
        ASSERT_LT(day, next);
        if (next.day != day.day + 1) {
            ASSERT_EQ(next.day, 1) << day.Text();
            ASSERT_FALSE(Day::Parse((Day{day.year, day.month, day.day + 1}).Text())) << day.Text();
            ASSERT_EQ(next.month, day.month == 12 ? 1 : day.month + 1) << day.Text();
        }
        if (next.year != day.year) {
            const bool leap = day.year % 4 == 0 && (day.year % 100 != 0 || day.year % 400 == 0);
            ASSERT_EQ(daysOfYear, leap ? 366 : 365) << day.year;
            daysOfYear = 0;
        }
        ++daysOfYear;
        day = next;
    }
}

class FixedClock final : public ClockSource {
public:
    explicit FixedClock(const CalendarTime& local) : now_(UTC(RealTime(local))) {}
    RealTime NowUTC() const override { return now_; }

private:
    RealTime now_;
};

struct Expected {
    unsigned code;
    const char* word;
    std::uint32_t value;
    Unit unit;
    bool debugMode = false;
    std::optional<std::uint32_t> low = std::nullopt;
    std::optional<std::uint32_t> high = std::nullopt;
};

// Records written by the plug-in's own writer, and by its counter functions where a unit
// test can call them, read back from the file where the writer put it.
TEST(JournalReader, ReadsBackWhatThePlugInWrites)
{
    TestRegistry registry;
    TempFolder folder;
    const FixedClock clock(CalendarTime{2026, 12, 8, 10, 0, 0, 250, 2});
    const ScopedClock useClock(clock);
    // A "*" in "LogDir" gives each day a folder of its own: the reader looks there too.
    const std::string logDir = folder.File("journal*");
    RegKey(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll)["LogDir"] = logDir;
    DispenserLogHandler::Release();
    {
        const auto logs = DispenserLogHandler::Instance();
        DispenserControl::Settings store(true);
        DispenserControl::SetCassetteCount(store, 1, 100, *logs);
        DispenserControl::SetRejectCount(store, 0, *logs);
        // The scenarios' records in their own words.
        logs->WriteRecord(EventPending, "PENDING", 3, "кассета #2: отправляется команда на выдачу 3 шт.");
        logs->WriteRecord(EventDispensed, "DISPENSED", 3, "выдано купюр из кассеты #1: 3 шт.");
        logs->WriteRecord(EventCount, "COUNT", 97, "предполагаемое количество купюр в кассете #1: 97 шт.");
        logs->WriteRecord(EventCount, "COUNT", 0, "предполагаемое количество купюр в кассете #2 диспенсера: 0 шт.");
        logs->WriteRecord(EventCount, "COUNT", 96, "предполагаемое количество купюр в кассете диспенсера: 96 шт.");
        logs->WriteRecord(EventReject, "REJECT", 1, "диспенсер забраковал купюр: 1 шт.");
        logs->WriteRecord(EventError, "ERROR", 22, "Ошибка устройства, код 22 (16H).");
        logs->WriteRecord(EventAbort, "ABORT", 2, "Кассета #1: выдача купюр прервана, не выдано купюр: 2 шт.");
        logs->WriteRecord(EventAbort, "ABORT", 1, "кассета #2: выдача купюр прервана, не выдано купюр: 1 шт.");
        // Quoted errors that name a cassette or copy the record's own words: the
        // record's own wording decides.
        logs->WriteRecord(EventFailure, "FAILURE", 2,
                          "ошибка: \"Устройство не поддерживает кассету #2\"; не выдано купюр из кассеты #1: 2 шт.");
        logs->WriteRecord(EventFailure, "FAILURE", 1,
                          "ошибка: \"Порт \"COM1\"; не выдано купюр из кассеты #1: 5 шт.\"; не выдано купюр из "
                          "кассеты #2: 1 шт. (отладочный режим)");
        logs->WriteRecord(EventUnknown, "UNKNOWN", 3,
                          "кассета #2: результат выдачи неизвестен, купюры могли быть выданы: 3 шт.; ошибка: "
                          "\"устройство сообщило о выдаче из кассеты #1 4 шт. при запрошенных 3 шт.\"");
        // A pass in doubt, counted by a technician: the ranges come from the counters.
        DispenserControl::PendingPass pass;
        pass.operation = "Dispense";
        pass.asked[0] = 3;
        ASSERT_TRUE(DispenserControl::WritePendingPass(store, pass));
        DispenserControl::ReconcileReject(store, 2, *logs);
        DispenserControl::ReconcileCassette(store, 1, 90, *logs);
        DispenserLogHandler::Release();
    }

    const std::vector<Expected> expected = {
        {EventOpen, "OPEN", 4, Unit::None},
        {EventCount, "COUNT", 100, Unit::Cassette1},
        {EventCount, "COUNT", 0, Unit::RejectBin},
        {EventPending, "PENDING", 3, Unit::Cassette2},
        {EventDispensed, "DISPENSED", 3, Unit::Cassette1},
        {EventCount, "COUNT", 97, Unit::Cassette1},
        {EventCount, "COUNT", 0, Unit::Cassette2},
        {EventCount, "COUNT", 96, Unit::None},
        {EventReject, "REJECT", 1, Unit::None},
        {EventError, "ERROR", 22, Unit::None},
        {EventAbort, "ABORT", 2, Unit::Cassette1},
        {EventAbort, "ABORT", 1, Unit::Cassette2},
        {EventFailure, "FAILURE", 2, Unit::Cassette1},
        {EventFailure, "FAILURE", 1, Unit::Cassette2, true},
        {EventUnknown, "UNKNOWN", 3, Unit::Cassette2},
        {EventReconciled, "RECONCILED", 2, Unit::RejectBin, false, 0, 3},
        {EventReconciled, "RECONCILED", 90, Unit::Cassette1, false, 97, 100},
        {EventClose, "CLOSE", 4, Unit::None},
    };
    const std::optional<Journal::DayFile> file = Journal::ReadDayFile(logDir, Day{2026, 12, 8});
    ASSERT_TRUE(file);
    EXPECT_EQ(file->file, MakePathSpec(folder.File("journal(2026-12-08)")) + "2026-12-08.txt");
    EXPECT_TRUE(file->problems.empty()) << file->problems.front().reason;
    EXPECT_EQ(file->formatVersion, 4u);
    ASSERT_EQ(file->records.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Journal::Record& record = file->records[i];
        const Expected& want = expected[i];
        SCOPED_TRACE(record.comment);
        EXPECT_EQ(record.line, static_cast<int>(i + 1));
        EXPECT_EQ(record.day, (Day{2026, 12, 8}));
        EXPECT_EQ(record.millisecondOfDay, 36000250);
        EXPECT_EQ(record.code, want.code);
        EXPECT_EQ(record.word, want.word);
        EXPECT_EQ(record.value, want.value);
        EXPECT_EQ(record.unit, want.unit);
        EXPECT_EQ(record.debugMode, want.debugMode);
        EXPECT_EQ(record.expectedLow, want.low);
        EXPECT_EQ(record.expectedHigh, want.high);
        EXPECT_FALSE(record.truncated);
    }
    EXPECT_EQ(file->records[1].comment, "количество купюр в кассете #1 установлено вручную: 100 шт.");
    EXPECT_EQ(file->records.back().comment, "журнал закрыт");

    EXPECT_FALSE(Journal::ReadDayFile(logDir, Day{2026, 12, 9}));
}

// The same record behind each combination of the optional time stamp, category and
// thread tags, with CRLF line ends.
TEST(JournalReader, OptionalLinePrefixesAndCrLf)
{
    const std::string record = "17\tUNKNOWN\t3\t;кассета #1: результат выдачи неизвестен, купюры могли быть выданы: "
                               "3 шт.; ошибка: \"сбой\"";
    const std::vector<std::string> prefixes = {"",
                                               "2026-12-08 23:59:59.999 ",
                                               "INFO  ",
                                               "[   7] ",
                                               "2026-12-08 23:59:59.999 ERROR ",
                                               "2026-12-08 23:59:59.999 INFO  [12345] ",
                                               "OK    [   1] "};
    std::string text;
    for (const std::string& prefix : prefixes)
        text += prefix + record + "\r\n";
    const Journal::DayFile file = Journal::ParseDayFile(text, "day.txt");
    EXPECT_TRUE(file.problems.empty()) << file.problems.front().reason;
    ASSERT_EQ(file.records.size(), prefixes.size());
    for (std::size_t i = 0; i < prefixes.size(); ++i) {
        const Journal::Record& read = file.records[i];
        SCOPED_TRACE(prefixes[i]);
        EXPECT_EQ(read.code, 17u);
        EXPECT_EQ(read.value, 3u);
        EXPECT_EQ(read.unit, Unit::Cassette1);
        EXPECT_EQ(read.comment, record.substr(record.find(';') + 1));
        const bool stamped = prefixes[i].starts_with("2026");
        EXPECT_EQ(read.day, stamped ? std::optional<Day>(Day{2026, 12, 8}) : std::nullopt);
        EXPECT_EQ(read.millisecondOfDay, stamped ? 86399999 : -1);
    }
}

TEST(JournalReader, DamagedLinesAreProblemsWithTheirLineNumbers)
{
    const std::vector<std::string> lines = {
        "2026-12-08 10:00:00.000 INFO  1\tOPEN\t4\t;журнал открыт (формат сообщений: 4)",
        "",
        "10\tCOUNT",
        "1O\tCOUNT\t5",
        "4294967296\tFUTURE\t1",
        "10\tCOUNT\t4294967296\t;количество купюр в кассете #1 установлено вручную: 5 шт.",
        "10\tCOUNT\t-1",
        "10\tCOUNT\t\t;x",
        "4\tCOUNT\t1\t;выдано купюр из кассеты #1: 1 шт.",
        "10\tCOUNT\t1\tкомментарий",
        "10\tCO UNT\t1",
        "2026-02-30 10:00:00.000 INFO  14\tSTART\t0",
        "2026-12-08 24:00:00.000 INFO  14\tSTART\t0",
        "2026-12-08 10:00:00.000INFO  14\tSTART\t0",
        "2026-12-08 10:00:00.000 INFO  [ 12 ] 14\tSTART\t0",
        "99\tFUTURE\t4294967295\t;кассета #1: новое",
        "10\tCOUNT\t5\t;количество купюр в кассете #12 установлено вручную: 5 шт.",
        "16\tPENDING\t5\t;кассета #3: отправляется команда на выдачу 5 шт.",
        "12\tERROR\t1\t;a\xFF b\xC0\xAF",
    };
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    const Journal::DayFile file = Journal::ParseDayFile(text, "2026-12-08.txt");

    std::vector<int> problemLines;
    for (const Journal::Problem& problem : file.problems) {
        EXPECT_EQ(problem.file, "2026-12-08.txt");
        EXPECT_FALSE(problem.reason.empty());
        problemLines.push_back(problem.line);
    }
    EXPECT_EQ(problemLines, (std::vector<int>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    ASSERT_EQ(file.records.size(), 5u);
    EXPECT_EQ(file.records[0].line, 1);
    EXPECT_EQ(file.formatVersion, 4u);
    // A code the reader does not know is kept; no cassette but #1 and #2 exists.
    EXPECT_EQ(file.records[1].line, 16);
    EXPECT_EQ(file.records[1].value, 4294967295u);
    EXPECT_EQ(file.records[1].unit, Unit::None);
    EXPECT_EQ(file.records[2].unit, Unit::None);
    EXPECT_EQ(file.records[3].unit, Unit::None);
    EXPECT_EQ(file.records[4].comment, "a\xEF\xBF\xBD b\xEF\xBF\xBD\xEF\xBF\xBD");
}

// A file cut during a write: its last line is a record when its value is whole.
TEST(JournalReader, LastLineCutShort)
{
    const std::string whole = "4\tDISPENSED\t3\t;выдано купюр из кассеты #1: 3 шт.\n";
    const auto read = [&whole](const std::string& last) { return Journal::ParseDayFile(whole + last, "f"); };

    Journal::DayFile file = read("4\tDISPENSED\t3\t;выдано купюр из кассеты #2: 3 ш");
    ASSERT_EQ(file.records.size(), 2u);
    EXPECT_FALSE(file.records[0].truncated);
    EXPECT_TRUE(file.records[1].truncated);
    EXPECT_EQ(file.records[1].line, 2);
    EXPECT_EQ(file.records[1].unit, Unit::Cassette2);

    // Cut inside a letter, after a quoted error that copies the record's own ending.
    file = read("9\tFAILURE\t3\t;ошибка: \"Порт \"COM1\"; не выдано купюр из кассеты #2: 1 шт.\"; не выдано к\xD1");
    ASSERT_EQ(file.records.size(), 2u);
    EXPECT_TRUE(file.records[1].truncated);
    EXPECT_EQ(file.records[1].unit, Unit::None);
    EXPECT_TRUE(file.records[1].comment.ends_with("не выдано к")) << file.records[1].comment;

    // Only the LF missing: the record is whole.
    file = read("4\tDISPENSED\t3\t;выдано купюр из кассеты #1: 3 шт.\r");
    ASSERT_EQ(file.records.size(), 2u);
    EXPECT_FALSE(file.records[1].truncated);

    for (const char* last : {"4\tDISPENSED\t3", "4\tDISPE", "2026-12-08 10:0"}) {
        file = read(last);
        EXPECT_EQ(file.records.size(), 1u) << last;
        ASSERT_EQ(file.problems.size(), 1u) << last;
        EXPECT_EQ(file.problems[0].line, 2);
    }
}

TEST(JournalReader, AFolderInPlaceOfTheDayFileIsAProblem)
{
    TempFolder folder;
    std::filesystem::create_directory(std::filesystem::path(std::u8string(
        folder.Path().begin(), folder.Path().end())) / "2026-12-08.txt");
    const std::optional<Journal::DayFile> file = Journal::ReadDayFile(folder.Path(), Day{2026, 12, 8});
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->records.empty());
    ASSERT_EQ(file->problems.size(), 1u);
    EXPECT_EQ(file->problems[0].line, 0);
    EXPECT_EQ(file->problems[0].file, folder.File("2026-12-08.txt"));
}

} // namespace
