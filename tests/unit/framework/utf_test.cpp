#include "framework/utf.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace {

const std::string kReplacementUtf8 = "\xEF\xBF\xBD";

// Whether a conversion produced only U+FFFD (at least one).
bool OnlyReplacements(const std::u16string& text)
{
    return !text.empty() && text.find_first_not_of(u'\xFFFD') == std::u16string::npos;
}

TEST(Utf, RoundTripsEveryEncodedLength)
{
    const std::string text = "Касса 1 250 ₽ 😀 done";
    const std::u16string wide = u"Касса 1 250 ₽ \xD83D\xDE00 done";
    EXPECT_EQ(Utf8ToUtf16(text), wide);
    EXPECT_EQ(Utf16ToUtf8(wide), text);

    EXPECT_EQ(Utf8ToUtf16(""), u"");
    EXPECT_EQ(Utf16ToUtf8(u""), "");
    const std::string withZero("a\0b", 3);
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(withZero)), withZero);

    // The first and last code point of each encoded length.
    const char32_t boundaries[] = {0x7F, 0x80, 0x7FF, 0x800, 0xD7FF, 0xE000, 0xFFFF, 0x10000, 0x10FFFF};
    const std::string encoded[] = {"\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF",
                                   "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"};
    for (std::size_t i = 0; i < std::size(boundaries); ++i) {
        SCOPED_TRACE(i);
        const std::u16string units = Utf8ToUtf16(encoded[i]);
        ASSERT_EQ(units.size(), boundaries[i] >= 0x10000 ? 2u : 1u);
        const char32_t decoded = units.size() == 1
                                     ? units[0]
                                     : 0x10000 + ((char32_t(units[0]) - 0xD800) << 10) + (units[1] - 0xDC00);
        EXPECT_EQ(decoded, boundaries[i]);
        EXPECT_EQ(Utf16ToUtf8(units), encoded[i]);
    }
}

TEST(Utf, IllFormedUtf8BecomesReplacement)
{
    EXPECT_EQ(Utf8ToUtf16("\x80"), u"\xFFFD");                 // a stray continuation byte
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), u"a\xFFFD" "b");       // a byte that never occurs
    EXPECT_EQ(Utf8ToUtf16("a\xD0"), u"a\xFFFD");               // cut at the end
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82" "A"), u"\xFFFD" "A");     // cut before an ASCII character
    EXPECT_EQ(Utf8ToUtf16("\xD0\xD0\x96"), u"\xFFFD" "Ж");     // cut before a whole character
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98" "x"), u"\xFFFD" "x"); // a 4-byte character missing its last byte

    // Overlong forms, encoded surrogates and values beyond U+10FFFF never decode to
    // the character they spell.
    EXPECT_TRUE(OnlyReplacements(Utf8ToUtf16("\xC0\xAF")));         // overlong "/"
    EXPECT_TRUE(OnlyReplacements(Utf8ToUtf16("\xE0\x80\xAF")));     // overlong "/"
    EXPECT_TRUE(OnlyReplacements(Utf8ToUtf16("\xF0\x80\x80\xAF"))); // overlong "/"
    EXPECT_TRUE(OnlyReplacements(Utf8ToUtf16("\xED\xA0\x80")));     // U+D800
    EXPECT_TRUE(OnlyReplacements(Utf8ToUtf16("\xED\xBF\xBF")));     // U+DFFF
    EXPECT_TRUE(OnlyReplacements(Utf8ToUtf16("\xF4\x90\x80\x80"))); // U+110000
    EXPECT_TRUE(OnlyReplacements(Utf8ToUtf16("\xF8\x88\x80\x80\x80")));

    // Whatever surrounds the bad bytes survives.
    EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("ok\xC0\xAFok")).substr(0, 2), "ok");
    const std::u16string mixed = Utf8ToUtf16("Ж\xED\xA0\x80Ж");
    EXPECT_EQ(mixed.front(), u'Ж');
    EXPECT_EQ(mixed.back(), u'Ж');
}

TEST(Utf, SurrogatesInUtf16)
{
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(u"\xDBFF\xDFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(Utf16ToUtf8(u"a\xD83D"), "a" + kReplacementUtf8);                     // lone high at the end
    EXPECT_EQ(Utf16ToUtf8(u"\xDE00" "b"), kReplacementUtf8 + "b");                  // lone low
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D" "x"), kReplacementUtf8 + "x");                  // high before a non-surrogate
    EXPECT_EQ(Utf16ToUtf8(u"\xDE00\xD83D"), kReplacementUtf8 + kReplacementUtf8);   // reversed pair
    EXPECT_EQ(Utf16ToUtf8(u"\xD83D\xD83D\xDE00"), kReplacementUtf8 + "\xF0\x9F\x98\x80");
    // A replaced lone surrogate converts back as U+FFFD, never as the surrogate.
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(u"\xD800")), u"\xFFFD");
}

} // namespace
