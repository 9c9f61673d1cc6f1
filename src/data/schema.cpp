#include "data/schema.h"

#include "core/errors.h"
#include "data/database.h"
#include "data/rawstatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <algorithm>
#include <sqlite3.h>

namespace {

QStringList numbered(const QString& prefix, std::initializer_list<int> numbers) {
    QStringList names;
    for (int n : numbers)
        names << prefix + QString::number(n);
    return names;
}

int columnNumber(const QString& column) {
    return column.mid(1).toInt();
}

// Two products never share a barcode; products without one are not counted.
const QString BarcodeIndex = QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS ab_b13 ON ab (b13) "
                                            "WHERE b13 IS NOT NULL AND b13 <> ''");
// Two products never share a code at the scale either.
const QString ScaleCodeIndex = QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS ab_b15 ON ab (b15) "
                                              "WHERE b15 IS NOT NULL AND b15 <> ''");
// The products with a warning level, counted after every change of the products: without it the
// count reads every product.
const QString WarningIndex =
    QStringLiteral("CREATE INDEX IF NOT EXISTS ab_b14 ON ab (b14) WHERE b14 IS NOT NULL");

// The stock-out records summed per day and major category: the statistics of a long period read
// a few rows a day instead of every record. The database keeps it in step in the same transaction
// as every record written or removed, whoever writes it. Amounts and quantities are whole
// ten-thousandths; e8 is '' for records without a major category.
const QString DaySummaryTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS ae_day (d TEXT NOT NULL, e8 TEXT NOT NULL, n INTEGER NOT NULL, "
    "nocost INTEGER NOT NULL, qty INTEGER NOT NULL, sales INTEGER NOT NULL, costed INTEGER NOT NULL, "
    "cost INTEGER NOT NULL, PRIMARY KEY (d, e8))");

// The summed columns of one record (its fields prefixed with `r`): n, nocost, qty, sales, costed,
// cost.
QStringList recordSums(const QString& r) {
    // A record without a quantity or price (another tool's) counts as nothing: the summary never
    // stops a record from being written.
    auto amount = [](const QString& expression) {
        return QStringLiteral("coalesce(%1, 0)").arg(Schema::scaled(expression));
    };
    const QString quantity = QStringLiteral("cast(%1e3 as double precision)").arg(r);
    // A record of a line with an amount of its own (a scale's label) sold for that amount.
    const QString sale = amount(QStringLiteral("CASE WHEN %1e15 IS NULL OR %1e15 = '' THEN %2 * cast(%1e6 as "
                                               "double precision) ELSE cast(%1e15 as double precision) END")
                                    .arg(r, quantity));
    const QString noCost = QStringLiteral("%1e13 is null").arg(r);
    return {QStringLiteral("1"),
            QStringLiteral("case when %1 then 1 else 0 end").arg(noCost),
            amount(quantity),
            sale,
            QStringLiteral("case when %1 then 0 else %2 end").arg(noCost, sale),
            QStringLiteral("case when %1 then 0 else %2 end")
                .arg(noCost, amount(quantity + QStringLiteral(" * %1e13").arg(r)))};
}

const QStringList SummedColumns = {"n", "nocost", "qty", "sales", "costed", "cost"};

QStringList daySummaryTriggers() {
    // Adds a record's sums to its day and category.
    auto book = [](const QString& record, const QString& sign) {
        QStringList set;
        for (const QString& c : SummedColumns)
            set << QStringLiteral("%1 = %1 %2 excluded.%1").arg(c, sign);
        return QStringLiteral("INSERT INTO ae_day (d, e8, %1) VALUES (coalesce(substr(%2.e7, 1, 10), ''), "
                              "coalesce(%2.e8, ''), %3) ON CONFLICT (d, e8) DO UPDATE SET %4; ")
            .arg(SummedColumns.join(QStringLiteral(", ")), record,
                 recordSums(record + QLatin1Char('.')).join(QStringLiteral(", ")),
                 set.join(QStringLiteral(", ")));
    };
    // A record taken away from its day and category.
    auto unbook = [](const QString& record) {
        const QStringList sums = recordSums(record + QLatin1Char('.'));
        QStringList set;
        for (int i = 0; i < SummedColumns.size(); ++i)
            set << QStringLiteral("%1 = %1 - (%2)").arg(SummedColumns[i], sums[i]);
        return QStringLiteral("UPDATE ae_day SET %1 WHERE d = coalesce(substr(%2.e7, 1, 10), '') AND "
                              "e8 = coalesce(%2.e8, ''); ")
            .arg(set.join(QStringLiteral(", ")), record);
    };
    const QString empty = QStringLiteral("DELETE FROM ae_day WHERE n = 0; ");
    // Records are never changed or removed by the program; another tool's changes are followed
    // too, so the summary always equals the records.
    return {QStringLiteral("CREATE TRIGGER IF NOT EXISTS ae_day_insert AFTER INSERT ON ae BEGIN %1END")
                .arg(book(QStringLiteral("new"), QStringLiteral("+"))),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS ae_day_delete AFTER DELETE ON ae BEGIN %1%2END")
                .arg(unbook(QStringLiteral("old")), empty),
            QStringLiteral("CREATE TRIGGER IF NOT EXISTS ae_day_update AFTER UPDATE ON ae BEGIN %1%2%3END")
                .arg(unbook(QStringLiteral("old")), book(QStringLiteral("new"), QStringLiteral("+")), empty)};
}

