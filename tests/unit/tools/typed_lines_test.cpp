// The service tool's typed-ahead input: answers typed or pasted in one block reach the
// questions one line at a time, whatever the line ends and block boundaries.
#include "tools/dispenserctl/typed_lines.h"

#include <gtest/gtest.h>

TEST(TypedLines, LinesComeOneAtATimeAcrossBlocks)
{
    TypedLines typed;
    EXPECT_FALSE(typed.TakeLine());
    typed.Append("y\r\nn");
    EXPECT_EQ(typed.TakeLine(), "y");
    EXPECT_FALSE(typed.TakeLine()); // "n" is not finished yet
    typed.Append("o\n\nretry\n");
    EXPECT_EQ(typed.TakeLine(), "no");
    EXPECT_EQ(typed.TakeLine(), "");
    EXPECT_EQ(typed.TakeLine(), "retry");
    EXPECT_FALSE(typed.TakeLine());
}

TEST(TypedLines, TheEndOfInputFinishesALastLine)
{
    TypedLines typed;
    EXPECT_FALSE(typed.EndInput());
    typed.Append("yes");
    EXPECT_TRUE(typed.EndInput());
    EXPECT_EQ(typed.TakeLine(), "yes");
    EXPECT_FALSE(typed.EndInput());
}
