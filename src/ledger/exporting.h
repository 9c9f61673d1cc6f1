#pragma once

#include "data/spreadsheet.h"

// Lists written to Excel and CSV files, from a page's grid or by the export tool: one way for
// both, where the right to export is asked, the cost columns are left out for those who may not
// see them, and the export is logged.
namespace Exporting {

// Asked before anything of an export is shown (the file dialog): refused without the right to
// export (the refusal logged, Staff::NoRight thrown). `what` names the list ("列表 库房").
void require(const QString& what);

// Writes the rows of the statement (see Spreadsheet::writeQuery), without the columns the one at
// the till may not see, after require(); a written file is logged with its rows and name.
qint64 write(const QSqlDatabase& db, const QString& sql, const Db::Params& params, const QString& table,
             QList<GridColumn> columns, const QString& path, Spreadsheet::Format format, const QString& what,
             const Spreadsheet::Progress& progress = {});

// A list as its page lists it for the search text, all its columns (the export tool).
qint64 writeList(const ListDefinition& list, const QString& search, const QString& path,
                 Spreadsheet::Format format, const Spreadsheet::Progress& progress = {});

} // namespace Exporting
