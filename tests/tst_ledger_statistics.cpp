#include "core/clock.h"
#include "corefixture.h"
#include "data/schema.h"
#include "ledger/check.h"
#include "ledger/costs.h"
#include "ledger/members.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledger/staff.h"
#include "ledger/statistics.h"

#include <QDir>
#include <QSqlRecord>
#include <QTest>

// The statistics of a period, without any window, over a small shop whose figures are worked out
// by hand.
class TestLedgerStatistics : public QObject {
    Q_OBJECT
private slots:
    void dayOfASmallShop();
    void stockOutRecordsKeepTheCostOfTheirMoment();
    void periodsAndTheirBoundaries();
    void chartsAndRankings();
    void eachRankingOrdersByItsOwnFigure_data();
    void eachRankingOrdersByItsOwnFigure();
    void olderFilesGainTheCostColumn();
    void daySummaryFollowsTheRecordsAndIsChecked();
    void returnsCountOnTheDayOfTheReturn_data();
    void returnsCountOnTheDayOfTheReturn();
    void returnLinesOfAnEarlierFileCountAtTheirLinesPrice();
};

namespace {

using namespace Statistics;

void at(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    Clock::setFixed(QDateTime(QDate(year, month, day), QTime(hour, minute, second)));
}

void setCost(qint64 key, const QString& name, const QString& major, const QString& cost,
             const QString& sale) {
    Products::update(key, CoreFixture::snack(name, major, cost, sale));
}

// A stock-out record as versions without the cost price wrote it.
void recordWithoutCost(const QString& when, const QString& quantity, const QString& price) {
    CoreFixture::exec("insert into ae (e1, e2, e3, e6, e7, e8, e9, e11, e12) values "
                      "('99', '旧货', :q, :p, :t, '其他', '', '0', '个')",
                      {{":q", quantity}, {":p", price}, {":t", when}});
}

QStringList rows(const Statement& s) {
    return CoreFixture::rows(s.sql, s.params);
}

QStringList figures(const Summary& s) {
    return {s.sales.toString(),
            s.costedSales.toString(),
            s.cost.toString(),
            s.profit.toString(),
            s.marginText(),
            QString::number(s.records),
            s.withoutCostText(),
            QString::number(s.orders),
            s.amountDue.toString(),
            s.averageOrder().toString(),
            s.received.toString(),
            QString::number(s.unsettled),
            s.unsettledDue.toString(),
            s.recharges.toString(),
            s.cardPayments.toString(),
            s.cardBalance.toString()};
}

const Period Dec9{QDate(2026, 12, 9), QDate(2026, 12, 9)};

// The hand-made shop's 2026-12-09; the figures are worked out in dayOfASmallShop.
struct Shop {
    qint64 apple = 0, cola = 0, card = 0;
};

Shop buildShop() {
    Shop s;
    at(2026, 12, 1, 8);
    s.apple = CoreFixture::stockedSnack("苹果", "食品", "1.2", "2.5");
    s.cola = CoreFixture::stockedSnack("可乐", "饮料", "2", "3");
    s.card = Members::create({"张三", {}, {}, {}, {}, "先生", {}, {}}, Currency::parse("50"));
    at(2026, 12, 9, 9);
    recordWithoutCost("2026-12-09 09:00:00", "1", "8");
    // Order 1: 4 apples and 2 colas; the colas go back after cola's cost rose.
    at(2026, 12, 9, 10, 30);
    const Orders::LineAdded first = Orders::addLine(0, s.apple, Currency::parse("4"));
    const Orders::LineAdded colas = Orders::addLine(first.order, s.cola, Currency::parse("2"));
    setCost(s.cola, "可乐", "饮料", "2.5", "3");
    at(2026, 12, 9, 10, 40);
    Orders::removeLine(colas.line);
    Members::recharge(s.card, Currency::parse("20"));
    // Due 10, paid 9 from the card: a discount of 1.
    Settlement::payByCard(first.order, s.card, Currency::parse("9"));
    // Order 2: 3 colas at the new cost; the order is deleted, the goods are gone.
    at(2026, 12, 9, 11);
    const Orders::LineAdded second = Orders::addLine(0, s.cola, Currency::parse("3"));
    Orders::remove(second.order);
    // Order 3: 2 apples, not paid yet.
    at(2026, 12, 9, 12);
    Orders::addLine(0, s.apple, Currency::parse("2"));
    return s;
}

} // namespace

