// AppLog: an application log written from any thread, to a file and to a display.
//
// File lines are UTF-8, one record per line, each written and flushed by one
// system call so records of concurrent writers (threads or processes appending
// to the same file) never interleave. With the options below a line reads
//
//     2026-12-08 05:19:30.123 INFO  [   3] Dispenser Log: ...
//     ^ OptionTimeStamp (local time)  ^ OptionCategory  ^ OptionThread
//
// Line breaks inside a record are written as blanks, so one Write is one line.
//
// A display window is attached with SetClientWindow(window, message): each record
// written after that is queued for it, and the window is sent `message` (posted,
// once until it has taken the queue); on that message the window's own thread
// calls Produce(window), which hands the queued records to the window.
#pragma once

#include "framework/app_log_entry.h"
#include "framework/log_file.h"
#include "framework/real_time.h"
#include "platform_types.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

class AppLog {
public:
    // Record categories.
    enum CharFormat : int {
        Positive = 0, // a positive result
        Warning = 1,
        Error = 2,
        Info = 5,  // general information
        Trace = 6, // detailed trace
    };

    // Option bits (GetOptions / SetOptions).
    enum Options : unsigned {
        OptionTimeStamp = 0x1, // lines begin with the local date and time
        OptionCategory = 0x2,  // then the category's tag
        OptionThread = 0x4,    // then the writing thread's number in the process
    };

    // Records kept for an attached window that has not produced them yet; older ones are dropped.
    static constexpr std::size_t kMaxPendingEntries = 20000;

    AppLog();
    ~AppLog();
    AppLog(const AppLog&) = delete;
    AppLog& operator=(const AppLog&) = delete;

    // Names the file of one local day.
    using DailyPath = std::function<std::string(const CalendarTime& day)>;

    // Binds the log to a file (created on the first record, with missing folders);
    // an empty path unbinds it.
    void SetLogPath(const std::string& path);
    // Binds the log to one file per local day: each record goes to the file that
    // `pathForDay` names for the record's own date. A non-empty `openingRecord` begins
    // every day's file this log opens (written as a record of category Info), starting
    // with today's, which is opened now.
    void SetDailyLogPath(DailyPath pathForDay, const std::string& openingRecord = {});
    // The file records go to now (today's file for a daily log); empty when unbound.
    std::string GetLogPath() const;
    // Whether records go anywhere: a file or an attached window.
    bool HasDestination() const;

    // Called with every record (its category and decorated line) after it was written,
    // on the writer's thread outside the log's lock; null removes the observer. For
    // consoles that follow a log live.
    void SetRecordObserver(std::function<void(int category, const std::string& line)> observer);

    // Called with the text of each reported failure to open or write the file, in
    // addition to the debugging message; runs on the writer's thread outside the log's lock.
    void SetFailureObserver(std::function<void(const std::string&)> observer);

    unsigned GetOptions() const;
    void SetOptions(unsigned options);

    // Appends one printf-style record. Safe from any thread.
    void Write(int category, const char* format, ...) ORVANE_PRINTF(3, 4);
    // Appends one record of plain text (never read as a format). Safe from any thread.
    void WriteText(int category, std::string_view text);

    // Appends one record and puts it on stable storage before returning. False, with
    // `error`, when the log has a file and the record could not be written or synced;
    // true when it was, or when the log has no file.
    bool WriteTextDurably(int category, std::string_view text, std::string& error);

    // Attaches a display window and its notification message; (nullptr, 0) detaches.
    void SetClientWindow(WindowHandle window, unsigned message);
    // Hands the records queued since the last call to the attached window; called on
    // the window's thread when the notification arrives. Another window gets nothing.
    void Produce(WindowHandle window);

    // The tag written for a category: OK, WARN, ERROR, INFO, TRACE, or the number.
    static std::string CategoryTag(int category);

private:
    std::string Decorate(int category, std::string_view text, const CalendarTime& now) const;
    void BindFile(const std::string& path);
    void FollowDate(const CalendarTime& now);
    bool WriteToFile(const std::string& line, std::string* failure = nullptr);
    bool WriteLine(int category, std::string_view text, bool durable, std::string* failure);
    void ReportFailure(const std::string& what);
    void DeliverFailures();

    mutable std::mutex mutex_;
    std::string path_;
    DailyPath daily_;
    std::string openingRecord_;
    int currentDay_ = 0; // year * 10000 + month * 100 + day of the bound daily file
    unsigned options_ = 0;
    LogFile file_;
    bool failureReported_ = false;
    std::vector<std::string> unreported_;
    std::function<void(const std::string&)> failureObserver_;
    std::function<void(int, const std::string&)> recordObserver_;
    WindowHandle window_ = nullptr;
    unsigned message_ = 0;
    std::deque<AppLogEntry> pending_;
    bool notified_ = false;
};

// Platform part: shows records in a window (a rich-edit control on Windows).
void DeliverLogEntries(WindowHandle window, const std::vector<AppLogEntry>& entries);
