#pragma once

#include "data/database.h"
#include "data/listdefinitions.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <string>
#include <vector>

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

// What the reader accepts at most. A file beyond a limit is refused as a whole with a message
// naming the limit; a cell beyond one is a problem of its own. The defaults are the program's
// limits; tests scale them down.
// The program's own export of a million products is read whole: its sheet unpacks to about
// 520 MB, its CSV file has about 90 MB (100 MB with every column the import knows).
struct Limits {
    qint64 entryBytes = 1000 * 1000 * 1000; // each part of an .xlsx file, unpacked
    qint64 csvBytes = 200 * 1000 * 1000;    // a CSV file
    qint64 cells = 20 * 1000 * 1000;       // cells of a sheet, empty ones written in the file too
    qint64 textBytes = 200 * 1000 * 1000;  // the texts of all cells together, in UTF-8
    int cellChars = 32767;                 // one cell's text (as much as a spreadsheet holds)
    int problems = 1000;                   // problems listed; the rest are counted
};

// The sheet's last row and column (XFD).
constexpr int MaxRow = 1048576;
constexpr int MaxColumn = 16384;

// A cell text as a message quotes it: at most `most` characters, then "…".
QString shortened(const QString& text, int most = 40);

// What the reader found wrong at one place of the sheet: the row (0 when the row itself could not
// be told) and the position, e.g. "C7" or "第 3 个 <row>".
struct ReadProblem {
    int row = 0;
    QString where;
    QString why;
};

// A table read from a spreadsheet file: the first sheet of an Excel file or the whole CSV file,
// the texts of its cells (numbers in the general number format, dates as yyyy-MM-dd HH:mm:ss).
// Only the rows and cells that hold something are kept, in one block of text, so that a sheet
// with a lone cell at row 1,048,576 or column XFD costs no more than one with that cell at A1.
class Table {
public:
    // The rows that hold at least one cell, in the sheet's order.
    int rowCount() const;
    // The sheet's number of a row (the first row of the sheet is 1).
    int number(int row) const { return m_rows[size_t(row)].number; }
    // The text of a cell of a row (column 0 is A); empty where the sheet has none.
    QString cell(int row, int column) const;
    // The same text in UTF-8, without a copy (valid while the table lives).
    QByteArrayView text(int row, int column) const;
    // The columns of the row's cells, in order.
    QList<int> columns(int row) const;
    // Whether every cell of the row is blank (empty or spaces).
    bool blank(int row) const;
    // The number of cells kept.
    qint64 cellCount() const { return qint64(m_cells.size()); }

    // What the reader left out, in the order found: the first Limits::problems of them, and how
    // many more there were.
    QList<ReadProblem> problems;
    qint64 moreProblems = 0;
    // The rows of every problem, listed or counted.
    QSet<int> problemRows;

    // Building: rows in increasing number, cells of a row in increasing column.
    explicit Table(const Limits& limits = Limits());
    void addRow(int number);
    void addCell(int column, QStringView text);
    void addCell(int column, QByteArrayView utf8);
    void problem(int row, const QString& where, const QString& why);
    const Limits& limits() const { return m_limits; }

private:
    struct Row {
        int number;
        quint32 firstCell;
    };
    struct Cell {
        quint32 offset; // into m_text; the text runs to the next cell's offset
        quint16 column;
    };
    void addText(const char* data, qsizetype size, int column);
    Limits m_limits;
    std::vector<Row> m_rows; // with an end marker
    std::vector<Cell> m_cells;
    std::string m_text;
};

// Reads the file; raises Refused when it cannot be read or is beyond a limit of the file.
Table read(const QString& path, const Limits& limits = Limits());
// Reads CSV text (UTF-8, with or without a byte-order mark, or GB18030).
Table readCsv(const QByteArray& bytes, const Limits& limits = Limits());

} // namespace Spreadsheet