void TestLedgerStatistics::dayOfASmallShop() {
    CoreFixture f;
    const Shop shop = buildShop();
    // Sales: 8 (no cost) + 4×2.5 + 2×3 − 2×3 + 3×3 + 2×2.5 = 32.
    // With cost: 24, costing 4×1.2 + 2×2 − 2×2 + 3×2.5 + 2×1.2 = 14.7: profit 9.3, 38.75% rounds to 38.8%.
    // Orders: 1 (due 10, received 9 by card) and 3 (due 5, unsettled); order 2 is deleted.
    // Cards: 20 recharged, 9 paid, 50 + 20 − 9 = 61 held.
    const QStringList expected = {"32", "24", "14.7", "9.3", "38.8%", "6", "1 条记录无成本价，未计入毛利",
                                  "2",  "15", "7.5",  "9",   "1",     "5", "20",
                                  "9",  "61"};
    QCOMPARE(figures(summary(Dec9)), expected);

    // Editing a product's cost rewrites no past profit.
    at(2026, 12, 9, 18);
    setCost(shop.apple, "苹果", "食品", "2", "2.5");
    QCOMPARE(figures(summary(Dec9)), expected);

    const Glance g = glance(QDate(2026, 12, 9));
    QCOMPARE(g.sales.toString(), QStringLiteral("32"));
    QCOMPARE(g.profit.toString(), QStringLiteral("9.3"));
    QCOMPARE(g.orders, 2);
    QCOMPARE(g.withoutCost, 1);

    // The average order is given to the cent.
    Summary average;
    for (const auto& [due, orders, expected] :
         {std::tuple{"10", 3, "3.33"}, std::tuple{"20", 3, "6.67"}, std::tuple{"0.05", 2, "0.03"},
          std::tuple{"-0.05", 2, "-0.03"}, std::tuple{"44.555", 1, "44.56"}}) {
        average.amountDue = Currency::parse(QString::fromLatin1(due));
        average.orders = orders;
        QCOMPARE(average.averageOrder().toString(), QString::fromLatin1(expected));
    }

    // The day before and after hold nothing; a day without costed sales has no margin.
    const Summary empty = summary({QDate(2026, 12, 10), QDate(2026, 12, 10)});
    QCOMPARE(figures(empty).mid(0, 11), QStringList({"0", "0", "0", "0", "—", "0", "", "0", "0", "0", "0"}));
    QCOMPARE(empty.cardBalance.toString(), QStringLiteral("61"));
}

void TestLedgerStatistics::stockOutRecordsKeepTheCostOfTheirMoment() {
    CoreFixture f;
    buildShop();
    // The reversal carries the cost of the record it reverses (2), not the cost since (2.5).
    QCOMPARE(CoreFixture::rows("select e2, e3, e6, e13 from ae order by eid"),
             QStringList({"旧货|1|8|", "苹果|4|2.5|1.2", "可乐|2|3|2", "可乐|-2|3|2", "可乐|3|3|2.5",
                          "苹果|2|2.5|1.2"}));

    // A product without a cost price, or with one that is no number (an older file), still sells;
    // its records carry no cost.
    at(2026, 12, 10, 9);
    const qint64 bare = CoreFixture::product("散装糖", "10", "4");
    const qint64 odd = CoreFixture::product("怪价", "10", "4");
    if (CoreFixture::onServer()) {
        // The server's number column cannot hold a text: a cost that is not there instead.
        CoreFixture::exec("update ab set b6 = null where bid = :a", {{":a", odd}});
    } else {
        CoreFixture::exec("PRAGMA ignore_check_constraints = ON");
        CoreFixture::exec("update ab set b6 = '一块' where bid = :a", {{":a", odd}});
        CoreFixture::exec("PRAGMA ignore_check_constraints = OFF");
    }
    const Orders::LineAdded sold = Orders::addLine(0, bare, Currency::parse("1"));
    Orders::addLine(sold.order, odd, Currency::parse("1"));
    Orders::removeLine(sold.line);
    QCOMPARE(CoreFixture::rows("select e2, e3, case when e13 is null then 1 else 0 end from ae where e7 like "
                               "'2026-12-10%' order by eid"),
             QStringList({"散装糖|1|1", "怪价|1|1", "散装糖|-1|1"}));
    const Summary s = summary({QDate(2026, 12, 10), QDate(2026, 12, 10)});
    QCOMPARE(s.sales.toString(), QStringLiteral("4"));
    QCOMPARE(s.profit.toString(), QStringLiteral("0"));
    QCOMPARE(s.withoutCostText(), QStringLiteral("3 条记录无成本价，未计入毛利"));
}

