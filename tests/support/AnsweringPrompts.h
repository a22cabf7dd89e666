#pragma once

#include "platform/PromptService.h"

#include <string>
#include <vector>

namespace quillet::testing {

// Answers every question with `Answer` and remembers the questions.
class TAnsweringPrompts final : public IPromptService {
public:
    TAnswer AskYesNoCancel(const std::string& text) override
    {
        Questions.push_back(text);
        return Answer;
    }
    void ShowMessage(const std::string&) override {}
    void ShowError(const std::string&) override {}

    TAnswer Answer = TAnswer::Yes;
    std::vector<std::string> Questions;
};

} // namespace quillet::testing
