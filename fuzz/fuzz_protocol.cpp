// Feeds the protocol engine arbitrary received bytes, cut into chunks in arbitrary ways, in each
// of the three styles and as caller and callee.
//
// Against a recording display: the display contract holds (text runs without line breaks or
// control bytes, valid UTF-8, no redundant marking, SwitchStyle from the style the tab is in),
// the kept peer name stays within its cap, and cutting the stream into chunks changes neither
// what is shown nor what is sent.
//
// Against the real conversation tab (offscreen), with a connection that takes only a few bytes
// before its peer reads them: the main thread never waits for the connection (a stall), what the
// main thread leaves for later stays within what one chunk calls for and the panes within their
// limits (a growth), the window follows the engine once the event loop has run, and the bytes
// that reach the peer in the end are exactly those an unhindered connection carries.
//
// Input layout: byte 0 = role and chunking mode, byte 1 = chunk size seed, the rest = the stream.

#include "net/ProtocolEngine.h"

#include "chatui/TChatForm.h"
#include "chatui/TConversationTab.h"
#include "chatui/TRichPane.h"
#include "net/ConversationView.h"
#include "net/DisplayRelay.h"
#include "platform/CodePage1252.h"
#include "support/ProtocolFakes.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace quillet;
using namespace quillet::testing;

struct TResult {
    TRenderedState Rendered;
    std::string Sent;
    std::string PeerName;
    TChatStyle Style;
};

[[noreturn]] void Fail(const char* what, const std::string& detail = std::string())
{
    std::fprintf(stderr, "fuzz_protocol: %s %s\n", what, detail.c_str());
    std::abort();
}

// Chunk lengths from a small generator seeded by the input, so the same input cuts the same way.
std::vector<std::size_t> ChunkLengths(std::size_t total, std::uint8_t mode, std::uint8_t seed)
{
    std::vector<std::size_t> lengths;
    std::uint32_t state = 0x9E3779B9u ^ (static_cast<std::uint32_t>(seed) << 8) ^ mode;
    const std::size_t maxChunk = (mode & 0x10) ? 1 : 1 + seed % 97;
    std::size_t done = 0;
    while (done < total) {
        state = state * 1664525u + 1013904223u;
        const std::size_t n = std::min<std::size_t>(total - done, 1 + (state >> 8) % maxChunk);
        lengths.push_back(n);
        done += n;
    }
    return lengths;
}

TResult Run(TChatStyle style, bool caller, std::string_view stream,
    const std::vector<std::size_t>& lengths, bool localActions)
{
    TFakeTickSource ticks(0xFFFFF000u);
    TRecordingDisplay display;
    display.KeepCallLog = false;
    TFakeByteSender sender;
    TProtocolEngine engine(display, sender, ticks, "Fuzz");
    if (caller) {
        engine.SendGreeting();
        engine.AnnounceStartStyle(style);
    } else if (style != TChatStyle::Realtime) {
        display.UserMarked(style);
        engine.UserChoseStyle(style);
    }

    std::size_t at = 0;
    std::string typed; // the typing pane, UTF-8
    for (const std::size_t n : lengths) {
        const std::string_view chunk = stream.substr(at, n);
        engine.ProcessIncoming(chunk);
        at += n;
        if (engine.PeerName().size() > TProtocolEngine::MaxNameBytes)
            Fail("peer name longer than the cap");
        if (localActions) {
            // The local side keeps typing and ticking while bytes arrive.
            const auto key = static_cast<unsigned char>(chunk.front());
            if (key % 3 == 0)
                typed.resize(typed.size() / 2);
            else
                cp1252::AppendUtf8(typed, cp1252::Decode(key));
            if (key % 5 == 0)
                engine.LineEndTyped();
            else
                engine.TypingPaneChanged(typed, key % 13 == 0 ? 2 : 0);
            ticks.Advance(static_cast<TTick>(n) * 700);
            engine.TypingTick();
            if (key % 7 == 0)
                engine.SendLine(std::string(chunk.substr(0, 4)));
            if (key % 11 == 0) {
                const auto choice = static_cast<TChatStyle>(1 + key % 3);
                display.UserMarked(choice);
                engine.UserChoseStyle(choice);
            }
        }
    }
    if (!display.Faults.empty())
        Fail("display contract broken:", display.Faults.front());
    if (display.State.Style != engine.Style())
        Fail("display and engine disagree on the style");
    return { display.State, sender.Bytes(), engine.PeerName(), engine.Style() };
}

// A connection that takes `Room` bytes before its peer has to read. Sending without waiting takes
// what fits; a send that waits is only allowed on the conversation thread, which the run below
// lets send once the peer has read.
class TNarrowSender final : public IByteSender {
public:
    explicit TNarrowSender(std::size_t room)
        : Room(room)
    {
    }

    void Send(std::string_view bytes) override
    {
        if (!OnConversationThread)
            Fail("the main thread waited for the connection");
        Wire.append(bytes);
        Unread += bytes.size();
    }
    std::size_t SendAvailable(std::string_view bytes) override
    {
        const std::size_t taken = std::min(bytes.size(), Room - std::min(Room, Unread));
        Wire.append(bytes.substr(0, taken));
        Unread += taken;
        return taken;
    }
    bool WaitWritable(int) override { return Unread < Room; }
    void PeerReads(std::size_t count) { Unread -= std::min(count, Unread); }

    const std::size_t Room;
    std::string Wire; // every byte handed to the connection, in order
    std::size_t Unread = 0;
    bool OnConversationThread = false;
};

