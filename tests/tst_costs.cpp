#include "app/Fr_wel.h"
#include "app/mainwindow.h"
#include "core/clock.h"
#include "data/data_in.h"
#include "data/listdefinitions.h"
#include "ledger/costs.h"
#include "ledger/exporting.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/reportfiles.h"
#include "ledger/settlement.h"
#include "ledger/staff.h"
#include "ledger/statistics.h"
#include "ledger/stockin.h"
#include "ledgertest.h"
#include "reports/reportrenderer.h"
#include "reports/reports.h"
#include "statistics/Fr_tongji.h"
#include "warehouse/Fr_kucun.h"
#include "widgets/databound.h"
#include "widgets/gridexport.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

// Cost prices and profit for those who may see them only: every list, export, print and
// statistic of a cashier is searched for the shop's cost figures; the rights on exports and
// prints; the statistics per cashier.
class TestCosts : public QObject {
    Q_OBJECT
private slots:
    void noCostFigureReachesOneWhoMayNotSeeCosts_data();
    void noCostFigureReachesOneWhoMayNotSeeCosts();
    void listsFollowTheOperatorAtTheTill();
    void exportsAndPrintsAskTheirRightsAndAreLogged();
    void salesPerCashierAndDay();
};

using namespace User;

namespace {

void at(int month, int day, int hour) {
    Clock::setFixed(QDateTime(QDate(2026, month, day), QTime(hour, 0)));
}

TFr_tongji* page() {
    return main_window->Fr_tongji1;
}

// Figures that appear only as costs or profit: the cost prices 7.31 and 123.47; 3 sold at 7.31
// cost 21.93 (profit 7.77 on 29.7), the one at 123.47 leaves 76.53 on 200; together a cost of
// 145.4 and a profit of 84.3, a margin of 36.7%.
// The 5 and 2 received cost 36.55 and 246.94.
const QStringList CostFigures = {"7.31",  "123.47", "21.93", "7.77",  "76.53",
                                 "145.4", "84.3",   "36.7%", "36.55", "246.94"};

struct Shop {
    qint64 mints = 0, flask = 0, order = 0;
};

// Two products with their costs, a stock-in of each, an order of both settled in cash.
Shop buildShop() {
    Shop s;
    at(12, 1, 8);
    s.mints = CoreFixture::stockedSnack("薄荷糖", "食品", "7.31", "9.9");
    s.flask = CoreFixture::stockedSnack("保温杯", "日用品", "123.47", "200");
    at(12, 9, 9);
    StockIn::receive(s.mints, Currency::fromInt(5), QDate(2026, 12, 9));
    StockIn::receive(s.flask, Currency::fromInt(2), QDate(2026, 12, 9));
    s.order = Orders::addLine(0, s.mints, Currency::fromInt(3)).order;
    Orders::addLine(s.order, s.flask, Currency::fromInt(1));
    Settlement::payCash(s.order, Currency::parse("229.7"));
    // The mints are to be reordered: the warning list has them.
    LedgerFixture::exec("update ab set b14 = 500 where bid = :a", {{":a", s.mints}});
    at(12, 9, 10);
    return s;
}

struct Staffed {
    Staff::Operator owner, cashier;
};

// The shop opened afresh: the till's session forgets the operators of an earlier shop.
void openShop() {
    Staff::start();
    Costs::follow();
}

Staffed addStaff() {
    Staffed s;
    s.owner = {Staff::addOperator("老板", Staff::OwnerRole, "1234"), "老板", Staff::OwnerRole};
    s.cashier = {Staff::addOperator("小王", Staff::CashierRole, "5678"), "小王", Staff::CashierRole};
    return s;
}

void actAs(const Staff::Operator& who) {
    Staff::actAs(who);
    Costs::follow();
}

// Every field of every row of the list.
QString everyField(const SharedQuery* q) {
    QStringList texts;
    for (int r = 0; r < q->rowCount(); ++r)
        for (const QString& field : q->fields())
            texts << q->text(r, field);
    return texts.join(QLatin1Char('|'));
}

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                          : QStringLiteral("(unreadable)");
}

// What a chart shows: its title, its series' names and every value.
QString chartText(QChartView* view) {
    QStringList texts{view->chart()->title()};
    for (QAbstractSeries* series : view->chart()->series()) {
        texts << series->name();
        if (auto* bars = qobject_cast<QAbstractBarSeries*>(series))
            for (QBarSet* set : bars->barSets())
                for (int i = 0; i < set->count(); ++i)
                    texts << set->label() << QString::number(set->at(i));
        if (auto* line = qobject_cast<QLineSeries*>(series))
            for (const QPointF& p : line->points())
                texts << QString::number(p.y());
    }
    return texts.join(QLatin1Char('|'));
}

