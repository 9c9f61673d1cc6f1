#include "core/errors.h"
#include "corefixture.h"
#include "data/work.h"
#include "ledger/members.h"

#include <QSignalSpy>
#include <QTest>
#include <functional>

// The member operations, without any window.
class TestLedgerMembers : public QObject {
    Q_OBJECT
private slots:
    void createStoresTheMemberAndGivesTheCard();
    void updateRewritesOnlyThePersonalData();
    void rechargeAddsExactlyToTheStoredBalance();
    void failedRechargeWritesNothing();
    void removeTakesExactlyThatCardsRecords();
    void refusalsWriteNothing();
    void commitsAreAnnounced();
};

namespace {

Members::Person person(const QString& name, const QString& salutation = QStringLiteral("先生")) {
    Members::Person p;
    p.name = name;
    p.salutation = salutation;
    return p;
}

qint64 member(const QString& name, const QString& balance, const QVariant& card = QVariant()) {
    // A card number of its own, or the next one the database gives.
    if (card.isNull())
        return CoreFixture::insert("insert into aj (j1, j6, j9, j10) values (:a, '先生', :b, "
                                   "'2026-01-02 08:00:00')",
                                   {{":a", name}, {":b", balance}});
    return CoreFixture::insert("insert into aj (jid, j1, j6, j9, j10) values (:k, :a, '先生', :b, "
                               "'2026-01-02 08:00:00')",
                               {{":k", card}, {":a", name}, {":b", balance}});
}

void records(qint64 card) {
    const QString text = QString::number(card);
    CoreFixture::exec("insert into ah (h1, h2, h3, h4, h5, h6, h7) values ('某人', 10, "
                      "'2026-01-01 00:00:00', 0, 10, :a, '先生')",
                      {{":a", text}});
    CoreFixture::exec("insert into ag (g1, g2, g3, g4, g5, g6, g7) values ('某人', 5, "
                      "'2026-01-01 00:00:00', 5, '7', :a, '先生')",
                      {{":a", text}});
}

QString refusal(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const Refused& e) {
        return e.text();
    }
    return QStringLiteral("(no refusal)");
}

QString balanceOf(qint64 card) {
    return CoreFixture::scalar("select j9 from aj where jid = :a", {{":a", card}}).toString();
}

} // namespace

void TestLedgerMembers::createStoresTheMemberAndGivesTheCard() {
    CoreFixture f;
    // Only a name: empty contact fields, the opening balance 0, the moment of saving as card date.
    QCOMPARE(Members::create(person("Zhang"), Currency()), qint64(1));
    QCOMPARE(CoreFixture::rows("select jid, j1, j2, j3, j4, j5, j6, j7, j8, j9, j10 from aj"),
             QStringList({"1|Zhang|||||先生|||0|2026-12-09 10:30:00"}));

    Members::Person full = person("李小梅", "女士");
    full.mobile = "13912";
    full.phone = "0108888";
    full.address = "北京市海淀区";
    full.postcode = "100080";
    full.email = "li@example.com";
    full.remark = "老顾客";
    QCOMPARE(Members::create(full, Currency::parse("50.5")), qint64(2));
    QCOMPARE(CoreFixture::rows("select j1, j2, j3, j4, j5, j6, j7, j8, j9 from aj where jid = 2"),
             QStringList({"李小梅|13912|0108888|北京市海淀区|100080|女士|li@example.com|老顾客|50.5"}));
    // The opening balance is no recharge.
    QCOMPARE(CoreFixture::scalar("select count(*) from ah").toInt(), 0);
    // The next card follows the highest one, also after a member was removed.
    Members::remove(2);
    QCOMPARE(Members::create(person("王五"), Currency::parse("1.25")), qint64(3));
    QCOMPARE(balanceOf(3), QStringLiteral("1.25"));
    // A card does not start below zero.
    QVERIFY_THROWS_EXCEPTION(Refused, Members::create(person("赵六"), Currency::parse("-0.01")));
    QCOMPARE(CoreFixture::scalar("select count(*) from aj").toInt(), 2);
}

