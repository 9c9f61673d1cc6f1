#include "app/mainwindow.h"
#include "data/data_in.h"
#include "ledgertest.h"
#include "members/Fr_huiyuan.h"
#include "warehouse/Fr_kucun.h"
#include "widgets/databound.h"
#include "widgets/importdialog.h"
#include "widgets/layoutstore.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QToolButton>

// The grids' menu (export, import, default layout), the import preview and the remembered layout,
// driven as a user drives them.
class TestSpreadsheetWindows : public QObject {
    Q_OBJECT
private slots:
    void everyGridOffersTheMenu();
    void exportWritesTheSearchedRowsInTheGridsColumns();
    void importPreviewShowsProblemsAndWritesOnlyWhenTold();
    void membersImportFromExcel();
    void layoutIsRememberedUntilRestored();
};

namespace {

// Debian's Python, which has the packaged openpyxl (a python3 earlier on the PATH may not).
QString python() {
    const QString debian = QStringLiteral("/usr/bin/python3");
    return QFile::exists(debian) ? debian : QStringLiteral("python3");
}

ProductRow snack(const QString& name, const QString& stock, const QString& price) {
    return {.name = name,
            .stock = stock,
            .price = price,
            .value = 0,
            .unit = QStringLiteral("包"),
            .cost = 1,
            .wholesale = 2,
            .since = QStringLiteral("2026-12-01 08:00:00"),
            .note = QStringLiteral(""),
            .maker = QStringLiteral("")};
}

// Right-clicks the grid and returns the menu it opens.
QMenu* openMenu(DataGrid* grid) {
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            grid->viewport()->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(grid->viewport(), &event);
    for (QMenu* menu : grid->findChildren<QMenu*>(QStringLiteral("gridMenu")))
        if (menu->isVisible())
            return menu;
    return nullptr;
}

QAction* item(QMenu* menu, const QString& name) {
    if (!menu)
        return nullptr;
    for (QAction* action : menu->actions())
        if (action->objectName() == name)
            return action;
    return nullptr;
}

// Clicks a menu item as the user does.
void choose(QMenu* menu, const QString& name) {
    QAction* action = item(menu, name);
    QVERIFY2(action, qPrintable(name));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

// Answers the next file dialog with the file; then runs `next` on the modal window after it.
void answerFileDialog(const QString& path, std::function<void(QWidget*)> next = {}) {
    onModal([path, next](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        if (next)
            onModal(next);
        // The user types the file's full path into the name box and presses Enter.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

QJsonArray readBack(const QString& path) {
    const char* script = R"PY(
import csv, datetime, json, sys, openpyxl
rows = []
for row in openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets[0].iter_rows(values_only=True):
    rows.append([c.strftime('%Y-%m-%d %H:%M:%S') if isinstance(c, datetime.datetime) else c for c in row])
print(json.dumps(rows, ensure_ascii=False))
)PY";
    QProcess py;
    py.start(python(), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    py.waitForFinished(60000);
    return QJsonDocument::fromJson(py.readAllStandardOutput()).array();
}

DataGrid* stockGrid() {
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    return main_window->Fr_kucun1->bsSkinDBGrid2;
}

} // namespace

void TestSpreadsheetWindows::everyGridOffersTheMenu() {
    LedgerFixture fixture;
    main_window->show();
    int grids = 0;
    for (QWidget* widget : QApplication::allWidgets()) {
        auto* view = qobject_cast<QTableView*>(widget);
        // A table of a dialog's own items (the operators page's list) is a control, not a list.
        if (!view || qobject_cast<QTableWidget*>(view))
            continue;
        auto* grid = qobject_cast<DataGrid*>(view);
        QVERIFY2(grid, qPrintable(LayoutStore::keyOf(view) + QStringLiteral(" is a table without the menu")));
        std::unique_ptr<QMenu> menu(grid->makeMenu());
        QCOMPARE(item(menu.get(), QStringLiteral("exportExcel"))->text(), QStringLiteral("导出为 Excel…"));
        QCOMPARE(item(menu.get(), QStringLiteral("exportCsv"))->text(), QStringLiteral("导出为 CSV…"));
        QCOMPARE(item(menu.get(), QStringLiteral("restoreLayout"))->text(), QStringLiteral("恢复默认布局"));
        ++grids;
    }
    // The seven list pages, the order page's categories and lines, the order dialogs' two grids,
    // the checkout's lines, the card payment's members and the pick-list editor's four.
    QVERIFY2(grids >= 15, qPrintable(QString::number(grids)));

    std::unique_ptr<QMenu> stock(main_window->Fr_kucun1->bsSkinDBGrid2->makeMenu());
    QCOMPARE(item(stock.get(), QStringLiteral("importProducts"))->text(), QStringLiteral("导入产品…"));
    QVERIFY(!item(stock.get(), QStringLiteral("importMembers")));
    std::unique_ptr<QMenu> members(main_window->Fr_huiyuan1->bsSkinDBGrid2->makeMenu());
    QCOMPARE(item(members.get(), QStringLiteral("importMembers"))->text(), QStringLiteral("导入会员…"));
}

void TestSpreadsheetWindows::exportWritesTheSearchedRowsInTheGridsColumns() {
    LedgerFixture fixture;
    addProduct(snack(QStringLiteral("牛肉干"), QStringLiteral("12"), QStringLiteral("8.5")));
    addProduct(snack(QStringLiteral("苹果"), QStringLiteral("3"), QStringLiteral("2")));
    addProduct(snack(QStringLiteral("牛奶"), QStringLiteral("6"), QStringLiteral("4.25")));
    DataGrid* grid = stockGrid();
    Data_in->Query_ab->refresh();
    main_window->Fr_kucun1->bsSkinEdit1->setText(QStringLiteral("牛"));
    QCOMPARE(grid->rowCount(), 2);
    // The user drags 产品名称 to the front.
    QHeaderView* header = grid->horizontalHeader();
    const int name = Data_in->Query_ab->fieldIndex(QStringLiteral("b3"));
    header->moveSection(header->visualIndex(name), 0);

    const QString path = QDir(fixture.folder()).filePath(QStringLiteral("库存.xlsx"));
    answerFileDialog(path);
    choose(openMenu(grid), QStringLiteral("exportExcel"));
    QCOMPARE(fixture.messages.last(), QStringLiteral("已导出 2 行到 ") + QDir::toNativeSeparators(path));

    const QJsonArray rows = readBack(path);
    QCOMPARE(rows.size(), 3);
    const QJsonArray titles = rows[0].toArray();
    QCOMPARE(titles[0].toString(), QStringLiteral("产品名称"));
    QCOMPARE(titles[1].toString(), QStringLiteral("编号"));
    QCOMPARE(titles.size(), 13); // with the warning level, the barcode and the code at the scale
    QCOMPARE(rows[1].toArray()[0].toString(), QStringLiteral("牛奶")); // newest first, as listed
    QCOMPARE(rows[1].toArray()[1].toDouble(), 3.0);
    QCOMPARE(rows[2].toArray()[0].toString(), QStringLiteral("牛肉干"));
    QCOMPARE(rows[2].toArray()[titles.toVariantList().indexOf(QStringLiteral("销售价"))].toDouble(), 8.5);
    // The folder is remembered for the next export.
    QCOMPARE(LayoutStore::lastFolder(QStringLiteral("export")), QFileInfo(path).absolutePath());
}

void TestSpreadsheetWindows::importPreviewShowsProblemsAndWritesOnlyWhenTold() {
    LedgerFixture fixture;
    DataGrid* grid = stockGrid();
    const QString sample = QFINDTESTDATA("data/products_faults_gb18030.csv");
    QVERIFY(!sample.isEmpty());

    bool seen = false;
    answerFileDialog(sample, [&](QWidget* modal) {
        auto* dialog = qobject_cast<ImportDialog*>(modal);
        QVERIFY(dialog);
        seen = true;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("导入产品"));
        QVERIFY(child<QLabel>(dialog, QStringLiteral("summary"))
                    ->text()
                    .startsWith(QStringLiteral("共 8 行，其中 6 行有问题。")));
        auto* rows = child<QTableWidget>(dialog, QStringLiteral("rows"));
        QCOMPARE(rows->rowCount(), 8);
        const int problems = 1; // beside the row number
        QCOMPARE(rows->horizontalHeaderItem(problems)->text(), QStringLiteral("问题"));
        QCOMPARE(rows->item(4, 0)->text(), QStringLiteral("6"));
        QCOMPARE(rows->item(4, problems)->text(), QStringLiteral("单位：未知单位"));
        QCOMPARE(rows->item(0, problems)->text(), QString());
        QVERIFY(!child<QPushButton>(dialog, QStringLiteral("importAll"))->isEnabled());
        QVERIFY(child<QPushButton>(dialog, QStringLiteral("importGood"))->isEnabled());
        QTest::mouseClick(child<QPushButton>(dialog, QStringLiteral("cancel")), Qt::LeftButton);
    });
    choose(openMenu(grid), QStringLiteral("importProducts"));
    QVERIFY(seen);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 0);

    answerFileDialog(sample, [](QWidget* modal) {
        QTest::mouseClick(child<QPushButton>(modal, QStringLiteral("importGood")), Qt::LeftButton);
    });
    QTest::mouseClick(child<QToolButton>(main_window->Fr_kucun1, QStringLiteral("importProductsButton")),
                      Qt::LeftButton);
    // Six of the eight rows have a problem (a text stock, a long name, no major category, an
    // unknown unit, a name twice, a text price): said beside what was written.
    QCOMPARE(fixture.messages.last(), QStringLiteral("已导入 2 个产品，跳过 6 行有问题的行。"));
    // The stock list shows them at once.
    QCOMPARE(grid->rowCount(), 2);
    QCOMPARE(grid->cellText(0, 3), QStringLiteral("抽纸"));
}

void TestSpreadsheetWindows::membersImportFromExcel() {
    LedgerFixture fixture;
    main_window->show();
    main_window->switchTo(main_window->Fr_huiyuan1);
    DataGrid* grid = main_window->Fr_huiyuan1->bsSkinDBGrid2;
    const QString path = QDir(fixture.folder()).filePath(QStringLiteral("会员.xlsx"));
    QProcess py;
    py.start(python(), {QStringLiteral("-c"),
                        QStringLiteral("import openpyxl,sys\nb=openpyxl.Workbook()\ns=b.active\n"
                                       "s.append(['会员名','称呼','手机','卡中余额'])\n"
                                       "s.append(['王五','女士',13912345678,50])\n"
                                       "s.append(['赵六',None,None,None])\nb.save(sys.argv[1])"),
                        path});
    QVERIFY(py.waitForFinished(60000) && py.exitCode() == 0);
    answerFileDialog(path, [](QWidget* modal) {
        QVERIFY(child<QLabel>(modal, QStringLiteral("summary"))
                    ->text()
                    .startsWith(QStringLiteral("共 2 行，其中 0 行有问题。")));
        QVERIFY(!child<QPushButton>(modal, QStringLiteral("importGood"))->isEnabled());
        QTest::mouseClick(child<QPushButton>(modal, QStringLiteral("importAll")), Qt::LeftButton);
    });
    // From the tool bar's button this time: the same dialog as the list's menu.
    QTest::mouseClick(child<QToolButton>(main_window->Fr_huiyuan1, QStringLiteral("importMembersButton")),
                      Qt::LeftButton);
    QCOMPARE(fixture.messages.last(), QStringLiteral("已导入 2 个会员。"));
    QCOMPARE(LedgerFixture::rows("select j1,j2,j6,j9 from aj order by jid"),
             QStringList({QStringLiteral("王五|13912345678|女士|50"), QStringLiteral("赵六||先生|0")}));
    QCOMPARE(grid->rowCount(), 2);
}

void TestSpreadsheetWindows::layoutIsRememberedUntilRestored() {
    QSettings(QStringLiteral("vandrel-ledger"), QStringLiteral("layout")).clear();
    LedgerFixture fixture;
    addProduct(snack(QStringLiteral("牛肉干"), QStringLiteral("12"), QStringLiteral("8.5")));
    DataGrid* grid = stockGrid();
    QHeaderView* header = grid->horizontalHeader();
    const int name = Data_in->Query_ab->fieldIndex(QStringLiteral("b3"));
    const int unit = Data_in->Query_ab->fieldIndex(QStringLiteral("b5"));
    header->resizeSection(name, 333);
    header->moveSection(header->visualIndex(unit), 0);
    // A search re-reads the list: the arrangement stays.
    main_window->Fr_kucun1->bsSkinEdit1->setText(QStringLiteral("牛"));
    QCOMPARE(header->sectionSize(name), 333);
    QCOMPARE(header->visualIndex(unit), 0);
    main_window->showNormal();
    main_window->setGeometry(40, 50, 1100, 700);
    QCloseEvent closing; // what closing the window sends it
    QApplication::sendEvent(main_window, &closing);

    // The next start shows the grid and the window as the user left them.
    fixture.teardown();
    fixture.build();
    grid = stockGrid();
    header = grid->horizontalHeader();
    QCOMPARE(header->sectionSize(name), 333);
    QCOMPARE(header->visualIndex(unit), 0);
    QCOMPARE(grid->shownColumns().first().title, QStringLiteral("单位"));
    QCOMPARE(main_window->size(), QSize(1100, 700));

    choose(openMenu(grid), QStringLiteral("restoreLayout"));
    QCOMPARE(header->sectionSize(name), 200);
    QCOMPARE(grid->shownColumns().first().title, QStringLiteral("编号"));
    QCOMPARE(main_window->size(), QSize(982, 656));
    fixture.teardown();
    fixture.build();
    QCOMPARE(stockGrid()->shownColumns()[3].width, 200);
}

LEDGER_TEST_MAIN(TestSpreadsheetWindows)
#include "tst_spreadsheet_gui.moc"
