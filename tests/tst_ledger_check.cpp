#include "core/clock.h"
#include "core/money.h"
#include "corefixture.h"
#include "data/demodata.h"
#include "data/schema.h"
#include "data/work.h"
#include "ledger/check.h"
#include "ledger/members.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/settlement.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// The check of the whole ledger, without any window, and its command-line tool.
class TestLedgerCheck : public QObject {
    Q_OBJECT
private slots:
    void cleanShopIsSilent();
    void changedAmountDueIsFoundAndFixed();
    void linesWithoutTheirOrder();
    void stockOutRecordsAgainstLines();
    void rowCountsKeptByTheFile();
    void brokenCardChains();
    void cardChainOfOneSecond();
    void valuesThatAreNoNumbersOrMoments();
    void ordersSettingsAndTheFileItself();
    void cancelledCheckSaysSo();
    void toolExitStatusAndLockedFiles();
};

namespace {

// The check as the program runs it, its longest parts read on a thread of their own; every part
// read in turn (as when the file changes meanwhile) must give the same report.
Ledger::CheckReport check(Ledger::FileCheck depth = Ledger::FileCheck::Quick) {
    Ledger::setReadingAside(false);
    const Ledger::CheckReport inTurn = Ledger::checkLedger(Db::business(), Db::lists(), {}, depth);
    Ledger::setReadingAside(true);
    const Ledger::CheckReport report = Ledger::checkLedger(Db::business(), Db::lists(), {}, depth);
    QTest::qCompare(report.text(), inTurn.text(), "report.text()", "inTurn.text()", __FILE__, __LINE__);
    return report;
}

QStringList titles(const Ledger::CheckReport& report) {
    QStringList out;
    for (const Ledger::CheckProblem& p : report.problems)
        out << p.title;
    return out;
}

// The problems concerning rows of the table, as "title|key,key,…" (the keys sorted).
QStringList problemsIn(const Ledger::CheckReport& report, const QString& table) {
    QStringList out;
    for (const Ledger::CheckProblem& p : report.problems)
        if (p.table == table) {
            QList<qint64> rows = p.rows;
            std::sort(rows.begin(), rows.end());
            QStringList keys;
            for (qint64 k : rows)
                keys << QString::number(k);
            out << p.title + QLatin1Char('|') + keys.join(QLatin1Char(','));
        }
    return out;
}

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

// A change as a user of the database's own shell would make it: past the program and, with the
// rules off, past the columns' rules too.
void tamper(const QString& sql, const Db::Params& params = {}) {
    CoreFixture::exec(QStringLiteral("PRAGMA ignore_check_constraints = ON"));
    CoreFixture::exec(sql, params);
    CoreFixture::exec(QStringLiteral("PRAGMA ignore_check_constraints = OFF"));
}

qint64 newMember(const QString& name, const QString& opening) {
    Members::Person p;
    p.name = name;
    p.salutation = QStringLiteral("女士");
    return Members::create(p, Currency::parse(opening));
}

void at(int hour, int minute, int second = 0) {
    Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(hour, minute, second)));
}

QByteArray digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

struct Run {
    int status = -1;
    QString out, err;
};

