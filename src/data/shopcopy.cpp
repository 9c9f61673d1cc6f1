#include "data/shopcopy.h"

#include "core/errors.h"
#include "data/database.h"
#include "data/server.h"
#include "data/sharedquery.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>

namespace {

// The columns as a statement reads them: on a server an amount comes as its exact text, never as a
// float.
QString readList(const QSqlDatabase& db, const QStringList& columns, const QStringList& numeric) {
    if (!Db::isServer(db))
        return columns.join(QLatin1Char(','));
    QStringList read;
    for (const QString& column : columns)
        read << (numeric.contains(column) ? column + QStringLiteral("::text") : column);
    return read.join(QLatin1Char(','));
}

// An amount as the receiving side keeps it exactly, or NULL. An empty text (files of older versions
// use it for "no amount") is NULL. Anything else is refused with the row named.
QVariant amountFor(const QSqlDatabase& to, const QVariant& value) {
    if (value.isNull() || value.toString().isEmpty())
        return QVariant();
    if (Db::isServer(to))
        return SharedQuery::displayText(value);
    return Currency::fromVariant(value).toSql();
}

QSqlQuery prepared(const QSqlDatabase& db, const QString& table, const QStringList& columns) {
    QStringList placeholders;
    for (int i = 0; i < columns.size(); ++i)
        placeholders << QStringLiteral(":p%1").arg(i);
    QSqlQuery insert(db);
    if (!insert.prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(table, columns.join(QLatin1Char(',')), placeholders.join(QLatin1Char(',')))))
        throw DatabaseError(Db::errorText(insert.lastError()));
    return insert;
}

// The highest key the side ever gave for the table: a server's sequence, a file's count of keys.
qint64 keysGiven(const QSqlDatabase& db, const QString& table, const QString& key) {
    if (!Db::isServer(db))
        return Db::scalar(db,
                          QStringLiteral("select coalesce(max(seq), 0) from sqlite_sequence where name = :t"),
                          {{QStringLiteral(":t"), table}})
            .toLongLong();
    const QString sequence =
        Db::scalar(db, QStringLiteral("select pg_get_serial_sequence('%1', '%2')").arg(table, key))
            .toString();
    if (sequence.isEmpty())
        return 0;
    QSqlQuery q = Db::exec(db, QStringLiteral("select last_value, is_called from %1").arg(sequence));
    return q.next() && q.value(1).toBool() ? q.value(0).toLongLong() : 0;
}

void setKeysGiven(const QSqlDatabase& db, const QString& table, const QString& key, qint64 last) {
    if (last <= 0)
        return;
    if (Db::isServer(db)) {
        Db::scalar(db, QStringLiteral("select setval(pg_get_serial_sequence('%1', '%2'), %3)")
                           .arg(table, key, QString::number(last)));
        return;
    }
    Db::exec(db, QStringLiteral("delete from sqlite_sequence where name = :t"),
             {{QStringLiteral(":t"), table}});
    Db::exec(db, QStringLiteral("insert into sqlite_sequence (name, seq) values (:t, :s)"),
             {{QStringLiteral(":t"), table}, {QStringLiteral(":s"), last}});
}

const QHash<QString, QStringList>& staffColumns() {
    static const QHash<QString, QStringList> columns = {
        {QStringLiteral("operators"), {"id", "name", "role", "pin", "failures", "last_failure"}},
        {QStringLiteral("roles"), {"id", "name", "rights"}},
        {QStringLiteral("oplog"),
         {"id", "logged_at", "till_name", "operator_name", "authorized_by", "action", "touched", "old_value",
          "new_value", "hash"}},
        {QStringLiteral("shifts"),
         {"id", "till_name", "operator_name", "opened_at", "day", "opening_float", "closed_at", "closed_by",
          "expected", "counted", "count_detail", "report"}},
        {QStringLiteral("cash_moves"),
         {"id", "shift_id", "moved_at", "kind", "amount", "reason", "operator_name"}},
        {QStringLiteral("returns"),
         {"id", "order_id", "returned_at", "operator_name", "till_name", "shift_id", "reason", "refund",
          "way", "card"}},
        {QStringLiteral("return_lines"),
         {"id", "return_id", "line_id", "product", "quantity", "amount", "cost", "damaged"}},
        {QStringLiteral("shop_settings"), {"id", "name", "value"}},
    };
    return columns;
}

} // namespace