class TFuzzOwner final : public IConversationOwner {
public:
    TFuzzOwner(const ITickSource& ticks, std::size_t room)
        : Sender(room)
        , Engine(Relay, Sender, ticks, "Fuzz")
    {
    }
    bool IsConnected() const override { return true; }
    bool IsDisconnected() const override { return false; }
    bool IsIncoming() const override { return !Engine.IsCaller(); }
    std::string OwnName() const override { return "Fuzz"; }
    IConversationInput& Input() override { return Engine; }
    void DisconnectButtonClick() override { }

    TDisplayRelay Relay;
    TNarrowSender Sender;
    TProtocolEngine Engine;
};

// Small limits, so that short inputs reach them.
constexpr int TranscriptLimit = 600;
constexpr int PaneLimit = 200;

void CheckPane(const TRichPane& pane, int limit, const char* what)
{
    if (pane.EndPosition() - pane.KeptStart() > limit)
        Fail("a pane grew beyond its limit:", what);
}

// The conversation thread's turn: the peer reads everything, then the backlog goes.
void ConversationThreadPass(TFuzzOwner& owner)
{
    owner.Sender.PeerReads(owner.Sender.Unread);
    owner.Sender.OnConversationThread = true;
    owner.Engine.SendBacklog();
    owner.Sender.OnConversationThread = false;
}

std::string RunTab(TChatStyle style, bool caller, std::string_view stream,
    const std::vector<std::size_t>& lengths, std::size_t room)
{
    // Made once and never destroyed: destroyed among the exit handlers, the window would tell
    // the accessibility layer of its closing after the toolkit's caches were gone.
    static TChatForm& form = *new TChatForm;
    TFakeTickSource ticks(0xFFFFF000u);
    TFuzzOwner owner(ticks, room);
    TConversationTab tab(form, owner, "Fuzz", nullptr, ticks);
    owner.Relay.SetTarget(&tab);
    const TConversationTab::TControls& ui = tab.Controls();
    ui.Transcript->SetLimit(TranscriptLimit, QStringLiteral("*** removed ***"), {});
    ui.PreviewPane->SetLimit(PaneLimit);
    ui.LocalPane->SetLimit(PaneLimit);
    if (caller) {
        owner.Sender.OnConversationThread = true;
        owner.Engine.SendGreeting();
        owner.Sender.OnConversationThread = false;
        owner.Engine.AnnounceStartStyle(style);
    } else if (style == TChatStyle::IM) {
        ui.IMChoice->click(); // the user's click marks the choice and runs its handler
    } else if (style == TChatStyle::IMPreview) {
        ui.IMPreviewChoice->click();
    }

    std::size_t at = 0;
    std::string typed; // the typing pane, UTF-8
    for (const std::size_t n : lengths) {
        // The conversation thread reads the next chunk only after the backlog has gone.
        if (owner.Engine.BacklogBytes() > 0)
            ConversationThreadPass(owner);
        const std::string_view chunk = stream.substr(at, n);
        at += n;
        owner.Engine.ProcessIncoming(chunk);
        // Left for later: at most the greeting and one echo per byte of this chunk.
        if (owner.Engine.BacklogBytes() > chunk.size() + owner.Engine.OwnName().size() + 3)
            Fail("the backlog grows beyond what one chunk calls for");
        if (static_cast<std::uint8_t>(chunk.front()) % 4 == 0)
            QApplication::processEvents();
        CheckPane(*ui.Transcript, TranscriptLimit, "transcript");
        CheckPane(*ui.PreviewPane, PaneLimit, "preview line");
    }
    QApplication::processEvents();
    if (tab.Style() != owner.Engine.Style())
        Fail("the tab and the engine disagree on the style");
    const TChatStyle marked = owner.Engine.MarkedChoice();
    const QRadioButton* choice = marked == TChatStyle::Realtime ? ui.RealtimeChoice
        : marked == TChatStyle::IM                              ? ui.IMChoice
                                                                : ui.IMPreviewChoice;
    if (!choice->isChecked())
        Fail("the marked choice is not shown");
    const bool oneLine = owner.Engine.Style() != TChatStyle::Realtime;
    if (ui.SendButton->isVisibleTo(tab.Sheet()) != oneLine)
        Fail("the tab is not laid out for its style");
    ConversationThreadPass(owner);
    owner.Relay.SetTarget(nullptr);
    return owner.Sender.Wire;
}

} // namespace

// Fontconfig keeps a few allocations of its font cache for the life of the process; they are not
// the program's to free.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    const std::uint8_t mode = data[0];
    const std::uint8_t seed = data[1];
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);
    const bool caller = (mode & 1) != 0;
    const std::vector<std::size_t> whole = { stream.size() };
    const std::vector<std::size_t> cut = ChunkLengths(stream.size(), mode, seed);

    for (const TChatStyle style : { TChatStyle::Realtime, TChatStyle::IM, TChatStyle::IMPreview }) {
        const TResult one = Run(style, caller, stream, whole, false);
        const TResult many = Run(style, caller, stream, cut, false);
        if (!(one.Rendered == many.Rendered))
            Fail("chunking changed what is shown:",
                one.Rendered.Transcript + " | " + many.Rendered.Transcript);
        if (one.Sent != many.Sent)
            Fail("chunking changed what is sent");
        if (one.PeerName != many.PeerName || one.Style != many.Style)
            Fail("chunking changed the name or the style");
        Run(style, caller, stream, cut, (mode & 2) != 0);
        const std::size_t room = 1 + seed % 16;
        if (RunTab(style, caller, stream, cut, room) != many.Sent)
            Fail("a connection that makes the sender wait changed what is sent");
    }
    // The tabs' sheets go once control is back in an event loop; here that is now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
