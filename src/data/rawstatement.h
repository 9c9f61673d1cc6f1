#pragma once

#include "data/database.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace Db {

// The connection's own SQLite handle; nullptr for a connection of another kind (a server) or
// one that is not open.
sqlite3* sqliteHandle(const QSqlDatabase& db);
// The same, or DatabaseError naming the connection when it has none.
sqlite3* requireSqlite(const QSqlDatabase& db);

} // namespace Db

// A statement run through SQLite's own interface, where a list of a million rows is to pass
// without a QVariant made of every value: the lists' indexes, the exports, the ledger check, the
// imports' inserts. Errors raise DatabaseError with SQLite's text and primary code, as Qt's driver
// gives them.
class RawStatement {
public:
    // Prepares the statement; a null handle (no SQLite connection) raises DatabaseError too.
    RawStatement(sqlite3* db, QByteArrayView sql);
    RawStatement(sqlite3* db, const QByteArray& sql) : RawStatement(db, QByteArrayView(sql)) {}
    RawStatement(sqlite3* db, const QString& sql) : RawStatement(db, QByteArrayView(sql.toUtf8())) {}
    ~RawStatement();
    RawStatement(const RawStatement&) = delete;
    RawStatement& operator=(const RawStatement&) = delete;

    sqlite3_stmt* get() const { return m_statement; }
    // Binds the values by their placeholders' names (a name the statement lacks is left out);
    // texts are copied, so the values need not outlive the call.
    void bind(const Db::Params& params);
    // Steps to the next row: false when there is none.
    bool next();
    // Ready to run again, its bindings kept.
    void reset();

    // The column of that name, -1 when the statement has none.
    int column(const QString& name) const;
    bool isNull(int column) const;
    // A value as the database holds it.
    QVariant value(int column) const;
    // A value as total() reads it: a text by its leading number.
    double number(int column) const;
    qint64 integer(int column) const;
    QByteArray text(int column) const;
    // The text without a copy, valid until the next row.
    QByteArrayView view(int column) const;

    // Raises the connection's last error.
    [[noreturn]] void fail() const;

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};
