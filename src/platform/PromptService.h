#pragma once

#include <functional>
#include <string>

namespace quillet {

// Questions and messages shown to the user. Windows ask through this interface so that tests
// can answer without a modal loop.
//
// Two kinds of window: the direct answer to something the user just did in the program (a
// refused entry, "Delete this user?") is modal and takes the keyboard; a window the program
// opens on its own (a caller to add after a conversation, a problem found at start) must never
// take the keyboard from where the user types, in another program or in another conversation.
// Those are the background ones: shown without activation, asking for attention instead, one at
// a time in the order asked, never one inside another; the user answers by clicking them or
// after activating them.
class IPromptService {
public:
    enum class TAnswer { Yes, No, Cancel };
    enum class TNotice { Message, Error };

    virtual ~IPromptService() = default;

    // A question in a box captioned "Yes or No?" with the buttons Yes, No and Cancel. Closing
    // the box answers Cancel.
    virtual TAnswer AskYesNoCancel(const std::string& text) = 0;
    // A plain message box.
    virtual void ShowMessage(const std::string& text) = 0;
    // The program's error box: caption "Quillet", error icon.
    virtual void ShowError(const std::string& text) = 0;

    // The same question in the background: returns at once; `answered` runs on the main thread
    // with the answer once the user has given it (Cancel when the box is closed). It never runs
    // once the service is gone.
    virtual void AskInBackground(const std::string& text, std::function<void(TAnswer)> answered)
        = 0;
    // A plain message or the error box in the background; returns at once.
    virtual void ShowInBackground(const std::string& text, TNotice kind) = 0;
};

} // namespace quillet
