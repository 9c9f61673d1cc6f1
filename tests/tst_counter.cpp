#include "app/Fr_wel.h"
#include "app/mainwindow.h"
#include "core/barcode.h"
#include "data/data_in.h"
#include "fileedges.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/receipts.h"
#include "ledger/reportfiles.h"
#include "ledger/settlement.h"
#include "ledger/shopsettings.h"
#include "ledger/weighed.h"
#include "ledgertest.h"
#include "orders/Fr_dingdan.h"
#include "orders/edit_dingdan.h"
#include "orders/new_dingdan.h"
#include "orders/xiaopiao.h"
#include "reports/labelsheet.h"
#include "reports/receiptprint.h"
#include "reports/reports.h"
#include "settlement/jiesuan_xianjin.h"
#include "warehouse/Fr_kucun.h"
#include "warehouse/edit_chanpin.h"
#include "warehouse/new_chanpin.h"
#include "warehouse/scalelayouts.h"
#include "widgets/buttonsbar.h"
#include "widgets/databound.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTableWidget>
#include <QToolButton>

// The shop counter: barcodes in the product dialogs, finding and scanning products by code.
class TestCounter : public QObject {
    Q_OBJECT
private slots:
    void productDialogsTakeBarcodeAndWarningLevel();
    void everySearchBoxFindsByExactCode();
    void scanningAddsLinesInBothModes();
    void scanningIntoTheEditedOrder();
    void scaleLabelsScannedIntoTheOrder();
    void lowStockIsMarkedListedAndCounted();
    void receiptsAreSetUpReprintedAndPrintedAfterSettlement();
    void receiptPdfAtBothWidths();
    void receiptPagesCarryTheOrderBarcode_data();
    void receiptPagesCarryTheOrderBarcode();
    void shelfLabelsDrawTheCodes();
};

using namespace User;

namespace {

void choose(QComboBox* list, const QString& text) {
    QVERIFY(list);
    const int index = list->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    list->setCurrentIndex(index);
}

TFr_kucun* stockPage() {
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    return main_window->Fr_kucun1;
}

QStringList listedNames(SharedQuery* q) {
    QStringList out;
    for (int r = 0; r < q->recordCount(); ++r)
        out << q->text(r, "b3");
    return out;
}

// What a scanner does: the digits, then Enter.
void scan(QLineEdit* box, const QString& code) {
    box->selectAll();
    QTest::keyClicks(box, code);
    QTest::keyClick(box, Qt::Key_Return);
}

qint64 stocked(const QString& name, const char* stock, std::optional<Currency> level) {
    Products::Fields fields;
    fields.major = QStringLiteral("食品");
    fields.name = name;
    fields.unit = QStringLiteral("个");
    fields.sale = Currency::parse("2");
    fields.warnLevel = level;
    return Products::create(fields, Currency::parse(stock));
}

} // namespace

void TestCounter::productDialogsTakeBarcodeAndWarningLevel() {
    LedgerFixture f;
    TFr_kucun* page = stockPage();
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<Tnew_chanpin*>(w);
        QVERIFY(d);
        QCOMPARE(child<QLabel>(d, "bsSkinStdLabel17")->text(), QStringLiteral("条  码:"));
        QCOMPARE(child<QLabel>(d, "bsSkinStdLabel18")->text(), QStringLiteral("库存下限:"));
        choose(d->bsSkinDBLookupComboBox2, "饮料");
        d->bsSkinEdit1->setText("可乐");
        choose(d->bsSkinDBLookupComboBox4, "瓶");
        d->bsSkinEdit6->setValue(3);
        // The scanner fills the box and its Enter moves on to the next box, saving nothing.
        d->bsSkinEdit7->setFocus();
        scan(d->bsSkinEdit7, "6901234567892");
        QCOMPARE(d->bsSkinEdit7->text(), QStringLiteral("6901234567892"));
        QCOMPARE(d->focusWidget(), d->bsSkinEdit2);
        QVERIFY(d->isVisible());
        QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 0);
        d->bsSkinEdit2->setText("10");
        // The warning level takes a number only.
        QTest::keyClicks(d->bsSkinEdit8, "1x2");
        QCOMPARE(d->bsSkinEdit8->text(), QStringLiteral("12"));
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton5);
    QCOMPARE(LedgerFixture::rows("select b3, b4, b13, b14 from ab"),
             QStringList({"可乐|10|6901234567892|12"}));

    // A second product with the same code: refused, the dialog stays open with what was typed.
    onModal([&](QWidget* w) {
        auto* d = static_cast<Tnew_chanpin*>(w);
        QCOMPARE(d->bsSkinEdit7->text(), QString()); // starts blank
        QCOMPARE(d->bsSkinEdit8->text(), QString());
        choose(d->bsSkinDBLookupComboBox2, "饮料");
        d->bsSkinEdit1->setText("雪碧");
        d->bsSkinEdit2->setText("4");
        choose(d->bsSkinDBLookupComboBox4, "瓶");
        d->bsSkinEdit7->setText("6901234567892");
        f.messages.clear();
        click(d->bsSkinButton1);
        QCOMPARE(f.messages.texts(), QStringList({"条码 6901234567892 已用于产品“可乐”，请换一个条码。"}));
        QVERIFY(d->isVisible());
        // One click gives an in-store code instead.
        click(d->bsSkinSpeedButton4);
        QCOMPARE(d->bsSkinEdit7->text(), QStringLiteral("2000000000015"));
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton5);
    QCOMPARE(LedgerFixture::rows("select b3, b13, b14 is null from ab order by bid"),
             QStringList({"可乐|6901234567892|0", "雪碧|2000000000015|1"}));

    // The edit dialog shows both and writes them back; emptying the level drops the warning.
    QCOMPARE(page->bsSkinDBGrid2->cellText(1, 11), QStringLiteral("6901234567892"));
    QCOMPARE(page->bsSkinDBGrid2->cellText(1, 10), QStringLiteral("12"));
    page->bsSkinDBGrid2->selectRow(1);
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<Tedit_chanpin*>(w);
        QVERIFY(d);
        QCOMPARE(d->bsSkinEdit7->text(), QStringLiteral("6901234567892"));
        QCOMPARE(d->bsSkinEdit8->text(), QStringLiteral("12"));
        d->bsSkinEdit8->clear();
        d->bsSkinEdit7->setText("2000000000015");
        f.messages.clear();
        click(d->bsSkinButton1);
        QCOMPARE(f.messages.texts(), QStringList({"条码 2000000000015 已用于产品“雪碧”，请换一个条码。"}));
        d->bsSkinEdit7->setText("4006381333931");
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(page->bsSkinSpeedButton1);
    QCOMPARE(LedgerFixture::rows("select b3, b13, b14 is null from ab order by bid"),
             QStringList({"可乐|4006381333931|1", "雪碧|2000000000015|1"}));
}

