#include "core/clock.h"
#include "core/errors.h"
#include "corefixture.h"
#include "data/work.h"
#include "ledger/check.h"
#include "ledger/members.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/receipts.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledger/shifts.h"
#include "ledger/staff.h"
#include "ledger/weighed.h"

#include <QSignalSpy>
#include <QTest>

// Paying orders in cash and by card, without any window.
class TestLedgerSettlement : public QObject {
    Q_OBJECT
private slots:
    void cashMarksTheOrderPaid();
    void cardDebitsAndRecords();
    void cardBalanceMustCover();
    void orderIsPaidOnce();
    void missingCardOrFailedRecordWritesNothing();
    void paymentsAreAnnounced();
    void discounts_data();
    void discounts();
    void returnsNeverGoBeyondWhatWasSold();
    void returnsGiveTheDiscountedMoneyBackToTheFen();
    void aWeighedLineComesBackAtItsLabelsAmount();
    void aCardSaleIsRefundedOntoItsCard();
    void returnsAskForTheirRights();
};

namespace {

qint64 addOrder(const QString& status, const QString& due) {
    return CoreFixture::insert(
        "insert into aa (a1, a2, a4, a5) values ('2026-12-01 09:00:00', :a, '普通订单', :b)",
        {{":a", status}, {":b", due}});
}

qint64 addMember(const QString& name, const QString& salutation, const QString& balance) {
    return CoreFixture::insert("insert into aj (j1, j2, j6, j9, j10) values "
                               "(:a, '13800000000', :b, :c, '2026-11-01 08:00:00')",
                               {{":a", name}, {":b", salutation}, {":c", balance}});
}

QString orderRow(qint64 order) {
    return CoreFixture::rows("select a5, a6, a2 from aa where aid = :a", {{":a", order}}).value(0);
}

QString balanceOf(qint64 card) {
    return CoreFixture::rows("select j9 from aj where jid = :a", {{":a", card}}).value(0);
}

int records() {
    return CoreFixture::scalar("select count(*) from ag").toInt();
}

// The refusal text of an action, or an empty text when it went through.
QString refusal(const std::function<void()>& action) {
    try {
        action();
    } catch (const Refused& e) {
        return e.text();
    }
    return QString();
}

} // namespace

void TestLedgerSettlement::cashMarksTheOrderPaid() {
    CoreFixture f;
    const qint64 seven = addOrder("未结算", "100");
    const qint64 other = addOrder("未结算", "12.35");
    Settlement::payCash(seven, Currency::parse("90"));
    QCOMPARE(orderRow(seven), QStringLiteral("100|90|已结算"));
    QCOMPARE(orderRow(other), QStringLiteral("12.35||未结算"));
    // As priced: more than two decimals, or nothing when free of charge.
    Settlement::payCash(other, Currency::parse("11.115"));
    QCOMPARE(orderRow(other), QStringLiteral("12.35|11.115|已结算"));
    const qint64 free = addOrder("未结算", "5");
    Settlement::payCash(free, Currency());
    QCOMPARE(orderRow(free), QStringLiteral("5|0|已结算"));
    // No card and no record is touched.
    QCOMPARE(records(), 0);
}

void TestLedgerSettlement::cardDebitsAndRecords() {
    CoreFixture f;
    const qint64 order = addOrder("未结算", "100");
    const qint64 li = addMember("李四", "先生", "55");
    const qint64 wang = addMember("王芳", "女士", "100");
    const Settlement::CardPaid paid = Settlement::payByCard(order, wang, Currency::parse("90"));
    QCOMPARE(paid.balanceLeft.toString(), QStringLiteral("10"));
    QCOMPARE(orderRow(order), QStringLiteral("100|90|已结算"));
    QCOMPARE(balanceOf(wang), QStringLiteral("10"));
    QCOMPARE(balanceOf(li), QStringLiteral("55"));
    QCOMPARE(CoreFixture::rows("select gid, g1, g2, g3, g4, g5, g6, g7 from ag"),
             QStringList({QStringLiteral("%1|王芳|90|2026-12-09 10:30:00|10|%2|%3|女士")
                              .arg(paid.record)
                              .arg(order)
                              .arg(wang)}));

    // Four decimals are exact on both sides.
    const qint64 second = addOrder("未结算", "12.35");
    CoreFixture::exec("update aj set j9 = '20.0001' where jid = :a", {{":a", li}});
    QCOMPARE(Settlement::payByCard(second, li, Currency::parse("11.115")).balanceLeft.toString(),
             QStringLiteral("8.8851"));
    QCOMPARE(CoreFixture::rows("select g2, g4 from ag where g5 = :a", {{":a", QString::number(second)}}),
             QStringList({"11.115|8.8851"}));
}

