#include "core/clock.h"
#include "core/errors.h"
#include "corefixture.h"
#include "data/work.h"
#include "ledger/products.h"
#include "ledger/stockin.h"

#include <QSignalSpy>
#include <QTest>

// The product and stock-in operations, without any window.
class TestLedgerWarehouse : public QObject {
    Q_OBJECT
private slots:
    void productIsCreatedWithItsOpeningStockValue();
    void editingLeavesStockValueAndCreationDate();
    void removingKeepsTheRecords();
    void stockInRaisesStockAndWritesTheRecord();
    void stockInWritesBothOrNeither();
};

namespace {

Products::Fields drink(const QString& name, const QString& sale) {
    return {QStringLiteral("饮料"),
            QString(),
            name,
            QStringLiteral("瓶"),
            Currency::parse("8"),
            Currency::parse("10.5"),
            Currency::parse(sale),
            QStringLiteral("冷藏"),
            QStringLiteral("果园")};
}

QString stockOf(qint64 bid) {
    return CoreFixture::rows("select b4, b9 from ab where bid = :a", {{":a", bid}}).value(0);
}

// The tables and keys announced by the commits a spy saw, sorted.
QStringList announced(const QSignalSpy& spy) {
    QStringList tables;
    for (const QList<QVariant>& signal : spy)
        for (const Db::Change& c : signal.at(0).value<Db::Changes>())
            tables << c.table + ":" + QString::number(c.keys.value(0));
    tables.sort();
    return tables;
}

int count(const char* table) {
    return CoreFixture::scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt();
}

} // namespace

void TestLedgerWarehouse::productIsCreatedWithItsOpeningStockValue() {
    CoreFixture f;
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);
    const qint64 juice = Products::create(drink("橙汁", "12.5"), Currency::parse("7"));
    QCOMPARE(juice, qint64(1));
    // The minor category left unchosen is the empty text; the value is stock × sale price.
    QCOMPARE(CoreFixture::rows("select bid,b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12 from ab"),
             QStringList({"1|饮料||橙汁|7|瓶|8|10.5|12.5|87.5|2026-12-09 10:30:00|冷藏|果园"}));
    QCOMPARE(announced(spy), QStringList({"ab:1"}));

    // No stock, or no price, is a product worth nothing.
    const qint64 gift = Products::create(drink("赠品", "0"), Currency::parse("3"));
    const qint64 empty = Products::create(drink("空瓶", "2"), Currency());
    QCOMPARE(gift, qint64(2));
    QCOMPARE(stockOf(gift), QStringLiteral("3|0"));
    QCOMPARE(stockOf(empty), QStringLiteral("0|0"));
}

void TestLedgerWarehouse::editingLeavesStockValueAndCreationDate() {
    CoreFixture f;
    const qint64 chips = CoreFixture::product("薯片", "5", "12.5");
    const qint64 cola = CoreFixture::product("可乐", "1", "3");
    CoreFixture::exec("update ab set b10 = '2026-12-01 08:00:00'");
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);

    Products::Fields changed = drink("番茄薯片", "15");
    changed.major.clear(); // a list showing no entry writes the empty text
    Products::update(chips, changed);
    QCOMPARE(CoreFixture::rows("select b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12 from ab where bid = :a",
                               {{":a", chips}}),
             QStringList({"||番茄薯片|5|瓶|8|10.5|15|62.5|2026-12-01 08:00:00|冷藏|果园"}));
    QCOMPARE(announced(spy), QStringList({"ab:" + QString::number(chips)}));
    // The other product is untouched.
    QCOMPARE(CoreFixture::rows("select b3, b4, b8, b9 from ab where bid = :a", {{":a", cola}}),
             QStringList({"可乐|1|3|3"}));

    // The value keeps the old price for the old stock; the next stock-in adds at the new one.
    StockIn::receive(chips, Currency::parse("2"), QDate(2026, 12, 9));
    QCOMPARE(stockOf(chips), QStringLiteral("7|92.5"));
}

void TestLedgerWarehouse::removingKeepsTheRecords() {
    CoreFixture f;
    const qint64 chips = CoreFixture::product("薯片", "5", "2");
    const qint64 cola = CoreFixture::product("可乐", "1", "3");
    StockIn::receive(chips, Currency::parse("1"), QDate(2026, 12, 9));
    CoreFixture::exec("insert into ak (k3, k7) values ('薯片', :a)", {{":a", QString::number(chips)}});
    CoreFixture::exec("insert into ae (e1, e2) values (:a, '薯片')", {{":a", QString::number(chips)}});
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);

    Products::remove(chips);
    QCOMPARE(CoreFixture::rows("select bid, b3 from ab"), QStringList({QString::number(cola) + "|可乐"}));
    QCOMPARE(announced(spy), QStringList({"ab:" + QString::number(chips)}));
    for (const char* table : {"ac", "ae", "ak"})
        QCOMPARE(count(table), 1);
}

