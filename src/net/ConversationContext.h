#pragma once

#include "net/ChatStyle.h"
#include "net/ConversationView.h"
#include "platform/MainThreadDispatcher.h"
#include "platform/TickSource.h"

#include <atomic>
#include <exception>
#include <functional>
#include <string>

namespace quillet {

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
    // Set while the program exits: conversations then end without asking anything.
    std::atomic<bool> ExitInProgress { false };
    // Conversation objects alive (constructed and not yet freed).
    std::atomic<int> LiveConversations { 0 };
};

} // namespace quillet
