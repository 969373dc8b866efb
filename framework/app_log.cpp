#include "framework/app_log.h"

#include "framework/messages.h"
#include "framework/paths.h"
#include "framework/real_time.h"
#include "framework/text_format.h"
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
    std::lock_guard lock(mutex_);
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

std::string AppLog::GetLogPath() const
{
    std::lock_guard lock(mutex_);
    return path_;
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

std::string AppLog::Decorate(int category, std::string_view text) const
{
    std::string line;
    if ((options_ & OptionTimeStamp) != 0) {
        const CalendarTime now = Now().Calendar();
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
    WindowHandle notify = nullptr;
    unsigned message = 0;
    {
        std::lock_guard lock(mutex_);
        const std::string line = Decorate(category, text);
        if (!path_.empty())
            WriteToFile(line);
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
}

void AppLog::WriteToFile(const std::string& line)
{
    std::string error;
    if (!file_.IsOpen() && !file_.Open(path_, error)) {
        ReportFailure(FormatText("AppLog: cannot open the log file \"%s\": %s", path_.c_str(), error.c_str()));
        return;
    }
    if (!file_.Append(line + LogFile::LineEnd(), error)) {
        // Closed so that the next record opens the file afresh (the disk may come back).
        file_.Close();
        ReportFailure(FormatText("AppLog: cannot write the log file \"%s\": %s", path_.c_str(), error.c_str()));
        return;
    }
    failureReported_ = false;
}

void AppLog::ReportFailure(const std::string& what)
{
    // Once per failure: a log that cannot be written must not flood the debugger.
    if (failureReported_)
        return;
    failureReported_ = true;
    DebugMessage(what);
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
