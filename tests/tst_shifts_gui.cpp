#include "app/mainwindow.h"
#include "core/clock.h"
#include "data/data_in.h"
#include "fileedges.h"
#include "ledger/orders.h"
#include "ledger/receipts.h"
#include "ledger/settlement.h"
#include "ledger/shifts.h"
#include "ledger/staff.h"
#include "ledgertest.h"
#include "reports/receiptprint.h"
#include "settlement/jiesuan_xianjin.h"
#include "shifts/shiftwindows.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QToolButton>

// The shifts as the people at the till use them: the float asked, the drawer counted blind at
// 交班, the close report shown and printed, cash paid in and out, the drawer, the past shifts.
class TestShiftsGui : public QObject {
    Q_OBJECT
private slots:
    void theCountIsBlindUnlessTheOperatorMaySeeExpected_data();
    void theCountIsBlindUnlessTheOperatorMaySeeExpected();
    void aCountAsOneSumAndTheReportPrinted();
    void cashPaidInAndOut();
    void theFloatIsAskedAtTheFirstSettlementOfTheDay();
    void aShiftAcrossMidnightGoesOnALeftOneIsClosed();
    void theDrawerOpensAfterCashAndByHand();
    void theCloseReportOnTheRollAndOnAPage();
    void pastShiftsAndTheDayClose();
    void cashAmountsAsTyped_data();
    void cashAmountsAsTyped();
};

using namespace User;

