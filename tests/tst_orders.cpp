#include "app/mainwindow.h"
#include "core/money.h"
#include "data/data_in.h"
#include "fileedges.h"
#include "ledger/orders.h"
#include "ledger/receipts.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledgertest.h"
#include "orders/Fr_dingdan.h"
#include "orders/edit_dingdan.h"
#include "orders/new_dingdan.h"
#include "orders/new_fenlei.h"
#include "orders/returndialog.h"
#include "widgets/databound.h"
#include "widgets/list.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabWidget>
#include <QToolButton>

class TestOrders : public QObject {
    Q_OBJECT
private slots:
    void firstAddCreatesTheOrder();
    void laterAddsAppendLines();
    void newOrderRemovesTheNewestLine();
    void checksWriteNothing();
    void failedAddOrRemovalLeavesNoTrace();
    void searchAndCategoryFilter();
    void detailsShowOnlyTheClickedOrder();
    void editOrderAddsAndRemovesSelectedLines();
    void settledOrders();
    void deleteKeepsStockAndRecords();
    void categoryDialogKeepsItsChoice();
    void emptyListGuards();
    void amountDueIsWholeWhileTheDialogIsOpen();
    void orderCutOffBeforeItsTotalIsTakenAsItsLines();
    void returnsFromTheOrdersPage();
    void returnsFoundByTheReceiptsNumber();
};

using namespace User;

namespace {

QToolButton* tool(const QString& name) {
    return child<QToolButton>(Fr_dingdan1, name);
}

QString stockOf(const QString& bid) {
    return LedgerFixture::rows("select b4, b9 from ab where bid = :a", {{":a", bid}}).value(0);
}

int count(const QString& table) {
    return LedgerFixture::scalar("select count(*) from " + table).toInt();
}

// The row of the product list showing this product.
int productRow(const QString& bid) {
    for (int r = 0; r < Data_in->Query_ab->recordCount(); ++r)
        if (Data_in->Query_ab->text(r, "bid") == bid)
            return r;
    return -1;
}

// Picks a product, types the quantity and presses the add button that is shown.
void addLine(Tnew_dingdan* d, const QString& bid, const QString& quantity) {
    clickRow(d->bsSkinDBGrid1, productRow(bid));
    d->bsSkinEdit2->setText(quantity);
    click(d->nextLineMode() ? d->bsSkinSpeedButton2 : d->bsSkinButton1);
}

void addLine(Tedit_dingdan* d, const QString& bid, const QString& quantity) {
    clickRow(d->bsSkinDBGrid1, productRow(bid));
    d->bsSkinEdit2->setText(quantity);
    click(d->bsSkinButton1);
}

void addOrder(const QString& status, const QString& category = QStringLiteral("普通订单"),
              const QString& due = "10") {
    LedgerFixture::exec("insert into aa (a1, a2, a4, a5) values ('2026-12-01 09:00:00', :a, :b, :c)",
                        {{":a", status}, {":b", category}, {":c", due}});
}

void addLineRow(const QString& order, const QString& name, const QString& quantity = "1",
                const QString& bid = "1") {
    LedgerFixture::exec(
        "insert into ak (k1, k2, k3, k4, k5, k6, k7, k8) values ('食品', '零食', :a, :b, '个', '2', :c, :d)",
        {{":a", name}, {":b", quantity}, {":c", bid}, {":d", order}});
}

QStringList listed(SharedQuery* q, const QString& field) {
    QStringList out;
    for (int r = 0; r < q->recordCount(); ++r)
        out << q->text(r, field);
    return out;
}

void showOrders() {
    main_window->show();
    main_window->ordersView();
}

} // namespace

void TestOrders::firstAddCreatesTheOrder() {
    LedgerFixture f;
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2.5"}));
    const QString cola = QString::number(addProduct({.name = "可乐", .stock = "10", .price = "3"}));
    showOrders();
    Tnew_dingdan* d = new_dingdan;
    bool opened = false;
    onModal([&](QWidget* w) {
        opened = w == d;
        // First-line mode: no panel, the first add button, quantity 1.
        QVERIFY(!d->bsSkinPanel2->isVisible());
        QVERIFY(d->bsSkinButton1->isVisible() && !d->bsSkinSpeedButton2->isVisible());
        QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("1"));
        QCOMPARE(d->bsSkinDBGrid1->cellText(0, 2), QStringLiteral("可乐"));

        addLine(d, apple, "6");
        QCOMPARE(f.messages.last(), QStringLiteral("没有这么多库存了"));
        QCOMPARE(count("aa"), 0);
        // The whole stock may go.
        addLine(d, apple, "5");
    });
    click(tool("bsSkinSpeedButton5"));
    QVERIFY(opened);
    QVERIFY(!d->isVisible());

    QCOMPARE(LedgerFixture::rows("select aid, a1, a2, a4, a5 from aa"),
             QStringList({"1|2026-12-09 10:30:00|未结算|普通订单|12.5"}));
    QCOMPARE(LedgerFixture::rows("select k1, k2, k3, k4, k5, k6, k7, k8 from ak"),
             QStringList({"食品|零食|苹果|5|个|2.5|" + apple + "|1"}));
    QCOMPARE(LedgerFixture::rows("select e1, e2, e3, e6, e7, e8, e9, e11, e12 from ae"),
             QStringList({apple + "|苹果|5|2.5|2026-12-09 10:30:00|食品|零食|1|个"}));
    QCOMPARE(stockOf(apple), QStringLiteral("0|0"));
    QCOMPARE(stockOf(cola), QStringLiteral("10|30"));
    // The order list shows the new order with its total.
    QCOMPARE(Data_in->Query_aa->fieldText("a5"), QStringLiteral("12.5"));
    QCOMPARE(Data_in->Query_ae->recordCount(), 1);
}

