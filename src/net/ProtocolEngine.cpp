#include "net/ProtocolEngine.h"

#include "platform/CodePage1252.h"
#include "platform/VisibleName.h"
#include "settings/Settings.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

namespace quillet {
namespace {

// What a received byte does in the conversation phase. The receiving loop looks every byte up
// in one of two 256-entry tables (IM with preview takes 247 to 249 as text), so the common case,
// a text byte, costs one load and one append.
enum class TByteKind : std::uint8_t {
    Text,
    Ignored, // LF, and control bytes that have no meaning and are not drawn
    Erase,
    LineEnd,
    StoppedTyping,
    TypingCleared,
    Typing,
    StyleSignal,
};

struct TUtf8Char {
    std::array<char, 4> Bytes {};
    std::uint8_t Length = 0;
};

struct TByteTables {
    std::array<TByteKind, 256> Conversation {}; // Realtime and IM
    std::array<TByteKind, 256> Preview {}; // IM with preview
    std::array<TUtf8Char, 256> Utf8 {};
};

// The five bytes Windows-1252 leaves undefined decode to C1 controls, which have no glyph.
constexpr bool IsUndefined1252(std::uint8_t b) noexcept
{
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// A byte that stands for a visible character. TAB counts: it lines text up in the transcript.
constexpr bool IsDrawable(std::uint8_t b) noexcept
{
    if (b == '\t')
        return true;
    return b >= 0x20 && b != 0x7F && !IsUndefined1252(b);
}

TByteTables BuildTables()
{
    TByteTables t;
    for (unsigned v = 0; v < 256; ++v) {
        const auto b = static_cast<std::uint8_t>(v);
        TByteKind kind = IsDrawable(b) ? TByteKind::Text : TByteKind::Ignored;
        switch (b) {
        case wire::Backspace:
        case wire::Delete:
            kind = TByteKind::Erase;
            break;
        case wire::CarriageReturn:
            kind = TByteKind::LineEnd;
            break;
        case wire::SigStoppedTyping:
            kind = TByteKind::StoppedTyping;
            break;
        case wire::SigTypingCleared:
            kind = TByteKind::TypingCleared;
            break;
        case wire::SigTyping:
            kind = TByteKind::Typing;
            break;
        case wire::SigStyleBase + static_cast<unsigned>(TChatStyle::Realtime):
        case wire::SigStyleBase + static_cast<unsigned>(TChatStyle::IM):
        case wire::SigStyleBase + static_cast<unsigned>(TChatStyle::IMPreview):
            kind = TByteKind::StyleSignal;
            break;
        default:
            break;
        }
        t.Conversation[v] = kind;
        const bool typingSignal = b >= wire::SigStoppedTyping && b <= wire::SigTyping;
        t.Preview[v] = typingSignal ? TByteKind::Text : kind;

        std::string utf8;
        cp1252::AppendUtf8(utf8, cp1252::Decode(b));
        for (std::size_t i = 0; i < utf8.size(); ++i)
            t.Utf8[v].Bytes[i] = utf8[i];
        t.Utf8[v].Length = static_cast<std::uint8_t>(utf8.size());
    }
    return t;
}

const TByteTables& Tables()
{
    static const TByteTables tables = BuildTables();
    return tables;
}

// Names are shown as one-line labels: everything but the visible characters is left out, so
// that a caller's name cannot pass for another one (text::VisibleName).
std::string DisplayName(std::string_view name)
{
    const TByteTables& t = Tables();
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 0x20 || b == 0x7F || IsUndefined1252(b))
            continue;
        out.append(t.Utf8[b].Bytes.data(), t.Utf8[b].Length);
    }
    return text::VisibleName(out);
}

// The own name as the greeting carries it. The peer ends the name at the first CR and takes an
// empty name as no name at all (our following bytes would become it), so control characters are
// left out and an empty name falls back to the program's default name.
std::string GreetingName(std::string_view utf8Name)
{
    std::string name;
    for (const char c : cp1252::FromUtf8(utf8Name)) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b >= 0x20 && b != 0x7F)
            name += c;
    }
    return name.empty() ? std::string(settings::DefaultUserName) : name;
}

} // namespace

TProtocolEngine::TProtocolEngine(IConversationDisplay& display, IByteSender& sender,
    const ITickSource& ticks, const std::string& ownName)
    : Display(display)
    , Sender(sender)
    , Ticks(ticks)
    , Own(GreetingName(ownName))
{
    (void)Tables();
}