namespace {

const QString OwnerPin = QStringLiteral("8642");

Currency yuan(const char* text) {
    return Currency::parse(QString::fromLatin1(text));
}

qint64 snack() {
    return CoreFixture::stockedSnack(QStringLiteral("薯片"), QStringLiteral("食品"), QStringLiteral("1.00"),
                                     QStringLiteral("2.50"));
}

QToolButton* statusButton(const QString& name) {
    return child<QToolButton>(main_window->statusBar(), name);
}

QAction* cashAction(const QString& name) {
    return child<QAction>(statusButton(QStringLiteral("cashButton")), name);
}

// Every text a window shows: its labels, boxes and buttons.
QString shownTexts(QWidget* window) {
    QStringList texts;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (label->isVisibleTo(window))
            texts << label->text();
    for (QLineEdit* edit : window->findChildren<QLineEdit*>())
        if (edit->isVisibleTo(window))
            texts << edit->text();
    return texts.join(QLatin1Char('|'));
}

// A hand-worked shift: float 200, two cash sales (14.50 after a discount of 0.50), a card sale of
// 5, a cash recharge of 100, 50 paid in, 2.50 given back for a return and 30 paid out: 332.00
// expected; counted 331.50.
Shifts::Figures handWorked() {
    Shifts::Figures f;
    f.shift.key = 7;
    f.shift.till = QStringLiteral("一号机");
    f.shift.operatorName = QStringLiteral("小李");
    f.shift.openedAt = QStringLiteral("2026-12-09 08:00:00");
    f.shift.day = QDate(2026, 12, 9);
    f.shift.openingFloat = yuan("200");
    f.shift.closedAt = QStringLiteral("2026-12-09 20:00:00");
    f.shift.closedBy = QStringLiteral("小李");
    f.shift.expected = yuan("332");
    f.shift.counted = yuan("331.5");
    f.shift.countDetail = QStringLiteral("100×3 20×1 10×1 1×1 0.5×1");
    f.cashOrders = 2;
    f.cashSales = yuan("14.5");
    f.cardOrders = 1;
    f.cardSales = yuan("5");
    f.discounts = yuan("0.5");
    f.recharges = 1;
    f.rechargeCash = yuan("100");
    f.cashIn = yuan("50");
    f.cashOut = yuan("30");
    f.refunds = yuan("2.5");
    f.refundCount = 1;
    f.movements = {
        {"2026-12-09 10:00:00", Shifts::CashIn, yuan("50"), QStringLiteral("零钱"), QStringLiteral("小李")},
        {"2026-12-09 12:00:00", Shifts::CashRefund, yuan("2.5"), QStringLiteral("订单 3 不新鲜"),
         QStringLiteral("小李")},
        {"2026-12-10 00:15:00", Shifts::CashOut, yuan("30"), QStringLiteral("买水"),
         QStringLiteral("王店主")}};
    f.removedLines = 1;
    f.deletedOrders = 1;
    return f;
}

// Settles a new order of `count` snacks in cash through the confirmation window.
qint64 settleInCash(qint64 product, int count) {
    const qint64 order = Orders::addLine(0, product, Currency::fromInt(count)).order;
    const Currency due = Currency::parse(QStringLiteral("2.5")) * Currency::fromInt(count);
    jiesuan_xianjin->prepare(order, due, due);
    jiesuan_xianjin->show();
    click(jiesuan_xianjin->bsSkinButton1);
    return order;
}

QByteArray golden(const QString& name) {
    QFile file(QFINDTESTDATA(QStringLiteral("data/") + name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void TestShiftsGui::theCountIsBlindUnlessTheOperatorMaySeeExpected_data() {
    QTest::addColumn<bool>("owner");
    QTest::newRow("cashier") << false;
    QTest::newRow("owner") << true;
}

void TestShiftsGui::theCountIsBlindUnlessTheOperatorMaySeeExpected() {
    QFETCH(bool, owner);
    LedgerFixture f;
    Staff::start();
    Staff::setTillName(QStringLiteral("一号机"));
    const qint64 ownerKey = Staff::addOperator(QStringLiteral("王店主"), Staff::OwnerRole, OwnerPin);
    const qint64 product = snack();
    const Staff::Operator cashier{Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, "1357"),
                                  QStringLiteral("小李"), Staff::CashierRole};
    Staff::actAs(owner ? Staff::Operator{ownerKey, QStringLiteral("王店主"), Staff::OwnerRole} : cashier);
    main_window->show();

    // The login finds no shift at this till: the float is asked.
    onModal([&](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("shiftOpen"));
        auto* edit = child<QLineEdit>(w, "floatEdit");
        QTest::keyClicks(edit, "2OO");
        click(child<QPushButton>(w, "okButton"));
        QVERIFY(f.messages.last().startsWith(QStringLiteral("备用金必须是金额")));
        edit->clear();
        QTest::keyClicks(edit, "200");
        click(child<QPushButton>(w, "okButton"));
    });
    ShiftWindows::afterLogin(main_window);
    QVERIFY(Shifts::current());
    QCOMPARE(Shifts::current()->openingFloat, yuan("200"));
    QCOMPARE(statusButton("shiftButton")->text(), QStringLiteral("交 班"));
    Settlement::payCash(Orders::addLine(0, product, Currency::fromInt(4)).order, yuan("10"));
    Settlement::payCash(Orders::addLine(0, product, Currency::fromInt(2)).order, yuan("4.5"));

    // 交班: 3 × 100, 1 × 20, 1 × 10, 4 × 1 counted; 214.50 expected.
    QStringList report;
    onModal([&](QWidget* w) {
        auto* count = qobject_cast<ShiftCount*>(w);
        QVERIFY(count);
        QCOMPARE(count->expectedLabel->isVisibleTo(count), owner);
        QCOMPARE(shownTexts(count).contains(QStringLiteral("214.50")), owner);
        QCOMPARE(count->pieces.size(), 8);
        for (const auto& [index, text] :
             QList<std::pair<int, QString>>{{0, "3"}, {2, "1"}, {3, "1"}, {5, "4"}}) {
            count->pieces[index]->selectAll();
            QTest::keyClicks(count->pieces[index], text);
        }
        QCOMPARE(count->amounts[0]->text(), QStringLiteral("300.00"));
        QCOMPARE(count->countedEdit->text(), QStringLiteral("334.00"));
        QVERIFY(count->countedEdit->isReadOnly());
        // Still blind once counted.
        QCOMPARE(shownTexts(count).contains(QStringLiteral("214.50")), owner);
        onModal([&](QWidget* r) {
            auto* shown = qobject_cast<ShiftReport*>(r);
            QVERIFY(shown);
            report = shown->lines();
            QVERIFY(shown->text->toPlainText().contains(QStringLiteral("应有现金")));
            click(shown->closeButton);
        });
        click(count->okButton);
    });
    click(statusButton("shiftButton"));
    QVERIFY(!Shifts::current());
    QCOMPARE(statusButton("shiftButton")->text(), QStringLiteral("开 班"));
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("confirm"));
    QVERIFY(report.filter(QStringLiteral("应有现金")).value(0).endsWith(QStringLiteral(" 214.50")));
    QVERIFY(report.filter(QStringLiteral("清点现金")).value(0).endsWith(QStringLiteral(" 334.00")));
    QVERIFY(report.filter(QStringLiteral("差额")).value(0).endsWith(QStringLiteral(" 119.50")));
    QVERIFY(report.contains(QStringLiteral("  100×3 20×1 10×1 1×4")));
    const Shifts::Shift closed = Shifts::shiftsOf(QDate(2026, 12, 9), QDate(2026, 12, 9)).first();
    QCOMPARE(closed.counted, std::optional<Currency>(yuan("334")));
    QCOMPARE(closed.countDetail, QStringLiteral("100×3 20×1 10×1 1×4"));
    Staff::setTillName(QString());
}

void TestShiftsGui::aCountAsOneSumAndTheReportPrinted() {
    LedgerFixture f;
    Staff::start();
    Staff::setTillName(QStringLiteral("二号机"));
    Shifts::open(yuan("100"));
    main_window->show();
    QList<std::pair<QString, QStringList>> printed;
    ReceiptPrint::setLinesHook([&](const QString& name, const QStringList& lines, const Receipts::Setup&) {
        printed.append({name, lines});
    });
    QList<ReportSnapshot> pages;
    ShiftWindows::setPageHook([&](const ReportSnapshot& page) { pages << page; });
    onModal([&](QWidget* w) {
        auto* count = qobject_cast<ShiftCount*>(w);
        QVERIFY(count);
        click(count->bySum);
        QVERIFY(!count->countedEdit->isReadOnly() && !count->piecesBox->isEnabled());
        count->countedEdit->clear();
        QTest::keyClicks(count->countedEdit, "99.5.0");
        click(count->okButton);
        QCOMPARE(f.messages.last(), QStringLiteral("请填写清点的现金合计，例如 334.50。"));
        QVERIFY(count->isVisible());
        // Asked before it is final: "no" leaves the shift open.
        count->countedEdit->clear();
        QTest::keyClicks(count->countedEdit, "99.5");
        f.messages.answers = {false};
        click(count->okButton);
        QVERIFY(count->isVisible() && Shifts::current());
        onModal([&](QWidget* r) {
            auto* shown = qobject_cast<ShiftReport*>(r);
            QVERIFY(shown);
            click(shown->receiptButton);
            click(shown->pageButton);
            click(shown->closeButton);
        });
        click(count->okButton);
    });
    click(statusButton("shiftButton"));
    ReceiptPrint::setLinesHook(nullptr);
    ShiftWindows::setPageHook(nullptr);
    QVERIFY(!Shifts::current());
    // The roll of the receipt set-up (58 mm: 32 columns), and the page.
    QCOMPARE(printed.size(), 1);
    for (const QString& line : printed[0].second)
        QVERIFY2(Receipts::textWidth(line) <= 32, qPrintable(line));
    QVERIFY(printed[0].second.contains(Shifts::reportRow(QStringLiteral("差额（短款）"), "-0.50", 32)));
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages[0].title.startsWith(QStringLiteral("交班报表 班次 ")));
    QVERIFY(pages[0].rows.contains(
        QStringList({QStringLiteral("清点现金"), QString(), QStringLiteral("99.50")})));
    Staff::setTillName(QString());
}

