#include "app/Fr_wel.h"
#include "app/mainwindow.h"
#include "core/clock.h"
#include "data/data_in.h"
#include "ledger/members.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledgertest.h"
#include "reports/reportrenderer.h"
#include "reports/reports.h"
#include "statistics/Fr_tongji.h"
#include "widgets/buttonsbar.h"
#include "widgets/databound.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPieSeries>
#include <QProcess>
#include <QPushButton>
#include <QToolButton>

// The statistics page and the welcome page's glance at today, driven as the shop keeper does.
class TestStatistics : public QObject {
    Q_OBJECT
private slots:
    void navigationOpensThePageWithTodaysFigures();
    void periodChoiceChangesFiguresChartsAndLists();
    void chartsDrawEveryBucket_data();
    void chartsDrawEveryBucket();
    void salesWhileShownAreCountedAtOnce();
    void aReturnWhileShownCountsOnItsDay();
    void chartsPrintWithTheirLists();
    void rankingLabelsEveryProductApart();
    void saleDuringAPrintWaitsForItToClose();
    void welcomePageShowsTodayAtAGlance();
};

using namespace User;

namespace {

void at(int month, int day, int hour) {
    Clock::setFixed(QDateTime(QDate(2026, month, day), QTime(hour, 0)));
}

struct Shop {
    qint64 apple = 0, cola = 0, card = 0;
};

// November 20: 10 colas, settled in cash. December 9: 4 apples and 2 colas paid by card with a
// discount (due 16, paid 15), then 2 apples unpaid.
Shop buildShop() {
    Shop s;
    at(11, 1, 8);
    s.apple = CoreFixture::stockedSnack("苹果", "食品", "1.5", "2.5");
    s.cola = CoreFixture::stockedSnack("可乐", "饮料", "2", "3");
    s.card = Members::create({"张三", {}, {}, {}, {}, "先生", {}, {}}, Currency::parse("100"));
    at(11, 20, 9);
    const qint64 november = Orders::addLine(0, s.cola, Currency::parse("10")).order;
    Settlement::payCash(november, Currency::parse("30"));
    at(12, 9, 9);
    const qint64 first = Orders::addLine(0, s.apple, Currency::parse("4")).order;
    Orders::addLine(first, s.cola, Currency::parse("2"));
    Settlement::payByCard(first, s.card, Currency::parse("15"));
    at(12, 9, 10);
    Orders::addLine(0, s.apple, Currency::parse("2"));
    return s;
}

TFr_tongji* page() {
    return main_window->Fr_tongji1;
}

QString card(const QString& name) {
    QLabel* label = child<QLabel>(page(), name);
    return label ? label->text() : QStringLiteral("(missing)");
}

QStringList gridRows(DataGrid* grid) {
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columns().size(); ++c)
            cells << grid->cellText(r, c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

// The bar values of the chart's first bar series, set by set.
QList<QList<qreal>> bars(QChartView* view) {
    QList<QList<qreal>> sets;
    for (QAbstractSeries* s : view->chart()->series())
        if (auto* series = qobject_cast<QAbstractBarSeries*>(s))
            for (QBarSet* set : series->barSets()) {
                QList<qreal> values;
                for (int i = 0; i < set->count(); ++i)
                    values << set->at(i);
                sets << values;
            }
    return sets;
}

void choosePeriod(int index) {
    QComboBox* box = page()->cbPeriod;
    box->setFocus();
    box->setCurrentIndex(index);
}

} // namespace

void TestStatistics::navigationOpensThePageWithTodaysFigures() {
    LedgerFixture f;
    buildShop();
    main_window->show();
    ButtonsBar* bar = main_window->bsSkinButtonsBar1;
    QCOMPARE(bar->header(3)->text(), QStringLiteral("统 计"));
    QCOMPARE(bar->item(3, 0)->text(), QStringLiteral("统 计"));
    click(bar->header(3));
    QCOMPARE(main_window->currentFrame(), (Frame*)page());
    QVERIFY(page()->isVisible());

    // Today: sales 4×2.5 + 2×3 + 2×2.5 = 21, cost 6 + 4 + 3 = 13, profit 8, margin 38.1%.
    QCOMPARE(page()->cbPeriod->currentText(), QStringLiteral("今天"));
    QCOMPARE(card("lblPeriod"), QStringLiteral("2026-12-09"));
    QCOMPARE(card("lblSales"), QStringLiteral("21 元"));
    QCOMPARE(card("lblReceived"), QStringLiteral("15 元"));
    QCOMPARE(card("lblProfit"), QStringLiteral("8 元"));
    QCOMPARE(card("lblMargin"), QStringLiteral("38.1%"));
    QCOMPARE(card("lblOrders"), QStringLiteral("2"));
    QCOMPARE(card("lblAverage"), QStringLiteral("10.5 元"));
    QCOMPARE(card("lblUnsettled"), QStringLiteral("1 笔，5 元"));
    QCOMPARE(card("lblRecharges"), QStringLiteral("0 元"));
    QCOMPARE(card("lblCardPayments"), QStringLiteral("15 元"));
    QCOMPARE(card("lblBalance"), QStringLiteral("85 元"));
    QVERIFY(!page()->lblNoCost->isVisible());
    QVERIFY(!page()->deFrom->isEnabled());

    // At the window's usual size every column of the days' list is in sight, and a figure too
    // wide for its card is drawn smaller, whole.
    auto* days = page()->findChild<DataGrid*>(QStringLiteral("gridDays"));
    QVERIFY(days->isVisible());
    QVERIFY(!days->horizontalScrollBar()->isVisible());
    auto* unsettled = page()->findChild<FigureLabel*>(QStringLiteral("lblUnsettled"));
    unsettled->setText(QStringLiteral("12,345 笔，1,234,567,890.55 元"));
    const int room = unsettled->contentsRect().width();
    QVERIFY(QFontMetrics(unsettled->font()).horizontalAdvance(unsettled->text()) > room);
    QVERIFY(QFontMetrics(unsettled->shownFont()).horizontalAdvance(unsettled->text()) <= room);
}

void TestStatistics::periodChoiceChangesFiguresChartsAndLists() {
    LedgerFixture f;
    buildShop();
    // A record of an older version, without cost.
    LedgerFixture::exec("insert into ae (e1, e2, e3, e6, e7, e8) values ('9', '旧货', '1', '7', "
                        "'2026-12-01 08:00:00', '其他')");
    main_window->show();
    main_window->switchTo(page());

    choosePeriod(2); // 本月
    QCOMPARE(card("lblPeriod"), QStringLiteral("2026-12-01 至 2026-12-31，共 31 天"));
    QCOMPARE(card("lblSales"), QStringLiteral("28 元"));
    QCOMPARE(card("lblProfit"), QStringLiteral("8 元"));
    QVERIFY(page()->lblNoCost->isVisible());
    QCOMPARE(card("lblNoCost"), QStringLiteral("1 条记录无成本价，未计入毛利"));
    // One bar per day of the month, the sales on the 1st and the 9th.
    const QList<QList<qreal>> month = bars(page()->chartDays);
    QCOMPARE(month.size(), 1);
    QCOMPARE(month[0].size(), 31);
    QCOMPARE(month[0][0], 7.0);
    QCOMPARE(month[0][8], 21.0);
    QCOMPARE(month[0][9], 0.0);
    QCOMPARE(gridRows(page()->gridDays), QStringList({"2026-12-01|7|0|0|1|1", "2026-12-09|21|13|8|3|0"}));
    QCOMPARE(gridRows(page()->gridCategories), QStringList({"食品|6|15|6", "其他|1|7|0", "饮料|2|6|2"}));
    QCOMPARE(page()->chartCategories->chart()->series().size(), 1);
    QCOMPARE(qobject_cast<QPieSeries*>(page()->chartCategories->chart()->series()[0])->count(), 3);

    // The ranking, read when its tab is shown: apples lead by sales and quantity; by profit too
    // (6 against 2).
    QCOMPARE(page()->gridProducts->rowCount(), 0);
    page()->tabs->setCurrentIndex(1);
    QCOMPARE(gridRows(page()->gridProducts), QStringList({"1|苹果|6|15|6", "9|旧货|1|7|0", "2|可乐|2|6|2"}));
    page()->cbRanking->setCurrentIndex(2); // 按毛利
    QCOMPARE(gridRows(page()->gridProducts).value(1), QStringLiteral("2|可乐|2|6|2"));
    QCOMPARE(bars(page()->chartProducts), QList<QList<qreal>>({{0, 2, 6}}));

    // The year: month by month; November's colas count.
    choosePeriod(3);
    QCOMPARE(card("lblPeriod"), QStringLiteral("2026-01-01 至 2026-12-31，共 365 天，按月显示"));
    QCOMPARE(card("lblSales"), QStringLiteral("58 元"));
    QCOMPARE(card("lblReceived"), QStringLiteral("45 元"));
    QCOMPARE(card("lblOrders"), QStringLiteral("3"));
    QCOMPARE(bars(page()->chartDays)[0].size(), 12);
    QCOMPARE(bars(page()->chartDays)[0][10], 30.0);
    QCOMPARE(gridRows(page()->gridDays), QStringList({"2026-11|30|20|10|1|0", "2026-12|28|13|8|4|1"}));
    QCOMPARE(gridRows(page()->gridMembers), QStringList({"2026-12|0|15"}));

    // A custom period of November alone.
    choosePeriod(4);
    QVERIFY(page()->deFrom->isEnabled());
    QVERIFY(page()->deTo->isEnabled());
    page()->deFrom->setDate(QDate(2026, 11, 1));
    page()->deTo->setDate(QDate(2026, 11, 30));
    QCOMPARE(card("lblPeriod"), QStringLiteral("2026-11-01 至 2026-11-30，共 30 天"));
    QCOMPARE(card("lblSales"), QStringLiteral("30 元"));
    QCOMPARE(card("lblMargin"), QStringLiteral("33.3%"));
    QCOMPARE(card("lblUnsettled"), QStringLiteral("0 笔，0 元"));
    // 至 set before 从 counts the same days, and says so.
    page()->deFrom->setDate(QDate(2026, 11, 30));
    page()->deTo->setDate(QDate(2026, 11, 1));
    QCOMPARE(card("lblPeriod"),
             QStringLiteral("2026-11-01 至 2026-11-30，共 30 天（“至”早于“从”，按两天中较早的一天起算）"));
    QCOMPARE(card("lblSales"), QStringLiteral("30 元"));
    // The week (Monday 7 to Sunday 13 December).
    choosePeriod(1);
    QCOMPARE(card("lblPeriod"), QStringLiteral("2026-12-07 至 2026-12-13，共 7 天"));
    QCOMPARE(bars(page()->chartDays)[0], QList<qreal>({0, 0, 21, 0, 0, 0, 0}));
    QVERIFY(!page()->deFrom->isEnabled());
}

void TestStatistics::chartsDrawEveryBucket_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("buckets");
    QTest::addColumn<int>("pastBuckets"); // today is 2026-12-09
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("13 months over two years")
        << QDate(2025, 10, 1) << QDate(2026, 10, 31) << 13 << 13
        << QStringList{"25年10月", "25年11月", "25年12月", "26年1月", "26年2月", "26年3月", "26年4月",
                       "26年5月",  "26年6月",  "26年7月",  "26年8月", "26年9月", "26年10月"};
    QTest::newRow("a year in one year")
        << QDate(2026, 1, 1) << QDate(2026, 12, 31) << 12 << 12
        << QStringList{"1月", "2月", "3月", "4月", "5月", "6月", "7月", "8月", "9月", "10月", "11月", "12月"};
    // 47 days: every third day labelled, on its bar.
    QTest::newRow("days over two months")
        << QDate(2026, 11, 15) << QDate(2026, 12, 31) << 47 << 25
        << QStringList{"11-15", "11-18", "11-21", "11-24", "11-27", "11-30", "12-03", "12-06",
                       "12-09", "12-12", "12-15", "12-18", "12-21", "12-24", "12-27", "12-30"};
    QTest::newRow("ten years") << QDate(2016, 12, 1) << QDate(2026, 11, 30) << 120 << 120
                               << QStringList{"16年12月", "17年8月",  "18年4月",  "18年12月", "19年8月",
                                              "20年4月",  "20年12月", "21年8月",  "22年4月",  "22年12月",
                                              "23年8月",  "24年4月",  "24年12月", "25年8月",  "26年4月"};
}

