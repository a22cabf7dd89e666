#include "support/ProgramSandbox.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <fstream>

namespace quillet::testing {

bool TProgramSandbox::Prepare(const QString& binary, const std::string& userName)
{
    if (!Root.isValid())
        return false;
    QDir root(Root.path());
    for (const char* folder : { "bin", "runtime", "config", "home" }) {
        if (!root.mkpath(folder))
            return false;
    }
    Runtime = Root.path() + "/runtime";
    Program = Root.path() + "/bin/quillet";
    Settings = std::filesystem::path(Root.path().toStdString()) / "bin" / "settings.ini";
    if (!QFile::setPermissions(Runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
        || !QFile::copy(binary, Program))
        return false;
    std::ofstream settings(Settings, std::ios::binary | std::ios::trunc);
    settings << "[Settings]\nUser name=" << userName << '\n';
    return static_cast<bool>(settings.flush());
}

QProcessEnvironment TProgramSandbox::Environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_RUNTIME_DIR", Runtime);
    environment.insert("XDG_CONFIG_HOME", Root.path() + "/config");
    environment.insert("HOME", Root.path() + "/home");
    environment.insert("QUILLET_ASSUME_TRAY", "1");
    return environment;
}

void TProgramSandbox::Start(
    QProcess& process, const QStringList& arguments, const QString& errorFile) const
{
    process.setProcessEnvironment(Environment());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(errorFile.isEmpty() ? QProcess::nullDevice() : errorFile);
    process.start(Program, arguments);
}

std::unique_ptr<QProcess> TProgramSandbox::Start(
    const QStringList& arguments, const QString& errorFile) const
{
    auto process = std::make_unique<QProcess>();
    Start(*process, arguments, errorFile);
    process->waitForStarted(5000);
    return process;
}

} // namespace quillet::testing
