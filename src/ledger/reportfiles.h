#pragma once

#include <QStringList>

// The report definitions that come with the program, kept in it as resources and written into a
// working folder's print/ folder, where the shop keeper may change them.
namespace ReportFiles {

// Their file names, in order.
QStringList names();
// Writes them into the folder's print/ folder (made when missing). A definition already there is
// never overwritten. Returns the files written. Throws LedgerError when the folder cannot be
// written.
QStringList install(const QString& folder);

} // namespace ReportFiles
