#pragma once

#include "platform/ProfileFile.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <filesystem>
#include <functional>

namespace quillet {

// Tells when settings.ini may have been changed by someone else: an editor, a second
// installation, a tool that syncs the file. The folder is watched besides the file, because a
// program that saves safely replaces the file (a new file renamed over it), which ends a watch
// on the file itself. Bursts of changes (a save writes a temporary file, then renames it) are
// reported once, when the file has been quiet for SettleMs, and only when its stamp differs from
// the one last reported: the program's own saves are reported too, and whoever listens compares
// with what it last read or wrote itself.
class TSettingsWatcher final : public QObject {
public:
    static constexpr int SettleMs = 150;

    TSettingsWatcher(std::filesystem::path settingsFile, std::function<void()> changed);

private:
    void Noticed();
    void Settled();

    const std::filesystem::path Settings;
    const std::function<void()> Changed;
    QFileSystemWatcher Watcher;
    QTimer Settle;
    profile::TFileStamp Reported;
};

} // namespace quillet