void TestShiftsGui::cashPaidInAndOut() {
    LedgerFixture f;
    Staff::start();
    Staff::setTillName(QStringLiteral("一号机"));
    main_window->show();
    // No shift yet: the float comes first.
    onModal([&](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("shiftOpen"));
        QTest::keyClicks(child<QLineEdit>(w, "floatEdit"), "100");
        onModal([&](QWidget* m) {
            auto* d = qobject_cast<CashMoveDialog*>(m);
            QVERIFY(d);
            QCOMPARE(d->windowTitle(), QStringLiteral("存入现金"));
            QCOMPARE(d->reasonBox->itemText(0), QStringLiteral("找零备用金"));
            QTest::keyClicks(d->amountEdit, "0");
            click(d->okButton);
            QVERIFY(f.messages.last().startsWith(QStringLiteral("金额必须大于零")));
            d->amountEdit->clear();
            QTest::keyClicks(d->amountEdit, "50");
            click(d->okButton);
        });
        click(child<QPushButton>(w, "okButton"));
    });
    cashAction("cashInAction")->trigger();
    onModal([&](QWidget* m) {
        auto* d = qobject_cast<CashMoveDialog*>(m);
        QVERIFY(d);
        QCOMPARE(d->reasonBox->itemText(0), QStringLiteral("供应商付款"));
        QTest::keyClicks(d->amountEdit, "151");
        // Typed through the input method: the text arrives whole.
        d->reasonBox->lineEdit()->selectAll();
        d->reasonBox->lineEdit()->insert(QStringLiteral("修门锁"));
        click(d->okButton);
        // More than the drawer holds: refused, the dialog stays.
        QCOMPARE(f.messages.last(), QStringLiteral("钱箱中应有现金只有 150 元，不能支出 151 元"));
        QVERIFY(d->isVisible());
        d->amountEdit->clear();
        QTest::keyClicks(d->amountEdit, "30.5");
        click(d->okButton);
    });
    cashAction("cashOutAction")->trigger();
    QCOMPARE(LedgerFixture::rows("select kind, amount, reason from cash_moves order by id"),
             QStringList({QStringLiteral("存入|500000|找零备用金"), QStringLiteral("支出|305000|修门锁")}));
    QCOMPARE(Shifts::figures(Shifts::current()->key).expected(), yuan("119.5"));
    Staff::setTillName(QString());
}

