#pragma once

#include "net/ChatStyle.h"
#include "net/ConversationView.h"
#include "net/THostLookup.h"
#include "net/THostLookupQueue.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/TickSource.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace quillet {

// How far the program trusts callers and how long it waits for calls. The defaults are the
// program's; tests make them small.
struct TCallLimits {
    // Conversations whose connection stands, incoming and dialed, at once. A caller beyond them
    // is turned away at once, without a tab. Ended conversations whose tabs are still open do
    // not count: they hold no connection.
    std::size_t MaxConversations = 1000;
    // Conversations one caller's address may have, from its call until its tab is closed (ended
    // ones included), so that one computer cannot take the whole cap, neither by calling nor by
    // calling and hanging up again and again.
    std::size_t MaxPerAddress = 50;
    // A caller that has not sent its whole name by then is closed, and its tab goes.
    std::chrono::milliseconds NameTimeout { 30000 };
    // A dialed call that has not connected by then (the lookup of a host name included) gives
    // up with the reason.
    std::chrono::milliseconds ConnectTimeout { 20000 };
};

// What every conversation is given by the program: how to reach the main thread, how to build
// its tab, where its own name comes from and whom to tell when it has ended. One context serves
// all conversations and outlives them.
struct TConversationContext {
    IMainThreadDispatcher& Dispatcher;
    IConversationViewFactory& Views;
    const ITickSource& Ticks;
    // The own name (UTF-8), read anew for each conversation.
    std::function<std::string()> ReadOwnName;
    // Main thread, once per conversation when it has ended: the peer's name (UTF-8, may be
    // empty), its address and the style the conversation ended in.
    std::function<void(const std::string& peerName, const std::string& address, TChatStyle style)>
        OfferAddUser;
    // Main thread: an exception escaped a conversation or the listener (the program shows its
    // error box). May be empty.
    std::function<void(const std::exception_ptr& error)> ReportError = nullptr;
    TCallLimits Limits {};
    // How dialed host names are looked up; the system resolver when empty.
    THostLookupFunction HostLookup = nullptr;
    // Where every conversation's lookups take their turn.
    std::shared_ptr<THostLookupQueue> Lookups = std::make_shared<THostLookupQueue>();
    // Set while the program exits: conversations then end without asking anything.
    std::atomic<bool> ExitInProgress { false };
    // Conversation objects alive (constructed and not yet freed).
    std::atomic<int> LiveConversations { 0 };
};

} // namespace quillet
