#include "framework/numbers.h"

#include "framework/exceptions.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace {

const std::string kNbsp = "\xC2\xA0";        // U+00A0 no-break space
const std::string kNarrowNbsp = "\xE2\x80\xAF"; // U+202F narrow no-break space

double Strict(int type, const std::string& text, int digits = -1)
{
    return ScanNumber(type, text, digits, true);
}

TEST(Numbers, FormatPlainAndGrouped)
{
    EXPECT_EQ(Format(FormatInteger, 1234, 0), "1234");
    EXPECT_EQ(Format(FormatInteger, -1234.5, 2), "-1234.50");
    EXPECT_EQ(Format(FormatInteger, 12.5, 2), "12.50");
    EXPECT_EQ(Format(FormatInteger, -0.001, 2), "0.00"); // never "-0.00"
    EXPECT_EQ(Format(FormatInteger, 7, -3), "7");        // digits taken as 0
    EXPECT_EQ(Format(FormatInteger, 1, 40), "1." + std::string(30, '0'));

    EXPECT_EQ(Format(FormatLenient, 0, 0), "0");
    EXPECT_EQ(Format(FormatLenient, 123, 0), "123");
    EXPECT_EQ(Format(FormatLenient, 1000, 1), "1 000.0");
    EXPECT_EQ(Format(FormatLenient, 1234567.5, 2), "1 234 567.50");
    EXPECT_EQ(Format(FormatLenient, -123456, 0), "-123 456"); // no blank after the sign
    EXPECT_EQ(Format(FormatLenient, -1234, 0), "-1 234");
    EXPECT_EQ(Format(FormatLenient, 1e15, 0), "1 000 000 000 000 000");
}

// A host may switch the process to a locale with a decimal comma: the text stays the same.
TEST(Numbers, FormatIgnoresTheProcesssLocale)
{
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"Russian_Russia.1251", "Russian", "ru_RU.UTF-8", "de_DE.UTF-8", "German"}) {
        if (std::setlocale(LC_NUMERIC, name) != nullptr && std::localeconv()->decimal_point[0] != '.') {
            switched = true;
            break;
        }
    }
    const std::string plain = Format(FormatInteger, -1234.5, 2);
    const std::string grouped = Format(FormatLenient, 1234567.25, 1);
    std::setlocale(LC_NUMERIC, previous.c_str());
    if (!switched)
        GTEST_SKIP() << "no locale with a decimal comma here";
    EXPECT_EQ(plain, "-1234.50");
    EXPECT_EQ(grouped, "1 234 567.2");
}

TEST(Numbers, FormattedTextScansBack)
{
    for (double value : {0.0, 5.25, -5.25, 999.99, 1000.0, -1234567.89, 1e12}) {
        SCOPED_TRACE(value);
        EXPECT_DOUBLE_EQ(Strict(FormatLenient, Format(FormatLenient, value, 2)), value);
        EXPECT_DOUBLE_EQ(Strict(FormatLenient, Format(FormatInteger, value, 2)), value);
    }
}

TEST(Numbers, UnsupportedTypeIsInvalidValueNotSyntax)
{
    for (int type : {-1, 1, 3, 99}) {
        SCOPED_TRACE(type);
        EXPECT_THROW(Format(type, 1, 0), InvalidValue);
        // Refused even in lenient mode and even for a good text.
        for (bool strict : {true, false}) {
            try {
                ScanNumber(type, "1", -1, strict);
                ADD_FAILURE() << "no exception";
            } catch (const NumericSyntax&) {
                ADD_FAILURE() << "a bad type is not a syntax error";
            } catch (const InvalidValue&) {
            }
        }
        EXPECT_THROW(ScanNumberEx(type, "", ScanAllowEmpty, -1), InvalidValue);
    }
}

TEST(Numbers, ScanIntegerType)
{
    EXPECT_EQ(Strict(FormatInteger, "42"), 42);
    EXPECT_EQ(Strict(FormatInteger, " -7 "), -7);
    EXPECT_EQ(Strict(FormatInteger, "+15"), 15);
    EXPECT_EQ(Strict(FormatInteger, "\t\r\n0042\r\n"), 42);
    EXPECT_EQ(Strict(FormatInteger, "100000000000000000000"), 1e20);

    for (const char* bad : {"", "   ", "-", "+", "1.5", "1,5", "1 234", "12a", "0x10", "1e3", "--1", "+-1", "- 1"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(Strict(FormatInteger, bad), NumericSyntax);
        EXPECT_EQ(ScanNumber(FormatInteger, bad, -1, false), 0);
    }
}

TEST(Numbers, ScanLenientGroupsAndFractions)
{
    EXPECT_EQ(Strict(FormatLenient, "1 250"), 1250);
    EXPECT_EQ(Strict(FormatLenient, "1 250,5"), 1250.5);
    EXPECT_EQ(Strict(FormatLenient, "-3.25"), -3.25);
    EXPECT_EQ(Strict(FormatLenient, "+1 000"), 1000);
    EXPECT_EQ(Strict(FormatLenient, "12 345 678"), 12345678);
    EXPECT_EQ(Strict(FormatLenient, "1234567"), 1234567); // grouping is optional
    EXPECT_EQ(Strict(FormatLenient, "1" + kNbsp + "250"), 1250);
    EXPECT_EQ(Strict(FormatLenient, "1" + kNarrowNbsp + "250" + kNarrowNbsp + "000,75"), 1250000.75);
    EXPECT_EQ(Strict(FormatLenient, kNbsp + " \t5 000" + kNarrowNbsp + "\r\n" + kNbsp), 5000);
    EXPECT_EQ(Strict(FormatLenient, "1,234"), 1.234); // "," is a decimal mark, never a group mark
    EXPECT_EQ(Strict(FormatLenient, "0,001"), 0.001);
}

TEST(Numbers, ScanLenientRefusesBadTexts)
{
    // Groups of the wrong size, doubled blanks, a blank after the sign, misplaced marks.
    const char* bad[] = {"12 34", "1 2345", "1234 567", "1  234", "1 234 56", "- 5", ".5", "5.", "5,", "1.2.3",
                         "1,5,6", "1.5,6", "1 234,5 6", "1e5", "1E-3", "₽100", "100₽", "0x1A", "nan", "inf", "",
                         "+", "\xC2", "1\xC2"};
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_THROW(Strict(FormatLenient, text), NumericSyntax);
        EXPECT_EQ(ScanNumber(FormatLenient, text, 2, false), 0);
    }
}

