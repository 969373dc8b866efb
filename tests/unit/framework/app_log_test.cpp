#include "framework/app_log.h"

#include "framework/messages.h"
#include "framework/real_time.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

namespace {

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

// Collects debugging messages for the life of the object.
class DebugMessages {
public:
    DebugMessages()
    {
        previous_ = SetDebugMessageHook([this](const std::string& text) {
            std::lock_guard lock(mutex_);
            messages_.push_back(text);
        });
    }
    ~DebugMessages() { SetDebugMessageHook(previous_); }

    std::vector<std::string> Messages() const
    {
        std::lock_guard lock(mutex_);
        return messages_;
    }

private:
    DebugMessageHook previous_;
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
};

class FixedClock : public ClockSource {
public:
    RealTime NowUTC() const override { return UTC(RealTime(CalendarTime{2026, 12, 8, 5, 19, 30, 123, 2})); }
};

TEST(AppLog, PlainLinesWithoutOptions)
{
    TempFolder folder;
    AppLog log;
    log.SetLogPath(folder.File("trace.txt"));
    log.Write(AppLog::Info, "Dispenser Log: Orvane Tallivox, версия %s", "1.1.0.6");
    log.WriteText(AppLog::Trace, "два\r\nряда\nи\rещё");
    EXPECT_EQ(Lines(ReadFileBytes(folder.File("trace.txt"))),
              (std::vector<std::string>{"Dispenser Log: Orvane Tallivox, версия 1.1.0.6", "два ряда и ещё"}));
}

TEST(AppLog, DecoratedLineLayout)
{
    TempFolder folder;
    const FixedClock clock;
    const ScopedClock useClock(clock);
    AppLog log;
    log.SetOptions(log.GetOptions() | AppLog::OptionTimeStamp | AppLog::OptionCategory);
    log.SetLogPath(folder.File("log.txt"));
    log.Write(AppLog::Error, "%u\t%s", 12u, "ERROR");
    log.Write(AppLog::Positive, "готово");
    log.Write(9, "?");
    EXPECT_EQ(Lines(ReadFileBytes(folder.File("log.txt"))),
              (std::vector<std::string>{"2026-12-08 05:19:30.123 ERROR 12\tERROR",
                                        "2026-12-08 05:19:30.123 OK    готово", "2026-12-08 05:19:30.123 C9    ?"}));
    log.SetOptions(AppLog::OptionThread);
    log.Write(AppLog::Info, "x");
    unsigned thread = 0;
    char rest[8] = {};
    EXPECT_EQ(std::sscanf(Lines(ReadFileBytes(folder.File("log.txt"))).back().c_str(), "[%u] %7s", &thread, rest), 2);
    EXPECT_GT(thread, 0u);
    EXPECT_STREQ(rest, "x");
}

TEST(AppLog, PlainTextIsNeverAFormat)
{
    TempFolder folder;
    AppLog log;
    log.SetLogPath(folder.File("log.txt"));
    log.WriteText(AppLog::Info, "%s %n %x 100%");
    EXPECT_EQ(Lines(ReadFileBytes(folder.File("log.txt"))), std::vector<std::string>{"%s %n %x 100%"});
}

TEST(AppLog, CreatesMissingFoldersAndAppends)
{
    TempFolder folder;
    const std::string path = folder.File("Logs") + "/Dispenser/DebugLog.txt";
    {
        AppLog log;
        log.SetLogPath(path);
        log.Write(AppLog::Info, "first");
    }
    AppLog log;
    log.SetLogPath(path);
    EXPECT_EQ(log.GetLogPath(), path);
    log.Write(AppLog::Info, "second");
    EXPECT_EQ(Lines(ReadFileBytes(path)), (std::vector<std::string>{"first", "second"}));
}

TEST(AppLog, WithoutAFileNothingIsWritten)
{
    TempFolder folder;
    AppLog log;
    log.Write(AppLog::Info, "nowhere");
    log.SetLogPath(folder.File("a.txt"));
    log.SetLogPath("");
    log.Write(AppLog::Info, "still nowhere");
    EXPECT_FALSE(ReadFileBytes(folder.File("a.txt")).size() > 0);
}

TEST(AppLog, EightThreadsNeverInterleaveALine)
{
    TempFolder folder;
    AppLog log;
    log.SetOptions(AppLog::OptionTimeStamp | AppLog::OptionCategory);
    log.SetLogPath(folder.File("threads.txt"));
    constexpr int kThreads = 8;
    constexpr int kLines = 400;
    const std::string payload(120, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                log.Write(AppLog::Trace, "writer %d line %d %s конец", t, i, payload.c_str());
        });
    }
    for (auto& thread : threads)
        thread.join();

    std::map<int, int> nextLine;
    const auto lines = Lines(ReadFileBytes(folder.File("threads.txt")));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLines));
    const std::string ending = " " + payload + " конец";
    for (const std::string& line : lines) {
        int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0, writer = -1, number = -1;
        int consumed = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%4d-%2d-%2d %2d:%2d:%2d.%3d TRACE writer %d line %d%n", &year, &month, &day,
                              &hour, &minute, &second, &millisecond, &writer, &number, &consumed),
                  9)
            << line;
        ASSERT_EQ(line.substr(static_cast<std::size_t>(consumed)), ending) << line;
        // Each writer's lines arrive whole and in its own order.
        EXPECT_EQ(number, nextLine[writer]++);
    }
}

TEST(AppLog, UnwritableFileIsReportedOnceAndWritingResumes)
{
    TempFolder folder;
    DebugMessages debug;
    AppLog log;
    // A file where a folder should be: neither the folder nor the log can be made.
    const std::string path = folder.File("blocked");
    WriteFileBytes(path, "not a folder");
    log.SetLogPath(path + "/inner/log.txt");
    log.Write(AppLog::Info, "lost 1");
    log.Write(AppLog::Info, "lost 2");
    log.Write(AppLog::Info, "lost 3");
    const auto reported = debug.Messages();
    ASSERT_GE(reported.size(), 1u);
    EXPECT_LE(reported.size(), 2u); // the folder once, the file once
    EXPECT_NE(reported.back().find("inner"), std::string::npos) << reported.back();

    // Once the file can be written, records reach it again.
    log.SetLogPath(folder.File("ok.txt"));
    log.Write(AppLog::Info, "back");
    EXPECT_EQ(Lines(ReadFileBytes(folder.File("ok.txt"))), std::vector<std::string>{"back"});
    EXPECT_EQ(debug.Messages().size(), reported.size());
}

} // namespace
