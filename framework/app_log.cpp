#include "framework/app_log.h"

#include "framework/messages.h"
#include "framework/paths.h"
#include "framework/real_time.h"
#include "framework/text_format.h"
#include "framework/usage_counters.h"
#include "framework/window_messages.h"

#include <atomic>
#include <cstdarg>
#include <vector>

namespace {

// A small number per thread, stable for the thread's life, readable in a log.
unsigned ThreadNumber()
{
    static std::atomic<unsigned> next{1};
    thread_local const unsigned number = next.fetch_add(1);
    return number;
}

std::string OneLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // CR LF becomes one blank
        line.push_back(text[i] == '\r' || text[i] == '\n' ? ' ' : text[i]);
    }
    return line;
}

} // namespace

AppLog::AppLog() = default;

AppLog::~AppLog() = default;

std::string AppLog::CategoryTag(int category)
{
    switch (category) {
    case Positive:
        return "OK";
    case Warning:
        return "WARN";
    case Error:
        return "ERROR";
    case Info:
        return "INFO";
    case Trace:
        return "TRACE";
    default:
        return FormatText("C%d", category);
    }
}

void AppLog::SetLogPath(const std::string& path)
{
    {
        std::lock_guard lock(mutex_);
        daily_ = nullptr;
        openingRecord_.clear();
        BindFile(path);
    }
    DeliverFailures();
}

void AppLog::SetDailyLogPath(DailyPath pathForDay, const std::string& openingRecord)
{
    {
        std::lock_guard lock(mutex_);
        daily_ = std::move(pathForDay);
        openingRecord_ = openingRecord;
        currentDay_ = 0;
        FollowDate(Now().Calendar());
    }
    DeliverFailures();
}

std::string AppLog::GetLogPath() const
{
    std::lock_guard lock(mutex_);
    return path_;
}

bool AppLog::HasDestination() const
{
    std::lock_guard lock(mutex_);
    return !path_.empty() || window_ != nullptr;
}

void AppLog::SetRecordObserver(std::function<void(int category, const std::string& line)> observer)
{
    std::lock_guard lock(mutex_);
    recordObserver_ = std::move(observer);
}

void AppLog::SetFailureObserver(std::function<void(const std::string&)> observer)
{
    std::lock_guard lock(mutex_);
    failureObserver_ = std::move(observer);
}

// Called under the lock.
void AppLog::BindFile(const std::string& path)
{
    file_.Close();
    path_ = path;
    failureReported_ = false;
    if (path_.empty())
        return;
    const std::string directory = GetParentPath(path_);
    std::string error;
    if (!directory.empty() && !CreateDirectories(directory, error))
        ReportFailure(FormatText("AppLog: cannot create the folder \"%s\": %s", directory.c_str(), error.c_str()));
}

// Called under the lock: a daily log moves to the file of the record's own date.
void AppLog::FollowDate(const CalendarTime& now)
{
    if (!daily_)
        return;
    const int day = now.year * 10000 + now.month * 100 + now.day;
    if (day == currentDay_)
        return;
    currentDay_ = day;
    BindFile(daily_(now));
    if (!openingRecord_.empty() && !path_.empty())
        WriteToFile(Decorate(Info, openingRecord_, now));
}

unsigned AppLog::GetOptions() const
{
    std::lock_guard lock(mutex_);
    return options_;
}

void AppLog::SetOptions(unsigned options)
{
    std::lock_guard lock(mutex_);
    options_ = options;
}

void AppLog::Write(int category, const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    const std::string text = FormatTextV(format, arguments);
    va_end(arguments);
    WriteText(category, text);
}

std::string AppLog::Decorate(int category, std::string_view text, const CalendarTime& now) const
{
    std::string line;
    if ((options_ & OptionTimeStamp) != 0) {
        line += FormatText("%04d-%02d-%02d %02d:%02d:%02d.%03d ", now.year, now.month, now.day, now.hour, now.minute,
                           now.second, now.millisecond);
    }
    if ((options_ & OptionCategory) != 0)
        line += FormatText("%-5s ", CategoryTag(category).c_str());
    if ((options_ & OptionThread) != 0)
        line += FormatText("[%4u] ", ThreadNumber());
    line += OneLine(text);
    return line;
}

