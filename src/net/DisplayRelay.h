#pragma once

#include "net/ConversationDisplay.h"

#include <string>
#include <string_view>
#include <utility>

namespace quillet {

// Passes a protocol's display calls on to a display that exists only later (a conversation's
// engine is made before its tab): calls made while there is no target are dropped. Main thread
// only, like every display call.
class TDisplayRelay final : public IConversationDisplay {
public:
    void SetTarget(IConversationDisplay* target) { Target = target; }

    void PeerNameCompleted(const std::string& name) override
    {
        Forward(&IConversationDisplay::PeerNameCompleted, name);
    }
    void AppendPeerText(std::string_view text, bool labelAtLineStart) override
    {
        Forward(&IConversationDisplay::AppendPeerText, text, labelAtLineStart);
    }
    void EraseTranscriptChar() override { Forward(&IConversationDisplay::EraseTranscriptChar); }
    void TranscriptNewLine() override { Forward(&IConversationDisplay::TranscriptNewLine); }
    void SetTypingNotice(const std::string& text) override
    {
        Forward(&IConversationDisplay::SetTypingNotice, text);
    }
    void AppendPreviewText(std::string_view text) override
    {
        Forward(&IConversationDisplay::AppendPreviewText, text);
    }
    void ErasePreviewChar() override { Forward(&IConversationDisplay::ErasePreviewChar); }
    void CommitPreviewLine() override { Forward(&IConversationDisplay::CommitPreviewLine); }
    void SwitchStyle(TChatStyle from, TChatStyle to) override
    {
        Forward(&IConversationDisplay::SwitchStyle, from, to);
    }
    void ShowMarkedChoice(TChatStyle style) override
    {
        Forward(&IConversationDisplay::ShowMarkedChoice, style);
    }
    void ChunkDone() override { Forward(&IConversationDisplay::ChunkDone); }
    void DrawAttention() override { Forward(&IConversationDisplay::DrawAttention); }

private:
    template <typename TMethod, typename... TArgs> void Forward(TMethod method, TArgs&&... args)
    {
        if (Target != nullptr)
            (Target->*method)(std::forward<TArgs>(args)...);
    }

    IConversationDisplay* Target = nullptr;
};

} // namespace quillet
