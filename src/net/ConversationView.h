#pragma once

#include "net/ChatStyle.h"
#include "net/ConversationDisplay.h"
#include "net/ConversationInput.h"

#include <memory>
#include <string>

namespace quillet {

// What a conversation's window needs to know of the conversation behind it. Implemented by the
// conversation (TChatClient); read on the main thread.
class IConversationOwner {
public:
    virtual ~IConversationOwner() = default;
    virtual bool IsConnected() const = 0; // the connection stands
    virtual bool IsDisconnected() const = 0; // it failed or broke ("Disconnected" was written)
    virtual bool IsIncoming() const = 0;
    // The own name (UTF-8) the conversation greets with.
    virtual std::string OwnName() const = 0;
    // Where the user's keys, lines and style choices go.
    virtual IConversationInput& Input() = 0;
    // The Disconnect/Close button: closes the connection; once the button reads "Close" it also
    // asks for the tab to be removed.
    virtual void DisconnectButtonClick() = 0;
};

// The conversation's tab as the conversation thread drives it. Every call is made on the main
// thread. Destroying the view removes the tab with all its controls.
class IConversationView : public IConversationDisplay {
public:
    // Appends `text` and a line break as a new transcript line.
    virtual void WriteStatusLine(const std::string& text) = 0;
    virtual void ClearTranscript() = 0;
    // "IP: <address> -- PORT: <port>" in the top right corner.
    virtual void ShowConnectionInfo(const std::string& text) = 0;
    // The user placed this call: its tab becomes the one shown (and counted as seen), and the
    // keyboard goes to its typing pane. A call that comes in never does this.
    virtual void ShowAsDialed() = 0;
    // Who is at the other end, as soon as it is known: a dialed call's address and port at once,
    // a caller's when its connection is taken over.
    virtual void ShowPeerAddress(const std::string& address, const std::string& port) = 0;
    // Read-only state, colours, visibilities and focus from the owner's state and the style.
    virtual void RefreshControls() = 0;
    // The conversation has ended: the button now reads "Close".
    virtual void ShowEnded() = 0;
};

// Builds the tab of a new conversation (main thread).
class IConversationViewFactory {
public:
    virtual ~IConversationViewFactory() = default;
    virtual std::unique_ptr<IConversationView> CreateView(IConversationOwner& owner) = 0;
};

} // namespace quillet
