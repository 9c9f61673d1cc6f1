#include "core/clock.h"
#include "core/money.h"
#include "corefixture.h"
#include "ledger/demoshop.h"
#include "ledger/orders.h"

#include <QSet>
#include <QTest>

// The demo shop, written through the shop's operations: it must look like a shop and keep every
// rule a shop keeper's own work keeps.
class TestLedgerDemoShop : public QObject {
    Q_OBJECT
private slots:
    void aYearOfAShopOnEveryPage();
    void everyRuleHolds();
    void stoppingKeepsTheDaysWritten();
};

namespace {

QSet<QString> listEntries(const QString& table) {
    QSet<QString> entries;
    QSqlQuery q = Db::exec(Db::lists(), QStringLiteral("select z1 from %1").arg(table));
    while (q.next())
        entries << q.value(0).toString();
    return entries;
}

} // namespace

void TestLedgerDemoShop::aYearOfAShopOnEveryPage() {
    CoreFixture f;
    const DemoShop::Written w = DemoShop::fill({QDate(2026, 12, 9), 365, 7});
    QVERIFY(!w.stopped);
    // The clock is the system's again, not the fixture's nor the last moment written.
    QVERIFY(qAbs(Clock::now().secsTo(QDateTime::currentDateTime())) < 60);

    QCOMPARE(CoreFixture::scalar("select count(*) from ab").toInt(), w.products);
    QVERIFY2(w.products >= 150 && w.products <= 500, qPrintable(QString::number(w.products)));
    // Names fit their categories and units; both come from the starter pick lists.
    const QSet<QString> majors = listEntries("a1"), minors = listEntries("a2"), units = listEntries("a3");
    QSqlQuery p = CoreFixture::exec("select b1, b2, b3, b5 from ab");
    QSet<QString> names;
    while (p.next()) {
        QVERIFY2(majors.contains(p.value(0).toString()), qPrintable(p.value(0).toString()));
        QVERIFY2(minors.contains(p.value(1).toString()), qPrintable(p.value(1).toString()));
        QVERIFY2(units.contains(p.value(3).toString()), qPrintable(p.value(3).toString()));
        names << p.value(2).toString();
    }
    QCOMPARE(names.size(), w.products); // no name twice
    QCOMPARE(CoreFixture::rows("select b1, b2, b5 from ab where b3 like '%矿泉水 550ml'"),
             QStringList({"饮料|矿泉水|瓶", "饮料|矿泉水|瓶"}));
    QCOMPARE(CoreFixture::scalar("select count(*) from ab where b1 = '饮料' and b3 like '%洗发水%'").toInt(),
             0);

    // Orders on every month of the year, most of them settled, in cash and from cards.
    QCOMPARE(CoreFixture::scalar("select count(distinct substr(a1, 1, 7)) from aa").toInt(), 13);
    QCOMPARE(CoreFixture::scalar("select min(a1) >= '2025-12-10' and max(a1) < '2026-12-10' from aa").toInt(),
             1);
    const int orders = CoreFixture::scalar("select count(*) from aa").toInt();
    const int settled = CoreFixture::scalar("select count(*) from aa where a2 = '已结算'").toInt();
    QCOMPARE(orders, w.orders);
    QVERIFY2(orders >= 1000, qPrintable(QString::number(orders)));
    QVERIFY2(settled * 10 >= orders * 9 && settled < orders,
             qPrintable(QString("%1/%2").arg(settled).arg(orders)));
    const int byCard = CoreFixture::scalar("select count(*) from ag").toInt();
    QCOMPARE(byCard, w.cardPayments);
    QVERIFY(byCard * 10 > settled && byCard * 2 < settled); // cash is the most common
    QVERIFY(CoreFixture::scalar("select count(distinct a4) from aa").toInt() >= 3);
    // Stock-in on delivery days across the year; members with recharges.
    QVERIFY(CoreFixture::scalar("select count(distinct substr(c7, 1, 7)) from ac").toInt() >= 12);
    QVERIFY(CoreFixture::scalar("select count(*) from ac").toInt() > w.products);
    QVERIFY(w.members >= 20);
    QVERIFY(CoreFixture::scalar("select count(*) from ah").toInt() > w.members);
}

