#include "Plugin/Dispenser/journal_reader.h"

#include "Plugin/Dispenser/dispenser_log.h"
#include "framework/paths.h"
#include "framework/real_time.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace Journal {

namespace {

constexpr std::string_view kDebugSuffix = " (отладочный режим)";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD"; // U+FFFD

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text)
{
    for (const char c : text) {
        if (!IsDigit(c))
            return false;
    }
    return !text.empty();
}

// A plain decimal number of at most 32 bits: digits only, no sign, no blanks.
std::optional<std::uint32_t> ToUint32(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

// `count` digits at `at`; -1 when any is not a digit.
int Digits(std::string_view text, std::size_t at, std::size_t count)
{
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || !IsDigit(text[i]))
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool IsLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Reads a comment's own wording piece by piece: each step either matches and moves on
// or fails and leaves the rest as it was.
class Wording {
public:
    explicit Wording(std::string_view text) : rest_(text) {}

    bool Take(std::string_view literal)
    {
        if (rest_.substr(0, literal.size()) != literal)
            return false;
        rest_.remove_prefix(literal.size());
        return true;
    }
    // A cassette's number, 1 or 2, and nothing more ("#12" names no cassette).
    std::optional<Unit> TakeCassette()
    {
        if (rest_.size() < 1 || (rest_[0] != '1' && rest_[0] != '2') || (rest_.size() > 1 && IsDigit(rest_[1])))
            return std::nullopt;
        const Unit unit = rest_[0] == '1' ? Unit::Cassette1 : Unit::Cassette2;
        rest_.remove_prefix(1);
        return unit;
    }
    std::optional<std::uint32_t> TakeNumber()
    {
        std::size_t length = 0;
        while (length < rest_.size() && IsDigit(rest_[length]))
            ++length;
        const std::optional<std::uint32_t> number = ToUint32(rest_.substr(0, length));
        if (number)
            rest_.remove_prefix(length);
        return number;
    }
    bool AtEnd() const { return rest_.empty(); }

private:
    std::string_view rest_;
};

// "<lead>N<follow>" at the start of the comment: the cassette N.
Unit CassetteLeading(std::string_view comment, std::string_view lead, std::string_view follow)
{
    Wording wording(comment);
    if (!wording.Take(lead))
        return Unit::None;
    const std::optional<Unit> unit = wording.TakeCassette();
    return unit && wording.Take(follow) ? *unit : Unit::None;
}

// DISPENSED: "выдано купюр из кассеты #1: 3 шт."
Unit DispensedUnit(std::string_view comment)
{
    return CassetteLeading(comment, "выдано купюр из кассеты #", ":");
}

// ABORT: "Кассета #1: выдача купюр прервана, ..." (the first cassette's text is capitalised).
Unit AbortUnit(std::string_view comment)
{
    const Unit unit = CassetteLeading(comment, "Кассета #", ":");
    return unit != Unit::None ? unit : CassetteLeading(comment, "кассета #", ":");
}

// FAILURE: "ошибка: \"<error>\"; не выдано купюр из кассеты #1: 2 шт." (without the
// debug mode's ending). The error may say anything, so the cassette is read from the
// record's own end, after the closing quote.
Unit FailureUnit(std::string_view comment)
{
    constexpr std::string_view kOpening = "ошибка: \"";
    constexpr std::string_view kClosing = "\"; не выдано купюр из кассеты #";
    const std::size_t at = comment.rfind(kClosing);
    if (at == std::string_view::npos || at < kOpening.size() || comment.substr(0, kOpening.size()) != kOpening)
        return Unit::None;
    Wording wording(comment.substr(at + kClosing.size()));
    const std::optional<Unit> unit = wording.TakeCassette();
    if (!unit || !wording.Take(": ") || !wording.TakeNumber() || !wording.Take(" шт.") || !wording.AtEnd())
        return Unit::None;
    return *unit;
}

// COUNT: a cassette's count set by hand or left by a pass ("количество купюр в кассете #1
// установлено вручную", "предполагаемое количество купюр в кассете #1: ", "... #2
// диспенсера: ") or the reject bin's set by hand. A test reject's names no cassette.
Unit CountUnit(std::string_view comment)
{
    Wording wording(comment);
    wording.Take("предполагаемое ");
    if (!wording.Take("количество купюр в "))
        return Unit::None;
    if (wording.Take("контейнере \"Reject\" "))
        return Unit::RejectBin;
    if (!wording.Take("кассете #"))
        return Unit::None;
    const std::optional<Unit> unit = wording.TakeCassette();
    return unit && (wording.Take(":") || wording.Take(" ")) ? *unit : Unit::None;
}

// RECONCILED: "сверка: кассета #1, пересчитано 95 шт., ожидалось от 94 до 97 шт." (or
// "контейнер \"Reject\""), optionally followed by the note that the count lay outside.
void ReadReconciliation(Record& record)
{
    Wording wording(record.comment);
    if (!wording.Take("сверка: "))
        return;
    Unit unit = Unit::None;
    if (wording.Take("контейнер \"Reject\"")) {
        unit = Unit::RejectBin;
    } else if (wording.Take("кассета #")) {
        const std::optional<Unit> cassette = wording.TakeCassette();
        if (!cassette)
            return;
        unit = *cassette;
    } else {
        return;
    }
    if (!wording.Take(","))
        return;
    record.unit = unit;
    if (!wording.Take(" пересчитано ") || !wording.TakeNumber() || !wording.Take(" шт., ожидалось от "))
        return;
    const std::optional<std::uint32_t> low = wording.TakeNumber();
    if (!low || !wording.Take(" до "))
        return;
    const std::optional<std::uint32_t> high = wording.TakeNumber();
    if (!high || !wording.Take(" шт."))
        return;
    wording.Take(" (пересчёт вне ожидаемого диапазона, принят пересчёт)");
    wording.Take(kDebugSuffix);
    if (!wording.AtEnd())
        return;
    record.expectedLow = low;
    record.expectedHigh = high;
}

// The word of each code the plug-in writes; nullptr for a code it does not.
const char* KnownWord(unsigned code)
{
    switch (code) {
    case EventOpen: return "OPEN";
    case EventClose: return "CLOSE";
    case EventDispensed: return "DISPENSED";
    case EventAbort: return "ABORT";
    case EventFailure: return "FAILURE";
    case EventCount: return "COUNT";
    case EventReject: return "REJECT";
    case EventError: return "ERROR";
    case EventStart: return "START";
    case EventStop: return "STOP";
    case EventPending: return "PENDING";
    case EventUnknown: return "UNKNOWN";
    case EventReconciled: return "RECONCILED";
    default: return nullptr;
    }
}

void ReadComment(Record& record)
{
    const std::string_view comment = record.comment;
    record.debugMode = comment.size() >= kDebugSuffix.size() &&
                       comment.substr(comment.size() - kDebugSuffix.size()) == kDebugSuffix;
    switch (record.code) {
    case EventDispensed:
        record.unit = DispensedUnit(comment);
        break;
    case EventAbort:
        record.unit = AbortUnit(comment);
        break;
    case EventFailure:
        record.unit =
            FailureUnit(record.debugMode ? comment.substr(0, comment.size() - kDebugSuffix.size()) : comment);
        break;
    case EventCount:
        record.unit = CountUnit(comment);
        break;
    case EventPending:
    case EventUnknown:
        // The error an UNKNOWN quotes comes after its own "кассета #N:".
        record.unit = CassetteLeading(comment, "кассета #", ":");
        break;
    case EventReconciled:
        ReadReconciliation(record);
        break;
    default:
        break;
    }
}

// Length of the well-formed UTF-8 sequence at `at`; 0 when it is ill-formed, and
// `incomplete` when it only lacks bytes past the text's end.
std::size_t SequenceLength(std::string_view text, std::size_t at, bool& incomplete)
{
    incomplete = false;
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if (at + i >= text.size()) {
            incomplete = true;
            return 0;
        }
        const unsigned next = byte(at + i);
        if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

// The text with each ill-formed byte as U+FFFD and each CR as a blank, as the writer
// makes it; a sequence the end of a cut line broke off is dropped instead, as the rest of
// it was never written.
std::string WellFormed(std::string_view text, bool cut)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == '\r') {
            result.push_back(' ');
            ++at;
            continue;
        }
        bool incomplete = false;
        const std::size_t length = SequenceLength(text, at, incomplete);
        if (length > 0) {
            result.append(text.substr(at, length));
            at += length;
        } else if (incomplete && cut) {
            break;
        } else {
            result.append(kReplacement);
            ++at;
        }
    }
    return result;
}

