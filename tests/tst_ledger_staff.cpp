#include "core/clock.h"
#include "core/errors.h"
#include "corefixture.h"
#include "ledger/staff.h"

#include <QSet>
#include <QTest>

// The rules of the people at the tills, without any file: PINs, their hashes, the wait after
// wrong PINs, and what the built-in roles may do.
class TestLedgerStaff : public QObject {
    Q_OBJECT
private slots:
    void pinsAreFourToEightDigits_data();
    void pinsAreFourToEightDigits();
    void pinsAreKeptAsSaltedArgon2idHashes();
    void wrongPinsMakeTheOperatorWaitLongerEachTime();
    void rolesAndTheirStoredRights();
    void operatorsAreKeptWithTheirRoles();
    void wrongPinsAreCountedWhereTheOperatorIsKept();
};

void TestLedgerStaff::pinsAreFourToEightDigits_data() {
    QTest::addColumn<QString>("pin");
    QTest::addColumn<bool>("taken");
    QTest::newRow("four") << "0000" << true;
    QTest::newRow("eight") << "12345678" << true;
    QTest::newRow("three") << "123" << false;
    QTest::newRow("nine") << "123456789" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("a letter") << "12a4" << false;
    QTest::newRow("a blank") << "12 34" << false;
    QTest::newRow("full-width digits") << QStringLiteral("１２３４") << false;
    QTest::newRow("Arabic-Indic digits") << QStringLiteral("٠١٢٣") << false;
}

void TestLedgerStaff::pinsAreFourToEightDigits() {
    QFETCH(QString, pin);
    QFETCH(bool, taken);
    QCOMPARE(Staff::pinProblem(pin).isEmpty(), taken);
    if (taken) {
        QVERIFY(Staff::pinMatches(pin, Staff::hashPin(pin)));
    } else {
        QVERIFY_THROWS_EXCEPTION(Refused, Staff::hashPin(pin));
        QVERIFY(!Staff::pinMatches(pin, Staff::hashPin(QStringLiteral("1234"))));
    }
}

void TestLedgerStaff::pinsAreKeptAsSaltedArgon2idHashes() {
    const QString first = Staff::hashPin(QStringLiteral("20261210"));
    const QString second = Staff::hashPin(QStringLiteral("20261210"));
    QVERIFY2(first.startsWith(QStringLiteral("$argon2id$")), qPrintable(first));
    QVERIFY(!first.contains(QStringLiteral("20261210")));
    QVERIFY(first != second); // a salt of its own each time
    QVERIFY(Staff::pinMatches(QStringLiteral("20261210"), first));
    QVERIFY(Staff::pinMatches(QStringLiteral("20261210"), second));
    for (const QString& wrong :
         {QStringLiteral("20261211"), QStringLiteral("2026121"), QStringLiteral("202612100")})
        QVERIFY2(!Staff::pinMatches(wrong, first), qPrintable(wrong));
    // A stored text that is no hash (changed by hand, cut short) lets nobody in.
    for (const QString& stored : {QString(), QStringLiteral("20261210"), first.left(first.size() - 4),
                                  QStringLiteral("$argon2id$v=19$m=1,t=1,p=1$$")})
        QVERIFY2(!Staff::pinMatches(QStringLiteral("20261210"), stored), qPrintable(stored));
}

void TestLedgerStaff::wrongPinsMakeTheOperatorWaitLongerEachTime() {
    const QList<std::pair<int, qint64>> waits = {{0, 0},   {4, 0},   {5, 30},     {6, 60},
                                                 {7, 120}, {9, 480}, {17, 86400}, {1000000, 86400}};
    for (const auto& [failures, seconds] : waits)
        QCOMPARE(Staff::waitSeconds(failures), seconds);
    const QDateTime last(QDate(2026, 12, 10), QTime(9, 0, 0));
    QCOMPARE(Staff::waitsUntil(4, last), std::nullopt);
    QCOMPARE(Staff::waitsUntil(6, last), std::optional<QDateTime>(last.addSecs(60)));
}

void TestLedgerStaff::rolesAndTheirStoredRights() {
    QSet<QString> keys, names;
    for (const Staff::Right r : Staff::allRights()) {
        keys << Staff::key(r);
        names << Staff::name(r);
        QCOMPARE(Staff::rightOfKey(Staff::key(r)), std::optional<Staff::Right>(r));
    }
    QCOMPARE(keys.size(), Staff::allRights().size());
    QCOMPARE(names.size(), Staff::allRights().size());
    QCOMPARE(Staff::ownerRights().size(), Staff::allRights().size());
    // A cashier sells, but never deletes a settled order, sees costs, or changes the shop.
    const Staff::Rights cashier = Staff::cashierRights();
    QVERIFY(cashier.contains(Staff::Right::Sell));
    for (const Staff::Right r : {Staff::Right::DeleteSettled, Staff::Right::SeeCosts, Staff::Right::Discount,
                                 Staff::Right::BackupRestore, Staff::Right::Operators, Staff::Right::ReadLog,
                                 Staff::Right::ExportImport})
        QVERIFY2(!cashier.contains(r), qPrintable(Staff::name(r)));
    QVERIFY(Staff::neverForCashier(Staff::Right::DeleteSettled));
    // Stored and read back alike; a right of a later version is left out, nothing else lost.
    QCOMPARE(Staff::rightsOfStored(Staff::storedRights(cashier)), cashier);
    QCOMPARE(Staff::rightsOfStored(Staff::storedRights(Staff::ownerRights())), Staff::ownerRights());
    QCOMPARE(Staff::rightsOfStored(QStringLiteral("sell, refundTwice,,recharge")),
             Staff::Rights({Staff::Right::Sell, Staff::Right::Recharge}));
}

