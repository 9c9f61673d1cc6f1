#include "data/work.h"

#include "core/errors.h"
#include "data/schema.h"

#include <QRegularExpression>
#include <algorithm>

namespace Ledger {

namespace {
int failingStatement = 0;
int statementCount = 0;
} // namespace

void Work::failStatement(int nth) {
    failingStatement = nth;
}

int Work::statements() {
    return statementCount;
}

void Work::countStatement() {
    if (++statementCount == failingStatement)
        throw DatabaseError(InjectedFailure);
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

Work::Work(const QSqlDatabase& db) : m_db(db), m_tx(db) {
    statementCount = 0;
}

QSqlQuery Work::exec(const QString& sql, const Db::Params& params) {
    countStatement();
    return Db::exec(m_db, sql, params);
}

QVariant Work::scalar(const QString& sql, const Db::Params& params) {
    countStatement();
    return Db::scalar(m_db, sql, params);
}

qint64 Work::insert(const QString& sql, const Db::Params& params) {
    // The key comes back with the statement (RETURNING, on both engines): a server has no "last
    // inserted row" of a connection to ask for afterwards.
    static const QRegularExpression into(QStringLiteral("^\\s*insert\\s+into\\s+(\\w+)"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = into.match(sql);
    const Schema::Table* table = m.hasMatch() ? Schema::findTable(m.captured(1)) : nullptr;
    if (!table)
        throw DatabaseError(QStringLiteral("not an insert into a table of the ledger: %1").arg(sql));
    QSqlQuery q = exec(sql + QStringLiteral(" returning ") + table->key, params);
    if (!q.next())
        throw DatabaseError(QStringLiteral("no key returned: %1").arg(sql));
    return q.value(0).toLongLong();
}

void Work::wrote(const QString& table, qint64 key) {
    auto it =
        std::find_if(m_changes.begin(), m_changes.end(), [&](const Change& c) { return c.table == table; });
    if (it == m_changes.end())
        it = m_changes.insert(m_changes.end(), Change{table, {}, false});
    if (key == 0)
        it->anyRow = true;
    else if (!it->keys.contains(key))
        it->keys.append(key);
}

void Work::commit() {
    if (!m_changes.isEmpty() && Db::isServer(m_db)) {
        QStringList tables;
        for (const Change& c : m_changes)
            tables << c.table;
        // Sent by the server at the commit only: nothing is told of a rolled-back operation.
        Db::exec(m_db, QStringLiteral("select pg_notify(:c, :p)"),
                 {{QStringLiteral(":c"), Channel}, {QStringLiteral(":p"), tables.join(QLatin1Char(','))}});
    }
    m_tx.commit();
    if (!m_changes.isEmpty())
        emit Announcer::instance().committed(m_changes);
}

} // namespace Ledger
