#include "skin/TQuickIni.h"

#include <gtest/gtest.h>

#include <limits>

namespace quillet::skin {
namespace {

using namespace std::string_literals;

TEST(QuickIniTest, LookupFollowsTheDescriptionRules)
{
    struct TRow {
        std::string Text;
        const char* Section;
        const char* Key;
        const char* Expected;
    };
    const TRow rows[] = {
        { "[Tabs]\nRightwidth=8\n", "tabs", "rightwidth", "8" },
        { "[TitlebarSkin]\nSkinName=Teal\n", "TITLEBARSKIN", "skinname", "Teal" },
        { "[Tabs]\n  LeftWidth = 5  \n", "Tabs", "LeftWidth", "5" },
        { "[S]\nA=b=c\n", "S", "A", "b=c" },
        // The first line with the key decides, also with an empty value.
        { "[S]\nImage=\nImage=x.bmp\n", "S", "Image", "default" },
        { "[S]\nImage = \nImage=x.bmp\n", "S", "image", "default" },
        { "[S]\n; Image=a.bmp\n   ;Image=b.bmp\nImage=x.bmp ;note\n", "S", "Image", "x.bmp ;note" },
        { "[S]\rA=1\rB=2\nC=3\r\nD=4", "S", "C", "3" },
        { "[S]\rA=1\rB=2\nC=3\r\nD=4", "S", "D", "4" },
        { "[S]\r\rA=1\n\n\r\nB=2", "S", "A", "1" },
        { "[S]\nA=1\0B=2\n"s, "S", "A", "1" },
        { "[S]\nA=1\0B=2\n"s, "S", "B", "default" },
        { "\t[S]\x01\n\tA\t=\t1\t\x02\n", "S", "A", "1" },
        { "[S]\nA=\xE9\xA0\n", "S", "A", "\xE9\xA0" },
        // Sections: written name only, first occurrence only, ending at the next header.
        { "[ S ]\nA=1\n", "S", "A", "default" },
        { "[ S ]\nA=1\n", " s ", "A", "1" },
        { "[S]\nA=1\n[S]\nB=2\n", "S", "B", "default" },
        { "[S]\nA=1\n[T]\nB=2\n", "S", "B", "default" },
        { "[S]\nA=1\n[T] ;x\nB=2\n", "S", "B", "2" },
        { "A=1\n[S]\nB=2\n", "", "A", "default" },
        { "[]\nA=1\n", "", "A", "1" },
        { "[S]\nA=1\n", "Missing", "A", "default" },
        // Keys: no '=' means no key; an empty key never matches; the asked key is not trimmed.
        { "[S]\nA\n=5\nA=1\n", "S", "A", "1" },
        { "[S]\n=5\n", "S", "", "default" },
        { "[S]\nA=1\n", "S", " A", "default" },
        { "", "S", "A", "default" },
    };
    for (const TRow& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.Text) + " [" + row.Section + "] " + row.Key);
        TQuickIni ini;
        ini.LoadText(row.Text);
        EXPECT_EQ(ini.LookupText(row.Section, row.Key, "default"), row.Expected);
    }
}

TEST(QuickIniTest, NumbersAreDecimalOrHexadecimal)
{
    constexpr std::int32_t def = -77;
    const std::pair<const char*, std::int32_t> rows[] = {
        { "8", 8 },
        { "-12", -12 },
        { "+7", 7 },
        { "007", 7 },
        { "0x1F", 31 },
        { "0X1f", 31 },
        { "$1F", 31 },
        { "0xFF00FF", 0xFF00FF },
        { "0xFFFFFFFF", -1 },
        { "2147483647", std::numeric_limits<std::int32_t>::max() },
        { "-2147483648", std::numeric_limits<std::int32_t>::min() },
        { "1F", def },
        { "0x", def },
        { "$", def },
        { "-", def },
        { "0x100000000", def },
        { "2147483648", def },
        { "-2147483649", def },
        { "12 px", def },
        { "-0x5", def },
        { "0x-1", def },
        { "", def },
    };
    for (const auto& [value, expected] : rows) {
        TQuickIni ini;
        ini.LoadText("[Tabs]\nBorder=" + std::string(value) + "\n");
        EXPECT_EQ(ini.ReadNumber("tabs", "border", def), expected) << value;
    }
}

TEST(QuickIniTest, SectionNamesInFileOrderWithoutBrackets)
{
    TQuickIni ini;
    ini.LoadText(
        "[Skins]\nVersion=150\n[ Tabs ]\n[]\n;[Hidden]\n[Personality]\n[Skins]\n[Not one\n");
    EXPECT_EQ(ini.SectionNames(),
        (std::vector<std::string> { "Skins", "Tabs", "", "Personality", "Skins" }));

    // Loading again replaces what was there.
    ini.LoadText("[Fonts]\nFontHeight=14\n");
    EXPECT_EQ(ini.SectionNames(), std::vector<std::string> { "Fonts" });
    EXPECT_EQ(ini.LookupText("Skins", "Version", "none"), "none");
    EXPECT_EQ(ini.ReadNumber("Fonts", "FontHeight", 0), 14);
}

} // namespace
} // namespace quillet::skin
