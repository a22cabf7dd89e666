#pragma once

#include "platform/PromptService.h"

namespace quillet {

// Questions and messages as Qt message boxes, parented to no window so that they also work
// while every window of the program is hidden.
class TQtPromptService final : public IPromptService {
public:
    TAnswer AskYesNoCancel(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void ShowError(const std::string& text) override;
};

} // namespace quillet
