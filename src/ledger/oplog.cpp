#include "ledger/oplog.h"

#include "core/clock.h"
#include "data/database.h"
#include "data/work.h"
#include "ledger/staff.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace OpLog {

namespace {

const QString RowColumns = QStringLiteral(
    "id, logged_at, till_name, operator_name, authorized_by, action, touched, old_value, new_value, hash");

// A row of a statement that selects RowColumns.
Row rowOf(const QSqlQuery& q) {
    Row row;
    row.key = q.value(0).toLongLong();
    row.at = q.value(1).toString();
    row.till = q.value(2).toString();
    row.operatorName = q.value(3).toString();
    row.authorizedBy = q.value(4).toString();
    row.action = q.value(5).toString();
    row.touched = q.value(6).toString();
    row.before = q.value(7).toString();
    row.after = q.value(8).toString();
    row.hash = q.value(9).toString();
    return row;
}

// The statement of a search, newest first. Moments are stored as yyyy-MM-dd HH:mm:ss, so a day
// is the range from its date to the next day's, and the text order is the order in time.
QString orderedStatement(const Filter& filter, const std::optional<Row>& after, Db::Params* params) {
    QStringList conditions;
    const QString day = QStringLiteral("yyyy-MM-dd");
    if (filter.from.isValid()) {
        conditions << QStringLiteral("logged_at >= :from");
        params->emplace_back(QStringLiteral(":from"), filter.from.toString(day));
    }
    if (filter.to.isValid()) {
        conditions << QStringLiteral("logged_at < :to");
        params->emplace_back(QStringLiteral(":to"), filter.to.addDays(1).toString(day));
    }
    const QList<std::pair<QString, QString>> equal = {{QStringLiteral("operator_name"), filter.operatorName},
                                                      {QStringLiteral("till_name"), filter.till},
                                                      {QStringLiteral("action"), filter.action}};
    for (const auto& [column, value] : equal) {
        if (value.isEmpty())
            continue;
        conditions << QStringLiteral("%1 = :%1").arg(column);
        params->emplace_back(QLatin1Char(':') + column, value);
    }
    if (after) {
        // Bounded by the moment first, so that the index's range starts at the page's end.
        conditions << QStringLiteral("logged_at <= :at and (logged_at < :at or id < :key)");
        params->emplace_back(QStringLiteral(":at"), after->at);
        params->emplace_back(QStringLiteral(":key"), after->key);
    }
    QString sql = QStringLiteral("select %1 from oplog").arg(RowColumns);
    if (!conditions.isEmpty())
        sql += QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
    return sql + QStringLiteral(" order by logged_at desc, id desc");
}

// The distinct values of an indexed column, one step through the index each (the lowest value
// above the one before), however many rows share them.
QStringList distinctValues(const QSqlDatabase& db, const QString& column) {
    QSqlQuery q = Db::exec(
        db, QStringLiteral("with recursive v(x) as (select min(%1) from oplog union all select (select "
                           "min(%1) from oplog where %1 > v.x) from v where v.x is not null) select x from "
                           "v where x is not null")
                .arg(column));
    QStringList values;
    while (q.next())
        values << q.value(0).toString();
    return values;
}

} // namespace

const QStringList& actions() {
    static const QStringList all{
        SignedIn,     ChangedHands,   Locked,        OwnersWord, RefusedAction, NewOrder, AddLine,
        RemoveLine,   DeleteOrder,    OrderCategory, PayCash,    PayByCard,     StockIn,  NewProduct,
        EditProduct,  DeleteProduct,  NewMember,     EditMember, DeleteMember,  Recharge, EditPickList,
        Import,       Export,         Print,         Backup,     Restore,       Check,    FixAmountsDue,
        Return,       OpenShift,      CloseShift,    CashIn,     CashOut,       Settings, NewOperator,
        EditOperator, RemoveOperator, SaveRole,      RemoveRole};
    return all;
}

QString searchStatement(const Filter& filter, int limit, const std::optional<Row>& after,
                        Db::Params* params) {
    params->clear();
    const QString sql = orderedStatement(filter, after, params);
    return limit > 0 ? sql + QStringLiteral(" limit %1").arg(limit) : sql;
}