void TestStatistics::chartsDrawEveryBucket() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, buckets);
    QFETCH(int, pastBuckets);
    QFETCH(QStringList, labels);
    LedgerFixture f;
    main_window->show();
    buildShop();
    click(main_window->bsSkinButtonsBar1->header(3));
    choosePeriod(4);
    page()->deFrom->setDate(from);
    page()->deTo->setDate(to);
    for (QChartView* view : {page()->chartDays, page()->chartMembers}) {
        QStringList shown;
        int categories = 0;
        const auto axes = view->chart()->axes(Qt::Horizontal);
        QCOMPARE(axes.size(), 1);
        if (auto* bar = qobject_cast<QBarCategoryAxis*>(axes.first())) {
            shown = bar->categories();
            categories = int(bar->count());
        } else if (auto* spaced = qobject_cast<QCategoryAxis*>(axes.first())) {
            shown = spaced->categoriesLabels();
            categories = int(spaced->max() - spaced->min() + 0.5);
        }
        QCOMPARE(shown, labels);
        QCOMPARE(categories, buckets);
        for (const QList<qreal>& set : bars(view))
            QCOMPARE(set.size(), buckets);
    }
    // The profit line has a point for every bucket but those still to come, each on its bar.
    QLineSeries* line = nullptr;
    for (QAbstractSeries* s : page()->chartDays->chart()->series())
        if (auto* l = qobject_cast<QLineSeries*>(s))
            line = l;
    QVERIFY(line);
    QCOMPARE(line->count(), pastBuckets);
    QCOMPARE(line->at(line->count() - 1).x(), qreal(pastBuckets - 1));
}