void TestCounter::everySearchBoxFindsByExactCode() {
    LedgerFixture f;
    addProduct({.name = "可乐", .stock = "5", .price = "2", .barcode = "6901234567892"});
    addProduct({.name = "饼干 6901", .stock = "5", .price = "2", .barcode = "4006381333931"});
    addProduct({.name = "面包", .stock = "5", .price = "2"});
    TFr_kucun* page = stockPage();
    SharedQuery* q = Data_in->Query_ab;
    page->bsSkinEdit1->setText("6901234567892");
    QCOMPARE(listedNames(q), QStringList({"可乐"}));
    page->bsSkinEdit1->setText("6901");
    QCOMPARE(listedNames(q), QStringList({"饼干 6901"})); // by name only: a part of a code is no code
    page->bsSkinEdit1->setText("4006381333931");
    QCOMPARE(listedNames(q), QStringList({"饼干 6901"}));
    page->bsSkinEdit1->setText("面");
    QCOMPARE(listedNames(q), QStringList({"面包"}));
    page->bsSkinEdit1->clear();

    for (OrderForm* d : {static_cast<OrderForm*>(new_dingdan), static_cast<OrderForm*>(edit_dingdan)}) {
        d->show();
        d->bsSkinEdit1->setText("6901234567892");
        QCOMPARE(listedNames(q), QStringList({"可乐"}));
        QCOMPARE(d->bsSkinDBGrid1->cellText(0, 2), QStringLiteral("可乐"));
        d->bsSkinEdit1->setText("4006381333931");
        QCOMPARE(listedNames(q), QStringList({"饼干 6901"}));
        d->bsSkinEdit1->setText("包");
        QCOMPARE(listedNames(q), QStringList({"面包"}));
        d->bsSkinEdit1->clear();
        QCOMPARE(listedNames(q), QStringList({"面包", "饼干 6901", "可乐"}));
        d->hide();
    }
    QCOMPARE(f.messages.messages.size(), 0);
}

