// The operations journal read back: a day file ("YYYY-MM-DD.txt" in "LogDir") parsed into
// typed records, for the cash report and anything else that must account for what the
// dispenser did. A line is "YYYY-MM-DD HH:MM:SS.mmm INFO  code\tWORD\tvalue[\t;comment]"
// (the time stamp, the category and a "[nnnn] " thread tag each only when the log was set
// to write them). A line that cannot be read is reported with its file and line number and
// skipped; nothing in a file's content makes the reader throw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Journal {

// A calendar day, as the journal's file names and time stamps give it.
struct Day {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31

    // "YYYY-MM-DD"; nullopt for anything else or a date that does not exist.
    static std::optional<Day> Parse(std::string_view text);
    std::string Text() const; // "YYYY-MM-DD"
    // Days since 1970-01-01 (negative before), and back, in the proleptic Gregorian
    // calendar; FromSerial takes serials of years an int holds.
    long long Serial() const;
    static Day FromSerial(long long serial);
    Day Next() const { return FromSerial(Serial() + 1); }

    friend bool operator==(const Day&, const Day&) = default;
    friend auto operator<=>(const Day&, const Day&) = default;
};

// The place a record names in its comment.
enum class Unit {
    None,      // no cassette or bin named (OPEN, START, REJECT, a test reject's COUNT, ...)
    Cassette1, // "кассета #1", "кассете #1", "кассеты #1"
    Cassette2,
    RejectBin, // "контейнер(е) \"Reject\""
};

struct Record {
    int line = 0;                     // 1-based line number in its file
    std::optional<Day> day;           // the day the line carries; nullopt without a time stamp
    int millisecondOfDay = -1;        // -1 without a time stamp
    unsigned code = 0;                // DispenserEvent (1 OPEN ... 18 RECONCILED); codes not known are kept
    std::string word;                 // "DISPENSED": ASCII letters, digits, '_'; a known code has its own word
    std::uint32_t value = 0;          // the record's number (notes, a count, a device code, a version)
    std::string comment;              // without its leading ';'; UTF-8 (ill-formed bytes become U+FFFD), no CR
    Unit unit = Unit::None;           // from the comment's own wording (never from an error text it quotes);
                                      // None for codes not known
    bool debugMode = false;           // the comment ends " (отладочный режим)": the operator stood in for the device
    // RECONCILED: the range the counters expected ("ожидалось от A до B шт.").
    std::optional<std::uint32_t> expectedLow;
    std::optional<std::uint32_t> expectedHigh;
    // The file's last line, cut before its line end (a write cut short, or one still
    // going on): its code, word and value are whole, its comment may not be.
    bool truncated = false;
};

struct Problem {
    std::string file;
    int line = 0;       // 1-based; 0 for the file as a whole (ReadDayFile)
    std::string reason; // English, e.g. "no tab-separated code, word and value"
};

struct DayFile {
    std::string file;                     // as given to Parse
    std::vector<Record> records;          // in file order
    std::vector<Problem> problems;        // lines skipped
    std::optional<unsigned> formatVersion; // the value of the first OPEN (or CLOSE) record
};

// Parses one line (without its line end; CRs at its end are ignored). Returns nullopt and
// sets `reason` for a line it cannot read (also one holding a line feed); clears it for
// a record. An empty line is not a record (nullopt, empty reason). `line` of the record is 0.
std::optional<Record> ParseLine(std::string_view line, std::string& reason);

// Parses a whole day file's text (LF or CRLF line ends, an optional UTF-8 byte order mark);
// `file` names it in problems. Empty lines are skipped silently. A last line without its
// line end is a record, marked `truncated`, when a tab follows its value; otherwise a
// problem. Never throws for content; linear in the text's length.
DayFile ParseDayFile(std::string_view text, const std::string& file);

// Reads "<folder>/YYYY-MM-DD.txt" of `day`, the path the journal writes (a "*" in `folder`
// becomes "(YYYY-MM-DD)", as in "LogDir"); its problems name that path. nullopt when
// there is no such file. A file that exists but cannot be read (or is no regular file)
// is a DayFile holding one problem.
std::optional<DayFile> ReadDayFile(const std::string& folder, const Day& day);

} // namespace Journal
