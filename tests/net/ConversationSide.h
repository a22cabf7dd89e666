#pragma once

// Conversations and the listener without widgets: fake tabs, a queue dispatcher as the main
// thread, and raw sockets or a second listener as the other side.
#include "net/TChatClient.h"
#include "net/TChatServer.h"
#include "platform/QueueDispatcher.h"
#include "support/FakeConversationView.h"
#include "support/RawPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillet::testing {

using namespace std::chrono_literals;

// One copy of the program's conversation machinery: a listener on an ephemeral loopback port.
class TSide {
public:
    TSide(TQueueDispatcher& dispatcher, std::string ownName, TCallLimits limits = {})
        : Context { dispatcher, Views, TSteadyTickSource::Instance(),
            [name = std::move(ownName)] { return name; },
            [this](const std::string& peer, const std::string& address, TChatStyle style) {
                Offers.push_back({ peer, address, style });
            } }
    {
        Context.Limits = limits;
        TChatServerHooks hooks;
        hooks.ShowChatWindow = [this](bool) { ++WindowShown; };
        hooks.HideChatWindow = [this] { ++WindowHidden; };
        hooks.ListenStateChanged = [this](bool listening, const std::string& reason) {
            Listening = listening;
            Reasons.push_back(reason);
        };
        Server = std::make_unique<TChatServer>(Context, hooks, "127.0.0.1", "0");
        Server->Start();
    }
    ~TSide() { Stop(); }

    bool Stop()
    {
        if (!Server)
            return true;
        const bool stopped = Server->StopAndWait(
            [this] { static_cast<TQueueDispatcher&>(Context.Dispatcher).ProcessFor(5ms); }, 5s);
        Server.reset();
        return stopped;
    }

    struct TOffer {
        std::string Peer;
        std::string Address;
        TChatStyle Style;
    };

    TFakeViewFactory Views;
    TConversationContext Context;
    std::unique_ptr<TChatServer> Server;
    std::vector<TOffer> Offers;
    int WindowShown = 0;
    int WindowHidden = 0;
    bool Listening = false;
    std::vector<std::string> Reasons; // why calls were not answered, as it changed
};

class TConversationFixture : public ::testing::Test {
protected:
    bool Until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s)
    {
        return Dispatcher.ProcessUntil(done, timeout);
    }
    // Reads from a raw peer while the main thread keeps running queued work (the replies are
    // sent from there).
    std::string Receive(TRawPeer& peer, std::size_t count, std::chrono::milliseconds timeout)
    {
        std::string got;
        Until(
            [&] {
                got += peer.Receive(count - got.size(), 0ms);
                return got.size() >= count;
            },
            timeout);
        return got;
    }
    int PortOf(TSide& side)
    {
        EXPECT_TRUE(Until([&] { return side.Server->ListeningPort() != 0; }));
        return side.Server->ListeningPort();
    }

    TQueueDispatcher Dispatcher;
};

} // namespace quillet::testing
