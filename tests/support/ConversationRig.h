#pragma once

// A conversation behind a real tab, without a socket: the real protocol engine, its bytes
// recorded, its clock set by hand, the connection state set by the test.

#include "chatui/TChatForm.h"
#include "chatui/TConversationTab.h"
#include "net/ConversationView.h"
#include "net/ProtocolEngine.h"
#include "support/AnsweringPrompts.h"
#include "support/ProtocolFakes.h"

#include <memory>
#include <string>
#include <vector>

namespace quillet::testing {

// The engine is made before the tab it talks to; this passes its display calls on once the tab
// exists.
class TDisplayRelay final : public IConversationDisplay {
public:
    IConversationDisplay* Target = nullptr;
    void PeerNameCompleted(const std::string& name) override { Target->PeerNameCompleted(name); }
    void AppendPeerText(std::string_view text, bool label) override { Target->AppendPeerText(text, label); }
    void EraseTranscriptChar() override { Target->EraseTranscriptChar(); }
    void TranscriptNewLine() override { Target->TranscriptNewLine(); }
    void SetTypingNotice(const std::string& text) override { Target->SetTypingNotice(text); }
    void AppendPreviewText(std::string_view text) override { Target->AppendPreviewText(text); }
    void ErasePreviewChar() override { Target->ErasePreviewChar(); }
    void CommitPreviewLine() override { Target->CommitPreviewLine(); }
    void SwitchStyle(TChatStyle from, TChatStyle to) override { Target->SwitchStyle(from, to); }
    void ShowMarkedChoice(TChatStyle style) override { Target->ShowMarkedChoice(style); }
    void ChunkDone() override { Target->ChunkDone(); }
    void DrawAttention() override { Target->DrawAttention(); }
};

class TFakeOwner final : public IConversationOwner {
public:
    explicit TFakeOwner(const ITickSource& ticks, std::string ownName = "Alice")
        : OwnNameUtf8(ownName)
        , Engine(Relay, Sender, ticks, std::move(ownName))
    {
    }
    bool IsConnected() const override { return Connected; }
    bool IsDisconnected() const override { return Disconnected; }
    bool IsIncoming() const override { return Incoming; }
    std::string OwnName() const override { return OwnNameUtf8; }
    TProtocolEngine& Protocol() override { return Engine; }
    void DisconnectButtonClick() override { ++DisconnectClicks; }

    bool Connected = true;
    bool Disconnected = false;
    bool Incoming = false;
    int DisconnectClicks = 0;
    std::string OwnNameUtf8;
    TDisplayRelay Relay;
    TFakeByteSender Sender;
    TProtocolEngine Engine;
};

using TFakePrompts = TAnsweringPrompts;

// One conversation: owner, engine and its tab in a chat window.
struct TConversationRig {
    TConversationRig(TChatForm& form, const ITickSource& ticks, TConversationTabHooks hooks = {})
        : Owner(ticks)
    {
        Tab = std::make_unique<TConversationTab>(form, Owner, "Alice", nullptr, ticks, std::move(hooks));
        Owner.Relay.Target = Tab.get();
    }
    // The peer's greeting, as the wire delivers it.
    void Greet(const std::string& peerName) { Owner.Engine.ProcessIncoming(peerName + "\r\n"); }

    TFakeOwner Owner;
    std::unique_ptr<TConversationTab> Tab;
};

} // namespace quillet::testing