QStringList figuresIn(const QString& text) {
    QStringList found;
    for (const QString& figure : CostFigures)
        if (text.contains(figure))
            found << figure;
    return found;
}

// Answers the next file dialog with the path.
void answerFileDialog(const QString& path) {
    onModal([path](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->setText(path);
        QTest::keyClick(name, Qt::Key_Return);
    });
}

int logRows(const QString& action) {
    return LedgerFixture::scalar("select count(*) from oplog where action = :a", {{":a", action}}).toInt();
}

} // namespace

void TestCosts::noCostFigureReachesOneWhoMayNotSeeCosts_data() {
    QTest::addColumn<QString>("role");
    QTest::newRow("收银员") << Staff::CashierRole;
    // A cashier who may export too: the exports are searched as well.
    QTest::newRow("收银兼导出") << QStringLiteral("收银兼导出");
    QTest::newRow("店主") << Staff::OwnerRole;
}

void TestCosts::noCostFigureReachesOneWhoMayNotSeeCosts() {
    QFETCH(QString, role);
    const bool owner = role == Staff::OwnerRole;
    LedgerFixture f;
    openShop();
    ReportFiles::install(f.folder());
    const Shop shop = buildShop();
    const Staffed staff = addStaff();
    Staff::saveRole("收银兼导出", Staff::cashierRights() + Staff::Rights{Staff::Right::ExportImport});
    if (owner)
        actAs(staff.owner);
    else if (role == Staff::CashierRole)
        actAs(staff.cashier);
    else
        actAs({Staff::addOperator("小张", role, "2468"), "小张", role});
    QCOMPARE(Costs::shown(), owner);
    const bool exports = Staff::may(Staff::Right::ExportImport);
    QCOMPARE(exports, role != Staff::CashierRole);
    main_window->show();

    // What each output holds, by name.
    QMap<QString, QString> outputs;

    // Every list the pages show, every field its statement reads.
    for (const ListDefinition& list : ListDefinitions::all()) {
        SharedQuery* q = Data_in->query(list.query);
        q->reset(q->defaultStatement());
        outputs.insert("list " + list.name, everyField(q) + "|" + q->statement());
    }
    SharedQuery* products = Data_in->Query_ab;
    products->reset(Products::lowStockStatement());
    outputs.insert("list warning", everyField(products));
    products->reset(products->defaultStatement());

    // The stock grid as shown, and exported from its menu as the user does.
    main_window->switchTo(main_window->Fr_kucun1);
    DataGrid* stock = main_window->Fr_kucun1->bsSkinDBGrid2;
    QStringList cells;
    for (int r = 0; r < stock->rowCount(); ++r)
        for (int c = 0; c < stock->columns().size(); ++c)
            cells << stock->cellText(r, c);
    outputs.insert("stock grid", cells.join('|'));
    if (exports) {
        const QString gridFile = QDir(f.folder()).filePath("grid.csv");
        answerFileDialog(gridFile);
        GridExport::run(stock, Spreadsheet::Format::Csv);
        outputs.insert("stock grid export", fileText(gridFile));

        // Every list exported as the export tool does.
        for (const ListDefinition& list : ListDefinitions::all()) {
            const QString csv = QDir(f.folder()).filePath(list.name + ".csv");
            Exporting::writeList(list, {}, csv, Spreadsheet::Format::Csv);
            outputs.insert("export " + list.name, fileText(csv));
        }
    }

    // The statistics page over the month: cards, lists and charts, each tab shown in turn, the
    // ranking by every choice it offers.
    main_window->switchTo(page());
    page()->cbPeriod->setCurrentIndex(2);
    QString statistics;
    for (int tab = 0; tab < page()->tabs->count(); ++tab) {
        page()->tabs->setCurrentIndex(tab);
        for (int choice = 0; choice < page()->cbRanking->count(); ++choice) {
            page()->cbRanking->setCurrentIndex(choice);
            for (QLabel* label : page()->findChildren<QLabel*>())
                statistics += label->text() + "|";
            for (const QString& name : TFr_tongji::listNames())
                statistics +=
                    everyField(Data_in->query(name)) + "|" + Data_in->query(name)->statement() + "|";
            for (QChartView* chart : page()->findChildren<QChartView*>())
                statistics += chartText(chart) + "|";
        }
    }
    outputs.insert("statistics", statistics);
    const Statistics::Summary summary = Statistics::summary(page()->period());
    outputs.insert("summary", QStringList({summary.cost.toString(), summary.profit.toString(),
                                           summary.costedSales.toString(), summary.marginText()})
                                  .join('|'));

    // Every print: the lists' (through the page's print, its parameters as the page hands them
    // over), rendered to PDF and read back.
    Reports::setFigurePreviewHook(
        [&](const QString& definition, const Reports::Parameters& parameters, const ReportFigure& figure) {
            const QString pdf = QDir(f.folder()).filePath(definition + ".pdf");
            Reports::renderPdf(definition, pdf, parameters, figure);
            outputs.insert("print " + definition, pdfText(pdf));
        });
    page()->cbRanking->setCurrentIndex(page()->cbRanking->count() - 1);
    const QList<QPushButton*> prints = {page()->btnPrintDays, page()->btnPrintProducts,
                                        page()->btnPrintCategories, page()->btnPrintMembers,
                                        page()->btnPrintCashiers};
    for (int tab = 0; tab < prints.size(); ++tab) {
        page()->tabs->setCurrentIndex(tab);
        click(prints[tab]);
    }
    Reports::setFigurePreviewHook(nullptr);
    for (const QString& name : ReportFiles::names()) {
        if (name.startsWith("tj"))
            continue;
        if (name == "yj.rav")
            products->reset(Products::lowStockStatement());
        const QString pdf = QDir(f.folder()).filePath(name + ".pdf");
        Reports::renderPdf(name, pdf, {{"bianhao", QString::number(shop.order)}});
        outputs.insert("print " + name, pdfText(pdf));
        products->reset(products->defaultStatement());
    }

    // A definition of the shop's own that multiplies a cost into a column of its own.
    QFile own(QDir(Reports::printFolder()).filePath("chengben.rav"));
    QVERIFY(own.open(QIODevice::WriteOnly));
    own.write(R"({ "title": "入库成本", "source": "Rv_ac", "columns": [ { "field": "c2" },
                   { "product": ["c3", "c4"], "title": "成本合计", "sum": true } ] })");
    own.close();
    const QString ownPdf = QDir(f.folder()).filePath("chengben.pdf");
    Reports::renderPdf("chengben.rav", ownPdf);
    outputs.insert("print chengben.rav", pdfText(ownPdf));

    // The welcome card.
    main_window->switchTo(main_window->Fr_wel1);
    outputs.insert("welcome", main_window->Fr_wel1->lblToday->text());

    // The product dialog as 修 改 opens it on the product.
    main_window->switchTo(main_window->Fr_kucun1);
    products->lookup("bid", shop.mints);
    onModal([&outputs](QWidget* dialog) {
        auto* cost = child<QDoubleSpinBox>(dialog, "bsSkinEdit4");
        QVERIFY(cost);
        outputs.insert("product dialog", cost->isVisible() ? cost->text() : QString::number(cost->value()));
    });
    click(main_window->Fr_kucun1->bsSkinSpeedButton1);

    // Nothing shows a cost to a cashier; to the owner, every output of costs shows them.
    const QStringList withCosts = {
        "list products",     "list stock-in",   "list stock-out",    "list warning",  "stock grid",
        "stock grid export", "export products", "export stock-in",   "statistics",    "summary",
        "print ab.rav",      "print ac.rav",    "print tj1.rav",     "print tj2.rav", "print tj3.rav",
        "welcome",           "product dialog",  "print chengben.rav"};
    for (const QString& name : withCosts)
        QVERIFY2(outputs.contains(name) || (!exports && name.contains("export")), qPrintable(name));
    for (auto it = outputs.cbegin(); it != outputs.cend(); ++it) {
        const QStringList found = figuresIn(it.value());
        if (!owner)
            QVERIFY2(found.isEmpty(), qPrintable(it.key() + " shows " + found.join(", ")));
        else if (withCosts.contains(it.key()))
            QVERIFY2(!found.isEmpty(), qPrintable(it.key() + " shows no cost: " + it.value().left(300)));
    }
    QCOMPARE(outputs.contains("export products"), exports);
}