void TestOrders::laterAddsAppendLines() {
    LedgerFixture f;
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2.5"}));
    const QString cola = QString::number(addProduct({.name = "可乐", .stock = "10", .price = "3"}));
    Tnew_dingdan* d = new_dingdan;
    d->show();
    addLine(d, apple, "1");
    // Next-line mode: the panel with number and total, the other add button.
    QVERIFY(d->bsSkinPanel2->isVisible());
    QVERIFY(!d->bsSkinButton1->isVisible() && d->bsSkinSpeedButton2->isVisible());
    QCOMPARE(d->bsSkinStdLabel20->text(), QStringLiteral("1"));
    QCOMPARE(d->bsSkinStdLabel14->text(), QStringLiteral("普通订单"));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("2.5"));
    // The quantity and the product selection are back at the start.
    QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("1"));
    QCOMPARE(Data_in->Query_ab->currentRow(), 0);

    // The same product twice gives two lines and two stock-out records.
    addLine(d, cola, "2");
    addLine(d, cola, "3");
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("17.5"));
    QCOMPARE(LedgerFixture::rows("select k3, k4, k8 from ak order by kid"),
             QStringList({"苹果|1|1", "可乐|2|1", "可乐|3|1"}));
    QCOMPARE(LedgerFixture::rows("select e2, e3 from ae order by eid"),
             QStringList({"苹果|1", "可乐|2", "可乐|3"}));
    QCOMPARE(stockOf(cola), QStringLiteral("5|15"));
    QCOMPARE(count("aa"), 1);
    // The line grid lists the order's lines, newest first.
    QCOMPARE(listed(d->Query_xindingdan, "k4"), QStringList({"3", "2", "1"}));
    QCOMPARE(d->bsSkinDBGrid2->cellText(0, 0), QStringLiteral("可乐"));

    // The quantity box takes digits only and a new selection puts it back to 1.
    d->bsSkinEdit2->clear();
    QTest::keyClicks(d->bsSkinEdit2, "2.5-x7");
    QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("257"));
    for (const char* pasted : {"1.5", "12.345", "-5.5"}) {
        d->bsSkinEdit2->selectAll();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(pasted));
        d->bsSkinEdit2->paste();
        QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("257"));
    }
    clickRow(d->bsSkinDBGrid1, productRow(apple));
    QCOMPARE(d->bsSkinEdit2->text(), QStringLiteral("1"));

    // Enter adds in next-line mode too.
    d->bsSkinEdit2->setText("4");
    QTest::keyClick(d->bsSkinEdit2, Qt::Key_Return);
    QCOMPARE(stockOf(apple), QStringLiteral("0|0"));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("27.5"));

    click(d->bsSkinButton3);
    QVERIFY(!d->isVisible());
    QCOMPARE(LedgerFixture::scalar("select a5 from aa where aid = 1").toString(), QStringLiteral("27.5"));

    // The next showing starts a new order.
    d->show();
    QVERIFY(!d->bsSkinPanel2->isVisible());
    QVERIFY(!d->Query_xindingdan->isOpen());
    addLine(d, cola, "1");
    QCOMPARE(d->bsSkinStdLabel20->text(), QStringLiteral("2"));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("3"));
    d->close();
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa order by aid"), QStringList({"1|27.5", "2|3"}));
}

void TestOrders::newOrderRemovesTheNewestLine() {
    LedgerFixture f;
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2.5"}));
    const QString cola = QString::number(addProduct({.name = "可乐", .stock = "10", .price = "3"}));
    Tnew_dingdan* d = new_dingdan;
    d->show();
    // Nothing added yet.
    click(d->bsSkinButton2);
    QCOMPARE(f.messages.last(), QStringLiteral("订单中无内容"));
    addLine(d, apple, "2");
    addLine(d, cola, "3");
    QCOMPARE(stockOf(cola), QStringLiteral("7|21"));
    // The older line is selected; the newest goes all the same.
    clickRow(d->bsSkinDBGrid2, 1);
    QCOMPARE(d->Query_xindingdan->currentRow(), 1);
    click(d->bsSkinButton2);
    QCOMPARE(LedgerFixture::rows("select k3 from ak"), QStringList({"苹果"}));
    QCOMPARE(stockOf(cola), QStringLiteral("10|30"));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("5"));
    click(d->bsSkinButton2);
    QCOMPARE(stockOf(apple), QStringLiteral("5|12.5"));
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("0"));
    QCOMPARE(count("ak"), 0);
    // The stock-out records stay, each with its reversal; the order stays, still in next-line mode.
    QCOMPARE(LedgerFixture::rows("select e2, e3 from ae order by eid"),
             QStringList({"苹果|2", "可乐|3", "可乐|-3", "苹果|-2"}));
    QVERIFY(d->bsSkinSpeedButton2->isVisible());
    f.messages.clear();
    click(d->bsSkinButton2);
    QCOMPARE(f.messages.texts(), QStringList({"订单中无内容"}));
    d->close();
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|0"}));

    // A new showing has no order yet, though order 1 exists: removal touches nothing.
    addLineRow("1", "旧行");
    d->show();
    click(d->bsSkinButton2);
    QCOMPARE(f.messages.last(), QStringLiteral("订单中无内容"));
    QCOMPARE(count("ak"), 1);
    d->close();
}