void TestLedgerStatistics::periodsAndTheirBoundaries() {
    // The choices; a week starts on Monday (2026-12-09 is a Wednesday).
    const QDate wed(2026, 12, 9);
    QCOMPARE(period(Span::Today, wed), (Period{wed, wed}));
    QCOMPARE(period(Span::Week, wed), (Period{QDate(2026, 12, 7), QDate(2026, 12, 13)}));
    QCOMPARE(period(Span::Week, QDate(2026, 12, 13)), (Period{QDate(2026, 12, 7), QDate(2026, 12, 13)}));
    QCOMPARE(period(Span::Week, QDate(2026, 12, 14)), (Period{QDate(2026, 12, 14), QDate(2026, 12, 20)}));
    QCOMPARE(period(Span::Month, wed), (Period{QDate(2026, 12, 1), QDate(2026, 12, 31)}));
    QCOMPARE(period(Span::Month, QDate(2028, 2, 10)), (Period{QDate(2028, 2, 1), QDate(2028, 2, 29)}));
    QCOMPARE(period(Span::Month, QDate(2027, 2, 28)), (Period{QDate(2027, 2, 1), QDate(2027, 2, 28)}));
    QCOMPARE(period(Span::Year, wed), (Period{QDate(2026, 1, 1), QDate(2026, 12, 31)}));
    QVERIFY(!period(Span::Month, wed).byMonth());
    QVERIFY(period(Span::Year, wed).byMonth());
    QVERIFY(!Period({QDate(2026, 1, 1), QDate(2026, 3, 3)}).byMonth()); // 62 days
    QVERIFY(Period({QDate(2026, 1, 1), QDate(2026, 3, 4)}).byMonth());

    CoreFixture f;
    // Records a second either side of midnight, of a month's end and of the leap day.
    for (const char* when : {"2026-12-08 23:59:59", "2026-12-09 00:00:00", "2026-11-30 23:59:59",
                             "2026-12-31 23:59:59", "2027-01-01 00:00:00", "2028-02-28 23:59:59",
                             "2028-02-29 00:00:00", "2028-02-29 23:59:59", "2028-03-01 00:00:00"})
        recordWithoutCost(QString::fromLatin1(when), "1", "1");
    auto count = [](const Period& p) {
        return summary(p).records;
    };
    QCOMPARE(count({QDate(2026, 12, 9), QDate(2026, 12, 9)}), 1);
    QCOMPARE(count({QDate(2026, 12, 8), QDate(2026, 12, 8)}), 1);
    QCOMPARE(count(period(Span::Month, QDate(2026, 12, 9))), 3);
    QCOMPARE(count(period(Span::Month, QDate(2026, 11, 9))), 1);
    QCOMPARE(count(period(Span::Year, QDate(2026, 5, 1))), 4);
    QCOMPARE(count({QDate(2028, 2, 29), QDate(2028, 2, 29)}), 2);
    QCOMPARE(count(period(Span::Month, QDate(2028, 2, 1))), 3);
    QCOMPARE(count({QDate(2026, 12, 1), QDate(2028, 2, 29)}), 7);

    // Per day within a month, per month over a long period; a leap year's February has 29 days.
    QCOMPARE(rows(perDay(period(Span::Month, QDate(2028, 2, 1)))),
             QStringList({"2028-02-28|1|0|0|1|1", "2028-02-29|2|0|0|2|2"}));
    QCOMPARE(rows(perDay({QDate(2026, 11, 1), QDate(2027, 1, 31)})),
             QStringList({"2026-11|1|0|0|1|1", "2026-12|3|0|0|3|3", "2027-01|1|0|0|1|1"}));
    QCOMPARE(buckets(period(Span::Month, QDate(2028, 2, 1))).size(), 29);
    QCOMPARE(buckets(period(Span::Month, QDate(2028, 2, 1))).last(), QStringLiteral("2028-02-29"));
    QCOMPARE(buckets(period(Span::Year, QDate(2028, 2, 1))),
             QStringList({"2028-01", "2028-02", "2028-03", "2028-04", "2028-05", "2028-06", "2028-07",
                          "2028-08", "2028-09", "2028-10", "2028-11", "2028-12"}));
    QCOMPARE(buckets({QDate(2026, 11, 15), QDate(2027, 1, 20)}),
             QStringList({"2026-11", "2026-12", "2027-01"}));
}

