#pragma once

// A copy of the real program in a sandbox of its own for the timing tools: its program folder
// with a settings.ini that holds a name ("Bench"), and its own runtime, config and home folders,
// on the offscreen platform as if a tray existed.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace quillet::bench {

struct TSandbox {
    QTemporaryDir Root;
    QString Program;
    QString Runtime;

    // Copies `binary` as the program (the program of this build by default). `moreSettings` are
    // further lines of the settings file's "[Settings]" section.
    bool Prepare(
        const QString& binary = QStringLiteral(QUILLET_BINARY), const QByteArray& moreSettings = {})
    {
        QDir root(Root.path());
        for (const char* folder : { "bin", "runtime", "config", "home" })
            root.mkpath(folder);
        Runtime = Root.path() + "/runtime";
        QFile::setPermissions(Runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        Program = Root.path() + "/bin/quillet";
        QFile settings(Root.path() + "/bin/settings.ini");
        return QFile::copy(binary, Program) && settings.open(QIODevice::WriteOnly)
            && settings.write("[Settings]\nUser name=Bench\n" + moreSettings) > 0;
    }

    void Start(QProcess& process, const QStringList& arguments) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_RUNTIME_DIR", Runtime);
        environment.insert("XDG_CONFIG_HOME", Root.path() + "/config");
        environment.insert("HOME", Root.path() + "/home");
        environment.insert("QUILLET_ASSUME_TRAY", "1");
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(Program, arguments);
    }
};

} // namespace quillet::bench
