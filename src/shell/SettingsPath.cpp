#include "shell/SettingsPath.h"

#include "shell/InstalledTree.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdlib>
#include <system_error>
#include <unistd.h>

namespace quillet {

namespace {

const char* const SettingsFileName = "settings.ini";

std::string EnvironmentValue(const char* name)
{
    // Qt's read takes the environment's lock: getenv is not safe while another thread sets a
    // variable.
    return qgetenv(name).toStdString();
}

} // namespace

std::filesystem::path ResolveSettingsPath(const std::filesystem::path& programFolder,
    bool installed, const std::string& xdgConfigHome, const std::string& home,
    const std::function<bool(const std::filesystem::path&)>& folderWritable)
{
    std::filesystem::path beside = programFolder / SettingsFileName;
    std::error_code error;
    if (!installed && (std::filesystem::exists(beside, error) || folderWritable(programFolder)))
        return beside;

    std::filesystem::path configHome(xdgConfigHome);
    if (xdgConfigHome.empty() || !configHome.is_absolute())
        configHome = std::filesystem::path(home) / ".config";
    const std::filesystem::path folder = configHome / "quillet";
    // A folder that cannot be made shows up as a failed write with this path in the message.
    std::filesystem::create_directories(folder, error);
    return folder / SettingsFileName;
}

bool IsFolderWritable(const std::filesystem::path& folder)
{
    return ::access(folder.c_str(), W_OK) == 0;
}

std::filesystem::path ResolveSettingsPathForThisProgram()
{
    const std::filesystem::path programFolder(QCoreApplication::applicationDirPath().toStdString());
    std::string home = EnvironmentValue("HOME");
    if (home.empty())
        home = QDir::homePath().toStdString();
    return ResolveSettingsPath(programFolder, IsInstalledProgram(programFolder),
        EnvironmentValue("XDG_CONFIG_HOME"), home, IsFolderWritable);
}

} // namespace quillet