void TestCosts::listsFollowTheOperatorAtTheTill() {
    LedgerFixture f;
    openShop();
    buildShop();
    const Staffed staff = addStaff();
    actAs(staff.owner);
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    DataGrid* grid = main_window->Fr_kucun1->bsSkinDBGrid2;
    auto shownFields = [grid] {
        QStringList fields;
        for (const GridColumn& c : grid->shownColumns())
            fields << c.field;
        return fields;
    };
    SharedQuery* products = Data_in->Query_ab;
    SharedQuery* stockIn = Data_in->Query_ac;
    products->search("b3", "糖");
    QVERIFY(shownFields().contains("b6"));
    QCOMPARE(products->fieldText("b6"), QStringLiteral("7.31"));

    // A change of hands while the page is open: the open lists read again, without the costs, the
    // search in force kept.
    actAs(staff.cashier);
    QCOMPARE(products->recordCount(), 1);
    QVERIFY(!products->fields().contains("b6"));
    QVERIFY(!products->statement().contains("*"));
    QVERIFY(!products->statement().contains("b6"));
    QVERIFY(!shownFields().contains("b6"));
    QVERIFY(shownFields().contains("b8"));
    QVERIFY(!stockIn->fields().contains("c4"));
    QVERIFY(!Data_in->Query_ae->fields().contains("e13"));
    // A list opened later, paged or not, reads without them too.
    for (bool everything : {false, true}) {
        SharedQuery::setLoadEverything(everything);
        stockIn->reset(stockIn->defaultStatement());
        QVERIFY(!stockIn->fields().contains("c4"));
        QCOMPARE(stockIn->fieldText("c4"), QString());
        QCOMPARE(stockIn->fieldText("c2"), QStringLiteral("保温杯"));
    }
    SharedQuery::setLoadEverything(false);

    // Locked, nobody sees them; the owner back, they are read again.
    Staff::lock();
    Costs::follow();
    QVERIFY(!products->fields().contains("b6"));
    actAs(staff.owner);
    QVERIFY(products->fields().contains("b6"));
    QVERIFY(shownFields().contains("b6"));
    QCOMPARE(products->fieldText("b6"), QStringLiteral("7.31"));
    QVERIFY(stockIn->fields().contains("c4"));
}

