#pragma once

#include "net/ConversationView.h"
#include "support/ProtocolFakes.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace quillet::testing {

// A conversation tab without widgets: keeps a plain-text model of what a real tab would show.
// (TRecordingDisplay renders the protocol's calls alone; this one is the whole tab as the
// conversation thread drives it.)
// Lives on the (test's) main thread like the real one.
class TFakeConversationView final : public IConversationView {
public:
    struct TState {
        IConversationOwner* Owner = nullptr;
        std::string Caption = "Chat";
        std::vector<std::string> StatusLines;
        std::string Transcript;
        std::string Preview;
        std::string TypingNotice;
        std::string Info;
        std::string PeerAddress; // address and port, a space between
        TChatStyle Style = TChatStyle::Realtime;
        TChatStyle Marked = TChatStyle::Realtime;
        int Refreshes = 0;
        int Attention = 0;
        bool Ended = false;
        bool ShownAsDialed = false;
        bool Destroyed = false;
    };

    TFakeConversationView(IConversationOwner& owner, std::shared_ptr<TState> state)
        : State(std::move(state))
    {
        State->Owner = &owner;
    }
    ~TFakeConversationView() override
    {
        State->Destroyed = true;
        State->Owner = nullptr;
    }

    void PeerNameCompleted(const std::string& name) override { State->Caption = name; }
    void AppendPeerText(std::string_view text, bool labelAtLineStart) override
    {
        if (labelAtLineStart && (State->Transcript.empty() || State->Transcript.back() == '\n'))
            State->Transcript += State->Caption + ": ";
        State->Transcript += text;
    }
    // Text is UTF-8: an erasure takes a whole character.
    void EraseTranscriptChar() override { PopLastCodePoint(State->Transcript); }
    void TranscriptNewLine() override { State->Transcript += '\n'; }
    void SetTypingNotice(const std::string& text) override { State->TypingNotice = text; }
    void AppendPreviewText(std::string_view text) override { State->Preview += text; }
    void ErasePreviewChar() override { PopLastCodePoint(State->Preview); }
    void CommitPreviewLine() override
    {
        State->Transcript += State->Caption + ": " + State->Preview + "\n";
        State->Preview.clear();
    }
    void SwitchStyle(TChatStyle, TChatStyle to) override { State->Style = to; }
    void ShowMarkedChoice(TChatStyle style) override { State->Marked = style; }
    void ChunkDone() override { }
    void DrawAttention() override { ++State->Attention; }

    void WriteStatusLine(const std::string& text) override
    {
        State->StatusLines.push_back(text);
        State->Transcript += text + "\n";
    }
    void ClearTranscript() override { State->Transcript.clear(); }
    void ShowConnectionInfo(const std::string& text) override { State->Info = text; }
    void ShowAsDialed() override { State->ShownAsDialed = true; }
    void ShowPeerAddress(const std::string& address, const std::string& port) override
    {
        State->PeerAddress = address + " " + port;
    }
    void RefreshControls() override { ++State->Refreshes; }
    void ShowEnded() override { State->Ended = true; }

private:
    std::shared_ptr<TState> State;
};

// Makes fake views and keeps their states, in creation order, after the views are gone.
class TFakeViewFactory final : public IConversationViewFactory {
public:
    std::unique_ptr<IConversationView> CreateView(IConversationOwner& owner) override
    {
        States.push_back(std::make_shared<TFakeConversationView::TState>());
        auto view = std::make_unique<TFakeConversationView>(owner, States.back());
        if (OnCreate)
            OnCreate();
        return view;
    }
    // Runs on the main thread as each view is made, before its conversation has a connection.
    std::function<void()> OnCreate;
    std::vector<std::shared_ptr<TFakeConversationView::TState>> States;
};

} // namespace quillet::testing
