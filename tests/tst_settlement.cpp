#include "app/mainwindow.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "ledgertest.h"
#include "reports/reports.h"
#include "settlement/Fr_jiesuan.h"
#include "settlement/jiesuan.h"
#include "settlement/jiesuan_huiyuanka.h"
#include "settlement/jiesuan_xianjin.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>

class TestSettlement : public QObject {
    Q_OBJECT
private slots:
    void frameListsSearchesAndRefreshes();
    void emptyListRefusesCheckoutAndPrint();
    void presetAndFreeDiscounts();
    void customDiscountAndReset();
    void customDiscountShowsWhatIsPriced();
    void cashSettlementAndCancel();
    void cardSettlementDebitsAndRecords();
    void cardBalanceChecks();
    void settledOrderIsNeverPaidAgain();
    void failedRecordLeavesEverythingUntouched();
};

using namespace User;

namespace {

int addOrder(const QString& status, const QString& due, const QString& remark = QString()) {
    QSqlQuery q = LedgerFixture::exec(
        QStringLiteral(
            "insert into aa (a1, a2, a3, a4, a5) values ('2026-12-01 09:00:00', :a, :c, '普通订单', :b)"),
        {{":a", status}, {":b", due}, {":c", remark}});
    return q.lastInsertId().toInt();
}

void addLine(int order, const QString& product, const QString& quantity, const QString& price) {
    LedgerFixture::exec(QStringLiteral("insert into ak (k1, k2, k3, k4, k5, k6, k8) values "
                                       "('食品', '零食', :a, :b, '包', :c, :d)"),
                        {{":a", product}, {":b", quantity}, {":c", price}, {":d", QString::number(order)}});
}

int addMember(const QString& name, const QString& salutation, const QString& balance) {
    QSqlQuery q = LedgerFixture::exec(QStringLiteral("insert into aj (j1, j2, j6, j9, j10) values "
                                                     "(:a, '13800000000', :b, :c, '2026-11-01 08:00:00')"),
                                      {{":a", name}, {":b", salutation}, {":c", balance}});
    return q.lastInsertId().toInt();
}

QString status(int order) {
    return LedgerFixture::scalar("select a2 from aa where aid = :a", {{":a", order}}).toString();
}

QString balanceOf(int card) {
    return LedgerFixture::rows("select j9 from aj where jid = :a", {{":a", card}}).value(0);
}

// The order numbers the settlement page lists, top to bottom.
QStringList listed() {
    QStringList numbers;
    for (int row = 0; row < Data_in->Query_aa->recordCount(); ++row)
        numbers << Data_in->Query_aa->text(row, "aid");
    return numbers;
}

// Clicks a check or radio box on its indicator, as a user does.
void tick(QAbstractButton* box) {
    QVERIFY(box);
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

TFr_jiesuan* page() {
    return main_window->Fr_jiesuan1;
}

// Shows the settlement page as the navigation bar does, with the page's search box empty.
void showPage() {
    main_window->show();
    page()->bsSkinEdit1->blockSignals(true);
    page()->bsSkinEdit1->clear();
    page()->bsSkinEdit1->blockSignals(false);
    main_window->bsSkinButtonsBar1Sections0Items1Click();
}

// Clicks "结 算！" on the given row of the list and runs the action on the checkout dialog.
void checkout(int row, const std::function<void()>& action) {
    clickRow(page()->bsSkinDBGrid2, row);
    onModal([&](QWidget* w) {
        QCOMPARE(w, jiesuan);
        action();
    });
    click(page()->bsSkinSpeedButton5);
}

// From an open checkout dialog, opens a payment dialog and runs the action on it.
void pay(QAbstractButton* button, QDialog* expected, const std::function<void()>& action) {
    onModal([&](QWidget* w) {
        QCOMPARE(w, expected);
        action();
    });
    click(button);
}

void choosePreset(const QString& entry) {
    jiesuan->bsSkinComboBox2->setCurrentIndex(jiesuan->bsSkinComboBox2->findText(entry));
}

QString received() {
    return jiesuan->bsSkinStdLabel2->text();
}

// Opens the checkout for an amount due without going through the page, as the page prepares it.
void openCheckout(const QString& due) {
    jiesuan->prepare(1, Currency::parse(due));
    jiesuan->show();
}

void typeDiscount(const QString& digits) {
    QSpinBox* box = jiesuan->bsSkinEdit4;
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, digits);
}

} // namespace

