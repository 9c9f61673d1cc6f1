#pragma once

#include "data/spreadsheet.h"

class DataGrid;

namespace GridExport {

// Asks for a file (dialog "exportFile", in the folder of the last export) and writes the rows
// the grid lists (every row of its search in force, not only those on screen) with the columns
// as the grid shows them. A progress dialog ("exportProgress") lets the user cancel; a cancelled
// export leaves no file.
void run(DataGrid* grid, Spreadsheet::Format format);

} // namespace GridExport
