#include "shell/ShellIcon.h"

#include "shell/InstalledTree.h"

#include <QDir>

namespace quillet {

QIcon BuiltInIcon()
{
    // One PNG per size, named "<size>.png", rendered at build time from the icon's drawing.
    const QDir folder(QStringLiteral(":/quillet/icons"));
    QIcon icon;
    for (const QString& name : folder.entryList(QDir::Files))
        icon.addFile(folder.filePath(name));
    return icon;
}

QIcon QuilletIcon()
{
    return QIcon::fromTheme(DesktopId(), BuiltInIcon());
}

} // namespace quillet