void TestCounter::scanningAddsLinesInBothModes() {
    LedgerFixture f;
    const QString cola =
        QString::number(addProduct({.name = "可乐", .stock = "5", .price = "2", .barcode = "6901234567892"}));
    const QString cake =
        QString::number(addProduct({.name = "蛋糕", .stock = "5", .price = "2", .barcode = "12345670"}));
    addProduct({.name = "面包", .stock = "5", .price = "2"});
    Tnew_dingdan* d = new_dingdan;
    d->show();
    // The dialog opens ready for a scan.
    QCOMPARE(d->focusWidget(), d->bsSkinEdit1);
    // Scanned in first-line mode: the order is created with the product, quantity 1, whatever
    // the quantity box held.
    d->bsSkinEdit2->setText("3");
    scan(d->bsSkinEdit1, "6901234567892");
    QCOMPARE(f.messages.texts(), QStringList());
    QVERIFY(d->nextLineMode());
    QCOMPARE(LedgerFixture::rows("select k3, k4, k7, k8 from ak order by kid"),
             QStringList({"可乐|1|" + cola + "|1"}));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("2"));
    // The code is selected, so the next scan replaces it.
    QCOMPARE(d->bsSkinEdit1->selectedText(), QStringLiteral("6901234567892"));
    // Next-line mode: the same code again adds one to its line (the till's setting, on at first),
    // also when the cursor stands in the quantity box, whose nine places would cut the code: it is
    // known as a scan by its speed, and the box keeps its quantity.
    QVERIFY(d->joinScans->isChecked());
    d->bsSkinEdit2->setFocus();
    d->bsSkinEdit2->setText("1");
    d->bsSkinEdit2->setCursorPosition(1);
    QTest::keyClicks(d->bsSkinEdit2, "6901234567892");
    QTest::keyClick(d->bsSkinEdit2, Qt::Key_Return);
    QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("1"));
    QCOMPARE(f.messages.texts(), QStringList());
    // A short code scanned with the cursor still in the quantity box works too.
    scan(d->bsSkinEdit2, "12345670");
    QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("1"));
    QCOMPARE(LedgerFixture::rows("select k3, k4, k7, k8 from ak order by kid"),
             QStringList({"可乐|2|" + cola + "|1", "蛋糕|1|" + cake + "|1"}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from aa").toInt(), 1);
    QCOMPARE(LedgerFixture::rows("select b4 from ab where bid = :a", {{":a", cola}}), QStringList({"3"}));
    // Each scan wrote its own stock-out record, which add up to the line.
    QCOMPARE(LedgerFixture::rows("select e3 from ae where e1 = :a order by eid", {{":a", cola}}),
             QStringList({"1", "1"}));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("6"));

    // A code no product has adds nothing, and says so.
    scan(d->bsSkinEdit1, "9787115279460");
    QCOMPARE(f.messages.texts(), QStringList({"没有条码为 9787115279460 的产品"}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ak").toInt(), 2);
    // It stays selected, so the next scan is read alone.
    QCOMPARE(d->bsSkinEdit1->selectedText(), QStringLiteral("9787115279460"));
    QTest::keyClicks(d->bsSkinEdit1, "12345670");
    QTest::keyClick(d->bsSkinEdit1, Qt::Key_Return);
    QCOMPARE(LedgerFixture::rows("select k3, k4 from ak order by kid desc limit 1"), QStringList({"蛋糕|2"}));
    // A quantity typed and Enter in the quantity box adds a line of its own, as before.
    d->bsSkinEdit1->setText("蛋糕");
    d->bsSkinEdit2->setText("2");
    QTest::keyClick(d->bsSkinEdit2, Qt::Key_Return);
    QCOMPARE(LedgerFixture::rows("select k3, k4 from ak order by kid"),
             QStringList({"可乐|2", "蛋糕|2", "蛋糕|2"}));
    d->bsSkinButton2->click(); // and taken off again: the newest line goes
    QCOMPARE(LedgerFixture::scalar("select count(*) from ak").toInt(), 2);
    d->close();

    // A new showing starts a new order with the first scan.
    d->show();
    QVERIFY(!d->nextLineMode());
    scan(d->bsSkinEdit1, "12345670");
    QCOMPARE(LedgerFixture::rows("select k3, k8 from ak order by kid desc limit 1"), QStringList({"蛋糕|2"}));
    d->close();
}

void TestCounter::scanningIntoTheEditedOrder() {
    LedgerFixture f;
    addProduct({.name = "可乐", .stock = "5", .price = "2", .barcode = "6901234567892"});
    LedgerFixture::exec(
        "insert into aa (a1, a2, a4, a5) values ('2026-12-01 09:00:00', '未结算', '普通订单', 0)");
    Tedit_dingdan* d = edit_dingdan;
    d->prepare(1, "普通订单", Currency());
    d->show();
    // A till set to give each scan its own line; the setting is kept for the next showings.
    QTest::mouseClick(d->joinScans, Qt::LeftButton, {}, QPoint(6, d->joinScans->height() / 2));
    QVERIFY(!d->joinScans->isChecked());
    scan(d->bsSkinEdit1, "6901234567892");
    scan(d->bsSkinEdit1, "6901234567892");
    QCOMPARE(LedgerFixture::rows("select k3, k4, k8 from ak"), QStringList({"可乐|1|1", "可乐|1|1"}));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("4"));
    QCOMPARE(d->query_mingxi->recordCount(), 2);
    d->close();
    QVERIFY(!Orders::scansJoinLines(Data_in->folder()));
    new_dingdan->show();
    QVERIFY(!new_dingdan->joinScans->isChecked());
    new_dingdan->close();
}

void TestCounter::scaleLabelsScannedIntoTheOrder() {
    LedgerFixture f;
    // The shop's layouts, changed in their window: the weighed labels here start with 23 only.
    {
        ScaleLayoutsDialog layouts;
        auto* table = layouts.findChild<QTableWidget*>("layoutsTable");
        QVERIFY(table);
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(1, 9)->text(), QStringLiteral("8")); // the weight from the eighth digit
        table->item(1, 3)->setText("23");
        table->item(1, 4)->setText("23");
        table->item(2, 6)->setText("x");
        child<QPushButton>(&layouts, "saveLayouts")->click();
        QCOMPARE(f.messages.texts(), QStringList({"第 3 行的“商品码位数”应是数字"}));
        QVERIFY(ShopSettings::value("scale_layouts").isEmpty());
        f.messages.clear();
        table->item(2, 6)->setText("5");
        child<QPushButton>(&layouts, "saveLayouts")->click();
        QCOMPARE(f.messages.texts(), QStringList());
        QCOMPARE(layouts.result(), int(QDialog::Accepted));
    }
    QCOMPARE(Weighed::layouts()[1].prefixFrom, 23);

    const QString ribs =
        QString::number(addProduct({.name = "排骨", .stock = "10", .price = "19.98", .unit = "公斤"}));
    LedgerFixture::exec("update ab set b15 = '00123' where bid = :a", {{":a", ribs}});
    // A product whose own barcode looks like a label is that product.
    const QString cake =
        QString::number(addProduct({.name = "蛋糕", .stock = "5", .price = "2", .barcode = "2200123005236"}));
    Tnew_dingdan* d = new_dingdan;
    d->show();
    scan(d->bsSkinEdit1, "2300123005233"); // 523 g at 19.98: 10.44954, the label's 10.45
    QCOMPARE(f.messages.texts(), QStringList());
    QVERIFY(d->nextLineMode());
    scan(d->bsSkinEdit1, "2200123005236");
    QCOMPARE(LedgerFixture::rows("select k3, k4, k5, k6, coalesce(k9, '') from ak order by kid"),
             QStringList({"排骨|0.523|公斤|19.98|10.45", "蛋糕|1|个|2|"}));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("12.45"));
    QCOMPARE(LedgerFixture::rows("select b4 from ab where bid = :a", {{":a", ribs}}), QStringList({"9.477"}));
    QCOMPARE(d->bsSkinEdit1->selectedText(), QStringLiteral("2200123005236"));

    // A label misread (its check digit) or of a code no product has: said once, nothing added.
    scan(d->bsSkinEdit1, "2300123005236");
    scan(d->bsSkinEdit1, "2300999005009");
    QCOMPARE(f.messages.texts(), QStringList({"秤码 2300123005236 的校验位不对，可能没有扫清楚，请重新扫描",
                                              Weighed::unknownCodeMessage("2300999005009", "00999")}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ak").toInt(), 2);
    QCOMPARE(d->bsSkinEdit1->selectedText(), QStringLiteral("2300999005009"));
    f.messages.clear();

    // Weighed goods take a quantity typed to the gram, no finer; others whole numbers.
    d->bsSkinEdit1->setText("排骨");
    d->bsSkinEdit2->clear();
    QTest::keyClicks(d->bsSkinEdit2, "1.2345");
    d->bsSkinSpeedButton2->click();
    QCOMPARE(f.messages.texts(), QStringList({"按重量销售的产品，数量最多三位小数"}));
    d->bsSkinEdit2->clear();
    QTest::keyClicks(d->bsSkinEdit2, "1.235");
    d->bsSkinSpeedButton2->click();
    QCOMPARE(LedgerFixture::rows("select k4, coalesce(k9, '') from ak order by kid desc limit 1"),
             QStringList({"1.235|"}));
    QCOMPARE(d->bsSkinStdLabel19->text(),
             (Currency::parse("12.45") + Currency::parse("1.235") * Currency::parse("19.98")).toString());
    d->bsSkinEdit1->setText("蛋糕");
    d->bsSkinEdit2->clear();
    QTest::keyClicks(d->bsSkinEdit2, "1.5");
    QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("15"));
    d->close();
    QCOMPARE(f.messages.texts().size(), 1);
    Q_UNUSED(cake);
}