namespace ShopCopy {

QString Totals::text() const {
    QStringList sums;
    for (const Currency& c : amounts)
        sums << c.toString();
    return QStringLiteral("%1 rows, keys %2, amounts [%3], text %4")
        .arg(rows)
        .arg(keys)
        .arg(sums.join(QLatin1Char(' ')))
        .arg(textLength);
}

Totals copyTable(const QSqlDatabase& from, const QSqlDatabase& to, const Schema::Table& table) {
    const QStringList columns = table.columns();
    QSqlQuery insert = prepared(to, table.name, columns);
    Totals totals;
    totals.amounts.resize(table.numericColumns.size());
    QSqlQuery rows(from);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("select %1 from %2 order by %3")
                       .arg(readList(from, columns, table.numericColumns), table.name, table.key)))
        throw Db::failure(rows.lastError());
    while (rows.next()) {
        ++totals.rows;
        const qint64 key = rows.value(0).toLongLong();
        totals.keys += key;
        insert.bindValue(0, key);
        for (int i = 1; i < columns.size(); ++i) {
            const QString& column = columns.at(i);
            QVariant value = rows.value(i);
            if (const qsizetype n = table.numericColumns.indexOf(column); n >= 0) {
                try {
                    value = amountFor(to, value);
                    totals.amounts[n] += Currency::fromVariant(value);
                } catch (const ConversionError& e) {
                    throw ConversionError(
                        QStringLiteral("%1（表 %2 中 %3 为 %4 的行，列 %5）")
                            .arg(e.text(), table.name, table.key, QString::number(key), column));
                }
            } else if (!value.isNull()) {
                value = value.toString();
                totals.textLength += value.toString().size();
            }
            insert.bindValue(i, value);
        }
        if (!insert.exec())
            throw DatabaseError(QStringLiteral("表 %1 中 %2 为 %3 的行: %4")
                                    .arg(table.name, table.key, QString::number(key),
                                         Db::errorText(insert.lastError()).trimmed()));
    }
    return totals;
}

Totals totalsOf(const QSqlDatabase& db, const Schema::Table& table) {
    Totals totals;
    if (Db::isServer(db)) {
        QStringList sums{QStringLiteral("count(*)"), QStringLiteral("coalesce(sum(%1), 0)").arg(table.key)};
        for (const QString& column : table.numericColumns)
            sums << QStringLiteral("coalesce(sum(%1), 0)::text").arg(column);
        QStringList lengths{QStringLiteral("0")};
        for (const QString& column : table.dateTimeColumns + table.textColumns)
            lengths << QStringLiteral("coalesce(sum(length(%1)), 0)").arg(column);
        sums << lengths.join(QLatin1Char('+'));
        QSqlQuery q =
            Db::exec(db, QStringLiteral("select %1 from %2").arg(sums.join(QLatin1Char(',')), table.name));
        q.next();
        totals.rows = q.value(0).toLongLong();
        totals.keys = q.value(1).toLongLong();
        for (int i = 0; i < table.numericColumns.size(); ++i)
            totals.amounts << Currency::parse(q.value(2 + i).toString());
        totals.textLength = q.value(2 + int(table.numericColumns.size())).toLongLong();
        return totals;
    }
    // A file sums its amounts as floats: each is read and added exactly here instead.
    QStringList read{table.key};
    read += table.numericColumns;
    QStringList lengths{QStringLiteral("0")};
    for (const QString& column : table.dateTimeColumns + table.textColumns)
        lengths << QStringLiteral("coalesce(length(%1), 0)").arg(column);
    read << lengths.join(QLatin1Char('+'));
    totals.amounts.resize(table.numericColumns.size());
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("select %1 from %2").arg(read.join(QLatin1Char(',')), table.name)))
        throw Db::failure(q.lastError());
    while (q.next()) {
        ++totals.rows;
        totals.keys += q.value(0).toLongLong();
        for (int i = 0; i < table.numericColumns.size(); ++i)
            if (!q.value(1 + i).isNull())
                totals.amounts[i] += Currency::fromVariant(q.value(1 + i));
        totals.textLength += q.value(1 + int(table.numericColumns.size())).toLongLong();
    }
    return totals;
}

void carryNumbering(const QSqlDatabase& from, const QSqlDatabase& to, const Schema::Table& table) {
    if (table.key == QLatin1String("ids"))
        return;
    const qint64 highest =
        Db::scalar(from, QStringLiteral("select coalesce(max(%1), 0) from %2").arg(table.key, table.name))
            .toLongLong();
    setKeysGiven(to, table.name, table.key, std::max(keysGiven(from, table.name, table.key), highest));
}

