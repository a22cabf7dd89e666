#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <filesystem>
#include <memory>
#include <string>

namespace quillet::testing {

// A copy of the real program in a sandbox: its own program folder with a settings.ini that holds
// a name, and its own runtime, config and home folders, so that nothing here meets the
// developer's running Quillet or settings. Copies run on the offscreen platform as if a tray
// existed (without one the window would be shown at start).
class TProgramSandbox {
public:
    // Lays out the folders, copies `binary` as the program and names the user `userName`; false
    // when any step failed.
    bool Prepare(const QString& binary, const std::string& userName);

    // The environment a copy runs in: the sandbox's folders, the offscreen platform, a tray.
    QProcessEnvironment Environment() const;

    // Starts a copy. Its standard output is dropped, its standard error goes to `errorFile`
    // (dropped as well when empty): the offscreen platform's complaints would bury any report.
    void Start(
        QProcess& process, const QStringList& arguments, const QString& errorFile = {}) const;
    // The same, on a process of its own, once it has started (or failed to).
    std::unique_ptr<QProcess> Start(const QStringList& arguments, const QString& errorFile) const;

    QTemporaryDir Root;
    QString Runtime;
    QString Program;
    std::filesystem::path Settings;
};

} // namespace quillet::testing
