#pragma once

#include "data/spreadsheet.h"

#include <functional>

class QWidget;

class DataGrid;

namespace GridExport {

// Asks for a file (dialog "exportFile", in the folder of the last export) and writes the rows
// the grid lists (every row of its search in force, not only those on screen) with the columns
// as the grid shows them. A progress dialog ("exportProgress") lets the user cancel; a cancelled
// export leaves no file.
void run(DataGrid* grid, Spreadsheet::Format format);

// The same dialogs for rows that an operation writes itself (every row a search finds, not only
// those a grid lists): asks for a file named after `name` and today's date, then runs
// `write(path, progress)` under the progress dialog (`total` rows expected, 0 when not known) and
// tells what came of it.
using Writer = std::function<qint64(const QString& path, const Spreadsheet::Progress& progress)>;
void run(QWidget* parent, const QString& name, Spreadsheet::Format format, qint64 total, const Writer& write);

} // namespace GridExport
