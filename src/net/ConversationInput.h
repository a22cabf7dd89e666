#pragma once

#include "net/ChatStyle.h"

#include <cstddef>
#include <string_view>

namespace quillet {

// What the user does in a conversation's tab, as the conversation's protocol takes it. Every call
// is made on the main thread.
class IConversationInput {
public:
    virtual ~IConversationInput() = default;

    // The user changed the typing pane's text, which is now `utf8Text` ("\n" between lines); the
    // pane's limit took `droppedFront` characters from its front meanwhile. Nothing is sent when
    // the text is what the other side has already.
    virtual void TypingPaneChanged(std::string_view utf8Text, std::size_t droppedFront) = 0;
    // The same for an edit about to be made, whose place is known: `removed` characters at
    // `position` replaced by `utf8Inserted`, then `droppedFront` characters taken from the front.
    // The bytes leave before the pane has done anything with the edit.
    virtual void TypingPaneEdited(std::size_t position, std::size_t removed,
        std::string_view utf8Inserted, std::size_t droppedFront)
        = 0;
    // Enter in IM or IM with preview, where it sends the line rather than breaking it.
    virtual void LineEndTyped() = 0;
    // Send in IM style: the line (UTF-8) then its line end; nothing in the other styles.
    virtual void SendLine(std::string_view utf8Line) = 0;
    // Send clicked with the mouse in IM with preview: the line end, so that the peer commits
    // its preview line as this side commits its own.
    virtual void SendLineEnd() = 0;
    // The user clicked a style choice.
    virtual void UserChoseStyle(TChatStyle style) = 0;
    // The style choice shown as marked.
    virtual TChatStyle MarkedChoice() const = 0;

    // Around each thing the user does in the window (a key, Send, a style choice): what has been
    // received is shown first, and nothing more received is taken up until the action ends, so
    // that the action meets the conversation as the window shows it. Calls nest.
    virtual void BeginUserAction() { }
    virtual void EndUserAction() { }
};

// One user action, for the time of a scope.
class TUserAction {
public:
    explicit TUserAction(IConversationInput& input)
        : Input(input)
    {
        Input.BeginUserAction();
    }
    ~TUserAction() { Input.EndUserAction(); }
    TUserAction(const TUserAction&) = delete;
    TUserAction& operator=(const TUserAction&) = delete;

private:
    IConversationInput& Input;
};

} // namespace quillet
