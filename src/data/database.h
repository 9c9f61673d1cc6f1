#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <utility>
#include <vector>

class DatabaseError;

// The two database files of a working folder.
namespace Db {
inline const QString BusinessFile = QStringLiteral("service_a.dll");
inline const QString ListsFile = QStringLiteral("service_b.dll");
// The working folder's own settings: where its backups go, when its files were last checked in
// full, how this till takes scans.
inline const QString FolderSettingsFile = QStringLiteral("vandrel-ledger.ini");
// Connection names.
inline const QString Business = QStringLiteral("service_a");
inline const QString Lists = QStringLiteral("service_b");

QSqlDatabase business();
QSqlDatabase lists();

// Opens a database file of the folder exclusively for the whole run under the connection name.
// A missing, damaged or locked file raises DatabaseError with the database's text.
QSqlDatabase openExclusive(const QString& connection, const QString& filePath);
void closeConnection(const QString& connection);

// Folds the connection's write-ahead log into its file and empties the log: afterwards the file
// alone holds every commit. A failure leaves the log whole (the next open reads it); a lack of room
// raises DiskFull naming the folder and the room needed, anything else DatabaseError.
void writeBack(const QSqlDatabase& db);
// Whether a failure of a file in the folder came from a disk without room: SQLite's "database or
// disk is full", or any failure to write while almost nothing is free there.
bool diskFull(const QString& folder, const QString& errorText, const QString& code = {});
// The plain message for a disk without room: the folder, what is free and what is needed.
QString diskFullText(const QString& folder, qint64 needed, const QString& what);
// The room a file in the folder needs to be opened and written to at all (its log's first pages).
inline constexpr qint64 RoomToOpen = 1 << 20;

// Named parameters of a statement, bound by name (":a", ":b", …).
using Params = std::vector<std::pair<QString, QVariant>>;

// Executes one statement; a failure raises DatabaseError with the database's text.
QSqlQuery exec(const QSqlDatabase& db, const QString& sql, const Params& params = {});
// The single value of the first row (for counts and look-ups).
QVariant scalar(const QSqlDatabase& db, const QString& sql, const Params& params = {});
QString errorText(const QSqlError& error);
// The error to throw for a failed statement: its text and the server's state code.
DatabaseError failure(const QSqlError& error);

// The connection goes to a database server (several tills at once) rather than a file.
bool isServer(const QSqlDatabase& db);
// Appended to a select that reads a row the operation is about to change: on a server the row is
// locked until the commit, so another till changing it meanwhile waits and then sees the change;
// a file is held by one program only and needs nothing.
QString forUpdate(const QSqlDatabase& db);
// A condition on a stored amount that holds none: NULL, or in a file of an older version also an
// empty text (a server's number column cannot hold a text at all).
QString holdsNoNumber(const QSqlDatabase& db, const QString& column);
} // namespace Db

// Statements that belong together: begun on construction, rolled back on destruction unless
// committed, so an error in the middle leaves nothing behind.
class Transaction {
public:
    explicit Transaction(QSqlDatabase db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();
    // The transaction ended on the server without this program (its connection was lost): there
    // is nothing left to roll back.
    void forget() { m_open = false; }

private:
    QSqlDatabase m_db;
    bool m_open = false;
};