Run tool(const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("LEDGER_BIN_DIR") + QStringLiteral("/vandrel-ledger-check"), args);
    if (!p.waitForFinished(120000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

} // namespace

void TestLedgerCheck::cleanShopIsSilent() {
    CoreFixture f;
    DemoData::fill(DemoData::countsFor(0.002));
    // What the operations leave behind, besides the generated years: lines added and removed,
    // a deleted order (its stock-out records stay), a line removed after its product was deleted
    // (nothing to reverse), recharges and card payments, a member deleted with its records.
    at(11, 0);
    const qint64 apple = CoreFixture::product("苹果", "50", "2.35");
    const qint64 pear = CoreFixture::product("梨", "50", "1.005");
    const Orders::LineAdded a = Orders::addLine(0, apple, Currency::parse("3"));
    const Orders::LineAdded b = Orders::addLine(a.order, pear, Currency::parse("1.5"));
    Orders::addLine(a.order, apple, Currency::parse("0.125"));
    Orders::removeLine(b.line);
    const Orders::LineAdded gone = Orders::addLine(0, pear, Currency::parse("2"));
    Orders::remove(gone.order);
    const Orders::LineAdded orphanProduct = Orders::addLine(0, pear, Currency::parse("4"));
    Orders::addLine(orphanProduct.order, apple, Currency::parse("1"));
    Products::remove(pear);
    Orders::removeLine(orphanProduct.line);
    const qint64 card = newMember("周敏", "100");
    Members::recharge(card, Currency::parse("50"));
    at(11, 5);
    Settlement::payByCard(a.order, card, Orders::amountDue(a.order));
    at(11, 6);
    Members::recharge(card, Currency::parse("-20"));
    const qint64 leaving = newMember("吴涛", "10");
    Members::recharge(leaving, Currency::parse("5"));
    Members::remove(leaving);
    Settlement::payCash(orphanProduct.order, Currency::parse("10"));
    // An amount due never stored (an older version) is mended when the files open, not a fault.
    CoreFixture::exec("update aa set a5 = null where aid = :a", {{":a", orphanProduct.order}});

    const QVariant mapped = CoreFixture::scalar("PRAGMA mmap_size");
    const Ledger::CheckReport report = check();
    QVERIFY2(report.clean(), qPrintable(report.text()));
    QCOMPARE(report.fixableOrders(), QList<qint64>());
    QCOMPARE(CoreFixture::scalar("PRAGMA mmap_size"), mapped); // the connection as it was
    QVERIFY(report.checked.size() >= 10);
    QVERIFY(report.text().contains(QStringLiteral("未发现问题")));
    // The check only reads.
    QVERIFY(CoreFixture::scalar("select a5 from aa where aid = :a", {{":a", orphanProduct.order}}).isNull());
    // Again and again beside a statement still reading, as the program's lists keep theirs.
    QSqlQuery reading(Db::business());
    QVERIFY(reading.exec(QStringLiteral("select bid from ab")) && reading.next());
    for (int run = 0; run < 2; ++run) {
        const Ledger::CheckReport again = check();
        QVERIFY2(again.clean(), qPrintable(again.text()));
    }
}

void TestLedgerCheck::changedAmountDueIsFoundAndFixed() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "2.5");
    const qint64 cola = CoreFixture::product("可乐", "50", "3");
    const Orders::LineAdded first = Orders::addLine(0, apple, Currency::parse("2"));
    Orders::addLine(first.order, cola, Currency::parse("1.5"));
    const Orders::LineAdded second = Orders::addLine(0, cola, Currency::parse("1"));
    const Orders::LineAdded third = Orders::addLine(0, apple, Currency::parse("0.0001"));
    Orders::addLine(third.order, cola, Currency::parse("0.0001"));
    const Orders::LineAdded fourth = Orders::addLine(0, apple, Currency::parse("4"));
    QVERIFY(check().clean());

    tamper("update aa set a5 = 120 where aid = :a", {{":a", first.order}});
    // Below the lines' sum as well as above.
    tamper("update aa set a5 = 2.9999 where aid = :a", {{":a", second.order}});
    // The smallest difference an amount can have is found too.
    tamper("update aa set a5 = '0.0006' where aid = :a", {{":a", third.order}});
    tamper("update aa set a5 = 'viel' where aid = :a", {{":a", fourth.order}});
    const Ledger::CheckReport report = check();
    QCOMPARE(problemsIn(report, "aa"), QStringList({"订单 1 的应收金额 120 与明细合计 9.5 不符|1",
                                                    "订单 2 的应收金额 2.9999 与明细合计 3 不符|2",
                                                    "订单 3 的应收金额 0.0006 与明细合计 0.0005 不符|3",
                                                    "订单 4 的应收金额 'viel' 不是数字，明细合计 10|4"}));
    QVERIFY2(report.problems.size() == 4, qPrintable(report.text()));
    for (const Ledger::CheckProblem& p : report.problems)
        QVERIFY(p.fixable);
    QCOMPARE(report.fixableOrders(), QList<qint64>({first.order, second.order, third.order, fourth.order}));
    QVERIFY(report.text().contains(QStringLiteral("订单 1 的应收金额 120 与明细合计 9.5 不符")));

    QSignalSpy announced(&Db::Announcer::instance(), &Db::Announcer::committed);
    QCOMPARE(Ledger::fixAmountsDue(report.fixableOrders() << second.order), 4);
    QCOMPARE(announced.size(), 1);
    QCOMPARE(CoreFixture::rows("select aid, a5 from aa order by aid"),
             QStringList({"1|9.5", "2|3", "3|0.0005", "4|10"}));
    QVERIFY2(check().clean(), qPrintable(check().text()));
}