// Creates the day summary and its triggers where they are missing; a new summary is filled from
// the records there are.
void ensureDaySummary(const QSqlDatabase& db) {
    const bool present =
        Db::scalar(
            db, QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'ae_day'"))
            .toInt() > 0;
    Db::exec(db, DaySummaryTable);
    // Triggers of an earlier version (summing the records otherwise) are replaced, and the summary
    // made again by the new ones' sums.
    static const QRegularExpression named(QStringLiteral("^CREATE TRIGGER IF NOT EXISTS (\\w+) "));
    bool replaced = false;
    for (const QString& trigger : daySummaryTriggers()) {
        const QString name = named.match(trigger).captured(1);
        const QString stored =
            Db::scalar(db,
                       QStringLiteral("select sql from sqlite_master where type = 'trigger' and name = :n"),
                       {{QStringLiteral(":n"), name}})
                .toString();
        if (!stored.isEmpty() && stored != QString(trigger).remove(QStringLiteral("IF NOT EXISTS "))) {
            Db::exec(db, QStringLiteral("DROP TRIGGER %1").arg(name));
            replaced = true;
        }
        Db::exec(db, trigger);
    }
    if (!present || replaced)
        Schema::rebuildDaySummary(db);
}

const QString RowCountsTable =
    QStringLiteral("CREATE TABLE IF NOT EXISTS row_counts (t TEXT PRIMARY KEY, n INTEGER NOT NULL)");

// Creates the row counts and their triggers where they are missing; a table without a count kept
// (a file of an earlier version) is counted once.
void ensureRowCounts(const QSqlDatabase& db) {
    Db::exec(db, RowCountsTable);
    for (const QString& table : Schema::countedTables()) {
        Db::exec(db, QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_count_insert AFTER INSERT ON %1 BEGIN "
                                    "UPDATE row_counts SET n = n + 1 WHERE t = '%1'; END")
                         .arg(table));
        Db::exec(db, QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_count_delete AFTER DELETE ON %1 BEGIN "
                                    "UPDATE row_counts SET n = n - 1 WHERE t = '%1'; END")
                         .arg(table));
    }
    Schema::recountRows(db);
}

// Columns added by later versions: a file made before them gains them at start.
struct AddedColumn {
    const char* table;
    const char* column;
};
// The operator columns: who made (a8) and settled (a9) an order, who received goods (c13), sold
// them (e14), settled by card (g8), recharged (h8); empty on rows of a shop without operators.
const AddedColumn addedColumns[] = {{"ab", "b13"},
                                    {"ab", "b14"},
                                    {"ae", "e13"},
                                    {"aa", "a8"},
                                    {"aa", "a9"},
                                    {"ac", "c13"},
                                    {"ae", "e14"},
                                    {"ag", "g8"},
                                    {"ah", "h8"},
                                    // The shift an order was settled in and how it was paid (a10,
                                    // a11), the shift a recharge was paid into (h9).
                                    {"aa", "a10"},
                                    {"aa", "a11"},
                                    {"ah", "h9"},
                                    // What came back of an order (a12: 部分退货, 已退货), a card
                                    // movement that gives money back (g9: 退款).
                                    {"aa", "a12"},
                                    {"ag", "g9"},
                                    // A product's code at the scale (b15); the amount of an order
                                    // line and of its stock-out record where a scale's label gave
                                    // one that quantity × price does not (k9, e15).
                                    {"ab", "b15"},
                                    {"ak", "k9"},
                                    {"ae", "e15"}};

QString columnDefinition(const Schema::Table& table, const QString& column);

} // namespace

QStringList Schema::Table::columns() const {
    QStringList data = numericColumns + dateTimeColumns + textColumns;
    std::sort(data.begin(), data.end(),
              [](const QString& a, const QString& b) { return columnNumber(a) < columnNumber(b); });
    return QStringList{key} + data;
}

