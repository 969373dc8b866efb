#include "Plugin/Dispenser/dispenser_log.h"

#include "Plugin/Dispenser/settings.h"
#include "framework/messages.h"
#include "framework/registry.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_registry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// A clock the test moves by hand, set in local time.
class ManualClock : public ClockSource {
public:
    void SetLocal(const CalendarTime& local) { utcMilliseconds_ = UTC(RealTime(local)).UnixMilliseconds(); }
    RealTime NowUTC() const override { return RealTime::FromUnixMilliseconds(utcMilliseconds_.load()); }

private:
    std::atomic<std::int64_t> utcMilliseconds_{0};
};

CalendarTime LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    return CalendarTime{year, month, day, hour, minute, second, 0, 0};
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The record texts of a log file: each line without its date, time and category.
std::vector<std::string> Records(const std::string& path)
{
    std::vector<std::string> records;
    for (const std::string& line : Lines(ReadFileBytes(path))) {
        // "2026-12-08 05:19:30.123 INFO  text"
        EXPECT_GT(line.size(), 30u) << line;
        EXPECT_EQ(line.substr(24, 6), "INFO  ") << line;
        records.push_back(line.substr(30));
    }
    return records;
}

std::vector<std::string> Fields(const std::string& record)
{
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = record.find('\t', start);
        fields.push_back(record.substr(start, tab - start));
        if (tab == std::string::npos)
            return fields;
        start = tab + 1;
    }
}

const std::string kOpen = "1\tOPEN\t4\t;журнал открыт (формат сообщений: 4)";
const std::string kClose = "2\tCLOSE\t4\t;журнал закрыт";

class DispenserLogTest : public ::testing::Test {
protected:
    DispenserLogTest() : useClock_(clock_)
    {
        clock_.SetLocal(LocalTime(2026, 12, 8, 10, 0, 0));
        DispenserLogHandler::Release();
    }
    ~DispenserLogTest() override { DispenserLogHandler::Release(); }

    void Configure(const std::string& debugLog, const std::string& logDir)
    {
        RegKey key(RegistryRoot::LocalMachine, DispenserControl::kSettingsKey, true, RegAccessAll);
        key["DebugLog"] = debugLog;
        key["LogDir"] = logDir;
    }

    std::string JournalFolder() const { return folder_.File("Logs") + "/Dispenser"; }
    std::string Journal(const char* day) const { return JournalFolder() + "/" + day + ".txt"; }

    TestRegistry registry_;
    TempFolder folder_;
    ManualClock clock_;
    ScopedClock useClock_;
};

TEST_F(DispenserLogTest, OpenAndCloseRecordsOfAnIdleDay)
{
    Configure("", JournalFolder());
    DispenserLogHandler::Instance();
    EXPECT_EQ(Records(Journal("2026-12-08")), std::vector<std::string>{kOpen});
    DispenserLogHandler::Release();
    EXPECT_EQ(Records(Journal("2026-12-08")), (std::vector<std::string>{kOpen, kClose}));
}

TEST_F(DispenserLogTest, RecordFieldsAndCommentsAsText)
{
    Configure("", JournalFolder());
    const auto handler = DispenserLogHandler::Instance();
    handler->WriteRecord(EventStart, "START", 0, "");
    handler->WriteRecord(EventReject, "REJECT", 3, "диспенсер забраковал купюр: 3 шт.");
    handler->WriteRecord(EventFailure, "FAILURE", 2, "ошибка: \"%s%n\"; не выдано купюр из кассеты #1: 2 шт.");
    // Outside text with a tab and line breaks stays one comment on one line.
    handler->WriteRecord(EventError, "ERROR", 1, "Порт 'COM1\t7\r\n8\n9' занят");
    const auto records = Records(Journal("2026-12-08"));
    ASSERT_EQ(records.size(), 5u);
    EXPECT_EQ(Fields(records[4]), (std::vector<std::string>{"12", "ERROR", "1", ";Порт 'COM1 7  8 9' занят"}));
    // Without a comment: exactly three fields, no trailing TAB.
    EXPECT_EQ(records[1], "14\tSTART\t0");
    EXPECT_EQ(Fields(records[1]).size(), 3u);
    EXPECT_EQ(Fields(records[2]), (std::vector<std::string>{"11", "REJECT", "3", ";диспенсер забраковал купюр: 3 шт."}));
    EXPECT_EQ(records[3], "9\tFAILURE\t2\t;ошибка: \"%s%n\"; не выдано купюр из кассеты #1: 2 шт.");
}

TEST_F(DispenserLogTest, NoLogDirWritesNothingAndCreatesNothing)
{
    Configure("", "");
    const auto handler = DispenserLogHandler::Instance();
    handler->WriteRecord(EventCount, "COUNT", 10, "предполагаемое количество купюр в кассете #1: 10 шт.");
    EXPECT_FALSE(handler->OperationsLog().HasDestination());
    DispenserLogHandler::Release();
    EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::path(std::u8string(folder_.Path().begin(), folder_.Path().end()))));
}