void TestLedgerCheck::linesWithoutTheirOrder() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "2");
    const Orders::LineAdded kept = Orders::addLine(0, apple, Currency::parse("1"));
    const Orders::LineAdded lost = Orders::addLine(0, apple, Currency::parse("2"));
    const Orders::LineAdded lost2 = Orders::addLine(lost.order, apple, Currency::parse("3"));
    // The order deleted behind the program's back leaves its lines; deleted by the program, its
    // stock-out records stay and are no fault.
    tamper("delete from aa where aid = :a", {{":a", lost.order}});
    Orders::remove(kept.order);
    // A line that names no order at all.
    tamper("insert into ak (k3, k4, k6, k7, k8) values ('苹果', '1', '2', :p, 'x7')", {{":p", apple}});
    const qint64 odd = CoreFixture::scalar("select max(kid) from ak").toLongLong();

    const Ledger::CheckReport report = check();
    QCOMPARE(
        problemsIn(report, "ak"),
        QStringList({QStringLiteral("2 条订单明细属于不存在的订单 '2'|%1,%2").arg(lost.line).arg(lost2.line),
                     QStringLiteral("1 条订单明细属于不存在的订单 'x7'|%1").arg(odd)}));
    QCOMPARE(report.problems.size(), 2);
    QCOMPARE(report.fixableOrders(), QList<qint64>());
}

void TestLedgerCheck::stockOutRecordsAgainstLines() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "2");
    const qint64 cola = CoreFixture::product("可乐", "50", "3");
    const Orders::LineAdded a = Orders::addLine(0, apple, Currency::parse("2"));
    Orders::addLine(a.order, cola, Currency::parse("1"));
    const Orders::LineAdded again = Orders::addLine(a.order, apple, Currency::parse("1"));
    Orders::removeLine(again.line);
    const Orders::LineAdded b = Orders::addLine(0, cola, Currency::parse("5"));
    QVERIFY(check().clean());
    const QList<qint64> appleRecords = [&] {
        QList<qint64> keys;
        QSqlQuery q = CoreFixture::exec("select eid from ae where e11 = :o and e1 = :p order by eid",
                                        {{":o", QString::number(a.order)}, {":p", QString::number(apple)}});
        while (q.next())
            keys << q.value(0).toLongLong();
        return keys;
    }();
    QCOMPARE(appleRecords.size(), 3); // the line, the line removed and its reversal

    // One record's quantity changed; one record moved to another product of the same order
    // (the order's total quantity stays the same); a record of an order never issued.
    tamper("update ae set e3 = '2.0001' where eid = :e", {{":e", appleRecords.first()}});
    tamper("update ae set e1 = :p where e11 = :o",
           {{":p", QString::number(apple)}, {":o", QString::number(b.order)}});
    tamper("insert into ae (e1, e2, e3, e7, e11) values (:p, '可乐', '1', '2026-12-09 10:30:00', '99')",
           {{":p", QString::number(cola)}});
    const qint64 never = CoreFixture::scalar("select max(eid) from ae").toLongLong();
    const qint64 moved =
        CoreFixture::scalar("select eid from ae where e11 = :o", {{":o", QString::number(b.order)}})
            .toLongLong();

    const Ledger::CheckReport report = check();
    QStringList keys;
    for (qint64 k : appleRecords)
        keys << QString::number(k);
    QCOMPARE(sorted(problemsIn(report, "ae")),
             sorted({QStringLiteral("订单 1 中产品 1 的出库数量 2.0001 与明细数量 2 不符|") + keys.join(','),
                     QStringLiteral("订单 2 中产品 1 的出库数量 5 与明细数量 0 不符|%1").arg(moved),
                     QStringLiteral("订单 2 中产品 2 的出库数量 0 与明细数量 5 不符|"),
                     QStringLiteral("1 条出库记录的订单号从未有过，例如 '99'（第 %1 行）|%1").arg(never)}));
    QCOMPARE(report.problems.size(), 4);
}