void TProtocolEngine::SendGreeting()
{
    if (QueueGreeting(true))
        Flush(TFlushMode::Wait);
}

bool TProtocolEngine::QueueGreeting(bool asCaller)
{
    // The caller greets once its call connects, the callee once the caller's name is complete;
    // the guard makes the greeting leave exactly once whichever comes first, and ahead of every
    // byte held back meanwhile.
    std::lock_guard lock(OutGuard);
    if (Greeted.load())
        return false;
    Caller.store(asCaller);
    Outbox.push_front(Own + "\r\n");
    Greeted.store(true);
    return true;
}

void TProtocolEngine::SendBytes(std::string_view bytes)
{
    // Until this side has greeted, the peer takes every byte but CR as part of our name: a key
    // or a style choice made that early stays in the outbox until the greeting goes ahead of it.
    std::lock_guard lock(OutGuard);
    if (!Outbox.empty() && !Greeted.load())
        Outbox.back().append(bytes);
    else
        Outbox.emplace_back(bytes);
}

void TProtocolEngine::Flush(TFlushMode mode)
{
    std::unique_lock lock(OutGuard);
    if (Sending || !Greeted.load())
        return;
    Sending = true;
    while (!Outbox.empty()) {
        std::string unit = std::move(Outbox.front());
        Outbox.pop_front();
        lock.unlock();
        std::size_t taken = unit.size();
        try {
            if (mode == TFlushMode::Wait)
                Sender.Send(unit);
            else
                taken = Sender.SendAvailable(unit);
        } catch (...) {
            lock.lock();
            Sending = false;
            throw;
        }
        lock.lock();
        if (taken < unit.size()) {
            // The rest waits for the conversation thread, ahead of everything left after it.
            Outbox.push_front(unit.substr(taken));
            break;
        }
    }
    const bool left = !Outbox.empty();
    if (!left)
        Outbox.shrink_to_fit();
    Sending = false;
    lock.unlock();
    if (left && mode == TFlushMode::NoWait && OnThreadWork)
        OnThreadWork();
}

void TProtocolEngine::SendBacklog()
{
    Flush(TFlushMode::Wait);
}

std::size_t TProtocolEngine::BacklogBytes() const
{
    std::lock_guard lock(OutGuard);
    std::size_t bytes = 0;
    for (const std::string& unit : Outbox)
        bytes += unit.size();
    return bytes;
}

void TProtocolEngine::ProcessIncoming(std::string_view chunk)
{
    Decide(std::string(chunk), TFlushMode::NoWait);
    ShowDecided();
}

void TProtocolEngine::DecideIncoming(std::string chunk)
{
    Decide(std::move(chunk), TFlushMode::Wait);
}

void TProtocolEngine::Decide(std::string chunk, TFlushMode mode)
{
    if (chunk.empty())
        return;
    {
        std::lock_guard decide(DecideGuard);
        TDecidedChunk decided;
        const std::size_t consumed = ConsumeNamePhase(chunk, decided);
        // A chunk waiting to be shown keeps only what is left to show: the buffer of one the
        // name phase took would otherwise wait with it, whole, while counting as nothing.
        if (consumed == 0)
            decided.Bytes = std::move(chunk);
        else
            decided.Bytes.assign(chunk, consumed);
        DecideStyleSignals(decided.Bytes, decided);
        std::lock_guard queue(QueueGuard);
        DecidedBytes += decided.HeldBytes();
        Decided.push_back(std::move(decided));
    }
    // Sent with no guard held: a failed send is reported through the main thread.
    Flush(mode);
}

std::size_t TProtocolEngine::ShowDecided(std::size_t budget)
{
    // A display call that ran the event loop must not show later chunks ahead of the ones at
    // hand.
    if (Showing)
        return UndisplayedBytes();
    Showing = true;
    std::size_t shown = 0;
    try {
        while (shown < budget) {
            std::deque<TDecidedChunk> batch;
            {
                std::lock_guard queue(QueueGuard);
                batch.swap(Decided);
                DecidedBytes = 0;
            }
            if (batch.empty())
                break;
            for (const TDecidedChunk& decided : batch) {
                ShowChunk(decided);
                shown += decided.Bytes.size() + 1;
            }
        }
    } catch (...) {
        Showing = false;
        throw;
    }
    Showing = false;
    return UndisplayedBytes();
}

std::size_t TProtocolEngine::UndisplayedBytes() const
{
    std::lock_guard queue(QueueGuard);
    return DecidedBytes;
}