void TestCosts::exportsAndPrintsAskTheirRightsAndAreLogged() {
    LedgerFixture f;
    openShop();
    ReportFiles::install(f.folder());
    buildShop();
    const Staffed staff = addStaff();
    Staff::saveRole("仓管", {Staff::Right::StockIn});
    const Staff::Operator keeper{Staff::addOperator("小李", "仓管", "1111"), "小李", "仓管"};
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    DataGrid* grid = main_window->Fr_kucun1->bsSkinDBGrid2;
    const ListDefinition& list = ListDefinitions::get("products");
    const QString file = QDir(f.folder()).filePath("products.csv");

    // A cashier may print lists but not export them: refused before a file is asked for, the
    // refusal logged, no file written.
    actAs(staff.cashier);
    QVERIFY_THROWS_EXCEPTION(Staff::NoRight, Exporting::writeList(list, {}, file, Spreadsheet::Format::Csv));
    QVERIFY(!QFile::exists(file));
    QCOMPARE(logRows(OpLog::RefusedAction), 1);
    QVERIFY(opensNoWindow([grid] { guarded([grid] { GridExport::run(grid, Spreadsheet::Format::Csv); }); }));
    QVERIFY(
        f.messages.last().contains(QStringLiteral("没有权限：") + Staff::name(Staff::Right::ExportImport)));
    QCOMPARE(logRows(OpLog::RefusedAction), 2);
    QCOMPARE(logRows(OpLog::Export), 0);
    const QString pdf = QDir(f.folder()).filePath("ab.pdf");
    Reports::renderPdf("ab.rav", pdf);
    QVERIFY(pdfText(pdf).contains("保温杯"));
    QCOMPARE(LedgerFixture::rows("select operator_name, action, touched from oplog where action = :a",
                                 {{":a", OpLog::Print}}),
             QStringList({"小王|打印|报表 ab.rav"}));

    // One who may do neither is refused the print too, from the page's button as well.
    actAs(keeper);
    QVERIFY_THROWS_EXCEPTION(Staff::NoRight, Reports::renderPdf("ab.rav", pdf));
    f.messages.clear();
    QVERIFY(opensNoWindow([] { click(main_window->Fr_kucun1->bsSkinSpeedButton8); }));
    QVERIFY(f.messages.last().contains(QStringLiteral("没有权限：") + Staff::name(Staff::Right::PrintLists)));
    QCOMPARE(logRows(OpLog::Print), 1);
    QCOMPARE(logRows(OpLog::RefusedAction), 4);

    // The owner exports; the file written is logged with its rows.
    actAs(staff.owner);
    QCOMPARE(Exporting::writeList(list, {}, file, Spreadsheet::Format::Csv), 2);
    QCOMPARE(LedgerFixture::rows("select operator_name, touched, new_value from oplog where action = :a",
                                 {{":a", OpLog::Export}}),
             QStringList({"老板|列表 产品与库存|2 行 products.csv"}));
}