void TestLedgerStatistics::chartsAndRankings() {
    CoreFixture f;
    const Shop shop = buildShop();
    at(2026, 12, 10, 9);
    Orders::addLine(0, shop.cola, Currency::parse("1"));

    // riqi, sales, cost, profit, records without cost, records.
    QCOMPARE(rows(perDay({QDate(2026, 12, 9), QDate(2026, 12, 10)})),
             QStringList({"2026-12-09|32|14.7|9.3|1|6", "2026-12-10|3|2.5|0.5|0|1"}));
    // The month as a whole, by product: apples sold 6 for 15 (profit 7.8); colas 2 − 2 + 3 + 1 = 4
    // for 12 (profit 12 − 10 = 2); the old goods 1 for 8, without cost.
    const Period december = period(Span::Month, QDate(2026, 12, 9));
    QCOMPARE(rows(topProducts(december, Ranking::Sales)),
             QStringList({"1|苹果|6|15|7.8|0", "2|可乐|4|12|2|0", "99|旧货|1|8|0|1"}));
    QCOMPARE(rows(topProducts(december, Ranking::Quantity)).value(0), QStringLiteral("1|苹果|6|15|7.8|0"));
    QCOMPARE(rows(topProducts(december, Ranking::Quantity)).value(1), QStringLiteral("2|可乐|4|12|2|0"));
    QCOMPARE(rows(topProducts(december, Ranking::Profit)),
             QStringList({"1|苹果|6|15|7.8|0", "2|可乐|4|12|2|0", "99|旧货|1|8|0|1"}));
    QCOMPARE(rows(perCategory(december)), QStringList({"食品|6|15|7.8", "饮料|4|12|2", "其他|1|8|0"}));
    QCOMPARE(rows(members(december)), QStringList({"2026-12-09|20|9"}));

    // Only ten products are ranked; by quantity the most sold comes first.
    at(2026, 12, 11, 9);
    qint64 order = 0;
    for (int i = 1; i <= 11; ++i) {
        const qint64 p = CoreFixture::stockedSnack(QStringLiteral("商品%1").arg(i), "其他", "1", "2");
        order = Orders::addLine(order, p, Currency::fromInt(i)).order;
    }
    const QStringList top = rows(topProducts({QDate(2026, 12, 11), QDate(2026, 12, 11)}, Ranking::Quantity));
    QCOMPARE(top.size(), 10);
    QVERIFY2(top.first().startsWith("13|商品11|11|22|11|"), qPrintable(top.first()));
    QVERIFY2(top.last().startsWith("4|商品2|2|4|2|"), qPrintable(top.last()));
}

void TestLedgerStatistics::eachRankingOrdersByItsOwnFigure_data() {
    QTest::addColumn<int>("ranking");
    QTest::addColumn<QStringList>("expected");
    // key, name, quantity, sales, profit, records without cost.
    const QString many = QStringLiteral("1|瓜子|10|20|10|0"), dear = QStringLiteral("2|茶叶|3|30|27|0"),
                  one = QStringLiteral("3|酒|1|40|5|0");
    QTest::newRow("sales") << int(Ranking::Sales) << QStringList{one, dear, many};
    QTest::newRow("quantity") << int(Ranking::Quantity) << QStringList{many, dear, one};
    QTest::newRow("profit") << int(Ranking::Profit) << QStringList{dear, many, one};
}

void TestLedgerStatistics::eachRankingOrdersByItsOwnFigure() {
    QFETCH(int, ranking);
    QFETCH(QStringList, expected);
    CoreFixture f;
    at(2026, 12, 12, 9);
    // Three products each first by another figure: the most sold, the most profitable, the
    // dearest sale.
    const qint64 many = CoreFixture::stockedSnack("瓜子", "食品", "1", "2");
    const qint64 dear = CoreFixture::stockedSnack("茶叶", "饮料", "1", "10");
    const qint64 one = CoreFixture::stockedSnack("酒", "饮料", "35", "40");
    const qint64 order = Orders::addLine(0, many, Currency::fromInt(10)).order;
    Orders::addLine(order, dear, Currency::fromInt(3));
    Orders::addLine(order, one, Currency::fromInt(1));
    QCOMPARE(rows(topProducts({QDate(2026, 12, 12), QDate(2026, 12, 12)}, Ranking(ranking))), expected);
}