void TestCounter::lowStockIsMarkedListedAndCounted() {
    LedgerFixture f;
    QToolButton* nav = main_window->bsSkinButtonsBar1->item(1, 0);
    QCOMPARE(nav->text(), QStringLiteral("库 房"));
    // Stock 5 at, below and above the level; one product without a level.
    const qint64 at = stocked("等于", "5", Currency::parse("5"));
    stocked("低于", "5", Currency::parse("6"));
    stocked("高于", "5", Currency::parse("4"));
    stocked("无下限", "0", std::nullopt);
    QCOMPARE(nav->text(), QStringLiteral("库 房(2)"));

    // At start the welcome page says so.
    f.teardown();
    f.build();
    main_window->show();
    QCOMPARE(main_window->currentFrame(), main_window->Fr_wel1);
    QCOMPARE(main_window->bsSkinButtonsBar1->item(1, 0)->text(), QStringLiteral("库 房(2)"));
    QLabel* note = child<QLabel>(main_window->Fr_wel1, "bsSkinStdLabel1");
    QVERIFY(note->isVisible());
    QVERIFY(note->text().startsWith(QStringLiteral("有 2 种产品库存不足")));

    // The stock page marks the two, newest first.
    TFr_kucun* page = stockPage();
    DataGrid* grid = page->bsSkinDBGrid2;
    QCOMPARE(listedNames(Data_in->Query_ab), QStringList({"无下限", "高于", "低于", "等于"}));
    QList<bool> marks;
    for (int r = 0; r < 4; ++r) {
        marks << grid->rowMarked(r);
        QCOMPARE(grid->indexOfRow(r, 3).data(Qt::BackgroundRole).isValid(), marks.last());
    }
    QCOMPARE(marks, QList<bool>({false, false, true, true}));

    // The warning list: only they, with how many to order to reach twice the level.
    click(page->bsSkinSpeedButton10);
    QCOMPARE(listedNames(Data_in->Query_ab), QStringList({"低于", "等于"}));
    QCOMPARE(grid->shownColumns().at(5).title, QStringLiteral("建议订货"));
    QCOMPARE(grid->cellText(0, 5), QStringLiteral("7"));
    QCOMPARE(grid->cellText(1, 5), QStringLiteral("5"));
    // Seen without scrolling, beside the stock.
    const int order = Data_in->Query_ab->fieldIndex("dinghuo");
    QVERIFY(grid->columnViewportPosition(order) + grid->columnWidth(order) <= grid->viewport()->width());
    // Printed through its own definition.
    QString printed;
    Reports::setPreviewHook(
        [&](const QString& definition, const Reports::Parameters&) { printed = definition; });
    click(page->bsSkinSpeedButton8);
    Reports::setPreviewHook(nullptr);
    QCOMPARE(printed, QStringLiteral("yj.rav"));
    ReportFiles::install(f.folder());
    const QString pdf = QDir(f.folder()).absoluteFilePath("yj.pdf");
    Reports::renderPdf("yj.rav", pdf);
    const QString text = pdfText(pdf);
    QVERIFY2(text.contains("库存预警") && text.contains("建议订货"), qPrintable(text));
    QVERIFY(text.contains("低于") && text.contains("等于") && !text.contains("高于"));

    // Raising the product's stock above its level takes it off the list and the count.
    Products::Fields fields;
    fields.name = QStringLiteral("等于");
    fields.warnLevel = Currency::parse("4");
    Products::update(at, fields);
    QCOMPARE(listedNames(Data_in->Query_ab), QStringList({"低于"}));
    QCOMPARE(main_window->bsSkinButtonsBar1->item(1, 0)->text(), QStringLiteral("库 房(1)"));
    QVERIFY(main_window->Fr_wel1->bsSkinStdLabel1->text().startsWith(QStringLiteral("有 1 种")));
    // Refresh goes back to the whole list; the welcome page's link comes back to the warning list.
    click(page->bsSkinSpeedButton6);
    QVERIFY(!page->bsSkinSpeedButton10->isChecked());
    QCOMPARE(Data_in->Query_ab->recordCount(), 4);
    emit note->linkActivated("yujing");
    QCOMPARE(main_window->currentFrame(), page);
    QVERIFY(page->bsSkinSpeedButton10->isChecked());
    QCOMPARE(listedNames(Data_in->Query_ab), QStringList({"低于"}));
    // A search looks in the whole list again.
    page->bsSkinEdit1->setText("于");
    QVERIFY(!page->bsSkinSpeedButton10->isChecked());
    QCOMPARE(listedNames(Data_in->Query_ab), QStringList({"高于", "低于", "等于"}));
    // No product runs short: the count and the note go.
    fields.name = QStringLiteral("低于");
    fields.warnLevel = std::nullopt;
    Products::update(at + 1, fields);
    QCOMPARE(main_window->bsSkinButtonsBar1->item(1, 0)->text(), QStringLiteral("库 房"));
    QVERIFY(!main_window->Fr_wel1->bsSkinStdLabel1->isVisibleTo(main_window->Fr_wel1));
    QCOMPARE(f.messages.messages.size(), 0);
}