const QList<Schema::Table>& Schema::businessTables() {
    static const QList<Table> tables = {
        {"aa", "aid", {"a5", "a6"}, {"a1"}, {"a2", "a3", "a4", "a7", "a8", "a9", "a10", "a11", "a12"}},
        {"ab",
         "bid",
         {"b4", "b6", "b7", "b8", "b9", "b14"},
         {"b10"},
         numbered("b", {1, 2, 3, 5, 11, 12, 13, 15})},
        {"ac", "cid", {"c12"}, {}, numbered("c", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13})},
        {"ae", "eid", {"e13"}, {"e7"}, numbered("e", {1, 2, 3, 6, 8, 9, 11, 12, 14, 15})},
        {"af", "fid", {}, {}, {"f1"}},
        {"ag", "gid", {"g2", "g4"}, {"g3"}, numbered("g", {1, 5, 6, 7, 8, 9})},
        {"ah", "hid", {"h2", "h4", "h5"}, {"h3"}, numbered("h", {1, 6, 7, 8, 9})},
        {"aj", "jid", {"j9"}, {"j10"}, numbered("j", {1, 2, 3, 4, 5, 6, 7, 8})},
        {"ak", "kid", {}, {}, numbered("k", {1, 2, 3, 4, 5, 6, 7, 8, 9})},
    };
    return tables;
}

const QList<Schema::Table>& Schema::listTables() {
    static const QList<Table> tables = {
        {"a1", "zid", {}, {}, {"z1"}}, {"a2", "zid", {}, {}, {"z1"}},  {"a3", "zid", {}, {}, {"z1"}},
        {"a4", "zid", {}, {}, {"z1"}}, {"a5", "ids", {}, {}, {"run"}},
    };
    return tables;
}

const QList<std::pair<QString, QStringList>>& Schema::defaultLists() {
    // Listed newest first, so the first entry of each is inserted last.
    static const QList<std::pair<QString, QStringList>> lists = {
        {"a1", {"食品", "饮料", "日用品", "烟酒", "文具", "五金", "其他"}},
        {"a2", {"零食", "饼干", "方便食品", "矿泉水", "果汁", "洗化用品", "纸品", "其他"}},
        {"a3", {"个", "件", "瓶", "包", "袋", "盒", "箱", "公斤", "米", "套"}},
        {"a4", {"普通订单", "批发订单", "会员订单", "预订单", "退换货"}},
    };
    return lists;
}

const Schema::Table* Schema::findTable(const QString& name) {
    for (const auto* list : {&businessTables(), &listTables()})
        for (const Table& t : *list)
            if (t.name == name)
                return &t;
    return nullptr;
}

QStringList Schema::indexStatements() {
    // The look-ups by order and by card number (an order's lines, a member's records).
    // The key indexes let a list count its table and read its keys without reading the rows.
    QStringList statements = {
        QStringLiteral("CREATE INDEX IF NOT EXISTS ak_k8 ON ak (k8)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ag_g6 ON ag (g6)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ah_h6 ON ah (h6)"),
        // An order's stock-out records: a return finds the cost its sale recorded.
        QStringLiteral("CREATE INDEX IF NOT EXISTS ae_e11 ON ae (e11)"),
        // Orders without an amount due, mended at every start: kept empty.
        QStringLiteral("CREATE INDEX IF NOT EXISTS aa_no_amount ON aa (aid) "
                       "WHERE a5 IS NULL OR a5 = ''"),
        BarcodeIndex, ScaleCodeIndex, WarningIndex,
        // The statistics of a period read its stock-out records, its orders
        // and its card movements by their dates.
        // The ranking of products reads only this index, never the records themselves.
        QStringLiteral("CREATE INDEX IF NOT EXISTS ae_sold ON ae (e7, e1, e3, e6, e13)"),
        // A period's orders and card movements are summed from these indexes alone.
        QStringLiteral("CREATE INDEX IF NOT EXISTS aa_a1 ON aa (a1, a2, a5, a6)"),
        // And per cashier.
        QStringLiteral("CREATE INDEX IF NOT EXISTS aa_a1_a9 ON aa (a1, a2, a9, a5, a6)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ag_g3 ON ag (g3, g2)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ah_h3 ON ah (h3, h2)"),
        // The card movements summed per day for a period's chart, in the order of these.
        QStringLiteral("CREATE INDEX IF NOT EXISTS ag_g3_day ON ag (substr(g3, 1, 10), g2, g3)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ah_h3_day ON ah (substr(h3, 1, 10), h2, h3)")};
    for (const Table& table : businessTables())
        statements
            << QStringLiteral("CREATE INDEX IF NOT EXISTS %1_key ON %1 (%2)").arg(table.name, table.key);
    return statements;
}

void Schema::createIndexes(const QSqlDatabase& db) {
    static const QRegularExpression named(QStringLiteral("^CREATE INDEX IF NOT EXISTS (\\w+) "));
    for (const QString& statement : indexStatements()) {
        const QString name = named.match(statement).captured(1);
        // The file keeps the statement that made the index, without "IF NOT EXISTS".
        const QString stored =
            Db::scalar(db, QStringLiteral("select sql from sqlite_master where type = 'index' and name = :n"),
                       {{QStringLiteral(":n"), name}})
                .toString();
        if (!stored.isEmpty() && stored != QString(statement).remove(QStringLiteral("IF NOT EXISTS ")))
            Db::exec(db, QStringLiteral("DROP INDEX %1").arg(name));
        Db::exec(db, statement);
    }
}

