#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlDatabase;

// The tables of the two database files and the tool that creates them.
namespace Schema {

struct Table {
    QString name;
    QString key;
    QStringList numericColumns;  // numbers only (a text that is no number is refused)
    QStringList dateTimeColumns; // "yyyy-MM-dd HH:mm:ss"
    QStringList textColumns;
    QStringList columns() const; // key first, then the data columns in their natural order
    bool operator==(const Table& other) const { return name == other.name; }
};

const QList<Table>& businessTables(); // service_a.dll
const QList<Table>& listTables();     // service_b.dll
const Table* findTable(const QString& name);
// The starter pick lists (a1 … a4) of a new shop, each listed newest first.
const QList<std::pair<QString, QStringList>>& defaultLists();

// Creates service_a.dll and service_b.dll in the folder with every table, the default pick
// lists and the settings row, readable by their owner only. Refuses to overwrite a file.
void createDatabaseFiles(const QString& folder);

// Why a database file of the folder cannot be used.
enum class FileFault {
    None,     // usable
    Missing,  // no such file
    NoAccess, // the file or its folder cannot be written
    InUse,    // the program (or a tool) holds it
    DiskFull, // the disk has no room to open it: nothing is damaged, it is usable once there is room
    Damaged,  // not a database, not this program's, or damaged by SQLite's own judgement
};
struct FileCheck {
    FileFault fault = FileFault::None;
    QString text; // in the words of the start-up error box; empty when usable
};

// What keeps a database file of the folder from being used; usable when it is this program's
// file: it opens, every table and column the program uses is there and, in the lists file, the
// settings row. A file whose header counts more pages than it holds is judged after SQLite has
// read its log (a write-back of the log cut off leaves it so, whole): it is refused only when no
// log holds the missing pages or SQLite's own check finds it damaged. Nothing in the file or its
// folder is changed: no log is folded in, and no log or index file is left behind.
FileCheck checkFile(const QString& path, const QList<Table>& tables);
// checkFile()'s text alone.
QString fileProblem(const QString& path, const QList<Table>& tables);

// The tables of the people at the tills (operators and the roles the owner makes), in the business
// file and on a server: made at a start where they are missing, so the file check does not
// require them. The statements for a file, or for a server.
QStringList staffTableStatements(bool server);
// Their names (each keyed by "id").
QStringList staffTables();
// The operation log's table and indexes; on a server also the trigger that keeps it append-only
// and the columns naming who did what, for a shop made by an earlier version.
QStringList operationLogStatements(bool server);
// The shifts of the tills and the cash paid into or out of their drawers.
QStringList shiftStatements(bool server);

// The columns of a table that a start adds to files of older versions: the file check does not
// require them.
QStringList addedAtStart(const QString& table);

// The indexes of the business file.
QStringList indexStatements();
// Makes the business file's indexes that are missing. An index that an earlier version made under
// the same name over other columns is made again as it is now (a narrower index would leave the
// reads it serves slow for good).
void createIndexes(const QSqlDatabase& db);

// Adds to a business file made by an earlier version the columns it lacks (the products'
// barcode and warning level, the cost price of each stock-out record) and the barcode's index, in one
// transaction; nothing else changes. Returns the columns added ("ab.b13").
QStringList upgradeBusinessFile(const QSqlDatabase& db);

// An amount as whole ten-thousandths (an integer), rounded: sums of them are exact.
QString scaled(const QString& expression);

// The stock-out records summed per day and major category, as the table ae_day keeps them
// (fields d, e8, n, nocost, qty, sales, costed, cost), read afresh from the records.
QString daySummaryStatement();
// What one record adds to each of those sums (n, nocost, qty, sales, costed, cost), as SQL over
// the record's columns.
QStringList daySummaryTerms();
// Fills ae_day afresh from the records.
void rebuildDaySummary(const QSqlDatabase& db);

// The tables whose rows the file counts as they are written (the big lists'), and the table
// that keeps the counts: row_counts (t the table's name, n its rows), kept in step by triggers in
// the same transaction as every row written or removed, whoever writes it. A start then needs no
// pass over a table to count it.
const QStringList& countedTables();
// Counts afresh the rows of the counted tables that have no count kept.
void recountRows(const QSqlDatabase& db);

// The CREATE TABLE statement of a table.
QString createStatement(const Table& table);

} // namespace Schema