namespace {

// An order of two colas (4 due) paid by card with 3.5; the card had 100.
qint64 paidByCard() {
    const qint64 cola = stocked("可乐", "10", std::nullopt);
    const qint64 order = Orders::addLine(0, cola, Currency::parse("2")).order;
    LedgerFixture::exec("insert into aj (j1, j2, j6, j9, j10) values ('张三', '13800000000', '先生', 100, "
                        "'2026-11-01 08:00:00')");
    Settlement::payByCard(order, 1, Currency::parse("3.5"));
    return order;
}

} // namespace

void TestCounter::receiptsAreSetUpReprintedAndPrintedAfterSettlement() {
    LedgerFixture f;
    const qint64 order = paidByCard();
    FileEdges::FakePrinter printer;
    const QString device = printer.path();
    QVERIFY(!device.isEmpty());
    main_window->show();
    main_window->ordersView();
    TFr_dingdan* page = main_window->Fr_dingdan1;
    QCOMPARE(Data_in->Query_aa->fieldValue("aid").toLongLong(), order);

    // The set-up: raw bytes to a device file, on an 80 mm roll, printed after each settlement.
    QList<std::pair<QString, int>> previews;
    ReceiptPrint::setHook([&](const QString& what, const Receipts::Receipt& r, const Receipts::Setup& s) {
        if (what == "preview")
            previews.append({QString::number(r.order), s.width});
    });
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<Txiaopiao*>(w);
        QVERIFY(d);
        QVERIFY(d->bsSkinRadioButton1->isChecked()); // the system printer at first
        QCOMPARE(d->bsSkinComboBox1->currentText(), QStringLiteral("58 mm"));
        // The printer is chosen from those installed (the first, empty, is the default one).
        QStringList offered;
        for (int i = 0; i < d->printerChoice->count(); ++i)
            offered << d->printerChoice->itemText(i);
        QCOMPARE(offered, QStringList({QString()}) + QPrinterInfo::availablePrinterNames());
        QCOMPARE(d->printerChoice->lineEdit(), d->bsSkinEdit1);
        click(d->bsSkinRadioButton2);
        QVERIFY(d->bsSkinEdit2->isEnabled() && !d->printerChoice->isEnabled() &&
                !d->bsSkinEdit1->isEnabled());
        d->bsSkinEdit2->clear();
        click(d->bsSkinButton1);
        QCOMPARE(f.messages.last(), QStringLiteral("请填写小票打印机的设备文件，例如 /dev/usb/lp0"));
        QVERIFY(d->isVisible());
        d->bsSkinEdit2->setText(device);
        d->bsSkinComboBox1->setCurrentIndex(1);
        d->bsSkinEdit3->setText("万家便利店");
        d->bsSkinEdit4->setText("谢谢惠顾");
        d->bsSkinCheckRadioBox1->setFocus();
        QTest::keyClick(d->bsSkinCheckRadioBox1, Qt::Key_Space);
        // The preview shows the selected order's receipt as set up in the dialog.
        click(d->bsSkinButton3);
        click(d->bsSkinButton1);
        QVERIFY(!d->isVisible());
    });
    click(child<QToolButton>(page, "bsSkinSpeedButton11"));
    QCOMPARE(previews, (QList<std::pair<QString, int>>{{QString::number(order), 80}}));
    ReceiptPrint::setHook(nullptr);
    const Receipts::Setup saved = Receipts::loadSetup(f.folder());
    QCOMPARE(saved.way, Receipts::Setup::Way::Device);
    QCOMPARE(saved.device, device);
    QCOMPARE(saved.width, 80);
    QVERIFY(saved.autoPrint);

    // 打印小票 sends the selected settled order's receipt to the device.
    click(child<QToolButton>(page, "bsSkinSpeedButton10"));
    const QByteArray expected = Receipts::escPos(Receipts::forOrder(order), saved);
    const QByteArray bytes = printer.received(expected.size());
    QCOMPARE(bytes, expected);
    QVERIFY(bytes.contains(QByteArray("\xcd\xf2\xbc\xd2"))); // 万家 in GB18030

    // An unsettled order has none.
    const qint64 open = Orders::addLine(0, 1, Currency::parse("1")).order;
    QCOMPARE(Data_in->Query_aa->fieldValue("aid").toLongLong(), open);
    click(child<QToolButton>(page, "bsSkinSpeedButton10"));
    QCOMPARE(f.messages.last(), QStringLiteral("只有已结算的订单才有小票"));
    QCOMPARE(printer.received(), QByteArray());

    // Settling in cash prints its receipt at once.
    jiesuan_xianjin->prepare(open, Currency::parse("2"), Currency::parse("2"));
    jiesuan_xianjin->show();
    click(jiesuan_xianjin->bsSkinButton1);
    QCOMPARE(f.messages.last(), QString::number(open) + QStringLiteral("号订单结算完成！"));
    // The drawer opens for the cash, in the same write.
    const QByteArray cash = Receipts::drawerKick() + Receipts::escPos(Receipts::forOrder(open), saved);
    QCOMPARE(printer.received(cash.size()), cash);

    // A printer that cannot be reached is reported; the order stays paid.
    Receipts::Setup broken = saved;
    broken.device = QDir(f.folder()).absoluteFilePath("missing/lp0");
    Receipts::saveSetup(f.folder(), broken);
    const qint64 third = Orders::addLine(0, 1, Currency::parse("1")).order;
    jiesuan_xianjin->prepare(third, Currency::parse("2"), Currency::parse("2"));
    jiesuan_xianjin->show();
    f.messages.clear();
    click(jiesuan_xianjin->bsSkinButton1);
    QCOMPARE(f.messages.messages.size(), 2);
    QCOMPARE(f.messages.messages.at(1).kind, QStringLiteral("error"));
    QVERIFY(f.messages.messages.at(1).text.contains("missing/lp0"));
    QCOMPARE(LedgerFixture::scalar("select a2 from aa where aid = :a", {{":a", third}}).toString(),
             Orders::Settled);

    // So is a system printer that is not there: nothing is printed and the cashier is told.
    Receipts::Setup gone = saved;
    gone.way = Receipts::Setup::Way::Printer;
    gone.printer = QStringLiteral("柜台打印机");
    Receipts::saveSetup(f.folder(), gone);
    Data_in->Query_aa->lookup("aid", order);
    QCOMPARE(Data_in->Query_aa->fieldValue("aid").toLongLong(), order);
    f.messages.clear();
    click(child<QToolButton>(page, "bsSkinSpeedButton10"));
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages.at(0).kind, QStringLiteral("error"));
    QVERIFY2(f.messages.messages.at(0).text.contains(QStringLiteral("柜台打印机")),
             qPrintable(f.messages.messages.at(0).text));
    if (QPrinterInfo::availablePrinterNames().isEmpty()) {
        // Without any printer on the computer, the default one cannot be used either.
        gone.printer.clear();
        Receipts::saveSetup(f.folder(), gone);
        f.messages.clear();
        click(child<QToolButton>(page, "bsSkinSpeedButton10"));
        QCOMPARE(f.messages.messages.size(), 1);
        QCOMPARE(f.messages.messages.at(0).kind, QStringLiteral("error"));
        QCOMPARE(f.messages.messages.at(0).text,
                 Messages::errorText(
                     QStringLiteral("没有可用的打印机，小票没有打印。请在“小票设置”中选择打印机。")));
    }
}