void TestLedgerSettlement::cardBalanceMustCover() {
    CoreFixture f;
    const qint64 order = addOrder("未结算", "20.01");
    const qint64 ten = addMember("赵六", "先生", "10");
    const qint64 empty = addMember("钱七", "女士", "0");
    const qint64 negative = addMember("孙八", "先生", "-5");
    // Just above the balance, and anything on a card in debt.
    QCOMPARE(refusal([&] { Settlement::payByCard(order, ten, Currency::parse("10.0001")); }),
             Settlement::BalanceTooLow);
    QCOMPARE(refusal([&] { Settlement::payByCard(order, negative, Currency()); }), Settlement::BalanceTooLow);
    QCOMPARE(orderRow(order), QStringLiteral("20.01||未结算"));
    QCOMPARE(CoreFixture::rows("select j9 from aj order by jid"), QStringList({"10", "0", "-5"}));
    QCOMPARE(records(), 0);

    // An equal balance is enough and ends at 0; so is free of charge on an empty card.
    QCOMPARE(Settlement::payByCard(order, ten, Currency::parse("10")).balanceLeft, Currency());
    QCOMPARE(balanceOf(ten), QStringLiteral("0"));
    const qint64 free = addOrder("未结算", "8");
    Settlement::payByCard(free, empty, Currency());
    QCOMPARE(orderRow(free), QStringLiteral("8|0|已结算"));
    QCOMPARE(CoreFixture::rows("select g1, g2, g4 from ag order by gid"),
             QStringList({"赵六|10|0", "钱七|0|0"}));
}

void TestLedgerSettlement::orderIsPaidOnce() {
    CoreFixture f;
    const qint64 paid = addOrder("已结算", "50");
    CoreFixture::exec("update aa set a6 = 45 where aid = :a", {{":a", paid}});
    const qint64 card = addMember("周九", "先生", "500");
    QCOMPARE(refusal([&] { Settlement::payCash(paid, Currency::parse("50")); }), Settlement::AlreadySettled);
    QCOMPARE(refusal([&] { Settlement::payByCard(paid, card, Currency::parse("25")); }),
             Settlement::AlreadySettled);
    QCOMPARE(orderRow(paid), QStringLiteral("50|45|已结算"));

    // An order deleted meanwhile is told apart from a paid one.
    QCOMPARE(refusal([&] { Settlement::payCash(paid + 1, Currency::parse("1")); }),
             Settlement::OrderNotFound);
    QCOMPARE(refusal([&] { Settlement::payByCard(paid + 1, card, Currency::parse("1")); }),
             Settlement::OrderNotFound);
    QCOMPARE(CoreFixture::scalar("select count(*) from aa").toInt(), 1);

    // Paid once in cash, then refused by card.
    const qint64 open = addOrder("未结算", "80");
    Settlement::payCash(open, Currency::parse("80"));
    QCOMPARE(refusal([&] { Settlement::payByCard(open, card, Currency::parse("80")); }),
             Settlement::AlreadySettled);
    QCOMPARE(balanceOf(card), QStringLiteral("500"));
    QCOMPARE(records(), 0);
}

void TestLedgerSettlement::missingCardOrFailedRecordWritesNothing() {
    CoreFixture f;
    const qint64 order = addOrder("未结算", "40");
    const qint64 card = addMember("吴十", "女士", "100");
    QCOMPARE(refusal([&] { Settlement::payByCard(order, card + 1, Currency::parse("40")); }),
             Settlement::cardNotFound(card + 1));
    QCOMPARE(Settlement::cardNotFound(7), QStringLiteral("找不到7号会员卡，订单没有结算！"));
    QCOMPARE(orderRow(order), QStringLiteral("40||未结算"));

    // The record cannot be written: the order and the card stay as they were.
    CoreFixture::refuseInserts("ag");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Settlement::payByCard(order, card, Currency::parse("40")));
    QCOMPARE(orderRow(order), QStringLiteral("40||未结算"));
    QCOMPARE(balanceOf(card), QStringLiteral("100"));
    QCOMPARE(records(), 0);

    CoreFixture::allowInserts("ag");
    Settlement::payByCard(order, card, Currency::parse("40"));
    QCOMPARE(orderRow(order), QStringLiteral("40|40|已结算"));
    QCOMPARE(balanceOf(card), QStringLiteral("60"));
    QCOMPARE(records(), 1);
}

