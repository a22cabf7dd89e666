#pragma once

// Fakes for the conversation's seams: a display that renders what a tab would show, a byte sender
// that records every send, and a tick source set by hand. Free of GoogleTest so that the fuzz
// target and the benchmarks use them as well.

#include "net/ConversationDisplay.h"
#include "platform/TickSource.h"

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace quillet::testing {

// What a conversation tab would show after a series of display calls: the transcript with its
// labels, the preview line, the typing notice, the style and the marked choice. Two call series
// that differ only in how text runs were split render to the same state.
struct TRenderedState {
    std::string Transcript;
    std::string Preview;
    std::string Notice;
    std::string PeerName;
    TChatStyle Style = TChatStyle::Realtime;
    TChatStyle Marked = TChatStyle::Realtime;
    int NameCompletions = 0;
    bool AttentionDrawn = false;

    bool operator==(const TRenderedState&) const = default;
};

inline void PopLastCodePoint(std::string& s)
{
    while (!s.empty()) {
        const auto b = static_cast<unsigned char>(s.back());
        s.pop_back();
        if ((b & 0xC0) != 0x80)
            return;
    }
}

inline bool IsValidUtf8(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        std::size_t n = 0;
        if (b < 0x80)
            n = 0;
        else if ((b & 0xE0) == 0xC0 && b >= 0xC2)
            n = 1;
        else if ((b & 0xF0) == 0xE0)
            n = 2;
        else if ((b & 0xF8) == 0xF0 && b <= 0xF4)
            n = 3;
        else
            return false;
        if (i + n >= s.size())
            return false;
        for (std::size_t k = 1; k <= n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += n + 1;
    }
    return true;
}

// Records every call, renders the tab's state and notes every broken promise of the display
// contract in Faults (a test expects it empty; the fuzz target aborts on it).
class TRecordingDisplay final : public IConversationDisplay {
public:
    std::vector<std::string> Calls;
    std::vector<std::string> Faults;
    TRenderedState State;
    int ChunksDone = 0;
    int AttentionCalls = 0;
    bool KeepCallLog = true;

    void PeerNameCompleted(const std::string& name) override
    {
        Log("name:" + name);
        CheckText(name, "name", true);
        State.PeerName = name;
        ++State.NameCompletions;
    }

    void AppendPeerText(std::string_view text, bool labelAtLineStart) override
    {
        Log(std::string(labelAtLineStart ? "peer+label:" : "peer:") + std::string(text));
        CheckText(text, "peer run", false);
        std::string& t = State.Transcript;
        if (labelAtLineStart && (t.empty() || t.back() == '\n'))
            t += State.PeerName + ": ";
        t += text;
    }

    void EraseTranscriptChar() override
    {
        Log("erase");
        PopLastCodePoint(State.Transcript);
    }

    void TranscriptNewLine() override
    {
        Log("newline");
        State.Transcript += '\n';
    }

    void SetTypingNotice(const std::string& text) override
    {
        Log("notice:" + text);
        State.Notice = text;
    }

    void AppendPreviewText(std::string_view text) override
    {
        Log("preview:" + std::string(text));
        CheckText(text, "preview run", false);
        State.Preview += text;
    }

    void ErasePreviewChar() override
    {
        Log("preview-erase");
        PopLastCodePoint(State.Preview);
    }

    void CommitPreviewLine() override
    {
        Log("commit");
        Commit();
    }

    void SwitchStyle(TChatStyle from, TChatStyle to) override
    {
        Log("switch:" + std::to_string(int(from)) + ">" + std::to_string(int(to)));
        if (from != State.Style)
            Faults.push_back("SwitchStyle from a style the tab is not in");
        if (State.Style == TChatStyle::IMPreview && !State.Preview.empty())
            Commit();
        State.Preview.clear();
        if (from != to) {
            State.Notice.clear();
            std::string& t = State.Transcript;
            if (!t.empty() && t.back() != '\n')
                t += '\n';
            t += "[style " + std::to_string(int(to)) + "]\n";
        }
        State.Style = to;
    }

    void ShowMarkedChoice(TChatStyle style) override
    {
        Log("mark:" + std::to_string(int(style)));
        if (style == State.Marked)
            Faults.push_back("ShowMarkedChoice for the choice already marked");
        State.Marked = style;
    }

    void ChunkDone() override
    {
        Log("chunk-done");
        ++ChunksDone;
    }

    void DrawAttention() override
    {
        Log("attention");
        ++AttentionCalls;
        State.AttentionDrawn = true;
    }

    // The user's own click marks the choice in the tab without the engine's help.
    void UserMarked(TChatStyle style) { State.Marked = style; }

    std::size_t CountCalls(std::string_view prefix) const
    {
        std::size_t n = 0;
        for (const std::string& c : Calls)
            n += c.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

private:
    void Log(std::string entry)
    {
        if (KeepCallLog)
            Calls.push_back(std::move(entry));
    }

    void Commit()
    {
        if (!State.PeerName.empty())
            State.Transcript += State.PeerName + ": ";
        State.Transcript += State.Preview + "\n";
        State.Preview.clear();
    }

    void CheckText(std::string_view text, const char* what, bool mayBeEmpty)
    {
        if (text.empty() && !mayBeEmpty)
            Faults.push_back(std::string("empty ") + what);
        if (!IsValidUtf8(text))
            Faults.push_back(std::string("invalid UTF-8 in ") + what);
        for (const char c : text) {
            const auto b = static_cast<unsigned char>(c);
            if ((b < 0x20 && b != '\t') || b == 0x7F)
                Faults.push_back(std::string("control byte in ") + what);
        }
    }
};

// Records each Send separately (so tests see what left as one unit). Safe to use from two
// threads; optionally stamps each Send with the tick source's time.
class TFakeByteSender final : public IByteSender {
public:
    struct TSend {
        std::string Bytes;
        TTick At = 0;
    };

    explicit TFakeByteSender(const ITickSource* clock = nullptr)
        : Clock(clock)
    {
    }

    void Send(std::string_view bytes) override
    {
        std::lock_guard lock(Guard);
        Sent.push_back({ std::string(bytes), Clock ? Clock->Now() : 0 });
    }

    bool WaitWritable(int timeoutMs) override
    {
        WaitCalls.fetch_add(1);
        LastWaitMs.store(timeoutMs);
        return Writable.load();
    }

    std::vector<std::string> Sends() const
    {
        std::lock_guard lock(Guard);
        std::vector<std::string> out;
        for (const TSend& s : Sent)
            out.push_back(s.Bytes);
        return out;
    }

    std::vector<TSend> StampedSends() const
    {
        std::lock_guard lock(Guard);
        return Sent;
    }

    std::string Bytes() const
    {
        std::lock_guard lock(Guard);
        std::string out;
        for (const TSend& s : Sent)
            out += s.Bytes;
        return out;
    }

    // The bytes sent since the previous call: what a peer would receive next.
    std::string TakeNew()
    {
        std::lock_guard lock(Guard);
        std::string out;
        for (; Taken < Sent.size(); ++Taken)
            out += Sent[Taken].Bytes;
        return out;
    }

    void Clear()
    {
        std::lock_guard lock(Guard);
        Sent.clear();
        Taken = 0;
    }

    std::atomic<bool> Writable { true };
    std::atomic<int> WaitCalls { 0 };
    std::atomic<int> LastWaitMs { 0 };

private:
    const ITickSource* Clock;
    mutable std::mutex Guard;
    std::vector<TSend> Sent;
    std::size_t Taken = 0;
};

// A clock the test sets by hand. Safe to read from any thread.
class TFakeTickSource final : public ITickSource {
public:
    explicit TFakeTickSource(TTick start = 0)
        : Value(start)
    {
    }
    TTick Now() const override { return Value.load(); }
    std::optional<TTick> LookAgainAfterMs() const override { return 20; }
    void Set(TTick t) { Value.store(t); }
    void Advance(TTick ms) { Value.fetch_add(ms); }

    std::atomic<TTick> Value;
};

} // namespace quillet::testing