void TestOrders::checksWriteNothing() {
    LedgerFixture f;
    Tnew_dingdan* d = new_dingdan;
    d->show();
    click(d->bsSkinButton1);
    QCOMPARE(f.messages.last(), QStringLiteral("库房是空的"));
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2.5"}));
    addProduct({.name = "可乐", .stock = "10", .price = "3"});
    d->bsSkinEdit2->clear();
    click(d->bsSkinButton1);
    QCOMPARE(f.messages.last(), QStringLiteral("请填写数量"));
    // A quantity of 0 is refused like too large a one: no order, no line, no stock-out.
    addLine(d, apple, "0");
    QCOMPARE(f.messages.last(), QStringLiteral("数量不能为0"));
    QCOMPARE(stockOf(apple), QStringLiteral("5|12.5"));
    QCOMPARE(count("aa") + count("ak") + count("ae"), 0);
    addLine(d, apple, "1");
    QCOMPARE(stockOf(apple), QStringLiteral("4|10"));

    // The product search filters the shared list, also for the stock page.
    d->bsSkinEdit1->setText("果");
    QCOMPARE(listed(Data_in->Query_ab, "b3"), QStringList({"苹果"}));
    d->bsSkinEdit1->setText("'");
    QCOMPARE(Data_in->Query_ab->recordCount(), 0);
    d->bsSkinEdit2->setText("1");
    click(d->bsSkinSpeedButton2);
    QCOMPARE(f.messages.last(), QStringLiteral("库房是空的"));
    QCOMPARE(count("ak"), 1);
    d->bsSkinEdit1->clear();
    QCOMPARE(Data_in->Query_ab->recordCount(), 2);
    d->close();

    // Opening and closing without an add creates no order.
    const int before = count("aa");
    d->show();
    d->close();
    QCOMPARE(count("aa"), before);
    QVERIFY(f.messages.texts().filter("error").isEmpty());
}

void TestOrders::failedAddOrRemovalLeavesNoTrace() {
    LedgerFixture f;
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2.5"}));
    Tnew_dingdan* d = new_dingdan;
    d->show();
    // The stock-out record fails after the order row and the line were written.
    LedgerFixture::failWrites("ae", "insert", "disk full");
    addLine(d, apple, "2");
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("error"));
    QVERIFY(f.messages.last().contains("disk full"));
    QCOMPARE(count("aa"), 0);
    QCOMPARE(count("ak"), 0);
    QCOMPARE(stockOf(apple), QStringLiteral("5|12.5"));
    QVERIFY(d->bsSkinButton1->isVisible() && !d->bsSkinPanel2->isVisible());
    LedgerFixture::allowWrites("ae");

    addLine(d, apple, "2");
    // The order stored (a server does not hand out again the number the failed one took).
    QCOMPARE(LedgerFixture::rows("select aid from aa"), QStringList({d->bsSkinStdLabel20->text()}));
    // The product update fails at the end of the next add.
    LedgerFixture::failWrites("ab", "update", "locked");
    addLine(d, apple, "1");
    QVERIFY(f.messages.last().contains("locked"));
    QCOMPARE(count("ak"), 1);
    QCOMPARE(count("ae"), 1);
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("5"));
    // A removal whose stock update fails keeps the line.
    click(d->bsSkinButton2);
    QVERIFY(f.messages.last().contains("locked"));
    QCOMPARE(count("ak"), 1);
    QCOMPARE(d->bsSkinStdLabel19->text(), QStringLiteral("5"));
    LedgerFixture::allowWrites("ab");
    QCOMPARE(stockOf(apple), QStringLiteral("3|7.5"));
    const QString order = d->bsSkinStdLabel20->text();
    d->close();
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({order + "|5"}));
}

void TestOrders::searchAndCategoryFilter() {
    LedgerFixture f;
    for (int i = 1; i <= 31; ++i)
        addOrder("未结算", i % 2 ? "普通订单" : "批发订单");
    showOrders();
    TFr_dingdan* fr = Fr_dingdan1;
    QCOMPARE(Data_in->Query_aa->recordCount(), 31);
    QTest::keyClicks(fr->bsSkinEdit1, "1");
    QStringList expected{"31", "21"};
    for (int i = 19; i >= 10; --i)
        expected << QString::number(i);
    expected << "1";
    QCOMPARE(listed(Data_in->Query_aa, "aid"), expected);
    fr->bsSkinEdit1->clear();
    QCOMPARE(Data_in->Query_aa->recordCount(), 31);
    // A quote is just a character.
    fr->bsSkinEdit1->setText("'");
    QCOMPARE(Data_in->Query_aa->recordCount(), 0);
    QCOMPARE(f.messages.texts().join("|"), QString());

    // The category list filters by the clicked name; "显示全部" drops the filter.
    const int row = int(listed(Data_in->Query_a4, "z1").indexOf("批发订单"));
    QVERIFY(row >= 0);
    clickRow(fr->bsSkinDBGrid1, row);
    QCOMPARE(Data_in->Query_aa->recordCount(), 15);
    QCOMPARE(Data_in->Query_aa->fieldText("aid"), QStringLiteral("30"));
    click(tool("bsSkinSpeedButton1"));
    QCOMPARE(Data_in->Query_aa->recordCount(), 31);
    fr->bsSkinEdit1->setText("2");
    click(tool("bsSkinSpeedButton6"));
    QCOMPARE(Data_in->Query_aa->statement(), QStringLiteral("select * from aa order by aid desc"));
}