void TestSettlement::frameListsSearchesAndRefreshes() {
    LedgerFixture f;
    QMap<int, int> order; // position → number
    for (int i = 1; i <= 21; ++i)
        order[i] = addOrder(i == 11 || i == 12 ? "已结算" : "未结算", QString::number(i * 10));
    addLine(1, "薯片", "2", "5.5");
    addLine(1, "饼干", "1", "8");
    addLine(10, "可乐", "3", "3");
    showPage();
    QCOMPARE(main_window->currentFrame(), page());
    QCOMPARE(Data_in->Query_aa->recordCount(), 19);
    QCOMPARE(listed().first(), QStringLiteral("21"));
    QVERIFY(!listed().contains("11") && !listed().contains("12"));

    // The search finds settled orders too; an empty box lists every order.
    page()->bsSkinEdit1->setText("1");
    QCOMPARE(listed(), QStringList({"21", "19", "18", "17", "16", "15", "14", "13", "12", "11", "10", "1"}));
    page()->bsSkinEdit1->setText("1'");
    QCOMPARE(Data_in->Query_aa->recordCount(), 0);
    page()->bsSkinEdit1->clear();
    QCOMPARE(Data_in->Query_aa->recordCount(), 21);
    page()->bsSkinEdit1->setText("1");
    click(page()->bsSkinSpeedButton6);
    QCOMPARE(Data_in->Query_aa->recordCount(), 19);
    QCOMPARE(page()->bsSkinEdit1->text(), QStringLiteral("1"));

    // Checking out order 1 shows its lines only, newest first, and its amount due.
    page()->bsSkinEdit1->setText("1");
    checkout(int(listed().indexOf("1")), [&] {
        QCOMPARE(jiesuan->bsSkinStdLabel4->text(), QStringLiteral("1"));
        QCOMPARE(jiesuan->bsSkinStdLabel7->text(), QStringLiteral("10"));
        QCOMPARE(received(), QStringLiteral("10"));
        QVERIFY(!jiesuan->bsSkinStdLabel4->isVisible());
        QCOMPARE(jiesuan->query_mingxin->recordCount(), 2);
        QCOMPARE(jiesuan->bsSkinDBGrid1->cellText(0, 2), QStringLiteral("饼干"));
        QCOMPARE(jiesuan->bsSkinDBGrid1->cellText(1, 2), QStringLiteral("薯片"));
        click(jiesuan->bsSkinButton3);
        QVERIFY(!jiesuan->isVisible());
    });
    QVERIFY(f.messages.messages.isEmpty());
    QCOMPARE(LedgerFixture::scalar("select count(*) from aa where a2 = '已结算'").toInt(), 2);

    // Printing drops the search and hands the unsettled list to the report engine.
    QStringList printed;
    Reports::setPreviewHook([&](const QString& definition, const Reports::Parameters& parameters) {
        printed << definition;
        QVERIFY(parameters.isEmpty());
        QCOMPARE(Data_in->Query_aa->recordCount(), 19);
    });
    click(page()->bsSkinSpeedButton8);
    Reports::setPreviewHook(nullptr);
    QCOMPARE(printed, QStringList({"aa_n.rav"}));
    QCOMPARE(Data_in->Query_aa->statement(), TFr_jiesuan::unsettledStatement());

    // Help opens the guide.
    QString opened;
    onModal([&](QWidget* w) { opened = w->objectName(); });
    click(page()->bsSkinSpeedButton9);
    QCOMPARE(opened, QStringLiteral("help"));
}

void TestSettlement::emptyListRefusesCheckoutAndPrint() {
    LedgerFixture f;
    addOrder("已结算", "5");
    showPage();
    QCOMPARE(Data_in->Query_aa->recordCount(), 0);
    bool printed = false;
    Reports::setPreviewHook([&](const QString&, const Reports::Parameters&) { printed = true; });
    QVERIFY(opensNoWindow([&] {
        click(page()->bsSkinSpeedButton5);
        click(page()->bsSkinSpeedButton8);
    }));
    Reports::setPreviewHook(nullptr);
    QVERIFY(!printed);
    QCOMPARE(f.messages.texts(), QStringList({"现在没有订单，请先新建", "现在没有订单，请先新建"}));
}