void TestCounter::receiptPdfAtBothWidths() {
    LedgerFixture f;
    const qint64 order = paidByCard();
    Receipts::Setup setup;
    setup.shop = "万家便利店";
    setup.footer = "谢谢惠顾";
    for (int width : {58, 80}) {
        setup.width = width;
        const QString pdf = QDir(f.folder()).absoluteFilePath(QStringLiteral("receipt%1.pdf").arg(width));
        ReceiptPrint::renderPdf(Receipts::forOrder(order), setup, pdf);
        const QString text = pdfText(pdf);
        for (const char* part : {"万家便利店", "单号: 1", "2026-12-09 10:30:00", "可乐", "2 x 2.00", "4.00",
                                 "应收金额:", "优惠:", "0.50", "实收金额:", "3.50",
                                 "会员卡号:", "卡内余额:", "96.50", "谢谢惠顾"})
            QVERIFY2(text.contains(QString::fromUtf8(part)),
                     qPrintable(QString::fromUtf8(part) + "\n" + text));
        // One page the roll's width wide.
        QProcess info;
        info.start("pdfinfo", {pdf});
        QVERIFY(info.waitForFinished(30000));
        const QString out = QString::fromUtf8(info.readAllStandardOutput());
        QVERIFY(out.contains(QRegularExpression("Pages:\\s+1\n")));
        const QRegularExpressionMatch size =
            QRegularExpression("Page size:\\s+([0-9.]+) x ([0-9.]+) pts").match(out);
        QVERIFY2(size.hasMatch(), qPrintable(out));
        QVERIFY(qAbs(size.captured(1).toDouble() - width * 72 / 25.4) < 1.5);
    }
}

