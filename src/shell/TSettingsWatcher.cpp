#include "shell/TSettingsWatcher.h"

namespace quillet {

TSettingsWatcher::TSettingsWatcher(
    std::filesystem::path settingsFile, std::function<void()> changed)
    : Settings(std::move(settingsFile))
    , Changed(std::move(changed))
    , Reported(profile::FileStamp(Settings))
{
    Settle.setSingleShot(true);
    Settle.setInterval(SettleMs);
    connect(&Settle, &QTimer::timeout, this, [this] { Settled(); });
    connect(&Watcher, &QFileSystemWatcher::directoryChanged, this, [this] { Noticed(); });
    connect(&Watcher, &QFileSystemWatcher::fileChanged, this, [this] { Noticed(); });
    const std::filesystem::path folder = Settings.parent_path();
    Watcher.addPath(QString::fromStdString(folder.empty() ? "." : folder.string()));
    Watcher.addPath(QString::fromStdString(Settings.string()));
}

void TSettingsWatcher::Noticed()
{
    // A file renamed over the old one is a new file: it is watched anew.
    if (!Watcher.files().contains(QString::fromStdString(Settings.string())))
        Watcher.addPath(QString::fromStdString(Settings.string()));
    Settle.start();
}

void TSettingsWatcher::Settled()
{
    const profile::TFileStamp now = profile::FileStamp(Settings);
    if (now == Reported)
        return;
    Reported = now;
    Changed();
}

} // namespace quillet
