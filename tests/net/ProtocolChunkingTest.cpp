#include "ProtocolEngineFixture.h"

#include <gtest/gtest.h>

#include <random>

namespace quillet::testing {
namespace {

// How the engine stands before the stream arrives: caller or callee, and the style it runs in.
struct TStart {
    bool Caller;
    TChatStyle Style;
};

struct TOutcome {
    TRenderedState Rendered;
    std::string Sent;
    std::string PeerName;
    TChatStyle Style;
    std::vector<std::string> Faults;
};

TOutcome RunStream(
    const TStart& start, std::string_view stream, const std::vector<std::size_t>& cuts)
{
    TFakeTickSource ticks(0);
    TRecordingDisplay display;
    display.KeepCallLog = false;
    TFakeByteSender sender;
    TProtocolEngine engine(display, sender, ticks, "Me");
    if (start.Caller) {
        engine.SendGreeting();
        engine.AnnounceStartStyle(start.Style);
    } else if (start.Style != TChatStyle::Realtime) {
        display.UserMarked(start.Style);
        engine.UserChoseStyle(start.Style); // held back until the greeting
    }
    std::size_t from = 0;
    for (const std::size_t cut : cuts) {
        engine.ProcessIncoming(stream.substr(from, cut - from));
        from = cut;
    }
    engine.ProcessIncoming(stream.substr(from));
    return { display.State, sender.Bytes(), engine.PeerName(), engine.Style(), display.Faults };
}

void ExpectSame(const TOutcome& whole, const TOutcome& cut, const std::vector<std::size_t>& cuts)
{
    std::string where;
    for (const std::size_t c : cuts)
        where += std::to_string(c) + " ";
    EXPECT_EQ(cut.Rendered, whole.Rendered)
        << "cuts: " << where << "\ntranscript whole: " << whole.Rendered.Transcript
        << "\ntranscript cut: " << cut.Rendered.Transcript;
    EXPECT_EQ(cut.Sent, whole.Sent) << "cuts: " << where;
    EXPECT_EQ(cut.PeerName, whole.PeerName) << "cuts: " << where;
    EXPECT_EQ(cut.Style, whole.Style) << "cuts: " << where;
    EXPECT_TRUE(cut.Faults.empty()) << cut.Faults.front();
}

const std::string Alphabet = std::string("ab \t\r\r\n\n\b\x7F\x01\x1B")
    + Bytes({ 0x80, 0x81, 0xE9, 0xF6, 0xFD, 0xF7, 0xF8, 0xF9, 0xFA, 0xFB, 0xFC, 0xF9, 0xFB, 0xFC });

std::string RandomStream(std::mt19937& rng, std::size_t bodyLength)
{
    std::string s;
    switch (rng() % 4) {
    case 0:
        s = "\r"; // an empty name first: the name phase goes on
        break;
    case 1:
        s = Bytes({ 0xFB }); // a signal byte inside the name is a letter of it
        break;
    default:
        break;
    }
    s += "Bo";
    s += Alphabet[rng() % Alphabet.size()];
    s += "\r\n";
    for (std::size_t i = 0; i < bodyLength; ++i)
        s += Alphabet[rng() % Alphabet.size()];
    return s;
}

const TStart Starts[] = { { false, TChatStyle::Realtime }, { false, TChatStyle::IM },
    { false, TChatStyle::IMPreview }, { true, TChatStyle::Realtime }, { true, TChatStyle::IM },
    { true, TChatStyle::IMPreview } };

// Every way of cutting a short stream into chunks renders the same as the stream in one chunk.
TEST(ProtocolChunking, EveryCutOfShortStreamsRendersTheSame)
{
    std::mt19937 rng(7);
    std::vector<std::string> streams = {
        "Bo\r\n" + Bytes({ 0xFB }) + "hi\r\n" + Bytes({ 0xFC }) + "\b\r",
        "\r\nBo\r\n\xF7" + Bytes({ 0xFA, 0xF9 }) + "ab\r",
    };
    for (int i = 0; i < 4; ++i)
        streams.push_back(RandomStream(rng, 6));
    for (const std::string& stream : streams) {
        ASSERT_LE(stream.size(), 12u);
        for (const TStart& start : Starts) {
            const TOutcome whole = RunStream(start, stream, {});
            EXPECT_TRUE(whole.Faults.empty());
            const std::size_t gaps = stream.size() - 1;
            for (std::uint32_t mask = 1; mask < (1u << gaps); ++mask) {
                std::vector<std::size_t> cuts;
                for (std::size_t g = 0; g < gaps; ++g) {
                    if (mask & (1u << g))
                        cuts.push_back(g + 1);
                }
                ExpectSame(whole, RunStream(start, stream, cuts), cuts);
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}

// Long streams with random cuts, a fixed seed so a failure repeats.
TEST(ProtocolChunking, RandomCutsOfLongStreamsRenderTheSame)
{
    std::mt19937 rng(1234);
    for (int s = 0; s < 12; ++s) {
        const std::string stream = RandomStream(rng, 300 + rng() % 1700);
        for (const TStart& start : Starts) {
            const TOutcome whole = RunStream(start, stream, {});
            for (int trial = 0; trial < 8; ++trial) {
                std::vector<std::size_t> cuts;
                std::size_t at = 0;
                const std::size_t maxChunk = 1 + rng() % 64;
                while (true) {
                    at += 1 + rng() % maxChunk;
                    if (at >= stream.size())
                        break;
                    cuts.push_back(at);
                }
                ExpectSame(whole, RunStream(start, stream, cuts), cuts);
                if (::testing::Test::HasFailure())
                    return;
            }
        }
    }
}

} // namespace
} // namespace quillet::testing