void TestLedgerStatistics::olderFilesGainTheCostColumn() {
    if (CoreFixture::onServer())
        QSKIP("files of an older version exist only as files");
    CoreFixture f;
    f.close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
        db.setDatabaseName(QDir(f.folder()).absoluteFilePath(Db::BusinessFile));
        QVERIFY(db.open());
        // A file of an earlier version: no cost column, no day summary.
        Db::exec(db, "drop trigger ae_day_insert");
        Db::exec(db, "drop trigger ae_day_delete");
        Db::exec(db, "drop trigger ae_day_update");
        Db::exec(db, "drop table ae_day");
        Db::exec(db, "drop index ae_sold");
        Db::exec(db, "alter table ae drop column e13");
        // Its date indexes were narrower, under the same names.
        Db::exec(db, "drop index aa_a1");
        Db::exec(db, "create index aa_a1 on aa (a1)");
        Db::exec(db, "drop index ag_g3");
        Db::exec(db, "CREATE INDEX ag_g3 ON ag (g3)");
        Db::exec(db,
                 "insert into ae (e1, e2, e3, e6, e7) values ('1', '旧', '2', '5', '2026-12-09 08:00:00')");
        db.close();
    }
    QSqlDatabase::removeDatabase("older");
    QVERIFY(Schema::fileProblem(QDir(f.folder()).absoluteFilePath(Db::BusinessFile), Schema::businessTables())
                .isEmpty());
    f.reopen();
    QCOMPARE(CoreFixture::rows("select e2, e13 is null from ae"), QStringList({"旧|1"}));
    // The day summary was made from the records there were.
    QCOMPARE(CoreFixture::rows("select * from ae_day"), QStringList({"2026-12-09||1|1|20000|100000|0|0"}));
    QCOMPARE(Schema::upgradeBusinessFile(Db::business()), QStringList());
    QVERIFY(CoreFixture::scalar("select count(*) from sqlite_master where name = 'ae_sold'").toInt() == 1);
    // The narrower indexes were made again as they are now.
    QCOMPARE(
        CoreFixture::rows("select sql from sqlite_master where name in ('aa_a1', 'ag_g3') order by name"),
        QStringList({"CREATE INDEX aa_a1 ON aa (a1, a2, a5, a6)", "CREATE INDEX ag_g3 ON ag (g3, g2)"}));
    const Summary s = summary(Dec9);
    QCOMPARE(s.sales.toString(), QStringLiteral("10"));
    QCOMPARE(s.profit.toString(), QStringLiteral("0"));
    QCOMPARE(s.marginText(), QStringLiteral("—"));
    QCOMPARE(s.withoutCostText(), QStringLiteral("1 条记录无成本价，未计入毛利"));
}

void TestLedgerStatistics::daySummaryFollowsTheRecordsAndIsChecked() {
    CoreFixture f;
    buildShop();
    // The ledger check reads the files; on a server the summary is followed all the same.
    const bool server = CoreFixture::onServer();
    auto problems = [server] {
        QStringList titles;
        if (server)
            return titles;
        for (const Ledger::CheckProblem& p : Ledger::checkLedger(Db::business(), Db::lists()).problems)
            if (p.title.contains(QStringLiteral("出库汇总")))
                titles << p.title;
        return titles;
    };
    const QStringList kept = CoreFixture::rows("select * from ae_day order by d, e8");
    QCOMPARE(kept, CoreFixture::rows(Schema::daySummaryStatement() + " order by d, e8"));
    QCOMPARE(kept, QStringList({"2026-12-09|其他|1|1|10000|80000|0|0",
                                "2026-12-09|食品|2|0|60000|150000|150000|72000",
                                "2026-12-09|饮料|3|0|30000|90000|90000|75000"}));
    QCOMPARE(problems(), QStringList());

    // Another tool's change and delete are followed; a day changed behind the program's back is
    // found.
    CoreFixture::exec("update ae set e3 = '2', e8 = '食品' where e2 = '旧货'");
    QCOMPARE(CoreFixture::rows("select * from ae_day where e8 = '其他'"), QStringList());
    QCOMPARE(summary(Dec9).sales.toString(), QStringLiteral("40"));
    QCOMPARE(problems(), QStringList());
    CoreFixture::exec("delete from ae where e2 = '旧货'");
    QCOMPARE(problems(), QStringList());
    if (server)
        return;
    CoreFixture::exec("update ae_day set sales = sales + 1 where e8 = '食品'");
    CoreFixture::exec("insert into ae_day values ('2026-12-31', '食品', 1, 0, 1, 1, 1, 1)");
    QCOMPARE(problems(), QStringList({"2 天的出库汇总与出库记录不符（2026-12-09、2026-12-31）"}));
    Schema::rebuildDaySummary(Db::business());
    QCOMPARE(problems(), QStringList());
    QCOMPARE(summary(Dec9).sales.toString(), QStringLiteral("24"));
}

