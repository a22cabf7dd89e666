#pragma once

// A copy of the real program (with the People Nearby remote control, NearbyCopyMain.cpp) in one
// side of an Avahi sandbox: its own folders and settings, its side's network namespace and
// system bus. Shared by the two-copy test and the benchmark.

#include "support/AvahiSandbox.h"
#include "support/ProgramSandbox.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>

namespace quillet::testing {

class TNearbyCopy {
public:
    // Prepares the copy's folders with `settings` as the whole [Settings] section.
    bool Prepare(const QString& binary, const std::string& settings)
    {
        return Box.Prepare(binary, "unused") && WriteSettings(settings);
    }

    bool WriteSettings(const std::string& settings)
    {
        std::ofstream file(Box.Settings, std::ios::binary | std::ios::trunc);
        file << "[Settings]\n" << settings;
        return static_cast<bool>(file.flush());
    }

    // Starts it in `side` ("A" or "B") of the sandbox; true once it answers.
    bool Start(const TAvahiSandbox& sandbox, const std::string& side)
    {
        QProcessEnvironment environment = Box.Environment();
        environment.insert(
            "DBUS_SYSTEM_BUS_ADDRESS", QString::fromStdString(sandbox.Value(side + "_BUS")));
        Process.setProcessEnvironment(environment);
        Process.setStandardErrorFile(Box.Root.path() + "/stderr.log");
        Process.start("ip",
            { "netns", "exec", QString::fromStdString(sandbox.Value(side + "_NETNS")),
                Box.Program });
        if (!Process.waitForStarted(10000))
            return false;
        return WaitFor("ping", [](const QString& answer) { return answer == "ok"; });
    }

    // Sends one command; its answer, or "" when none came in time.
    QString Ask(
        const QString& command, std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        Process.write((command + "\n").toUtf8());
        QElapsedTimer elapsed;
        elapsed.start();
        while (!Process.canReadLine() && elapsed.elapsed() < timeout.count()
            && Process.state() == QProcess::Running)
            Process.waitForReadyRead(static_cast<int>(timeout.count() - elapsed.elapsed()));
        return Process.canReadLine() ? QString::fromUtf8(Process.readLine()).trimmed() : QString();
    }

    // Asks `command` again and again (a short pause between) until `done` takes the answer or
    // `timeout` has passed.
    bool WaitFor(const QString& command, const std::function<bool(const QString&)>& done,
        std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < timeout.count() && Process.state() == QProcess::Running) {
            LastAnswer = Ask(command);
            if (done(LastAnswer))
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    // The answer's fields after its first word.
    static QStringList Fields(const QString& answer) { return answer.split('\t').mid(1); }

    bool Ended(std::chrono::milliseconds timeout)
    {
        return Process.state() == QProcess::NotRunning
            || Process.waitForFinished(static_cast<int>(timeout.count()));
    }

    std::string ErrorLog() const
    {
        std::ifstream in((Box.Root.path() + "/stderr.log").toStdString());
        return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    }

    ~TNearbyCopy()
    {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished(5000);
        }
    }

    TProgramSandbox Box;
    QProcess Process;
    QString LastAnswer;
};

} // namespace quillet::testing
