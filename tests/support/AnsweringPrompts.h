#pragma once

#include "platform/PromptService.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillet::testing {

// Answers every question with `Answer` and remembers the questions, messages and errors shown,
// each in order. `WhileAsking` runs while a question is open, as the main thread's other work
// would.
class TAnsweringPrompts final : public IPromptService {
public:
    TAnswer AskYesNoCancel(const std::string& text) override
    {
        Questions.push_back(text);
        if (WhileAsking)
            std::exchange(WhileAsking, nullptr)();
        return Answer;
    }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }

    TAnswer Answer = TAnswer::Yes;
    std::function<void()> WhileAsking; // runs once, with the next question
    std::vector<std::string> Questions;
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
};

} // namespace quillet::testing
