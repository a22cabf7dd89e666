#include "shell/ShippedDocument.h"

#include "shell/InstalledTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace quillet {

QString FindDocument(const QString& fileName, const QStringList& folders)
{
    for (const QString& folder : folders) {
        const QString candidate = QDir(folder).absoluteFilePath(fileName);
        if (QFileInfo(candidate).isFile())
            return QDir::cleanPath(candidate);
    }
    return folders.isEmpty() ? fileName
                             : QDir::cleanPath(QDir(folders.last()).absoluteFilePath(fileName));
}

QStringList DocumentFolders(const std::filesystem::path& programFolder)
{
    // An installed program never points into the tree it was built from: that path belongs to
    // the machine that built it.
    if (IsInstalledProgram(programFolder))
        return { QString::fromStdString(InstalledDocumentFolder(programFolder).string()) };
    return { QString::fromStdString(programFolder.string()), QStringLiteral(QUILLET_SOURCE_DIR) };
}

QString ShippedDocumentPath(const QString& fileName)
{
    const std::filesystem::path programFolder(QCoreApplication::applicationDirPath().toStdString());
    return FindDocument(fileName, DocumentFolders(programFolder));
}

} // namespace quillet