void TestShiftsGui::theFloatIsAskedAtTheFirstSettlementOfTheDay() {
    LedgerFixture f;
    Staff::start();
    Staff::setTillName(QStringLiteral("一号机"));
    const qint64 product = snack();
    main_window->show();
    // A shop without operators that never ran a shift sells as it always did.
    QVERIFY(opensNoWindow([&] { settleInCash(product, 1); }));
    // Once it ran one, the first settlement of a day with no shift asks the float.
    Shifts::close(Shifts::open(yuan("10")).key, yuan("10"));
    Clock::setFixed(QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
    qint64 order = 0;
    onModal([&](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("shiftOpen"));
        click(child<QPushButton>(w, "cancelButton"));
    });
    order = settleInCash(product, 2);
    // Cancelled: the sale is made, in no shift, and the day's further sales are not asked again.
    QCOMPARE(f.messages.last(), QString::number(order) + QStringLiteral("号订单结算完成！"));
    QCOMPARE(LedgerFixture::scalar("select a2 from aa where aid = :a", {{":a", order}}).toString(),
             Orders::Settled);
    QVERIFY(!Shifts::current());
    QVERIFY(opensNoWindow([&] { settleInCash(product, 1); }));
    // The next day it is asked again; given, the sale belongs to the new shift.
    Clock::setFixed(QDateTime(QDate(2026, 12, 11), QTime(9, 0)));
    onModal([&](QWidget* w) {
        QTest::keyClicks(child<QLineEdit>(w, "floatEdit"), "150.5");
        click(child<QPushButton>(w, "okButton"));
    });
    order = settleInCash(product, 2);
    QVERIFY(Shifts::current());
    QCOMPARE(Shifts::current()->openingFloat, yuan("150.5"));
    const Shifts::Figures figures = Shifts::figures(Shifts::current()->key);
    QCOMPARE(figures.cashOrders, 1);
    QCOMPARE(figures.expected(), yuan("155.5"));
    Staff::setTillName(QString());
}