void TestSettlement::presetAndFreeDiscounts() {
    LedgerFixture f;
    openCheckout("100");
    QCOMPARE(jiesuan->bsSkinComboBox2->count(), 10);
    QCOMPARE(jiesuan->bsSkinComboBox2->currentText(), QStringLiteral("原价"));
    QVERIFY(jiesuan->bsSkinCheckRadioBox2->isChecked());
    QVERIFY(jiesuan->bsSkinComboBox2->isEnabled() && !jiesuan->bsSkinEdit4->isEnabled());
    const QList<std::pair<QString, QString>> hundred = {
        {"九折", "90"}, {"八折", "80"}, {"五折", "50"}, {"一折", "10"}, {"原价", "100"}};
    for (const auto& [entry, expected] : hundred) {
        choosePreset(entry);
        QCOMPARE(received(), expected);
    }
    jiesuan->hide();

    openCheckout("12.35");
    choosePreset("九折");
    QCOMPARE(received(), QStringLiteral("11.115"));
    choosePreset("五折");
    QCOMPARE(received(), QStringLiteral("6.175"));
    jiesuan->hide();
    openCheckout("33.33");
    choosePreset("七折");
    QCOMPARE(received(), QStringLiteral("23.331"));

    // Free of charge, and back.
    tick(jiesuan->bsSkinCheckRadioBox1);
    QCOMPARE(received(), QStringLiteral("0"));
    QVERIFY(!jiesuan->bsSkinComboBox2->isEnabled() && !jiesuan->bsSkinEdit4->isEnabled());
    QVERIFY(jiesuan->bsSkinCheckRadioBox2->isEnabled() && jiesuan->bsSkinCheckRadioBox3->isEnabled());
    tick(jiesuan->bsSkinCheckRadioBox1);
    QCOMPARE(received(), QStringLiteral("33.33"));
    QCOMPARE(jiesuan->bsSkinComboBox2->currentText(), QStringLiteral("原价"));
    QVERIFY(jiesuan->bsSkinComboBox2->isEnabled());

    // Switching to a custom discount goes back to full price until a discount is typed.
    choosePreset("八折");
    QCOMPARE(received(), QStringLiteral("26.664"));
    tick(jiesuan->bsSkinCheckRadioBox3);
    QCOMPARE(received(), QStringLiteral("33.33"));
    QVERIFY(jiesuan->bsSkinEdit4->isEnabled() && !jiesuan->bsSkinComboBox2->isEnabled());
    jiesuan->hide();

    jiesuan->hide();

    QVERIFY(f.messages.messages.isEmpty());
}

void TestSettlement::customDiscountAndReset() {
    LedgerFixture f;
    openCheckout("58.8");
    tick(jiesuan->bsSkinCheckRadioBox3);
    // Typing right after choosing replaces the "0"; a third digit does not go in.
    QTest::keyClicks(jiesuan->bsSkinEdit4, "855");
    QCOMPARE(jiesuan->bsSkinEdit4->cleanText(), QStringLiteral("85"));
    QCOMPARE(received(), QStringLiteral("49.98"));
    const QList<std::pair<QString, QString>> cases = {
        {"5", "29.4"}, {"8", "47.04"}, {"10", "5.88"}, {"08", "4.704"}};
    for (const auto& [digits, expected] : cases) {
        typeDiscount(digits);
        QCOMPARE(jiesuan->bsSkinEdit4->cleanText(), digits);
        QCOMPARE(received(), expected);
    }
    // The spin buttons step the value.
    typeDiscount("85");
    QTest::keyClick(jiesuan->bsSkinEdit4, Qt::Key_Up);
    QCOMPARE(received(), QStringLiteral("50.568"));
    QTest::keyClick(jiesuan->bsSkinEdit4, Qt::Key_Down);
    QCOMPARE(received(), QStringLiteral("49.98"));
    // A key in an emptied box starts from 0, which the digit replaces.
    jiesuan->bsSkinEdit4->selectAll();
    QTest::keyClick(jiesuan->bsSkinEdit4, Qt::Key_Delete);
    QCOMPARE(jiesuan->bsSkinEdit4->cleanText(), QString());
    QTest::keyClicks(jiesuan->bsSkinEdit4, "9");
    QCOMPARE(jiesuan->bsSkinEdit4->cleanText(), QStringLiteral("9"));
    QCOMPARE(received(), QStringLiteral("52.92"));
    typeDiscount("85");
    jiesuan->hide();

    // The next checkout starts at full price with the custom box cleared and disabled.
    openCheckout("58.8");
    QCOMPARE(received(), QStringLiteral("58.8"));
    QCOMPARE(jiesuan->bsSkinEdit4->value(), 0);
    QVERIFY(!jiesuan->bsSkinEdit4->isEnabled());
    QVERIFY(jiesuan->bsSkinCheckRadioBox2->isChecked() && !jiesuan->bsSkinCheckRadioBox3->isChecked());
    QVERIFY(!jiesuan->bsSkinCheckRadioBox1->isChecked());
    jiesuan->hide();
    QVERIFY(f.messages.messages.isEmpty());
}

