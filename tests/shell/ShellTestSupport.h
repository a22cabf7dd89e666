#pragma once

#include "platform/PromptService.h"

#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

// Argument lists in test names and failure messages, as text rather than bytes.
inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '{';
    for (const QString& item : list)
        *os << " \"" << item.toStdString() << '"';
    *os << " }";
}

namespace quillet::test {

// Records what would have been shown in message boxes; questions get `Answer`.
class TRecordingPrompts final : public IPromptService {
public:
    TAnswer AskYesNoCancel(const std::string& text) override
    {
        Questions.push_back(text);
        return Answer;
    }
    void ShowMessage(const std::string& text) override { Messages.push_back(text); }
    void ShowError(const std::string& text) override { Errors.push_back(text); }

    void Clear()
    {
        Answer = TAnswer::Cancel;
        Questions.clear();
        Messages.clear();
        Errors.clear();
    }

    TAnswer Answer = TAnswer::Cancel;
    std::vector<std::string> Questions;
    std::vector<std::string> Messages;
    std::vector<std::string> Errors;
};

// The prompt service behind the suite's application object; cleared before every test.
TRecordingPrompts& Prompts();

inline std::filesystem::path PathOf(const QTemporaryDir& dir)
{
    return std::filesystem::path(dir.path().toStdString());
}

std::string ReadWholeFile(const std::filesystem::path& file);
void WriteWholeFile(const std::filesystem::path& file, const std::string& content);

} // namespace quillet::test