void TestCounter::receiptPagesCarryTheOrderBarcode_data() {
    QTest::addColumn<bool>("isReturn");
    QTest::addColumn<qint64>("order");
    QTest::addColumn<int>("width");
    QTest::newRow("sale 1, 58 mm") << false << qint64(1) << 58;
    QTest::newRow("sale 42, 80 mm") << false << qint64(42) << 80;
    QTest::newRow("sale 12345 (odd digits), 58 mm") << false << qint64(12345) << 58;
    QTest::newRow("sale 1000007, 80 mm") << false << qint64(1000007) << 80;
    QTest::newRow("the largest order number, 58 mm") << false << std::numeric_limits<qint64>::max() << 58;
    QTest::newRow("return of order 20961, 58 mm") << true << qint64(20961) << 58;
}

void TestCounter::receiptPagesCarryTheOrderBarcode() {
    QFETCH(bool, isReturn);
    QFETCH(qint64, order);
    QFETCH(int, width);
    QTemporaryDir dir;
    const QString pdf = QDir(dir.path()).absoluteFilePath("receipt.pdf");
    Receipts::Setup setup;
    setup.width = width;
    if (isReturn) {
        Receipts::ReturnReceipt r;
        r.key = 3;
        r.order = order;
        r.when = "2026-12-10 11:00:00";
        r.lines = {{"可乐", Currency::fromInt(1), Currency::parse("2.38"), true}};
        r.refund = Currency::parse("2.38");
        ReceiptPrint::renderPdf(r, setup, pdf);
    } else {
        Receipts::Receipt r;
        r.order = order;
        r.when = "2026-12-10 11:00:00";
        r.lines = {{"可乐", Currency::fromInt(2), Currency::parse("2.5"), Currency::fromInt(5)}};
        r.due = r.received = Currency::fromInt(5);
        ReceiptPrint::renderPdf(r, setup, pdf);
    }
    // Read back from the printed page by its bars, as a scanner at the counter reads it.
    QCOMPARE(readCode128(pdfPicture(pdf)), QStringList({QString::number(order)}));
    const QString text = pdfText(pdf);
    QVERIFY2(
        text.contains(isReturn ? "原订单号: " + QString::number(order) : "单号: " + QString::number(order)),
        qPrintable(text));
}