// "08" is 8 %, "8" is 80 %: the box keeps showing the digits the amount was priced with.
void TestSettlement::customDiscountShowsWhatIsPriced() {
    LedgerFixture f;
    openCheckout("100");
    tick(jiesuan->bsSkinCheckRadioBox3);
    QSpinBox* box = jiesuan->bsSkinEdit4;
    typeDiscount("08");
    QCOMPARE(received(), QStringLiteral("8"));
    // Leaving the box, or pressing Enter in it, keeps the leading zero.
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(box, &out);
    QCOMPARE(box->cleanText(), QStringLiteral("08"));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(box->cleanText(), QStringLiteral("08"));
    QCOMPARE(received(), QStringLiteral("8"));
    // Taking the zero away or putting it back reprices, though the box's number stays 8.
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    QCOMPARE(box->cleanText(), QStringLiteral("8"));
    QCOMPARE(received(), QStringLiteral("80"));
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClicks(box, "0");
    QCOMPARE(box->cleanText(), QStringLiteral("08"));
    QCOMPARE(received(), QStringLiteral("8"));
    // Stepping goes on from the number: 08 up is 9, that is 90 %.
    QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(box->cleanText(), QStringLiteral("9"));
    QCOMPARE(received(), QStringLiteral("90"));
    QApplication::sendEvent(box, &out);
    QCOMPARE(box->cleanText(), QStringLiteral("9"));
    QCOMPARE(received(), QStringLiteral("90"));
    jiesuan->hide();

    // The next showing clears the box to "0" without pricing it.
    openCheckout("100");
    QCOMPARE(box->cleanText(), QStringLiteral("0"));
    QCOMPARE(received(), QStringLiteral("100"));
    jiesuan->hide();
    QVERIFY(f.messages.messages.isEmpty());
}