void TestLedgerSettlement::paymentsAreAnnounced() {
    CoreFixture f;
    const qint64 cash = addOrder("未结算", "10");
    const qint64 byCard = addOrder("未结算", "10");
    const qint64 card = addMember("王芳", "女士", "100");
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);
    auto tables = [&](int i) {
        QStringList written;
        for (const Db::Change& c : spy.at(i).at(0).value<Db::Changes>())
            written << c.table + ":" + QString::number(c.keys.value(0));
        written.sort();
        return written;
    };
    Settlement::payCash(cash, Currency::parse("10"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(tables(0), QStringList({QStringLiteral("aa:%1").arg(cash)}));
    const Settlement::CardPaid paid = Settlement::payByCard(byCard, card, Currency::parse("10"));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(tables(1),
             QStringList({QStringLiteral("aa:%1").arg(byCard), QStringLiteral("ag:%1").arg(paid.record),
                          QStringLiteral("aj:%1").arg(card)}));
    // Nothing is announced for a refused payment.
    refusal([&] { Settlement::payCash(cash, Currency::parse("10")); });
    QCOMPARE(spy.count(), 2);
}

void TestLedgerSettlement::discounts_data() {
    QTest::addColumn<QString>("due");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<QString>("collected"); // empty: the factor is no number
    QTest::newRow("nine tenths, exact") << "12.35"
                                        << "0.9"
                                        << "11.115";
    QTest::newRow("eight tenths") << "33.33"
                                  << "0.8"
                                  << "26.664";
    QTest::newRow("typed 85") << "58.8"
                              << "0.85"
                              << "49.98";
    QTest::newRow("a tenth of a cent") << "0.01"
                                       << "0.1"
                                       << "0.001";
    QTest::newRow("nothing due") << "0"
                                 << "0.5"
                                 << "0";
    QTest::newRow("stepped below zero") << "100"
                                        << "0.-1"
                                        << "";
}

void TestLedgerSettlement::discounts() {
    QFETCH(QString, due);
    QFETCH(QString, factor);
    QFETCH(QString, collected);
    if (collected.isEmpty()) {
        // A discount that is no number is a conversion error for the error box.
        QVERIFY_THROWS_EXCEPTION(ConversionError, Settlement::discounted(Currency::parse(due), factor));
        return;
    }
    QCOMPARE(Settlement::discounted(Currency::parse(due), factor).toString(), collected);
}

namespace {

// The ledger check finds nothing; the titles of what it finds otherwise.
QString checkProblems() {
    QStringList titles;
    for (const Ledger::CheckProblem& p : Ledger::checkShop().problems)
        titles << p.title;
    return titles.join('\n');
}

Currency money(const char* text) {
    return Currency::parse(QString::fromLatin1(text));
}

qint64 stockOf(qint64 product) {
    return CoreFixture::scalar("select b4 from ab where bid = :p", {{":p", product}}).toLongLong();
}

// The profit of an order's stock-out records: quantity × (price − cost at the sale).
Currency profitOf(qint64 order) {
    Currency profit;
    for (const QString& row :
         CoreFixture::rows("select e3, e6, e13 from ae where e11 = :o", {{":o", QString::number(order)}})) {
        const QStringList f = row.split('|');
        profit += Currency::parse(f[0]) * (Currency::parse(f[1]) - Currency::parse(f[2]));
    }
    return profit;
}

} // namespace

void TestLedgerSettlement::returnsNeverGoBeyondWhatWasSold() {
    CoreFixture f;
    const qint64 chips = CoreFixture::stockedSnack("薯片", "食品", "1.00", "2.50");
    const qint64 cola = CoreFixture::stockedSnack("可乐", "饮料", "2.00", "3.00");
    const qint64 order = Orders::addLine(0, chips, Currency::fromInt(3)).order;
    const qint64 colaLine = Orders::addLine(order, cola, Currency::fromInt(2)).line;
    // Only a settled order takes returns.
    QVERIFY_THROWS_EXCEPTION(
        Refused, Returns::make(order, {{colaLine, Currency::fromInt(1)}}, Returns::Way::Cash, {}));
    Settlement::payCash(order, money("13.5"));
    const qint64 chipsLine = Returns::returnable(order).first().line;

    QCOMPARE(Returns::make(order, {{chipsLine, Currency::fromInt(2)}}, Returns::Way::Cash, "不新鲜").state,
             Returns::Partly);
    QCOMPARE(stockOf(chips), 99);
    // Two more of a line with one left, the same line twice beyond it, a line of no such order,
    // nothing: each refused, nothing written.
    const QStringList before = CoreFixture::rows("select * from returns");
    for (const QList<Returns::Line>& lines :
         QList<QList<Returns::Line>>{{{chipsLine, Currency::fromInt(2)}},
                                     {{chipsLine, Currency::fromInt(1)}, {chipsLine, Currency::fromInt(1)}},
                                     {{colaLine + 100, Currency::fromInt(1)}},
                                     {{colaLine, Currency()}},
                                     {}})
        QVERIFY_THROWS_EXCEPTION(Refused, Returns::make(order, lines, Returns::Way::Cash, {}));
    QCOMPARE(CoreFixture::rows("select * from returns"), before);

    // The cola written off: no stock back; then the last chip: the order is returned in full.
    Returns::make(order, {{colaLine, Currency::fromInt(2), true}}, Returns::Way::Cash, "破损");
    QCOMPARE(stockOf(cola), 98);
    const Returns::Made last =
        Returns::make(order, {{chipsLine, Currency::fromInt(1)}}, Returns::Way::Cash, {});
    QCOMPARE(last.state, Returns::Wholly);
    QCOMPARE(CoreFixture::scalar("select a12 from aa where aid = :o", {{":o", order}}).toString(),
             Returns::Wholly);
    QCOMPARE(stockOf(chips), 100);
    QCOMPARE(CoreFixture::scalar("select sum(refund) from returns where order_id = :o", {{":o", order}})
                 .toLongLong(),
             money("13.5").scaled());
    // Profit after the returns is that of what stayed sold (the written-off cola's stock-out stands).
    QCOMPARE(profitOf(order), Currency::fromInt(2) * money("1"));
    QCOMPARE(checkProblems(), QString());
}

void TestLedgerSettlement::returnsGiveTheDiscountedMoneyBackToTheFen() {
    CoreFixture f;
    const qint64 product = CoreFixture::stockedSnack("饼干", "食品", "1.00", "3.33");
    const qint64 order = Orders::addLine(0, product, Currency::fromInt(3)).order; // 9.99
    Settlement::payCash(order, money("8.99"));
    const qint64 line = Returns::returnable(order).first().line;
    // Each chip's share of 8.99 is 2.9967: 3.00, 3.00, and the last return takes the rest.
    QList<Currency> refunds;
    for (int i = 0; i < 3; ++i)
        refunds << Returns::make(order, {{line, Currency::fromInt(1)}}, Returns::Way::Cash, {}).refund;
    QCOMPARE(refunds, QList<Currency>({money("3"), money("3"), money("2.99")}));
    QCOMPARE(Returns::returnable(order).first().left(), Currency());
}

void TestLedgerSettlement::aWeighedLineComesBackAtItsLabelsAmount() {
    CoreFixture f;
    Products::Fields ribs = CoreFixture::snack("排骨", "食品", "12", "20");
    ribs.unit = QStringLiteral("公斤");
    ribs.scaleCode = QStringLiteral("00123");
    const qint64 product = Products::create(ribs, Currency::parse("10"));
    const auto stock = [product] {
        return CoreFixture::rows("select b4, b9 from ab where bid = :p", {{":p", product}});
    };
    const QStringList before = stock();
    // 1.5 kg on the scale's label for 29.97, not the 30.00 of the product's price.
    const qint64 order = Weighed::addLabel(0, QStringLiteral("280012301500029975"))->order;
    Settlement::payCash(order, money("29.97"));
    // Its receipt shows the label's amount on the line, as the total.
    QCOMPARE(Receipts::forOrder(order).lines.first().amount, money("29.97"));
    const qint64 line = Returns::returnable(order).first().line;
    // A third of the weight is a third of the label's amount; the rest brings the rest.
    QCOMPARE(Returns::make(order, {{line, money("0.5")}}, Returns::Way::Cash, {}).refund, money("9.99"));
    QCOMPARE(Returns::make(order, {{line, money("1")}}, Returns::Way::Cash, {}).refund, money("19.98"));
    // The stock and its value are as before the sale, the day's sales nothing, the ledger whole.
    QCOMPARE(stock(), before);
    QCOMPARE(CoreFixture::scalar("select coalesce(sum(sales), 0) from ae_day").toLongLong(), 0);
    const Ledger::CheckReport report = Ledger::checkLedger(Db::business(), Db::lists());
    QVERIFY2(report.clean(), qPrintable(report.text()));
}

void TestLedgerSettlement::aCardSaleIsRefundedOntoItsCard() {
    CoreFixture f;
    Members::Person p;
    p.name = "张三";
    p.salutation = "先生";
    const qint64 card = Members::create(p, Currency::fromInt(100));
    const qint64 product = CoreFixture::stockedSnack("果汁", "饮料", "2.00", "5.00");
    const qint64 order = Orders::addLine(0, product, Currency::fromInt(2)).order;
    Settlement::payByCard(order, card, money("10"));
    const qint64 line = Returns::returnable(order).first().line;
    // A cash order cannot go back onto a card; this card order goes back onto its card.
    Returns::make(order, {{line, Currency::fromInt(1)}}, Returns::Way::Card, {});
    Returns::make(order, {{line, Currency::fromInt(1)}}, Returns::Way::Card, {});
    QCOMPARE(Currency::fromVariant(CoreFixture::scalar("select j9 from aj where jid = :c", {{":c", card}})),
             Currency::fromInt(100));
    QCOMPARE(CoreFixture::rows("select g2, g4, coalesce(g9, '') from ag order by gid"),
             QStringList({"10|90|", "-5|95|退款", "-5|100|退款"}));
    QCOMPARE(checkProblems(), QString());
    const qint64 cashOrder = Orders::addLine(0, product, Currency::fromInt(1)).order;
    Settlement::payCash(cashOrder, money("5"));
    QVERIFY_THROWS_EXCEPTION(
        Refused,
        Returns::make(cashOrder, {{Returns::returnable(cashOrder).first().line, Currency::fromInt(1)}},
                      Returns::Way::Card, {}));
}

void TestLedgerSettlement::returnsAskForTheirRights() {
    CoreFixture f;
    const Staff::Operator owner{Staff::addOperator("王店主", Staff::OwnerRole, "2468"), "王店主",
                                Staff::OwnerRole};
    const Staff::Operator cashier{Staff::addOperator("小李", Staff::CashierRole, "1357"), "小李",
                                  Staff::CashierRole};
    Members::Person p;
    p.name = "张三";
    p.salutation = "先生";
    const qint64 card = Members::create(p, Currency::fromInt(1000));
    const qint64 product = CoreFixture::stockedSnack("酒", "烟酒", "50.00", "150.00");
    Staff::setTillName("一号机");
    Shifts::open(Currency::fromInt(100));
    Staff::actAs(cashier);
    const qint64 cash = Orders::addLine(0, product, Currency::fromInt(2)).order;
    Settlement::payCash(cash, money("300"));
    const qint64 byCard = Orders::addLine(0, product, Currency::fromInt(1)).order;
    Settlement::payByCard(byCard, card, money("150"));
    const qint64 cashLine = Returns::returnable(cash).first().line;
    const qint64 cardLine = Returns::returnable(byCard).first().line;

    // Within the limits (200 yuan, 7 days) a cashier takes goods back; beyond, or a card sale's
    // money in cash, asks for the owner.
    Returns::make(cash, {{cashLine, Currency::fromInt(1)}}, Returns::Way::Cash, {});
    QCOMPARE(Shifts::figures(Shifts::current()->key).refunds, money("150"));
    Staff::actAs(owner);
    Returns::setLimits({7, Currency::fromInt(100)});
    Staff::actAs(cashier);
    try {
        Returns::make(cash, {{cashLine, Currency::fromInt(1)}}, Returns::Way::Cash, {});
        QFAIL("a return beyond the limit went through");
    } catch (const Staff::NoRight& e) {
        QCOMPARE(e.right(), Staff::Right::ReturnsBeyond);
    }
    try {
        Returns::make(byCard, {{cardLine, Currency::fromInt(1)}}, Returns::Way::Cash, {});
        QFAIL("a card sale was refunded in cash");
    } catch (const Staff::NoRight& e) {
        QVERIFY(e.right() == Staff::Right::CardRefundCash || e.right() == Staff::Right::ReturnsBeyond);
    }
    {
        Staff::OwnersWord word(owner.key, "2468");
        Returns::make(cash, {{cashLine, Currency::fromInt(1)}}, Returns::Way::Cash, {});
    }
    QVERIFY_THROWS_EXCEPTION(Staff::NoRight, Returns::setLimits({7, Currency::fromInt(1000)}));
    QCOMPARE(Returns::limits().amount, Currency::fromInt(100));
    // Old orders ask for the owner too.
    Clock::setFixed(Clock::now().addDays(8));
    QVERIFY_THROWS_EXCEPTION(
        Staff::NoRight, Returns::make(byCard, {{cardLine, Currency::fromInt(1)}}, Returns::Way::Card, {}));
    QCOMPARE(CoreFixture::scalar("select count(*) from oplog where action = '退货'").toInt(), 2);
    Staff::setTillName({});
}

QTEST_GUILESS_MAIN(TestLedgerSettlement)
#include "tst_ledger_settlement.moc"