void TestStatistics::aReturnWhileShownCountsOnItsDay() {
    LedgerFixture f;
    buildShop();
    at(12, 10, 9);
    main_window->show();
    main_window->switchTo(page());
    QCOMPARE(card("lblReturns"), QStringLiteral("0 笔，0 元"));
    // An apple of the 9th's card order written off on the 10th: its share of the 15 paid (2.34)
    // goes back onto the card; the 10th loses its sale of 2.50, and its cost of 1.50 as well.
    const qint64 order =
        LedgerFixture::scalar("select min(aid) from aa where a1 >= '2026-12-09'").toLongLong();
    const qint64 apples = Returns::returnable(order).first().line;
    Returns::make(order, {{apples, Currency::parse("1"), true}}, Returns::Way::Card, "烂了");
    QCOMPARE(card("lblReturns"), QStringLiteral("1 笔，2.34 元"));
    QCOMPARE(card("lblSales"), QStringLiteral("-2.5 元"));
    QCOMPARE(card("lblProfit"), QStringLiteral("-2.5 元"));
    QVERIFY(page()->lblNoCost->isVisible());
    QCOMPARE(card("lblNoCost"), QStringLiteral("退货报损 2.5 元，其成本 1.5 元计为损失"));
    // The 9th keeps its sales and profit, and shows no return.
    choosePeriod(4);
    page()->deFrom->setDate(QDate(2026, 12, 9));
    page()->deTo->setDate(QDate(2026, 12, 9));
    QCOMPARE(card("lblSales"), QStringLiteral("21 元"));
    QCOMPARE(card("lblProfit"), QStringLiteral("8 元"));
    QCOMPARE(card("lblReturns"), QStringLiteral("0 笔，0 元"));
}