// The file keeps each big table's row count in step with every write; the check compares them
// with the rows, and a file without them is counted when it opens.
void TestLedgerCheck::rowCountsKeptByTheFile() {
    CoreFixture f;
    DemoData::fill(DemoData::countsFor(0.002));
    auto kept = [](const QString& table) {
        return CoreFixture::scalar("select n from row_counts where t = :t", {{":t", table}});
    };
    auto rows = [](const QString& table) {
        return CoreFixture::scalar(QStringLiteral("select count(*) from %1").arg(table)).toLongLong();
    };
    auto allKept = [&] {
        for (const QString& table : Schema::countedTables())
            if (kept(table).toLongLong() != rows(table) || kept(table).isNull())
                return table;
        return QString();
    };
    QVERIFY(rows("ae") > 0 && rows("ab") > 0);
    QCOMPARE(allKept(), QString());

    // What the operations write and remove, and a transaction rolled back.
    at(10, 0);
    const qint64 apple = CoreFixture::product("苹果", "50", "2");
    const Orders::LineAdded a = Orders::addLine(0, apple, Currency::parse("2"));
    Orders::addLine(a.order, apple, Currency::parse("1"));
    Orders::removeLine(a.line);
    const Orders::LineAdded gone = Orders::addLine(0, apple, Currency::parse("1"));
    Orders::remove(gone.order);
    const qint64 card = newMember("周敏", "100");
    Members::recharge(card, Currency::parse("50"));
    Members::remove(card);
    Products::remove(apple);
    {
        Db::Work work(Db::business());
        work.exec("insert into ae (e2, e3) values ('未提交', '1')");
    }
    QCOMPARE(allKept(), QString());
    QVERIFY(check().clean());

    // A count changed past the program.
    const qint64 records = rows("ae");
    tamper("update row_counts set n = n + 3 where t = 'ae'");
    QCOMPARE(
        problemsIn(check(), "row_counts"),
        QStringList({QStringLiteral("1 个表记下的行数与表中的行数不符（出库记录记下 %1 行，实有 %2 行）|")
                         .arg(QLocale(QLocale::Chinese, QLocale::China).toString(records + 3),
                              QLocale(QLocale::Chinese, QLocale::China).toString(records))}));

    // A file of an earlier version: counted when it opens, then kept.
    CoreFixture::exec("drop table row_counts");
    for (const QString& table : Schema::countedTables())
        for (const char* op : {"insert", "delete"})
            CoreFixture::exec(QStringLiteral("drop trigger %1_count_%2").arg(table, QLatin1String(op)));
    CoreFixture::exec("insert into ae (e2, e3) values ('旧版本', '1')");
    QCOMPARE(check().checked.filter(QStringLiteral("行数")),
             QStringList({QStringLiteral("各表的行数：尚未建立，程序下次启动时建立")}));
    Schema::upgradeBusinessFile(Db::business());
    QCOMPARE(allKept(), QString());
    Orders::addLine(0, CoreFixture::product("梨", "5", "1"), Currency::parse("1"));
    QCOMPARE(kept("ae").toLongLong(), records + 2);
    QCOMPARE(allKept(), QString());
}

