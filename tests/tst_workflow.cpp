// End-to-end runs through the program as the shop keeper works it: products and stock, members,
// orders, checkout and the record pages, every step through the windows' own controls.

#include "app/mainwindow.h"
#include "data/data_in.h"
#include "ledgertest.h"
#include "members/Fr_huiyuan.h"
#include "members/Fr_hy_chongzhi.h"
#include "members/Fr_hy_xiaofei.h"
#include "members/memberwidgets.h"
#include "members/new_chongzhi.h"
#include "members/new_huiyuan.h"
#include "orders/Fr_dingdan.h"
#include "orders/edit_dingdan.h"
#include "orders/new_dingdan.h"
#include "orders/print_dingdan.h"
#include "reports/reports.h"
#include "settlement/Fr_jiesuan.h"
#include "settlement/jiesuan.h"
#include "settlement/jiesuan_huiyuanka.h"
#include "settlement/jiesuan_xianjin.h"
#include "warehouse/Fr_kf_chuku.h"
#include "warehouse/Fr_kf_ruku.h"
#include "warehouse/Fr_kucun.h"
#include "warehouse/new_chanpin.h"
#include "warehouse/new_ruku.h"
#include "widgets/databound.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>

class TestWorkflow : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void typicalSaleByMemberCard();
    void cashSaleAndSettledOrderRefused();
    void editAndDeleteKeepStockInStep();
    void everyPrintButtonHandsItsDefinition();
};

using namespace User;

namespace {

// The row of a shared list whose field holds this text, or -1.
int rowOf(SharedQuery* q, const QString& field, const QString& text) {
    for (int r = 0; r < q->recordCount(); ++r)
        if (q->text(r, field) == text)
            return r;
    return -1;
}

QStringList listed(SharedQuery* q, const QString& field) {
    QStringList out;
    for (int r = 0; r < q->recordCount(); ++r)
        out << q->text(r, field);
    return out;
}

QStringList gridColumn(DataGrid* grid, int column) {
    QStringList out;
    for (int r = 0; r < grid->rowCount(); ++r)
        out << grid->cellText(r, column);
    return out;
}

void choose(QComboBox* box, const QString& text) {
    QVERIFY(box);
    const int index = box->findText(text);
    QVERIFY2(index >= 0, qPrintable(text));
    box->setCurrentIndex(index);
}

QString stockOf(const QString& name) {
    return LedgerFixture::rows("select b4, b9 from ab where b3 = :a", {{":a", name}}).value(0);
}

QString bidOf(const QString& name) {
    return LedgerFixture::scalar("select bid from ab where b3 = :a", {{":a", name}}).toString();
}

int count(const QString& table) {
    return LedgerFixture::scalar("select count(*) from " + table).toInt();
}

Tmain* shell() {
    main_window->show();
    return main_window;
}

// "新 建" on the stock page: a drink with its stock and sale price.
void newProduct(const QString& name, const QString& stock, double price) {
    shell()->bsSkinButtonsBar1Sections1Items0Click();
    bool saved = false;
    onModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(new_chanpin));
        choose(new_chanpin->bsSkinDBLookupComboBox2, QStringLiteral("饮料"));
        choose(new_chanpin->bsSkinDBLookupComboBox1, QStringLiteral("果汁"));
        new_chanpin->bsSkinEdit1->setText(name);
        new_chanpin->bsSkinEdit2->setText(stock);
        choose(new_chanpin->bsSkinDBLookupComboBox4, QStringLiteral("瓶"));
        new_chanpin->bsSkinEdit6->setValue(price);
        click(new_chanpin->bsSkinButton1);
        saved = !new_chanpin->isVisible();
    });
    click(main_window->Fr_kucun1->bsSkinSpeedButton5);
    QVERIFY(saved);
}

// "入 库" for the product of that name, picked in the stock list.
void stockIn(const QString& name, const QString& quantity) {
    shell()->bsSkinButtonsBar1Sections1Items0Click();
    TFr_kucun* page = main_window->Fr_kucun1;
    const int row = rowOf(Data_in->Query_ab, "b3", name);
    QVERIFY(row >= 0);
    page->bsSkinDBGrid2->selectRow(row);
    bool saved = false;
    onModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(new_ruku));
        QCOMPARE(new_ruku->bsSkinStdLabel7->text(), name);
        QTest::keyClicks(new_ruku->bsSkinEdit3, quantity);
        click(new_ruku->bsSkinButton1);
        saved = !new_ruku->isVisible();
    });
    click(page->bsSkinSpeedButton4);
    QVERIFY(saved);
}