TEST(Numbers, DigitsRoundHalfAwayFromZero)
{
    EXPECT_EQ(Strict(FormatLenient, "2,5", 0), 3);
    EXPECT_EQ(Strict(FormatLenient, "-2,5", 0), -3);
    EXPECT_EQ(Strict(FormatLenient, "3.5", 0), 4);
    EXPECT_EQ(Strict(FormatLenient, "0.125", 2), 0.13);
    EXPECT_EQ(Strict(FormatLenient, "-0.125", 2), -0.13);
    EXPECT_EQ(Strict(FormatLenient, "1 234.5678", 2), 1234.57);
    EXPECT_EQ(Strict(FormatLenient, "1 234.5678", 3), 1234.568);
    EXPECT_EQ(Strict(FormatLenient, "0.125", -1), 0.125); // kept as scanned
    EXPECT_EQ(Strict(FormatInteger, "17", 2), 17);
    EXPECT_EQ(Strict(FormatLenient, "0.125", 400), 0.125); // too many digits to scale: kept
}

TEST(Numbers, HugeAndOverflowingTexts)
{
    EXPECT_DOUBLE_EQ(Strict(FormatInteger, "1" + std::string(299, '0')), 1e299);
    EXPECT_DOUBLE_EQ(Strict(FormatLenient, "-1" + std::string(299, '0') + ".5"), -1e299);
    EXPECT_DOUBLE_EQ(Strict(FormatLenient, "3.14159265358979323846264338327950288419716939937510"),
                     3.14159265358979323846);
    const std::string overflow = "1" + std::string(400, '0');
    EXPECT_THROW(Strict(FormatInteger, overflow), NumericSyntax);
    EXPECT_THROW(Strict(FormatLenient, "-" + overflow), NumericSyntax);
    EXPECT_EQ(ScanNumber(FormatLenient, overflow, 2, false), 0);
    // A very large value must not be spoiled by rounding to digits.
    EXPECT_DOUBLE_EQ(Strict(FormatLenient, "1" + std::string(300, '0'), 2), 1e300);
    EXPECT_DOUBLE_EQ(Strict(FormatLenient, "1" + std::string(300, '0'), 10), 1e300);
}

TEST(Numbers, ScanNumberExAllowsEmptyOnlyByFlag)
{
    EXPECT_EQ(ScanNumberEx(FormatLenient, "", ScanAllowEmpty, 2), 0);
    EXPECT_EQ(ScanNumberEx(FormatLenient, " \t\r\n", ScanAllowEmpty, 2), 0);
    EXPECT_EQ(ScanNumberEx(FormatLenient, kNbsp + kNarrowNbsp, ScanAllowEmpty, 2), 0);
    EXPECT_EQ(ScanNumberEx(FormatInteger, "  ", ScanAllowEmpty, 0), 0);

    EXPECT_THROW(ScanNumberEx(FormatLenient, "", ScanStrict, 2), NumericSyntax);
    EXPECT_THROW(ScanNumberEx(FormatLenient, "   ", ScanStrict, 2), NumericSyntax);
    // The flag forgives emptiness, not bad syntax.
    EXPECT_THROW(ScanNumberEx(FormatLenient, "abc", ScanAllowEmpty, 2), NumericSyntax);
    EXPECT_THROW(ScanNumberEx(FormatInteger, "1.5", ScanAllowEmpty, 2), NumericSyntax);

    EXPECT_EQ(ScanNumberEx(FormatLenient, "12,5", ScanStrict, 0), 13);
    EXPECT_EQ(ScanNumberEx(FormatLenient, " 1 000,375 ", ScanAllowEmpty, 2), 1000.38);
    EXPECT_EQ(ScanNumberEx(FormatInteger, "-8", ScanAllowEmpty, -1), -8);
}

} // namespace
