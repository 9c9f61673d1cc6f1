#include "core/errors.h"
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

QTEST_GUILESS_MAIN(TestLedgerStaff)
#include "tst_ledger_staff.moc"