// "新会员" on the members page; returns the new card number.
QString newMember(const QString& name, const QString& salutation, const QString& amount) {
    shell()->bsSkinButtonsBar1Sections2Items0Click();
    onModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(new_huiyuan));
        new_huiyuan->bsSkinEdit4->setText(name);
        new_huiyuan->bsSkinComboBox1->setCurrentText(salutation);
        new_huiyuan->bsSkinEdit7->setText(QString());
        QTest::keyClicks(new_huiyuan->bsSkinEdit7, amount);
        click(new_huiyuan->bsSkinButton1);
    });
    click(main_window->Fr_huiyuan1->bsSkinSpeedButton4);
    return LedgerFixture::scalar("select max(jid) from aj").toString();
}

// "充 值" for the member with this card, picked in the members list.
void recharge(const QString& card, const QString& amount) {
    shell()->bsSkinButtonsBar1Sections2Items0Click();
    const int row = rowOf(Data_in->Query_aj, "jid", card);
    QVERIFY(row >= 0);
    main_window->Fr_huiyuan1->bsSkinDBGrid2->selectRow(row);
    bool seen = false;
    onModal([&](QWidget* w) {
        seen = w == new_chongzhi;
        QCOMPARE(new_chongzhi->bsSkinStdLabel4->text(), card);
        new_chongzhi->bsSkinEdit3->setText(QString());
        QTest::keyClicks(new_chongzhi->bsSkinEdit3, amount);
        click(new_chongzhi->bsSkinButton1);
    });
    click(main_window->Fr_huiyuan1->bsSkinSpeedButton3);
    QVERIFY(seen);
}

// Picks a product in an order dialog's stock list, types the quantity and adds the line.
void addLine(OrderForm* d, const QString& name, const QString& quantity) {
    const int row = rowOf(Data_in->Query_ab, "b3", name);
    QVERIFY(row >= 0);
    clickRow(d->bsSkinDBGrid1, row);
    QCOMPARE(d->bsSkinDBText1->text(), name);
    d->bsSkinEdit2->setText(quantity);
    if (d == new_dingdan && new_dingdan->nextLineMode())
        click(new_dingdan->bsSkinSpeedButton2);
    else
        click(d->bsSkinButton1);
}

// "新订单" on the orders page with the given lines; returns the new order's number.
QString newOrder(const QList<std::pair<QString, QString>>& lines) {
    shell()->bsSkinButtonsBar1Sections0Items0Click();
    QString number;
    onModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(new_dingdan));
        for (const auto& [name, quantity] : lines)
            addLine(new_dingdan, name, quantity);
        number = new_dingdan->bsSkinStdLabel20->text();
        click(new_dingdan->bsSkinButton3);
    });
    click(Fr_dingdan1->findChild<QToolButton*>("bsSkinSpeedButton5"));
    return number;
}

// Selects an order in the orders page's list by a click, so its details show.
void showOrder(const QString& number) {
    shell()->bsSkinButtonsBar1Sections0Items0Click();
    const int row = rowOf(Data_in->Query_aa, "aid", number);
    QVERIFY(row >= 0);
    clickRow(Fr_dingdan1->bsSkinDBGrid2, row);
}

TFr_jiesuan* settlementPage() {
    shell()->bsSkinButtonsBar1Sections0Items1Click();
    return main_window->Fr_jiesuan1;
}

// Picks the order on the settlement page and runs the action inside the checkout dialog.
void checkout(const QString& number, const std::function<void()>& action) {
    TFr_jiesuan* page = main_window->Fr_jiesuan1;
    const int row = rowOf(Data_in->Query_aa, "aid", number);
    QVERIFY(row >= 0);
    clickRow(page->bsSkinDBGrid2, row);
    bool seen = false;
    onModal([&](QWidget* w) {
        seen = w == jiesuan;
        action();
    });
    click(page->bsSkinSpeedButton5);
    QVERIFY(seen);
}

// From the open checkout, opens a payment dialog and runs the action inside it.
void pay(QAbstractButton* button, QWidget* expected, const std::function<void()>& action) {
    bool seen = false;
    onModal([&](QWidget* w) {
        seen = w == expected;
        action();
    });
    click(button);
    QVERIFY(seen);
}

