#include "core/barcode.h"
#include "core/errors.h"
#include "core/scalelabel.h"
#include "corefixture.h"
#include "data/data_in.h"
#include "data/schema.h"
#include "fileedges.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/receipts.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"

#include <QFile>
#include <QStringDecoder>

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// Barcodes and warning levels of the products, without any window.
class TestLedgerCounter : public QObject {
    Q_OBJECT
private slots:
    void ean13CheckDigits();
    void scaleLabelsGiveTheLine_data();
    void scaleLabelsGiveTheLine();
    void scaleLayoutsWithFieldsOutsideOrOverlapAreRefused();
    void barcodeIsStoredAndUniqueWhenGiven();
    void storeCodesAreValidAndNeverTaken();
    void warningLevelIsStoredAndCounted();
    void olderFilesGainTheColumnsAtStart();
    void searchFindsNameOrExactCode();
    void receiptOfACardPaymentWithDiscount();
    void receiptSetupLivesInTheShopFolder();
    void receiptBarcodeCommand_data();
    void receiptBarcodeCommand();
    void returnReceiptsOfACardOrder();
};

namespace {

Products::Fields item(const QString& name, const QString& code,
                      std::optional<Currency> level = std::nullopt) {
    Products::Fields f;
    f.major = QStringLiteral("食品");
    f.name = name;
    f.unit = QStringLiteral("个");
    f.sale = Currency::parse("2.5");
    f.barcode = code;
    f.warnLevel = level;
    return f;
}

QStringList columnsOf(const QSqlDatabase& db, const QString& table) {
    QStringList names;
    QSqlQuery q = Db::exec(db, QStringLiteral("select name from pragma_table_info('%1')").arg(table));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

} // namespace

void TestLedgerCounter::ean13CheckDigits() {
    // Codes printed on real goods.
    for (const char* code : {"4006381333931", "9787115279460", "6901234567892", "5901234123457"}) {
        const QString c = QLatin1String(code);
        QCOMPARE(Barcode::ean13CheckDigit(c.left(12)), c.right(1).toInt());
        QVERIFY(Barcode::isEan13(c));
        QCOMPARE(Barcode::ean13(c.left(12)), c);
    }
    // A check digit of 0 (sum divisible by ten).
    QCOMPARE(Barcode::ean13CheckDigit("978711527946"), 0);
    QVERIFY(!Barcode::isEan13("4006381333932"));
    QVERIFY(!Barcode::isEan13("400638133393"));
    QVERIFY(!Barcode::isEan13("40063813339a1"));
    QCOMPARE(Barcode::ean13CheckDigit("40063813339"), -1);
    QCOMPARE(Barcode::ean13("4006381a3393"), QString());
    QVERIFY(Barcode::isStoreCode("2000000000015"));
    QVERIFY(!Barcode::isStoreCode("6901234567892"));
    QVERIFY(!Barcode::isStoreCode("2000000000016"));
}

void TestLedgerCounter::barcodeIsStoredAndUniqueWhenGiven() {
    CoreFixture f;
    const qint64 cola = Products::create(item("可乐", " 6901234567892 "), Currency::parse("5"));
    // No code: stored as nothing, and any number of products may have none.
    const qint64 bread = Products::create(item("面包", ""), Currency::parse("5"));
    const qint64 cake = Products::create(item("蛋糕", "  "), Currency::parse("5"));
    QCOMPARE(
        CoreFixture::rows("select bid, case when b13 is null then 1 else 0 end, b13 from ab order by bid"),
        QStringList({QString::number(cola) + "|0|6901234567892", QString::number(bread) + "|1|",
                     QString::number(cake) + "|1|"}));
    QCOMPARE(Products::findByCode("6901234567892"), cola);
    QCOMPARE(Products::findByCode(" 6901234567892"), cola);
    QCOMPARE(Products::findByCode("690123456789"), qint64(0));
    QCOMPARE(Products::findByCode(""), qint64(0));

    // Another product with the same code is refused with the owner's name; nothing is written.
    try {
        Products::create(item("雪碧", "6901234567892"), Currency::parse("1"));
        QFAIL("a second product got the same barcode");
    } catch (const Refused& e) {
        QCOMPARE(e.text(), Products::duplicateCodeMessage("6901234567892", "可乐"));
        QVERIFY(e.text().contains("可乐"));
    }
    QCOMPARE(CoreFixture::scalar("select count(*) from ab").toInt(), 3);
    try {
        Products::update(bread, item("面包", "6901234567892"));
        QFAIL("an edit took another product's barcode");
    } catch (const Refused&) {
    }
    QVERIFY(CoreFixture::scalar("select b13 from ab where bid = :a", {{":a", bread}}).isNull());
    // Keeping its own code, or dropping it, is fine.
    Products::update(cola, item("可乐 330ml", "6901234567892"));
    Products::update(cola, item("可乐 330ml", ""));
    QCOMPARE(Products::findByCode("6901234567892"), qint64(0));
    Products::update(bread, item("面包", "6901234567892"));
    QCOMPARE(Products::findByCode("6901234567892"), bread);
    // The file itself refuses a duplicate written past the operations.
    QVERIFY_THROWS_EXCEPTION(
        DatabaseError,
        CoreFixture::exec("update ab set b13 = '6901234567892' where bid = :a", {{":a", cake}}));
}

void TestLedgerCounter::storeCodesAreValidAndNeverTaken() {
    CoreFixture f;
    const QString first = Products::newStoreCode();
    QCOMPARE(first, QStringLiteral("2000000000015"));
    QVERIFY(Barcode::isStoreCode(first));
    // Asking again without using it gives the same code.
    QCOMPARE(Products::newStoreCode(), first);
    Products::create(item("散装糖", first), Currency::parse("1"));
    const QString second = Products::newStoreCode();
    QCOMPARE(second, QStringLiteral("2000000000022"));
    // A higher in-store code typed by hand: the next one follows it; codes of other ranges and
    // lengths do not count.
    Products::create(item("散装米", "2100000000506"), Currency::parse("1"));
    Products::create(item("进口", "9787115279460"), Currency::parse("1"));
    Products::create(item("短码", "21"), Currency::parse("1"));
    const QString third = Products::newStoreCode();
    QCOMPARE(third, Barcode::ean13("210000000051"));
    QVERIFY(Barcode::isStoreCode(third));
    QCOMPARE(Products::findByCode(third), qint64(0));
    // The range used up.
    Products::create(item("末号", Barcode::ean13("299999999999")), Currency::parse("1"));
    QVERIFY_THROWS_EXCEPTION(Refused, Products::newStoreCode());
}

void TestLedgerCounter::warningLevelIsStoredAndCounted() {
    CoreFixture f;
    // Stock 5: at, below and above the level, and without one.
    const qint64 at = Products::create(item("等于", "", Currency::parse("5")), Currency::parse("5"));
    Products::create(item("低于", "", Currency::parse("6")), Currency::parse("5"));
    Products::create(item("高于", "", Currency::parse("4")), Currency::parse("5"));
    Products::create(item("无下限", ""), Currency::parse("0"));
    QCOMPARE(CoreFixture::rows("select b3, b4, b14 from ab order by bid"),
             QStringList({"等于|5|5", "低于|5|6", "高于|5|4", "无下限|0|"}));
    QCOMPARE(Products::lowStockCount(), 2);
    Products::update(at, item("等于", "", Currency::parse("4.5")));
    QCOMPARE(Products::lowStockCount(), 1);
    Products::update(at, item("等于", ""));
    QVERIFY(CoreFixture::scalar("select b14 from ab where bid = :a", {{":a", at}}).isNull());
    QCOMPARE(Products::lowStockCount(), 1);
}

void TestLedgerCounter::olderFilesGainTheColumnsAtStart() {
    QTemporaryDir dir;
    Schema::createDatabaseFiles(dir.path());
    const QString path = QDir(dir.path()).absoluteFilePath(Db::BusinessFile);
    {
        // A file as earlier versions made it: no barcode, no warning level, no barcode index.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
        db.setDatabaseName(path);
        QVERIFY(db.open());
        Db::exec(db, "drop index ab_b13");
        Db::exec(db, "drop index ab_b14");
        Db::exec(db, "alter table ab drop column b14");
        Db::exec(db, "alter table ab drop column b13");
        Db::exec(db, "drop index ab_b15");
        Db::exec(db, "alter table ab drop column b15");
        Db::exec(db, "alter table ak drop column k9");
        // Its day summary summed the records otherwise (here: not at all) and misses a record.
        for (const char* trigger : {"ae_day_insert", "ae_day_delete", "ae_day_update"}) {
            Db::exec(db, QStringLiteral("drop trigger %1").arg(trigger));
            Db::exec(db,
                     QStringLiteral("create trigger %1 after insert on ae begin select 1; end").arg(trigger));
        }
        Db::exec(db, "alter table ae drop column e15");
        Db::exec(db,
                 "insert into ae (e1, e3, e6, e7, e8) values ('1', '2', '3', '2026-12-01 09:00:00', '食品')");
        Db::exec(db, "insert into ab (b1, b3, b4, b8, b9) values ('食品', '旧产品', 3, 2, 6)");
        QVERIFY(!columnsOf(db, "ab").contains("b13"));
        db.close();
    }
    QSqlDatabase::removeDatabase("older");
    {
        TData_in data(nullptr, dir.path());
        QCOMPARE(columnsOf(Db::business(), "ab").mid(13), QStringList({"b13", "b14", "b15"}));
        QCOMPARE(columnsOf(Db::business(), "ak").mid(9), QStringList({"k9"}));
        QCOMPARE(columnsOf(Db::business(), "ae").last(), QStringLiteral("e15"));
        QCOMPARE(Db::scalar(Db::business(), "select group_concat(d || ' ' || sales) from ae_day").toString(),
                 QStringLiteral("2026-12-01 60000"));
        Db::exec(Db::business(), "insert into ae (e1, e3, e6, e7, e8, e15) values "
                                 "('1', '0.523', '19.98', '2026-12-01 10:00:00', '食品', '10.45')");
        QCOMPARE(Db::scalar(Db::business(), "select sales from ae_day").toLongLong(), 60000 + 104500);
        // The old row is as it was and takes the new fields.
        QCOMPARE(data.Query_ab->recordCount(), 1);
        QCOMPARE(data.Query_ab->fieldText("b3"), QStringLiteral("旧产品"));
        QVERIFY(data.Query_ab->fieldValue("b13").isNull());
        Products::update(1, item("旧产品", "4006381333931", Currency::parse("3")));
        QCOMPARE(Products::lowStockCount(), 1);
        QVERIFY_THROWS_EXCEPTION(Refused,
                                 Products::create(item("新", "4006381333931"), Currency::parse("1")));
        // Nothing more to add at the next start; a number check holds on the new column.
        QCOMPARE(Schema::upgradeBusinessFile(Db::business()), QStringList());
        QVERIFY_THROWS_EXCEPTION(DatabaseError, Db::exec(Db::business(), "update ab set b14 = 'x'"));
    }
    // A new file has them from the start.
    QTemporaryDir fresh;
    Schema::createDatabaseFiles(fresh.path());
    TData_in data(nullptr, fresh.path());
    QCOMPARE(Schema::upgradeBusinessFile(Db::business()), QStringList());
    QVERIFY(columnsOf(Db::business(), "ab").contains("b14"));
}

void TestLedgerCounter::searchFindsNameOrExactCode() {
    QTemporaryDir dir;
    Schema::createDatabaseFiles(dir.path());
    TData_in data(nullptr, dir.path());
    const qint64 a = Products::create(item("可乐", "6901234567892"), Currency::parse("1"));
    const qint64 b = Products::create(item("雪碧 690123", "4006381333931"), Currency::parse("1"));
    const qint64 c = Products::create(item("面包", "69012345678"), Currency::parse("1"));
    SharedQuery* q = data.Query_ab;
    auto keys = [q] {
        QList<qint64> out;
        for (int r = 0; r < q->recordCount(); ++r)
            out << q->value(r, "bid").toLongLong();
        return out;
    };
    for (bool paged : {true, false}) {
        SharedQuery::setLoadEverything(!paged);
        q->search("b3", "6901234567892", "b13");
        QCOMPARE(q->isPaged(), paged);
        QCOMPARE(keys(), QList<qint64>({a}));
        // Part of a code finds nothing by code; the name still counts. Newest first, each once.
        q->search("b3", "690123", "b13");
        QCOMPARE(keys(), QList<qint64>({b}));
        q->search("b3", " 69012345678 ", "b13");
        QCOMPARE(keys(), QList<qint64>({c}));
        q->search("b3", "可", "b13");
        QCOMPARE(keys(), QList<qint64>({a}));
        q->search("b3", "", "b13");
        QCOMPARE(keys(), QList<qint64>({c, b, a}));
        // A product renamed after the index was read is found by its new name and its code.
        Products::update(a, item("雪碧可乐", "6901234567892"));
        q->search("b3", "雪碧", "b13");
        QCOMPARE(keys(), QList<qint64>({b, a}));
        Products::update(a, item("可乐", "6901234567892"));
    }
    SharedQuery::setLoadEverything(false);
}

namespace {

// An order of two lines (10.5 due), paid by card with 0.5 off: the card keeps 90.5 of 100.
qint64 cardOrder() {
    const qint64 cola = Products::create(item("可乐", "6901234567892"), Currency::parse("10"));
    Products::Fields bread = item("全麦面包 Whole wheat bread, sliced", "");
    bread.sale = Currency::parse("5.5");
    const qint64 loaf = Products::create(bread, Currency::parse("10"));
    const qint64 order = Orders::addLine(0, cola, Currency::parse("2")).order;
    Orders::addLine(order, loaf, Currency::parse("1"));
    const qint64 card =
        CoreFixture::insert("insert into aj (j1, j2, j6, j9, j10) values ('张三', '13800000000', "
                            "'先生', 100, '2026-11-01 08:00:00')");
    Settlement::payByCard(order, card, Currency::parse("10"));
    return order;
}

} // namespace

void TestLedgerCounter::receiptOfACardPaymentWithDiscount() {
    CoreFixture f;
    const qint64 order = cardOrder();
    const Receipts::Receipt r = Receipts::forOrder(order);
    QCOMPARE(r.lines.size(), 2);
    QCOMPARE(r.due, Currency::parse("10.5"));
    QCOMPARE(r.discount, Currency::parse("0.5"));
    QCOMPARE(r.received, Currency::parse("10"));
    QCOMPARE(r.card, std::optional<qint64>(1));
    QCOMPARE(r.balanceAfter, Currency::parse("90"));

    Receipts::Setup setup;
    setup.shop = QStringLiteral("万家便利店");
    setup.footer = QStringLiteral("谢谢惠顾，欢迎再来！");
    const QStringList narrow = Receipts::text(r, setup);
    QCOMPARE(narrow,
             QStringList({"           万家便利店", "单号: 1", "时间: 2026-12-09 10:30:00",
                          "--------------------------------", "可乐", "  2 x 2.50                  5.00",
                          "全麦面包 Whole wheat bread, slic", "ed", "  1 x 5.50                  5.50",
                          "--------------------------------", "应收金额:                  10.50",
                          "优惠:                       0.50", "实收金额:                  10.00",
                          "会员卡号:                      1", "卡内余额:                  90.00",
                          "--------------------------------", "      谢谢惠顾，欢迎再来！"}));
    for (const QString& line : narrow)
        QVERIFY2(Receipts::textWidth(line) <= 32, qPrintable(line));
    setup.width = 80;
    for (const QString& line : Receipts::text(r, setup))
        QVERIFY2(Receipts::textWidth(line) <= 48, qPrintable(line));
    QCOMPARE(Receipts::text(r, setup).at(6), QStringLiteral("全麦面包 Whole wheat bread, sliced"));

    // The printer's bytes: reset, Chinese mode, GB18030 text, feed and cut; kept as a golden file.
    setup.width = 58;
    const QByteArray bytes = Receipts::escPos(r, setup);
    QFile golden(QFINDTESTDATA("data/receipt_card_58.bin"));
    QVERIFY(golden.open(QIODevice::ReadOnly));
    QCOMPARE(bytes, golden.readAll());
    QVERIFY(bytes.startsWith(QByteArray("\x1b\x40\x1c\x26", 4)));
    QVERIFY(bytes.endsWith(QByteArray("\x1d\x56\x42\x03", 4)));
    // The order's number as the printer's own Code 128 below the text, before the cut.
    QVERIFY(bytes.endsWith(Receipts::escPosBarcode("1", 58) + QByteArray("\x1c\x2e\x1d\x56\x42\x03", 6)));
    // 可乐 in GB18030 (the same two bytes each as GBK), not UTF-8.
    QVERIFY(bytes.contains(QByteArray("\xbf\xc9\xc0\xd6\n", 5)));
    QVERIFY(!bytes.contains(QStringLiteral("可乐").toUtf8()));
    QStringDecoder gb18030("GB18030");
    const QString decoded = gb18030.decode(bytes);
    QVERIFY(decoded.contains(QStringLiteral("卡内余额:                  90.00")));

    // Written to the printer's device file as they are.
    FileEdges::FakePrinter printer;
    QVERIFY(!printer.path().isEmpty());
    Receipts::writeDevice(printer.path(), bytes);
    QCOMPARE(printer.received(bytes.size()), bytes);
    QVERIFY_THROWS_EXCEPTION(LedgerError,
                             Receipts::writeDevice(QDir(f.folder()).absoluteFilePath("no/lp0"), bytes));

    // A cash payment without discount has neither line; an unsettled order has no receipt.
    const qint64 cash = Orders::addLine(0, 1, Currency::parse("1")).order;
    QVERIFY_THROWS_EXCEPTION(Refused, Receipts::forOrder(cash));
    Settlement::payCash(cash, Currency::parse("2.5"));
    const QString plain = Receipts::text(Receipts::forOrder(cash), setup).join('\n');
    QVERIFY(plain.contains(QStringLiteral("实收金额:                   2.50")));
    QVERIFY(!plain.contains(QStringLiteral("优惠")) && !plain.contains(QStringLiteral("会员卡号")));
    QVERIFY_THROWS_EXCEPTION(Refused, Receipts::forOrder(99));
}

void TestLedgerCounter::receiptSetupLivesInTheShopFolder() {
    QTemporaryDir dir;
    const Receipts::Setup fresh = Receipts::loadSetup(dir.path());
    QCOMPARE(fresh.way, Receipts::Setup::Way::Printer);
    QCOMPARE(fresh.width, 58);
    QCOMPARE(fresh.device, QStringLiteral("/dev/usb/lp0"));
    QVERIFY(!fresh.autoPrint);
    Receipts::Setup s;
    s.way = Receipts::Setup::Way::Device;
    s.width = 80;
    s.device = "/dev/usb/lp1";
    s.shop = "万家便利店";
    s.footer = "谢谢惠顾";
    s.autoPrint = true;
    Receipts::saveSetup(dir.path(), s);
    QVERIFY(QFile::exists(QDir(dir.path()).absoluteFilePath("receipt.ini")));
    const Receipts::Setup back = Receipts::loadSetup(dir.path());
    QCOMPARE(back.way, s.way);
    QCOMPARE(back.width, 80);
    QCOMPARE(back.device, s.device);
    QCOMPARE(back.shop, s.shop);
    QCOMPARE(back.footer, s.footer);
    QVERIFY(back.autoPrint);
}

void TestLedgerCounter::scaleLabelsGiveTheLine_data() {
    // Codes with check digits computed apart (GS1 mod 10, weights 3 and 1 from the right).
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("layout"); // of the default layouts; -1: all of them, in their order
    QTest::addColumn<QString>("unitPrice");
    QTest::addColumn<int>("gramsPerUnit");
    QTest::addColumn<QString>("expected"); // "product code|quantity|amount", "" for no label, "!" refused
    QTest::newRow("13 digits, price") << "2100123013494" << 0 << "25.8" << 1000 << "00123|0.523|13.49";
    QTest::newRow("13 digits, price, sold by the jin")
        << "2100123013494" << 0 << "12.9" << 500 << "00123|1.046|13.49";
    QTest::newRow("13 digits, weight") << "2200456005231" << 1 << "25.8" << 1000 << "00456|0.523|13.49";
    QTest::newRow("13 digits, weight, rounded to the fen")
        << "2200456005231" << 1 << "9.99" << 1000 << "00456|0.523|5.22";
    QTest::newRow("18 digits, weight and price")
        << "250078900523013498" << 2 << "30" << 1000 << "00789|0.523|13.49";
    QTest::newRow("a bad check digit") << "2100123013495" << 0 << "25.8" << 1000 << "!";
    QTest::newRow("an ordinary EAN-13") << "6901234567892" << -1 << "3" << 1000 << "";
    QTest::newRow("a label of another length") << "21001230134" << -1 << "3" << 1000 << "";
    QTest::newRow("letters") << "21001230134X4" << -1 << "3" << 1000 << "";
    QTest::newRow("price only, no sale price") << "2100123013494" << 0 << "0" << 1000 << "!";
}

void TestLedgerCounter::scaleLabelsGiveTheLine() {
    QFETCH(QString, code);
    QFETCH(int, layout);
    QFETCH(QString, unitPrice);
    QFETCH(int, gramsPerUnit);
    QFETCH(QString, expected);
    const QList<ScaleLabels::Layout> all = ScaleLabels::defaultLayouts();
    for (const ScaleLabels::Layout& l : all)
        QVERIFY2(l.problem().isEmpty(), qPrintable(l.name + ": " + l.problem()));
    const QList<ScaleLabels::Layout> layouts = layout < 0 ? all : QList<ScaleLabels::Layout>{all[layout]};
    QString got;
    try {
        const std::optional<ScaleLabels::Label> label = ScaleLabels::read(code, layouts);
        if (label) {
            const ScaleLabels::Line line =
                ScaleLabels::lineOf(*label, Currency::parse(unitPrice), gramsPerUnit);
            got = label->productCode + "|" + line.quantity.toString() + "|" + line.amount.toString();
        }
    } catch (const Refused& e) {
        got = "!";
        QVERIFY(!e.text().isEmpty());
    }
    QCOMPARE(got, expected);
}

void TestLedgerCounter::scaleLayoutsWithFieldsOutsideOrOverlapAreRefused() {
    ScaleLabels::Layout layout = ScaleLabels::defaultLayouts().first();
    QCOMPARE(layout.problem(), QString());
    layout.priceAt = 5; // over the product code
    QVERIFY(!layout.problem().isEmpty());
    layout.priceAt = 9; // into the check digit
    QVERIFY(!layout.problem().isEmpty());
    layout.priceAt = -1; // neither price nor weight
    QVERIFY(!layout.problem().isEmpty());
    // A layout that cannot be read by reads nothing.
    QCOMPARE(ScaleLabels::read("2100123013494", {layout}).has_value(), false);
}

QTEST_GUILESS_MAIN(TestLedgerCounter)
#include "tst_ledger_counter.moc"

void TestLedgerCounter::receiptBarcodeCommand_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("data"); // what follows GS k 73 n; empty: no barcode
    QTest::addColumn<int>("module");      // the bar width in dots
    QTest::newRow("one digit: set B") << "1" << 58 << QByteArray("{B1") << 3;
    QTest::newRow("even: set C, two digits a byte") << "1234" << 58 << QByteArray("{C\x0c\x22") << 3;
    QTest::newRow("odd: the first in set B") << "12345" << 80 << QByteArray("{B1{C\x17\x2d") << 3;
    QTest::newRow("zeros kept") << "0700" << 58 << QByteArray("{C\x07\x00", 4) << 3;
    QTest::newRow("the largest order number: narrower bars")
        << "9223372036854775807" << 58 << QByteArray("{B9{C\x16\x21\x48\x03\x44\x36\x4d\x3a\x07") << 2;
    QTest::newRow("30 digits fit only the wide roll (58)") << QString(30, u'8') << 58 << QByteArray() << 0;
    QTest::newRow("30 digits fit only the wide roll (80)")
        << QString(30, u'8') << 80 << (QByteArray("{C") + QByteArray(15, 88)) << 2;
    QTest::newRow("letters") << "A-17" << 80 << QByteArray() << 0;
    QTest::newRow("a control character") << "12\x1d" << 80 << QByteArray() << 0;
    QTest::newRow("full-width digits") << "１２" << 80 << QByteArray() << 0;
    QTest::newRow("empty") << "" << 80 << QByteArray() << 0;
    QTest::newRow("too long for the command") << QString(300, u'7') << 80 << QByteArray() << 0;
}