void TestShiftsGui::aShiftAcrossMidnightGoesOnALeftOneIsClosed() {
    // The program started at 10:30 on the 9th (the fixture); a shift was left open the evening before.
    LedgerFixture f;
    Staff::start();
    Staff::setTillName(QStringLiteral("一号机"));
    const qint64 product = snack();
    Clock::setFixed(QDateTime(QDate(2026, 12, 8), QTime(20, 0)));
    const Shifts::Shift left = Shifts::open(yuan("80"));
    Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(23, 50)));
    main_window->show();
    // Its first settlement closes the one left, uncounted, and asks the float of a new one.
    onModal([&](QWidget* w) {
        QTest::keyClicks(child<QLineEdit>(w, "floatEdit"), "100");
        click(child<QPushButton>(w, "okButton"));
    });
    settleInCash(product, 1);
    QVERIFY(f.messages.texts().contains(
        QStringLiteral("本机 2026-12-08 20:00:00 开始的班次没有交班，已自动交班并记为“未清点”。")));
    const Shifts::Figures closed = Shifts::figures(left.key);
    QVERIFY(!closed.shift.isOpen() && !closed.shift.counted);
    const qint64 tonight = Shifts::current()->key;
    QVERIFY(tonight != left.key);
    // Past midnight the shift goes on: no question, the sale is its own, and it is counted at 交班.
    Clock::setFixed(QDateTime(QDate(2026, 12, 10), QTime(0, 10)));
    QVERIFY(opensNoWindow([&] { settleInCash(product, 2); }));
    QCOMPARE(Shifts::current()->key, tonight);
    QCOMPARE(Shifts::figures(tonight).cashOrders, 2);
    onModal([&](QWidget* w) {
        auto* count = qobject_cast<ShiftCount*>(w);
        QVERIFY(count);
        onModal([](QWidget* r) { QVERIFY(qobject_cast<ShiftReport*>(r)); });
        click(count->bySum);
        QTest::keyClicks(count->countedEdit, "107.5");
        click(count->okButton);
    });
    click(statusButton("shiftButton"));
    QCOMPARE(Shifts::figures(tonight).shift.counted, std::optional<Currency>(yuan("107.5")));
    QCOMPARE(Shifts::dayClose(QDate(2026, 12, 9)).total.cashSales, yuan("7.5"));
    Staff::setTillName(QString());
}

void TestShiftsGui::theDrawerOpensAfterCashAndByHand() {
    // The pulse as the printer takes it.
    QCOMPARE(Receipts::drawerKick(), golden("drawer_kick.bin"));
    QCOMPARE(Receipts::drawerKick(), QByteArray("\x1b\x70\x00\x19\xfa", 5));

    LedgerFixture f;
    Staff::start();
    Staff::setTillName(QStringLiteral("一号机"));
    const qint64 product = snack();
    FileEdges::FakePrinter printer;
    Receipts::Setup setup;
    setup.way = Receipts::Setup::Way::Device;
    setup.device = printer.path();
    Receipts::saveSetup(f.folder(), setup);
    main_window->show();

    // After a cash settlement the drawer opens (no receipt: not set to print one).
    settleInCash(product, 1);
    QCOMPARE(printer.received(5), Receipts::drawerKick());
    // With a receipt: one write, the pulse first.
    setup.autoPrint = true;
    Receipts::saveSetup(f.folder(), setup);
    const qint64 order = settleInCash(product, 1);
    const QByteArray both = Receipts::drawerKick() + Receipts::escPos(Receipts::forOrder(order), setup);
    QCOMPARE(printer.received(both.size()), both);
    // Turned off in the receipt settings: the receipt alone.
    setup.drawer = false;
    Receipts::saveSetup(f.folder(), setup);
    QCOMPARE(Receipts::loadSetup(f.folder()).drawer, false);
    const qint64 third = settleInCash(product, 1);
    const QByteArray receipt = Receipts::escPos(Receipts::forOrder(third), setup);
    QCOMPARE(printer.received(receipt.size()), receipt);

    // 开钱箱 by hand: a right a cashier has, logged; refused to a role without it.
    const Staff::Operator owner{Staff::addOperator(QStringLiteral("王店主"), Staff::OwnerRole, OwnerPin),
                                QStringLiteral("王店主"), Staff::OwnerRole};
    Staff::saveRole(QStringLiteral("理货员"), {Staff::Right::Sell});
    const Staff::Operator stocker{
        Staff::addOperator(QStringLiteral("小周"), QStringLiteral("理货员"), "2468"), QStringLiteral("小周"),
        QStringLiteral("理货员")};
    const Staff::Operator cashier{Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, "1357"),
                                  QStringLiteral("小李"), Staff::CashierRole};
    Staff::actAs(cashier);
    cashAction("drawerAction")->trigger();
    QCOMPARE(printer.received(5), Receipts::drawerKick());
    QCOMPARE(LedgerFixture::rows("select operator_name, touched from oplog where action = '开钱箱'"),
             QStringList({QStringLiteral("小李|钱箱 一号机")}));
    Staff::actAs(stocker);
    f.messages.clear();
    cashAction("drawerAction")->trigger();
    QCOMPARE(f.messages.last(), QStringLiteral("没有权限：开钱箱"));
    QCOMPARE(printer.received(), QByteArray());
    // A printer that is no device cannot open a drawer: said so.
    setup.way = Receipts::Setup::Way::Printer;
    Staff::actAs(owner);
    Receipts::saveSetup(f.folder(), setup);
    cashAction("drawerAction")->trigger();
    QVERIFY(f.messages.last().contains(QStringLiteral("设备文件")));
    Staff::setTillName(QString());
}