QString Schema::scaled(const QString& expression) {
    return QStringLiteral("cast(round(%1 * 10000) as bigint)").arg(expression);
}

QStringList Schema::daySummaryTerms() {
    return recordSums(QString());
}

QString Schema::daySummaryStatement() {
    const QStringList sums = recordSums(QString());
    QStringList inner, outer;
    for (int i = 0; i < SummedColumns.size(); ++i) {
        inner << sums[i] + QStringLiteral(" as ") + SummedColumns[i];
        outer << QStringLiteral("sum(%1) as %1").arg(SummedColumns[i]);
    }
    return QStringLiteral("select d, e8, %1 from (select coalesce(substr(e7, 1, 10), '') as d, "
                          "coalesce(e8, '') as e8, %2 from ae) r group by d, e8")
        .arg(outer.join(QStringLiteral(", ")), inner.join(QStringLiteral(", ")));
}

void Schema::rebuildDaySummary(const QSqlDatabase& db) {
    Db::exec(db, QStringLiteral("DELETE FROM ae_day"));
    Db::exec(db, QStringLiteral("INSERT INTO ae_day (d, e8, n, nocost, qty, sales, costed, cost) %1")
                     .arg(daySummaryStatement()));
}

const QStringList& Schema::countedTables() {
    static const QStringList tables = {"aa", "ab", "ac", "ae", "ag", "ah", "aj", "ak"};
    return tables;
}

void Schema::recountRows(const QSqlDatabase& db) {
    QSqlQuery kept = Db::exec(db, QStringLiteral("SELECT t FROM row_counts"));
    QStringList counted;
    while (kept.next())
        counted << kept.value(0).toString();
    for (const QString& table : countedTables())
        if (!counted.contains(table))
            Db::exec(
                db, QStringLiteral("INSERT INTO row_counts (t, n) SELECT '%1', count(*) FROM %1").arg(table));
}