void TestLedgerStaff::operatorsAreKeptWithTheirRoles() {
    CoreFixture f;
    // A shop without operators works as it always did, until the first one is made: the owner.
    QVERIFY(!Staff::hasOperators());
    const qint64 owner =
        Staff::addOperator(QStringLiteral(" 王店主 "), Staff::CashierRole, QStringLiteral("2468"));
    QVERIFY(Staff::hasOperators());
    Staff::saveRole(QStringLiteral("领班"), {Staff::Right::Sell, Staff::Right::Discount});
    Staff::saveRole(QStringLiteral("领班"),
                    {Staff::Right::Sell, Staff::Right::Discount, Staff::Right::StockIn});
    Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357"));
    Staff::addOperator(QStringLiteral("老张"), QStringLiteral("领班"), QStringLiteral("97531"));
    QStringList kept;
    for (const Staff::Operator& o : Staff::operators())
        kept << o.name + "/" + o.role;
    QCOMPARE(kept, QStringList({"小李/收银员", "王店主/店主", "老张/领班"}));
    QCOMPARE(Staff::operators().at(1).key, owner);
    QCOMPARE(Staff::roleNames(), QStringList({Staff::OwnerRole, Staff::CashierRole, QStringLiteral("领班")}));
    QCOMPARE(Staff::rightsOf(QStringLiteral("领班")),
             Staff::Rights({Staff::Right::Sell, Staff::Right::Discount, Staff::Right::StockIn}));
    QCOMPARE(Staff::rightsOf(QStringLiteral("不存在")), Staff::Rights());
    // The PIN is kept only as its hash.
    QVERIFY(CoreFixture::scalar("select count(*) from operators where pin like '%2468%'").toInt() == 0);

    // Each refusal names what is wrong and leaves the operators as they were.
    const QList<std::function<void()>> refused = {
        [] { Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1111")); },
        [] { Staff::addOperator(QString("  "), Staff::CashierRole, QStringLiteral("1111")); },
        [] { Staff::addOperator(QString(21, QChar(0x5F20)), Staff::CashierRole, QStringLiteral("1111")); },
        [] { Staff::addOperator(QStringLiteral("小赵"), QStringLiteral("保安"), QStringLiteral("1111")); },
        [] { Staff::addOperator(QStringLiteral("小赵"), Staff::CashierRole, QStringLiteral("11")); },
        [] { Staff::saveRole(Staff::CashierRole, Staff::ownerRights()); },
        [] { Staff::saveRole(QString(), {}); },
    };
    for (const auto& attempt : refused) {
        QVERIFY_THROWS_EXCEPTION(Refused, attempt());
        QCOMPARE(Staff::operators().size(), 3);
    }
    QCOMPARE(Staff::rightsOf(Staff::CashierRole), Staff::cashierRights());
}

void TestLedgerStaff::wrongPinsAreCountedWhereTheOperatorIsKept() {
    CoreFixture f;
    const QDateTime start(QDate(2026, 12, 10), QTime(9, 0, 0));
    Clock::setFixed(start);
    const qint64 cashier =
        Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357"));
    for (int wrong = 1; wrong <= 4; ++wrong) {
        const Staff::SignIn answer = Staff::signIn(cashier, QStringLiteral("0000"));
        QVERIFY(!answer.admitted);
        QCOMPARE(answer.failures, wrong);
        QVERIFY(!answer.waitUntil);
    }
    // The fifth wrong PIN in a row: thirty seconds, during which even the right PIN is not taken.
    Staff::SignIn answer = Staff::signIn(cashier, QStringLiteral("0000"));
    QCOMPARE(answer.waitUntil, std::optional<QDateTime>(start.addSecs(30)));
    Clock::setFixed(start.addSecs(29));
    answer = Staff::signIn(cashier, QStringLiteral("1357"));
    QVERIFY(!answer.admitted);
    QCOMPARE(answer.failures, 5);
    // Another till (a restart) knows of the wait: it is kept with the operator.
    f.close();
    f.reopen();
    QVERIFY(!Staff::signIn(cashier, QStringLiteral("1357")).admitted);
    // After the wait, one more wrong PIN: twice as long.
    Clock::setFixed(start.addSecs(30));
    answer = Staff::signIn(cashier, QStringLiteral("9999"));
    QCOMPARE(answer.failures, 6);
    QCOMPARE(answer.waitUntil, std::optional<QDateTime>(start.addSecs(90)));
    Clock::setFixed(start.addSecs(90));
    answer = Staff::signIn(cashier, QStringLiteral("1357"));
    QVERIFY(answer.admitted);
    QCOMPARE(answer.failures, 0);
    QCOMPARE(CoreFixture::scalar("select failures from operators where id = :k", {{":k", cashier}}).toInt(),
             0);
    QVERIFY_THROWS_EXCEPTION(Refused, Staff::signIn(cashier + 100, QStringLiteral("1357")));
    Clock::useSystem();
}

QTEST_GUILESS_MAIN(TestLedgerStaff)
#include "tst_ledger_staff.moc"
