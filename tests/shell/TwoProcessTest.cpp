#include "ShellTestSupport.h"
#include "support/ProgramSandbox.h"

#include "shell/TSingleInstance.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>
#include <sys/stat.h>

namespace quillet {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// How long a copy may take to end before the test gives up on it. Generous, so that a loaded
// machine or the sanitizers cannot fail a test; how fast a copy really ends is measured in bench/.
constexpr int EndDeadlineMs = 15000;

// Copies of the real program in a sandbox (see TProgramSandbox).
class TwoProcessTest : public ::testing::Test, protected testing::TProgramSandbox {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Prepare(QStringLiteral(QUILLET_BINARY), "Tester"));
        // An old time stamp, so that any rewrite would show.
        fs::last_write_time(Settings, fs::last_write_time(Settings) - std::chrono::hours(24 * 400));
        SettingsBytes = test::ReadWholeFile(Settings);
        SettingsTime = fs::last_write_time(Settings);
    }

    void TearDown() override
    {
        for (auto& process : Processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(5000);
            }
        }
        if (HasFailure()) {
            for (std::size_t i = 0; i < Processes.size(); ++i) {
                const fs::path log = test::PathOf(Root) / ("stderr-" + std::to_string(i) + ".log");
                std::cerr << "--- standard error of copy " << i << ":\n"
                          << test::ReadWholeFile(log);
            }
        }
    }

    QProcess& Start(const QStringList& arguments)
    {
        // Standard error is kept in a file per copy and shown when a test fails.
        auto process = TProgramSandbox::Start(
            arguments, Root.path() + QString("/stderr-%1.log").arg(Processes.size()));
        EXPECT_EQ(process->state(), QProcess::Running);
        Processes.push_back(std::move(process));
        return *Processes.back();
    }

    // The answer of the running copy to a status request, once it answers at all.
    std::optional<std::string> WaitUntilListening(QProcess& process)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < 15000 && process.state() == QProcess::Running) {
            if (auto answer = TSingleInstance::Request(Runtime, "status", 200ms))
                return answer;
        }
        return std::nullopt;
    }

    std::optional<std::string> Status()
    {
        return TSingleInstance::Request(Runtime, "status", 2000ms);
    }

    void ExpectSettingsUntouched()
    {
        EXPECT_EQ(test::ReadWholeFile(Settings), SettingsBytes);
        EXPECT_EQ(fs::last_write_time(Settings), SettingsTime);
        EXPECT_TRUE(QDir(Root.path() + "/config").isEmpty());
    }

    std::string SettingsBytes;
    fs::file_time_type SettingsTime;
    std::vector<std::unique_ptr<QProcess>> Processes;
};

class SecondStartTest : public TwoProcessTest,
                        public ::testing::WithParamInterface<QStringList> { };

TEST_P(SecondStartTest, ShowsTheFirstCopysWindowAndEndsWithStatusZero)
{
    QProcess& first = Start({});
    ASSERT_EQ(WaitUntilListening(first), "hidden");

    QProcess& second = Start(GetParam());
    ASSERT_TRUE(second.waitForFinished(EndDeadlineMs)) << "the second copy keeps running";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);

    EXPECT_EQ(Status(), "visible");
    EXPECT_EQ(first.state(), QProcess::Running);
    ExpectSettingsUntouched();

    // Once more with the window already visible: it is brought to the front again.
    QProcess& third = Start(GetParam());
    ASSERT_TRUE(third.waitForFinished(EndDeadlineMs));
    EXPECT_EQ(third.exitCode(), 0);
    EXPECT_EQ(TSingleInstance::Request(Runtime, "activate", 2000ms), "shown");
    ExpectSettingsUntouched();
}

std::string ArgumentsName(const ::testing::TestParamInfo<QStringList>& info)
{
    if (info.param.isEmpty())
        return "NoArguments";
    return info.param.join('_').remove(QRegularExpression("[^A-Za-z0-9_]")).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Arguments, SecondStartTest,
    ::testing::Values(QStringList {}, QStringList { "show" }, QStringList { "--other", "SHOW" }),
    ArgumentsName);

TEST_F(TwoProcessTest, ShowOnTheCommandLineShowsTheFirstCopysWindowAtStart)
{
    QProcess& first = Start({ "x", "Show" });
    EXPECT_EQ(WaitUntilListening(first), "visible");
}

TEST_F(TwoProcessTest, AFirstCopyKilledOutrightDoesNotBlockTheNextStart)
{
    QProcess& killed = Start({});
    ASSERT_EQ(WaitUntilListening(killed), "hidden");
    killed.kill();
    ASSERT_TRUE(killed.waitForFinished(5000));
    ASSERT_TRUE(QFile::exists(TSingleInstance::LockFilePath(Runtime)));

    // The next start takes over the stale lock and socket and becomes the first copy.
    QProcess& next = Start({});
    EXPECT_EQ(WaitUntilListening(next), "hidden");
    EXPECT_EQ(next.state(), QProcess::Running);

    QProcess& second = Start({ "show" });
    ASSERT_TRUE(second.waitForFinished(EndDeadlineMs));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(Status(), "visible");
    ExpectSettingsUntouched();
}

TEST_F(TwoProcessTest, TerminationEndsTheProgramInAnOrderlyWay)
{
    QProcess& first = Start({ "show" });
    ASSERT_EQ(WaitUntilListening(first), "visible");
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(EndDeadlineMs)) << "still running after the request to end";
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
    // The lock and the socket went with it, not left for the next start to clean up.
    EXPECT_FALSE(QFile::exists(TSingleInstance::LockFilePath(Runtime)));
    EXPECT_FALSE(QFile::exists(TSingleInstance::ServerPath(Runtime)));
    ExpectSettingsUntouched();
}

TEST_F(TwoProcessTest, FirstStartAsksForTheNameAndCanStillBeEnded)
{
    fs::remove(Settings);
    QProcess& first = Start({});
    // The own-name dialog is up; activations are answered from its loop and the main window
    // stays hidden behind it until a name is stored.
    ASSERT_EQ(WaitUntilListening(first), "hidden");
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(EndDeadlineMs));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(fs::exists(Settings));
}

} // namespace
} // namespace quillet
