#include "data/database.h"

#include "core/errors.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QStorageInfo>
#include <QUrl>
#include <algorithm>

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
    } catch (const DatabaseError& e) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        if (diskFull(file.absolutePath(), e.text(), e.code()))
            throw DiskFull(diskFullText(file.absolutePath(), RoomToOpen,
                                        QStringLiteral("打开文件 %1 ").arg(file.fileName())) +
                               QStringLiteral("文件没有损坏，腾出空间后即可使用。"),
                           e.code());
        throw;
    } catch (...) {
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        throw;
    }
    return db;
}

namespace {

// The file of an SQLite connection (its name is a "file:" URI with options, or a plain path).
QString filePathOf(const QSqlDatabase& db) {
    QString name = db.databaseName();
    if (!name.startsWith(QLatin1String("file:")))
        return QFileInfo(name).absoluteFilePath();
    name = name.mid(5).section(QLatin1Char('?'), 0, 0);
    return QUrl::fromPercentEncoding(name.toUtf8());
}

QString sizeText(qint64 bytes) {
    if (bytes < (1 << 20))
        return QStringLiteral("%1 KB").arg((std::max<qint64>(bytes, 0) + 1023) / 1024);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1 << 20), 0, 'f', 1);
}

qint64 freeIn(const QString& folder) {
    QStorageInfo disk(folder);
    disk.refresh();
    return disk.isValid() ? disk.bytesAvailable() : -1;
}

} // namespace

bool Db::diskFull(const QString& folder, const QString& errorText, const QString& code) {
    if (code == QLatin1String("13") || errorText.contains(QLatin1String("disk is full"), Qt::CaseInsensitive))
        return true;
    // A write refused for lack of room may also come back as an I/O error or a file that cannot
    // be made (the shared-memory index, the log).
    const bool writeFailed = code == QLatin1String("10") || code == QLatin1String("14") ||
                             errorText.contains(QLatin1String("I/O error"), Qt::CaseInsensitive) ||
                             errorText.contains(QLatin1String("unable to open"), Qt::CaseInsensitive);
    const qint64 room = freeIn(folder);
    return writeFailed && room >= 0 && room < RoomToOpen;
}

QString Db::diskFullText(const QString& folder, qint64 needed, const QString& what) {
    return QStringLiteral("磁盘空间不足：文件夹 '%1' 所在的磁盘只剩 %2 可用空间，%3需要至少 %4。")
        .arg(QDir::toNativeSeparators(folder), sizeText(freeIn(folder)), what,
             sizeText(std::max(needed, RoomToOpen)));
}

void Db::writeBack(const QSqlDatabase& db) {
    if (!db.isOpen() || isServer(db))
        return;
    QString error, code;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        // TRUNCATE: every committed page is written into the file, synced, and only then is the
        // log emptied; cut off anywhere before that, the log still holds every commit.
        if (!q.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"))) {
            error = errorText(q.lastError());
            code = q.lastError().nativeErrorCode();
        } else if (q.next() && q.value(0).toInt() != 0) {
            error = QStringLiteral("the log is in use");
        }
    }
    if (error.isEmpty())
        return;
    const QFileInfo file(filePathOf(db));
    if (!diskFull(file.absolutePath(), error, code))
        throw DatabaseError(QStringLiteral("无法把日志写回文件 '%1'：%2；日志文件保留，下次打开时写回")
                                .arg(QDir::toNativeSeparators(file.absoluteFilePath()), error),
                            code);
    // The file grows to the pages the log gave it.
    qint64 needed = 0;
    try {
        needed = scalar(db, QStringLiteral("PRAGMA page_count")).toLongLong() *
                     scalar(db, QStringLiteral("PRAGMA page_size")).toLongLong() -
                 file.size();
    } catch (const DatabaseError&) {
        needed = QFileInfo(file.absoluteFilePath() + QStringLiteral("-wal")).size();
    }
    throw DiskFull(diskFullText(file.absolutePath(), needed + RoomToOpen,
                                QStringLiteral("把日志写回文件 %1 ").arg(file.fileName())) +
                       QStringLiteral("已保存的数据都在日志文件 %1-wal 中，没有丢失；腾出空间后，"
                                      "下次打开或关闭时会写回。")
                           .arg(file.fileName()),
                   code);
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
