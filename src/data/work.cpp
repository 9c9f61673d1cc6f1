#include "data/work.h"

#include "core/errors.h"
#include "data/rawstatement.h"
#include "data/schema.h"
#include "data/server.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QThread>

#include <QRegularExpression>
#include <QSqlDriver>
#include <QStringEncoder>
#include <algorithm>
#include <sqlite3.h>

namespace Db {

namespace {
int failingStatement = 0;
int statementCount = 0;
int attemptCount = 0;
// The last unit of work begun went through its commit: whatever fails after it (a list that
// follows the change) never makes the operation run again.
bool lastCommitted = false;
std::function<void(int)> statementHook;

void runHook(int stage) {
    if (statementHook)
        statementHook(stage);
}
} // namespace

void Work::failStatement(int nth) {
    failingStatement = nth;
}

int Work::statements() {
    return statementCount;
}

void Work::setStatementHook(std::function<void(int)> hook) {
    statementHook = std::move(hook);
}

int Work::attempts() {
    return attemptCount;
}

void Work::countStatement() {
    runHook(++statementCount);
    if (statementCount == failingStatement)
        throw DatabaseError(InjectedFailure);
}

void Work::recover(const QSqlDatabase& db, const DatabaseError& error, int attempt) {
    if (!Db::isServer(db) || lastCommitted || error.code() == OutcomeUnknownCode)
        throw error;
    const bool broken = Server::mayRunAgain(error.code());
    const bool lost = !broken && Server::connectionLost(db);
    if (!broken && !lost && !Server::connectionError(error.code()))
        throw error; // the statement itself was refused: running it again changes nothing
    if (attempt >= MaxAttempts)
        throw DatabaseError((broken ? ServerBusy : NotStored).arg(error.text()), error.code());
    if (lost) {
        try {
            Server::reconnect(db.connectionName());
        } catch (const DatabaseError& e) {
            emit Announcer::instance().disconnected(e.text());
            throw DatabaseError(NotStored.arg(e.text()), e.code());
        }
        emit Announcer::instance().reconnected();
        return;
    }
    // Tills that collided are apart again after a short, different pause each.
    QThread::msleep(QRandomGenerator::global()->bounded(5u, 20u) * unsigned(attempt));
}

const QString& tillId() {
    static const QString id = QString::number(QRandomGenerator::system()->generate64(), 36);
    return id;
}

QString changesPayload(const Changes& changes, const QString& origin) {
    // The server refuses a payload of 8000 bytes or more; the names alone always fit.
    constexpr qsizetype Limit = 7900;
    QStringList names;
    QStringList entries;
    for (const Change& c : changes) {
        names << c.table;
        QString entry = c.table;
        if (c.removed)
            entry += QLatin1Char('!');
        if (!c.anyRow && !c.keys.isEmpty()) {
            const QSet<qint64> added(c.added.cbegin(), c.added.cend());
            QStringList keys;
            for (qint64 key : c.keys)
                keys << (added.contains(key) ? QStringLiteral("+") : QString()) + QString::number(key);
            entry += QLatin1Char(':') + keys.join(QLatin1Char(' '));
        }
        entries << (c.anyRow ? c.table : entry);
    }
    const QString mark = origin + QLatin1Char('|');
    const QString full = mark + entries.join(QLatin1Char(','));
    return full.toUtf8().size() < Limit ? full : mark + names.join(QLatin1Char(','));
}

Changes changesOfPayload(const QString& payload, QString* origin) {
    static const QRegularExpression tableName(QStringLiteral("^\\w+$"));
    const qsizetype bar = payload.indexOf(QLatin1Char('|'));
    if (origin)
        *origin = bar < 0 ? QString() : payload.left(bar);
    Changes changes;
    for (const QString& entry : payload.mid(bar + 1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const qsizetype colon = entry.indexOf(QLatin1Char(':'));
        QString table = colon < 0 ? entry : entry.left(colon);
        Change c;
        c.removed = table.endsWith(QLatin1Char('!'));
        if (c.removed)
            table.chop(1);
        if (!tableName.match(table).hasMatch())
            continue;
        c.table = table;
        bool known = colon >= 0;
        if (known)
            for (QStringView word :
                 QStringView(entry).mid(colon + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                const bool added = word.startsWith(QLatin1Char('+'));
                bool ok = false;
                const qint64 key = (added ? word.mid(1) : word).toLongLong(&ok);
                if (!ok) {
                    known = false;
                    break;
                }
                c.keys << key;
                if (added)
                    c.added << key;
            }
        if (!known || c.keys.isEmpty()) {
            c.keys.clear();
            c.added.clear();
            c.anyRow = true;
        }
        changes << c;
    }
    return changes;
}

Currency storedNumber(const QVariant& value, const QString& table, qint64 key, const QString& column,
                      bool nullIsNumber) {
    try {
        if (value.isNull() && !nullIsNumber)
            return Currency::parse(QString());
        return Currency::fromVariant(value);
    } catch (const ConversionError& e) {
        const Schema::Table* t = Schema::findTable(table);
        throw ConversionError(
            QStringLiteral("%1（表 %2 中 %3 为 %4 的行，列 %5）")
                .arg(e.text(), table, t ? t->key : QStringLiteral("key"), QString::number(key), column));
    }
}

Announcer& Announcer::instance() {
    static Announcer announcer;
    return announcer;
}

namespace {
// What a unit of work begun counts, set before its transaction begins (which may fail already).
const QSqlDatabase& begun(const QSqlDatabase& db, int attempt) {
    statementCount = 0;
    attemptCount = attempt;
    lastCommitted = false;
    return db;
}
} // namespace

Work::Work(const QSqlDatabase& db, int attempt) : m_db(begun(db, attempt)), m_tx(db) {
    m_sqlite = Db::sqliteHandle(m_db);
}

Work::~Work() {
    finalizeRaw();
}

void Work::finalizeRaw() {
    m_raw.clear();
}

void Work::noteStatement(const QString& sql) {
    static const QRegularExpression deleteFrom(QStringLiteral("^\\s*delete\\s+from\\s+(\\w+)"),
                                               QRegularExpression::CaseInsensitiveOption);
    if (!sql.trimmed().startsWith(QLatin1String("delete"), Qt::CaseInsensitive))
        return;
    if (const QRegularExpressionMatch m = deleteFrom.match(sql); m.hasMatch())
        m_removedFrom.insert(m.captured(1));
}

QSqlQuery Work::exec(const QString& sql, const Db::Params& params) {
    restoreCounts();
    countStatement();
    noteStatement(sql);
    return Db::exec(m_db, sql, params);
}

QVariant Work::scalar(const QString& sql, const Db::Params& params) {
    restoreCounts();
    countStatement();
    noteStatement(sql);
    return Db::scalar(m_db, sql, params);
}

QSqlQuery& Work::execPrepared(const QString& sql, const Db::Params& params) {
    restoreCounts();
    countStatement();
    noteStatement(sql);
    return runPrepared(sql, params);
}

QSqlQuery& Work::runPrepared(const QString& sql, const Db::Params& params) {
    auto it = m_prepared.find(sql);
    if (it == m_prepared.end()) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            throw Db::failure(query.lastError());
        it = m_prepared.insert(sql, query);
    }
    for (const auto& [name, value] : params)
        it->bindValue(name, value);
    if (!it->exec())
        throw Db::failure(it->lastError());
    return *it;
}

namespace {

// The table an insert statement writes into, and its key: a table of the ledger or of the people
// at the tills; refused for any other statement.
struct InsertedTable {
    QString name;
    QString key;
};
InsertedTable insertedTable(const QString& sql) {
    static const QRegularExpression into(QStringLiteral("^\\s*insert\\s+into\\s+(\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = into.match(sql);
    const QString name = m.hasMatch() ? m.captured(1) : QString();
    if (const Schema::Table* table = Schema::findTable(name))
        return {table->name, table->key};
    if (Schema::staffTables().contains(name))
        return {name, QStringLiteral("id")};
    throw DatabaseError(QStringLiteral("not an insert into a table of the ledger: %1").arg(sql));
}

// A value bound as Qt's SQLite driver binds it (a null text is NULL, an empty one is ''); false for
// a kind of value left to the driver. The texts are not copied: the values outlive the run.
bool bindRaw(sqlite3_stmt* statement, int slot, const QVariant& value, int* result) {
    if (value.isNull()) {
        *result = sqlite3_bind_null(statement, slot);
        return true;
    }
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString& text = *static_cast<const QString*>(value.constData());
        *result = text.isNull() ? sqlite3_bind_null(statement, slot)
                                : sqlite3_bind_text16(statement, slot, text.utf16(),
                                                      int(text.size() * sizeof(QChar)), SQLITE_STATIC);
        return true;
    }
    case QMetaType::Int:
    case QMetaType::LongLong:
        *result = sqlite3_bind_int64(statement, slot, value.toLongLong());
        return true;
    case QMetaType::Double:
        *result = sqlite3_bind_double(statement, slot, value.toDouble());
        return true;
    default:
        return false;
    }
}

} // namespace

bool Work::insertRaw(const QString& sql, const Db::Params& params, qint64* key) {
    for (const auto& p : params) {
        const int type = p.second.typeId();
        if (!p.second.isNull() && type != QMetaType::QString && type != QMetaType::Int &&
            type != QMetaType::LongLong && type != QMetaType::Double)
            return false;
    }
    auto it = m_raw.find(sql);
    if (it == m_raw.end()) {
        RawInsert raw;
        raw.table = insertedTable(sql).name;
        raw.statement = std::make_shared<RawStatement>(m_sqlite, sql);
        it = m_raw.insert(sql, raw);
    }
    RawInsert& raw = *it;
    if (raw.placeholders.size() != params.size())
        raw.placeholders.assign(params.size(), {QString(), 0});
    int result = SQLITE_OK;
    for (size_t i = 0; i < params.size() && result == SQLITE_OK; ++i) {
        auto& [name, slot] = raw.placeholders[i];
        if (name != params[i].first) {
            name = params[i].first;
            slot = sqlite3_bind_parameter_index(raw.statement->get(), name.toUtf8().constData());
        }
        if (slot > 0)
            bindRaw(raw.statement->get(), slot, params[i].second, &result);
    }
    if (result == SQLITE_OK)
        result = sqlite3_step(raw.statement->get());
    const bool done = result == SQLITE_DONE;
    // The error of the run, as Qt's driver gives it: SQLite's text and its primary code.
    const QString error = done ? QString() : QString::fromUtf8(sqlite3_errmsg(m_sqlite));
    if (done)
        *key = sqlite3_last_insert_rowid(m_sqlite);
    sqlite3_reset(raw.statement->get());
    sqlite3_clear_bindings(raw.statement->get()); // the texts bound are the caller's
    if (!done)
        throw DatabaseError(error, QString::number(result & 0xff));
    m_added[raw.table].insert(*key);
    return true;
}

QList<qint64> Work::insertRows(const QString& table, const QStringList& columns,
                               const QList<QVariant>& values) {
    const Schema::Table* known = Schema::findTable(table);
    const qsizetype width = columns.size();
    if (!known || width == 0 || values.size() % width != 0)
        throw DatabaseError(QStringLiteral("not rows of a table of the ledger: %1").arg(table));
    const QString head =
        QStringLiteral("insert into %1 (%2) values ").arg(table, columns.join(QLatin1Char(',')));
    QList<qint64> keys;
    keys.reserve(values.size() / width);
    if (!m_sqlite) {
        QString row;
        for (qsizetype c = 0; c < width; ++c)
            row += (c == 0 ? QStringLiteral("(:v") : QStringLiteral(",:v")) + QString::number(c);
        const QString sql = head + row + QLatin1Char(')');
        Db::Params params(size_t(width), {QString(), QVariant()});
        for (qsizetype c = 0; c < width; ++c)
            params[size_t(c)].first = QStringLiteral(":v") + QString::number(c);
        for (qsizetype at = 0; at < values.size(); at += width) {
            for (qsizetype c = 0; c < width; ++c)
                params[size_t(c)].second = values[at + c];
            keys << insert(sql, params);
        }
        return keys;
    }
    // SQLite numbers a statement's placeholders up to 32766; the rows of a statement share its
    // work (its journal of the pages it changes above all).
    for (qsizetype first = 0; first < values.size(); first += RowsAStatement * width) {
        const qsizetype rows = std::min(RowsAStatement, (values.size() - first) / width);
        QString sql = head;
        for (qsizetype r = 0; r < rows; ++r) {
            sql += r == 0 ? QStringLiteral("(") : QStringLiteral(",(");
            for (qsizetype c = 0; c < width; ++c)
                sql += c == 0 ? QStringLiteral("?") : QStringLiteral(",?");
            sql += QLatin1Char(')');
        }
        countStatement();
        if (rows == RowsAStatement)
            holdCount(known->name); // many rows: counted once
        auto it = m_raw.find(sql);
        if (it == m_raw.end()) {
            RawInsert raw;
            raw.table = known->name;
            raw.statement = std::make_shared<RawStatement>(m_sqlite, sql);
            it = m_raw.insert(sql, raw);
        }
        sqlite3_stmt* statement = it->statement->get();
        // The texts are bound in UTF-8, the file's encoding (SQLite would convert each one
        // itself), from one block made for the statement.
        qsizetype room = 0;
        for (qsizetype i = 0; i < rows * width; ++i)
            if (const QVariant& v = values[first + i]; v.typeId() == QMetaType::QString)
                room += static_cast<const QString*>(v.constData())->size() * 3; // at most 3 bytes each
        m_utf8.resize(room);
        char* end = m_utf8.data();
        std::vector<std::pair<qsizetype, qsizetype>> texts(size_t(rows * width), {-1, 0});
        for (qsizetype i = 0; i < rows * width; ++i)
            if (const QVariant& v = values[first + i]; v.typeId() == QMetaType::QString) {
                const QString& text = *static_cast<const QString*>(v.constData());
                if (text.isNull())
                    continue;
                char* start = end;
                end = m_encoder.appendToBuffer(end, text);
                texts[size_t(i)] = {start - m_utf8.data(), end - start};
            }
        int result = SQLITE_OK;
        for (qsizetype i = 0; i < rows * width && result == SQLITE_OK; ++i) {
            const auto [at, size] = texts[size_t(i)];
            if (at >= 0)
                result = sqlite3_bind_text(statement, int(i + 1), m_utf8.constData() + at, int(size),
                                           SQLITE_STATIC);
            else if (!bindRaw(statement, int(i + 1), values[first + i], &result))
                result = sqlite3_bind_text16(statement, int(i + 1), values[first + i].toString().utf16(), -1,
                                             SQLITE_TRANSIENT);
        }
        if (result == SQLITE_OK)
            result = sqlite3_step(statement);
        const bool done = result == SQLITE_DONE && sqlite3_changes(m_sqlite) == rows;
        const QString error = done ? QString() : QString::fromUtf8(sqlite3_errmsg(m_sqlite));
        // The rows of one statement get keys that follow each other: each is the highest yet.
        const qint64 last = done ? sqlite3_last_insert_rowid(m_sqlite) : 0;
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        if (!done)
            throw DatabaseError(error, QString::number(result & 0xff));
        if (last - rows < 0)
            throw DatabaseError(QStringLiteral("no key returned: %1").arg(head));
        if (const auto held = m_heldCounts.find(known->name); held != m_heldCounts.end())
            held->rows += rows;
        QSet<qint64>& added = m_added[known->name];
        for (qint64 key = last - rows + 1; key <= last; ++key) {
            keys << key;
            added.insert(key);
        }
    }
    return keys;
}

qint64 Work::insert(const QString& sql, const Db::Params& params) {
    restoreCounts();
    qint64 key = 0;
    if (m_sqlite) {
        countStatement();
        if (insertRaw(sql, params, &key)) {
            if (key <= 0)
                throw DatabaseError(QStringLiteral("no key returned: %1").arg(sql));
            return key;
        }
    }
    // The key comes back with the statement (RETURNING, on both engines): a server has no "last
    // inserted row" of a connection to ask for afterwards.
    const InsertedTable table = insertedTable(sql);
    if (!Db::isServer(m_db)) {
        // SQLite keeps the connection's last key (RETURNING would build a temporary table for
        // every row). The statement was counted above.
        QSqlQuery& q = runPrepared(sql, params);
        key = q.lastInsertId().toLongLong();
        q.finish();
    } else {
        QSqlQuery& q = execPrepared(sql + QStringLiteral(" returning ") + table.key, params);
        if (!q.next())
            throw DatabaseError(QStringLiteral("no key returned: %1").arg(sql));
        key = q.value(0).toLongLong();
        q.finish(); // done with, so that nothing of it is running at the commit
    }
    if (key <= 0)
        throw DatabaseError(QStringLiteral("no key returned: %1").arg(sql));
    m_added[table.name].insert(key);
    return key;
}

void Work::wrote(const QString& table, qint64 key) {
    if (key == 0) {
        auto it = std::find_if(m_changes.begin(), m_changes.end(),
                               [&](const Change& c) { return c.table == table; });
        if (it == m_changes.end())
            it = m_changes.insert(m_changes.end(), Change::of(table));
        it->anyRow = true;
        return;
    }
    wrote(table, QList<qint64>{key});
}

void Work::wrote(const QString& table, const QList<qint64>& keys) {
    auto it =
        std::find_if(m_changes.begin(), m_changes.end(), [&](const Change& c) { return c.table == table; });
    if (it == m_changes.end())
        it = m_changes.insert(m_changes.end(), Change::of(table));
    QSet<qint64>& noted = m_noted[table];
    for (const qint64 key : keys)
        if (key != 0 && !noted.contains(key)) {
            noted.insert(key);
            it->keys.append(key);
        }
}

void Work::holdCount(const QString& table) {
    if (m_heldCounts.contains(table) || !Schema::countedTables().contains(table))
        return;
    // Only the trigger this program makes, exactly: any other is left to count row by row.
    const QString name = table + QStringLiteral("_count_insert");
    const QString made =
        QStringLiteral("CREATE TRIGGER %1 AFTER INSERT ON %2 BEGIN UPDATE row_counts SET n = n + 1 "
                       "WHERE t = '%2'; END")
            .arg(name, table);
    const QString kept =
        Db::scalar(m_db, QStringLiteral("select sql from sqlite_master where type = 'trigger' and name = :n"),
                   {{QStringLiteral(":n"), name}})
            .toString();
    if (kept != made)
        return;
    Db::exec(m_db, QStringLiteral("DROP TRIGGER %1").arg(name));
    m_heldCounts.insert(table, {kept, 0});
}

void Work::restoreCounts() {
    if (m_heldCounts.isEmpty())
        return;
    const QHash<QString, HeldCount> held = std::exchange(m_heldCounts, {});
    for (auto it = held.cbegin(); it != held.cend(); ++it) {
        Db::exec(m_db, QStringLiteral("UPDATE row_counts SET n = n + :k WHERE t = :t"),
                 {{QStringLiteral(":k"), it->rows}, {QStringLiteral(":t"), it.key()}});
        Db::exec(m_db, it->trigger);
    }
}

void Work::commit() {
    restoreCounts();
    for (QSqlQuery& q : m_prepared)
        q.finish();
    finalizeRaw();
    // What the announcement tells of the rows: those added, the tables rows were deleted from.
    for (Change& c : m_changes) {
        c.removed = m_removedFrom.contains(c.table);
        if (const auto added = m_added.constFind(c.table); added != m_added.cend())
            for (qint64 key : c.keys)
                if (added->contains(key))
                    c.added.append(key);
    }
    // On a server, the transaction's number: should the connection be lost while committing, the
    // server is asked afterwards whether the commit went through.
    QString transaction;
    if (Db::isServer(m_db)) {
        // Sent by the server at the commit only: nothing is told of a rolled-back operation.
        const QString notify = m_changes.isEmpty() ? QString() : QStringLiteral(", pg_notify(:c, :p)");
        QSqlQuery q =
            Db::exec(m_db, QStringLiteral("select pg_current_xact_id()::text") + notify,
                     m_changes.isEmpty() ? Db::Params{}
                                         : Db::Params{{QStringLiteral(":c"), Channel},
                                                      {QStringLiteral(":p"), changesPayload(m_changes)}});
        transaction = q.next() ? q.value(0).toString() : QString();
    }
    runHook(0);
    try {
        m_tx.commit();
        runHook(-1);
    } catch (const DatabaseError& e) {
        if (transaction.isEmpty())
            throw;
        settleLostCommit(transaction, e);
    }
    lastCommitted = true;
    if (!m_changes.isEmpty())
        emit Announcer::instance().committed(m_changes);
}

void Work::settleLostCommit(const QString& transaction, const DatabaseError& error) {
    // A commit the server refused (a serialization failure found at the end) was rolled back.
    if (!Server::connectionLost(m_db))
        throw error;
    m_tx.forget();
    try {
        Server::reconnect(m_db.connectionName());
    } catch (const DatabaseError& e) {
        emit Announcer::instance().disconnected(e.text());
        throw DatabaseError(OutcomeUnknown.arg(e.text()), OutcomeUnknownCode);
    }
    emit Announcer::instance().reconnected();
    // The server keeps the outcome of its recent transactions. One still running belongs to a
    // server process that has not noticed yet that its client is gone: it ends soon.
    const QString ask = QStringLiteral("select pg_xact_status('%1'::xid8)").arg(transaction);
    for (int wait = 0; wait < 50; ++wait) {
        const LostCommit outcome = lostCommit(Db::scalar(m_db, ask));
        if (outcome == LostCommit::Stored)
            return;
        if (outcome == LostCommit::NotStored)
            throw DatabaseError(NotStored.arg(error.text()), QStringLiteral("08006"));
        if (outcome == LostCommit::Unknown)
            break;
        QThread::msleep(100);
    }
    throw DatabaseError(OutcomeUnknown.arg(error.text()), OutcomeUnknownCode);
}

LostCommit lostCommit(const QVariant& status) {
    const QString word = status.isNull() ? QString() : status.toString();
    if (word == QLatin1String("committed"))
        return LostCommit::Stored;
    if (word == QLatin1String("aborted"))
        return LostCommit::NotStored;
    if (word == QLatin1String("in progress"))
        return LostCommit::AskAgain;
    return LostCommit::Unknown;
}

} // namespace Db
