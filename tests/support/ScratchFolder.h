#pragma once

// A folder of a test's own in the system's temporary folder, removed with all it holds when the
// test's fixture goes.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace quillet::testing {

class TScratchFolder {
public:
    // The folder is named after `prefix` with six random characters added.
    explicit TScratchFolder(const std::string& prefix)
    {
        std::string pattern
            = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch folder like " + pattern);
        Path = pattern;
    }
    ~TScratchFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(Path, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    std::filesystem::path Path;
};

} // namespace quillet::testing
