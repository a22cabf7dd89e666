#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>

namespace quillet {

// The own name, "User name" in section "Settings", as every conversation reads it when it
// begins. The file is read again only when it may have changed since the last read: when the
// file the path names, its size or its modification or change time differ (every write replaces
// or rewrites it, and so changes one of them), not on every call, which a large settings file
// would make slow. Safe to call from any thread.
class TOwnNameReader {
public:
    TOwnNameReader(std::filesystem::path settingsFile, std::string defaultName);

    std::string Read();
    // How often the file was read (for tests).
    int FileReads() const;

private:
    struct TStamp {
        bool Exists = false;
        dev_t Device = 0;
        ino_t Inode = 0;
        off_t Size = 0;
        long long ModifiedSeconds = 0;
        long ModifiedNanoseconds = 0;
        long long ChangedSeconds = 0;
        long ChangedNanoseconds = 0;
        bool operator==(const TStamp&) const = default;
    };
    TStamp StampNow() const;

    const std::filesystem::path Settings;
    const std::string Default;
    mutable std::mutex Lock;
    std::optional<TStamp> Seen; // under Lock
    std::string Name; // under Lock
    int Reads = 0; // under Lock
};

} // namespace quillet
