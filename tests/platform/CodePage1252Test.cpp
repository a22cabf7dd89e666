#include "platform/CodePage1252.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

TEST(CodePage1252, EveryByteRoundTrips)
{
    for (int b = 0; b < 256; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        const char32_t ch = cp1252::Decode(byte);
        ASSERT_EQ(cp1252::Encode(ch), byte) << "byte " << b;
        const std::string one(1, static_cast<char>(byte));
        ASSERT_EQ(cp1252::FromUtf8(cp1252::ToUtf8(one)), one) << "byte " << b;
    }
}

TEST(CodePage1252, HighRangeUsesTheWindowsTable)
{
    EXPECT_EQ(cp1252::Decode(0x80), U'\u20AC');
    EXPECT_EQ(cp1252::Decode(0x99), U'\u2122');
    EXPECT_EQ(cp1252::Decode(0x9F), U'\u0178');
    EXPECT_EQ(cp1252::Decode(0xE9), U'\u00E9');
    EXPECT_EQ(cp1252::ToUtf8("caf\xE9 \x80"), "caf\xC3\xA9 \xE2\x82\xAC");
}

TEST(CodePage1252, UnencodableCharactersBecomeQuestionMarks)
{
    EXPECT_FALSE(cp1252::Encode(U'\u0416').has_value()); // Cyrillic Zhe
    EXPECT_FALSE(cp1252::Encode(U'\U0001F600').has_value());
    EXPECT_EQ(cp1252::EncodeTyped(U'\u0416'), '?');
    EXPECT_EQ(cp1252::FromUtf8("a\xD0\x96"
                               "b\xF0\x9F\x98\x80"),
        "a?b?");
    // Broken UTF-8: a lone continuation byte and a truncated sequence.
    EXPECT_EQ(cp1252::FromUtf8("x\x80y\xC3"), "x?y?");
}

TEST(CodePage1252, SignalLettersAreSentAsLookAlikes)
{
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00F7'), '/');
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00F8'), 'o');
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00F9'), 'u');
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00FA'), 'u');
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00FB'), 'u');
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00FC'), 'u');
    // Neighbours keep their own bytes.
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00F6'), 0xF6);
    EXPECT_EQ(cp1252::EncodeTyped(U'\u00FD'), 0xFD);
    EXPECT_EQ(cp1252::EncodeTyped(U'\u20AC'), 0x80);
}

} // namespace
} // namespace quillet