// "YYYY-MM-DD HH:MM:SS.mmm " at the start of `rest`.
bool TakeTimeStamp(std::string_view& rest, Record& record)
{
    constexpr std::size_t kLength = 24;
    if (rest.size() < kLength || rest[10] != ' ' || rest[13] != ':' || rest[16] != ':' || rest[19] != '.' ||
        rest[23] != ' ')
        return false;
    const std::optional<Day> day = Day::Parse(rest.substr(0, 10));
    const int hour = Digits(rest, 11, 2);
    const int minute = Digits(rest, 14, 2);
    const int second = Digits(rest, 17, 2);
    const int millisecond = Digits(rest, 20, 3);
    if (!day || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0)
        return false;
    record.day = day;
    record.millisecondOfDay = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    rest.remove_prefix(kLength);
    return true;
}

// The category tag, "%-5s ": a word (it begins with an upper-case ASCII letter) and blanks.
bool TakeCategory(std::string_view& rest)
{
    std::size_t length = 0;
    while (length < rest.size() && rest[length] != ' ' && rest[length] != '\t')
        ++length;
    if (length == rest.size() || rest[length] != ' ')
        return false;
    while (length < rest.size() && rest[length] == ' ')
        ++length;
    rest.remove_prefix(length);
    return true;
}