void TestOrders::detailsShowOnlyTheClickedOrder() {
    LedgerFixture f;
    for (int i = 1; i <= 25; ++i)
        addOrder(i == 15 ? "已结算" : "未结算", "普通订单", QString::number(i));
    for (const char* order : {"5", "15", "25", "5", "15"})
        addLineRow(order, QStringLiteral("货%1").arg(order));
    LedgerFixture::exec("update aa set a3 = '送货上门' where aid = 5");
    showOrders();
    TFr_dingdan* fr = Fr_dingdan1;
    fr->bsSkinEdit1->setText("5");
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"25", "15", "5"}));
    clickRow(fr->bsSkinDBGrid2, 2);
    QCOMPARE(fr->bsSkinPageControl1->tabText(0), QStringLiteral("5号订单的明细"));
    QCOMPARE(fr->bsSkinPageControl1->tabText(1), QStringLiteral("5号订单的备注"));
    QCOMPARE(listed(Data_in->Query_ak, "k3"), QStringList({"货5", "货5"}));
    QCOMPARE(fr->Query_ddmingxi->fieldText("a5"), QStringLiteral("5"));
    QCOMPARE(child<QLabel>(fr, "bsSkinDBText3")->text(), QStringLiteral("5"));
    QVERIFY(fr->Img_wjs->isVisible() && !fr->Img_yjs->isVisible());
    QCOMPARE(fr->bsSkinDBRichEdit1->toPlainText(), QStringLiteral("送货上门"));

    clickRow(fr->bsSkinDBGrid2, 1);
    QCOMPARE(listed(Data_in->Query_ak, "k3"), QStringList({"货15", "货15"}));
    QVERIFY(!fr->Img_wjs->isVisible() && fr->Img_yjs->isVisible());
    // A search that finds nothing shows no order's details; the search again, and a click.
    fr->bsSkinEdit1->setText("没有这个");
    QCOMPARE(Data_in->Query_aa->recordCount(), 0);
    QCOMPARE(Data_in->Query_ak->recordCount(), 0);
    QCOMPARE(fr->bsSkinPageControl1->tabText(0), QStringLiteral("号订单的明细"));
    QVERIFY(!fr->Img_wjs->isVisible() && !fr->Img_yjs->isVisible());
    QCOMPARE(child<QLabel>(fr, "bsSkinDBText3")->text(), QString());
    fr->bsSkinEdit1->setText("5");
    clickRow(fr->bsSkinDBGrid2, 1);
    QCOMPARE(listed(Data_in->Query_ak, "k3"), QStringList({"货15", "货15"}));
    // Moving without a click changes the remark but not the details.
    Data_in->Query_aa->setCurrentRow(2);
    QCOMPARE(fr->bsSkinDBRichEdit1->toPlainText(), QStringLiteral("送货上门"));
    QCOMPARE(fr->bsSkinPageControl1->tabText(0), QStringLiteral("15号订单的明细"));

    // The edit dialog of order 5 shows and counts its own lines only.
    bool seen = false;
    onModal([&](QWidget*) {
        seen = true;
        QCOMPARE(edit_dingdan->query_mingxi->recordCount(), 2);
        QCOMPARE(edit_dingdan->windowTitle(), QStringLiteral("修改5号订单"));
        click(edit_dingdan->bsSkinButton2);
        click(edit_dingdan->bsSkinButton2);
        click(edit_dingdan->bsSkinButton2);
        QCOMPARE(f.messages.last(), QStringLiteral("订单中无内容"));
    });
    click(tool("bsSkinSpeedButton3"));
    QVERIFY(seen);
    QCOMPARE(LedgerFixture::rows("select k8 from ak order by kid"), QStringList({"15", "25", "15"}));
    QCOMPARE(LedgerFixture::scalar("select a5 from aa where aid = 5").toString(), QStringLiteral("1"));
}

