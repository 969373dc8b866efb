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
#include "platform_types.h"

#include <cstddef>
#include <deque>
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

    // Binds the log to a file (created on the first record, with missing folders);
    // an empty path unbinds it.
    void SetLogPath(const std::string& path);
    std::string GetLogPath() const;

    unsigned GetOptions() const;
    void SetOptions(unsigned options);

    // Appends one printf-style record. Safe from any thread.
    void Write(int category, const char* format, ...) ORVANE_PRINTF(3, 4);
    // Appends one record of plain text (never read as a format). Safe from any thread.
    void WriteText(int category, std::string_view text);

    // Attaches a display window and its notification message; (nullptr, 0) detaches.
    void SetClientWindow(WindowHandle window, unsigned message);
    // Hands the records queued since the last call to the attached window; called on
    // the window's thread when the notification arrives. Another window gets nothing.
    void Produce(WindowHandle window);

    // The tag written for a category: OK, WARN, ERROR, INFO, TRACE, or the number.
    static std::string CategoryTag(int category);

private:
    std::string Decorate(int category, std::string_view text) const;
    void WriteToFile(const std::string& line);
    void ReportFailure(const std::string& what);

    mutable std::mutex mutex_;
    std::string path_;
    unsigned options_ = 0;
    LogFile file_;
    bool failureReported_ = false;
    WindowHandle window_ = nullptr;
    unsigned message_ = 0;
    std::deque<AppLogEntry> pending_;
    bool notified_ = false;
};

// Platform part: shows records in a window (a rich-edit control on Windows).
void DeliverLogEntries(WindowHandle window, const std::vector<AppLogEntry>& entries);