QList<Row> search(const Filter& filter, int limit, const std::optional<Row>& after) {
    Staff::require(Staff::Right::ReadLog, QStringLiteral("操作日志"));
    if (limit <= 0)
        return {};
    Db::Params params;
    const QString sql = searchStatement(filter, limit, after, &params);
    QSqlQuery q = Db::exec(Db::business(), sql, params);
    QList<Row> rows;
    while (q.next())
        rows << rowOf(q);
    return rows;
}

Choices choices() {
    Staff::require(Staff::Right::ReadLog, QStringLiteral("操作日志"));
    const QSqlDatabase db = Db::business();
    Choices c;
    QSqlQuery q = Db::exec(db, QStringLiteral("select name from operators order by name"));
    while (q.next())
        c.operators << q.value(0).toString();
    // An operator removed since keeps the rows the log has of them.
    for (const QString& name : distinctValues(db, QStringLiteral("operator_name")))
        if (!c.operators.contains(name))
            c.operators << name;
    c.tills = distinctValues(db, QStringLiteral("till_name"));
    c.actions = actions();
    for (const QString& action : distinctValues(db, QStringLiteral("action")))
        if (!c.actions.contains(action))
            c.actions << action;
    return c;
}

QList<Spreadsheet::Column> columns() {
    using Spreadsheet::Kind;
    return {{QStringLiteral("时间"), Kind::DateTime, 130}, {QStringLiteral("收银机"), Kind::Text, 90},
            {QStringLiteral("操作员"), Kind::Text, 70},    {QStringLiteral("授权人"), Kind::Text, 70},
            {QStringLiteral("操作"), Kind::Text, 90},      {QStringLiteral("涉及"), Kind::Text, 120},
            {QStringLiteral("原值"), Kind::Text, 160},     {QStringLiteral("新值"), Kind::Text, 160}};
}

QVariantList cells(const Row& row) {
    return {row.at,     row.till,    row.operatorName, row.authorizedBy,
            row.action, row.touched, row.before,       row.after};
}

qint64 exportRows(const Filter& filter, const QString& path, Spreadsheet::Format format,
                  const Spreadsheet::Progress& progress) {
    Staff::require(Staff::Right::ReadLog, QStringLiteral("操作日志"));
    Staff::require(Staff::Right::ExportImport, QStringLiteral("操作日志"));
    Db::Params params;
    QSqlQuery q(Db::business());
    q.setForwardOnly(true);
    if (!q.prepare(searchStatement(filter, 0, std::nullopt, &params)))
        throw Db::failure(q.lastError());
    for (const auto& [name, value] : params)
        q.bindValue(name, value);
    if (!q.exec())
        throw Db::failure(q.lastError());
    const qint64 written = Spreadsheet::write(
        path, format, columns(),
        [&q](QVariantList& out) {
            if (!q.next())
                return false;
            out = cells(rowOf(q));
            return true;
        },
        progress);
    q.finish();
    if (written >= 0)
        write({Export, QStringLiteral("操作日志"), {}, QStringLiteral("%1 行").arg(written)});
    return written;
}

QString chainHash(const Row& row, const QString& previous) {
    const QStringList fields{previous,   row.at,      row.till,   row.operatorName, row.authorizedBy,
                             row.action, row.touched, row.before, row.after};
    return QString::fromLatin1(
        QCryptographicHash::hash(fields.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Sha256).toHex());
}