void TestStatistics::salesWhileShownAreCountedAtOnce() {
    LedgerFixture f;
    const Shop shop = buildShop();
    main_window->show();
    main_window->switchTo(page());
    QCOMPARE(card("lblSales"), QStringLiteral("21 元"));
    at(12, 9, 15);
    const qint64 order = Orders::addLine(0, shop.cola, Currency::parse("1")).order;
    QCOMPARE(card("lblSales"), QStringLiteral("24 元"));
    QCOMPARE(card("lblOrders"), QStringLiteral("3"));
    // Editing the cost of cola changes no profit already made.
    Products::update(shop.cola, {"饮料",
                                 "零食",
                                 "可乐",
                                 "个",
                                 Currency::parse("2.9"),
                                 Currency::parse("3"),
                                 Currency::parse("3"),
                                 {},
                                 {}});
    QCOMPARE(card("lblProfit"), QStringLiteral("9 元"));
    // Deleting the order leaves its goods sold.
    Orders::remove(order);
    QCOMPARE(card("lblSales"), QStringLiteral("24 元"));
    QCOMPARE(card("lblOrders"), QStringLiteral("2"));

    // Hidden, the page reads again when shown.
    main_window->switchTo(main_window->Fr_wel1);
    Orders::addLine(0, shop.cola, Currency::parse("1"));
    main_window->switchTo(page());
    QCOMPARE(card("lblSales"), QStringLiteral("27 元"));
}

