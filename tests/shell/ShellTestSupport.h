#pragma once

#include "support/AnsweringPrompts.h"

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

using TRecordingPrompts = testing::TAnsweringPrompts;

// The prompt service behind the suite's application object; before every test it is cleared
// and answers Cancel.
TRecordingPrompts& Prompts();

inline std::filesystem::path PathOf(const QTemporaryDir& dir)
{
    return std::filesystem::path(dir.path().toStdString());
}

std::string ReadWholeFile(const std::filesystem::path& file);
void WriteWholeFile(const std::filesystem::path& file, const std::string& content);

} // namespace quillet::test
