// vandrel-ledger-migrate FOLDER URL: copies the shop of a working folder (its two database files)
// onto an empty database of a server, in one transaction: every table and row with its key, and
// the numbering of the keys, so a key once given is never given again. Before the copy is
// committed, the rows of every table are counted and its amounts and texts summed on both sides;
// only when everything agrees is the copy kept and success reported. The folder is not changed.
#include "core/commandline.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/server.h"
#include "data/sharedquery.h"
#include "toolfolder.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QHash>
#include <QSqlQuery>
#include <cstdio>

namespace {

// What is compared of a table on both sides: its rows, the sum of its keys, of each amount, and of
// the lengths of its texts.
struct Totals {
    qint64 rows = 0;
    qint64 keys = 0;
    QList<Currency> amounts;
    qint64 textLength = 0;
    bool operator==(const Totals& other) const = default;
};

// An amount as a number the server takes exactly, or NULL. An empty text (files of older versions
// use it for "no amount") is NULL. Anything else is refused by the server with the row named.
QVariant amountValue(const QVariant& value) {
    if (value.isNull() || value.toString().isEmpty())
        return QVariant();
    return SharedQuery::displayText(value);
}

Totals copyTable(const QSqlDatabase& from, const QSqlDatabase& to, const Schema::Table& table) {
    const QStringList columns = table.columns();
    QStringList placeholders;
    for (int i = 0; i < columns.size(); ++i)
        placeholders << QStringLiteral(":p%1").arg(i);
    QSqlQuery insert(to);
    if (!insert.prepare(
            QStringLiteral("insert into %1 (%2) values (%3)")
                .arg(table.name, columns.join(QLatin1Char(',')), placeholders.join(QLatin1Char(',')))))
        throw DatabaseError(Db::errorText(insert.lastError()));
    Totals totals;
    totals.amounts.resize(table.numericColumns.size());
    QSqlQuery rows = Db::exec(from, QStringLiteral("select %1 from %2 order by %3")
                                        .arg(columns.join(QLatin1Char(',')), table.name, table.key));
    while (rows.next()) {
        ++totals.rows;
        const qint64 key = rows.value(0).toLongLong();
        totals.keys += key;
        insert.bindValue(0, key);
        for (int i = 1; i < columns.size(); ++i) {
            const QString& column = columns.at(i);
            QVariant value = rows.value(i);
            if (const qsizetype n = table.numericColumns.indexOf(column); n >= 0) {
                value = amountValue(value);
                try {
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

Totals serverTotals(const QSqlDatabase& to, const Schema::Table& table) {
    QStringList sums{QStringLiteral("count(*)"), QStringLiteral("coalesce(sum(%1), 0)").arg(table.key)};
    for (const QString& column : table.numericColumns)
        sums << QStringLiteral("coalesce(sum(%1), 0)::text").arg(column);
    QStringList lengths{QStringLiteral("0")};
    for (const QString& column : table.dateTimeColumns + table.textColumns)
        lengths << QStringLiteral("coalesce(sum(length(%1)), 0)").arg(column);
    sums << lengths.join(QLatin1Char('+'));
    QSqlQuery q =
        Db::exec(to, QStringLiteral("select %1 from %2").arg(sums.join(QLatin1Char(',')), table.name));
    q.next();
    Totals totals;
    totals.rows = q.value(0).toLongLong();
    totals.keys = q.value(1).toLongLong();
    for (int i = 0; i < table.numericColumns.size(); ++i)
        totals.amounts << Currency::parse(q.value(2 + i).toString());
    totals.textLength = q.value(2 + int(table.numericColumns.size())).toLongLong();
    return totals;
}

// The next key the file would give: after the highest ever given (kept by the file even when that
// row was deleted), or after the highest there.
void carryNumbering(const QSqlDatabase& from, const QSqlDatabase& to, const Schema::Table& table) {
    if (table.key == QLatin1String("ids"))
        return;
    const qint64 given = Db::scalar(from,
                                    QStringLiteral("select coalesce(max(seq), 0) from sqlite_sequence "
                                                   "where name = :t"),
                                    {{QStringLiteral(":t"), table.name}})
                             .toLongLong();
    const qint64 highest =
        Db::scalar(from, QStringLiteral("select coalesce(max(%1), 0) from %2").arg(table.key, table.name))
            .toLongLong();
    const qint64 last = std::max(given, highest);
    if (last > 0)
        Db::scalar(to, QStringLiteral("select setval(pg_get_serial_sequence('%1', '%2'), %3)")
                           .arg(table.name, table.key, QString::number(last)));
}

// The operators, the owner's roles, the operation log and the shifts: copied row for row (each column as it is), compared
// column by column on both sides, and numbered on from the highest key.
QString copyStaffTable(const QSqlDatabase& from, const QSqlDatabase& to, const QString& table) {
    static const QHash<QString, QStringList> columnsOf = {
        {QStringLiteral("operators"), {"id", "name", "role", "pin", "failures", "last_failure"}},
        {QStringLiteral("roles"), {"id", "name", "rights"}},
        {QStringLiteral("oplog"),
         {"id", "logged_at", "till_name", "operator_name", "authorized_by", "action", "touched", "old_value",
          "new_value", "hash"}},
        {QStringLiteral("shifts"),
         {"id", "till_name", "operator_name", "opened_at", "day", "opening_float", "closed_at", "closed_by",
          "expected", "counted", "count_detail", "report"}},
        {QStringLiteral("cash_moves"), {"id", "shift_id", "moved_at", "kind", "amount", "reason", "operator_name"}},
    };
    const QStringList columns = columnsOf.value(table);
    const QString list = columns.join(QLatin1Char(','));
    QStringList placeholders;
    for (int i = 0; i < columns.size(); ++i)
        placeholders << QStringLiteral(":p%1").arg(i);
    QSqlQuery insert(to);
    if (!insert.prepare(QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(table, list, placeholders.join(QLatin1Char(',')))))
        throw DatabaseError(Db::errorText(insert.lastError()));
    const QString read = QStringLiteral("select %1 from %2 order by id").arg(list, table);
    // A row as it is compared: its values as texts.
    const auto textOf = [&columns](const QSqlQuery& q) {
        QStringList row;
        for (int i = 0; i < columns.size(); ++i)
            row << q.value(i).toString();
        return row.join(QLatin1Char('|'));
    };
    QStringList copied;
    QSqlQuery rows = Db::exec(from, read);
    while (rows.next()) {
        for (int i = 0; i < columns.size(); ++i)
            insert.bindValue(i, rows.value(i));
        if (!insert.exec())
            throw DatabaseError(
                QStringLiteral("表 %1 中 id 为 %2 的行: %3")
                    .arg(table, rows.value(0).toString(), Db::errorText(insert.lastError()).trimmed()));
        copied << textOf(rows);
    }
    QStringList there;
    QSqlQuery back = Db::exec(to, read);
    while (back.next())
        there << textOf(back);
    if (copied != there)
        throw DatabaseError(QStringLiteral("表 %1 复制后不一致").arg(table));
    if (!copied.isEmpty())
        Db::scalar(
            to, QStringLiteral("select setval(pg_get_serial_sequence('%1', 'id'), (select max(id) from %1))")
                    .arg(table));
    return QStringLiteral("%1: %2 rows").arg(table).arg(copied.size());
}

QString describe(const Totals& t) {
    QStringList amounts;
    for (const Currency& c : t.amounts)
        amounts << c.toString();
    return QStringLiteral("%1 rows, keys %2, amounts [%3], text %4")
        .arg(t.rows)
        .arg(t.keys)
        .arg(amounts.join(QLatin1Char(' ')))
        .arg(t.textLength);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral("把工作文件夹中的账本复制到服务器上的空数据库，核对行数和金额之和后才报告成功。\n"
                       "Copies the ledger of FOLDER onto an empty database of a server and "
                       "reports success only\nafter the row counts and sums of both sides agree. "
                       "FOLDER is not changed."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("postgresql://user@host:port/database"));
    if (const int status = CommandLine::read(parser, 2, 2); status >= 0)
        return status;
    const QString folder = parser.positionalArguments().at(0);
    const QString target = QStringLiteral("migrate_target");
    int status = 0;
    try {
        const Server::Address address = Server::parseUrl(parser.positionalArguments().at(1));
        ToolFolder::open(folder, true, ToolFolder::OnServer::Files);
        // A file of an earlier version gains its missing columns first, as at a start.
        Schema::upgradeBusinessFile(Db::business());
        QSqlDatabase to = Server::open(target, address);
        if (Server::ledgerTablesPresent(to) > 0)
            throw Refused(QStringLiteral("数据库 %1 不是空的，不会覆盖（the target database must be empty）")
                              .arg(address.database));
        Transaction tx(to);
        Server::createTables(to, false);
        QStringList report;
        for (const auto& [from, tables] : {std::pair{Db::business(), &Schema::businessTables()},
                                           std::pair{Db::lists(), &Schema::listTables()}})
            for (const Schema::Table& table : *tables) {
                const Totals copied = copyTable(from, to, table);
                const Totals there = serverTotals(to, table);
                if (!(copied == there))
                    throw DatabaseError(QStringLiteral("表 %1 复制后不一致: 文件 %2, 服务器 %3")
                                            .arg(table.name, describe(copied), describe(there)));
                carryNumbering(from, to, table);
                report << QStringLiteral("%1: %2").arg(table.name, describe(there));
            }
        for (const QString& table : Schema::staffTables())
            report << copyStaffTable(Db::business(), to, table);
        tx.commit();
        for (const QString& line : report)
            std::printf("%s\n", line.toLocal8Bit().constData());
        std::printf("copied and verified: %s\n", address.url().toLocal8Bit().constData());
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-migrate: %s\n", e.text().toLocal8Bit().constData());
        status = 1;
    }
    Db::closeConnection(target);
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
    return status;
}
