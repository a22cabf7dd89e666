#include "shell/ShippedDocument.h"

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

QString ShippedDocumentPath(const QString& fileName)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    return FindDocument(fileName, { programFolder, QStringLiteral(QUILLET_SOURCE_DIR) });
}

} // namespace quillet