void TestShiftsGui::theCloseReportOnTheRollAndOnAPage() {
    const Shifts::Figures f = handWorked();
    // On the roll: 32 and 48 columns, never wider; the printer's bytes as kept.
    for (int width : {32, 48}) {
        const QStringList lines = Shifts::reportLines(f, width);
        for (const QString& line : lines)
            QVERIFY2(Receipts::textWidth(line) <= width, qPrintable(line));
        QCOMPARE(lines.filter(QStringLiteral("应有现金")).value(0),
                 Shifts::reportRow(QStringLiteral("应有现金"), "332.00", width));
    }
    QCOMPARE(Receipts::escPosLines(Shifts::reportLines(f, 32)), golden("shift_close_58.bin"));
    QCOMPARE(Receipts::escPosLines(Shifts::reportLines(f, 48)), golden("shift_close_80.bin"));
    // A till or operator name longer than the roll is cut, not wrapped past it.
    Shifts::Figures longNames = f;
    longNames.shift.till = QString(40, QChar(0x6536));
    longNames.shift.operatorName = QStringLiteral("😀").repeated(20);
    for (const QString& line : Shifts::reportLines(longNames, 32))
        QVERIFY2(Receipts::textWidth(line) <= 32 && !line.endsWith(QChar(0xD83D)), qPrintable(line));

    // The page through the report engine.
    QTemporaryDir dir;
    const QString pdf = dir.filePath("shift.pdf");
    ShiftWindows::renderPagePdf(ShiftWindows::shiftPage(f), pdf);
    const QString text = pdfText(pdf).simplified();
    for (const QString& expected :
         {QStringLiteral("交班报表 班次 7"), QStringLiteral("收银台: 一号机"),
          QStringLiteral("现金销售 2 14.50"), QStringLiteral("会员卡销售 1 5.00"),
          QStringLiteral("会员充值（现金） 1 100.00"), QStringLiteral("退货退款（现金） 1 2.50"),
          QStringLiteral("10:00 存入 小李 零钱 50.00"), QStringLiteral("12:00 退款 小李 订单 3 不新鲜 -2.50"),
          QStringLiteral("12-10 00:15 支出 王店主 买水 -30.00"), QStringLiteral("应有现金 332.00"),
          QStringLiteral("清点现金 331.50"), QStringLiteral("差额 -0.50")})
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" in ") + text));
    // The window shows the movements as the roll lists them.
    QScopedPointer<ShiftReport> shown(ShiftReport::ofShift(f, main_window));
    const QString window = shown->text->toPlainText();
    for (const QString& expected :
         {QStringLiteral("现金收支明细"), QStringLiteral("12:00 退款 小李"), QStringLiteral("订单 3 不新鲜"),
          QStringLiteral("12-10 00:15 支出 王店主")})
        QVERIFY2(window.contains(expected), qPrintable(expected + QStringLiteral(" in ") + window));
    // And the roll as a PDF (what the receipt printer's queue is sent).
    const QString roll = dir.filePath("roll.pdf");
    ReceiptPrint::renderLinesPdf(Shifts::reportLines(f, 32), 58, roll);
    QVERIFY(pdfText(roll).simplified().contains(QStringLiteral("差额（短款） -0.50")));
}

