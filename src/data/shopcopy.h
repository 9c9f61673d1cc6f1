#pragma once

#include "core/money.h"
#include "data/schema.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// Copying a shop's ledger between the engines, row for row with every key, and proving the copy:
// the files of a shop onto a server (vandrel-ledger-migrate), and a server's ledger into a pair of
// files (the server's backups).
namespace ShopCopy {

// What is compared of a table on both sides: its rows, the sum of its keys, of each amount, and of
// the lengths of its texts.
struct Totals {
    qint64 rows = 0;
    qint64 keys = 0;
    QList<Currency> amounts;
    qint64 textLength = 0;
    bool operator==(const Totals& other) const = default;
    QString text() const;
};

// Copies the rows of a ledger table from one database to the other (either engine), each amount
// exact, each key kept. Returns the totals of what was read. Throws DatabaseError naming the row a
// database refused, ConversionError for an amount that is no number.
Totals copyTable(const QSqlDatabase& from, const QSqlDatabase& to, const Schema::Table& table);
// The totals of a table as a database holds it now.
Totals totalsOf(const QSqlDatabase& db, const Schema::Table& table);
// After the copy, the receiving side gives keys after the highest the other side ever gave (a key
// once given is never given again), or after the highest there.
void carryNumbering(const QSqlDatabase& from, const QSqlDatabase& to, const Schema::Table& table);

// The staff, shifts and returns tables: copied row for row (each column as it is), compared column
// by column on both sides, numbered on from the highest key. Returns "table: n rows".
QString copyStaffTable(const QSqlDatabase& from, const QSqlDatabase& to, const QString& table);

// Writes a server's ledger, as one REPEATABLE READ snapshot, into a new pair of database files in
// the folder (which must hold none): every table and row with its key and numbering, proved table
// by table (rows, sums of keys and amounts, text lengths) before the files are closed. The files
// are then those of a shop in files. Returns a line per table. Throws DatabaseError (or Refused)
// saying what did not agree; the files made so far are removed.
QStringList snapshotToFiles(const QSqlDatabase& server, const QString& folder);

} // namespace ShopCopy
