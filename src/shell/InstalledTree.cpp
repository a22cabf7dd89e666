#include "shell/InstalledTree.h"

#include <system_error>

namespace quillet {

QString DesktopId()
{
    return QStringLiteral(QUILLET_APP_ID);
}

bool IsInstalledProgram(const std::filesystem::path& programFolder)
{
    const std::filesystem::path entry = InstalledDataFolder(programFolder) / "applications"
        / (DesktopId().toStdString() + ".desktop");
    std::error_code error;
    return std::filesystem::is_regular_file(entry, error);
}

std::filesystem::path InstalledDataFolder(const std::filesystem::path& programFolder)
{
    return (programFolder / QUILLET_BIN_TO_DATADIR).lexically_normal();
}

std::filesystem::path InstalledDocumentFolder(const std::filesystem::path& programFolder)
{
    return (programFolder / QUILLET_BIN_TO_DOCDIR).lexically_normal();
}

} // namespace quillet