TEST_F(DispenserLogTest, TraceLogVersionAndClosingLines)
{
    const std::string trace = folder_.File("DebugLog.txt");
    Configure(trace, "");
    DispenserLogHandler::Instance()->TraceLog().Write(AppLog::Trace, "DispenserPort: открытие порта");
    DispenserLogHandler::Release();
    const auto lines = Lines(ReadFileBytes(trace));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("INFO  Dispenser Log: Orvane Tallivox, версия 1.1.0.6"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("TRACE DispenserPort: открытие порта"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("INFO  Dispenser Log: журнал закрыт"), std::string::npos) << lines[2];
}

TEST_F(DispenserLogTest, JournalFollowsTheDateAcrossMidnight)
{
    Configure(folder_.File("DebugLog *.txt"), JournalFolder());
    clock_.SetLocal(LocalTime(2026, 12, 31, 23, 59, 58));
    auto handler = DispenserLogHandler::Instance();
    handler->WriteRecord(EventDispensed, "DISPENSED", 3, "выдано купюр из кассеты #1: 3 шт.");
    handler->TraceLog().Write(AppLog::Info, "до полуночи");
    clock_.SetLocal(LocalTime(2027, 1, 1, 0, 0, 1));
    handler->WriteRecord(EventDispensed, "DISPENSED", 2, "выдано купюр из кассеты #1: 2 шт.");
    handler->TraceLog().Write(AppLog::Info, "после полуночи");
    handler.reset();
    DispenserLogHandler::Release();

    EXPECT_EQ(Records(Journal("2026-12-31")),
              (std::vector<std::string>{kOpen, "4\tDISPENSED\t3\t;выдано купюр из кассеты #1: 3 шт."}));
    // The new day's file begins with its OPEN record; CLOSE stays the record of the handler's end.
    EXPECT_EQ(Records(Journal("2027-01-01")),
              (std::vector<std::string>{kOpen, "4\tDISPENSED\t2\t;выдано купюр из кассеты #1: 2 шт.", kClose}));

    const std::string before = ReadFileBytes(folder_.File("DebugLog (2026-12-31).txt"));
    const std::string after = ReadFileBytes(folder_.File("DebugLog (2027-01-01).txt"));
    EXPECT_NE(before.find("до полуночи"), std::string::npos);
    EXPECT_EQ(before.find("после полуночи"), std::string::npos);
    EXPECT_NE(after.find("после полуночи"), std::string::npos);
    EXPECT_NE(after.find("журнал закрыт"), std::string::npos);
}

TEST_F(DispenserLogTest, TraceFileWithoutStarGrowsAcrossDays)
{
    const std::string trace = folder_.File("DebugLog.txt");
    Configure(trace, "");
    const auto handler = DispenserLogHandler::Instance();
    handler->TraceLog().Write(AppLog::Info, "первый день");
    clock_.SetLocal(LocalTime(2026, 12, 9, 10, 0, 0));
    handler->TraceLog().Write(AppLog::Info, "второй день");
    const auto lines = Lines(ReadFileBytes(trace));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 10), "2026-12-08");
    EXPECT_EQ(lines[2].substr(0, 10), "2026-12-09");
}

TEST_F(DispenserLogTest, UnwritableJournalIsReportedOnceInTheTraceLog)
{
    std::vector<std::string> debug;
    std::mutex debugMutex;
    const auto previous = SetDebugMessageHook([&](const std::string& text) {
        std::lock_guard lock(debugMutex);
        debug.push_back(text);
    });
    // A file stands where the journal folder should be.
    WriteFileBytes(folder_.File("blocked"), "x");
    const std::string trace = folder_.File("DebugLog.txt");
    Configure(trace, folder_.File("blocked") + "/Dispenser");
    const auto handler = DispenserLogHandler::Instance();
    for (int i = 0; i < 3; ++i)
        handler->WriteRecord(EventReject, "REJECT", 1, "диспенсер забраковал купюр: 1 шт.");
    SetDebugMessageHook(previous);
    EXPECT_FALSE(debug.empty());
    EXPECT_LE(debug.size(), 2u); // the folder once, the file once
    const std::string traceText = ReadFileBytes(trace);
    EXPECT_NE(traceText.find("ERROR Dispenser Log: AppLog: cannot"), std::string::npos) << traceText;
}

TEST_F(DispenserLogTest, ConcurrentWritersAndOneHandler)
{
    Configure("", JournalFolder());
    constexpr int kThreads = 8;
    constexpr int kRecords = 50;
    std::vector<std::thread> threads;
    std::vector<DispenserLogHandler*> seen(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&seen, t] {
            const auto handler = DispenserLogHandler::Instance();
            seen[t] = handler.get();
            for (int i = 0; i < kRecords; ++i)
                handler->WriteRecord(EventCount, "COUNT", static_cast<unsigned>(t * 1000 + i),
                                     "предполагаемое количество купюр в кассете #1: 0 шт.");
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (DispenserLogHandler* handler : seen)
        EXPECT_EQ(handler, seen[0]);

    const auto records = Records(Journal("2026-12-08"));
    ASSERT_EQ(records.size(), 1u + kThreads * kRecords);
    EXPECT_EQ(records[0], kOpen); // one handler, one OPEN
    std::vector<int> next(kThreads, 0);
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto fields = Fields(records[i]);
        ASSERT_EQ(fields.size(), 4u) << records[i];
        const int value = std::stoi(fields[2]);
        EXPECT_EQ(value % 1000, next[value / 1000]++);
    }
}

TEST(DispenserLogDate, StarBecomesTheDateInParentheses)
{
    const CalendarTime day{2013, 5, 31, 0, 0, 0, 0, 5};
    EXPECT_EQ(DispenserLogHandler::SubstituteDate("C:\\Logs\\DebugLog *.txt", day),
              "C:\\Logs\\DebugLog (2013-05-31).txt");
    EXPECT_EQ(DispenserLogHandler::SubstituteDate("a*b*", day), "a(2013-05-31)b*"); // the first star only
    EXPECT_EQ(DispenserLogHandler::SubstituteDate("plain.txt", day), "plain.txt");
}

} // namespace
