#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <utility>
#include <vector>

// The two database files of a working folder.
namespace Db {
inline const QString BusinessFile = QStringLiteral("service_a.dll");
inline const QString ListsFile = QStringLiteral("service_b.dll");
// Connection names.
inline const QString Business = QStringLiteral("service_a");
inline const QString Lists = QStringLiteral("service_b");

QSqlDatabase business();
QSqlDatabase lists();

// Opens a database file of the folder exclusively for the whole run under the connection name.
// A missing, damaged or locked file raises DatabaseError with the database's text.
QSqlDatabase openExclusive(const QString& connection, const QString& filePath);
void closeConnection(const QString& connection);

// Named parameters of a statement, bound by name (":a", ":b", …).
using Params = std::vector<std::pair<QString, QVariant>>;

// Executes one statement; a failure raises DatabaseError with the database's text.
QSqlQuery exec(const QSqlDatabase& db, const QString& sql, const Params& params = {});
// The single value of the first row (for counts and look-ups).
QVariant scalar(const QSqlDatabase& db, const QString& sql, const Params& params = {});
QString errorText(const QSqlError& error);
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

private:
    QSqlDatabase m_db;
    bool m_open = false;
};