void TestSettlement::cashSettlementAndCancel() {
    LedgerFixture f;
    for (int i = 1; i <= 8; ++i)
        addOrder("未结算", "100");
    showPage();
    page()->bsSkinEdit1->setText("7");
    QCOMPARE(listed(), QStringList({"7"}));
    checkout(0, [&] {
        choosePreset("九折");
        // Cancelling the cash dialog changes nothing.
        pay(jiesuan->bsSkinSpeedButton2, jiesuan_xianjin, [&] {
            QCOMPARE(jiesuan_xianjin->bsSkinStdLabel8->text(), QStringLiteral("7"));
            QCOMPARE(jiesuan_xianjin->bsSkinStdLabel4->text(), QStringLiteral("100"));
            QCOMPARE(jiesuan_xianjin->bsSkinStdLabel6->text(), QStringLiteral("90"));
            click(jiesuan_xianjin->bsSkinButton2);
        });
        QVERIFY(jiesuan->isVisible());
        QCOMPARE(received(), QStringLiteral("90"));
        QCOMPARE(jiesuan->bsSkinComboBox2->currentText(), QStringLiteral("九折"));
        QCOMPARE(status(7), QStringLiteral("未结算"));
        // Cancelling the card dialog too; cash still works afterwards.
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] { click(jiesuan_huiyuanka->bsSkinButton2); });
        QVERIFY(jiesuan->isVisible());
        QCOMPARE(received(), QStringLiteral("90"));
        pay(jiesuan->bsSkinSpeedButton2, jiesuan_xianjin, [&] {
            QCOMPARE(jiesuan_xianjin->bsSkinStdLabel6->text(), QStringLiteral("90"));
            click(jiesuan_xianjin->bsSkinButton1);
        });
        QVERIFY(!jiesuan_xianjin->isVisible());
        QVERIFY(!jiesuan->isVisible());
    });
    QCOMPARE(LedgerFixture::rows("select a6, a2 from aa where aid = 7"), QStringList({"90|已结算"}));
    QCOMPARE(f.messages.texts(), QStringList({"7号订单结算完成！"}));
    // The list shows the remaining unsettled orders although a search was in force.
    QCOMPARE(listed(), QStringList({"8", "6", "5", "4", "3", "2", "1"}));
    QCOMPARE(LedgerFixture::scalar("select count(*) from aa where a2 = '已结算'").toInt(), 1);

    // The amount is stored as priced: more than two decimals, or 0 when free.
    LedgerFixture::exec("update aa set a5 = 12.35 where aid = 8");
    showPage();
    checkout(0, [&] {
        choosePreset("九折");
        pay(jiesuan->bsSkinSpeedButton2, jiesuan_xianjin, [&] { click(jiesuan_xianjin->bsSkinButton1); });
    });
    checkout(0, [&] {
        tick(jiesuan->bsSkinCheckRadioBox1);
        pay(jiesuan->bsSkinSpeedButton2, jiesuan_xianjin, [&] { click(jiesuan_xianjin->bsSkinButton1); });
    });
    QCOMPARE(LedgerFixture::rows("select a6 from aa where aid in (8, 6) order by aid"),
             QStringList({"0", "11.115"}));
    QCOMPARE(f.messages.last(), QStringLiteral("6号订单结算完成！"));
    QCOMPARE(listed(), QStringList({"5", "4", "3", "2", "1"}));
}

void TestSettlement::cardSettlementDebitsAndRecords() {
    LedgerFixture f;
    const int order = addOrder("未结算", "100");
    addOrder("未结算", "30");
    const int li = addMember("李四", "先生", "55");
    const int wang = addMember("王芳", "女士", "100");
    showPage();
    QCOMPARE(listed().last(), QString::number(order));
    checkout(1, [&] {
        choosePreset("九折");
        // The dialog lists every member even if its search box still holds a text.
        jiesuan_huiyuanka->bsSkinEdit1->setText("999");
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
            QCOMPARE(jiesuan_huiyuanka->Query_huiyuan->recordCount(), 2);
            QCOMPARE(jiesuan_huiyuanka->bsSkinEdit1->text(), QStringLiteral("999"));
            QCOMPARE(jiesuan_huiyuanka->bsSkinStdLabel9->text(), QString::number(order));
            QCOMPARE(jiesuan_huiyuanka->bsSkinStdLabel4->text(), QStringLiteral("100"));
            QCOMPARE(jiesuan_huiyuanka->bsSkinStdLabel6->text(), QStringLiteral("90"));
            // Search by card number, pick 王芳, confirm with Enter.
            jiesuan_huiyuanka->bsSkinEdit1->setText(QString::number(wang));
            QCOMPARE(jiesuan_huiyuanka->Query_huiyuan->recordCount(), 1);
            clickRow(jiesuan_huiyuanka->bsSkinDBGrid1, 0);
            QCOMPARE(jiesuan_huiyuanka->bsSkinDBText2->text(), QStringLiteral("王芳"));
            QTest::keyClick(jiesuan_huiyuanka, Qt::Key_Return);
            QVERIFY(!jiesuan_huiyuanka->isVisible());
        });
        QVERIFY(!jiesuan->isVisible());
    });
    QCOMPARE(f.messages.texts(), QStringList({"订单结算成功！"}));
    QCOMPARE(LedgerFixture::rows("select a6, a2 from aa where aid = :a", {{":a", order}}),
             QStringList({"90|已结算"}));
    QCOMPARE(balanceOf(wang), QStringLiteral("10"));
    QCOMPARE(balanceOf(li), QStringLiteral("55"));
    QCOMPARE(LedgerFixture::rows("select g1, g2, g3, g4, g5, g6, g7 from ag"),
             QStringList({QStringLiteral("王芳|90|2026-12-09 10:30:00|10|%1|%2|女士").arg(order).arg(wang)}));
    // The shared lists show the new state.
    QCOMPARE(listed(), QStringList({QString::number(order + 1)}));
    Data_in->Query_aj->lookup("jid", wang);
    QCOMPARE(Data_in->Query_aj->fieldText("j9"), QStringLiteral("10"));
    QCOMPARE(Data_in->Query_ag->recordCount(), 1);

    // A balance equal to the amount is enough and ends at 0.
    f.messages.clear();
    checkout(0, [&] {
        choosePreset("九折"); // 27
        LedgerFixture::exec("update aj set j9 = 27 where jid = :a", {{":a", li}});
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
            clickRow(jiesuan_huiyuanka->bsSkinDBGrid1, 1);
            QCOMPARE(jiesuan_huiyuanka->bsSkinDBText1->text(), QString::number(li));
            click(jiesuan_huiyuanka->bsSkinButton1);
        });
    });
    QCOMPARE(f.messages.texts(), QStringList({"订单结算成功！"}));
    QCOMPARE(balanceOf(li), QStringLiteral("0"));
    QCOMPARE(LedgerFixture::rows("select g1, g2, g4, g5 from ag order by gid desc limit 1"),
             QStringList({QStringLiteral("李四|27|0|%1").arg(order + 1)}));
}

