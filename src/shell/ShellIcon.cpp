#include "shell/ShellIcon.h"

#include "shell/InstalledTree.h"

#include <QDir>

namespace quillet {

namespace {

// The icon compiled into the program: one PNG per size, named "<size>.png", rendered at build
// time from the same drawing as the sizes installed into the icon theme.
QIcon BuiltInIcon()
{
    const QDir folder(QStringLiteral(":/quillet/icons"));
    QIcon icon;
    for (const QString& name : folder.entryList(QDir::Files))
        icon.addFile(folder.filePath(name));
    return icon;
}

} // namespace

QIcon QuilletIcon()
{
    return QIcon::fromTheme(DesktopId(), BuiltInIcon());
}

} // namespace quillet
