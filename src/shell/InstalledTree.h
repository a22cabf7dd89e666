#pragma once

#include <QString>

#include <filesystem>

namespace quillet {

// An installed Quillet: the program in the tree's binary folder, its desktop entry, icons and
// documents in the tree's data folder. The folders are known relative to the program's own
// folder (the install rules compute them), so a tree installed under any prefix, or unpacked
// into a staging folder, is recognised the same way.

// The desktop identity: the desktop entry is "<id>.desktop", the theme icon is named "<id>".
QString DesktopId();

// Whether the program in `programFolder` belongs to an installed tree, that is whether the
// tree's desktop entry lies where the install rules put it. A copy in a build folder or on a
// stick has none.
bool IsInstalledProgram(const std::filesystem::path& programFolder);

// The data folder (share/) and the document folder (share/doc/quillet/) of the tree the program
// in `programFolder` would belong to.
std::filesystem::path InstalledDataFolder(const std::filesystem::path& programFolder);
std::filesystem::path InstalledDocumentFolder(const std::filesystem::path& programFolder);

} // namespace quillet