void TestLedgerCheck::brokenCardChains() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "2");
    const qint64 zhou = newMember("周敏", "100");
    const qint64 wu = newMember("吴涛", "0");
    at(9, 0);
    const Members::Recharged r1 = Members::recharge(zhou, Currency::parse("50"));
    at(9, 10);
    const Orders::LineAdded order = Orders::addLine(0, apple, Currency::parse("10"));
    const Settlement::CardPaid paid = Settlement::payByCard(order.order, zhou, Currency::parse("20"));
    at(9, 20);
    const Members::Recharged r2 = Members::recharge(zhou, Currency::parse("30"));
    at(9, 30);
    Members::recharge(wu, Currency::parse("40"));
    QVERIFY2(check().clean(), qPrintable(check().text()));
    QCOMPARE(CoreFixture::scalar("select j9 from aj where jid = :a", {{":a", zhou}}).toString(),
             QStringLiteral("160"));

    // The second recharge's balance before changed: only that record breaks the chain.
    tamper("update ah set h4 = 125 where hid = :h", {{":h", r2.record}});
    // Another card's balance changed.
    tamper("update aj set j9 = 45 where jid = :j", {{":j", wu}});
    Ledger::CheckReport report = check();
    QCOMPARE(
        problemsIn(report, "ah"),
        QStringList({QStringLiteral("会员卡 1 的充值记录 %1（2026-12-09 09:20:00）：充值前余额 125 与上一笔"
                                    "（消费记录 %2（2026-12-09 09:10:00））之后的余额 130 不接续|%1")
                         .arg(r2.record)
                         .arg(paid.record)}));
    QVERIFY(report.problems.first().detail.contains(
        QStringLiteral("充值前余额 125 加充值金额 30 不等于充值后余额 160")));
    QCOMPARE(problemsIn(report, "aj"),
             QStringList(
                 {QStringLiteral("会员卡 2 的卡中余额 45 与最后一笔记录（充值记录 %1（2026-12-09 09:30:00））"
                                 "之后的余额 40 不符|2")
                      .arg(r2.record + 1)}));
    QCOMPARE(report.problems.size(), 2);

    // A payment's amount changed, and a first record whose balance went below zero.
    // A card's balance below its chain's end is found as one above it is.
    tamper("update ah set h4 = 130 where hid = :h", {{":h", r2.record}});
    tamper("update aj set j9 = 35 where jid = :j", {{":j", wu}});
    QCOMPARE(problemsIn(check(), "aj"),
             QStringList(
                 {QStringLiteral("会员卡 2 的卡中余额 35 与最后一笔记录（充值记录 %1（2026-12-09 09:30:00））"
                                 "之后的余额 40 不符|2")
                      .arg(r2.record + 1)}));
    tamper("update aj set j9 = 40 where jid = :j", {{":j", wu}});
    tamper("update ag set g2 = 25 where gid = :g", {{":g", paid.record}});
    tamper("update ah set h4 = -10 where hid = :h", {{":h", r1.record}});
    report = check();
    QCOMPARE(
        problemsIn(report, "ag"),
        QStringList({QStringLiteral("会员卡 1 的消费记录 %1（2026-12-09 09:10:00）：上一笔（充值记录 %2"
                                    "（2026-12-09 09:00:00））之后的余额为 150，减去消费金额 25 应为 125，"
                                    "记录的消费后余额却是 130|%1")
                         .arg(paid.record)
                         .arg(r1.record)}));
    QCOMPARE(problemsIn(report, "ah"),
             QStringList({QStringLiteral(
                              "会员卡 1 的充值记录 %1（2026-12-09 09:00:00）：充值前余额 -10 加充值金额 50 "
                              "不等于充值后余额 150|%1")
                              .arg(r1.record)}));
    QVERIFY(report.problems.first().detail.startsWith(QStringLiteral("余额小于零")));
    QCOMPARE(report.problems.size(), 2);

    // Records of a card that is gone.
    tamper("update ag set g6 = '77' where gid = :g", {{":g", paid.record}});
    report = check();
    QVERIFY(problemsIn(report, "ag")
                .contains(
                    QStringLiteral("1 条消费记录的会员卡不存在，例如 '77'（第 %1 行）|%1").arg(paid.record)));
}