void TestLedgerCounter::receiptBarcodeCommand() {
    QFETCH(QString, code);
    QFETCH(int, width);
    QFETCH(QByteArray, data);
    QFETCH(int, module);
    const QByteArray bytes = Receipts::escPosBarcode(code, width);
    if (data.isEmpty()) {
        QCOMPARE(bytes, QByteArray());
        // The lines print without it.
        QCOMPARE(Receipts::escPosLines({"a", "b"}, code, width), Receipts::escPosLines({"a", "b"}));
        return;
    }
    // Centred, 80 dots high, the module width, the number under the bars in font A, CODE128, left.
    const QByteArray expected = QByteArray("\x1b\x61\x01\x1d\x68\x50\x1d\x77", 8) + char(module) +
                                QByteArray("\x1d\x48\x02\x1d\x66\x00\x1d\x6b\x49", 9) + char(data.size()) +
                                data + QByteArray("\x1b\x61\x00", 3);
    QCOMPARE(bytes.toHex(' '), expected.toHex(' '));
}

void TestLedgerCounter::returnReceiptsOfACardOrder() {
    CoreFixture f;
    const qint64 order = cardOrder();
    const QList<Returns::Returnable> lines = Returns::returnable(order);
    QCOMPARE(lines.size(), 2);
    // One cola back to the card, the bread written off; then the other cola, also to the card.
    const Returns::Made first = Returns::make(
        order, {{lines[0].line, Currency::fromInt(1), false}, {lines[1].line, Currency::fromInt(1), true}},
        Returns::Way::Card, QStringLiteral("质量问题"));
    const Returns::Made second =
        Returns::make(order, {{lines[0].line, Currency::fromInt(1), false}}, Returns::Way::Card, QString());

    Receipts::Setup setup;
    setup.shop = QStringLiteral("万家便利店");
    const Receipts::ReturnReceipt r = Receipts::forReturn(first.key);
    // 2.5 and 5.5 of the 10.5 due, of which 10 was collected; the card had 90 left after the sale.
    QCOMPARE(Receipts::text(r, setup),
             QStringList({"           万家便利店", "            退货小票", "退货单号: 1", "原订单号: 1",
                          "时间: 2026-12-09 10:30:00", "--------------------------------", "可乐",
                          "  数量 1                    2.38", "全麦面包 Whole wheat bread, slic",
                          "ed（报损）", "  数量 1                    5.24",
                          "--------------------------------", "退款金额:                   7.62",
                          "退款方式:                 会员卡", "会员卡号:                      1",
                          "卡内余额:                  97.62", "退货原因: 质量问题"}));
    // The last return gives back the rest of what was collected; each receipt shows the card's
    // balance after its own return.
    const QStringList last = Receipts::text(Receipts::forReturn(second.key), setup);
    QVERIFY(last.contains(QStringLiteral("退款金额:                   2.38")));
    QVERIFY(last.contains(QStringLiteral("卡内余额:                 100.00")));
    QVERIFY(!last.join('\n').contains(QStringLiteral("退货原因")));
    QCOMPARE(Receipts::forReturn(first.key).balanceAfter, Currency::parse("97.62"));
    // The sale's own receipt, printed again, still shows the balance its payment left.
    QCOMPARE(Receipts::forOrder(order).balanceAfter, Currency::parse("90"));

    // On the printer: the title large, the original order's number as a barcode at the foot.
    const QByteArray bytes = Receipts::escPos(r, setup);
    QCOMPARE(bytes, Receipts::escPosLines(Receipts::text(r, setup), QStringLiteral("1"), 58));
    QVERIFY(bytes.contains(QByteArray("\x1d\x6b\x49\x03{B1", 7)));
    QVERIFY(QString(QStringDecoder("GB18030").decode(bytes)).contains(QStringLiteral("ed（报损）\n")));
    // A cash return names no card; without a shop's name the title is on top.
    const qint64 cash = Orders::addLine(0, 1, Currency::parse("1")).order;
    Settlement::payCash(cash, Currency::parse("2.5"));
    // Its reason carries a drawer pulse and a cut: printed as text, never as commands.
    const Returns::Made back =
        Returns::make(cash, {{Returns::returnable(cash)[0].line, Currency::fromInt(1), false}},
                      Returns::Way::Cash, QStringLiteral("顾客不想要了\x1bp0\x19\x7f\x1dVB\x03"));
    const QByteArray printed = Receipts::escPos(Receipts::forReturn(back.key), Receipts::Setup());
    QVERIFY(!printed.contains("\x1bp"));
    QCOMPARE(printed.count("\x1dV"), 1); // the cut at the end
    // So are a name's, on any lines laid out for the roll.
    QCOMPARE(Receipts::escPosLines({"店\x1b@", "可乐\x1dVB\x03"}), Receipts::escPosLines({"店@", "可乐VB"}));
    QVERIFY(printed.contains(QByteArray("\xb9\xcb\xbf\xcd\xb2\xbb\xcf\xeb\xd2\xaa\xc1\xcbp0VB\n")));
    // The operator who took it back, where the shop has operators.
    CoreFixture::exec("update returns set operator_name = '王芳' where id = :k", {{":k", back.key}});
    QVERIFY(Receipts::text(Receipts::forReturn(back.key), Receipts::Setup())
                .contains(QStringLiteral("操作员: 王芳")));
    const QStringList plain = Receipts::text(Receipts::forReturn(back.key), Receipts::Setup());
    QCOMPARE(plain.first(), QStringLiteral("            退货小票"));
    QVERIFY(plain.contains(QStringLiteral("退款方式:                   现金")));
    QVERIFY(plain.filter(QStringLiteral("会员卡")).isEmpty());
    QVERIFY_THROWS_EXCEPTION(Refused, Receipts::forReturn(99));
}