QString Schema::createStatement(const Table& table) {
    QStringList defs;
    // Keys are numbered by the database, ascending, and never reused (AUTOINCREMENT); the
    // settings row has a fixed key.
    defs << (table.key == QLatin1String("ids")
                 ? QStringLiteral("ids INTEGER PRIMARY KEY")
                 : table.key + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT"));
    for (const QString& column : table.columns().mid(1))
        defs << columnDefinition(table, column);
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(table.name, defs.join(QStringLiteral(", ")));
}

namespace {

// The key of a table of the staff, shifts and returns: numbered by the database, never reused.
QString staffKey(bool server) {
    return server ? QStringLiteral("id bigserial PRIMARY KEY")
                  : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT");
}

} // namespace

QStringList Schema::staffTables() {
    return {QStringLiteral("operators"),    QStringLiteral("roles"),        QStringLiteral("oplog"),
            QStringLiteral("shifts"),       QStringLiteral("cash_moves"),   QStringLiteral("returns"),
            QStringLiteral("return_lines"), QStringLiteral("shop_settings")};
}

QStringList Schema::staffTableStatements(bool server) {
    const QString key = staffKey(server);
    // An operator: the name picked at login, the role, the PIN's hash (never the PIN), and the
    // wrong PINs in a row with the moment of the last.
    return QStringList{
               QStringLiteral(
                   "CREATE TABLE IF NOT EXISTS operators (%1, name TEXT NOT NULL UNIQUE, role TEXT NOT NULL, "
                   "pin TEXT NOT NULL, failures INTEGER NOT NULL DEFAULT 0, last_failure TEXT)")
                   .arg(key),
               QStringLiteral(
                   "CREATE TABLE IF NOT EXISTS roles (%1, name TEXT NOT NULL UNIQUE, rights TEXT NOT NULL)")
                   .arg(key)} +
           operationLogStatements(server) + shiftStatements(server) + returnStatements(server);
}

namespace {

// The columns of a return line added after the first version of returns.
const QStringList ReturnLineColumns = {QStringLiteral("price"), QStringLiteral("category")};

} // namespace

QStringList Schema::returnStatements(bool server) {
    const QString key = staffKey(server);
    // A return against an order: when, who, at which till and in which shift, why, the money given
    // back (whole ten-thousandths) and how (cash, or onto the card). Its lines: the order line, the
    // quantity back, its share of the money, the cost stored at the sale, and whether the goods were
    // written off instead of going back to stock. The shop's own settings (the limits of returns a
    // cashier may take) by name. A line also keeps the line's price and the product's major
    // category at the return, so that goods written off count in the figures of their day.
    QStringList statements{
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS returns (%1, order_id BIGINT NOT NULL, returned_at TEXT NOT NULL, "
            "operator_name TEXT, till_name TEXT, shift_id BIGINT, reason TEXT, refund BIGINT NOT NULL, "
            "way TEXT NOT NULL, card BIGINT)")
            .arg(key),
        QStringLiteral("CREATE INDEX IF NOT EXISTS returns_order ON returns (order_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS returns_shift ON returns (shift_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS returns_day ON returns (returned_at)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS return_lines (%1, return_id BIGINT NOT NULL, line_id BIGINT NOT "
            "NULL, "
            "product TEXT, quantity TEXT NOT NULL, amount BIGINT NOT NULL, cost TEXT, damaged INTEGER "
            "NOT NULL DEFAULT 0, price TEXT, category TEXT)")
            .arg(key),
        QStringLiteral("CREATE INDEX IF NOT EXISTS return_lines_line ON return_lines (line_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS return_lines_return ON return_lines (return_id)"),
        // The card that paid an order, found by the order without reading every card movement.
        QStringLiteral("CREATE INDEX IF NOT EXISTS ag_g5 ON ag (g5)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS shop_settings (%1, name TEXT NOT NULL UNIQUE, value TEXT)")
            .arg(key)};
    // Return lines stored before the price and category were kept gain the columns (empty).
    if (server)
        for (const QString& column : ReturnLineColumns)
            statements
                << QStringLiteral("ALTER TABLE return_lines ADD COLUMN IF NOT EXISTS %1 TEXT").arg(column);
    return statements;
}

QStringList Schema::shiftStatements(bool server) {
    const QString key = staffKey(server);
    const QString amount = QStringLiteral("BIGINT");
    // A shift of one till: opened with the float counted into the drawer, closed with the drawer
    // counted (NULL: closed without a count), the expected cash and the report as it was then.
    // Amounts in whole ten-thousandths of a yuan. Cash paid into or out of the drawer belongs to
    // a shift.
    return {
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS shifts (%1, till_name TEXT NOT NULL, operator_name TEXT, "
            "opened_at TEXT NOT NULL, day TEXT NOT NULL, opening_float %2 NOT NULL, closed_at TEXT, "
            "closed_by TEXT, expected %2, counted %2, count_detail TEXT, report TEXT)")
            .arg(key, amount),
        // One open shift per till, whatever the tills do at once.
        QStringLiteral(
            "CREATE UNIQUE INDEX IF NOT EXISTS shifts_open ON shifts (till_name) WHERE closed_at IS NULL"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS shifts_day ON shifts (day)"),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS cash_moves (%1, shift_id BIGINT NOT NULL, moved_at TEXT NOT NULL, "
            "kind TEXT NOT NULL, amount %2 NOT NULL, reason TEXT, operator_name TEXT)")
            .arg(key, amount),
        QStringLiteral("CREATE INDEX IF NOT EXISTS cash_moves_shift ON cash_moves (shift_id)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS aa_shift ON aa (a10)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS ah_shift ON ah (h9)")};
}

QStringList Schema::operationLogStatements(bool server) {
    const QString key = staffKey(server);
    // The operation log: when, at which till, who (and which owner gave their word), what, the
    // keys touched, before and after; in a file, each row's hash chained to the row before.
    QStringList statements{
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS oplog (%1, logged_at TEXT NOT NULL, till_name TEXT NOT NULL, "
            "operator_name TEXT NOT NULL, authorized_by TEXT, action TEXT NOT NULL, touched TEXT, "
            "old_value TEXT, new_value TEXT, hash TEXT)")
            .arg(key),
        QStringLiteral("CREATE INDEX IF NOT EXISTS oplog_at ON oplog (logged_at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS oplog_operator ON oplog (operator_name, logged_at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS oplog_till ON oplog (till_name, logged_at)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS oplog_action ON oplog (action, logged_at)"),
    };
    if (server) {
        // Whoever runs the tills may add rows, never change or remove one.
        statements
            << QStringLiteral(
                   "CREATE OR REPLACE FUNCTION oplog_append_only() RETURNS trigger LANGUAGE plpgsql AS "
                   "$$ BEGIN RAISE EXCEPTION '操作日志只能追加，不能修改或删除' USING ERRCODE = '42501'; "
                   "END $$")
            << QStringLiteral("CREATE OR REPLACE TRIGGER oplog_no_change BEFORE UPDATE OR DELETE ON oplog "
                              "FOR EACH ROW EXECUTE FUNCTION oplog_append_only()")
            << QStringLiteral("CREATE OR REPLACE TRIGGER oplog_no_truncate BEFORE TRUNCATE ON oplog "
                              "FOR EACH STATEMENT EXECUTE FUNCTION oplog_append_only()");
        // A shop made by an earlier version gains the columns naming who did what.
        for (const AddedColumn& c : addedColumns)
            statements << QStringLiteral("ALTER TABLE %1 ADD COLUMN IF NOT EXISTS %2 TEXT")
                              .arg(QLatin1String(c.table), QLatin1String(c.column));
        // The statistics per cashier read the period's orders from this index alone.
        statements << QStringLiteral("CREATE INDEX IF NOT EXISTS aa_a1_a9 ON aa (a1, a2, a9, a5, a6)");
        statements << QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS ab_b15 ON ab (b15) "
                                     "WHERE b15 IS NOT NULL AND b15 <> ''");
    }
    return statements;
}

