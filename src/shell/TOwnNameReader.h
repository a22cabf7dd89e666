#pragma once

#include "platform/ProfileFile.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

namespace quillet {

// The own name (settings::OwnName), as every conversation reads it when it
// begins. The file is read again only when it may have changed since the last read (its stamp
// differs), not on every call, which a large settings file would make slow. Safe to call from any
// thread.
class TOwnNameReader {
public:
    TOwnNameReader(std::filesystem::path settingsFile, std::string defaultName);

    std::string Read();
    // How often the file was read (for tests).
    int FileReads() const;

private:
    const std::filesystem::path Settings;
    const std::string Default;
    mutable std::mutex Lock;
    std::optional<profile::TFileStamp> Seen; // under Lock
    std::string Name; // under Lock
    int Reads = 0; // under Lock
};

} // namespace quillet