void TestOrders::editOrderAddsAndRemovesSelectedLines() {
    LedgerFixture f;
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2"}));
    const QString cola = QString::number(addProduct({.name = "可乐", .stock = "10", .price = "3"}));
    Tnew_dingdan* d = new_dingdan;
    d->show();
    addLine(d, apple, "1");
    addLine(d, cola, "2");
    addLine(d, apple, "3");
    d->close();
    QCOMPARE(LedgerFixture::scalar("select a5 from aa").toString(), QStringLiteral("14"));
    showOrders();

    Tedit_dingdan* e = edit_dingdan;
    bool seen = false;
    onModal([&](QWidget* w) {
        seen = w == e;
        QCOMPARE(e->bsSkinGroupBox2->title(), QStringLiteral("修改1号订单"));
        QCOMPARE(e->bsSkinStdLabel20->text(), QStringLiteral("1"));
        QCOMPARE(e->bsSkinStdLabel14->text(), QStringLiteral("普通订单"));
        QCOMPARE(e->bsSkinStdLabel19->text(), QStringLiteral("14"));
        QVERIFY(e->bsSkinPanel2->isVisible());
        QCOMPARE(e->bsSkinEdit2->text(), QStringLiteral("1"));
        // Typing into the product search box narrows the product grid; clearing it lists all again.
        QInputMethodEvent typed; // a Chinese character comes from the input method
        typed.setCommitString(QStringLiteral("可"));
        QApplication::sendEvent(e->bsSkinEdit1, &typed);
        QCOMPARE(e->bsSkinEdit1->text(), QStringLiteral("可"));
        QCOMPARE(e->bsSkinDBGrid1->rowCount(), 1);
        QCOMPARE(listed(Data_in->Query_ab, "b3"), QStringList({"可乐"}));
        QTest::keyClicks(e->bsSkinEdit1, "x");
        QCOMPARE(e->bsSkinDBGrid1->rowCount(), 0);
        e->bsSkinEdit1->selectAll();
        QTest::keyClick(e->bsSkinEdit1, Qt::Key_Backspace);
        QCOMPARE(e->bsSkinDBGrid1->rowCount(), 2);
        // The selected line goes, not the newest.
        clickRow(e->bsSkinDBGrid2, 1);
        click(e->bsSkinButton2);
        QCOMPARE(LedgerFixture::rows("select k3, k4 from ak order by kid"),
                 QStringList({"苹果|1", "苹果|3"}));
        QCOMPARE(stockOf(cola), QStringLiteral("10|30"));
        QCOMPARE(e->bsSkinStdLabel19->text(), QStringLiteral("8"));
        // Fractions and negatives pass; the quantity stays in the box.
        addLine(e, apple, "0.5");
        QCOMPARE(e->bsSkinEdit2->text(), QStringLiteral("0.5"));
        QCOMPARE(stockOf(apple), QStringLiteral("0.5|1"));
        addLine(e, cola, "-1");
        QCOMPARE(stockOf(cola), QStringLiteral("11|33"));
        QCOMPARE(e->bsSkinStdLabel19->text(), QStringLiteral("6"));
        QCOMPARE(LedgerFixture::rows("select e3 from ae where e11 = '1' order by eid desc limit 2"),
                 QStringList({"-1", "0.5"}));
        addLine(e, apple, "0.6");
        QCOMPARE(f.messages.last(), QStringLiteral("没有这么多库存了"));
        addLine(e, apple, "x");
        QVERIFY(f.messages.last().contains("'x' is not a valid floating point value"));
        QCOMPARE(e->query_mingxi->recordCount(), 4);
        click(e->bsSkinButton3);
    });
    click(tool("bsSkinSpeedButton3"));
    QVERIFY(seen);
    QCOMPARE(LedgerFixture::scalar("select a5 from aa").toString(), QStringLiteral("6"));
    QCOMPARE(Data_in->Query_aa->fieldText("a5"), QStringLiteral("6"));

    // Opening and closing without a change writes the total back as it was.
    onModal([&](QWidget*) { e->close(); });
    click(tool("bsSkinSpeedButton3"));
    QCOMPARE(LedgerFixture::scalar("select a5 from aa").toString(), QStringLiteral("6"));
    QCOMPARE(count("ak"), 4);
}

void TestOrders::settledOrders() {
    LedgerFixture f;
    addOrder("已结算");
    addLineRow("1", "货");
    showOrders();
    f.messages.clear();
    QVERIFY(opensNoWindow([&] { click(tool("bsSkinSpeedButton3")); }));
    QCOMPARE(f.messages.texts(), QStringList({"已结算的订单不可以修改！"}));

    // Re-categorised like any other.
    onModal([&](QWidget* w) {
        QCOMPARE(w, (QWidget*)new_fenlei);
        QCOMPARE(new_fenlei->windowTitle(), QStringLiteral("修改1号订单的分类"));
        new_fenlei->bsSkinDBLookupComboBox2->selectText("批发订单");
        click(new_fenlei->bsSkinButton1);
        QVERIFY(!new_fenlei->isVisible());
    });
    click(tool("bsSkinSpeedButton2"));
    QCOMPARE(LedgerFixture::scalar("select a4 from aa").toString(), QStringLiteral("批发订单"));
    QCOMPARE(Data_in->Query_aa->fieldText("a4"), QStringLiteral("批发订单"));

    // Printed, and the guide opens from the page.
    for (const char* button : {"bsSkinSpeedButton8", "bsSkinSpeedButton9"}) {
        QString shown;
        onModal([&](QWidget* w) { shown = w->objectName(); });
        click(tool(button));
        QCOMPARE(shown, QString(button == QByteArray("bsSkinSpeedButton8") ? "print_dingdan" : "help"));
    }

    // And deleted.
    click(tool("bsSkinSpeedButton4"));
    QCOMPARE(count("aa"), 0);
    QCOMPARE(count("ak"), 0);
}

