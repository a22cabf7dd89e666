#include "shell/TOwnNameReader.h"

#include "platform/ProfileFile.h"

#include <sys/stat.h>

namespace quillet {

TOwnNameReader::TOwnNameReader(std::filesystem::path settingsFile, std::string defaultName)
    : Settings(std::move(settingsFile))
    , Default(std::move(defaultName))
{
}

TOwnNameReader::TStamp TOwnNameReader::StampNow() const
{
    struct stat st { };
    if (::stat(Settings.c_str(), &st) != 0)
        return {};
    return { true, st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec,
        st.st_ctim.tv_sec, st.st_ctim.tv_nsec };
}

std::string TOwnNameReader::Read()
{
    const std::lock_guard<std::mutex> guard(Lock);
    const TStamp now = StampNow();
    if (!Seen || !(*Seen == now)) {
        Name = profile::ReadString(Settings, "Settings", "User name", Default);
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