QStringList Schema::upgradeBusinessFile(const QSqlDatabase& db) {
    QStringList added;
    Transaction tx(db);
    for (const AddedColumn& c : addedColumns) {
        const QString table = QLatin1String(c.table);
        const QString column = QLatin1String(c.column);
        const QVariant present =
            Db::scalar(db, QStringLiteral("select count(*) from pragma_table_info(:t) where name = :c"),
                       {{QStringLiteral(":t"), table}, {QStringLiteral(":c"), column}});
        if (present.toInt() > 0)
            continue;
        Db::exec(db, QStringLiteral("ALTER TABLE %1 ADD COLUMN %2")
                         .arg(table, columnDefinition(*findTable(table), column)));
        added << table + QLatin1Char('.') + column;
    }
    Db::exec(db, BarcodeIndex);
    Db::exec(db, ScaleCodeIndex);
    Db::exec(db, WarningIndex);
    ensureDaySummary(db);
    ensureRowCounts(db);
    for (const QString& statement : staffTableStatements(false))
        Db::exec(db, statement);
    for (const QString& column : ReturnLineColumns)
        if (Db::scalar(
                db, QStringLiteral("select count(*) from pragma_table_info('return_lines') where name = :c"),
                {{QStringLiteral(":c"), column}})
                .toInt() == 0) {
            Db::exec(db, QStringLiteral("ALTER TABLE return_lines ADD COLUMN %1 TEXT").arg(column));
            added << QStringLiteral("return_lines.") + column;
        }
    tx.commit();
    return added;
}

namespace {

// What the first 100 bytes of an SQLite file, its header, tell.
struct Header {
    QString problem;     // not a database file at all
    bool short_ = false; // the header counts more pages than the file holds
};

Header readHeader(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("无法读取文件 '%1': %2").arg(path, file.errorString())};
    const qint64 size = file.size();
    if (size == 0)
        return {QStringLiteral("文件 '%1' 是空的，不是本程序的数据库").arg(path)};
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return {QStringLiteral("文件 '%1' 不是数据库文件").arg(path)};
    auto byte = [&header](int i) {
        return quint32(quint8(header.at(i)));
    };
    const quint32 pageSize = (byte(16) << 8 | byte(17)) == 1 ? 65536 : (byte(16) << 8 | byte(17));
    const quint32 pages = byte(28) << 24 | byte(29) << 16 | byte(30) << 8 | byte(31);
    const bool pagesValid = header.mid(92, 4) == header.mid(24, 4);
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        return {QStringLiteral("文件 '%1' 不是数据库文件").arg(path)};
    // The page count in the header is valid when the change counter agrees with the one written
    // beside it.
    return {{}, pagesValid && pages > 0 && qint64(pages) * pageSize > size};
}

QString truncatedText(const QString& path) {
    return QStringLiteral("文件 '%1' 不完整，可能已被截断").arg(path);
}

QString schemaProblem(const QSqlDatabase& db, const QString& path, const QList<Schema::Table>& tables) {
    for (const Schema::Table& table : tables) {
        QSqlQuery info = Db::exec(db, QStringLiteral("PRAGMA table_info(%1)").arg(table.name));
        QStringList present;
        while (info.next())
            present << info.value(1).toString().toLower();
        if (present.isEmpty())
            return QStringLiteral("文件 '%1' 不是本程序的数据库: 缺少表 %2").arg(path, table.name);
        QStringList missing;
        for (const QString& column : table.columns())
            if (!present.contains(column) && !Schema::addedAtStart(table.name).contains(column))
                missing << column;
        if (!missing.isEmpty())
            return QStringLiteral("文件 '%1' 不是本程序的数据库: 表 %2 缺少列 %3")
                .arg(path, table.name, missing.join(QStringLiteral(", ")));
    }
    const bool withSettings = std::any_of(
        tables.begin(), tables.end(), [](const Schema::Table& t) { return t.name == QLatin1String("a5"); });
    if (withSettings && Db::scalar(db, QStringLiteral("select count(*) from a5 where ids = 8")).toInt() != 1)
        return QStringLiteral("文件 '%1' 缺少设置行（表 a5 中 ids 为 8 的行）").arg(path);
    return {};
}

