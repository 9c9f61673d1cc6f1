#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// A shop whose ledger lives on a database server instead of the two files: several tills (and
// back-office computers) use it at once. Everything that differs between the two engines is kept
// here and in Db::isServer / Db::forUpdate, so the operations run the same statements on both.
namespace Server {

// The connection file of a working folder that uses a server.
inline const QString ConfFile = QStringLiteral("server.conf");

// Where the ledger lives: host (a name, an address or the folder of a Unix socket), port,
// database and user. The password is never written anywhere by this program: it comes from the
// user's ~/.pgpass (read by the client library) or is asked once at start.
struct Address {
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password; // only in memory
    // postgresql://user@host:port/database (host may also be given as ?host=/socket/folder).
    QString url() const;
    bool operator==(const Address& other) const = default;
};

// Reads a URL such as postgresql://kasse@192.168.1.10:5432/laden or
// postgresql://kasse@/laden?host=/run/postgresql. Throws Refused for anything else, also for an
// address holding a password (it belongs in ~/.pgpass or the password dialog); no message
// repeats a password.
Address parseUrl(const QString& url);
// The address as it may be shown: any password in it left out.
QString withoutPassword(const QString& url);

// The folder holds a connection file: the shop is on a server.
bool usesServer(const QString& folder);
// Reads the folder's connection file. Throws DatabaseError when it is unreadable or incomplete.
Address readConf(const QString& folder);
// Writes the connection file (without any password), readable by its owner only.
void writeConf(const QString& folder, const Address& address);

// Opens a connection to the server under the connection name. Throws DatabaseError with the
// server's text; a password that is missing or wrong gives a text containing "password".
QSqlDatabase open(const QString& connection, const Address& address);
// Opens the business and the lists connections of a server shop (both on the one database) and
// checks the tables are there. Throws DatabaseError.
void openShop(const Address& address);

// Runs a statement that the server cannot prepare (SET, CREATE DATABASE, LISTEN …) as it is.
// Throws DatabaseError.
void command(const QSqlDatabase& db, const QString& sql);

// The server broke the transaction off so that it can be run again from the start: a
// serialization failure (40001) or a deadlock it resolved (40P01).
bool mayRunAgain(const QString& code);
// The code says the connection to the server is gone (class 08, or the server shutting the
// connection down: 57P01 … 57P03).
bool connectionError(const QString& code);
// The connection does not reach the server any more (its server process ended, the server or the
// network went away). Asks the server (one round trip); false for a file.
bool connectionLost(const QSqlDatabase& db);
// Listens on the connection for the notifications of a channel, also after a reconnection.
// Throws DatabaseError.
void subscribe(const QSqlDatabase& db, const QString& channel);
// Opens a lost connection again with what it was opened with (the password given at start stays
// in memory) and listens again on the channels it listened on. Throws DatabaseError.
void reconnect(const QString& connection);

// True when the error text says the server wants a password it did not get or refused.
bool needsPassword(const QString& errorText);

// Creates every table, rule, index, the starter pick lists and the settings row on an empty
// database. Refuses (DatabaseError) a database that has any of the ledger's tables already.
void createSchema(const Address& address);

// The same inside the caller's transaction on an open connection, without the pick lists and the
// settings row when `withStarterRows` is false (a shop copied from its files brings its own).
void createTables(const QSqlDatabase& db, bool withStarterRows);
// The number of the ledger's tables the database has.
int ledgerTablesPresent(const QSqlDatabase& db);

// The tables and columns of the ledger the server's database lacks; empty when it has them all
// and the settings row.
QString schemaProblem(const QSqlDatabase& db);

// The CREATE TABLE statement of a table on the server.
QString createStatement(const QString& table);

} // namespace Server
