#include "app/mainwindow.h"
#include "core/clock.h"
#include "data/spreadsheet.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"
#include "support/ledgertest.h"
#include "system/logwindow.h"
#include "widgets/buttonsbar.h"
#include "widgets/databound.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

// The operation log's page, driven as the owner drives it: the newest rows a page at a time, the
// filters, the export of every row found; and a cashier who may not read it.
class TestOpLogWindow : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void theOwnerPagesFiltersAndExportsTheLog();
    void aCashierIsNotShownTheLog();
};

namespace {

QToolButton* systemItem(const QString& caption) {
    for (QToolButton* b : main_window->bsSkinButtonsBar1->findChildren<QToolButton*>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

// A shop with an owner and a cashier and 450 rows of their work at two tills over three days
// (2026-12-01 to -03, 150 a day), the cashier's every other row; the owner at the till.
struct Staffed {
    Staff::Operator owner;
    Staff::Operator cashier;

    Staffed() {
        Clock::setFixed(QDateTime(QDate(2026, 11, 30), QTime(8, 0)));
        Staff::start();
        Staff::setTillName(QStringLiteral("前台"));
        owner = {Staff::addOperator(QStringLiteral("王店主"), Staff::OwnerRole, QStringLiteral("2468")),
                 QStringLiteral("王店主"), Staff::OwnerRole};
        cashier = {Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357")),
                   QStringLiteral("小李"), Staff::CashierRole};
        Db::perform(Db::business(), [&](Db::Work& work) {
            for (int i = 0; i < 450; ++i) {
                Clock::setFixed(QDateTime(QDate(2026, 12, 1 + i / 150), QTime(8, 0)).addSecs(60 * (i % 150)));
                Staff::setTillName(i % 3 ? QStringLiteral("前台") : QStringLiteral("后台"));
                Staff::actAs(i % 2 ? owner : cashier);
                OpLog::write(work, {i % 5 ? OpLog::AddLine : OpLog::PayCash,
                                    QStringLiteral("订单 %1").arg(i),
                                    {},
                                    QString::number(i)});
            }
            work.commit();
        });
        Staff::setTillName(QStringLiteral("前台"));
        Staff::actAs(owner);
    }
};

// The texts of a column of the grid, top to bottom.
QStringList column(DataGrid* grid, int visible) {
    QStringList texts;
    for (int r = 0; r < grid->rowCount(); ++r)
        texts << grid->cellText(r, visible);
    return texts;
}

void choose(QComboBox* box, const QString& text) {
    const int at = box->findText(text);
    QVERIFY2(at > 0, qPrintable(text));
    box->setCurrentIndex(at);
}

} // namespace

void TestOpLogWindow::cleanup() {
    Staff::actAs(std::nullopt);
    Staff::setTillName({});
}

void TestOpLogWindow::theOwnerPagesFiltersAndExportsTheLog() {
    LedgerFixture fx;
    Staffed shop;
    main_window->show();
    QToolButton* item = systemItem(QStringLiteral("操作日志"));
    QVERIFY(item);
    QTemporaryDir dir;
    const QString exported = dir.filePath(QStringLiteral("日志.csv"));
    bool ran = false;
    onModal([&](QWidget* w) {
        auto* page = qobject_cast<Trizhi*>(w);
        QVERIFY(page);
        auto* grid = child<DataGrid>(w, "gridLog");
        auto* next = child<QPushButton>(w, "btnNext");
        auto* label = child<QLabel>(w, "lblPage");
        QTRY_VERIFY(page->query()->isOpen());
        // Newest first, a page of 200; three pages hold the 452 rows (the two operators added too).
        QCOMPARE(grid->rowCount(), 200);
        QCOMPARE(grid->cellText(0, 0), QStringLiteral("2026-12-03 10:29:00"));
        QCOMPARE(grid->cellText(0, 5), QStringLiteral("订单 449"));
        QVERIFY2(label->text().startsWith(QStringLiteral("第 1 页")), qPrintable(label->text()));
        QVERIFY(!child<QPushButton>(w, "btnPrev")->isEnabled());
        QStringList seen = column(grid, 5);
        QTest::mouseClick(next, Qt::LeftButton);
        seen += column(grid, 5);
        QTest::mouseClick(next, Qt::LeftButton);
        seen += column(grid, 5);
        QCOMPARE(grid->rowCount(), 52);
        QVERIFY(!next->isEnabled());
        QCOMPARE(seen.size(), 452);
        QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 452);
        QTest::mouseClick(child<QPushButton>(w, "btnPrev"), Qt::LeftButton);
        QVERIFY2(label->text().startsWith(QStringLiteral("第 2 页")), qPrintable(label->text()));
        QCOMPARE(grid->cellText(0, 5), seen.at(200));

        // The lists offer who and where the log names; choosing one shows the first page of it.
        auto* who = child<QComboBox>(w, "cbOperator");
        QCOMPARE(who->itemText(0), QStringLiteral("全部"));
        choose(who, QStringLiteral("小李"));
        QVERIFY2(label->text().startsWith(QStringLiteral("第 1 页")), qPrintable(label->text()));
        const QStringList names = column(grid, 2);
        QCOMPARE(names.size(), 200);
        QCOMPARE(names.count(QStringLiteral("小李")), 200);
        choose(child<QComboBox>(w, "cbTill"), QStringLiteral("后台"));
        choose(child<QComboBox>(w, "cbAction"), OpLog::PayCash);
        // One day: 2026-12-02, where the cashier (even rows) at the back till (every third) paid in
        // cash (every fifth): rows 150 … 299 that are multiples of 30.
        child<QDateEdit>(w, "deFrom")->setDate(QDate(2026, 12, 2));
        child<QDateEdit>(w, "deTo")->setDate(QDate(2026, 12, 2));
        QTest::mouseClick(child<QCheckBox>(w, "chkDays"), Qt::LeftButton);
        QCOMPARE(column(grid, 5), QStringList({"订单 270", "订单 240", "订单 210", "订单 180", "订单 150"}));
        QVERIFY(!next->isEnabled());

        // The export writes every row found, not only the page: all of the cashier's.
        child<QComboBox>(w, "cbAction")->setCurrentIndex(0);
        child<QComboBox>(w, "cbTill")->setCurrentIndex(0);
        QTest::mouseClick(child<QCheckBox>(w, "chkDays"), Qt::LeftButton);
        QVERIFY(next->isEnabled());
        onModal([&](QWidget* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            QVERIFY(files);
            auto* name = files->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(exported);
            QTest::keyClick(name, Qt::Key_Return);
        });
        QTest::mouseClick(child<QPushButton>(w, "btnCsv"), Qt::LeftButton);
        ran = true;
    });
    QTest::mouseClick(item, Qt::LeftButton);
    QVERIFY(ran);
    QCOMPARE(fx.messages.last(),
             QStringLiteral("已导出 225 行到 %1").arg(QDir::toNativeSeparators(exported)));
    const Spreadsheet::Table table = Spreadsheet::read(exported);
    QCOMPARE(table.rowCount(), 226);
    QCOMPARE(table.cell(0, 2), QStringLiteral("操作员"));
    QCOMPARE(table.cell(1, 5), QStringLiteral("订单 448"));
    for (int r = 1; r < table.rowCount(); ++r)
        QCOMPARE(table.cell(r, 2), QStringLiteral("小李"));
    // The export is logged, by the owner.
    QCOMPARE(
        LedgerFixture::rows("select operator_name, action, new_value from oplog order by id desc limit 1"),
        QStringList({"王店主|导出|225 行"}));
}

void TestOpLogWindow::aCashierIsNotShownTheLog() {
    LedgerFixture fx;
    Staffed shop;
    Staff::actAs(shop.cashier);
    main_window->show();
    const qint64 rows = LedgerFixture::scalar("select count(*) from oplog").toLongLong();
    // The window closes again at once, saying why (the watch only closes one left open, failing).
    const ModalWatch watch = onModalIfAny([](QWidget* w) { QTRY_VERIFY(!w->isVisible()); }, 3000);
    QTest::mouseClick(systemItem(QStringLiteral("操作日志")), Qt::LeftButton);
    QVERIFY(!rizhi->isVisible());
    QVERIFY(!rizhi->query()->isOpen());
    QCOMPARE(fx.messages.messages.size(), 1);
    QCOMPARE(fx.messages.last(), QStringLiteral("没有权限：") + Staff::name(Staff::Right::ReadLog));
    // The refusal is in the log.
    QCOMPARE(LedgerFixture::scalar("select count(*) from oplog").toLongLong(), rows + 1);
    QCOMPARE(LedgerFixture::rows("select operator_name, action from oplog order by id desc limit 1"),
             QStringList({"小李|拒绝"}));
}

LEDGER_TEST_MAIN(TestOpLogWindow)
#include "tst_oplogwindow.moc"