void TestOrders::deleteKeepsStockAndRecords() {
    LedgerFixture f;
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2"}));
    Tnew_dingdan* d = new_dingdan;
    for (const char* quantity : {"1", "2"}) {
        d->show();
        addLine(d, apple, quantity);
        addLine(d, apple, "1");
        d->close();
    }
    showOrders();
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"2", "1"}));
    clickRow(Fr_dingdan1->bsSkinDBGrid2, 0);
    QCOMPARE(Data_in->Query_ak->recordCount(), 2);

    f.messages.answers = {false};
    click(tool("bsSkinSpeedButton4"));
    QCOMPARE(f.messages.messages.last().title, QStringLiteral("删除确认"));
    QCOMPARE(f.messages.last(), QStringLiteral("您确定要删除此订单吗?相关订单明细也会被清除。"));
    QCOMPARE(count("aa"), 2);
    QCOMPARE(count("ak"), 4);

    click(tool("bsSkinSpeedButton4"));
    QCOMPARE(LedgerFixture::rows("select aid from aa"), QStringList({"1"}));
    QCOMPARE(LedgerFixture::rows("select k8 from ak"), QStringList({"1", "1"}));
    QCOMPARE(stockOf(apple), QStringLiteral("0|0"));
    QCOMPARE(count("ae"), 4);
    QCOMPARE(Data_in->Query_aa->fieldText("aid"), QStringLiteral("1"));
    QCOMPARE(Data_in->Query_ak->recordCount(), 0);

    // A failure in the middle leaves the order whole.
    LedgerFixture::failWrites("aa", "delete", "busy");
    click(tool("bsSkinSpeedButton4"));
    QVERIFY(f.messages.last().contains("busy"));
    QCOMPARE(count("ak"), 2);
    QCOMPARE(count("aa"), 1);
}

void TestOrders::categoryDialogKeepsItsChoice() {
    LedgerFixture f;
    addOrder("未结算");
    addOrder("未结算");
    showOrders();
    Tnew_fenlei* c = new_fenlei;
    QCOMPARE(c->bsSkinDBLookupComboBox2->currentIndex(), -1);
    // The pick-list editor opens on the order categories; an entry added there is offered at once.
    bool editor = false;
    onModal([&](QWidget* w) {
        editor = w == list;
        LedgerFixture::listsExec("insert into a4 (z1) values ('团购订单')");
        Data_in->Query_a4->refresh();
    });
    c->show();
    c->bsSkinDBLookupComboBox2->selectText("批发订单");
    click(c->bsSkinSpeedButton1);
    QVERIFY(editor);
    QCOMPARE(c->bsSkinDBLookupComboBox2->currentText(), QStringLiteral("批发订单"));
    c->bsSkinDBLookupComboBox2->selectText("团购订单");
    QCOMPARE(c->bsSkinDBLookupComboBox2->currentText(), QStringLiteral("团购订单"));
    c->close();
    // Closing by the close box writes nothing.
    QCOMPARE(LedgerFixture::rows("select a4 from aa"), QStringList({"普通订单", "普通订单"}));

    // The list filtered by a category keeps its filter: the order moved away leaves it.
    clickRow(Fr_dingdan1->bsSkinDBGrid1, int(listed(Data_in->Query_a4, "z1").indexOf("普通订单")));
    QCOMPARE(Data_in->Query_aa->recordCount(), 2);
    onModal([&](QWidget*) {
        QCOMPARE(c->bsSkinDBLookupComboBox2->currentText(), QStringLiteral("团购订单"));
        click(c->bsSkinButton1);
    });
    click(tool("bsSkinSpeedButton2"));
    QCOMPARE(LedgerFixture::rows("select aid, a4 from aa order by aid"),
             QStringList({"1|普通订单", "2|团购订单"}));
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"1"}));
}

void TestOrders::emptyListGuards() {
    LedgerFixture f;
    showOrders();
    for (const char* name :
         {"bsSkinSpeedButton2", "bsSkinSpeedButton3", "bsSkinSpeedButton4", "bsSkinSpeedButton8"}) {
        f.messages.clear();
        click(tool(name));
        QCOMPARE(f.messages.texts(), QStringList({"现在没有订单，请先新建"}));
    }
    // Also when a search left the list empty while orders exist.
    addOrder("未结算");
    Fr_dingdan1->bsSkinEdit1->setText("9");
    f.messages.clear();
    click(tool("bsSkinSpeedButton4"));
    QCOMPARE(f.messages.texts(), QStringList({"现在没有订单，请先新建"}));
    QCOMPARE(count("aa"), 1);
}

