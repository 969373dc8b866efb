// The plug-in's two logs, one pair per process:
// - the trace log: every step the plug-in takes, to the file named by "DebugLog"
//   and to a log window when one is attached;
// - the operations log: one tab-separated record per accountable event, to one file
//   per local day, "YYYY-MM-DD.txt" in the folder named by "LogDir".
// Both settings are read once, when the handler is created. A "*" in either path is
// replaced by the date as "(YYYY-MM-DD)"; such a path, and the operations log always,
// follow the date: each record goes to the file of its own local day, and each new
// operations file begins with its OPEN record.
#pragma once

#include "framework/app_log.h"

#include <memory>
#include <string>
#include <string_view>

// Operations-log event codes.
enum DispenserEvent : unsigned {
    EventOpen = 1,
    EventClose = 2,
    EventDispensed = 4,
    EventAbort = 8,
    EventFailure = 9,
    EventCount = 10,
    EventReject = 11,
    EventError = 12,
    EventStart = 14,
    EventStop = 15,
    EventPending = 16,    // a note-moving command is about to be sent (notes asked)
    EventUnknown = 17,    // a pass's outcome is unknown: its notes may have left (notes asked)
    EventReconciled = 18, // a technician's count replaced a counter (notes counted)
};

// The version of the operations-log record format.
constexpr unsigned kRecordFormatVersion = 4;

class DispenserLogHandler {
public:
    // The process's handler, created on the first call (safe from any thread).
    static std::shared_ptr<DispenserLogHandler> Instance();
    // Lets go of the process's handler (module unload); it is destroyed, writing its
    // CLOSE record, when the last holder lets go. The next Instance() creates a new one.
    static void Release();

    virtual ~DispenserLogHandler();
    DispenserLogHandler(const DispenserLogHandler&) = delete;
    DispenserLogHandler& operator=(const DispenserLogHandler&) = delete;

    AppLog& TraceLog() { return trace_; }
    AppLog& OperationsLog() { return operations_; }

    // Writes "code\tword\tvalue" and, with a comment, "\t;comment" as one record of
    // category Info, when the operations log goes anywhere. The comment is text,
    // never a format.
    void WriteRecord(unsigned code, const char* word, unsigned value, std::string_view comment = {});
    // The same record, on stable storage before it returns. False, with `error`, when
    // the operations log has a file and the record could not be written there; true
    // when it was, or when the operations log is switched off.
    bool WriteRecordDurably(unsigned code, const char* word, unsigned value, std::string_view comment,
                            std::string& error);

    // "path" with its first "*" replaced by "(YYYY-MM-DD)" of the given day.
    static std::string SubstituteDate(const std::string& path, const CalendarTime& day);

private:
    DispenserLogHandler();
    static std::string RecordText(unsigned code, const char* word, unsigned value, std::string_view comment);

    AppLog trace_;
    AppLog operations_;
};
