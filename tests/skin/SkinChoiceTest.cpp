#include "skin/SkinChoice.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace quillet::skin {
namespace {

struct TChoiceCase {
    const char* Name;
    const char* Value;
    TSkinChoice Expected;
};

class SkinSetting : public ::testing::TestWithParam<TChoiceCase> { };

TEST_P(SkinSetting, NamesTheSkin)
{
    const char* home = std::getenv("HOME");
    const std::string saved = home != nullptr ? home : "";
    setenv("HOME", "/home/ann", 1);
    EXPECT_EQ(SkinChoiceFromSetting(GetParam().Value, "/opt/quillet"), GetParam().Expected);
    if (home != nullptr)
        setenv("HOME", saved.c_str(), 1);
    else
        unsetenv("HOME");
}

using TKind = TSkinChoice::TKind;

INSTANTIATE_TEST_SUITE_P(Values, SkinSetting,
    ::testing::Values(TChoiceCase { "Missing", "", { TKind::BuiltIn, {} } },
        TChoiceCase { "Blank", "  \t", { TKind::BuiltIn, {} } },
        TChoiceCase { "None", "none", { TKind::None, {} } },
        TChoiceCase { "NoneInCapitals", " NoNe ", { TKind::None, {} } },
        TChoiceCase { "NotQuiteNone", "nones", { TKind::File, "/opt/quillet/nones" } },
        TChoiceCase { "Absolute", "/srv/skins/dark.skin", { TKind::File, "/srv/skins/dark.skin" } },
        TChoiceCase { "BesideTheSettings", "my.skin", { TKind::File, "/opt/quillet/my.skin" } },
        TChoiceCase { "Relative", "../skins/./my.skin", { TKind::File, "/opt/skins/my.skin" } },
        TChoiceCase { "Home", "~/skins/my.skin", { TKind::File, "/home/ann/skins/my.skin" } },
        TChoiceCase { "BlanksAround", "  /srv/a b.skin ", { TKind::File, "/srv/a b.skin" } }),
    [](const auto& row) { return std::string(row.param.Name); });

} // namespace
} // namespace quillet::skin