void TProtocolEngine::ShowChunk(const TDecidedChunk& decided)
{
    for (const std::string& name : decided.Names) {
        Peer = name;
        PeerUtf8 = DisplayName(Peer);
        Display.PeerNameCompleted(PeerUtf8);
    }
    const bool sawLineEnd
        = InterpretConversation(decided.Bytes, decided.StyleBefore, decided.Steps);
    Display.ChunkDone();
    if (sawLineEnd)
        Display.DrawAttention();
}

void TProtocolEngine::BeginUserAction()
{
    // Main thread only, so the depth needs no guard. Chunks decided from now on wait until the
    // action is over: the main thread holds DecideGuard for no longer than the action, and the
    // conversation thread waits for nothing while it holds it.
    if (UserActions++ == 0)
        DecideGuard.lock();
    ShowDecided();
}

void TProtocolEngine::EndUserAction()
{
    if (--UserActions == 0)
        DecideGuard.unlock();
}

std::size_t TProtocolEngine::ConsumeNamePhase(std::string_view chunk, TDecidedChunk& decided)
{
    std::size_t i = 0;
    while (!NameComplete && i < chunk.size()) {
        const std::size_t cr = chunk.find(wire::CarriageReturn, i);
        const std::size_t end = cr == std::string_view::npos ? chunk.size() : cr;
        const std::size_t room = MaxNameBytes - PeerNameBuffer.size();
        PeerNameBuffer.append(chunk.substr(i, std::min(end - i, room)));
        if (cr == std::string_view::npos)
            return chunk.size();
        i = cr + 1;

        // An empty name does not end the name phase: the bytes after this CR (the LF
        // included) start the name again. The reply greeting still goes out at once.
        decided.Names.push_back(PeerNameBuffer);
        NameComplete = !PeerNameBuffer.empty();
        NameDone.store(NameComplete);
        QueueGreeting(false);
    }
    return i;
}

void TProtocolEngine::DecideStyleSignals(std::string_view bytes, TDecidedChunk& decided)
{
    // Style signals count in every style, so the first pass looks for nothing else. The guard is
    // held over all of the chunk's decisions: the echoes then go into the outbox together, with
    // no typing signal of the other thread between them.
    std::string echoes;
    std::lock_guard lock(TypingGuard);
    decided.StyleBefore = CurrentStyle.load();
    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b < 250 || b > 252)
            continue;
        const TStyleStep step = DecideStyleSignal(static_cast<TChatStyle>(b - wire::SigStyleBase));
        decided.Steps.push_back(static_cast<std::uint8_t>(
            (step.Marked ? StepMarked : 0) | (step.Echoed ? StepEchoed : 0)));
        if (step.Echoed)
            echoes += c;
    }
    if (!echoes.empty())
        SendBytes(echoes);
}

TProtocolEngine::TStyleStep TProtocolEngine::DecideStyleSignal(TChatStyle style)
{
    TStyleStep step { CurrentStyle.load(), style, false, false };
    CurrentStyle.store(style);
    if (style != TChatStyle::IM)
        Pending = false;
    // Marking a choice that was not marked acts like the user's click on it, which answers with
    // the same signal; a choice already marked answers nothing.
    if (Marked == style)
        return step;
    Marked = style;
    step.Marked = true;
    // If both sides answered every unmarked signal, two signals crossing on the wire (both
    // users choosing at once, or two quick choices on one side) would be answered back and
    // forth for ever, each answer unmarking the other side's choice. The callee always answers,
    // so it follows the caller; the caller answers only the acknowledgement of its own start
    // style (running in that style, not yet marked) and otherwise follows silently. Either way
    // the side that receives a signal ends in its style, so both sides settle on one style.
    step.Echoed = !Caller.load() || step.From == style;
    return step;
}

void TProtocolEngine::ShowStyleStep(const TStyleStep& step)
{
    // The switch moves the typing pane's text into the transcript, on both sides.
    Typed.Clear();
    Display.SwitchStyle(step.From, step.To);
    if (step.Marked)
        Display.ShowMarkedChoice(step.To);
    // The answer is the choice handler's: a switch to the style it is in already.
    if (step.Echoed)
        Display.SwitchStyle(step.To, step.To);
}

void TProtocolEngine::FlushRun(std::string& run, TChatStyle style)
{
    if (run.empty())
        return;
    if (style == TChatStyle::IMPreview)
        Display.AppendPreviewText(run);
    else
        Display.AppendPeerText(run, style == TChatStyle::IM);
    run.clear();
}

