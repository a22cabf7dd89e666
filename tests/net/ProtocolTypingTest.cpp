#include "ProtocolEngineFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

namespace quillet::testing {
namespace {

enum class TAction { Key, Tick, Line };

struct TTypingStep {
    TAction Action;
    TTick At; // milliseconds after the case's start tick (wrapping)
    std::string Expected;
};

struct TTypingCase {
    const char* Name;
    TTick Start;
    std::vector<TTypingStep> Steps;
};

void PrintTo(const TTypingCase& c, std::ostream* os)
{
    *os << c.Name;
}

class TypingSignals : public ProtocolEngineTest,
                      public ::testing::WithParamInterface<TTypingCase> { };

TEST_P(TypingSignals, FollowTheTimeSinceTheLastKey)
{
    Greeted();
    Choose(TChatStyle::IM);
    for (const TTypingStep& step : GetParam().Steps) {
        Ticks.Set(GetParam().Start + step.At);
        Sender.TakeNew();
        switch (step.Action) {
        case TAction::Key:
            TypeKey();
            break;
        case TAction::Tick:
            Engine.TypingTick();
            break;
        case TAction::Line:
            Engine.SendLine("hi");
            break;
        }
        EXPECT_EQ(Sender.TakeNew(), step.Expected) << "at +" << step.At;
    }
}

const std::string Typing = Bytes({ 0xF9 });
const std::string Stopped = Bytes({ 0xF7 });
const std::string Cleared = Bytes({ 0xF8 });

const std::vector<TTypingStep> PauseSteps = {
    { TAction::Key, 0, Typing },
    { TAction::Tick, 100, "" },
    { TAction::Tick, 2000, "" },
    { TAction::Tick, 2001, Stopped },
    { TAction::Tick, 3000, "" },
    { TAction::Tick, 6000, "" },
    { TAction::Tick, 6001, Cleared },
    { TAction::Tick, 9000, "" },
};

INSTANTIATE_TEST_SUITE_P(Cases, TypingSignals,
    ::testing::Values(TTypingCase { "Pause", 1000, PauseSteps },
        // LastKeyTick + 2000 wraps past zero here: a plain comparison of tick values would send
        // both signals at the first tick.
        TTypingCase { "PauseAcrossTheWrap", 0xFFFFFF00u, PauseSteps },
        TTypingCase { "SendBeforeTwoSeconds", 5000,
            { { TAction::Key, 0, Typing }, { TAction::Line, 1000, "hi\r\n" },
                { TAction::Tick, 2500, "" }, { TAction::Tick, 7000, "" } } },
        TTypingCase { "LongPauseSendsBoth", 0xFFFFF000u,
            { { TAction::Key, 0, Typing }, { TAction::Tick, 7000, Stopped + Cleared },
                { TAction::Tick, 9000, "" } } },
        TTypingCase { "NewKeyStartsANewPause", 40,
            { { TAction::Key, 0, Typing }, { TAction::Tick, 2001, Stopped },
                { TAction::Key, 3000, Typing }, { TAction::Tick, 4000, "" },
                { TAction::Tick, 5001, Stopped }, { TAction::Tick, 9001, Cleared } } }),
    [](const auto& testInfo) { return std::string(testInfo.param.Name); });

// The conversation thread sleeps until the next typing signal is due, and is woken only when a
// key starts a pause where none was (a later key only moves the deadline on).
TEST_F(ProtocolEngineTest, TheNextTypingSignalIsDueWhenTypingTickSendsItAndAFirstKeyWakes)
{
    struct TDueStep {
        TAction Action;
        TTick At; // milliseconds after the start tick (wrapping)
        std::optional<TTick> Due;
        int Wakes; // so far
    };
    const struct {
        TTick Start;
        std::vector<TDueStep> Steps;
    } cases[] = {
        { 1000,
            { { TAction::Tick, 0, std::nullopt, 0 }, { TAction::Key, 0, 2001, 1 },
                { TAction::Key, 500, 2001, 1 }, { TAction::Tick, 1500, 1001, 1 },
                { TAction::Tick, 2501, 4000, 1 }, { TAction::Tick, 6501, std::nullopt, 1 },
                { TAction::Key, 7000, 2001, 2 }, { TAction::Line, 7100, std::nullopt, 2 } } },
        { 0xFFFFFF00u, { { TAction::Key, 0, 2001, 1 }, { TAction::Tick, 0x200, 1489, 1 } } },
    };
    Greeted();
    Choose(TChatStyle::IM);
    int wakes = 0;
    Engine.SetOnThreadWork([&wakes] { ++wakes; });
    for (const auto& row : cases) {
        wakes = 0;
        for (const TDueStep& step : row.Steps) {
            Ticks.Set(row.Start + step.At);
            if (step.Action == TAction::Key)
                TypeKey();
            else if (step.Action == TAction::Tick)
                Engine.TypingTick();
            else
                Engine.SendLine("hi");
            EXPECT_EQ(Engine.TypingDueInMs(), step.Due) << "at +" << step.At;
            EXPECT_EQ(wakes, step.Wakes) << "at +" << step.At;
        }
    }
    Choose(TChatStyle::Realtime);
    TypeKey();
    EXPECT_EQ(Engine.TypingDueInMs(), std::nullopt) << "no typing signals outside IM";
}

TEST_F(ProtocolEngineTest, TypingTickWaitsForTheConnectionOnlyWhenSignalsAreDue)
{
    Greeted();
    TypeKey(); // Realtime: no typing signals
    Engine.TypingTick();
    Choose(TChatStyle::IM);
    Engine.TypingTick();
    EXPECT_EQ(Sender.WaitCalls.load(), 0);

    TypeKey();
    Sender.Clear();
    Sender.Writable = false;
    Ticks.Advance(3000);
    Engine.TypingTick();
    EXPECT_EQ(Sender.WaitCalls.load(), 1);
    EXPECT_EQ(Sender.LastWaitMs.load(), 1000);
    EXPECT_TRUE(Sender.Sends().empty());
    Sender.Writable = true;
    Engine.TypingTick();
    EXPECT_EQ(Sender.Bytes(), Stopped);
}

TEST_F(ProtocolEngineTest, LeavingImForgetsTheTypingOfTheDroppedLine)
{
    Greeted();
    Choose(TChatStyle::IM);
    TypeKey();
    Choose(TChatStyle::Realtime);
    Choose(TChatStyle::IM);
    Ticks.Advance(7000);
    Engine.TypingTick();
    EXPECT_TRUE(Sender.Sends().empty());
    EXPECT_FALSE(Engine.TypingPending());
}

// The conversation thread ticks while the main thread types and sends lines. Every typing signal
// on the wire must agree with the keys and lines sent before it: 247 once per pause and only
// more than 2 s after the last key, 248 only more than 6 s after it and never after the line.
TEST(ProtocolEngineThreads, TypingTickOnTheConversationThreadAgreesWithTheKeys)
{
    TRecordingDisplay display;
    TFakeTickSource ticks(0xFFFF0000u); // runs through the wrap
    TFakeByteSender sender(&ticks);
    TProtocolEngine engine(display, sender, ticks, "Me");
    engine.ProcessIncoming("Bob\r\n");
    engine.UserChoseStyle(TChatStyle::IM);
    sender.Clear();

    std::atomic<bool> stop { false };
    std::thread conversation([&] {
        while (!stop.load())
            engine.TypingTick();
    });
    const TTick pauses[] = { 50, 2500, 700, 6500, 30 };
    std::string typed;
    for (int i = 0; i < 400; ++i) {
        ticks.Advance(pauses[i % 5]);
        typed += 'k';
        if (i % 37 == 36)
            engine.SendLine("line");
        else
            engine.TypingPaneChanged(typed, 0);
        if (i % 5 == 0)
            std::this_thread::yield();
    }
    stop = true;
    conversation.join();
    ticks.Advance(7000);
    engine.TypingTick();

    bool pending = false, stoppedSent = false;
    TTick lastKey = 0;
    int stoppedCount = 0, clearedCount = 0;
    for (const auto& send : sender.StampedSends()) {
        const auto b = static_cast<unsigned char>(send.Bytes[0]);
        if (send.Bytes == "\r\n") {
            pending = false;
        } else if (b == 0xF9) {
            pending = true;
            stoppedSent = false;
            lastKey = send.At;
        } else if (b == 0xF7) {
            ++stoppedCount;
            EXPECT_TRUE(pending && !stoppedSent);
            EXPECT_GT(TickElapsed(send.At, lastKey), 2000u);
            stoppedSent = true;
        } else if (b == 0xF8) {
            ++clearedCount;
            EXPECT_TRUE(pending);
            EXPECT_GT(TickElapsed(send.At, lastKey), 6000u);
            pending = false;
        }
    }
    EXPECT_GT(stoppedCount, 0);
    EXPECT_GT(clearedCount, 0);
    EXPECT_FALSE(engine.TypingPending());
}

} // namespace
} // namespace quillet::testing