QToolButton* ordersTool(const QString& name) {
    return Fr_dingdan1->findChild<QToolButton*>(name);
}

} // namespace

void TestWorkflow::cleanup() {
    Reports::setPreviewHook(nullptr);
}

void TestWorkflow::typicalSaleByMemberCard() {
    LedgerFixture f;
    // Goods arrive: two new products, then more of one of them.
    newProduct(QStringLiteral("橙汁"), "10", 12.5);
    newProduct(QStringLiteral("矿泉水"), "20", 1.5);
    QCOMPARE(LedgerFixture::rows("select b1, b2, b3, b4, b5, b8, b9, b10 from ab order by bid"),
             QStringList({"饮料|果汁|橙汁|10|瓶|12.5|125|2026-12-09 10:30:00",
                          "饮料|果汁|矿泉水|20|瓶|1.5|30|2026-12-09 10:30:00"}));
    stockIn(QStringLiteral("橙汁"), "5");
    QCOMPARE(stockOf("橙汁"), QStringLiteral("15|187.5"));
    QCOMPARE(LedgerFixture::rows("select c1, c2, c3, c7, c12 from ac"),
             QStringList({bidOf("橙汁") + "|橙汁|5|2026-12-09|62.5"}));
    QCOMPARE(main_window->Fr_kf_ruku1->query()->recordCount(), 1);

    // A member opens a card and tops it up.
    const QString card = newMember(QStringLiteral("王芳"), QStringLiteral("女士"), "50");
    QCOMPARE(LedgerFixture::rows("select j1, j6, j9, j10 from aj"),
             QStringList({"王芳|女士|50|2026-12-09 10:30:00"}));
    recharge(card, "100.55");
    QCOMPARE(LedgerFixture::rows("select j9 from aj"), QStringList({"150.55"}));
    QCOMPARE(LedgerFixture::rows("select h1, h2, h3, h6, h7 from ah"),
             QStringList({"王芳|100.55|2026-12-09 10:30:00|" + card + "|女士"}));
    QCOMPARE(main_window->Fr_huiyuan1->bsSkinDBText2->text(), QStringLiteral("150.55"));

    // The sale: an order of two lines.
    const QString order = newOrder({{QStringLiteral("橙汁"), "3"}, {QStringLiteral("矿泉水"), "4"}});
    QCOMPARE(order, QStringLiteral("1"));
    QCOMPARE(LedgerFixture::rows("select aid, a1, a2, a4, a5 from aa"),
             QStringList({"1|2026-12-09 10:30:00|未结算|普通订单|43.5"}));
    QCOMPARE(LedgerFixture::rows("select k3, k4, k6, k8 from ak order by kid"),
             QStringList({"橙汁|3|12.5|1", "矿泉水|4|1.5|1"}));
    QCOMPARE(stockOf("橙汁"), QStringLiteral("12|150"));
    QCOMPARE(stockOf("矿泉水"), QStringLiteral("16|24"));

    // The orders page shows the order with its lines and the unsettled badge.
    showOrder(order);
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"1"}));
    QCOMPARE(Fr_dingdan1->bsSkinPageControl1->tabText(0), QStringLiteral("1号订单的明细"));
    QCOMPARE(listed(Data_in->Query_ak, "k3"), QStringList({"矿泉水", "橙汁"}));
    QCOMPARE(Fr_dingdan1->bsSkinDBGrid3->rowCount(), 2);
    QVERIFY(Fr_dingdan1->Img_wjs->isVisible());
    QVERIFY(!Fr_dingdan1->Img_yjs->isVisible());

    // Checkout at "九折", paid from the member's card.
    TFr_jiesuan* page = settlementPage();
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"1"}));
    f.messages.clear();
    checkout(order, [&] {
        QCOMPARE(jiesuan->bsSkinStdLabel7->text(), QStringLiteral("43.5"));
        QCOMPARE(jiesuan->query_mingxin->recordCount(), 2);
        choose(jiesuan->bsSkinComboBox2, QStringLiteral("九折"));
        QCOMPARE(jiesuan->bsSkinStdLabel2->text(), QStringLiteral("39.15"));
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
            QCOMPARE(jiesuan_huiyuanka->bsSkinStdLabel9->text(), order);
            QCOMPARE(jiesuan_huiyuanka->bsSkinStdLabel6->text(), QStringLiteral("39.15"));
            clickRow(jiesuan_huiyuanka->bsSkinDBGrid1, 0);
            QCOMPARE(jiesuan_huiyuanka->bsSkinDBText2->text(), QStringLiteral("王芳"));
            QCOMPARE(jiesuan_huiyuanka->bsSkinDBText3->text(), QStringLiteral("150.55"));
            click(jiesuan_huiyuanka->bsSkinButton1);
            QVERIFY(!jiesuan_huiyuanka->isVisible());
        });
        QVERIFY(!jiesuan->isVisible());
    });
    QCOMPARE(f.messages.texts(), QStringList({"订单结算成功！"}));
    QCOMPARE(Data_in->Query_aa->recordCount(), 0);
    QCOMPARE(page->bsSkinDBGrid2->rowCount(), 0);

    // The record pages list the stock-out lines and the payment.
    main_window->bsSkinButtonsBar1Sections1Items2Click();
    QCOMPARE(main_window->currentFrame(), static_cast<Frame*>(main_window->Fr_kf_chuku1));
    QCOMPARE(listed(main_window->Fr_kf_chuku1->query(), "e2"), QStringList({"矿泉水", "橙汁"}));
    QCOMPARE(LedgerFixture::rows("select e1, e2, e3, e6, e7, e11 from ae order by eid"),
             QStringList({bidOf("橙汁") + "|橙汁|3|12.5|2026-12-09 10:30:00|1",
                          bidOf("矿泉水") + "|矿泉水|4|1.5|2026-12-09 10:30:00|1"}));
    main_window->bsSkinButtonsBar1Sections2Items2Click();
    QCOMPARE(main_window->currentFrame(), static_cast<Frame*>(main_window->Fr_hy_xiaofei1));
    QCOMPARE(main_window->Fr_hy_xiaofei1->query()->recordCount(), 1);
    QCOMPARE(LedgerFixture::rows("select g1, g2, g3, g4, g5, g6, g7 from ag"),
             QStringList({"王芳|39.15|2026-12-09 10:30:00|111.4|1|" + card + "|女士"}));
    main_window->bsSkinButtonsBar1Sections2Items1Click();
    QCOMPARE(main_window->Fr_hy_chongzhi1->query()->recordCount(), 1);

    // Balance, stock and the order are right, and the pages say so.
    QCOMPARE(LedgerFixture::rows("select j9 from aj"), QStringList({"111.4"}));
    shell()->bsSkinButtonsBar1Sections2Items0Click();
    QCOMPARE(main_window->Fr_huiyuan1->bsSkinDBText2->text(), QStringLiteral("111.4"));
    // The stock page shows the lowered stock without a refresh.
    shell()->bsSkinButtonsBar1Sections1Items0Click();
    QCOMPARE(gridColumn(main_window->Fr_kucun1->bsSkinDBGrid2, 4), QStringList({"16", "12"}));
    QCOMPARE(gridColumn(main_window->Fr_kucun1->bsSkinDBGrid2, 9), QStringList({"24", "150"}));
    QCOMPARE(LedgerFixture::rows("select a2, a5, a6 from aa"), QStringList({"已结算|43.5|39.15"}));
    showOrder(order);
    QVERIFY(!Fr_dingdan1->Img_wjs->isVisible());
    QVERIFY(Fr_dingdan1->Img_yjs->isVisible());
    QCOMPARE(Fr_dingdan1->bsSkinDBText7->text(), QStringLiteral("已结算"));
    QCOMPARE(f.messages.texts(), QStringList({"订单结算成功！"}));
}

