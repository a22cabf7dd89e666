#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quillet {

// Where settings.ini lives.
//
// An installed program keeps it in $XDG_CONFIG_HOME/quillet/ (~/.config/quillet/ when the
// variable is unset, empty or not absolute), and that folder is created: the binary folder of an
// installed tree is shared by every user, and root or the owner of a home prefix could write
// into it. Any other copy keeps it beside the program file when a settings.ini already lies
// there or when that folder is writable, so that a copy kept on a stick or in a build folder
// carries its settings with it; otherwise it too uses the per-user folder. The path is resolved
// once at start-up and handed to every window that reads or writes the file.
std::filesystem::path ResolveSettingsPath(const std::filesystem::path& programFolder,
    bool installed, const std::string& xdgConfigHome, const std::string& home,
    const std::function<bool(const std::filesystem::path&)>& folderWritable);

// Whether the current user may create files in the folder.
bool IsFolderWritable(const std::filesystem::path& folder);

// ResolveSettingsPath for the running program and its environment. Needs the application object.
std::filesystem::path ResolveSettingsPathForThisProgram();

} // namespace quillet