namespace {

// The dark bars a horizontal line through the middle of the drawn code crosses.
int barsAcross(const QString& code) {
    QImage image(600, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    if (!LabelSheet::drawBarcode(p, QRectF(0, 0, 600, 200), code))
        return -1;
    p.end();
    int bars = 0;
    bool dark = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool now = qGray(image.pixel(x, 60)) < 128;
        bars += now && !dark ? 1 : 0;
        dark = now;
    }
    return bars;
}

} // namespace

void TestCounter::shelfLabelsDrawTheCodes() {
    // EAN-13: two bars per digit after the first and the three guards, 30 in all.
    QCOMPARE(barsAcross("4006381333931"), 30);
    QCOMPARE(barsAcross("6901234567892"), 30);
    // Code 128 of "A-17": start B, "A", "-", switch to set C, "17" as one symbol, the check
    // symbol (three bars each) and the stop (four bars).
    QCOMPARE(barsAcross("A-17"), 3 * 6 + 4);
    QCOMPARE(barsAcross("ABC"), 3 * 5 + 4);

    LedgerFixture f;
    addProduct({.name = "可乐", .stock = "5", .price = "2", .barcode = "6901234567892"});
    addProduct({.name = "散装糖", .stock = "5", .price = "2", .barcode = "A-17"});
    addProduct({.name = "面包", .stock = "5", .price = "2"});
    TFr_kucun* page = stockPage();
    QList<LabelSheet::Label> shown;
    LabelSheet::setPreviewHook([&](const QList<LabelSheet::Label>& labels) { shown = labels; });
    page->bsSkinEdit1->setText("可乐");
    click(page->bsSkinSpeedButton11);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].name + "|" + shown[0].price + "|" + shown[0].unit + "|" + shown[0].code,
             QStringLiteral("可乐|2|个|6901234567892"));
    page->bsSkinEdit1->clear();
    click(page->bsSkinSpeedButton11);
    QCOMPARE(shown.size(), 3);

    // Products chosen with Ctrl and a click get theirs only, in the list's order; the current
    // product follows the last click.
    DataGrid* grid = page->bsSkinDBGrid2;
    const auto rowOf = [&](const QString& name) {
        for (int row = 0; row < Data_in->Query_ab->recordCount(); ++row)
            if (Data_in->Query_ab->text(row, "b3") == name)
                return row;
        return -1;
    };
    const auto clickRow = [&](int row, Qt::KeyboardModifiers keys) {
        const QRect cell = grid->visualRect(grid->indexOfRow(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, keys, cell.center());
    };
    clickRow(rowOf("面包"), Qt::NoModifier);
    clickRow(rowOf("可乐"), Qt::ControlModifier);
    QCOMPARE(Data_in->Query_ab->fieldText("b3"), QStringLiteral("可乐"));
    QCOMPARE(grid->selectedRows().size(), 2);
    click(page->bsSkinSpeedButton11);
    QStringList names;
    for (const LabelSheet::Label& label : shown)
        names.append(label.name);
    QStringList expected{"面包", "可乐"};
    if (rowOf("可乐") < rowOf("面包"))
        std::swap(expected[0], expected[1]);
    QCOMPARE(names, expected);
    // A plain click selects one product again: the whole list.
    clickRow(rowOf("散装糖"), Qt::NoModifier);
    QCOMPARE(grid->selectedRows(), QList<int>{rowOf("散装糖")});
    click(page->bsSkinSpeedButton11);
    LabelSheet::setPreviewHook(nullptr);
    QCOMPARE(shown.size(), 3);

    // The sheet as PDF: every label's name and price, the codes' digits under their bars.
    const QString pdf = QDir(f.folder()).absoluteFilePath("labels.pdf");
    QList<LabelSheet::Label> many = shown;
    for (int i = 0; i < 24; ++i)
        many.append({QStringLiteral("第%1号").arg(i), "1", "个",
                     Barcode::ean13(QStringLiteral("2000000000%1").arg(i, 2, 10, QChar('0')))});
    LabelSheet::renderPdf(many, pdf);
    const QString text = pdfText(pdf);
    for (const char* part : {"可乐", "¥2 /个", "散装糖", "面包", "901234", "567892", "A-17", "第23号"})
        QVERIFY2(text.contains(QString::fromUtf8(part)), qPrintable(QString::fromUtf8(part) + "\n" + text));
    QProcess info;
    info.start("pdfinfo", {pdf});
    QVERIFY(info.waitForFinished(30000));
    QVERIFY(QString::fromUtf8(info.readAllStandardOutput()).contains(QRegularExpression("Pages:\\s+2\n")));
    QCOMPARE(f.messages.messages.size(), 0);
}

LEDGER_TEST_MAIN(TestCounter)
#include "tst_counter.moc"