void TestLedgerWarehouse::stockInRaisesStockAndWritesTheRecord() {
    CoreFixture f;
    const qint64 chips = CoreFixture::product("薯片", "5", "12.50");
    const qint64 cola = CoreFixture::product("可乐", "1", "3");
    CoreFixture::exec("update ab set b6 = '8.00', b7 = '10', b12 = '薯片厂' where bid = :a", {{":a", chips}});
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);

    const StockIn::Received r = StockIn::receive(chips, Currency::parse("3"), QDate(2026, 12, 9));
    QCOMPARE(r.record, qint64(1));
    QCOMPARE(r.stock.toString(), QStringLiteral("8"));
    QCOMPARE(r.stockValue.toString(), QStringLiteral("100"));
    QCOMPARE(r.total.toString(), QStringLiteral("37.5"));
    QCOMPARE(stockOf(chips), QStringLiteral("8|100"));
    // The product's own values as the list shows them; the other product is untouched.
    QCOMPARE(CoreFixture::rows("select c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12 from ac"),
             QStringList({QString::number(chips) + "|薯片|3|8|10|12.5|2026-12-09|食品|零食|薯片厂|个|37.5"}));
    QCOMPARE(stockOf(cola), QStringLiteral("1|3"));
    QCOMPARE(announced(spy), QStringList({"ab:" + QString::number(chips), "ac:1"}));

    // Leading zeros add the number and the record keeps them; a quantity of nothing is refused.
    StockIn::receive(chips, Currency::parse("007"), QDate(2026, 12, 10), QStringLiteral("007"));
    for (const char* none : {"0", "000"})
        try {
            StockIn::receive(chips, Currency::parse(none), QDate(2026, 12, 10), QString::fromLatin1(none));
            QFAIL("a stock-in of nothing was written");
        } catch (const Refused& e) {
            QCOMPARE(e.text(), QStringLiteral("数量不能为0"));
        }
    QCOMPARE(stockOf(chips), QStringLiteral("15|187.5"));
    QCOMPARE(CoreFixture::rows("select c3, c7, c12 from ac order by cid"),
             QStringList({"3|2026-12-09|37.5", "007|2026-12-10|87.5"}));

    // Nine digits, the most the box takes, at a price with cents.
    const StockIn::Received big =
        StockIn::receive(cola, Currency::parse("999999999"), QDate(2026, 12, 9), QStringLiteral("999999999"));
    QCOMPARE(big.stock.toString(), QStringLiteral("1000000000"));
    QCOMPARE(big.total.toString(), QStringLiteral("2999999997"));
    QCOMPARE(stockOf(cola), QStringLiteral("1000000000|3000000000"));

    // A renamed product's earlier records keep the name they were written with.
    Products::update(chips, {"食品", "零食", "新薯片", "个", {}, {}, Currency::parse("12.5"), {}, {}});
    QCOMPARE(CoreFixture::scalar("select count(*) from ac where c2 = '薯片'").toInt(), 2);
}

void TestLedgerWarehouse::stockInWritesBothOrNeither() {
    CoreFixture f;
    const qint64 chips = CoreFixture::product("薯片", "5", "12.50");
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);

    // The record cannot be written: the raised stock is rolled back with it.
    CoreFixture::exec("alter table ac rename to ac_away");
    QVERIFY_THROWS_EXCEPTION(DatabaseError,
                             StockIn::receive(chips, Currency::parse("3"), QDate(2026, 12, 9)));
    CoreFixture::exec("alter table ac_away rename to ac");
    QCOMPARE(stockOf(chips), QStringLiteral("5|62.5"));
    QCOMPARE(count("ac"), 0);

    // A stored value that is no number stops it before anything is written.
    CoreFixture::exec("update ab set b9 = null");
    try {
        StockIn::receive(chips, Currency::parse("2"), QDate(2026, 12, 9));
        QFAIL("an empty stock value was taken as a number");
    } catch (const ConversionError& e) {
        // The message names the row and the column holding it.
        QCOMPARE(e.text(),
                 QStringLiteral("'' is not a valid floating point value（表 ab 中 bid 为 %1 的行，列 b9）")
                     .arg(chips));
    }
    QCOMPARE(stockOf(chips), QStringLiteral("5|"));
    QCOMPARE(count("ac"), 0);

    // A product that is gone is refused.
    try {
        StockIn::receive(chips + 1, Currency::parse("2"), QDate(2026, 12, 9));
        QFAIL("a missing product was received");
    } catch (const Refused& e) {
        QCOMPARE(e.text(), QStringLiteral("找不到该产品"));
    }
    QCOMPARE(count("ac"), 0);
    QCOMPARE(spy.count(), 0);
}

QTEST_GUILESS_MAIN(TestLedgerWarehouse)
#include "tst_ledger_warehouse.moc"