void TestStatistics::chartsPrintWithTheirLists() {
    LedgerFixture f;
    buildShop();
    main_window->show();
    main_window->switchTo(page());
    choosePeriod(2);
    QStringList printed;
    Reports::Parameters last;
    QList<ReportFigure> figures;
    Reports::setFigurePreviewHook(
        [&](const QString& definition, const Reports::Parameters& parameters, const ReportFigure& figure) {
            printed << definition;
            last = parameters;
            figures << figure;
        });
    const QList<QPushButton*> buttons = {page()->btnPrintDays, page()->btnPrintProducts,
                                         page()->btnPrintCategories, page()->btnPrintMembers};
    for (int tab = 0; tab < buttons.size(); ++tab) {
        // Each button lives on its chart's tab.
        page()->tabs->setCurrentIndex(tab);
        click(buttons[tab]);
    }
    Reports::setFigurePreviewHook(nullptr);
    QCOMPARE(printed, QStringList({"tj1.rav", "tj2.rav", "tj3.rav", "tj4.rav"}));
    QCOMPARE(last.value("qijian"), QStringLiteral("2026-12-01 至 2026-12-31"));
    QCOMPARE(last.value("xiaoshoue"), QStringLiteral("21"));
    QCOMPARE(figures.size(), 4);
    // Each figure draws its chart: the bars of sales, the ranking's, the pie's, the cards'.
    const QList<QColor> colours = {QColor(0x5b, 0x8f, 0xc7), QColor(0x2e, 0x9d, 0x4f), QColor(),
                                   QColor(0xc0, 0x39, 0x2b)};
    for (int i = 0; i < figures.size(); ++i) {
        const ReportFigure& figure = figures[i];
        QVERIFY(!figure.isEmpty());
        QImage image(figure.size.toSize(), QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        figure.paint(&painter, QRectF(QPointF(0, 0), figure.size));
        painter.end();
        int coloured = 0, ofTheChart = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                coloured += c.saturation() > 100;
                ofTheChart += colours[i].isValid() && c == colours[i];
            }
        QVERIFY2(coloured > 200, qPrintable(QString::number(i)));
        QVERIFY2(!colours[i].isValid() || ofTheChart > 50, qPrintable(QString::number(i)));
    }

    // The definitions were put in place for a folder that had none; the print has the chart, its
    // title and labels as text, above the list's rows. Without it the print is the list alone.
    const QString pdf = QDir(f.folder()).filePath("tj1.pdf");
    Reports::renderPdf("tj1.rav", pdf, last, figures[0]);
    QString text = pdfText(pdf);
    QVERIFY2(text.contains(QStringLiteral("每日销售额与毛利")), qPrintable(text));
    QVERIFY(text.indexOf(QStringLiteral("2026-12-09")) > text.indexOf(QStringLiteral("每日销售额与毛利")));
    Reports::renderPdf("tj1.rav", pdf, last);
    text = pdfText(pdf);
    QVERIFY(!text.contains(QStringLiteral("每日销售额与毛利")));
    QVERIFY(text.contains(QStringLiteral("2026-12-09")));
    Reports::renderPdf("tj3.rav", pdf, last, figures[2]);
    QVERIFY(pdfText(pdf).contains(QStringLiteral("各大类销售额")));
    QVERIFY(f.messages.messages.isEmpty());
}

