#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <utility>

// Spreadsheet files made by the tests, hostile ones included: .xlsx packages put together part by
// part, with whatever the test wants in them.
namespace SheetFiles {

using Parts = QList<std::pair<QString, QByteArray>>;

// The parts of a workbook of one sheet named `sheet`, whose <sheetData> holds `rows`; shared
// strings when `shared` is not empty (the <si> elements).
Parts workbook(const QByteArray& rows, const QByteArray& shared = {},
               const QString& sheet = QStringLiteral("货品"));

// An inline-text cell and a number cell at a reference, for building rows.
QByteArray text(const QByteArray& reference, const QString& value);
QByteArray number(const QByteArray& reference, const QByteArray& value);

// Writes the parts as a zip package (deflated). `declared` makes the package state another
// unpacked size for a part than it has (in its local header and its central directory).
bool writeZip(const QString& path, const Parts& parts, const QHash<QString, quint32>& declared = {});

} // namespace SheetFiles