bool TProtocolEngine::InterpretConversation(
    std::string_view bytes, TChatStyle style, const std::vector<std::uint8_t>& steps)
{
    const TByteTables& t = Tables();
    const std::array<TByteKind, 256>* kinds
        = style == TChatStyle::IMPreview ? &t.Preview : &t.Conversation;
    std::string& run = RunBuffer;
    run.clear();
    bool sawLineEnd = false;
    std::size_t nextStep = 0;

    for (const char c : bytes) {
        const auto b = static_cast<std::uint8_t>(c);
        const TByteKind kind = (*kinds)[b];
        if (kind == TByteKind::Text) {
            if (b < 0x80)
                run.push_back(c);
            else
                run.append(t.Utf8[b].Bytes.data(), t.Utf8[b].Length);
            continue;
        }
        if (kind == TByteKind::Ignored)
            continue;

        FlushRun(run, style);
        const bool preview = style == TChatStyle::IMPreview;
        switch (kind) {
        case TByteKind::Erase:
            if (preview)
                Display.ErasePreviewChar();
            else
                Display.EraseTranscriptChar();
            break;
        case TByteKind::LineEnd:
            sawLineEnd = true;
            if (preview) {
                Display.CommitPreviewLine();
            } else {
                Display.TranscriptNewLine();
                Display.SetTypingNotice(std::string());
            }
            break;
        case TByteKind::StoppedTyping:
            Display.SetTypingNotice(PeerUtf8 + " has stopped typing...");
            break;
        case TByteKind::TypingCleared:
            Display.SetTypingNotice(std::string());
            break;
        case TByteKind::Typing:
            Display.SetTypingNotice(PeerUtf8 + " is typing...");
            break;
        case TByteKind::StyleSignal: {
            const std::uint8_t done = steps[nextStep++];
            const TStyleStep step { style, static_cast<TChatStyle>(b - wire::SigStyleBase),
                (done & StepMarked) != 0, (done & StepEchoed) != 0 };
            ShowStyleStep(step);
            style = step.To;
            kinds = style == TChatStyle::IMPreview ? &t.Preview : &t.Conversation;
            break;
        }
        case TByteKind::Text:
        case TByteKind::Ignored:
            break;
        }
    }
    FlushRun(run, style);
    return sawLineEnd;
}

bool TProtocolEngine::NoteTyping()
{
    LastKeyTick = Ticks.Now();
    StoppedSent = false;
    const bool started = !Pending;
    Pending = true;
    const char typing = static_cast<char>(wire::SigTyping);
    SendBytes(std::string_view(&typing, 1));
    return started;
}

void TProtocolEngine::TypingPaneChanged(std::string_view utf8Text, std::size_t droppedFront)
{
    SendPaneChange([&] { return Typed.Update(utf8Text, droppedFront); });
}

void TProtocolEngine::TypingPaneEdited(std::size_t position, std::size_t removed,
    std::string_view utf8Inserted, std::size_t droppedFront)
{
    SendPaneChange([&] { return Typed.Replace(position, removed, utf8Inserted, droppedFront); });
}

void TProtocolEngine::SendPaneChange(const std::function<std::string()>& change)
{
    bool typingStarted = false;
    {
        // The style is read and the bytes queued as one step, so that a signal decided on the
        // conversation thread meanwhile is either before the change on the wire or after it.
        std::lock_guard lock(TypingGuard);
        const std::string bytes = change();
        if (bytes.empty())
            return;
        if (CurrentStyle.load() == TChatStyle::IM)
            typingStarted = NoteTyping();
        else
            SendBytes(bytes);
    }
    Flush(TFlushMode::NoWait);
    WakeForTyping(typingStarted);
}

void TProtocolEngine::LineEndTyped()
{
    bool typingStarted = false;
    {
        std::lock_guard lock(TypingGuard);
        switch (CurrentStyle.load()) {
        case TChatStyle::IM:
            typingStarted = NoteTyping();
            break;
        case TChatStyle::IMPreview:
            // Enter in an empty pane commits nothing on this side, so the peer must not either.
            if (Typed.Empty())
                return;
            Typed.Clear();
            SendBytes(std::string_view(&wire::CarriageReturn, 1));
            break;
        case TChatStyle::Realtime:
            // A line break is part of the pane's text there (TypingPaneChanged).
            return;
        }
    }
    Flush(TFlushMode::NoWait);
    WakeForTyping(typingStarted);
}

