#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quillet {

// Where settings.ini lives.
//
// Beside the program file when a settings.ini already lies there or when that folder is
// writable, so that a copy kept on a stick or in a build folder carries its settings with it.
// Otherwise in $XDG_CONFIG_HOME/quillet/ (~/.config/quillet/ when the variable is unset, empty
// or not absolute), and that folder is created. The path is resolved once at start-up and handed
// to every window that reads or writes the file.
std::filesystem::path ResolveSettingsPath(const std::filesystem::path& programFolder,
    const std::string& xdgConfigHome, const std::string& home,
    const std::function<bool(const std::filesystem::path&)>& folderWritable);

// Whether the current user may create files in the folder.
bool IsFolderWritable(const std::filesystem::path& folder);

// ResolveSettingsPath for the running program and its environment. Needs the application object.
std::filesystem::path ResolveSettingsPathForThisProgram();

} // namespace quillet