QString columnDefinition(const Schema::Table& table, const QString& column) {
    if (table.numericColumns.contains(column)) {
        // NUMERIC affinity turns "12.50" into 12.5 and "007" into 7; the check refuses a
        // text that is no number ("", "-", "abc") instead of storing it.
        return QStringLiteral("%1 NUMERIC CONSTRAINT \"%1 must be a number\" CHECK (%1 IS NULL OR "
                              "typeof(%1) IN ('integer', 'real'))")
            .arg(column);
    }
    if (table.dateTimeColumns.contains(column)) {
        return QStringLiteral("%1 TEXT CONSTRAINT \"%1 must be a date and time\" CHECK (%1 IS NULL OR "
                              "%1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] "
                              "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]')")
            .arg(column);
    }
    return column + QStringLiteral(" TEXT");
}

void fillFile(const QString& path, const QString& connection, const QList<Schema::Table>& tables,
              bool withLists) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    if (!db.open())
        throw DatabaseError(Db::errorText(db.lastError()));
    Transaction tx(db);
    for (const Schema::Table& table : tables)
        Db::exec(db, Schema::createStatement(table));
    if (!withLists) {
        Schema::createIndexes(db);
        ensureDaySummary(db);
        ensureRowCounts(db);
        for (const QString& statement : Schema::staffTableStatements(false))
            Db::exec(db, statement);
    }
    if (withLists) {
        for (const auto& [table, entries] : Schema::defaultLists())
            for (auto it = entries.crbegin(); it != entries.crend(); ++it)
                Db::exec(db, QStringLiteral("insert into %1 (z1) values (:a)").arg(table), {{":a", *it}});
        Db::exec(db, QStringLiteral("insert into a5 (ids, run) values (8, '0')"));
    }
    tx.commit();
}

void createFile(const QString& path, const QString& connection, const QList<Schema::Table>& tables,
                bool withLists) {
    // The connection goes also when filling fails, so the file is closed before it is removed and a
    // later attempt can use the name again.
    try {
        fillFile(path, connection, tables, withLists);
    } catch (...) {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
        throw;
    }
    QSqlDatabase::database(connection, false).close();
    QSqlDatabase::removeDatabase(connection);
}

// Removes what a failed creation made: the files, SQLite's journals beside them, and the folders
// made for them (given innermost first).
void removeMade(const QStringList& files, const QStringList& madeFolders) {
    for (const QString& path : files)
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            QFile::remove(path + QLatin1String(suffix));
    for (const QString& folder : madeFolders)
        QDir().rmdir(folder);
}

} // namespace

void Schema::createDatabaseFiles(const QString& folder) {
    // Either both files are made or the folder is left as it was, so that trying again works.
    QDir dir(folder);
    QStringList madeFolders;
    for (QString missing = dir.absolutePath(); !QFileInfo::exists(missing);
         missing = QFileInfo(missing).absolutePath())
        madeFolders << missing;
    if (!madeFolders.isEmpty() && !QDir().mkpath(folder)) {
        removeMade({}, madeFolders);
        throw DatabaseError(QStringLiteral("无法创建文件夹 '%1'").arg(QFileInfo(folder).absoluteFilePath()));
    }
    const QString a = dir.absoluteFilePath(Db::BusinessFile);
    const QString b = dir.absoluteFilePath(Db::ListsFile);
    for (const QString& path : {a, b})
        if (QFileInfo::exists(path))
            throw DatabaseError(QStringLiteral("文件已存在，不会覆盖: '%1'").arg(path));
    const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner;
    QStringList made;
    for (const QString& path : {a, b}) {
        // Create the empty file with owner-only permissions before SQLite writes anything to it.
        QFile file(path);
        if (!file.open(QIODevice::NewOnly | QIODevice::WriteOnly)) {
            const QString error = file.errorString();
            removeMade(made, madeFolders);
            throw DatabaseError(QStringLiteral("无法创建文件 '%1': %2").arg(path, error));
        }
        made << path;
        if (!file.setPermissions(ownerOnly)) {
            const QString error = file.errorString();
            file.close();
            removeMade(made, madeFolders);
            throw DatabaseError(QStringLiteral("无法创建文件 '%1': %2").arg(path, error));
        }
    }
    try {
        createFile(a, QStringLiteral("schema_a"), businessTables(), false);
        createFile(b, QStringLiteral("schema_b"), listTables(), true);
    } catch (...) {
        removeMade(made, madeFolders);
        throw;
    }
}

QStringList Schema::addedAtStart(const QString& table) {
    QStringList columns;
    for (const AddedColumn& c : addedColumns)
        if (table == QLatin1String(c.table))
            columns << QLatin1String(c.column);
    return columns;
}