// The thread tag, "[%4u] ".
bool TakeThread(std::string_view& rest)
{
    std::size_t at = 1;
    while (at < rest.size() && rest[at] == ' ')
        ++at;
    const std::size_t digits = at;
    while (at < rest.size() && IsDigit(rest[at]))
        ++at;
    if (at == digits || rest.substr(at, 2) != "] ")
        return false;
    rest.remove_prefix(at + 2);
    return true;
}

// One line of a file; `cut` for a last line that has no line end.
std::optional<Record> ReadLine(std::string_view line, std::string& reason, bool cut)
{
    reason.clear();
    // Every CR at the end: also "\r\r\n", a CRLF file whose line ends were converted again.
    if (!line.empty() && line.back() == '\r')
        cut = false; // only the LF was not written: the record is whole
    while (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.empty())
        return std::nullopt;
    const auto fail = [&reason, cut](std::string_view why) -> std::optional<Record> {
        reason = cut ? "last line cut short: " : "";
        reason += why;
        return std::nullopt;
    };
    if (line.find('\n') != std::string_view::npos)
        return fail("a line feed inside the line");

    Record record;
    std::string_view rest = line;
    // A time stamp starts with digits as a code does, but a '-' follows them.
    std::size_t digits = 0;
    while (digits < rest.size() && IsDigit(rest[digits]))
        ++digits;
    if (digits < rest.size() && (rest[digits] == '-' || rest[digits] == ':') && !TakeTimeStamp(rest, record))
        return fail("malformed time stamp");
    if (!rest.empty() && rest[0] >= 'A' && rest[0] <= 'Z' && !TakeCategory(rest))
        return fail("malformed category tag");
    if (!rest.empty() && rest[0] == '[' && !TakeThread(rest))
        return fail("malformed thread tag");

    const std::size_t codeEnd = rest.find('\t');
    const std::size_t wordEnd = codeEnd == std::string_view::npos ? codeEnd : rest.find('\t', codeEnd + 1);
    if (wordEnd == std::string_view::npos)
        return fail("no tab-separated code, word and value");
    const std::size_t valueEnd = rest.find('\t', wordEnd + 1);
    const std::string_view codeText = rest.substr(0, codeEnd);
    const std::string_view word = rest.substr(codeEnd + 1, wordEnd - codeEnd - 1);
    const std::string_view valueText = valueEnd == std::string_view::npos
                                           ? rest.substr(wordEnd + 1)
                                           : rest.substr(wordEnd + 1, valueEnd - wordEnd - 1);

    const std::optional<std::uint32_t> code = ToUint32(codeText);
    if (!code)
        return fail(AllDigits(codeText) ? "code out of range" : "code is not a number");
    bool plainWord = !word.empty();
    for (const char c : word)
        plainWord = plainWord && ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || IsDigit(c) || c == '_');
    if (!plainWord)
        return fail("the word is not a plain ASCII word");
    const char* const known = KnownWord(*code);
    if (known != nullptr && word != known)
        return fail("the word does not belong to the code");
    // A cut line's value is whole only when the tab before its comment was written.
    if (cut && valueEnd == std::string_view::npos)
        return fail("no comment after the value");
    const std::optional<std::uint32_t> value = ToUint32(valueText);
    if (!value)
        return fail(AllDigits(valueText) ? "value out of range" : "value is not a number");

    std::string_view comment;
    if (valueEnd != std::string_view::npos) {
        comment = rest.substr(valueEnd + 1);
        if (!comment.empty() && comment[0] == ';')
            comment.remove_prefix(1);
        else if (!(cut && comment.empty()))
            return fail("comment without its ';'");
    }

    record.code = *code;
    record.word = std::string(word);
    record.value = *value;
    record.comment = WellFormed(comment, cut);
    record.truncated = cut;
    ReadComment(record);
    return record;
}

} // namespace

