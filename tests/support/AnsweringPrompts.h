#pragma once

#include "platform/PromptService.h"

#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quillet::testing {

// Answers every modal question with `Answer` and remembers the questions, messages and errors
// shown, each in order. `WhileAsking` runs while a question is open, as the main thread's other
// work would. Background questions wait until the test answers them (AnswerBackground);
// background messages and errors are remembered in Notices.
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
    void AskInBackground(const std::string& text, std::function<void(TAnswer)> answered) override
    {
        BackgroundQuestions.push_back(text);
        Unanswered.push_back(std::move(answered));
    }
    void ShowInBackground(const std::string& text, TNotice kind) override
    {
        Notices.emplace_back(kind, text);
    }

    // Answers the oldest background question still open; false when none is.
    bool AnswerBackground(TAnswer answer)
    {
        if (Unanswered.empty())
            return false;
        std::function<void(TAnswer)> answered = std::move(Unanswered.front());
        Unanswered.pop_front();
        answered(answer);
        return true;
    }

    // Forgets what was shown and answers `answer` from now on.
    void Clear(TAnswer answer)
    {
        Answer = answer;
        WhileAsking = nullptr;
        Questions.clear();
        Messages.clear();
        Errors.clear();
        BackgroundQuestions.clear();
        Unanswered.clear();
        Notices.clear();
    }

    TAnswer Answer = TAnswer::Yes;
    std::function<void()> WhileAsking; // runs once, with the next question
    std::vector<std::string> Questions;
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
    std::vector<std::string> BackgroundQuestions; // every one asked, in order
    std::deque<std::function<void(TAnswer)>> Unanswered;
    std::vector<std::pair<TNotice, std::string>> Notices;
};

} // namespace quillet::testing
