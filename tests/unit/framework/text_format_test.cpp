#include "framework/text_format.h"

#include <gtest/gtest.h>

#include <string>

namespace {

bool IsContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0u) == 0x80u;
}

// The byte length of the UTF-8 character whose lead byte is `lead`.
std::size_t CharacterLength(char lead)
{
    const auto byte = static_cast<unsigned char>(lead);
    return byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
}

// Russian text with 1-, 2-, 3- and 4-byte characters: "₽" is 3 bytes, "💵" 4.
const std::string kReceipt = "Выдано: 1 250 ₽ 💵, кассета №2";

TEST(TextFormat, FormatBufferCutsAtEverySizeOnACharacterBoundary)
{
    const std::string full = FormatText("%s", kReceipt.c_str());
    ASSERT_EQ(full, kReceipt);
    for (std::size_t size = 0; size <= full.size() + 2; ++size) {
        SCOPED_TRACE(size);
        const std::string text = FormatBuffer(size, "%s", kReceipt.c_str());
        if (size == 0) {
            EXPECT_TRUE(text.empty());
            continue;
        }
        const std::size_t room = size - 1;
        ASSERT_LE(text.size(), room);
        ASSERT_EQ(full.compare(0, text.size(), text), 0) << "not a prefix";
        if (text.size() == full.size())
            continue;
        // The cut falls before a lead byte, and the character there did not fit.
        EXPECT_FALSE(IsContinuation(full[text.size()]));
        EXPECT_GT(text.size() + CharacterLength(full[text.size()]), room);
    }
    EXPECT_EQ(FormatBuffer(full.size() + 1, "%s", kReceipt.c_str()), kReceipt);
    EXPECT_EQ(FormatBuffer(full.size(), "%s", kReceipt.c_str()), "Выдано: 1 250 ₽ 💵, кассета №");
}

TEST(TextFormat, FormatBufferWithArguments)
{
    EXPECT_EQ(FormatBuffer(256, "Кассета %d: %s, %05.1f", 2, "пусто", 3.14159), "Кассета 2: пусто, 003.1");
    // "Кассета 2" is 16 bytes: 7 two-byte letters, a space and a digit.
    EXPECT_EQ(FormatBuffer(17, "Кассета %d", 2), "Кассета 2");
    EXPECT_EQ(FormatBuffer(16, "Кассета %d", 2), "Кассета ");
    // "Ка" is 4 bytes: a size of 4 leaves room for "К" only.
    EXPECT_EQ(FormatBuffer(4, "Кассета %d", 2), "К");
    EXPECT_EQ(FormatBuffer(2, "Ж"), "");
    EXPECT_EQ(FormatBuffer(1, "abc"), "");
    EXPECT_EQ(FormatBuffer(0, "abc"), "");
}

TEST(TextFormat, FormatTextHasNoLengthLimit)
{
    const std::string longText(10000, 'x');
    EXPECT_EQ(FormatText("[%s]", longText.c_str()), "[" + longText + "]");
    EXPECT_EQ(FormatText("%s", ""), "");
    EXPECT_EQ(FormatText("%.*s", 3, "Сумма"), std::string("\xD0\xA1\xD1", 3)); // bytes, as printf counts
}

TEST(TextFormat, Utf8PrefixKeepsCharactersWhole)
{
    const std::string twoByte = "aЖb";        // 61 D0 96 62
    const std::string threeByte = "a€b";      // 61 E2 82 AC 62
    const std::string fourByte = "a😀b";      // 61 F0 9F 98 80 62

    EXPECT_EQ(Utf8Prefix(twoByte, 0), "");
    EXPECT_EQ(Utf8Prefix(twoByte, 1), "a");
    EXPECT_EQ(Utf8Prefix(twoByte, 2), "a");
    EXPECT_EQ(Utf8Prefix(twoByte, 3), "aЖ");
    EXPECT_EQ(Utf8Prefix(twoByte, 4), twoByte);

    EXPECT_EQ(Utf8Prefix(threeByte, 2), "a");
    EXPECT_EQ(Utf8Prefix(threeByte, 3), "a");
    EXPECT_EQ(Utf8Prefix(threeByte, 4), "a€");

    EXPECT_EQ(Utf8Prefix(fourByte, 2), "a");
    EXPECT_EQ(Utf8Prefix(fourByte, 3), "a");
    EXPECT_EQ(Utf8Prefix(fourByte, 4), "a");
    EXPECT_EQ(Utf8Prefix(fourByte, 5), "a😀");

    // A text made only of multi-byte characters, cut at its very first character.
    EXPECT_EQ(Utf8Prefix("😀", 3), "");
    EXPECT_EQ(Utf8Prefix("ЖЖ", 3), "Ж");

    // Bytes that are not UTF-8 still respect the limit.
    const std::string junk = "\x80\x80\x80\x80\x80\x80";
    EXPECT_LE(Utf8Prefix(junk, 4).size(), 4u);
}

} // namespace