QString copyStaffTable(const QSqlDatabase& from, const QSqlDatabase& to, const QString& table) {
    const QStringList columns = staffColumns().value(table);
    const QString list = columns.join(QLatin1Char(','));
    QSqlQuery insert = prepared(to, table, columns);
    const QString read = QStringLiteral("select %1 from %2 order by id").arg(list, table);
    // A row as it is compared: its values as texts.
    const auto textOf = [&columns](const QSqlQuery& q) {
        QStringList row;
        for (int i = 0; i < columns.size(); ++i)
            row << q.value(i).toString();
        return row.join(QLatin1Char('|'));
    };
    QStringList copied;
    qint64 highest = 0;
    QSqlQuery rows = Db::exec(from, read);
    while (rows.next()) {
        for (int i = 0; i < columns.size(); ++i)
            insert.bindValue(i, rows.value(i));
        if (!insert.exec())
            throw DatabaseError(
                QStringLiteral("表 %1 中 id 为 %2 的行: %3")
                    .arg(table, rows.value(0).toString(), Db::errorText(insert.lastError()).trimmed()));
        copied << textOf(rows);
        highest = std::max(highest, rows.value(0).toLongLong());
    }
    QStringList there;
    QSqlQuery back = Db::exec(to, read);
    while (back.next())
        there << textOf(back);
    if (copied != there)
        throw DatabaseError(QStringLiteral("表 %1 复制后不一致").arg(table));
    setKeysGiven(to, table, QStringLiteral("id"), highest);
    return QStringLiteral("%1: %2 rows").arg(table).arg(copied.size());
}

QStringList snapshotToFiles(const QSqlDatabase& server, const QString& folder) {
    const QDir dir(folder);
    const QString business = QStringLiteral("snapshot_business");
    const QString lists = QStringLiteral("snapshot_lists");
    QStringList report;
    bool made = false;
    try {
        Schema::createDatabaseFiles(folder);
        made = true;
        for (const auto& [name, file] :
             {std::pair{business, Db::BusinessFile}, std::pair{lists, Db::ListsFile}}) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            db.setDatabaseName(dir.filePath(file));
            if (!db.open())
                throw DatabaseError(Db::errorText(db.lastError()));
        }
        const QSqlDatabase a = QSqlDatabase::database(business, false);
        const QSqlDatabase b = QSqlDatabase::database(lists, false);
        Schema::upgradeBusinessFile(a);
        // One moment of the server's ledger for every table, whatever the tills write meanwhile.
        Transaction read(server);
        Server::command(server, QStringLiteral("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ READ ONLY"));
        for (const auto& [to, tables] :
             {std::pair{a, &Schema::businessTables()}, std::pair{b, &Schema::listTables()}}) {
            Transaction write(to);
            // The new files' starter rows (pick lists, the settings row) give way to the server's.
            for (const Schema::Table& table : *tables)
                Db::exec(to, QStringLiteral("delete from %1").arg(table.name));
            Db::exec(to, QStringLiteral("delete from sqlite_sequence"));
            for (const Schema::Table& table : *tables) {
                // What was read is the snapshot: the file must hold exactly that.
                const Totals copied = copyTable(server, to, table);
                const Totals there = totalsOf(to, table);
                if (!(copied == there))
                    throw DatabaseError(QStringLiteral("表 %1 复制后不一致: 服务器 %2, 文件 %3")
                                            .arg(table.name, copied.text(), there.text()));
                carryNumbering(server, to, table);
                report << QStringLiteral("%1: %2").arg(table.name, there.text());
            }
            if (to.connectionName() == business)
                for (const QString& table : Schema::staffTables())
                    report << copyStaffTable(server, to, table);
            write.commit();
        }
        read.commit();
    } catch (...) {
        Db::closeConnection(business);
        Db::closeConnection(lists);
        if (made)
            for (const QString& file : {Db::BusinessFile, Db::ListsFile})
                for (const QString& suffix :
                     {QString(), QStringLiteral("-wal"), QStringLiteral("-shm"), QStringLiteral("-journal")})
                    QFile::remove(dir.filePath(file + suffix));
        throw;
    }
    Db::closeConnection(business);
    Db::closeConnection(lists);
    return report;
}

} // namespace ShopCopy