void TestLedgerMembers::updateRewritesOnlyThePersonalData() {
    CoreFixture f;
    CoreFixture::exec("insert into aj (j1, j2, j3, j4, j5, j6, j7, j8, j9, j10) values ('张三', '139', "
                      "'010', '北京', '100080', '先生', 'z@example.com', '备', 88.8, "
                      "'2026-01-02 08:00:00')");
    const qint64 other = member("李四", "5");
    records(1);
    Members::Person p = person("张三", "女士");
    p.mobile = "1395";
    p.phone = "010";
    p.address = "北京";
    p.postcode = "100080";
    p.email = "z@example.com";
    // An emptied remark (and an emptied name) is stored empty: the dialog makes no check.
    Members::update(1, p);
    QCOMPARE(CoreFixture::rows("select * from aj where jid = 1"),
             QStringList({"1|张三|1395|010|北京|100080|女士|z@example.com||88.8|2026-01-02 08:00:00"}));
    Members::update(1, person(QString(), "女士"));
    QCOMPARE(CoreFixture::scalar("select j1 from aj where jid = 1").toString(), QString());
    // The other member and the records keep what they were written with.
    QCOMPARE(CoreFixture::rows("select j1, j9 from aj where jid = :a", {{":a", other}}),
             QStringList({"李四|5"}));
    QCOMPARE(CoreFixture::rows("select h1, h7 from ah"), QStringList({"某人|先生"}));
}

void TestLedgerMembers::rechargeAddsExactlyToTheStoredBalance() {
    CoreFixture f;
    const qint64 a = member("张三", "20.5");
    const qint64 b = member("李四", "10");
    const qint64 c = member("王五", "50");
    CoreFixture::exec("update aj set j6 = '女士' where jid = :a", {{":a", b}});

    const Members::Recharged first = Members::recharge(a, Currency::parse("100"));
    QCOMPARE(first.record, qint64(1));
    QCOMPARE(first.before.toString(), QStringLiteral("20.5"));
    QCOMPARE(first.after.toString(), QStringLiteral("120.5"));
    QCOMPARE(balanceOf(a), QStringLiteral("120.5"));
    QCOMPARE(CoreFixture::rows("select hid, h1, h2, h3, h4, h5, h6, h7 from ah"),
             QStringList({QStringLiteral("1|张三|100|2026-12-09 10:30:00|20.5|120.5|%1|先生").arg(a)}));

    // All four decimals are kept; a negative amount lowers the balance and is recorded as typed.
    QCOMPARE(Members::recharge(b, Currency::parse("0.005")).after.toString(), QStringLiteral("10.005"));
    QCOMPARE(balanceOf(b), QStringLiteral("10.005"));
    QCOMPARE(Members::recharge(c, Currency::parse("-30")).after.toString(), QStringLiteral("20"));
    QCOMPARE(balanceOf(c), QStringLiteral("20"));
    // A second recharge starts from the balance the first one stored.
    QCOMPARE(Members::recharge(a, Currency::parse("0.5")).before.toString(), QStringLiteral("120.5"));
    QCOMPARE(balanceOf(a), QStringLiteral("121"));
    QCOMPARE(CoreFixture::rows("select h1, h2, h4, h5, h6, h7 from ah order by hid"),
             QStringList({QStringLiteral("张三|100|20.5|120.5|%1|先生").arg(a),
                          QStringLiteral("李四|0.005|10|10.005|%1|女士").arg(b),
                          QStringLiteral("王五|-30|50|20|%1|先生").arg(c),
                          QStringLiteral("张三|0.5|120.5|121|%1|先生").arg(a)}));
}

void TestLedgerMembers::failedRechargeWritesNothing() {
    CoreFixture f;
    const qint64 card = member("张三", "20.5");
    // The record cannot be written: the raised balance goes back with it.
    CoreFixture::refuseInserts("ah");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Members::recharge(card, Currency::parse("100")));
    QCOMPARE(balanceOf(card), QStringLiteral("20.5"));
    CoreFixture::allowInserts("ah");
    QCOMPARE(Members::recharge(card, Currency::parse("100")).after.toString(), QStringLiteral("120.5"));

    // A balance that was never stored is no number: nothing is written.
    CoreFixture::exec("update aj set j9 = null where jid = :a", {{":a", card}});
    QVERIFY_THROWS_EXCEPTION(ConversionError, Members::recharge(card, Currency::parse("10")));
    QVERIFY(CoreFixture::scalar("select j9 from aj").isNull());
    QCOMPARE(CoreFixture::scalar("select count(*) from ah").toInt(), 1);
}

