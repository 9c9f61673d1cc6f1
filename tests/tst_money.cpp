#include "core/errors.h"
#include "core/money.h"

#include <QTest>

class TestMoney : public QObject {
    Q_OBJECT
private slots:
    void parsesNumberTexts_data();
    void parsesNumberTexts();
    void refusesNoNumbers_data();
    void refusesNoNumbers();
    void sumsAndProductsAreExact();
    void overflowIsAnError();
    void generalFormat_data();
    void generalFormat();
    void storedValuesConvertExactly();
};

void TestMoney::parsesNumberTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("scaled");
    QTest::newRow("whole") << "100" << qint64(1000000);
    QTest::newRow("two decimals") << "12.50" << qint64(125000);
    QTest::newRow("leading zeros") << "007" << qint64(70000);
    QTest::newRow("negative") << "-30" << qint64(-300000);
    QTest::newRow("plus sign") << "+2.5" << qint64(25000);
    QTest::newRow("fraction only") << ".5" << qint64(5000);
    QTest::newRow("trailing point") << "5." << qint64(50000);
    QTest::newRow("exponent") << "1e3" << qint64(10000000);
    QTest::newRow("negative exponent") << "125E-2" << qint64(12500);
    QTest::newRow("blanks around") << "  8 " << qint64(80000);
    QTest::newRow("four decimals") << "0.005" << qint64(50);
    QTest::newRow("fifth decimal rounds half to even down") << "0.00005" << qint64(0);
    QTest::newRow("fifth decimal rounds half to even up") << "0.00015" << qint64(2);
    QTest::newRow("more than half rounds up") << "0.000051" << qint64(1);
    QTest::newRow("negative rounding") << "-0.00015" << qint64(-2);
    QTest::newRow("largest") << "922337203685477.5807" << qint64(9223372036854775807LL);
}

void TestMoney::parsesNumberTexts() {
    QFETCH(QString, text);
    QFETCH(qint64, scaled);
    QCOMPARE(Currency::parse(text).scaled(), scaled);
}

void TestMoney::refusesNoNumbers_data() {
    QTest::addColumn<QString>("text");
    for (const char* t : {"", "-", "abc", "12.50元", "1,5", "1e", "..5", "1.2.3", "e5", "--1", "１２"})
        QTest::newRow(t) << QString::fromUtf8(t);
}

void TestMoney::refusesNoNumbers() {
    QFETCH(QString, text);
    try {
        Currency::parse(text);
        QFAIL("no error");
    } catch (const ConversionError& e) {
        QCOMPARE(e.text(), QStringLiteral("'%1' is not a valid floating point value").arg(text));
    }
}

void TestMoney::sumsAndProductsAreExact() {
    const Currency stock = Currency::parse("5"), value = Currency::parse("62.5"),
                   price = Currency::parse("12.50");
    const Currency received = Currency::parse("3");
    QCOMPARE((stock + received).toString(), QStringLiteral("8"));
    QCOMPARE((value + received * price).toString(), QStringLiteral("100"));
    QCOMPARE((received * price).toString(), QStringLiteral("37.5"));
    QCOMPARE((Currency::parse("20.5") + Currency::parse("100")).toString(), QStringLiteral("120.5"));
    QCOMPARE((Currency::parse("10") + Currency::parse("0.005")).toString(), QStringLiteral("10.005"));
    QCOMPARE((Currency::parse("50") + Currency::parse("-30")).toString(), QStringLiteral("20"));
    QCOMPARE((Currency::parse("0.1") + Currency::parse("0.2")).toString(), QStringLiteral("0.3"));
    QCOMPARE((Currency::parse("100") - Currency::parse("90")).toString(), QStringLiteral("10"));
    // Products are rounded to four decimals, ties to even.
    QCOMPARE((Currency::parse("0.0005") * Currency::parse("0.5")).scaled(), qint64(2));
    QCOMPARE((Currency::parse("0.0015") * Currency::parse("0.5")).scaled(), qint64(8));
    QCOMPARE((Currency::parse("0.0003") * Currency::parse("0.5")).scaled(), qint64(2));
    QCOMPARE((Currency::parse("-0.0003") * Currency::parse("0.5")).scaled(), qint64(-2));
    QCOMPARE((Currency::parse("1.5") * Currency::parse("-2")).toString(), QStringLiteral("-3"));
    QVERIFY(Currency::parse("10.005") > Currency::parse("10"));
    QVERIFY(Currency::parse("10") == Currency::parse("10.0000"));
}

void TestMoney::overflowIsAnError() {
    const Currency big = Currency::parse("900000000000000");
    QVERIFY_THROWS_EXCEPTION(ConversionError, big + big);
    QVERIFY_THROWS_EXCEPTION(ConversionError, -big - big);
    QVERIFY_THROWS_EXCEPTION(ConversionError, big * Currency::parse("11"));
    QVERIFY_THROWS_EXCEPTION(ConversionError, Currency::parse("922337203685477.5808"));
    QVERIFY_THROWS_EXCEPTION(ConversionError, Currency::parse("1e300"));
    QVERIFY_THROWS_EXCEPTION(ConversionError, -Currency::fromScaled(std::numeric_limits<int64_t>::min()));
    // Still exact right below the limit.
    QCOMPARE((big + Currency::parse("22337203685477.5807")).scaled(), std::numeric_limits<int64_t>::max());
}

void TestMoney::generalFormat_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("twelve and a half") << 12.5 << "12.5";
    QTest::newRow("hundred") << 100.0 << "100";
    QTest::newRow("zero") << 0.0 << "0";
    QTest::newRow("nine tenths of 12.35") << 12.35 * 0.9 << "11.115";
    QTest::newRow("85 percent of 58.8") << 58.8 * 0.85 << "49.98";
    QTest::newRow("binary noise") << 0.1 + 0.2 << "0.3";
    QTest::newRow("negative") << -2.25 << "-2.25";
    QTest::newRow("small") << 0.0001 << "0.0001";
    QTest::newRow("tiny uses exponent") << 0.000001 << "1E-6";
    QTest::newRow("15 digits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("huge uses exponent") << 1e20 << "1E20";
    QTest::newRow("no thousands separator") << 1234567.5 << "1234567.5";
}

void TestMoney::generalFormat() {
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(formatGeneral(value), text);
}

void TestMoney::storedValuesConvertExactly() {
    QCOMPARE(Currency::fromVariant(QVariant(10.005)).scaled(), qint64(100050));
    QCOMPARE(Currency::fromVariant(QVariant(qlonglong(7))).scaled(), qint64(70000));
    QCOMPARE(Currency::fromVariant(QVariant("12.50")).scaled(), qint64(125000));
    QCOMPARE(Currency::fromVariant(QVariant()).scaled(), qint64(0));
    QCOMPARE(Currency::parse("62.5").toSql().toString(), QStringLiteral("62.5"));
}

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"