void TestLedgerDemoShop::everyRuleHolds() {
    CoreFixture f;
    DemoShop::fill({QDate(2026, 6, 30), 120, 11});
    // Stock: what came in less what went out, never below zero; the value at the sale price.
    QCOMPARE(CoreFixture::rows("select bid from ab where b4 < 0"), QStringList());
    QCOMPARE(
        CoreFixture::rows(
            "select bid, b4, (select coalesce(sum(c3), 0) from ac where c1 = bid) - "
            "(select coalesce(sum(e3), 0) from ae where e1 = bid) as counted from ab where b4 <> counted"),
        QStringList());
    QCOMPARE(CoreFixture::rows("select bid from ab where abs(b9 - b4 * b8) > 0.00001"), QStringList());
    // Each order's amount due is the sum of its lines; each line wrote its stock-out record.
    QSqlQuery o = CoreFixture::exec("select aid, a5 from aa");
    int checked = 0;
    while (o.next()) {
        QCOMPARE(Currency::fromVariant(o.value(1)),
                 Orders::sumOfLines(Db::business(), o.value(0).toLongLong()));
        ++checked;
    }
    QVERIFY(checked > 100);
    QCOMPARE(CoreFixture::scalar("select count(*) from ak").toInt(),
             CoreFixture::scalar("select count(*) from ae").toInt());
    // Settled orders are paid in full; open ones not at all.
    QCOMPARE(CoreFixture::rows("select aid from aa where a2 = '已结算' and a6 <> a5"), QStringList());
    QCOMPARE(CoreFixture::rows("select aid from aa where a2 = '未结算' and a6 is not null"), QStringList());
    // A card payment is for a settled member order, the amount due.
    QCOMPARE(CoreFixture::rows("select gid from ag join aa on aid = g5 where a2 <> '已结算' or g2 <> a5 "
                               "or a4 <> '会员订单'"),
             QStringList());
    // Cards: every recharge adds to the balance before it, every balance stays at zero or above,
    // and a card's balance is what its recharges brought less what it paid.
    QCOMPARE(CoreFixture::rows("select hid from ah where abs(h5 - h4 - h2) > 0.00001 or h4 < 0"),
             QStringList());
    QCOMPARE(CoreFixture::rows("select gid from ag where g4 < 0"), QStringList());
    QCOMPARE(CoreFixture::rows(
                 "select jid, j9 from aj where abs(j9 - ((select coalesce(sum(h2), 0) from ah "
                 "where h6 = jid) - (select coalesce(sum(g2), 0) from ag where g6 = jid))) > 0.00001"),
             QStringList());
    // Records follow each other in time as they were written.
    QCOMPARE(CoreFixture::scalar("select count(*) from aa a join aa b on b.aid = a.aid + 1 where b.a1 < a.a1")
                 .toInt(),
             0);
}

void TestLedgerDemoShop::stoppingKeepsTheDaysWritten() {
    CoreFixture f;
    int told = 0;
    const DemoShop::Written w = DemoShop::fill({QDate(2026, 12, 9), 365, 3}, [&](int done, int total) {
        told = done;
        return !(done == 10 && total == 365);
    });
    QVERIFY(w.stopped);
    QCOMPARE(told, 10);
    // Ten whole days: the orders of those days only, each one whole.
    QCOMPARE(CoreFixture::scalar("select max(a1) < '2025-12-20' from aa").toInt(), 1);
    QCOMPARE(CoreFixture::scalar("select count(*) from aa").toInt(), w.orders);
    QCOMPARE(CoreFixture::rows("select aid from aa where not exists (select 1 from ak where k8 = aid)"),
             QStringList());
}

QTEST_GUILESS_MAIN(TestLedgerDemoShop)
#include "tst_ledger_demoshop.moc"