void TestLedgerCheck::cardChainOfOneSecond() {
    // Records of one second carry no order of their own: the chain is found among them whatever
    // their keys say.
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "1");
    // A payment of nothing, then a recharge in the same second, after an earlier recharge: the
    // recharge's key is the smaller one (the two tables number their records each on their own),
    // and taken first it would break the chain.
    const qint64 other = newMember("郑华", "100");
    at(10, 0);
    for (int i = 0; i < 3; ++i)
        Settlement::payByCard(Orders::addLine(0, apple, Currency::parse("1")).order, other,
                              Currency::parse("1"));
    const qint64 first = newMember("吴涛", "10");
    at(10, 29);
    Members::recharge(first, Currency::parse("1"));
    at(10, 30);
    const Orders::LineAdded free = Orders::addLine(0, apple, Currency::parse("1"));
    Settlement::payByCard(free.order, first, Currency::parse("0"));
    Members::recharge(first, Currency::parse("5"));
    // Five records of one second, recharges and payments in turn.
    const qint64 card = newMember("周敏", "10");
    Members::recharge(card, Currency::parse("5"));
    const Orders::LineAdded o1 = Orders::addLine(0, apple, Currency::parse("12"));
    Settlement::payByCard(o1.order, card, Currency::parse("12"));
    Members::recharge(card, Currency::parse("7"));
    const Orders::LineAdded o2 = Orders::addLine(0, apple, Currency::parse("1"));
    Settlement::payByCard(o2.order, card, Currency::parse("1"));
    Members::recharge(card, Currency::parse("1"));
    QVERIFY2(check().clean(), qPrintable(check().text()));
    // The chain ends at 10; a balance of 11 is still found.
    tamper("update aj set j9 = 11 where jid = :j", {{":j", card}});
    QCOMPARE(problemsIn(check(), "aj"),
             QStringList(
                 {QStringLiteral("会员卡 %1 的卡中余额 11 与最后一笔记录（充值记录 5（2026-12-09 10:30:00））"
                                 "之后的余额 10 不符|%1")
                      .arg(card)}));
    QCOMPARE(check().problems.size(), 1);
}

void TestLedgerCheck::valuesThatAreNoNumbersOrMoments() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "2");
    const qint64 pear = CoreFixture::product("梨", "50", "2");
    Orders::addLine(0, apple, Currency::parse("1"));
    tamper("update ab set b4 = 'abc' where bid = :b", {{":b", apple}});
    tamper("update ab set b8 = '' where bid = :b", {{":b", pear}});
    tamper("update aa set a1 = '2026-13-01 10:00:00'");
    tamper("update ab set b10 = '2026/12/09' where bid = :b", {{":b", pear}});
    const Ledger::CheckReport report = check();
    QCOMPARE(
        problemsIn(report, "ab"),
        QStringList({QStringLiteral("产品的库存（b4）有 1 行不是数字，例如 'abc'（第 %1 行）|%1").arg(apple),
                     QStringLiteral("产品的零售价（b8）有 1 行不是数字，例如 ''（第 %1 行）|%1").arg(pear),
                     QStringLiteral("产品的建档时间（b10）有 1 行不是“年-月-日 时:分:秒”格式的时间，例如 "
                                    "'2026/12/09'（第 %1 行）|%1")
                         .arg(pear)}));
    QCOMPARE(problemsIn(report, "aa"),
             QStringList({"订单的下单时间（a1）有 1 行不是“年-月-日 时:分:秒”格式的时间，例如 "
                          "'2026-13-01 10:00:00'（第 1 行）|1"}));
    QVERIFY2(report.problems.size() == 4, qPrintable(report.text()));

    // A line whose quantity is no number: its order's total cannot be summed, also where the
    // order has no amount due stored.
    tamper("update ab set b4 = 50, b8 = 2, b10 = null");
    tamper("update aa set a1 = '2026-12-09 10:30:00', a5 = null");
    tamper("update ak set k4 = 'zwei'");
    const Ledger::CheckReport lines = check();
    QCOMPARE(problemsIn(lines, "ak"), QStringList({"订单 1 有 1 条明细的数量或单价不是数字|1"}));
    // Nor can its stock-out record be matched with it.
    QCOMPARE(problemsIn(lines, "ae"), QStringList({"订单 1 中产品 1 的出库记录或明细的数量不是数字|1"}));
    QCOMPARE(lines.problems.size(), 2);

    // A stock-out record's moment that has the shape but is no moment (month 13, day 32, minute
    // or second 60) is found in its row.
    tamper("update ak set k4 = '1'");
    QVERIFY2(check().clean(), qPrintable(check().text()));
    for (const char* moment :
         {"2026-13-09 10:00:00", "2026-12-32 10:00:00", "2026-12-09 10:60:00", "2026-12-09 10:00:60"}) {
        tamper("update ae set e7 = :m", {{":m", QString::fromLatin1(moment)}});
        const QStringList found = problemsIn(check(), "ae");
        QVERIFY2(found.size() == 1 && found.first().contains(QLatin1String(moment)),
                 qPrintable(moment + QStringLiteral(": ") + found.join('\n')));
    }
    tamper("update ae set e7 = '2024-02-29 23:59:59'");
    QVERIFY2(check().clean(), qPrintable(check().text()));
}

