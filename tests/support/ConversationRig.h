#pragma once

// A conversation behind a real tab, without a socket: the real protocol engine, its bytes
// recorded, its clock set by hand, the connection state set by the test.

#include "chatui/TChatForm.h"
#include "chatui/TConversationTab.h"
#include "net/ConversationView.h"
#include "net/DisplayRelay.h"
#include "net/ProtocolEngine.h"
#include "support/AnsweringPrompts.h"
#include "support/ProtocolFakes.h"

#include <memory>
#include <string>
#include <vector>

namespace quillet::testing {

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
    IConversationInput& Input() override { return Engine; }
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
        Tab = std::make_unique<TConversationTab>(
            form, Owner, "Alice", nullptr, ticks, std::move(hooks));
        Owner.Relay.SetTarget(Tab.get());
    }
    // The peer's greeting, as the wire delivers it.
    void Greet(const std::string& peerName) { Owner.Engine.ProcessIncoming(peerName + "\r\n"); }

    TFakeOwner Owner;
    std::unique_ptr<TConversationTab> Tab;
};

} // namespace quillet::testing