QString Schema::fileProblem(const QString& path, const QList<Table>& tables) {
    return checkFile(path, tables).text;
}

Schema::FileCheck Schema::checkFile(const QString& path, const QList<Table>& tables) {
    const QFileInfo file(path);
    const QString absolute = file.absoluteFilePath();
    if (!file.exists())
        return {FileFault::Missing, QStringLiteral("Could not find file '%1'.").arg(absolute)};
    if (!file.isFile())
        return {FileFault::Damaged, QStringLiteral("'%1' 不是文件").arg(absolute)};
    if (!file.isReadable() || !file.isWritable())
        return {FileFault::NoAccess, QStringLiteral("没有读写文件 '%1' 的权限").arg(absolute)};
    // The write-ahead log lives beside the file.
    if (!QFileInfo(file.absolutePath()).isWritable())
        return {FileFault::NoAccess, QStringLiteral("没有写入文件夹 '%1' 的权限").arg(file.absolutePath())};
    const Header header = readHeader(absolute);
    if (!header.problem.isEmpty())
        return {FileFault::Damaged, header.problem};
    // A file shorter than its pages lost its end, unless its log holds them: a write-back of the
    // log cut off (a kill, a power cut, a full disk) leaves the header counting pages the file
    // does not hold yet. Then SQLite reads the log and judges the file itself.
    const QString log = absolute + QStringLiteral("-wal");
    const QString index = absolute + QStringLiteral("-shm");
    const bool logged = QFileInfo(log).size() > 0;
    if (header.short_ && !logged)
        return {FileFault::Damaged, truncatedText(absolute)};
    const bool hadLog = QFileInfo::exists(log);
    const bool hadIndex = QFileInfo::exists(index);

    const QString connection = QStringLiteral("file_check");
    FileCheck found;
    bool holding = false; // the file is locked by this check
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        // mode=rw: never create the file. Busy timeout 0: a file the program holds fails at once.
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=0"));
        db.setDatabaseName(QStringLiteral("file:") +
                           QString::fromUtf8(QUrl::toPercentEncoding(absolute, "/")) +
                           QStringLiteral("?mode=rw"));
        try {
            if (!db.open())
                throw Db::failure(db.lastError());
            if (sqlite3* handle = Db::sqliteHandle(db))
                // The check writes nothing: a log is folded in by the program's own open.
                sqlite3_db_config(handle, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
            // Exclusive, as the program opens it: the log's index is kept in memory, so no
            // shared-memory file is made (nor needs room on the disk), and the file stays locked
            // until the check is done.
            Db::exec(db, QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
            Db::scalar(db, QStringLiteral("select count(*) from sqlite_master"));
            holding = true;
            if (header.short_) {
                // SQLite has read the log: the file is whole when its own check finds it so.
                const QString verdict = Db::scalar(db, QStringLiteral("PRAGMA quick_check(1)")).toString();
                if (verdict != QLatin1String("ok"))
                    found = {FileFault::Damaged,
                             truncatedText(absolute) + QStringLiteral("（数据库自检：%1）").arg(verdict)};
            }
            if (found.text.isEmpty())
                found.text = schemaProblem(db, absolute, tables);
            if (!found.text.isEmpty() && found.fault == FileFault::None)
                found.fault = FileFault::Damaged;
        } catch (const DatabaseError& e) {
            if (e.text().contains(QLatin1String("locked"), Qt::CaseInsensitive) ||
                e.text().contains(QLatin1String("busy"), Qt::CaseInsensitive))
                found = {FileFault::InUse, QStringLiteral("无法打开文件 '%1': %2").arg(absolute, e.text())};
            else if (Db::diskFull(file.absolutePath(), e.text(), e.code()))
                found = {FileFault::DiskFull,
                         Db::diskFullText(file.absolutePath(), Db::RoomToOpen,
                                          QStringLiteral("打开文件 %1 ").arg(file.fileName())) +
                             QStringLiteral("文件没有损坏，腾出空间后即可使用。")};
            else if (header.short_)
                // The log does not hold the pages the file lacks.
                found = {FileFault::Damaged,
                         truncatedText(absolute) + QStringLiteral("（数据库：%1）").arg(e.text())};
            else
                found = {FileFault::Damaged, QStringLiteral("无法打开文件 '%1': %2").arg(absolute, e.text())};
        } catch (const LedgerError& e) {
            found = {FileFault::Damaged, QStringLiteral("无法打开文件 '%1': %2").arg(absolute, e.text())};
        }
        // The empty log (and any index) that opening made are removed while the file is still
        // locked by the check, so no other program has them open; whatever was there stays.
        holding = holding || found.fault == FileFault::DiskFull;
        if (holding && !hadLog && QFileInfo(log).size() == 0)
            QFile::remove(log);
        if (holding && !hadIndex)
            QFile::remove(index);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return found;
}
