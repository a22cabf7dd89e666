#pragma once

#include "net/ProtocolEngine.h"

#include "support/ProtocolFakes.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace quillet::testing {

using Sends = std::vector<std::string>;

inline std::string Bytes(std::initializer_list<unsigned> values)
{
    std::string out;
    for (const unsigned v : values)
        out += static_cast<char>(v);
    return out;
}

class ProtocolEngineTest : public ::testing::Test {
protected:
    TRecordingDisplay Display;
    TFakeTickSource Ticks { 1000 };
    TFakeByteSender Sender { &Ticks };
    TProtocolEngine Engine { Display, Sender, Ticks, "Me" };

    void TearDown() override { EXPECT_TRUE(Display.Faults.empty()) << Display.Faults.front(); }

    // The peer "Bob" has greeted; this side's reply is already out of the way.
    void Greeted()
    {
        Engine.ProcessIncoming("Bob\r\n");
        Sender.Clear();
        Display.Calls.clear();
    }

    void Choose(TChatStyle style)
    {
        Display.UserMarked(style);
        Engine.UserChoseStyle(style);
        Sender.Clear();
        Display.Calls.clear();
    }

    // A key typed at the end of the typing pane, which holds Typed.
    void TypeKey(char key = 'k')
    {
        Typed += key;
        Engine.TypingPaneChanged(Typed, 0);
    }
    std::string Typed;
};

// Two engines wired to each other: bytes one sends are what the other receives.
struct TWiredPair {
    TFakeTickSource Ticks;
    TRecordingDisplay DisplayA, DisplayB;
    TFakeByteSender SenderA, SenderB;
    TProtocolEngine A { DisplayA, SenderA, Ticks, "Ann" };
    TProtocolEngine B { DisplayB, SenderB, Ticks, "Ben" };
    std::vector<std::string> AtoB, BtoA;

    // A user's click on a style choice: the tab marks it, then the engine runs the handler.
    static void Click(TProtocolEngine& engine, TRecordingDisplay& display, TChatStyle style)
    {
        display.UserMarked(style);
        engine.UserChoseStyle(style);
    }

    // Delivers what is in flight until both sides are quiet; logs each direction's deliveries.
    void Pump()
    {
        for (int round = 0; round < 100; ++round) {
            const std::string toB = SenderA.TakeNew();
            if (!toB.empty()) {
                AtoB.push_back(toB);
                B.ProcessIncoming(toB);
            }
            const std::string toA = SenderB.TakeNew();
            if (!toA.empty()) {
                BtoA.push_back(toA);
                A.ProcessIncoming(toA);
            }
            if (toA.empty() && toB.empty())
                return;
        }
        ADD_FAILURE() << "the two sides never went quiet";
    }
};

} // namespace quillet::testing