void TestLedgerCheck::ordersSettingsAndTheFileItself() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "2");
    const Orders::LineAdded a = Orders::addLine(0, apple, Currency::parse("1"));
    const Orders::LineAdded b = Orders::addLine(0, apple, Currency::parse("1"));
    Settlement::payCash(b.order, Currency::parse("2"));
    tamper("update aa set a2 = '已付' where aid = :a", {{":a", a.order}});
    tamper("update aa set a6 = null where aid = :a", {{":a", b.order}});
    Db::exec(Db::lists(), QStringLiteral("update a5 set run = 'ja'"));
    Ledger::CheckReport report = check();
    QCOMPARE(problemsIn(report, "aa"),
             QStringList({"1 张订单的状态既不是“未结算”也不是“已结算”，例如 '已付'（第 1 行）|1",
                          "1 张已结算的订单没有实收金额，例如 （空）（第 2 行）|2"}));
    QCOMPARE(problemsIn(report, "a5"), QStringList({"设置行（编号 8）的值 'ja' 既不是 '0' 也不是 '1'|8"}));
    Db::exec(Db::lists(), QStringLiteral("delete from a5"));
    QCOMPARE(problemsIn(check(), "a5"), QStringList({"设置行（编号 8）不存在|"}));

    // An index whose entries no longer match its table: the database's own check finds it.
    f.close();
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        raw.setDatabaseName(QDir(f.folder()).filePath(Db::BusinessFile));
        QVERIFY(raw.open());
        // An index of its own (the start makes the program's indexes again when their columns
        // differ), said to be over another column than its entries are.
        Db::exec(raw, QStringLiteral("CREATE INDEX ak_other ON ak (k8)"));
        Db::exec(raw, QStringLiteral("PRAGMA writable_schema = ON"));
        Db::exec(raw, QStringLiteral("update sqlite_master set sql = 'CREATE INDEX ak_other ON ak (k7)' "
                                     "where name = 'ak_other'"));
        raw.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    f.reopen();
    Db::exec(Db::lists(), QStringLiteral("insert into a5 (ids, run) values (8, '1')"));
    report = check(Ledger::FileCheck::Full);
    QVERIFY(!report.problems.isEmpty());
    const Ledger::CheckProblem& damaged = report.problems.first();
    QVERIFY2(damaged.title.startsWith(QStringLiteral("数据库文件 service_a.dll 已损坏")),
             qPrintable(damaged.title));
    QCOMPARE(damaged.table, QString());
    QVERIFY2(damaged.detail.contains(QStringLiteral("ak_other")), qPrintable(damaged.detail));

    // The quick check leaves the indexes to the full one, which the check runs by itself when the
    // shop's last is a week old or more: here the full checks just made count, a week later not.
    const auto damagedFile = [](const Ledger::CheckReport& r) {
        return !r.problems.isEmpty() && r.problems.first().title.contains(QStringLiteral("已损坏"));
    };
    const QDateTime now = QDateTime::currentDateTime();
    QVERIFY(!damagedFile(check(Ledger::FileCheck::Quick)));
    QVERIFY(!Ledger::fullFileCheckDue(f.folder(), now.addDays(6)));
    QVERIFY(!damagedFile(Ledger::checkLedger(Db::business(), Db::lists())));
    QVERIFY(Ledger::fullFileCheckDue(f.folder(), now.addDays(7)));
}

