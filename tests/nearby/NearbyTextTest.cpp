#include "nearby/NearbyText.h"

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

using nearby::InstanceNameFor;
using nearby::MaxInstanceNameBytes;
using nearby::MaxShownNameBytes;
using nearby::ShownName;

struct TNameRow {
    const char* What;
    std::string In;
    std::string Shown; // ShownName
    std::string Announced; // InstanceNameFor
};

// Names as they come off the network, or out of the settings file for the own announcement.
TEST(NearbyText, NamesAreCleanedTheSameWayInBothDirections)
{
    const std::string replacement = "\xEF\xBF\xBD";
    const TNameRow rows[] = {
        { "plain", "Ann Smith", "Ann Smith", "Ann Smith" },
        { "blanks around", "  Ann \t", "Ann", "Ann" },
        { "blanks inside one blank", "Ann \xE2\x80\x83 Smith", "Ann Smith", "Ann Smith" },
        { "non-breaking blank trimmed",
            "\xC2\xA0"
            "Ann\xC2\xA0",
            "Ann", "Ann" },
        { "UTF-8 kept", "J\xC3\xBCrgen \xF0\x9F\x98\x80", "J\xC3\xBCrgen \xF0\x9F\x98\x80",
            "J\xC3\xBCrgen \xF0\x9F\x98\x80" },
        { "line breaks and controls", "Ann\r\nBob\x07\x7F", "AnnBob", "AnnBob" },
        { "C1 control",
            "A\xC2\x85"
            "B",
            "AB", "AB" },
        { "direction override",
            "Ann\xE2\x80\xAE"
            "gpj.exe",
            "Anngpj.exe", "Anngpj.exe" },
        { "direction isolate",
            "\xE2\x81\xA6"
            "Ann\xE2\x81\xA9",
            "Ann", "Ann" },
        { "line separator",
            "Ann\xE2\x80\xA8"
            "Bob",
            "AnnBob", "AnnBob" },
        { "stray continuation byte",
            "A\x80"
            "B",
            "A" + replacement + "B", "AB" },
        { "Latin-1 byte", "Ren\xE9", "Ren" + replacement, "Ren" },
        { "overlong slash",
            "a\xC0\xAF"
            "b",
            "a" + replacement + replacement + "b", "ab" },
        { "surrogate",
            "a\xED\xA0\x80"
            "b",
            "a" + replacement + replacement + replacement + "b", "ab" },
        { "beyond U+10FFFF", "\xF4\x90\x80\x80",
            replacement + replacement + replacement + replacement, "John Doe" },
        { "cut-off sequence", "Ann\xE2\x82", "Ann" + replacement + replacement, "Ann" },
        { "NUL inside", std::string("A\0B", 3), "AB", "AB" },
        { "empty", "", "", "John Doe" },
        { "only controls and blanks", " \x01\x02 ", "", "John Doe" },
    };
    for (const TNameRow& row : rows) {
        SCOPED_TRACE(row.What);
        EXPECT_EQ(ShownName(row.In), row.Shown);
        EXPECT_EQ(InstanceNameFor(row.In), row.Announced);
    }
}

TEST(NearbyText, LongNamesAreCutAtACharacterBoundaryWithoutABlankAtTheEnd)
{
    const std::string e = "\xC3\xA9"; // two bytes
    const struct {
        const char* What;
        std::string In;
        std::size_t Max;
        std::string Expected;
    } rows[] = {
        { "announce: 62 + two-byte letter does not fit", std::string(62, 'a') + e + "b",
            MaxInstanceNameBytes, std::string(62, 'a') },
        { "announce: 61 + two-byte letter fits", std::string(61, 'a') + e + "b",
            MaxInstanceNameBytes, std::string(61, 'a') + e },
        { "announce: a blank before the cut goes too", std::string(62, 'a') + " bc",
            MaxInstanceNameBytes, std::string(62, 'a') },
        { "shown: 300 bytes", std::string(300, 'x'), MaxShownNameBytes, std::string(255, 'x') },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        const std::string out
            = row.Max == MaxInstanceNameBytes ? InstanceNameFor(row.In) : ShownName(row.In);
        EXPECT_EQ(out, row.Expected);
        EXPECT_LE(out.size(), row.Max);
    }
}

} // namespace
} // namespace quillet
