#include "platform/VisibleName.h"

#include <QChar>

#include <gtest/gtest.h>

#include <string>

namespace quillet {
namespace {

// The program's own tables hold what the toolkit's Unicode tables say, over every code point:
// every format character is invisible, and what else is invisible is one of the marks or letters
// that draw nothing (or a code point the toolkit's tables do not know yet); the blanks are the
// space separators.
TEST(VisibleName, TheInvisibleAndTheBlankCharactersAreUnicodesOwn)
{
    int invisible = 0;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Other_Format) {
            ASSERT_TRUE(text::IsInvisible(c)) << std::hex << static_cast<unsigned>(c);
        } else if (text::IsInvisible(c)) {
            ++invisible;
            ASSERT_TRUE(category == QChar::Mark_NonSpacing || category == QChar::Letter_Other
                || category == QChar::Other_NotAssigned)
                << std::hex << static_cast<unsigned>(c);
        }
        ASSERT_EQ(text::IsBlank(c), category == QChar::Separator_Space)
            << std::hex << static_cast<unsigned>(c);
    }
    EXPECT_GT(invisible, 0) << "the fillers and variation selectors are not format characters";
}

// (Every format character is invisible by the test above; a few of them stand for the rest.)
TEST(VisibleName, NamesThatCouldPassForOthersAreShownAsTheyRead)
{
    const struct {
        const char* What;
        std::string In;
        std::string Shown;
    } rows[] = {
        { "zero-width joiner", "Jane Doe\u200D", "Jane Doe" },
        { "zero-width space", "Jane\u200BDoe", "JaneDoe" },
        { "soft hyphen", "Ja\u00ADne", "Jane" },
        { "direction override", "Jane\u202Eeod", "Janeeod" },
        { "Hangul filler at the end", "Jane Doe\u3164", "Jane Doe" },
        { "variation selector", "Jane\uFE0F", "Jane" },
        { "combining grapheme joiner", "Ja\u034Fne", "Jane" },
        { "en space inside", "Jane\u2002Doe", "Jane Doe" },
        { "no-break and ideographic spaces around", "\u00A0Jane\u3000", "Jane" },
        { "a run of blanks", "Jane \u2009 \u202F Doe", "Jane Doe" },
        { "an accent stays", "Jos\u00E9 Jose\u0301", "Jos\u00E9 Jose\u0301" },
        { "only invisible and blank", "\u200B \u200D\u2003", "" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.What);
        EXPECT_EQ(text::VisibleName(row.In), row.Shown);
    }
}

} // namespace
} // namespace quillet