void TestLedgerCheck::cancelledCheckSaysSo() {
    CoreFixture f;
    int seen = 0;
    const Ledger::CheckReport cancelled =
        Ledger::checkLedger(Db::business(), Db::lists(), [&](int, int) { return ++seen < 3; });
    QCOMPARE(seen, 3);
    // A stopped first check of the shop leaves its full check of the files still to do.
    QVERIFY(Ledger::fullFileCheckDue(f.folder(), QDateTime::currentDateTime()));

    QList<std::pair<int, int>> calls;
    const Ledger::CheckReport full =
        Ledger::checkLedger(Db::business(), Db::lists(), [&](int done, int total) {
            calls << std::pair{done, total};
            return true;
        });
    QVERIFY(full.clean());
    QVERIFY(calls.size() > 5);
    QCOMPARE(calls.last().first, calls.last().second);
    for (int i = 1; i < calls.size(); ++i)
        QVERIFY(calls[i].first >= calls[i - 1].first);
    QVERIFY(!Ledger::fullFileCheckDue(f.folder(), QDateTime::currentDateTime()));
    // Stopped: no verdict either way, and no made-up problem of the ledger.
    QVERIFY(cancelled.stopped && !cancelled.clean());
    QCOMPARE(titles(cancelled), QStringList());
    QVERIFY(cancelled.text().contains(QStringLiteral("检查在完成之前被停止，没有结论。")));
    QVERIFY(!cancelled.text().contains(QStringLiteral("未发现问题")));
    QVERIFY(cancelled.checked.size() < full.checked.size());
}

void TestLedgerCheck::toolExitStatusAndLockedFiles() {
    CoreFixture f;
    DemoData::fill(DemoData::countsFor(0.001));
    const QDir dir(f.folder());
    const QString a = dir.filePath(Db::BusinessFile);
    const QString b = dir.filePath(Db::ListsFile);

    // While the files are open (as the running program holds them), the tool stops at once.
    const Run locked = tool({f.folder()});
    QCOMPARE(locked.status, 3);
    QVERIFY2(locked.err.contains(
                 QStringLiteral("程序正在运行，文件被占用 / the program is running (the files are locked)")),
             qPrintable(locked.err));
    QCOMPARE(locked.out, QString());

    f.close();
    const QByteArray beforeA = digest(a), beforeB = digest(b);
    const Run clean = tool({f.folder()});
    QCOMPARE(clean.status, 0);
    QVERIFY2(clean.out.contains(QStringLiteral("未发现问题")), qPrintable(clean.out + clean.err));
    QVERIFY(clean.out.contains(QStringLiteral("订单")));
    // Only read: the files as they were and no log file left beside them.
    QCOMPARE(digest(a), beforeA);
    QCOMPARE(digest(b), beforeB);
    QCOMPARE(dir.entryList({QStringLiteral("*-wal"), QStringLiteral("*-shm"), QStringLiteral("*-journal")},
                           QDir::Files),
             QStringList());

    f.reopen();
    tamper("update aa set a5 = a5 + 1 where aid = 3");
    f.close();
    const Run found = tool({f.folder()});
    QCOMPARE(found.status, 1);
    QVERIFY2(found.out.contains(QStringLiteral("订单 3 的应收金额")), qPrintable(found.out));
    QVERIFY(found.out.contains(QStringLiteral("发现 1 个问题")));

    const Run missing = tool({dir.filePath(QStringLiteral("nowhere"))});
    QCOMPARE(missing.status, 2);
    QVERIFY(missing.err.contains(QStringLiteral("service_a.dll")));
    QCOMPARE(tool({}).status, 2);
    QCOMPARE(tool({QStringLiteral("--bogus"), f.folder()}).status, 2);
    const Run help = tool({QStringLiteral("--help")});
    QCOMPARE(help.status, 0);
    QVERIFY(help.out.contains(QStringLiteral("FOLDER")) &&
            help.out.contains(QStringLiteral("the program is running")));
    const Run version = tool({QStringLiteral("--version")});
    QCOMPARE(version.status, 0);
    QVERIFY(version.out.startsWith(QStringLiteral("vandrel-ledger-check ")));
    f.reopen();
}

QTEST_GUILESS_MAIN(TestLedgerCheck)
#include "tst_ledger_check.moc"
