#pragma once

#include "data/database.h"
#include "data/listdefinitions.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>

// Lists written to spreadsheet files and tables read back from them. Excel files are written by
// libxlsxwriter in its constant-memory mode (rows go to the file as they come) and read with
// minizip and Qt's XML reader; CSV files are written in UTF-8 with a byte-order mark and read in
// UTF-8 or GB18030.
namespace Spreadsheet {

enum class Format { Xlsx, Csv };

// How a column's values go into the file: numbers as numbers, dates and date-times as dates that
// the spreadsheet can compute with, everything else as text.
enum class Kind { Text, Number, DateTime, Date };

struct Column {
    QString title;
    Kind kind = Kind::Text;
    int width = 80; // in pixels, as the grid shows it
};

// Hands over the next row, one value a column; false when there are no more rows.
using RowReader = std::function<bool(QVariantList& cells)>;
// Told how many rows are written so far, every few thousand rows; false cancels the export.
using Progress = std::function<bool(qint64 written)>;

// The kind of a field of a table, from the table's schema.
Kind kindOf(const QString& table, const QString& field);
// The columns of a list as it is defined (titles, kinds and widths).
QList<Column> columnsOf(const QString& table, const QList<GridColumn>& columns);
// The format a file name asks for: .xlsx or .csv (any case); false when neither.
bool formatOf(const QString& path, Format* format);

// Writes the rows to the file. The rows go to a temporary file beside it, which takes the file's
// name only when everything is written: a cancelled or failed export leaves no partial file and
// an existing file as it was. Returns the number of rows written, or -1 when cancelled; a file
// that cannot be written raises Refused with the reason.
qint64 write(const QString& path, Format format, const QList<Column>& columns, const RowReader& next,
             const Progress& progress = {});

// The statement listing a list's rows for a search text (every row for the empty text), newest
// first, as the page's search box lists them.
QString listStatement(const ListDefinition& list, const QString& search, Db::Params* params);

// Writes the rows of a statement, one column a grid column, to the file (see write()).
qint64 writeQuery(const QSqlDatabase& db, const QString& sql, const Db::Params& params, const QString& table,
                  const QList<GridColumn>& columns, const QString& path, Format format,
                  const Progress& progress = {});

// A table read from a spreadsheet file: the first sheet of an Excel file or the whole CSV file,
// one list of cell texts a row (numbers in the general number format, dates as
// yyyy-MM-dd HH:mm:ss). Raises Refused when the file cannot be read.
struct Table {
    QList<QStringList> rows;
};
Table read(const QString& path);
Table readCsv(const QByteArray& bytes);

} // namespace Spreadsheet
