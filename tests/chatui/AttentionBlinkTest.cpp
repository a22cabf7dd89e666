#include "chatui/TAttentionBlink.h"
#include "support/ProtocolFakes.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

struct TStep {
    TTick AfterMs; // since the previous step
    bool Lit; // after a pass of the tick source
};

struct TBlinkRow {
    const char* Case;
    TTick Start;
    std::vector<TStep> Steps;
    int Toggles;
};

const TBlinkRow Rows[] = {
    { "four toggles more than 200 ms apart, then lit until cleared", 100000,
        { { 200, true }, { 1, false }, { 150, false }, { 201, true }, { 300, false }, { 300, true },
            { 1000, true }, { 1000, true }, { 5000, true } },
        4 },
    { "the tick count wraps between two passes", 0xFFFFFF00u, { { 0x150, false }, { 0x150, true } },
        2 },
    { "passes closer together than the interval never toggle", 100000,
        { { 100, true }, { 100, true }, { 100, false }, { 100, false }, { 100, false },
            { 1, true } },
        2 },
};

TEST(AttentionBlinkTest, BlinksFourTimesAndEndsLit)
{
    for (const TBlinkRow& row : Rows) {
        SCOPED_TRACE(row.Case);
        testing::TFakeTickSource ticks(row.Start);
        TAttentionBlink blink(ticks);
        EXPECT_FALSE(blink.NeedsTicks());
        blink.Start();
        EXPECT_TRUE(blink.Lit()) << "lit at once";
        for (std::size_t i = 0; i < row.Steps.size(); ++i) {
            ticks.Advance(row.Steps[i].AfterMs);
            blink.Tick();
            EXPECT_EQ(blink.Lit(), row.Steps[i].Lit) << "step " << i;
        }
        EXPECT_EQ(blink.Toggles(), row.Toggles);
        EXPECT_TRUE(blink.NeedsTicks());
        if (row.Toggles == TAttentionBlink::MaxToggles) {
            EXPECT_EQ(blink.NextToggleInMs(), std::nullopt) << "lit, and no toggle to come";
        }
    }
}

TEST(AttentionBlinkTest, ClearEndsItAndStartBeginsAnew)
{
    testing::TFakeTickSource ticks(5000);
    TAttentionBlink blink(ticks);
    blink.Start();
    EXPECT_EQ(blink.NextToggleInMs(), 201u) << "due once more than the interval has passed";
    ticks.Advance(150);
    EXPECT_EQ(blink.NextToggleInMs(), 51u);
    ticks.Advance(51);
    EXPECT_EQ(blink.NextToggleInMs(), 0u);
    EXPECT_TRUE(blink.Tick());
    blink.Clear();
    EXPECT_EQ(blink.NextToggleInMs(), std::nullopt);
    EXPECT_FALSE(blink.Lit());
    EXPECT_FALSE(blink.Active());
    EXPECT_FALSE(blink.NeedsTicks());
    ticks.Advance(1000);
    EXPECT_FALSE(blink.Tick()) << "no blinking once cleared";

    blink.Start();
    EXPECT_EQ(blink.Toggles(), 0);
    ticks.Advance(200);
    EXPECT_FALSE(blink.Tick()) << "the interval counts from the new start";
}

} // namespace
} // namespace quillet
