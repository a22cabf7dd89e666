#include "ProtocolEngineFixture.h"

#include <gtest/gtest.h>

#include <random>

namespace quillet::testing {
namespace {

struct TEchoCase {
    TChatStyle Marked;
    TChatStyle Received;
};

void PrintTo(const TEchoCase& c, std::ostream* os)
{
    *os << "marked " << int(c.Marked) << ", received " << int(c.Received);
}

class StyleEcho : public ProtocolEngineTest, public ::testing::WithParamInterface<TEchoCase> { };

TEST_P(StyleEcho, CalleeRepliesOnlyWhenTheChoiceWasNotMarked)
{
    Greeted();
    if (GetParam().Marked != TChatStyle::Realtime)
        Choose(GetParam().Marked);
    const auto signal = static_cast<unsigned>(249 + int(GetParam().Received));
    Engine.ProcessIncoming(Bytes({ signal }));
    const Sends expected
        = GetParam().Marked == GetParam().Received ? Sends {} : Sends { Bytes({ signal }) };
    EXPECT_EQ(Sender.Sends(), expected);
    EXPECT_EQ(Engine.Style(), GetParam().Received);
    EXPECT_EQ(Engine.MarkedChoice(), GetParam().Received);
    EXPECT_EQ(Display.State.Marked, GetParam().Received);
    // A second identical signal is never answered.
    Sender.Clear();
    Engine.ProcessIncoming(Bytes({ signal }));
    EXPECT_TRUE(Sender.Sends().empty());
}

INSTANTIATE_TEST_SUITE_P(AllPairs, StyleEcho, ::testing::ValuesIn([] {
    std::vector<TEchoCase> cases;
    for (const auto m : { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview })
        for (const auto r : { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview })
            cases.push_back({ m, r });
    return cases;
}()));

// ---- style choices -------------------------------------------------------------------------

TEST_F(ProtocolEngineTest, UserChoiceMarksSwitchesThenSignals)
{
    Greeted();
    Display.UserMarked(TChatStyle::IM);
    Engine.UserChoseStyle(TChatStyle::IM);
    EXPECT_EQ(Display.Calls, Sends { "switch:1>2" });
    EXPECT_EQ(Sender.Sends(), Sends { Bytes({ 0xFB }) });
    EXPECT_EQ(Engine.MarkedChoice(), TChatStyle::IM);
}

TEST_F(ProtocolEngineTest, StartStyleAnnouncementDoesNotMark)
{
    Engine.SendGreeting();
    Sender.Clear();
    Engine.AnnounceStartStyle(TChatStyle::IMPreview);
    EXPECT_EQ(Sender.Sends(), Sends { Bytes({ 0xFC }) });
    EXPECT_EQ(Engine.Style(), TChatStyle::IMPreview);
    EXPECT_EQ(Engine.MarkedChoice(), TChatStyle::Realtime);
}

TEST_F(ProtocolEngineTest, UnknownStylesAreIgnored)
{
    Engine.UserChoseStyle(static_cast<TChatStyle>(0));
    Engine.AnnounceStartStyle(static_cast<TChatStyle>(7));
    EXPECT_TRUE(Sender.Sends().empty());
    EXPECT_TRUE(Display.Calls.empty());
    EXPECT_EQ(Engine.Style(), TChatStyle::Realtime);
}

TEST(ProtocolEnginePair, CallerWithStartStyleImAndTheEchoes)
{
    TWiredPair pair;
    pair.A.SendGreeting();
    pair.A.AnnounceStartStyle(TChatStyle::IM);
    pair.Pump();
    EXPECT_EQ(pair.AtoB, (Sends { "Ann\r\n" + Bytes({ 0xFB }), Bytes({ 0xFB }) }));
    EXPECT_EQ(pair.BtoA, (Sends { "Ben\r\n" + Bytes({ 0xFB }) }));
    EXPECT_EQ(pair.SenderB.Sends(), (Sends { "Ben\r\n", Bytes({ 0xFB }) }));
    for (const TProtocolEngine* e : { &pair.A, &pair.B }) {
        EXPECT_EQ(e->Style(), TChatStyle::IM);
        EXPECT_EQ(e->MarkedChoice(), TChatStyle::IM);
    }
    EXPECT_EQ(pair.A.PeerName(), "Ben");
    EXPECT_EQ(pair.B.PeerName(), "Ann");
}

TEST(ProtocolEnginePair, CallerWithStartStyleRealtimeIsNotEchoed)
{
    TWiredPair pair;
    pair.A.SendGreeting();
    pair.A.AnnounceStartStyle(TChatStyle::Realtime);
    pair.Pump();
    EXPECT_EQ(pair.SenderA.Bytes(), "Ann\r\n" + Bytes({ 0xFA }));
    EXPECT_EQ(pair.SenderB.Bytes(), "Ben\r\n");
    EXPECT_EQ(pair.B.Style(), TChatStyle::Realtime);
}

TEST_F(ProtocolEngineTest, CallerFollowsThePeersChoiceWithoutAnswering)
{
    Engine.SendGreeting();
    Engine.ProcessIncoming("Bob\r\n");
    Sender.Clear();
    Engine.ProcessIncoming(Bytes({ 0xFC }));
    EXPECT_TRUE(Sender.Sends().empty());
    EXPECT_EQ(Engine.Style(), TChatStyle::IMPreview);
    EXPECT_EQ(Engine.MarkedChoice(), TChatStyle::IMPreview);
    EXPECT_EQ(Display.State.Marked, TChatStyle::IMPreview);
}

TEST_F(ProtocolEngineTest, CallerAnswersTheAcknowledgementOfItsStartStyleOnce)
{
    Engine.SendGreeting();
    Engine.AnnounceStartStyle(TChatStyle::IM);
    Sender.Clear();
    Engine.ProcessIncoming("Bob\r\n" + Bytes({ 0xFB, 0xFB }));
    EXPECT_EQ(Sender.Sends(), Sends { Bytes({ 0xFB }) });
    EXPECT_EQ(Engine.MarkedChoice(), TChatStyle::IM);
}

struct TPairStep {
    bool ChoiceOnA;
    TChatStyle Style;
};

void ExpectSettled(TWiredPair& pair)
{
    EXPECT_EQ(pair.A.Style(), pair.B.Style());
    EXPECT_EQ(pair.A.MarkedChoice(), pair.A.Style());
    EXPECT_EQ(pair.B.MarkedChoice(), pair.B.Style());
    EXPECT_EQ(pair.DisplayA.State.Style, pair.A.Style());
    EXPECT_EQ(pair.DisplayB.State.Style, pair.B.Style());
    EXPECT_EQ(pair.DisplayA.State.Marked, pair.A.MarkedChoice());
    EXPECT_EQ(pair.DisplayB.State.Marked, pair.B.MarkedChoice());
    EXPECT_TRUE(pair.DisplayA.Faults.empty());
    EXPECT_TRUE(pair.DisplayB.Faults.empty());
}

// Choices made on both sides before either has heard the other: the signals cross on the wire.
TEST(ProtocolEnginePair, CrossedChoicesSettleOnOneStyle)
{
    const std::vector<std::vector<TPairStep>> cases = {
        { { true, TChatStyle::IM }, { false, TChatStyle::IMPreview } },
        { { false, TChatStyle::IM }, { false, TChatStyle::IMPreview } },
        { { true, TChatStyle::IM }, { true, TChatStyle::IMPreview } },
        { { true, TChatStyle::IMPreview }, { false, TChatStyle::IM },
            { false, TChatStyle::Realtime } },
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(i);
        TWiredPair pair;
        pair.A.SendGreeting();
        pair.Pump();
        for (const TPairStep& step : cases[i]) {
            if (step.ChoiceOnA)
                TWiredPair::Click(pair.A, pair.DisplayA, step.Style);
            else
                TWiredPair::Click(pair.B, pair.DisplayB, step.Style);
        }
        pair.Pump();
        ExpectSettled(pair);
    }
}

// Random choices on both sides with random parts of the bytes in flight delivered between them:
// whatever crosses, the two sides go quiet and agree.
TEST(ProtocolEnginePair, RandomInterleavingsAlwaysSettle)
{
    std::mt19937 rng(20240611);
    const TChatStyle styles[] = { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview };
    for (int run = 0; run < 300; ++run) {
        SCOPED_TRACE(run);
        TWiredPair pair;
        std::string toB, toA;
        pair.A.SendGreeting();
        pair.A.AnnounceStartStyle(styles[rng() % 3]);
        for (int step = 0; step < 25; ++step) {
            toB += pair.SenderA.TakeNew();
            toA += pair.SenderB.TakeNew();
            switch (rng() % 4) {
            case 0:
                TWiredPair::Click(pair.A, pair.DisplayA, styles[rng() % 3]);
                break;
            case 1:
                TWiredPair::Click(pair.B, pair.DisplayB, styles[rng() % 3]);
                break;
            case 2: {
                const std::size_t n = toB.empty() ? 0 : 1 + rng() % toB.size();
                pair.B.ProcessIncoming(toB.substr(0, n));
                toB.erase(0, n);
                break;
            }
            default: {
                const std::size_t n = toA.empty() ? 0 : 1 + rng() % toA.size();
                pair.A.ProcessIncoming(toA.substr(0, n));
                toA.erase(0, n);
                break;
            }
            }
        }
        pair.B.ProcessIncoming(toB);
        pair.A.ProcessIncoming(toA);
        pair.Pump();
        ExpectSettled(pair);
        if (::testing::Test::HasFailure())
            return;
    }
}

} // namespace
} // namespace quillet::testing
