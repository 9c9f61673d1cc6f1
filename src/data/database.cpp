#include "data/database.h"

#include "core/errors.h"

#include <QFileInfo>
#include <QSqlError>
#include <QUrl>

QSqlDatabase Db::business() {
    return QSqlDatabase::database(Business, false);
}

QSqlDatabase Db::lists() {
    return QSqlDatabase::database(Lists, false);
}

QString Db::errorText(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.text();
    return text;
}

DatabaseError Db::failure(const QSqlError& error) {
    return DatabaseError(errorText(error), error.nativeErrorCode());
}

bool Db::isServer(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL");
}

QString Db::forUpdate(const QSqlDatabase& db) {
    return isServer(db) ? QStringLiteral(" for update") : QString();
}

QString Db::holdsNoNumber(const QSqlDatabase& db, const QString& column) {
    return isServer(db) ? QStringLiteral("%1 is null").arg(column)
                        : QStringLiteral("(%1 is null or %1 = '')").arg(column);
}

QSqlDatabase Db::openExclusive(const QString& connection, const QString& filePath) {
    const QFileInfo file(filePath);
    if (!file.exists())
        throw DatabaseError(QStringLiteral("Could not find file '%1'.").arg(file.absoluteFilePath()));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    // mode=rw: never create a file; busy timeout 0: a file held by another copy fails at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=0"));
    QString uri =
        QStringLiteral("file:") + QString::fromUtf8(QUrl::toPercentEncoding(file.absoluteFilePath(), "/"));
    db.setDatabaseName(uri + QStringLiteral("?mode=rw"));
    try {
        if (!db.open())
            throw DatabaseError(errorText(db.lastError()));
        // Exclusive locking mode plus one write transaction keeps the file locked until the
        // connection closes: no other process can read or write it meanwhile.
        exec(db, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
        // Write-ahead logging: a commit is one sync of the log instead of the journal and the
        // file, and with synchronous FULL it is as durable.
        exec(db, QStringLiteral("PRAGMA journal_mode=WAL"));
        exec(db, QStringLiteral("PRAGMA synchronous=FULL"));
        exec(db, QStringLiteral("BEGIN EXCLUSIVE"));
        exec(db, QStringLiteral("COMMIT"));
        // Reading the schema proves it is a database at all.
        scalar(db, QStringLiteral("select count(*) from sqlite_master"));
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        throw;
    }
    return db;
}

void Db::closeConnection(const QString& connection) {
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

QSqlQuery Db::exec(const QSqlDatabase& db, const QString& sql, const Params& params) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // A server cannot prepare some statements (ALTER, SET, CREATE DATABASE …): one without
    // parameters goes to it as it is.
    if (params.empty() && isServer(db)) {
        if (!query.exec(sql))
            throw failure(query.lastError());
        return query;
    }
    if (!query.prepare(sql))
        throw failure(query.lastError());
    for (const auto& [name, value] : params)
        query.bindValue(name, value);
    if (!query.exec())
        throw failure(query.lastError());
    return query;
}

QVariant Db::scalar(const QSqlDatabase& db, const QString& sql, const Params& params) {
    QSqlQuery query = exec(db, sql, params);
    return query.next() ? query.value(0) : QVariant();
}

Transaction::Transaction(QSqlDatabase db) : m_db(std::move(db)) {
    if (!m_db.transaction())
        throw Db::failure(m_db.lastError());
    m_open = true;
}

Transaction::~Transaction() {
    if (m_open)
        m_db.rollback();
}

void Transaction::commit() {
    if (!m_db.commit())
        throw Db::failure(m_db.lastError());
    m_open = false;
}