std::optional<Day> Day::Parse(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    Day day;
    day.year = Digits(text, 0, 4);
    day.month = Digits(text, 5, 2);
    day.day = Digits(text, 8, 2);
    if (day.year < 0 || day.month < 1 || day.month > 12 || day.day < 1 || day.day > DaysInMonth(day.year, day.month))
        return std::nullopt;
    return day;
}

std::string Day::Text() const
{
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

// The civil-date algorithms of H. Hinnant: 400-year eras of 146097 days, years that
// begin on 1 March so that the leap day ends them.
long long Day::Serial() const
{
    const long long y = static_cast<long long>(year) - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

Day Day::FromSerial(long long serial)
{
    const long long z = serial + 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long monthFromMarch = (5 * dayOfYear + 2) / 153;
    Day result;
    result.day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    result.month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    result.year = static_cast<int>(yearOfEra + era * 400 + (result.month <= 2 ? 1 : 0));
    return result;
}

std::optional<Record> ParseLine(std::string_view line, std::string& reason)
{
    return ReadLine(line, reason, false);
}

DayFile ParseDayFile(std::string_view text, const std::string& file)
{
    DayFile result;
    result.file = file;
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    int number = 0;
    std::string reason;
    while (!text.empty()) {
        ++number;
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        std::optional<Record> record = ReadLine(line, reason, end == std::string_view::npos);
        if (record) {
            record->line = number;
            if (!result.formatVersion && (record->code == EventOpen || record->code == EventClose))
                result.formatVersion = record->value;
            result.records.push_back(std::move(*record));
        } else if (!reason.empty()) {
            result.problems.push_back(Problem{file, number, reason});
        }
    }
    return result;
}

std::optional<DayFile> ReadDayFile(const std::string& folder, const Day& day)
{
    CalendarTime date;
    date.year = day.year;
    date.month = day.month;
    date.day = day.day;
    const std::string path = DispenserLogHandler::SubstituteDate(MakePathSpec(folder) + day.Text() + ".txt", date);
    const auto unreadable = [&path](const std::string& why) {
        DayFile file;
        file.file = path;
        file.problems.push_back(Problem{path, 0, why});
        return file;
    };
    try {
        const std::filesystem::path name(std::u8string(path.begin(), path.end()));
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(name, error);
        if (status.type() == std::filesystem::file_type::not_found)
            return std::nullopt;
        if (error)
            return unreadable("cannot be read: " + error.message());
        if (status.type() != std::filesystem::file_type::regular)
            return unreadable("not a regular file");
        std::ifstream stream(name, std::ios::binary);
        if (!stream)
            return unreadable("cannot be opened");
        const std::string text((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        if (stream.bad())
            return unreadable("read error");
        return ParseDayFile(text, path);
    } catch (const std::exception& failure) {
        // A path the system cannot take, or no memory for the text.
        return unreadable(std::string("cannot be read: ") + failure.what());
    }
}

} // namespace Journal