void TestLedgerStatistics::returnsCountOnTheDayOfTheReturn_data() {
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<QStringList>("returnDay"); // sales, cost, profit, written off, its cost
    QTest::addColumn<QStringList>("both");      // the same over the day of the sale and of the return
    QTest::addColumn<QStringList>("perDay");
    QTest::addColumn<QStringList>("categories");
    QTest::addColumn<QStringList>("products");
    // Sold on the 9th: 4 chips (cost 1, price 2.5) and 2 colas (cost 2, price 3): sales 16, cost 8,
    // profit 8. On the 10th a chip and a cola come back.
    // Back to stock: the 10th falls by their sales 5.5, cost 3 and profit 2.5; what stays sold
    // (3 chips, 1 cola) made 4.5 + 1 = 5.5.
    QTest::newRow("back to stock") << false << QStringList{"-5.5", "-3", "-2.5", "0", "0"}
                                   << QStringList{"10.5", "5", "5.5", "0", "0"}
                                   << QStringList{"2026-12-09|16|8|8|0|2", "2026-12-10|-5.5|-3|-2.5|0|2"}
                                   << QStringList{"食品|3|7.5|4.5", "饮料|1|3|1"}
                                   << QStringList{"1|薯片|3|7.5|4.5|0", "2|可乐|1|3|1|0"};
    // Written off: the sales come off, the cost stays a loss: the 10th's profit falls by the whole
    // 5.5 (their profit 2.5 and their cost 3), and what was sold made 5.5 − 3 = 2.5.
    QTest::newRow("written off") << true << QStringList{"-5.5", "0", "-5.5", "5.5", "3"}
                                 << QStringList{"10.5", "8", "2.5", "5.5", "3"}
                                 << QStringList{"2026-12-09|16|8|8|0|2", "2026-12-10|-5.5|0|-5.5|0|0"}
                                 << QStringList{"食品|3|7.5|3.5", "饮料|1|3|-1"}
                                 << QStringList{"1|薯片|3|7.5|3.5|0", "2|可乐|1|3|-1|0"};
}