void TestWorkflow::cashSaleAndSettledOrderRefused() {
    LedgerFixture f;
    newProduct(QStringLiteral("可乐"), "30", 3);
    const QString card = newMember(QStringLiteral("李四"), QStringLiteral("先生"), "5");
    const QString first = newOrder({{QStringLiteral("可乐"), "2"}});
    const QString second = newOrder({{QStringLiteral("可乐"), "3"}, {QStringLiteral("可乐"), "1"}});
    QCOMPARE(QStringList({first, second}), QStringList({"1", "2"}));
    QCOMPARE(stockOf("可乐"), QStringLiteral("24|72"));

    TFr_jiesuan* page = settlementPage();
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"2", "1"}));
    f.messages.clear();
    checkout(second, [&] {
        QCOMPARE(jiesuan->bsSkinStdLabel7->text(), QStringLiteral("12"));
        QCOMPARE(jiesuan->bsSkinStdLabel2->text(), QStringLiteral("12"));
        // The card is short of the amount: refused, the checkout stays for cash.
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
            clickRow(jiesuan_huiyuanka->bsSkinDBGrid1, 0);
            click(jiesuan_huiyuanka->bsSkinButton1);
        });
        QVERIFY(jiesuan->isVisible());
        pay(jiesuan->bsSkinSpeedButton2, jiesuan_xianjin, [&] {
            QCOMPARE(jiesuan_xianjin->bsSkinStdLabel8->text(), second);
            QCOMPARE(jiesuan_xianjin->bsSkinStdLabel6->text(), QStringLiteral("12"));
            click(jiesuan_xianjin->bsSkinButton1);
        });
        QVERIFY(!jiesuan->isVisible());
    });
    QCOMPARE(f.messages.texts(),
             QStringList({"卡中余额不足，请先给会员卡充值再结帐。或使用现金结算", "2号订单结算完成！"}));
    QCOMPARE(LedgerFixture::rows("select aid, a2, a5, a6 from aa order by aid"),
             QStringList({"1|未结算|6|", "2|已结算|12|12"}));
    QCOMPARE(LedgerFixture::rows("select j9 from aj where jid = :a", {{":a", card}}), QStringList({"5"}));
    QCOMPARE(count("ag"), 0);
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"1"}));

    // A search brings the settled order back into the list; checkout refuses it.
    page->bsSkinEdit1->setText(second);
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"2"}));
    QCOMPARE(page->bsSkinDBText6->text(), second);
    f.messages.clear();
    QVERIFY(opensNoWindow([&] { click(page->bsSkinSpeedButton5); }));
    QCOMPARE(f.messages.texts(), QStringList({"已结算的订单不可以再次结算！"}));
    QCOMPARE(LedgerFixture::rows("select a6 from aa where aid = 2"), QStringList({"12"}));
    click(page->bsSkinSpeedButton6);
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({"1"}));

    // The orders page shows each order's own badge; the settled one can no longer be edited.
    showOrder(second);
    QVERIFY(Fr_dingdan1->Img_yjs->isVisible() && !Fr_dingdan1->Img_wjs->isVisible());
    f.messages.clear();
    QVERIFY(opensNoWindow([&] { click(ordersTool("bsSkinSpeedButton3")); }));
    QCOMPARE(f.messages.texts(), QStringList({"已结算的订单不可以修改！"}));
    showOrder(first);
    QVERIFY(Fr_dingdan1->Img_wjs->isVisible() && !Fr_dingdan1->Img_yjs->isVisible());
}