LEDGER_TEST_MAIN(TestOrders)
void TestOrders::returnsFromTheOrdersPage() {
    LedgerFixture f;
    const qint64 apple = addProduct({.name = "苹果", .stock = "5", .price = "2"});
    const qint64 pear = addProduct({.name = "梨", .stock = "5", .price = "3"});
    const qint64 order = Orders::addLine(0, apple, Currency::fromInt(3)).order;
    Orders::addLine(order, pear, Currency::fromInt(1));
    Settlement::payCash(order, Currency::fromInt(9));
    const qint64 open = Orders::addLine(0, apple, Currency::fromInt(1)).order;
    showOrders();
    clickRow(Fr_dingdan1->bsSkinDBGrid2,
             int(listed(Data_in->Query_aa, "aid").indexOf(QString::number(order))));

    // The selected settled order: two apples back to stock, the pear written off.
    QStringList shown;
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<ReturnDialog*>(w);
        QVERIFY(d);
        QCOMPARE(d->tblLines->rowCount(), 2);
        QVERIFY(!d->rbCard->isEnabled());
        shown << d->tblLines->item(0, 0)->text() << d->tblLines->item(1, 0)->text();
        // No more than was sold can be asked.
        auto* apples = d->findChild<QDoubleSpinBox*>("quantity0");
        apples->setValue(7);
        QCOMPARE(apples->value(), 3.0);
        apples->setValue(2);
        d->findChild<QDoubleSpinBox*>("quantity1")->setValue(1);
        d->findChild<QCheckBox*>("damaged1")->setChecked(true);
        click(d->btnReturn);
    });
    click(tool("btnReturns"));
    QCOMPARE(shown, QStringList({"苹果", "梨"}));
    QCOMPARE(f.messages.last(), QStringLiteral("退货完成，请从钱箱退给顾客 7 元。"));
    QCOMPARE(stockOf(QString::number(apple)), QStringLiteral("3|6"));
    QCOMPARE(stockOf(QString::number(pear)), QStringLiteral("4|12"));
    const int row = int(listed(Data_in->Query_aa, "aid").indexOf(QString::number(order)));
    QCOMPARE(Data_in->Query_aa->text(row, "a12"), QStringLiteral("部分退货"));

    // With an open order selected, the number is typed (or scanned) in the dialog; the apple left
    // is the only one that may still come back.
    clickRow(Fr_dingdan1->bsSkinDBGrid2,
             int(listed(Data_in->Query_aa, "aid").indexOf(QString::number(open))));
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<ReturnDialog*>(w);
        QCOMPARE(d->tblLines->rowCount(), 0);
        d->edtOrder->setText(QString::number(open));
        click(d->btnFind); // not settled: refused, nothing shown
        QCOMPARE(d->tblLines->rowCount(), 0);
        d->edtOrder->setText(QString::number(order));
        click(d->btnFind);
        QCOMPARE(d->tblLines->item(0, 3)->text(), QStringLiteral("2"));
        QCOMPARE(d->findChild<QDoubleSpinBox*>("quantity0")->maximum(), 1.0);
        QVERIFY(!d->findChild<QDoubleSpinBox*>("quantity1")->isEnabled());
        click(d->btnCancel);
    });
    click(tool("btnReturns"));
    QCOMPARE(f.messages.last(), QString::number(open) + "号订单还没有结算：只有已结算的订单可以退货");
    QCOMPARE(LedgerFixture::scalar("select count(*) from returns").toInt(), 1);
}

void TestOrders::returnsFoundByTheReceiptsNumber() {
    LedgerFixture f;
    const qint64 apple = addProduct({.name = "苹果", .stock = "9", .price = "2"});
    const qint64 sold = Orders::addLine(0, apple, Currency::fromInt(2)).order;
    Settlement::payCash(sold, Currency::fromInt(4));
    const qint64 done = Orders::addLine(0, apple, Currency::fromInt(1)).order;
    Settlement::payCash(done, Currency::fromInt(2));
    Returns::make(done, {{Returns::returnable(done).at(0).line, Currency::fromInt(1), false}},
                  Returns::Way::Cash, QStringLiteral("其他"));
    const qint64 open = Orders::addLine(0, apple, Currency::fromInt(1)).order;
    // Receipts go to an ESC/POS printer with a drawer, one after each sale.
    FileEdges::FakePrinter printer;
    QVERIFY(!printer.path().isEmpty());
    Receipts::Setup setup;
    setup.way = Receipts::Setup::Way::Device;
    setup.device = printer.path();
    setup.autoPrint = true;
    Receipts::saveSetup(f.folder(), setup);
    showOrders();
    QCOMPARE(Data_in->Query_aa->fieldValue("aid").toLongLong(), open); // no settled order selected

    const auto scan = [](ReturnDialog* d, const QString& typed) {
        QTest::keyClicks(d->edtOrder, typed); // the number found before is selected: replaced
        QTest::keyClick(d->edtOrder, Qt::Key_Return);
    };
    onModal([&](QWidget* w) {
        auto* d = qobject_cast<ReturnDialog*>(w);
        QVERIFY(d);
        QCOMPARE(d->tblLines->rowCount(), 0);
        // Each number that finds no order to return from is told, and the lines of the order
        // found before it go: nothing may be returned from it under another number.
        const QList<std::pair<QString, QString>> refused = {
            {"abc", "“abc”不是订单编号：订单编号只有数字"},
            {"1' or '1'='1", "“1' or '1'='1”不是订单编号：订单编号只有数字"},
            {"12345678901234567890123", "找不到订单 12345678901234567890123"},
            {"0", "找不到订单 0"},
            {"4711", "找不到订单 4711"},
            {QString::number(open), QString::number(open) + "号订单还没有结算：只有已结算的订单可以退货"},
        };
        for (const auto& [typed, message] : refused) {
            scan(d, QString::number(sold));
            QCOMPARE(d->tblLines->rowCount(), 1);
            const qsizetype told = f.messages.texts().size();
            scan(d, typed);
            QCOMPARE(f.messages.texts().mid(told), QStringList({message}));
            QCOMPARE(d->tblLines->rowCount(), 0);
            QVERIFY(!d->btnReturn->isEnabled());
            QVERIFY(d->isVisible());
        }
        // An order returned in full shows what came back, and that nothing more can.
        scan(d, QString::number(done));
        QCOMPARE(f.messages.last(), QString::number(done) + "号订单已全部退货，没有可以再退的产品");
        QCOMPARE(d->tblLines->item(0, 3)->text(), QStringLiteral("1"));
        QVERIFY(!d->btnReturn->isEnabled());
        // The scanned receipt's order: its lines, and Enter finds it again but never returns.
        const qsizetype told = f.messages.texts().size();
        scan(d, QString::number(sold));
        QCOMPARE(d->tblLines->item(0, 0)->text(), QStringLiteral("苹果"));
        qobject_cast<QDoubleSpinBox*>(d->tblLines->cellWidget(0, 4))->setValue(1);
        QTest::keyClick(d->edtOrder, Qt::Key_Return);
        QCOMPARE(f.messages.texts().size(), told);
        QCOMPARE(LedgerFixture::scalar("select count(*) from returns").toInt(), 1);
        QVERIFY(d->isVisible());
        qobject_cast<QDoubleSpinBox*>(d->tblLines->cellWidget(0, 4))->setValue(1);
        click(d->btnReturn);
    });
    click(tool("btnReturns"));
    QCOMPARE(f.messages.last(), QStringLiteral("退货完成，请从钱箱退给顾客 2 元。"));
    // The drawer opens for the cash and the return's receipt prints, in one write.
    const qint64 key = LedgerFixture::scalar("select max(id) from returns").toLongLong();
    const QByteArray expected = Receipts::drawerKick() + Receipts::escPos(Receipts::forReturn(key), setup);
    QCOMPARE(printer.received(expected.size()), expected);
    QVERIFY(expected.contains(QByteArray("\xcd\xcb\xbb\xf5\xd0\xa1\xc6\xb1"))); // 退货小票 in GB18030
}

