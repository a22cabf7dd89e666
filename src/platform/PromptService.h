#pragma once

#include <string>

namespace quillet {

// Questions and messages shown to the user. Windows ask through this interface so that tests
// can answer without a modal loop.
class IPromptService {
public:
    enum class TAnswer { Yes, No, Cancel };

    virtual ~IPromptService() = default;

    // A question in a box captioned "Yes or No?" with the buttons Yes, No and Cancel. Closing
    // the box answers Cancel.
    virtual TAnswer AskYesNoCancel(const std::string& text) = 0;
    // A plain message box.
    virtual void ShowMessage(const std::string& text) = 0;
    // The program's error box: caption "Quillet", error icon.
    virtual void ShowError(const std::string& text) = 0;
};

} // namespace quillet