void TestWorkflow::editAndDeleteKeepStockInStep() {
    LedgerFixture f;
    newProduct(QStringLiteral("橙汁"), "10", 2.5);
    newProduct(QStringLiteral("可乐"), "10", 3);
    const QString order = newOrder({{QStringLiteral("橙汁"), "2"}, {QStringLiteral("可乐"), "1"}});
    QCOMPARE(stockOf("橙汁"), QStringLiteral("8|20"));
    QCOMPARE(stockOf("可乐"), QStringLiteral("9|27"));

    showOrder(order);
    bool seen = false;
    onModal([&](QWidget* w) {
        seen = w == edit_dingdan;
        QCOMPARE(edit_dingdan->bsSkinStdLabel20->text(), order);
        QCOMPARE(edit_dingdan->bsSkinStdLabel19->text(), QStringLiteral("8"));
        // Add a line of orange juice, then remove the cola line (the older one, selected).
        addLine(edit_dingdan, QStringLiteral("橙汁"), "4");
        QCOMPARE(stockOf("橙汁"), QStringLiteral("4|10"));
        QCOMPARE(edit_dingdan->bsSkinStdLabel19->text(), QStringLiteral("18"));
        const int cola = rowOf(edit_dingdan->query_mingxi, "k3", QStringLiteral("可乐"));
        QVERIFY(cola >= 0);
        clickRow(edit_dingdan->bsSkinDBGrid2, cola);
        click(edit_dingdan->bsSkinButton2);
        QCOMPARE(stockOf("可乐"), QStringLiteral("10|30"));
        QCOMPARE(edit_dingdan->bsSkinStdLabel19->text(), QStringLiteral("15"));
        // More than the stock is refused and changes nothing.
        addLine(edit_dingdan, QStringLiteral("橙汁"), "5");
        QCOMPARE(f.messages.last(), QStringLiteral("没有这么多库存了"));
        click(edit_dingdan->bsSkinButton3);
    });
    click(ordersTool("bsSkinSpeedButton3"));
    QVERIFY(seen);
    QCOMPARE(LedgerFixture::rows("select k3, k4 from ak order by kid"), QStringList({"橙汁|2", "橙汁|4"}));
    QCOMPARE(LedgerFixture::rows("select a5 from aa"), QStringList({"15"}));
    QCOMPARE(stockOf("橙汁"), QStringLiteral("4|10"));
    // The removed cola line's stock-out record stays, reversed.
    QCOMPARE(LedgerFixture::rows("select e2, e3 from ae order by eid"),
             QStringList({"橙汁|2", "可乐|1", "橙汁|4", "可乐|-1"}));
    // The list shows the new total at once, the details after the next click on the order.
    QCOMPARE(Data_in->Query_aa->fieldText("a5"), QStringLiteral("15"));
    showOrder(order);
    QCOMPARE(listed(Data_in->Query_ak, "k4"), QStringList({"4", "2"}));
    QCOMPARE(Data_in->Query_aa->fieldText("a5"), QStringLiteral("15"));

    // The checkout sees the edited lines and amount.
    settlementPage();
    checkout(order, [&] {
        QCOMPARE(jiesuan->bsSkinStdLabel7->text(), QStringLiteral("15"));
        QCOMPARE(listed(jiesuan->query_mingxin, "k4"), QStringList({"4", "2"}));
        click(jiesuan->bsSkinButton3);
    });

    // Deleting the order removes it and its lines; the stock-out records and the stock stay.
    showOrder(order);
    f.messages.clear();
    click(ordersTool("bsSkinSpeedButton4"));
    QCOMPARE(f.messages.messages.value(0).title, QStringLiteral("删除确认"));
    QCOMPARE(count("aa"), 0);
    QCOMPARE(count("ak"), 0);
    QCOMPARE(stockOf("橙汁"), QStringLiteral("4|10"));
    QCOMPARE(stockOf("可乐"), QStringLiteral("10|30"));
    main_window->bsSkinButtonsBar1Sections1Items2Click();
    QCOMPARE(listed(main_window->Fr_kf_chuku1->query(), "e3"), QStringList({"-1", "4", "1", "2"}));
    settlementPage();
    QCOMPARE(Data_in->Query_aa->recordCount(), 0);
}

