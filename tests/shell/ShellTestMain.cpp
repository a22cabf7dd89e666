#include "ShellTestSupport.h"

#include "shell/TQuilletApplication.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace quillet::test {

namespace {
TRecordingPrompts* RecordingPrompts = nullptr;

class TClearPrompts final : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override
    {
        Prompts().Clear(IPromptService::TAnswer::Cancel);
    }
};
} // namespace

TRecordingPrompts& Prompts()
{
    return *RecordingPrompts;
}

std::string ReadWholeFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteWholeFile(const std::filesystem::path& file, const std::string& content)
{
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << content;
}

namespace {

QtMessageHandler StandardHandler = nullptr;

// The offscreen platform reports every window operation it lacks; those lines say nothing
// about the program and would bury the test output.
void QuietOffscreenMessages(
    QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith("This plugin does not support")
        || message.contains("systemTrayWindowChanged"))
        return;
    StandardHandler(type, context, message);
}

} // namespace

void InstallQuietMessageHandler()
{
    StandardHandler = qInstallMessageHandler(QuietOffscreenMessages);
}

} // namespace quillet::test

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    quillet::test::InstallQuietMessageHandler();
    quillet::TQuilletApplication app(argc, argv);
    quillet::test::TRecordingPrompts prompts;
    prompts.Clear(quillet::IPromptService::TAnswer::Cancel);
    quillet::test::RecordingPrompts = &prompts;
    app.SetPromptService(&prompts);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new quillet::test::TClearPrompts);
    return RUN_ALL_TESTS();
}
