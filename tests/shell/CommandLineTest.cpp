#include "ShellTestSupport.h"

#include "shell/CommandLine.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

struct TShowCase {
    QStringList Arguments;
    bool Expected;
};

class HasShowArgumentTest : public ::testing::TestWithParam<TShowCase> { };

TEST_P(HasShowArgumentTest, ScansEveryArgumentForTheWholeWord)
{
    EXPECT_EQ(HasShowArgument(GetParam().Arguments), GetParam().Expected)
        << GetParam().Arguments.join(' ').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Arguments, HasShowArgumentTest,
    ::testing::Values(TShowCase { {}, false }, TShowCase { { "show" }, true },
        TShowCase { { "SHOW" }, true }, TShowCase { { "sHoW" }, true },
        // Any position, not only the first.
        TShowCase { { "--verbose", "x", "Show" }, true }, TShowCase { { "show", "show" }, true },
        // The whole word only.
        TShowCase { { "-show" }, false }, TShowCase { { "/show" }, false },
        TShowCase { { "shows" }, false }, TShowCase { { " show" }, false },
        TShowCase { { "sho" }, false }, TShowCase { { "" }, false },
        // Letter case is ASCII only: Unicode case folding would take the long s (U+017F) for
        // an "s".
        TShowCase { { QString::fromUtf8("\xC5\xBFhow") }, false }));

} // namespace
} // namespace quillet