void write(Db::Work& work, const Entry& entry) {
    if (!Staff::inForce())
        return;
    Row row;
    row.at = Clock::format(Clock::now());
    row.till = Staff::tillName();
    row.operatorName = Staff::current() ? Staff::current()->name : QString();
    row.authorizedBy = Staff::authorizer() ? Staff::authorizer()->name : QString();
    row.action = entry.action;
    row.touched = entry.touched;
    row.before = entry.before;
    row.after = entry.after;
    QVariant hash;
    if (!Db::isServer(work.db())) {
        // The file is written by one program at a time: the last row read here stays the last.
        const QVariant previous =
            work.scalar(QStringLiteral("select hash from oplog order by id desc limit 1"));
        hash = chainHash(row, previous.toString());
    }
    const qint64 key = work.insert(
        QStringLiteral(
            "insert into oplog (logged_at, till_name, operator_name, authorized_by, action, touched, "
            "old_value, new_value, hash) values (:at, :till, :op, :auth, :action, :touched, :old, "
            ":new, :hash)"),
        {{QStringLiteral(":at"), row.at},
         {QStringLiteral(":till"), row.till},
         {QStringLiteral(":op"), row.operatorName},
         {QStringLiteral(":auth"), row.authorizedBy.isEmpty() ? QVariant() : QVariant(row.authorizedBy)},
         {QStringLiteral(":action"), row.action},
         {QStringLiteral(":touched"), row.touched},
         {QStringLiteral(":old"), row.before},
         {QStringLiteral(":new"), row.after},
         {QStringLiteral(":hash"), hash}});
    work.wrote(Table, key);
}

void write(const Entry& entry) {
    if (!Staff::inForce())
        return;
    Db::perform(Db::business(), [&](Db::Work& work) {
        write(work, entry);
        work.commit();
    });
}

qint64 seal(const QSqlDatabase& db) {
    Transaction tx(db);
    QSqlQuery update(db);
    if (!update.prepare(QStringLiteral("update oplog set hash = :h where id = :k")))
        throw Db::failure(update.lastError());
    // A page of rows at a time: a log of millions of rows never sits in memory whole.
    constexpr int Page = 10000;
    QString previous;
    qint64 last = 0;
    qint64 sealed = 0;
    for (;;) {
        QList<Row> rows;
        {
            QSqlQuery q(db);
            q.setForwardOnly(true);
            if (!q.exec(QStringLiteral("select %1 from oplog where id > %2 order by id limit %3")
                            .arg(RowColumns)
                            .arg(last)
                            .arg(Page)))
                throw Db::failure(q.lastError());
            while (q.next())
                rows << rowOf(q);
        }
        for (const Row& row : rows) {
            previous = chainHash(row, previous);
            update.bindValue(QStringLiteral(":h"), previous);
            update.bindValue(QStringLiteral(":k"), row.key);
            if (!update.exec())
                throw Db::failure(update.lastError());
            last = row.key;
        }
        sealed += rows.size();
        if (rows.size() < Page)
            break;
    }
    tx.commit();
    return sealed;
}

QList<Break> checkChain(const QSqlDatabase& db, const std::function<bool(qint64, qint64)>& progress) {
    constexpr int MostBreaks = 100;
    QList<Break> breaks;
    if (Db::isServer(db))
        return breaks;
    if (Db::scalar(
            db, QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'oplog'"))
            .toInt() == 0)
        return breaks;
    const qint64 total = Db::scalar(db, QStringLiteral("select count(*) from oplog")).toLongLong();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select %1 from oplog order by id").arg(RowColumns)))
        throw Db::failure(q.lastError());
    QString previous;
    qint64 done = 0;
    qint64 lastKey = 0;
    while (q.next()) {
        const Row row = rowOf(q);
        if (chainHash(row, previous) != row.hash) {
            if (breaks.size() == MostBreaks) {
                // A log rewritten as a whole is reported once it is clear, not row by row.
                breaks.append(
                    {row.key,
                     QStringLiteral("操作日志从第 %1 行起还有更多处不相接，未一一列出").arg(row.key)});
                return breaks;
            }
            breaks.append(
                {row.key, QStringLiteral("操作日志第 %1 行被修改、删除了前一行或是后来插入的").arg(row.key)});
        }
        // The chain goes on from the row as stored, so one changed row is reported once.
        previous = row.hash;
        lastKey = row.key;
        if (progress && ++done % 4096 == 0 && !progress(done, total))
            return breaks;
    }
    // Rows taken off the end leave the file's count of keys given beyond the last row.
    const QVariant given =
        Db::scalar(db, QStringLiteral("select seq from sqlite_sequence where name = 'oplog'"));
    if (!given.isNull() && given.toLongLong() > lastKey)
        breaks.append(
            {lastKey + 1, QStringLiteral("操作日志最后的 %1 行被删除了").arg(given.toLongLong() - lastKey)});
    return breaks;
}

} // namespace OpLog