void TestWorkflow::everyPrintButtonHandsItsDefinition() {
    LedgerFixture f;
    newProduct(QStringLiteral("橙汁"), "10", 2.5);
    stockIn(QStringLiteral("橙汁"), "2");
    const QString card = newMember(QStringLiteral("王芳"), QStringLiteral("女士"), "100");
    recharge(card, "10");
    const QString paid = newOrder({{QStringLiteral("橙汁"), "1"}});
    const QString open = newOrder({{QStringLiteral("橙汁"), "2"}, {QStringLiteral("橙汁"), "3"}});
    settlementPage();
    checkout(paid, [&] {
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
            clickRow(jiesuan_huiyuanka->bsSkinDBGrid1, 0);
            click(jiesuan_huiyuanka->bsSkinButton1);
        });
    });
    QCOMPARE(LedgerFixture::rows("select j9 from aj"), QStringList({"107.5"}));

    struct Call {
        QString definition;
        Reports::Parameters parameters;
        int rows;
    };
    QList<Call> calls;
    // Each call records the rows the list of that report holds at that moment.
    SharedQuery* watched = nullptr;
    Reports::setPreviewHook([&](const QString& definition, const Reports::Parameters& parameters) {
        calls.append({definition, parameters, watched ? watched->recordCount() : -1});
    });
    auto printed = [&](SharedQuery* q, QToolButton* button) {
        watched = q;
        calls.clear();
        click(button);
    };

    shell()->bsSkinButtonsBar1Sections1Items0Click();
    printed(Data_in->Query_ab, main_window->Fr_kucun1->bsSkinSpeedButton8);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("ab.rav"));
    QCOMPARE(calls[0].rows, 1);

    main_window->bsSkinButtonsBar1Sections1Items1Click();
    printed(Data_in->Query_ac, main_window->Fr_kf_ruku1->bsSkinSpeedButton8);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("ac.rav"));
    QCOMPARE(calls[0].rows, 1);

    main_window->bsSkinButtonsBar1Sections1Items2Click();
    printed(Data_in->Query_ae, main_window->Fr_kf_chuku1->bsSkinSpeedButton8);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("ae.rav"));
    QCOMPARE(calls[0].rows, 3);

    // The orders page: the summary of the listed orders, then the detail of the selected one.
    showOrder(open);
    for (const char* choice : {"bsSkinCheckRadioBox1", "bsSkinCheckRadioBox2"}) {
        const bool summary = QByteArray(choice) == "bsSkinCheckRadioBox1";
        watched = summary ? Data_in->Query_aa : Data_in->Query_ak;
        calls.clear();
        onModal([&](QWidget* w) {
            QCOMPARE(w, static_cast<QWidget*>(print_dingdan));
            auto* radio = print_dingdan->findChild<QRadioButton*>(choice);
            QVERIFY(radio);
            radio->setChecked(true);
            if (!summary)
                QCOMPARE(radio->text(), open + QStringLiteral("号订单的明细表"));
            click(print_dingdan->findChild<QPushButton*>("bsSkinButton1"));
        });
        click(ordersTool("bsSkinSpeedButton8"));
        QCOMPARE(calls.size(), 1);
        if (summary) {
            QCOMPARE(calls[0].definition, QStringLiteral("aa.rav"));
            QCOMPARE(calls[0].rows, 2);
        } else {
            QCOMPARE(calls[0].definition, QStringLiteral("ak.rav"));
            QCOMPARE(calls[0].rows, 2);
            QCOMPARE(calls[0].parameters.value("bianhao"), open);
            QCOMPARE(calls[0].parameters.value("zhuangtai"), QStringLiteral("未结算"));
            QCOMPARE(calls[0].parameters.value("fenlei"), QStringLiteral("普通订单"));
            QCOMPARE(calls[0].parameters.value("yingshou"), QStringLiteral("12.5"));
        }
    }

    // The detail of the paid order carries its status and the amount received.
    showOrder(paid);
    watched = Data_in->Query_ak;
    calls.clear();
    onModal([&](QWidget*) {
        print_dingdan->findChild<QRadioButton*>("bsSkinCheckRadioBox2")->setChecked(true);
        click(print_dingdan->findChild<QPushButton*>("bsSkinButton1"));
    });
    click(ordersTool("bsSkinSpeedButton8"));
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("ak.rav"));
    QCOMPARE(calls[0].rows, 1);
    QCOMPARE(calls[0].parameters.value("bianhao"), paid);
    QCOMPARE(calls[0].parameters.value("zhuangtai"), QStringLiteral("已结算"));
    QCOMPARE(calls[0].parameters.value("yingshou"), QStringLiteral("2.5"));
    QCOMPARE(calls[0].parameters.value("shishou"), QStringLiteral("2.5"));

    // The settlement page prints the unsettled orders only.
    TFr_jiesuan* page = settlementPage();
    page->bsSkinEdit1->setText(paid);
    printed(Data_in->Query_aa, page->bsSkinSpeedButton8);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("aa_n.rav"));
    QCOMPARE(calls[0].rows, 1);
    QCOMPARE(listed(Data_in->Query_aa, "aid"), QStringList({open}));

    shell()->bsSkinButtonsBar1Sections2Items0Click();
    printed(Data_in->Query_aj, main_window->Fr_huiyuan1->bsSkinSpeedButton8);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("aj.rav"));
    QCOMPARE(calls[0].rows, 1);

    main_window->bsSkinButtonsBar1Sections2Items1Click();
    printed(Data_in->Query_ah, main_window->Fr_hy_chongzhi1->bsSkinSpeedButton8);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("ah.rav"));
    QCOMPARE(calls[0].rows, 1);

    main_window->bsSkinButtonsBar1Sections2Items2Click();
    printed(Data_in->Query_ag, main_window->Fr_hy_xiaofei1->bsSkinSpeedButton8);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].definition, QStringLiteral("ag.rav"));
    QCOMPARE(calls[0].rows, 1);
    QCOMPARE(Data_in->Query_ag->text(0, "g6"), card);
    for (const auto& m : f.messages.messages)
        QVERIFY2(m.kind != QLatin1String("error"), qPrintable(m.text));
}

LEDGER_TEST_MAIN(TestWorkflow)
#include "tst_workflow.moc"