void TestLedgerStatistics::returnsCountOnTheDayOfTheReturn() {
    QFETCH(bool, damaged);
    QFETCH(QStringList, returnDay);
    QFETCH(QStringList, both);
    QFETCH(QStringList, perDay);
    QFETCH(QStringList, categories);
    QFETCH(QStringList, products);
    CoreFixture f;
    at(2026, 12, 1, 8);
    const qint64 chips = CoreFixture::stockedSnack("薯片", "食品", "1", "2.5");
    const qint64 cola = CoreFixture::stockedSnack("可乐", "饮料", "2", "3");
    at(2026, 12, 9, 10);
    const qint64 order = Orders::addLine(0, chips, Currency::parse("4")).order;
    Orders::addLine(order, cola, Currency::parse("2"));
    // A discount: the money given back is the lines' share of 15, the figures stay at the prices.
    Settlement::payCash(order, Currency::parse("15"));
    // The cost of cola rises after the sale: the return keeps the cost of the sale.
    setCost(cola, "可乐", "饮料", "2.8", "3");
    at(2026, 12, 10, 9);
    QList<Returns::Line> back;
    for (const Returns::Returnable& r : Returns::returnable(order))
        back << Returns::Line{r.line, Currency::parse("1"), damaged};
    QCOMPARE(Returns::make(order, back, Returns::Way::Cash, "坏了").refund.toString(),
             QStringLiteral("5.15"));

    const auto money = [](const Summary& s) {
        return QStringList{s.sales.toString(), s.cost.toString(), s.profit.toString(),
                           s.writtenOff.toString(), s.writtenOffCost.toString()};
    };
    const Period dec10{QDate(2026, 12, 10), QDate(2026, 12, 10)};
    const Period twoDays{QDate(2026, 12, 9), QDate(2026, 12, 10)};
    QCOMPARE(money(summary(Dec9)), QStringList({"16", "8", "8", "0", "0"}));
    QCOMPARE(money(summary(dec10)), returnDay);
    // A day of returns only has sales below zero: no margin to give.
    QCOMPARE(summary(dec10).marginText(), QStringLiteral("—"));
    QCOMPARE(money(summary(twoDays)), both);
    QCOMPARE(glance(QDate(2026, 12, 10)).profit.toString(), returnDay[2]);
    // The returns figure: on the day of the return, not of the sale.
    QCOMPARE(summary(Dec9).returns, 0);
    QCOMPARE(summary(dec10).returns, 1);
    QCOMPARE(summary(twoDays).refunded.toString(), QStringLiteral("5.15"));
    QCOMPARE(rows(Statistics::perDay(twoDays)), perDay);
    QCOMPARE(rows(perCategory(twoDays)), categories);
    QCOMPARE(rows(topProducts(twoDays, Ranking::Sales)), products);
    // Nothing of the stock was invented: the ledger's own check finds the shop whole.
    QCOMPARE(CoreFixture::scalar("select b4 from ab where bid = :p", {{":p", chips}}).toLongLong(),
             damaged ? 96 : 97);
    const Ledger::CheckReport report = Ledger::checkLedger(Db::business(), Db::lists());
    QVERIFY2(report.clean(), qPrintable(report.text()));

    // A cashier, who may not see costs, gets the same sales and no cost: none is even read.
    Staff::addOperator("老板", Staff::OwnerRole, "1234");
    Staff::actAs(
        Staff::Operator{Staff::addOperator("小王", Staff::CashierRole, "5678"), "小王", Staff::CashierRole});
    Costs::follow();
    const Summary cashier = summary(twoDays);
    QVERIFY(!cashier.withCosts);
    QCOMPARE(money(cashier), QStringList({both[0], "0", "0", both[3], "0"}));
    for (const Statement& s :
         {Statistics::perDay(twoDays), perCategory(twoDays), topProducts(twoDays, Ranking::Profit)})
        QVERIFY2(!s.sql.contains("cost") && !s.sql.contains("e13"), qPrintable(s.sql));
    QCOMPARE(rows(Statistics::perDay(twoDays)).value(1),
             perDay[1].section('|', 0, 1) + "|" + perDay[1].section('|', 5));
    Staff::actAs(std::nullopt);
    Costs::follow();
}

void TestLedgerStatistics::returnLinesOfAnEarlierFileCountAtTheirLinesPrice() {
    if (CoreFixture::onServer())
        QSKIP("files of an older version exist only as files");
    CoreFixture f;
    at(2026, 12, 9, 8);
    const qint64 chips = CoreFixture::stockedSnack("薯片", "食品", "1", "2.5");
    const qint64 order = Orders::addLine(0, chips, Currency::parse("2")).order;
    Settlement::payCash(order, Currency::parse("5"));
    Returns::make(order, {{Returns::returnable(order).first().line, Currency::parse("1"), true}},
                  Returns::Way::Cash, {});
    f.close();
    {
        // The return lines as the first version of returns kept them: no price, no category.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
        db.setDatabaseName(QDir(f.folder()).absoluteFilePath(Db::BusinessFile));
        QVERIFY(db.open());
        Db::exec(db, "alter table return_lines drop column price");
        Db::exec(db, "alter table return_lines drop column category");
        db.close();
    }
    QSqlDatabase::removeDatabase("older");
    f.reopen();
    QCOMPARE(CoreFixture::rows("select coalesce(price, '-'), coalesce(category, '-') from return_lines"),
             QStringList({"-|-"}));
    QCOMPARE(Schema::upgradeBusinessFile(Db::business()), QStringList());
    // The written-off chip still takes its sale back, at its line's price: 5 − 2.5.
    const Summary s = summary(Dec9);
    QCOMPARE(s.sales.toString(), QStringLiteral("2.5"));
    QCOMPARE(s.writtenOff.toString(), QStringLiteral("2.5"));
    QCOMPARE(s.profit.toString(), QStringLiteral("0.5"));
    QCOMPARE(rows(perCategory(Dec9)), QStringList({"食品|2|5|3", "|-1|-2.5|-2.5"}));
}

QTEST_GUILESS_MAIN(TestLedgerStatistics)
#include "tst_ledger_statistics.moc"
