// Number texts: formatting and scanning by format type.
//
// FormatInteger (0): an optional sign and ASCII digits, with optional blanks
//   (space, TAB, CR, LF, no-break spaces) around them: "42", " -7 ", "+15".
// FormatLenient (2): what an operator types: an optional sign, digits that may be
//   grouped by thousands with a blank (space, no-break space U+00A0 or narrow
//   no-break space U+202F; every group after the first has exactly three digits),
//   and an optional decimal fraction after "." or ",": "1 250", "1 250,5", "-3.25".
//   Surrounding blanks are ignored. No exponent, no currency sign.
// Other types are refused with InvalidValue.
#pragma once

#include <string>
#include <string_view>

enum FormatTypes : int {
    FormatInteger = 0,
    FormatLenient = 2,
};

// Flags of ScanNumberEx.
enum ScanFlags : unsigned {
    ScanStrict = 0x0,     // every bad text raises NumericSyntax (the default)
    ScanAllowEmpty = 0x1, // a blank or empty text reads as 0
};

// The text of value. FormatInteger: plain decimal with `digits` fraction digits
// ("-1234", "12.50"); FormatLenient: the same with the integer part grouped by
// thousands with a blank ("1 234 567.50"). `digits` is taken in the range 0 to 30.
std::string Format(int type, double value, int digits);

// Scans a number. `digits` >= 0 rounds the result to that many fraction digits
// (half away from zero); a negative value keeps it as scanned. A text that is not a
// number raises NumericSyntax when `strict` is true and reads as 0 otherwise.
double ScanNumber(int type, std::string_view text, int digits, bool strict);

// As ScanNumber in strict mode, with ScanFlags.
double ScanNumberEx(int type, std::string_view text, unsigned flags, int digits);