void TestCosts::salesPerCashierAndDay() {
    LedgerFixture f;
    openShop();
    at(12, 1, 8);
    const qint64 ten = CoreFixture::stockedSnack("面包", "食品", "6", "10");
    const qint64 five = CoreFixture::stockedSnack("牛奶", "饮料", "3", "5");
    // Orders by day: made, settled for what was received, and by whom (the settling operation
    // names the operator; written here as it leaves the row).
    auto settled = [](int day, qint64 product, int quantity, const char* received, const char* cashier) {
        at(12, day, 11);
        const qint64 order = Orders::addLine(0, product, Currency::fromInt(quantity)).order;
        if (received)
            Settlement::payCash(order, Currency::parse(received));
        LedgerFixture::exec("update aa set a9 = :c where aid = :a", {{":c", cashier}, {":a", order}});
    };
    settled(8, ten, 3, "27", "小王");
    settled(8, ten, 1, "10", "小李");
    settled(9, ten, 2, "18", "小王");
    settled(9, five, 1, "5", "小王");
    settled(9, five, 1, nullptr, "小王"); // not settled: not counted
    settled(9, five, 2, "10", "");        // settled before the shop had operators
    settled(10, ten, 1, "10", "小王");    // after the period
    // The lines each one took off, as the log has them; other actions do not count.
    auto logged = [](const char* when, const char* who, const QString& action) {
        LedgerFixture::exec("insert into oplog (logged_at, till_name, operator_name, action, touched) "
                            "values (:t, '一号机', :o, :a, '订单 1')",
                            {{":t", when}, {":o", who}, {":a", action}});
    };
    logged("2026-12-08 15:00:00", "小李", OpLog::RemoveLine);
    logged("2026-12-09 09:00:00", "小王", OpLog::RemoveLine);
    logged("2026-12-09 23:59:59", "小王", OpLog::RemoveLine);
    logged("2026-12-09 12:00:00", "小王", OpLog::AddLine);
    logged("2026-12-10 00:00:00", "小王", OpLog::RemoveLine);

    // The returns each one took, on the day of the return; a return of the shop before operators
    // names nobody.
    auto returned = [](const char* when, const char* who, const char* refund) {
        LedgerFixture::exec(
            "insert into returns (order_id, returned_at, operator_name, till_name, refund, way) "
            "values (1, :t, :o, '一号机', :r, '现金')",
            {{":t", when}, {":o", who}, {":r", qint64(Currency::parse(refund).scaled())}});
    };
    returned("2026-12-09 10:00:00", "小王", "4.5");
    returned("2026-12-09 16:00:00", "小王", "2");
    returned("2026-12-09 17:00:00", "小李", "10");
    returned("2026-12-09 18:00:00", "", "7");
    returned("2026-12-10 00:00:00", "小王", "1");

    // Day, cashier, received, orders, discounts, lines taken off, returns, refunded.
    const QStringList expected = {"2026-12-08|小李|10|1|0|1|0|0", "2026-12-08|小王|27|1|3|0|0|0",
                                  "2026-12-09|小李|0|0|0|0|1|10", "2026-12-09|小王|23|2|2|2|2|6.5"};
    const Statistics::Statement s = Statistics::byCashier({QDate(2026, 12, 8), QDate(2026, 12, 9)});
    QCOMPARE(LedgerFixture::rows(s.sql, s.params), expected);

    // On the page: a custom period of the two days, the tab of the cashiers.
    main_window->show();
    main_window->switchTo(page());
    page()->cbPeriod->setCurrentIndex(4);
    page()->deFrom->setDate(QDate(2026, 12, 8));
    page()->deTo->setDate(QDate(2026, 12, 9));
    page()->tabs->setCurrentIndex(page()->tabs->count() - 1);
    QCOMPARE(page()->tabs->tabText(page()->tabs->currentIndex()), QStringLiteral("按收银员"));
    DataGrid* grid = page()->gridCashiers;
    QStringList shown;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columns().size(); ++c)
            cells << grid->cellText(r, c);
        shown << cells.join('|');
    }
    QCOMPARE(shown, expected);
    // The chart: what each one received in the period, the most at the top.
    QCOMPARE(chartText(page()->chartCashiers), QStringLiteral("各收银员实收金额||实收金额|10|实收金额|50"));
}

LEDGER_TEST_MAIN(TestCosts)
#include "tst_costs.moc"