void TProtocolEngine::WakeForTyping(bool typingStarted)
{
    // A later key only moves the deadline on, which the conversation thread finds when it wakes.
    if (typingStarted && OnThreadWork)
        OnThreadWork();
}

void TProtocolEngine::SendLine(std::string_view utf8Line)
{
    if (utf8Line.empty())
        return;
    const std::string text = TTypedCopy::Encode(utf8Line, "\r\n");
    {
        std::lock_guard lock(TypingGuard);
        if (CurrentStyle.load() != TChatStyle::IM)
            return;
        if (!text.empty())
            SendBytes(text);
        SendBytes("\r\n");
        Pending = false;
        Typed.Clear();
    }
    Flush(TFlushMode::NoWait);
}

void TProtocolEngine::SendLineEnd()
{
    {
        std::lock_guard lock(TypingGuard);
        if (CurrentStyle.load() != TChatStyle::IMPreview)
            return;
        Typed.Clear();
        SendBytes(std::string_view(&wire::CarriageReturn, 1));
    }
    Flush(TFlushMode::NoWait);
}

TChatStyle TProtocolEngine::MarkedChoice() const
{
    std::lock_guard lock(TypingGuard);
    return Marked;
}

void TProtocolEngine::UserChoseStyle(TChatStyle style)
{
    if (!IsKnownStyle(static_cast<std::uint8_t>(style)))
        return;
    {
        std::lock_guard lock(TypingGuard);
        Marked = style;
    }
    ChooseStyle(style);
}

void TProtocolEngine::AnnounceStartStyle(TChatStyle style)
{
    if (!IsKnownStyle(static_cast<std::uint8_t>(style)))
        return;
    ChooseStyle(style);
}

void TProtocolEngine::ChooseStyle(TChatStyle style)
{
    // Within a user action no received signal is decided between the switch shown here and the
    // signal sent below. Both sides move the typing pane's text into their transcripts.
    Typed.Clear();
    Display.SwitchStyle(CurrentStyle.load(), style);
    const char signal = static_cast<char>(wire::SigStyleBase + static_cast<std::uint8_t>(style));
    {
        std::lock_guard lock(TypingGuard);
        CurrentStyle.store(style);
        // An unsent IM line is dropped by the switch; its typing must not be reported later.
        if (style != TChatStyle::IM)
            Pending = false;
        SendBytes(std::string_view(&signal, 1));
    }
    Flush(TFlushMode::NoWait);
}

void TProtocolEngine::TypingTick()
{
    {
        std::lock_guard lock(TypingGuard);
        if (!Pending || CurrentStyle.load() != TChatStyle::IM)
            return;
    }
    // Waiting for the connection happens unguarded: a key typed meanwhile must not block.
    if (!Sender.WaitWritable(TypingWriteWaitMs))
        return;

    {
        std::lock_guard lock(TypingGuard);
        if (!Pending || CurrentStyle.load() != TChatStyle::IM)
            return;
        // Elapsed time rather than a comparison of tick values keeps the delays right when the
        // 32-bit count wraps.
        const TTick elapsed = TickElapsed(Ticks.Now(), LastKeyTick);
        if (elapsed > StoppedTypingDelay && !StoppedSent) {
            const char stopped = static_cast<char>(wire::SigStoppedTyping);
            SendBytes(std::string_view(&stopped, 1));
            StoppedSent = true;
        }
        if (elapsed > TypingClearedDelay) {
            const char cleared = static_cast<char>(wire::SigTypingCleared);
            SendBytes(std::string_view(&cleared, 1));
            Pending = false;
        }
    }
    Flush(TFlushMode::Wait);
}

std::optional<TTick> TProtocolEngine::TypingDueInMs() const
{
    std::lock_guard lock(TypingGuard);
    if (!Pending || CurrentStyle.load() != TChatStyle::IM)
        return std::nullopt;
    // A signal is due once more than its delay has passed (see TypingTick).
    const TTick due = (StoppedSent ? TypingClearedDelay : StoppedTypingDelay) + 1;
    const TTick elapsed = TickElapsed(Ticks.Now(), LastKeyTick);
    return elapsed >= due ? 0 : due - elapsed;
}

bool TProtocolEngine::TypingPending() const
{
    std::lock_guard lock(TypingGuard);
    return Pending;
}

} // namespace quillet
