#pragma once

#include <QString>
#include <QStringList>

#include <filesystem>

namespace quillet {

// The documentation that ships with Quillet (README.md, LICENSE). An installed program finds it
// in its tree's document folder (share/doc/quillet). Any other copy looks beside the program
// file (a copy handed on with its documents), then in the source tree the program was built from
// (a copy run from its build folder). The first file that exists wins; when none does, the last
// folder's path is returned so that the About dialog still shows where the file belongs.
QString ShippedDocumentPath(const QString& fileName);

// The folders searched for the program in `programFolder`, in order of preference.
QStringList DocumentFolders(const std::filesystem::path& programFolder);

// The lookup over explicit folders, in order of preference.
QString FindDocument(const QString& fileName, const QStringList& folders);

} // namespace quillet
