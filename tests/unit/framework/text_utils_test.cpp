#include "framework/text_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Trimmed(std::string text)
{
    trim(text);
    return text;
}

TEST(TextUtils, TrimRemovesAsciiBlanksOnly)
{
    EXPECT_EQ(Trimmed("  a b \t\r\n"), "a b");
    EXPECT_EQ(Trimmed("\r\n\tКасса"), "Касса");
    EXPECT_EQ(Trimmed("x"), "x");
    EXPECT_EQ(Trimmed(""), "");
    EXPECT_EQ(Trimmed(" \t\r\n "), "");
    EXPECT_EQ(Trimmed("a  \t  b"), "a  \t  b");
    EXPECT_EQ(Trimmed("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0"); // a no-break space is not a blank here
}

TEST(TextUtils, CaseInsensitiveComparisonIsAsciiOnly)
{
    EXPECT_TRUE(EqualsNoCase("Dispenser", "DISPENSER"));
    EXPECT_TRUE(EqualsNoCase("HKEY_local_MACHINE", "hkey_LOCAL_machine"));
    EXPECT_TRUE(EqualsNoCase("", ""));
    EXPECT_FALSE(EqualsNoCase("a", "ab"));
    // Pairs that differ by 0x20 but are not letters.
    EXPECT_FALSE(EqualsNoCase("[", "{"));
    EXPECT_FALSE(EqualsNoCase("@", "`"));
    EXPECT_FALSE(EqualsNoCase("^", "~"));
    // Cyrillic letters are not folded.
    EXPECT_FALSE(EqualsNoCase("Ж", "ж"));

    const NoCaseLess less;
    EXPECT_TRUE(less("apple", "Banana"));
    EXPECT_FALSE(less("Banana", "apple"));
    EXPECT_FALSE(less("Key", "KEY"));
    EXPECT_TRUE(less("abc", "ABCD"));
    EXPECT_FALSE(less("ABCD", "abc"));
    EXPECT_TRUE(less("", "a"));
    EXPECT_FALSE(less("", ""));
    // Both spellings of a letter sort on the same side of a non-letter between them.
    EXPECT_EQ(less("Z", "["), less("z", "["));
    EXPECT_EQ(less("[", "Z"), less("[", "z"));
    EXPECT_NE(less("Z", "["), less("[", "Z"));
}

TEST(TextUtils, SearchPosInEveryMode)
{
    const std::vector<int> sorted{1, 3, 3, 5};
    struct Case {
        int key, lower, upper, find, insert;
    };
    const Case cases[] = {
        {0, 0, 0, -1, 0},  // before everything
        {1, 0, 1, 0, -1},  // the first element
        {2, 1, 1, -1, 1},  // a gap
        {3, 1, 3, 1, -1},  // a run of equal elements: the first of them
        {4, 3, 3, -1, 3},
        {5, 3, 4, 3, -1},  // the last element
        {6, 4, 4, -1, 4},  // after everything
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(searchpos(sorted, c.key, SearchLowerBound), c.lower);
        EXPECT_EQ(searchpos(sorted, c.key, SearchUpperBound), c.upper);
        EXPECT_EQ(searchpos(sorted, c.key, SearchFind), c.find);
        EXPECT_EQ(searchpos(sorted, c.key, SearchInsertUnique), c.insert);
    }

    const std::vector<int> empty;
    EXPECT_EQ(searchpos(empty, 7, SearchLowerBound), 0);
    EXPECT_EQ(searchpos(empty, 7, SearchUpperBound), 0);
    EXPECT_EQ(searchpos(empty, 7, SearchFind), -1);
    EXPECT_EQ(searchpos(empty, 7, SearchInsertUnique), 0);
}

TEST(TextUtils, SearchPosWithCustomOrder)
{
    // Registry-style names, sorted without regard to case.
    const std::vector<std::string> names{"alpha", "Beta", "GAMMA"};
    EXPECT_EQ(searchpos(names, std::string("BETA"), SearchFind, NoCaseLess()), 1);
    EXPECT_EQ(searchpos(names, std::string("beta"), SearchInsertUnique, NoCaseLess()), -1);
    EXPECT_EQ(searchpos(names, std::string("Delta"), SearchInsertUnique, NoCaseLess()), 2);
    EXPECT_EQ(searchpos(names, std::string("Omega"), SearchInsertUnique, NoCaseLess()), 3);
    EXPECT_EQ(searchpos(names, std::string("Delta"), SearchFind, NoCaseLess()), -1);
}

} // namespace