void TestLedgerMembers::removeTakesExactlyThatCardsRecords() {
    CoreFixture f;
    for (int card : {1, 12, 112, 120}) {
        member(QStringLiteral("会员%1").arg(card), "0", card);
        records(card);
        records(card);
    }
    Members::remove(12);
    QCOMPARE(CoreFixture::rows("select jid from aj order by jid"), QStringList({"1", "112", "120"}));
    QCOMPARE(CoreFixture::rows("select h6 from ah order by hid"),
             QStringList({"1", "1", "112", "112", "120", "120"}));
    QCOMPARE(CoreFixture::rows("select g6 from ag order by gid"),
             QStringList({"1", "1", "112", "112", "120", "120"}));

    // A member row that cannot be deleted keeps its records too.
    CoreFixture::exec("alter table aj rename to aj_locked");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Members::remove(1));
    CoreFixture::exec("alter table aj_locked rename to aj");
    QCOMPARE(CoreFixture::scalar("select count(*) from aj").toInt(), 3);
    QCOMPARE(CoreFixture::scalar("select count(*) from ah where h6 = '1'").toInt(), 2);
    QCOMPARE(CoreFixture::scalar("select count(*) from ag where g6 = '1'").toInt(), 2);
}

void TestLedgerMembers::refusalsWriteNothing() {
    CoreFixture f;
    const qint64 card = member("张三", "5");
    records(card);
    records(99); // records of a card whose member is gone
    QCOMPARE(refusal([] { Members::create(person(QString()), Currency()); }), Members::RequiredMissing);
    QCOMPARE(refusal([] { Members::create(person("李四", QString()), Currency()); }),
             Members::RequiredMissing);
    QCOMPARE(refusal([] { Members::recharge(99, Currency::parse("10")); }), Members::NotFound);
    QCOMPARE(refusal([] { Members::update(99, person("某人")); }), Members::NotFound);
    QCOMPARE(refusal([] { Members::remove(99); }), Members::NotFound);
    QCOMPARE(CoreFixture::rows("select jid, j1, j9 from aj"), QStringList({"1|张三|5"}));
    QCOMPARE(CoreFixture::scalar("select count(*) from ah").toInt(), 2);
    QCOMPARE(CoreFixture::scalar("select count(*) from ag").toInt(), 2);
}

void TestLedgerMembers::commitsAreAnnounced() {
    CoreFixture f;
    QSignalSpy spy(&Db::Announcer::instance(), &Db::Announcer::committed);
    auto announced = [&](int i) {
        QStringList tables;
        for (const Db::Change& c : spy.at(i).at(0).value<Db::Changes>())
            tables << c.table + ":" +
                          (c.keys.isEmpty() ? QStringLiteral("*") : QString::number(c.keys.value(0))) +
                          (c.added.isEmpty() ? "" : "+") + (c.removed ? "!" : "");
        tables.sort();
        return tables;
    };
    const qint64 card = Members::create(person("张三"), Currency());
    Members::update(card, person("张三", "女士"));
    Members::recharge(card, Currency::parse("1"));
    Members::remove(card);
    QCOMPARE(spy.count(), 4);
    // Each row by its key, with what became of it: added (+) or deleted (!); the removal names the
    // card's records it deleted, and nothing of the consumption records, of which it had none.
    QCOMPARE(announced(0), QStringList({"aj:1+"}));
    QCOMPARE(announced(1), QStringList({"aj:1"}));
    QCOMPARE(announced(2), QStringList({"ah:1+", "aj:1"}));
    QCOMPARE(announced(3), QStringList({"ah:1!", "aj:1!"}));
    QCOMPARE(refusal([] { Members::remove(1); }), Members::NotFound);
    QCOMPARE(spy.count(), 4);
}

QTEST_GUILESS_MAIN(TestLedgerMembers)
#include "tst_ledger_members.moc"
