#include "shell/TOwnNameReader.h"

#include "settings/Settings.h"

namespace quillet {

TOwnNameReader::TOwnNameReader(std::filesystem::path settingsFile, std::string defaultName)
    : Settings(std::move(settingsFile))
    , Default(std::move(defaultName))
{
}

std::string TOwnNameReader::Read()
{
    const std::lock_guard<std::mutex> guard(Lock);
    const profile::TFileStamp now = profile::FileStamp(Settings);
    if (Seen != now) {
        Name = settings::OwnName(Settings, Default);
        ++Reads;
        // A write that lands while the file is being read leaves a stamp that differs from
        // this one, so the next call reads again.
        Seen = now;
    }
    return Name;
}

int TOwnNameReader::FileReads() const
{
    const std::lock_guard<std::mutex> guard(Lock);
    return Reads;
}

} // namespace quillet