void AppLog::WriteText(int category, std::string_view text)
{
    static_cast<void>(WriteLine(category, text, false, nullptr));
}

bool AppLog::WriteTextDurably(int category, std::string_view text, std::string& error)
{
    return WriteLine(category, text, true, &error);
}

bool AppLog::WriteLine(int category, std::string_view text, bool durable, std::string* failure)
{
    WindowHandle notify = nullptr;
    unsigned message = 0;
    std::string line;
    std::function<void(int, const std::string&)> observer;
    bool written = true;
    {
        std::lock_guard lock(mutex_);
        const CalendarTime now = Now().Calendar();
        FollowDate(now);
        line = Decorate(category, text, now);
        observer = recordObserver_;
        if (!path_.empty()) {
            CountLogLine();
            written = WriteToFile(line, failure);
            std::string error;
            if (written && durable && !file_.Sync(error)) {
                file_.Close();
                ReportFailure(FormatText("AppLog: cannot sync the log file \"%s\": %s", path_.c_str(), error.c_str()));
                if (failure != nullptr)
                    *failure = FormatText("%s: %s", path_.c_str(), error.c_str());
                written = false;
            }
        }
        if (window_ != nullptr) {
            if (pending_.size() >= kMaxPendingEntries)
                pending_.pop_front();
            pending_.push_back(AppLogEntry{category, line});
            if (!notified_) {
                notified_ = true;
                notify = window_;
                message = message_;
            }
        }
    }
    // Posted outside the lock: the window's thread may be producing right now.
    if (notify != nullptr)
        PostWindowMessage(notify, message, 0, 0);
    if (observer)
        observer(category, line);
    DeliverFailures();
    return written;
}

// `failure`, when given, receives the text of a failure.
bool AppLog::WriteToFile(const std::string& line, std::string* failure)
{
    std::string error;
    if (!file_.IsOpen() && !file_.Open(path_, error)) {
        ReportFailure(FormatText("AppLog: cannot open the log file \"%s\": %s", path_.c_str(), error.c_str()));
        if (failure != nullptr)
            *failure = FormatText("%s: %s", path_.c_str(), error.c_str());
        return false;
    }
    if (!file_.Append(line + LogFile::LineEnd(), error)) {
        // Closed so that the next record opens the file afresh (the disk may come back).
        file_.Close();
        ReportFailure(FormatText("AppLog: cannot write the log file \"%s\": %s", path_.c_str(), error.c_str()));
        if (failure != nullptr)
            *failure = FormatText("%s: %s", path_.c_str(), error.c_str());
        return false;
    }
    failureReported_ = false;
    return true;
}

// Called under the lock; the report itself is made by DeliverFailures.
void AppLog::ReportFailure(const std::string& what)
{
    // Once per failure: a log that cannot be written must not flood the debugger.
    if (failureReported_)
        return;
    failureReported_ = true;
    unreported_.push_back(what);
}

// Outside the lock: an observer may write to another log, or even to this one.
void AppLog::DeliverFailures()
{
    std::vector<std::string> failures;
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard lock(mutex_);
        failures.swap(unreported_);
        observer = failureObserver_;
    }
    for (const std::string& failure : failures) {
        DebugMessage(failure);
        if (observer)
            observer(failure);
    }
}

void AppLog::SetClientWindow(WindowHandle window, unsigned message)
{
    std::lock_guard lock(mutex_);
    window_ = window;
    message_ = message;
    pending_.clear();
    notified_ = false;
}

void AppLog::Produce(WindowHandle window)
{
    std::vector<AppLogEntry> entries;
    {
        std::lock_guard lock(mutex_);
        if (window == nullptr || window != window_)
            return;
        entries.assign(pending_.begin(), pending_.end());
        pending_.clear();
        notified_ = false;
    }
    if (!entries.empty())
        DeliverLogEntries(window, entries);
}
