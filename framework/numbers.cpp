#include "framework/numbers.h"

#include "framework/exceptions.h"
#include "framework/text_format.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace {

bool IsAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Length of the blank at the start of text: ASCII blanks and the UTF-8 no-break spaces.
std::size_t BlankLength(std::string_view text)
{
    if (text.empty())
        return 0;
    if (IsAsciiBlank(text[0]))
        return 1;
    if (text.substr(0, 2) == "\xC2\xA0")
        return 2;
    if (text.substr(0, 3) == "\xE2\x80\xAF")
        return 3;
    return 0;
}

std::string_view TrimBlanks(std::string_view text)
{
    while (std::size_t n = BlankLength(text))
        text.remove_prefix(n);
    // Blanks at the end: step back over ASCII blanks and the multi-byte spaces.
    for (;;) {
        if (!text.empty() && IsAsciiBlank(text.back()))
            text.remove_suffix(1);
        else if (text.size() >= 2 && text.substr(text.size() - 2) == "\xC2\xA0")
            text.remove_suffix(2);
        else if (text.size() >= 3 && text.substr(text.size() - 3) == "\xE2\x80\xAF")
            text.remove_suffix(3);
        else
            break;
    }
    return text;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct ParsedNumber {
    bool negative = false;
    std::string digits;   // integer digits without separators
    std::string fraction; // fraction digits
};

std::optional<ParsedNumber> ParseSign(std::string_view& text, ParsedNumber number)
{
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        number.negative = text[0] == '-';
        text.remove_prefix(1);
    }
    return number;
}

std::optional<ParsedNumber> ParseInteger(std::string_view text)
{
    auto number = ParseSign(text, {});
    if (text.empty())
        return std::nullopt;
    for (char c : text) {
        if (!IsDigit(c))
            return std::nullopt;
    }
    number->digits.assign(text);
    return number;
}

std::optional<ParsedNumber> ParseLenient(std::string_view text)
{
    auto number = ParseSign(text, {});
    std::size_t groupLength = 0;
    bool grouped = false;
    while (!text.empty()) {
        if (IsDigit(text[0])) {
            number->digits.push_back(text[0]);
            ++groupLength;
            text.remove_prefix(1);
            continue;
        }
        // Group separators: a space or a no-break space, never a TAB or a line break.
        const std::size_t blank = text[0] == ' ' ? 1 : (IsAsciiBlank(text[0]) ? 0 : BlankLength(text));
        if (blank == 0)
            break;
        // A group separator: the group before it has 1 to 3 digits (3 unless it is
        // the first), and a digit follows.
        if (groupLength == 0 || groupLength > 3 || (grouped && groupLength != 3))
            return std::nullopt;
        text.remove_prefix(blank);
        if (text.empty() || !IsDigit(text[0]))
            return std::nullopt;
        grouped = true;
        groupLength = 0;
    }
    if (number->digits.empty() || (grouped && groupLength != 3))
        return std::nullopt;
    if (!text.empty()) {
        if (text[0] != '.' && text[0] != ',')
            return std::nullopt;
        text.remove_prefix(1);
        if (text.empty())
            return std::nullopt;
        for (char c : text) {
            if (!IsDigit(c))
                return std::nullopt;
            number->fraction.push_back(c);
        }
    }
    return number;
}

std::optional<double> ToValue(const ParsedNumber& number)
{
    std::string text = number.negative ? "-" : "";
    text += number.digits;
    if (!number.fraction.empty())
        text += "." + number.fraction;
    // from_chars is independent of the process's locale, which a host may have changed.
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double RoundTo(double value, int digits)
{
    if (digits < 0)
        return value;
    const double scale = std::pow(10.0, digits);
    const double rounded = std::round(value * scale) / scale;
    return std::isfinite(rounded) ? rounded : value;
}

void CheckType(int type)
{
    if (type != FormatInteger && type != FormatLenient)
        throw InvalidValue(FormatText("Unsupported number format type %i", type));
}

std::optional<double> Scan(int type, std::string_view text)
{
    const std::string_view trimmed = TrimBlanks(text);
    const auto number = type == FormatInteger ? ParseInteger(trimmed) : ParseLenient(trimmed);
    if (!number)
        return std::nullopt;
    return ToValue(*number);
}

[[noreturn]] void RaiseSyntax(std::string_view text)
{
    throw NumericSyntax(FormatText("Текст не является числом: \"%.*s\"", static_cast<int>(text.size()), text.data()));
}

} // namespace

std::string Format(int type, double value, int digits)
{
    CheckType(type);
    digits = std::clamp(digits, 0, 30);
    if (!std::isfinite(value))
        throw InvalidValue("Number out of range for formatting");
    // printf's fixed form, correctly rounded; its decimal separator (the process's
    // locale, which a host may have changed) becomes '.'. (The standard library's
    // floating-point to_chars would add a fifth of a megabyte to the plug-in.)
    char buffer[400];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
    if (length <= 0 || static_cast<std::size_t>(length) >= sizeof buffer)
        throw InvalidValue("Number out of range for formatting");
    std::string text;
    for (const char c : std::string_view(buffer, static_cast<std::size_t>(length))) {
        if ((c >= '0' && c <= '9') || c == '-')
            text.push_back(c);
        else if (text.find('.') == std::string::npos)
            text.push_back('.');
    }
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0.") == std::string::npos)
        text.erase(0, 1); // no "-0"
    if (type == FormatInteger)
        return text;

    // Group the integer digits by thousands, from the right.
    const std::size_t start = (text[0] == '-') ? 1 : 0;
    const std::size_t end = std::min(text.find('.'), text.size());
    std::string grouped = text.substr(0, start);
    for (std::size_t position = start; position < end; ++position) {
        if (position > start && (end - position) % 3 == 0)
            grouped.push_back(' ');
        grouped.push_back(text[position]);
    }
    grouped.append(text, end, std::string::npos);
    return grouped;
}

double ScanNumber(int type, std::string_view text, int digits, bool strict)
{
    CheckType(type);
    if (const auto value = Scan(type, text))
        return RoundTo(*value, digits);
    if (strict)
        RaiseSyntax(text);
    return 0;
}

double ScanNumberEx(int type, std::string_view text, unsigned flags, int digits)
{
    CheckType(type);
    if ((flags & ScanAllowEmpty) != 0 && TrimBlanks(text).empty())
        return 0;
    return ScanNumber(type, text, digits, true);
}
