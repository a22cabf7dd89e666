#pragma once

#include <QString>
#include <QStringList>

namespace quillet {

// The documentation that ships with Quillet (README.md, LICENSE), found without installing
// anything: beside the program file (a copy handed on with its documents), then in the source
// tree the program was built from (a copy run from its build folder). The first file that exists
// wins; when none does, the source tree's path is returned so that the About dialog still shows
// where the file belongs.
QString ShippedDocumentPath(const QString& fileName);

// The same lookup over explicit folders, in order of preference.
QString FindDocument(const QString& fileName, const QStringList& folders);

} // namespace quillet