#include "tst_orders.moc"

void TestOrders::amountDueIsWholeWhileTheDialogIsOpen() {
    LedgerFixture f;
    const QString apple = QString::number(addProduct({.name = "苹果", .stock = "5", .price = "2.5"}));
    const QString cola = QString::number(addProduct({.name = "可乐", .stock = "10", .price = "3"}));
    Tnew_dingdan* d = new_dingdan;
    d->show();
    // Each add and each removal leaves the files whole, with the dialog still open.
    addLine(d, apple, "2");
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|5"}));
    addLine(d, cola, "1");
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|8"}));
    click(d->bsSkinButton2);
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|5"}));
    // The removed line's stock-out record stays and is reversed; the journal matches the stock.
    QCOMPARE(LedgerFixture::rows("select e1, e3 from ae order by eid"),
             QStringList({apple + "|2", cola + "|1", cola + "|-1"}));
    QCOMPARE(stockOf(cola), QStringLiteral("10|30"));
    QCOMPARE(Data_in->Query_ae->recordCount(), 3);
    d->close();
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|5"}));

    showOrders();
    Tedit_dingdan* e = edit_dingdan;
    onModal([&](QWidget*) {
        addLine(e, cola, "2");
        QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|11"}));
        clickRow(e->bsSkinDBGrid2, 1);
        click(e->bsSkinButton2);
        QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|6"}));
        QCOMPARE(e->bsSkinStdLabel19->text(), QStringLiteral("6"));
        QCOMPARE(LedgerFixture::rows("select e1, e3 from ae order by eid desc limit 1"),
                 QStringList({apple + "|-2"}));
        QCOMPARE(stockOf(apple), QStringLiteral("5|12.5"));
        e->close();
    });
    click(tool("bsSkinSpeedButton3"));
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|6"}));
}

void TestOrders::orderCutOffBeforeItsTotalIsTakenAsItsLines() {
    if (CoreFixture::onServer())
        QSKIP("files of an older version exist only as files");
    LedgerFixture f(false);
    {
        // What an older version left when it ended with the new-order dialog open.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
        db.setDatabaseName(QDir(f.folder()).absoluteFilePath("service_a.dll"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec("insert into ab (b1, b2, b3, b4, b5, b8, b9) values ('食品', '零食', '苹果', 3, '个', "
                       "2.5, 7.5)"));
        QVERIFY(q.exec("insert into aa (a1, a2, a4) values ('2026-12-01 09:00:00', '未结算', '普通订单')"));
        QVERIFY(q.exec("insert into ak (k1, k2, k3, k4, k5, k6, k7, k8) values "
                       "('食品', '零食', '苹果', '2', '个', '2.5', '1', '1')"));
        q.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase("older");
    f.build();
    showOrders();
    QCOMPARE(Data_in->Query_aa->fieldText("a5"), QStringLiteral("5"));

    Tedit_dingdan* e = edit_dingdan;
    onModal([&](QWidget*) {
        QCOMPARE(e->bsSkinStdLabel19->text(), QStringLiteral("5"));
        addLine(e, "1", "1");
        QCOMPARE(e->bsSkinStdLabel19->text(), QStringLiteral("7.5"));
        e->close();
    });
    click(tool("bsSkinSpeedButton3"));
    QVERIFY(f.messages.texts().filter("not a valid").isEmpty());
    QCOMPARE(LedgerFixture::rows("select aid, a5 from aa"), QStringList({"1|7.5"}));
}
