#pragma once

#include "ShellTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>

namespace quillet::test {

// A copy of the real program in a sandbox: its own program folder with a settings.ini that holds
// a name, and its own runtime, config and home folders, so that nothing here meets the
// developer's running Quillet or settings.
class TProgramSandbox {
public:
    // Lays out the folders and copies the program; false when any step failed.
    bool Prepare()
    {
        if (!Root.isValid())
            return false;
        QDir root(Root.path());
        for (const char* folder : {"bin", "runtime", "config", "home"}) {
            if (!root.mkpath(folder))
                return false;
        }
        Runtime = Root.path() + "/runtime";
        Program = Root.path() + "/bin/quillet";
        Settings = PathOf(Root) / "bin" / "settings.ini";
        if (!QFile::setPermissions(Runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
            || !QFile::copy(QStringLiteral(QUILLET_BINARY), Program))
            return false;
        WriteWholeFile(Settings, "[Settings]\nUser name=Tester\n");
        return true;
    }

    // Starts a copy on the offscreen platform, as if a tray existed (without one the window would
    // be shown at start). Its standard error goes to `errorFile`: the offscreen platform's
    // complaints would bury the test output.
    std::unique_ptr<QProcess> Start(const QStringList& arguments, const QString& errorFile) const
    {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_RUNTIME_DIR", Runtime);
        environment.insert("XDG_CONFIG_HOME", Root.path() + "/config");
        environment.insert("HOME", Root.path() + "/home");
        environment.insert("QUILLET_ASSUME_TRAY", "1");
        process->setProcessEnvironment(environment);
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(errorFile);
        process->start(Program, arguments);
        process->waitForStarted(5000);
        return process;
    }

    QTemporaryDir Root;
    QString Runtime;
    QString Program;
    std::filesystem::path Settings;
};

} // namespace quillet::test