void TestStatistics::rankingLabelsEveryProductApart() {
    LedgerFixture f;
    buildShop();
    // Two products whose long names begin alike and two of the same name each keep their bar.
    at(12, 9, 8);
    const QString longName = QStringLiteral("农夫山泉天然饮用水大瓶装一箱十二瓶");
    const qint64 a = CoreFixture::stockedSnack(longName + "甲", "饮料", "1", "2");
    const qint64 b = CoreFixture::stockedSnack(longName + "乙", "饮料", "1", "2");
    const qint64 c = CoreFixture::stockedSnack("毛巾", "日用", "1", "2");
    const qint64 d = CoreFixture::stockedSnack("毛巾", "日用", "1", "2");
    at(12, 9, 10);
    const qint64 order = Orders::addLine(0, a, Currency::parse("1")).order;
    Orders::addLine(order, b, Currency::parse("2"));
    Orders::addLine(order, c, Currency::parse("3"));
    Orders::addLine(order, d, Currency::parse("4"));
    main_window->show();
    main_window->switchTo(page());
    choosePeriod(0);
    page()->tabs->setCurrentIndex(1);
    const QChart* chart = page()->chartProducts->chart();
    QVERIFY(chart);
    QStringList labels;
    for (QAbstractAxis* axis : chart->axes(Qt::Vertical))
        if (auto* categories = qobject_cast<QBarCategoryAxis*>(axis))
            labels = categories->categories();
    // Apple, cola and the four new products, every one with a label of its own.
    QCOMPARE(labels.size(), 6);
    QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), 6);
    for (const QString& label : labels)
        QVERIFY2(label.size() <= 16 + 8, qPrintable(label));
    QCOMPARE(labels.filter(QStringLiteral("…")).size(), 2);
    QVERIFY(labels.contains(QStringLiteral("毛巾")));
    QVERIFY(labels.contains(QStringLiteral("毛巾 #") + QString::number(std::min(c, d))) ||
            labels.contains(QStringLiteral("毛巾 #") + QString::number(std::max(c, d))));
    // The list keeps the full names.
    QStringList names;
    for (int r = 0; r < page()->gridProducts->query()->rowCount(); ++r)
        names << page()->gridProducts->query()->text(r, "e2");
    QVERIFY(names.contains(longName + "甲"));
    QVERIFY(names.contains(longName + "乙"));
}

void TestStatistics::saleDuringAPrintWaitsForItToClose() {
    LedgerFixture f;
    const Shop shop = buildShop();
    main_window->show();
    main_window->switchTo(page());
    choosePeriod(0);
    QCOMPARE(page()->lblSales->text(), QStringLiteral("21 元"));
    QString salesDuringPrint;
    const QChart* chartDuringPrint = nullptr;
    QImage drawn;
    Reports::setFigurePreviewHook(
        [&](const QString&, const Reports::Parameters&, const ReportFigure& figure) {
            // Another till sells while the preview is open: the print keeps the figures it shows.
            const QChart* before = page()->chartDays->chart();
            Orders::addLine(0, shop.cola, Currency::parse("5"));
            salesDuringPrint = page()->lblSales->text();
            chartDuringPrint = page()->chartDays->chart() == before ? before : nullptr;
            drawn = QImage(figure.size.toSize(), QImage::Format_RGB32);
            drawn.fill(Qt::white);
            QPainter painter(&drawn);
            figure.paint(&painter, QRectF(QPointF(0, 0), figure.size));
        });
    click(page()->btnPrintDays);
    Reports::setFigurePreviewHook(nullptr);
    QCOMPARE(salesDuringPrint, QStringLiteral("21 元"));
    QVERIFY(chartDuringPrint);
    int bars = 0;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            bars += drawn.pixelColor(x, y) == QColor(0x5b, 0x8f, 0xc7);
    QVERIFY(bars > 50);
    // Closed, the page shows the sale.
    QCOMPARE(page()->lblSales->text(), QStringLiteral("36 元"));
}

void TestStatistics::welcomePageShowsTodayAtAGlance() {
    LedgerFixture f;
    const Shop shop = buildShop();
    main_window->show();
    QLabel* today = child<QLabel>(main_window->Fr_wel1, "lblToday");
    QVERIFY(today);
    // Built before the sales of the fixture's shop; the next sale reads them all.
    at(12, 9, 16);
    Orders::addLine(0, shop.apple, Currency::parse("2"));
    QVERIFY(today->isVisible());
    QCOMPARE(today->text(), QStringLiteral("今日销售额 <b>26</b> 元，毛利 <b>10</b> 元，订单 <b>3</b> 笔 "
                                           "<a href=\"tongji\">查看统计</a>"));
    // Its link opens the statistics page.
    emit today->linkActivated("tongji");
    QCOMPARE(main_window->currentFrame(), (Frame*)page());
}

LEDGER_TEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