void TestSettlement::cardBalanceChecks() {
    LedgerFixture f;
    const int order = addOrder("未结算", "20.01");
    showPage();
    // No members at all.
    checkout(0, [&] {
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] { click(jiesuan_huiyuanka->bsSkinButton1); });
        QVERIFY(jiesuan->isVisible());
    });
    QCOMPARE(f.messages.texts(), QStringList({"目前没有会员,无法使用会员卡结算"}));

    const int ten = addMember("赵六", "先生", "10");
    const int zero = addMember("钱七", "女士", "0");
    const int negative = addMember("孙八", "先生", "-5");
    auto payWith = [&](int card, bool free, const QString& preset = QString()) {
        f.messages.clear();
        checkout(0, [&] {
            if (!preset.isEmpty())
                choosePreset(preset);
            if (free)
                tick(jiesuan->bsSkinCheckRadioBox1);
            pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
                jiesuan_huiyuanka->bsSkinEdit1->setText(QString::number(card));
                click(jiesuan_huiyuanka->bsSkinButton1);
            });
        });
    };
    const QString tooLittle = QStringLiteral("卡中余额不足，请先给会员卡充值再结帐。或使用现金结算");
    // 20.01 at "五折" is 10.005, just above a balance of 10.
    payWith(ten, false, "五折");
    QCOMPARE(f.messages.texts(), QStringList({tooLittle}));
    payWith(negative, true);
    QCOMPARE(f.messages.texts(), QStringList({tooLittle}));
    // A search without a match leaves no member to choose.
    payWith(99, false);
    QCOMPARE(f.messages.texts(), QStringList({"目前没有会员,无法使用会员卡结算"}));
    QCOMPARE(status(order), QStringLiteral("未结算"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ag").toInt(), 0);
    QCOMPARE(LedgerFixture::rows("select j9 from aj order by jid"), QStringList({"10", "0", "-5"}));

    // Free of charge passes on an empty card and records 0.
    payWith(zero, true);
    QCOMPARE(f.messages.texts(), QStringList({"订单结算成功！"}));
    QCOMPARE(LedgerFixture::rows("select a6, a2 from aa where aid = :a", {{":a", order}}),
             QStringList({"0|已结算"}));
    QCOMPARE(balanceOf(zero), QStringLiteral("0"));
    QCOMPARE(LedgerFixture::rows("select g1, g2, g4 from ag"), QStringList({"钱七|0|0"}));
    QCOMPARE(balanceOf(ten), QStringLiteral("10"));
}

void TestSettlement::settledOrderIsNeverPaidAgain() {
    LedgerFixture f;
    const int paid = addOrder("已结算", "50");
    LedgerFixture::exec("update aa set a6 = 45 where aid = :a", {{":a", paid}});
    const int open = addOrder("未结算", "80");
    const int card = addMember("周九", "先生", "500");
    showPage();
    // A search brings the settled order into the list; it is refused.
    page()->bsSkinEdit1->setText(QString::number(paid));
    QCOMPARE(listed(), QStringList({QString::number(paid)}));
    QVERIFY(opensNoWindow([&] { click(page()->bsSkinSpeedButton5); }));
    QCOMPARE(f.messages.texts(), QStringList({"已结算的订单不可以再次结算！"}));

    // An order settled while its checkout is open is not paid again by either dialog.
    page()->bsSkinEdit1->setText(QString::number(open));
    f.messages.clear();
    checkout(0, [&] {
        LedgerFixture::exec("update aa set a2 = '已结算', a6 = 80 where aid = :a", {{":a", open}});
        pay(jiesuan->bsSkinSpeedButton2, jiesuan_xianjin, [&] { click(jiesuan_xianjin->bsSkinButton1); });
        choosePreset("五折");
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] { click(jiesuan_huiyuanka->bsSkinButton1); });
        QVERIFY(jiesuan->isVisible());
    });
    QCOMPARE(f.messages.texts(),
             QStringList({"已结算的订单不可以再次结算！", "已结算的订单不可以再次结算！"}));
    QCOMPARE(
        LedgerFixture::rows("select aid, a6, a2 from aa order by aid"),
        QStringList({QStringLiteral("%1|45|已结算").arg(paid), QStringLiteral("%1|80|已结算").arg(open)}));
    QCOMPARE(balanceOf(card), QStringLiteral("500"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ag").toInt(), 0);
}

void TestSettlement::failedRecordLeavesEverythingUntouched() {
    LedgerFixture f;
    const int order = addOrder("未结算", "40");
    const int card = addMember("吴十", "女士", "100");
    LedgerFixture::exec(
        "create trigger ag_full before insert on ag begin select raise(abort, 'disk full'); end");
    showPage();
    checkout(0, [&] {
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
            click(jiesuan_huiyuanka->bsSkinButton1);
            QVERIFY(jiesuan_huiyuanka->isVisible());
        });
        QVERIFY(jiesuan->isVisible());
    });
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages.first().kind, QStringLiteral("error"));
    QVERIFY2(f.messages.last().contains("disk full"), qPrintable(f.messages.last()));
    QCOMPARE(LedgerFixture::rows("select a6, a2 from aa where aid = :a", {{":a", order}}),
             QStringList({"|未结算"}));
    QCOMPARE(balanceOf(card), QStringLiteral("100"));
    QCOMPARE(listed(), QStringList({QString::number(order)}));

    LedgerFixture::exec("drop trigger ag_full");

    // A card that vanished after the list was read: nothing is paid either.
    const int gone = addMember("郑一", "先生", "100");
    f.messages.clear();
    checkout(0, [&] {
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] {
            LedgerFixture::exec("delete from aj where jid = :a", {{":a", gone}});
            click(jiesuan_huiyuanka->bsSkinButton1);
        });
    });
    QCOMPARE(f.messages.texts(), QStringList({QStringLiteral("找不到%1号会员卡，订单没有结算！").arg(gone)}));
    QCOMPARE(status(order), QStringLiteral("未结算"));
    QCOMPARE(LedgerFixture::scalar("select count(*) from ag").toInt(), 0);

    // Once the fault is gone the same order is paid normally.
    f.messages.clear();
    checkout(0, [&] {
        pay(jiesuan->bsSkinSpeedButton1, jiesuan_huiyuanka, [&] { click(jiesuan_huiyuanka->bsSkinButton1); });
    });
    QCOMPARE(f.messages.texts(), QStringList({"订单结算成功！"}));
    QCOMPARE(balanceOf(card), QStringLiteral("60"));
    QCOMPARE(status(order), QStringLiteral("已结算"));
}

LEDGER_TEST_MAIN(TestSettlement)
#include "tst_settlement.moc"