void TestShiftsGui::pastShiftsAndTheDayClose() {
    LedgerFixture f;
    Staff::start();
    const qint64 product = snack();
    // Two tills the same day; one closed short, one left open and closed uncounted the next day.
    Staff::setTillName(QStringLiteral("一号机"));
    Shifts::open(yuan("100"));
    Settlement::payCash(Orders::addLine(0, product, Currency::fromInt(4)).order, yuan("10"));
    Shifts::close(Shifts::current()->key, yuan("109"));
    Staff::setTillName(QStringLiteral("二号机"));
    Shifts::open(yuan("50"));
    Settlement::payCash(Orders::addLine(0, product, Currency::fromInt(2)).order, yuan("5"));
    Clock::setFixed(QDateTime(QDate(2026, 12, 10), QTime(8, 0)));
    onModal([&](QWidget* w) { click(child<QPushButton>(w, "cancelButton")); });
    ShiftWindows::afterLogin(main_window);
    QCOMPARE(f.messages.last(),
             QStringLiteral("本机 2026-12-09 10:30:00 开始的班次没有交班，已自动交班并记为“未清点”。"));

    // A cashier may not read them; the owner may.
    const qint64 owner = Staff::addOperator(QStringLiteral("王店主"), Staff::OwnerRole, OwnerPin);
    const Staff::Operator cashier{Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, "1357"),
                                  QStringLiteral("小李"), Staff::CashierRole};
    main_window->show();
    Staff::actAs(cashier);
    QVERIFY(opensNoWindow([] { cashAction("pastShiftsAction")->trigger(); }));
    QCOMPARE(f.messages.last(), QStringLiteral("没有权限：查看操作日志"));
    Staff::actAs(Staff::Operator{owner, QStringLiteral("王店主"), Staff::OwnerRole});
    QList<ReportSnapshot> pages;
    ShiftWindows::setPageHook([&](const ReportSnapshot& page) { pages << page; });
    onModal([&](QWidget* w) {
        auto* list = qobject_cast<ShiftList*>(w);
        QVERIFY(list);
        QCOMPARE(list->table->rowCount(), 2);
        QStringList rows;
        for (int row = 0; row < 2; ++row) {
            QStringList cells;
            for (int col : {1, 12, 13, 14})
                cells << list->table->item(row, col)->text();
            rows << cells.join('|');
        }
        QCOMPARE(rows, QStringList({QStringLiteral("二号机|55.00|未清点|"),
                                    QStringLiteral("一号机|110.00|109.00|-1.00")}));
        QCOMPARE(list->totalLabel->text(), QStringLiteral("共 2 个班次，差额合计 -1.00 元，未清点 1 个"));
        list->table->selectRow(1);
        onModal([&](QWidget* r) {
            auto* day = qobject_cast<ShiftReport*>(r);
            QVERIFY(day);
            const QStringList lines = day->lines();
            QVERIFY(lines.contains(Shifts::reportRow(QStringLiteral("应有现金"), "165.00", 48)));
            QVERIFY(lines.contains(Shifts::reportRow(QStringLiteral("未清点的班次"), "1", 48)));
            click(day->pageButton);
            click(day->closeButton);
        });
        click(list->dayButton);
        click(list->printButton);
        click(list->closeButton);
    });
    cashAction("pastShiftsAction")->trigger();
    ShiftWindows::setPageHook(nullptr);
    QCOMPARE(pages.size(), 2);
    QCOMPARE(pages[0].title, QStringLiteral("日结 2026-12-09"));
    QCOMPARE(pages[0].rows.size(), 2);
    QCOMPARE(pages[0].sums.value(6), QStringLiteral("15.00"));
    QCOMPARE(pages[1].rows.size(), 2);
    Staff::setTillName(QString());
}

void TestShiftsGui::cashAmountsAsTyped_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("amount"); // empty: refused
    QTest::newRow("whole") << "200"
                           << "200";
    QTest::newRow("two decimals") << " 12.50 "
                                  << "12.5";
    QTest::newRow("a point") << "3."
                             << "3";
    QTest::newRow("three decimals") << "1.005"
                                    << "";
    QTest::newRow("negative") << "-5"
                              << "";
    QTest::newRow("exponent") << "1e3"
                              << "";
    QTest::newRow("full-width digits") << QStringLiteral("２００") << "";
    QTest::newRow("too much") << "9999999999"
                              << "";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("nan") << "nan"
                         << "";
}

void TestShiftsGui::cashAmountsAsTyped() {
    QFETCH(QString, text);
    QFETCH(QString, amount);
    const std::optional<Currency> got = ShiftWindows::cashAmount(text);
    QCOMPARE(got ? got->toString() : QString(), amount);
}

LEDGER_TEST_MAIN(TestShiftsGui)
#include "tst_shifts_gui.moc"
