#include "ProtocolEngineFixture.h"

#include "support/MemoryProbes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::testing {
namespace {

// The typing pane as the window keeps it: its text, what a key does to it at its end, and Enter
// sending the line in the one-line styles.
struct TTypingPane {
    TProtocolEngine& Engine;
    std::string Text;

    void Key(char key)
    {
        if (key == '\r' && Engine.Style() != TChatStyle::Realtime) {
            Engine.LineEndTyped();
            Engine.SendLine(Text);
            Text.clear();
            return;
        }
        if (key != '\b')
            Text += key == '\r' ? '\n' : key;
        else if (!Text.empty())
            Text.pop_back();
        Engine.TypingPaneChanged(Text, 0);
    }
};

// ---- sending -------------------------------------------------------------------------------

struct TGoldenTyping {
    TChatStyle Style;
    Sends Expected;
};

void PrintTo(const TGoldenTyping& c, std::ostream* os)
{
    *os << "style " << int(c.Style);
}

class GoldenTyping : public ProtocolEngineTest,
                     public ::testing::WithParamInterface<TGoldenTyping> { };

TEST_P(GoldenTyping, HiBackspaceIEnterGivesTheWrittenBytes)
{
    Greeted();
    if (GetParam().Style != TChatStyle::Realtime)
        Choose(GetParam().Style);
    TTypingPane pane { Engine, {} };
    for (const char key : { 'h', 'i', '\b', 'i', '\r' })
        pane.Key(key);
    EXPECT_EQ(Sender.Sends(), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(AllStyles, GoldenTyping,
    ::testing::Values(TGoldenTyping { TChatStyle::Realtime, { "h", "i", "\b", "i", "\r" } },
        TGoldenTyping { TChatStyle::IM,
            { Bytes({ 0xF9 }), Bytes({ 0xF9 }), Bytes({ 0xF9 }), Bytes({ 0xF9 }), Bytes({ 0xF9 }),
                "hi", "\r\n" } },
        TGoldenTyping { TChatStyle::IMPreview, { "h", "i", "\b", "i", "\r" } }));

// Whatever the user did to the pane, the peer's copy is turned into the pane's text with the
// erases and characters the wire has (in IM a typing signal stands for it). Each row starts from
// a pane whose text `From` the peer has already.
TEST_F(ProtocolEngineTest, APaneChangeSendsWhatTurnsThePeersCopyIntoThePane)
{
    struct TRow {
        const char* Name;
        TChatStyle Style;
        std::string From;
        std::string To; // UTF-8; Enter when `Enter`
        std::string Expected;
        std::size_t Dropped = 0;
        bool Enter = false;
    };
    using enum TChatStyle;
    const TRow rows[] = {
        { "a key at the end", Realtime, "mor", "more", "e" },
        { "the last character erased", Realtime, "more", "mor", "\b" },
        { "the whole text selected and erased", IMPreview, "more", "", "\b\b\b\b" },
        { "a paste in the middle", IMPreview, "abcd", "abXYcd", "\b\bXYcd" },
        { "a word typed over a selection", Realtime, "one two", "one six", "\b\b\bsix" },
        { "a line broken in the middle", Realtime, "ab", "a\nb", "\b\rb" },
        { "a line end erased", Realtime, "a\nb", "ab", "\b\bb" },
        { "the limit took the front", Realtime, "abcdef", "cdefg", "g", 2 },
        { "the limit took more than the copy", Realtime, "ab", "x", "x", 5 },
        { "nothing changed", Realtime, "same", "same", "" },
        { "erasing an empty pane", IMPreview, "", "", "" },
        { "letters whose bytes are signals", Realtime, "",
            "\xC3\xB7\xC3\xB8\xC3\xB9\xC3\xBA\xC3\xBB\xC3\xBC", "/ouuuu" },
        { "what Windows-1252 holds, and what it does not", IMPreview, "",
            "\xC3\xA9\xE2\x82\xAC\xE2\x9C\x93", "\xE9\x80?" },
        { "a control character has no byte", Realtime, "",
            "a\x01\xC2\x81"
            "b",
            "ab" },
        { "IM: a change is a typing signal", IM, "a", "ab", Bytes({ 0xF9 }) },
        { "IM: no change, no signal", IM, "a", "a", "" },
        { "IM: Enter is a typing signal", IM, "", "", Bytes({ 0xF9 }), 0, true },
        { "IM with preview: Enter ends the line", IMPreview, "hi", "", "\r", 0, true },
        { "IM with preview: Enter in an empty pane", IMPreview, "", "", "", 0, true },
        { "Realtime: Enter is the pane's line break", Realtime, "hi", "", "", 0, true },
    };
    // The same change told as an edit at its place (before the limit took the front): what
    // the two texts do not have in common at either end, counted in characters.
    const auto asEdit = [this](
                            const std::string& from, const std::string& to, std::size_t dropped) {
        const std::string after = from.substr(0, dropped) + to;
        std::size_t front = 0;
        while (front < from.size() && front < after.size() && from[front] == after[front])
            ++front;
        std::size_t back = 0;
        while (back < from.size() - front && back < after.size() - front
            && from[from.size() - 1 - back] == after[after.size() - 1 - back])
            ++back;
        const auto chars = [](std::string_view text) {
            return static_cast<std::size_t>(
                std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
        };
        Engine.TypingPaneEdited(chars(std::string_view(from).substr(0, front)),
            chars(std::string_view(from).substr(front, from.size() - front - back)),
            std::string_view(after).substr(front, after.size() - front - back), dropped);
    };
    Greeted();
    for (const TRow& row : rows) {
        for (const bool edit : { false, true }) {
            if (edit && (row.Enter || row.Dropped > row.From.size()))
                continue;
            Choose(row.Style); // empties the pane: both sides move it into their transcripts
            Engine.TypingPaneChanged(row.From, 0);
            Sender.Clear();
            if (row.Enter)
                Engine.LineEndTyped();
            else if (edit)
                asEdit(row.From, row.To, row.Dropped);
            else
                Engine.TypingPaneChanged(row.To, row.Dropped);
            EXPECT_EQ(Sender.Bytes(), row.Expected) << row.Name << (edit ? " (as an edit)" : "");
        }
    }
    // A line ended starts the peer's next one afresh.
    Choose(IMPreview);
    Engine.TypingPaneChanged("hi", 0);
    Engine.LineEndTyped();
    Engine.TypingPaneChanged("next", 0);
    EXPECT_EQ(Sender.Bytes(), "hi\rnext");
}

TEST_F(ProtocolEngineTest, ImKeysStampTheTickAndArmTheTypingSignals)
{
    Greeted();
    Choose(TChatStyle::IM);
    EXPECT_FALSE(Engine.TypingPending());
    TypeKey();
    EXPECT_TRUE(Engine.TypingPending());
}

TEST_F(ProtocolEngineTest, SendLineSendsTextThenCrLfAndStopsTypingSignals)
{
    Greeted();
    Choose(TChatStyle::IM);
    TypeKey();
    Engine.SendLine("gr\xC3\xBC\xC3\xA9 \xE2\x82\xAC"); // "grüé €"
    EXPECT_EQ(Sender.Sends(),
        (Sends { Bytes({ 0xF9 }), "gru" + Bytes({ 0xE9 }) + " " + Bytes({ 0x80 }), "\r\n" }));
    EXPECT_FALSE(Engine.TypingPending());
}

TEST_F(ProtocolEngineTest, SendLineTurnsLineBreaksIntoCrLfAndDropsErasures)
{
    Greeted();
    Choose(TChatStyle::IM);
    Engine.SendLine("one\ntwo\r\nthree\rfo\bur\x7F");
    EXPECT_EQ(Sender.Sends(), (Sends { "one\r\ntwo\r\nthree\r\nfour", "\r\n" }));
}

TEST_F(ProtocolEngineTest, SendLineAndSendLineEndOnlyActInTheirStyles)
{
    Greeted();
    Engine.SendLine("hi");
    Engine.SendLineEnd();
    Choose(TChatStyle::IM);
    Engine.SendLine("");
    Engine.SendLineEnd();
    EXPECT_TRUE(Sender.Sends().empty());
    Choose(TChatStyle::IMPreview);
    Engine.SendLine("hi");
    Engine.SendLineEnd();
    EXPECT_EQ(Sender.Sends(), Sends { "\r" });
}

// ---- greeting and name phase ---------------------------------------------------------------

TEST_F(ProtocolEngineTest, CallerGreetsOnceAsOneSendInWindows1252)
{
    TProtocolEngine zoe { Display, Sender, Ticks, "Zo\xC3\xAB" };
    zoe.SendGreeting();
    zoe.SendGreeting();
    zoe.ProcessIncoming("Bob\r\n");
    EXPECT_EQ(Sender.Sends(), Sends { "Zo\xEB\r\n" });
    EXPECT_TRUE(zoe.GreetingSent());
}

TEST_F(ProtocolEngineTest, OwnNameCannotEndTheGreetingEarlyOrBeEmpty)
{
    TProtocolEngine broken { Display, Sender, Ticks, "Bo\rb\n" };
    TProtocolEngine empty { Display, Sender, Ticks, "\r" };
    broken.SendGreeting();
    empty.SendGreeting();
    EXPECT_EQ(Sender.Sends(), (Sends { "Bob\r\n", "John Doe\r\n" }));
}

TEST_F(ProtocolEngineTest, CalleeRepliesAtTheNameCrOnly)
{
    Engine.ProcessIncoming("Bo");
    EXPECT_TRUE(Sender.Sends().empty());
    EXPECT_EQ(Display.State.NameCompletions, 0);
    Engine.ProcessIncoming("b\r\nhi\r\n");
    EXPECT_EQ(Sender.Sends(), Sends { "Me\r\n" });
    EXPECT_EQ(Engine.PeerName(), "Bob");
    EXPECT_EQ(Display.Calls.at(1), "name:Bob");
    EXPECT_EQ(Display.State.Transcript, "hi\n");
}

TEST_F(ProtocolEngineTest, CalleeHoldsBackWhatItSendsBeforeItsGreeting)
{
    TypeKey('x');
    Choose(TChatStyle::IM);
    TypeKey('y');
    EXPECT_TRUE(Sender.Sends().empty());
    Engine.ProcessIncoming("Bob\r\n");
    EXPECT_EQ(Sender.Sends(), (Sends { "Me\r\n", "x" + Bytes({ 0xFB, 0xF9 }) }));
    TypeKey('z');
    EXPECT_EQ(Sender.Sends().back(), Bytes({ 0xF9 }));
}

TEST_F(ProtocolEngineTest, GreetingSplitAtEveryPointGivesTheSameName)
{
    const std::string stream = "Bob\r\nx";
    for (std::size_t cut = 1; cut < stream.size(); ++cut) {
        TRecordingDisplay display;
        TFakeByteSender sender;
        TProtocolEngine engine { display, sender, Ticks, "Me" };
        engine.ProcessIncoming(std::string_view(stream).substr(0, cut));
        engine.ProcessIncoming(std::string_view(stream).substr(cut));
        EXPECT_EQ(engine.PeerName(), "Bob") << cut;
        EXPECT_EQ(display.State.Transcript, "x") << cut;
        EXPECT_EQ(sender.Sends(), Sends { "Me\r\n" }) << cut;
    }
}

TEST_F(ProtocolEngineTest, GreetingAndStyleByteInOneChunkSwitchOnceAndEchoOnce)
{
    Engine.ProcessIncoming("Bob\r\n" + Bytes({ 0xFB }));
    EXPECT_EQ(Sender.Sends(), (Sends { "Me\r\n", Bytes({ 0xFB }) }));
    EXPECT_EQ(Engine.Style(), TChatStyle::IM);
    EXPECT_EQ(Engine.MarkedChoice(), TChatStyle::IM);
    EXPECT_EQ(
        Display.Calls, (Sends { "name:Bob", "switch:1>2", "mark:2", "switch:2>2", "chunk-done" }));
}

TEST_F(ProtocolEngineTest, EmptyNameCrRepliesOnceAndTheNamePhaseGoesOn)
{
    Engine.ProcessIncoming("\r");
    EXPECT_EQ(Sender.Sends(), Sends { "Me\r\n" });
    EXPECT_EQ(Engine.PeerName(), "");
    Engine.ProcessIncoming("\nBob\r\nhi");
    EXPECT_EQ(Sender.Sends(), Sends { "Me\r\n" });
    EXPECT_EQ(Engine.PeerName(), "\nBob"); // the LF after the empty name starts the name
    EXPECT_EQ(Engine.PeerNameUtf8(), "Bob");
    EXPECT_EQ(Display.CountCalls("name:"), 2u);
    EXPECT_EQ(Display.State.Transcript, "hi");
}

TEST_F(ProtocolEngineTest, NameIsCappedSoAPeerWithoutCrCannotGrowMemory)
{
    const std::string block(1000, 'a');
    for (int i = 0; i < 100; ++i)
        Engine.ProcessIncoming(block);
    EXPECT_TRUE(Sender.Sends().empty());
    EXPECT_EQ(Display.State.Transcript, "");
    Engine.ProcessIncoming("zz\r\nhi");
    EXPECT_EQ(Engine.PeerName(), std::string(TProtocolEngine::MaxNameBytes, 'a'));
    EXPECT_EQ(Display.State.Transcript, "hi");
    EXPECT_EQ(Sender.Sends(), Sends { "Me\r\n" });
}

TEST_F(ProtocolEngineTest, NameKeepsItsBytesButIsShownWithOnlyWhatShows)
{
    // Controls, a soft hyphen (0xAD) and no-break blanks (0xA0) at the ends show nothing.
    Engine.ProcessIncoming("\xA0"
                           "B\x01o\tb\xAD\xE9\xFC\x81\xA0\r\n");
    EXPECT_EQ(Engine.PeerName(),
        "\xA0"
        "B\x01o\tb\xAD\xE9\xFC\x81\xA0");
    EXPECT_EQ(Engine.PeerNameUtf8(), "Bob\xC3\xA9\xC3\xBC");
    EXPECT_EQ(Display.Calls.front(), "name:Bob\xC3\xA9\xC3\xBC");
}

TEST_F(ProtocolEngineTest, OnlyALineEndAfterTheNamePhaseDrawsAttention)
{
    Engine.ProcessIncoming("Bob\r\n");
    EXPECT_EQ(Display.AttentionCalls, 0);
    Engine.ProcessIncoming("a\rb\r");
    EXPECT_EQ(Display.AttentionCalls, 1);
    Engine.ProcessIncoming("c");
    EXPECT_EQ(Display.AttentionCalls, 1);
    EXPECT_EQ(Display.ChunksDone, 3);
    EXPECT_EQ(Display.Calls.back(), "chunk-done");
}

// ---- receiving -----------------------------------------------------------------------------

TEST_F(ProtocolEngineTest, RealtimeTextArrivesAsOneRunPerStretch)
{
    Greeted();
    Engine.ProcessIncoming("he\x01l\nlo\x1B\x81\t!\bx\x7F\ry");
    EXPECT_EQ(Display.Calls,
        (Sends { "peer:hello\t!", "erase", "peer:x", "erase", "newline", "notice:", "peer:y",
            "chunk-done", "attention" }));
    EXPECT_EQ(Display.State.Transcript, "hello\t\ny");
}

TEST_F(ProtocolEngineTest, HighBytesAreShownAsTheirWindows1252Characters)
{
    Greeted();
    Engine.ProcessIncoming("\x80\xE9\x9F\xF6");
    EXPECT_EQ(Display.State.Transcript, "\xE2\x82\xAC\xC3\xA9\xC5\xB8\xC3\xB6");
}

TEST_F(ProtocolEngineTest, ImLineShowsTheLabelOnceThenTextThenNewLineAndEmptiesTheNotice)
{
    Greeted();
    Choose(TChatStyle::IM);
    Engine.ProcessIncoming(Bytes({ 0xF9 }));
    EXPECT_EQ(Display.State.Notice, "Bob is typing...");
    Engine.ProcessIncoming("hel");
    Engine.ProcessIncoming("lo\r\n");
    EXPECT_EQ(Display.State.Transcript, "[style 2]\nBob: hello\n");
    EXPECT_EQ(Display.State.Notice, "");
    EXPECT_EQ(Display.CountCalls("peer+label:"), 2u);
}

TEST_F(ProtocolEngineTest, TypingNoticesFollowTheSignalsInRealtimeAndIm)
{
    Greeted();
    const std::vector<std::pair<unsigned, std::string>> steps
        = { { 0xF9, "Bob is typing..." }, { 0xF7, "Bob has stopped typing..." }, { 0xF8, "" } };
    for (const TChatStyle style : { TChatStyle::Realtime, TChatStyle::IM }) {
        if (style != Engine.Style())
            Choose(style);
        for (const auto& [signal, notice] : steps) {
            Engine.ProcessIncoming(Bytes({ signal }));
            EXPECT_EQ(Display.State.Notice, notice) << signal;
        }
    }
    EXPECT_TRUE(Sender.Sends().empty());
}

TEST_F(ProtocolEngineTest, PreviewTakesTypingSignalsAsCharactersAndCommitsAtCr)
{
    Greeted();
    Choose(TChatStyle::IMPreview);
    Engine.ProcessIncoming("ab" + Bytes({ 0xF7, 0xF8, 0xF9 }) + "c\b");
    EXPECT_EQ(Display.State.Preview, "ab\xC3\xB7\xC3\xB8\xC3\xB9");
    EXPECT_EQ(Display.CountCalls("preview:"), 1u);
    Engine.ProcessIncoming("\r\n");
    EXPECT_EQ(Display.State.Preview, "");
    EXPECT_EQ(Display.State.Transcript, "[style 3]\nBob: ab\xC3\xB7\xC3\xB8\xC3\xB9\n");
    EXPECT_EQ(Display.State.Notice, "");
}

TEST_F(ProtocolEngineTest, TypedStyleByteInRealtimeSwitchesThePeerAndIsNotShown)
{
    Greeted();
    Engine.ProcessIncoming("a" + Bytes({ 0xFA }) + "b");
    EXPECT_EQ(Display.State.Transcript, "ab");
    EXPECT_EQ(Display.Calls, (Sends { "peer:a", "switch:1>1", "peer:b", "chunk-done" }));
    EXPECT_TRUE(Sender.Sends().empty());
}

TEST_F(ProtocolEngineTest, StyleSignalMidChunkGovernsTheBytesAfterIt)
{
    Greeted();
    Engine.ProcessIncoming(
        "a" + Bytes({ 0xFB }) + "b\r\n" + Bytes({ 0xFC }) + "c" + Bytes({ 0xF9 }));
    EXPECT_EQ(Display.Calls[0], "peer:a");
    EXPECT_EQ(Display.Calls[4], "peer+label:b");
    EXPECT_EQ(Display.State.Transcript, "a\n[style 2]\nBob: b\n[style 3]\n");
    EXPECT_EQ(Display.State.Preview, "c\xC3\xB9");
    // Both echoes, decided before anything is shown, leave together.
    EXPECT_EQ(Sender.Sends(), (Sends { Bytes({ 0xFB, 0xFC }) }));
}

// ---- a connection that does not take everything at once ----------------------------------

// Takes `Room` bytes without waiting, then nothing; a send that waits takes everything.
class TNarrowSender final : public IByteSender {
public:
    std::size_t Room = 0;
    std::string Taken;
    Sends Waited; // sends that waited for the connection

    void Send(std::string_view bytes) override
    {
        Waited.emplace_back(bytes);
        Taken += bytes;
    }
    std::size_t SendAvailable(std::string_view bytes) override
    {
        const std::size_t n = std::min(Room, bytes.size());
        Room -= n;
        Taken.append(bytes.substr(0, n));
        return n;
    }
    bool WaitWritable(int) override { return Room > 0; }
};

// The main thread never waits for a peer that stops reading: what the connection does not take
// stays behind, later bytes queue after it, and the conversation thread sends it all in order.
TEST(ProtocolBacklog, TheMainThreadNeverWaitsAndWhatIsLeftFollowsInOrder)
{
    TRecordingDisplay display;
    TFakeTickSource ticks;
    TNarrowSender sender;
    sender.Room = 5;
    TProtocolEngine engine(display, sender, ticks, "Me");
    int wakes = 0;
    engine.SetOnThreadWork([&wakes] { ++wakes; });
    engine.ProcessIncoming("Bob\r\n" + Bytes({ 0xFB, 0xFC, 0xFA }));
    engine.TypingPaneChanged("x", 0);
    EXPECT_EQ(sender.Taken, "Me\r\n" + Bytes({ 0xFB }));
    EXPECT_TRUE(sender.Waited.empty());
    EXPECT_EQ(engine.BacklogBytes(), 3u);
    EXPECT_EQ(wakes, 2) << "each time bytes were left, the conversation thread is woken";

    engine.SendBacklog();
    EXPECT_EQ(sender.Taken, "Me\r\n" + Bytes({ 0xFB, 0xFC, 0xFA }) + "x");
    EXPECT_EQ(sender.Waited, (Sends { Bytes({ 0xFC, 0xFA }), "x" }));
    EXPECT_EQ(engine.BacklogBytes(), 0u);
}

// A chunk is decided where it is received: the callee's greeting and the echoes leave at once,
// before anything is shown; the main thread shows the decided chunks later, in order. A user
// action shows them first, so that its key goes out by the style the window then shows.
TEST_F(ProtocolEngineTest, AChunkIsAnsweredWhereItArrivesAndShownWhenTheWindowsTurnComes)
{
    Engine.DecideIncoming("Bo");
    EXPECT_TRUE(Sender.Sends().empty());
    EXPECT_FALSE(Engine.PeerNamed());
    Engine.DecideIncoming("b\r\nhi" + Bytes({ 0xFB }) + "yo\r");
    EXPECT_EQ(Sender.Sends(), (Sends { "Me\r\n", Bytes({ 0xFB }) }));
    EXPECT_TRUE(Engine.PeerNamed());
    EXPECT_FALSE(Engine.IsCaller());
    EXPECT_EQ(Engine.Style(), TChatStyle::IM);
    EXPECT_TRUE(Display.Calls.empty()) << "nothing is shown before the main thread's turn";
    EXPECT_EQ(Engine.PeerName(), "");

    EXPECT_EQ(Engine.ShowDecided(), 0u);
    EXPECT_EQ(Engine.PeerName(), "Bob");
    EXPECT_EQ(Display.State.Transcript, "hi\n[style 2]\nBob: yo\n");
    EXPECT_EQ(Display.State.Marked, TChatStyle::IM);
    EXPECT_EQ(Display.ChunksDone, 2);

    Sender.Clear();
    Engine.DecideIncoming(Bytes({ 0xFA }));
    EXPECT_EQ(Sender.Sends(), Sends { Bytes({ 0xFA }) });
    EXPECT_EQ(Display.State.Style, TChatStyle::IM) << "not shown yet";
    {
        const TUserAction action(Engine);
        EXPECT_EQ(Display.State.Style, TChatStyle::Realtime) << "shown before the user acts";
        TypeKey();
    }
    EXPECT_EQ(Sender.Sends(), (Sends { Bytes({ 0xFA }), "k" })) << "a Realtime key, not IM typing";
    EXPECT_EQ(Engine.UndisplayedBytes(), 0u);
}

// What waits to be shown is counted as the memory it holds, so that the conversation thread's
// read-ahead bounds memory: a chunk the name phase took holds nothing of its buffer, one of text
// or style signals holds its bytes and what was decided of them.
TEST_F(ProtocolEngineTest, ChunksWaitingToBeShownAreCountedAsTheMemoryTheyHold)
{
    constexpr std::size_t Chunk = 64 * 1024;
    constexpr int Chunks = 160; // 10 MiB
    const std::int64_t heapBefore = HeapInUse();
    for (int i = 0; i < Chunks; ++i)
        Engine.DecideIncoming(std::string(Chunk, 'n'));
    EXPECT_LT(HeapInUse() - heapBefore, 1024 * 1024) << "a name that never ends keeps its cap";
    EXPECT_LT(Engine.UndisplayedBytes(), Chunks * 256u);

    Engine.DecideIncoming("\r\n");
    const std::size_t named = Engine.UndisplayedBytes();
    Engine.DecideIncoming(std::string(Chunk, 't'));
    EXPECT_GE(Engine.UndisplayedBytes() - named, Chunk);
    const std::size_t text = Engine.UndisplayedBytes();
    std::string signals;
    for (std::size_t i = 0; i < Chunk; ++i)
        signals += static_cast<char>(0xFA + i % 3);
    Engine.DecideIncoming(signals);
    EXPECT_GE(Engine.UndisplayedBytes() - text, 2 * Chunk) << "the signals and their decisions";

    EXPECT_EQ(Engine.ShowDecided(), 0u);
    EXPECT_EQ(Engine.PeerName().size(), TProtocolEngine::MaxNameBytes);
}

} // namespace
} // namespace quillet::testing
