#include "statistics/Fr_tongji.h"

#include "core/clock.h"
#include "data/data_in.h"
#include "data/work.h"
#include "ledger/costs.h"
#include "ledger/reportfiles.h"
#include "reports/reportrenderer.h"
#include "reports/reports.h"
#include "widgets/databound.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

namespace {

const QString FontFamily = QStringLiteral("WenQuanYi Micro Hei");

QString money(Currency amount) {
    return amount.toString() + QStringLiteral(" 元");
}

// One summary card: a caption above its value.
} // namespace

QFont FigureLabel::shownFont() const {
    QFont f = font();
    const int room = contentsRect().width();
    const int wanted = QFontMetrics(f).horizontalAdvance(text());
    if (wanted <= room || wanted <= 0)
        return f;
    // Down to half its size; a figure wider still is cut at its end as before.
    const double scale = std::max(0.5, double(room) / double(wanted));
    if (f.pixelSize() > 0)
        f.setPixelSize(std::max(1, int(f.pixelSize() * scale)));
    else
        f.setPointSizeF(f.pointSizeF() * scale);
    return f;
}

void FigureLabel::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(shownFont());
    p.setPen(palette().color(foregroundRole()));
    p.drawText(contentsRect(), int(alignment()), text());
}

namespace {

QLabel* card(QGridLayout* grid, int row, int column, const QString& caption, const QString& name) {
    auto* frame = new QFrame;
    frame->setProperty("role", QStringLiteral("card"));
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(0);
    auto* title = new QLabel(caption, frame);
    title->setProperty("role", QStringLiteral("cardTitle"));
    auto* value = new FigureLabel(frame);
    value->setObjectName(name);
    value->setProperty("role", QStringLiteral("cardValue"));
    value->setMinimumWidth(0);
    layout->addWidget(title);
    layout->addWidget(value);
    grid->addWidget(frame, row, column);
    return value;
}

QChartView* chartView(const QString& name) {
    auto* view = new QChartView;
    view->setObjectName(name);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 220);
    return view;
}

// A new chart for the view, in the program's font; the view owns it.
QChart* freshChart(QChartView* view, const QString& title) {
    auto* chart = new QChart;
    QFont font(FontFamily);
    font.setPointSize(9);
    chart->setTitleFont(QFont(FontFamily, 10, QFont::Bold));
    chart->setTitle(title);
    chart->legend()->setFont(font);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
    return chart;
}

// The axis of the periods' buckets. Up to 16 labels stand side by side; a month's days would be
// cut to "…" on a chart of a usual width, so then every second (third, …) day is labelled, on
// its bar, from the first.
QAbstractAxis* bucketAxis(const QStringList& labels) {
    const QFont font(FontFamily, 7);
    const int most = 16;
    // Months with their year are too wide to stand side by side: they are slanted instead of cut.
    const bool wide =
        std::any_of(labels.begin(), labels.end(), [](const QString& l) { return l.size() > 5; });
    if (labels.size() <= most) {
        auto* axis = new QBarCategoryAxis;
        axis->append(labels);
        axis->setLabelsFont(font);
        if (wide) {
            axis->setLabelsAngle(-45);
            axis->setTruncateLabels(false);
        }
        return axis;
    }
    auto* axis = new QCategoryAxis;
    axis->setRange(-0.5, double(labels.size()) - 0.5);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(-0.5);
    const int step = int((labels.size() + most - 1) / most);
    for (int i = 0; i < labels.size(); i += step)
        axis->append(labels[i], i);
    axis->setLabelsFont(font);
    if (wide) {
        axis->setLabelsAngle(-45);
        axis->setTruncateLabels(false);
    }
    axis->setGridLineVisible(false);
    return axis;
}

QValueAxis* valueAxis(double low, double high) {
    auto* axis = new QValueAxis;
    axis->setRange(std::min(0.0, low), high <= 0 ? 10.0 : high * 1.1);
    axis->applyNiceNumbers();
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setLabelsFont(QFont(FontFamily, 8));
    return axis;
}

// The chart's labels of the buckets, every one its own (the axis keeps one category a label):
// a month as M月, with the year (yy年M月) where the period spans years; a day as its day of the
// month, as MM-dd where the period spans months or is a week or less.
QStringList bucketLabels(const QStringList& buckets) {
    QStringList labels;
    if (buckets.isEmpty())
        return labels;
    const bool months = buckets.first().size() == 7;
    if (months) {
        const bool years = buckets.first().left(4) != buckets.last().left(4);
        for (const QString& b : buckets) {
            const QString month = QString::number(b.mid(5, 2).toInt()) + QStringLiteral("月");
            labels << (years ? b.mid(2, 2) + QStringLiteral("年") + month : month);
        }
        return labels;
    }
    const bool spansMonths = buckets.first().left(7) != buckets.last().left(7);
    for (const QString& b : buckets)
        labels << (spansMonths || buckets.size() <= 7 ? b.mid(5) : QString::number(b.mid(8, 2).toInt()));
    return labels;
}

// Whether a bucket (yyyy-MM or yyyy-MM-dd) starts after today: nothing happened there yet.
bool toCome(const QString& bucket) {
    const QString today = Clock::now().date().toString(QStringLiteral("yyyy-MM-dd"));
    return bucket.size() == 7 ? bucket > today.left(7) : bucket > today;
}

// The values of a list's field per bucket (riqi).
QHash<QString, double> perBucket(const SharedQuery& q, const QString& field) {
    QHash<QString, double> values;
    for (int r = 0; r < q.rowCount(); ++r)
        values.insert(q.text(r, QStringLiteral("riqi")), q.value(r, field).toDouble());
    return values;
}

DataGrid* grid(const QString& name) {
    auto* g = new DataGrid(name);
    g->setMinimumWidth(300);
    return g;
}

QWidget* chartWithList(QChartView* chart, QWidget* top, DataGrid* list, QPushButton* print) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    if (top)
        bar->addWidget(top);
    bar->addStretch(1);
    bar->addWidget(print);
    layout->addLayout(bar);
    auto* split = new QSplitter(Qt::Horizontal, page);
    split->addWidget(chart);
    split->addWidget(list);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    layout->addWidget(split, 1);
    return page;
}

QPushButton* printButton(const QString& name) {
    auto* b = new QPushButton(QStringLiteral("打 印"));
    b->setObjectName(name);
    b->setToolTip(QStringLiteral("打印预览这张图和它的表，可保存为 PDF"));
    return b;
}

// The chart for the print, drawn as shapes and text at the printer's resolution. A chart not yet
// laid out (its tab never shown) is laid out at a size of its own. The page keeps its charts as
// they are while a print is open (refresh() waits for it), so every page of the print shows the
// same chart.
ReportFigure figureOf(QChartView* view) {
    QSize size = view->size();
    if (!view->isVisible() || size.width() < 320 || size.height() < 220) {
        size = QSize(720, 360);
        view->resize(size);
        view->chart()->resize(size);
    }
    const QPointer<QChartView> shown(view);
    return {QSizeF(size), [shown](QPainter* painter, const QRectF& target) {
                if (shown && shown->chart()) {
                    painter->setRenderHint(QPainter::Antialiasing);
                    shown->scene()->render(painter, target, shown->chart()->geometry());
                }
            }};
}

// A product's name on the ranking's axis: long names are cut with an ellipsis, and a name the
// axis already shows gets the product number, so that every bar has its own label.
QString rankingLabel(const QString& name, const QString& number, const QStringList& taken) {
    const int most = 16;
    QString label = name.size() > most ? name.left(most - 1) + QChar(0x2026) : name;
    if (label.isEmpty())
        label = QStringLiteral("(无名称)");
    if (taken.contains(label))
        label += QStringLiteral(" #") + number;
    return label;
}

} // namespace

QStringList TFr_tongji::listNames() {
    return {QStringLiteral("Query_tj1"), QStringLiteral("Query_tj2"), QStringLiteral("Query_tj3"),
            QStringLiteral("Query_tj4"), QStringLiteral("Query_tj5")};
}

TFr_tongji::TFr_tongji(QWidget* parent) : Frame(QStringLiteral("Fr_tongji1"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Pictures::titledBanner(this, 26, QStringLiteral("统 计"),
                                             QStringLiteral("销售、毛利、产品与会员，一目了然")));

    auto* body = new QWidget(this);
    auto* inner = new QVBoxLayout(body);
    inner->setContentsMargins(8, 6, 8, 6);
    layout->addWidget(body, 1);

    auto* choice = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("统计期间:"), body);
    cbPeriod = new QComboBox(body);
    cbPeriod->setObjectName(QStringLiteral("cbPeriod"));
    cbPeriod->addItems({QStringLiteral("今天"), QStringLiteral("本周"), QStringLiteral("本月"),
                        QStringLiteral("本年"), QStringLiteral("自定义")});
    deFrom = new QDateEdit(body);
    deFrom->setObjectName(QStringLiteral("deFrom"));
    deTo = new QDateEdit(body);
    deTo->setObjectName(QStringLiteral("deTo"));
    for (QDateEdit* d : {deFrom, deTo}) {
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setCalendarPopup(true);
        d->setEnabled(false);
    }
    lblPeriod = new QLabel(body);
    lblPeriod->setObjectName(QStringLiteral("lblPeriod"));
    lblPeriod->setProperty("role", QStringLiteral("note"));
    choice->addWidget(caption);
    choice->addWidget(cbPeriod);
    choice->addSpacing(12);
    choice->addWidget(deFrom);
    choice->addWidget(new QLabel(QStringLiteral("至"), body));
    choice->addWidget(deTo);
    choice->addSpacing(12);
    choice->addWidget(lblPeriod, 1);
    inner->addLayout(choice);

    auto* cards = new QGridLayout;
    cards->setSpacing(6);
    lblSales = card(cards, 0, 0, QStringLiteral("销售额"), QStringLiteral("lblSales"));
    lblReceived = card(cards, 0, 1, QStringLiteral("实收金额"), QStringLiteral("lblReceived"));
    lblProfit = card(cards, 0, 2, QStringLiteral("毛利"), QStringLiteral("lblProfit"));
    lblMargin = card(cards, 0, 3, QStringLiteral("毛利率"), QStringLiteral("lblMargin"));
    lblOrders = card(cards, 0, 4, QStringLiteral("订单数"), QStringLiteral("lblOrders"));
    lblAverage = card(cards, 1, 0, QStringLiteral("平均每单"), QStringLiteral("lblAverage"));
    lblUnsettled = card(cards, 1, 1, QStringLiteral("未结算订单"), QStringLiteral("lblUnsettled"));
    lblRecharges = card(cards, 1, 2, QStringLiteral("会员充值"), QStringLiteral("lblRecharges"));
    lblCardPayments = card(cards, 1, 3, QStringLiteral("会员卡消费"), QStringLiteral("lblCardPayments"));
    lblBalance = card(cards, 1, 4, QStringLiteral("会员卡余额合计(欠会员)"), QStringLiteral("lblBalance"));
    lblReturns = card(cards, 1, 5, QStringLiteral("退货"), QStringLiteral("lblReturns"));
    inner->addLayout(cards);
    m_cards = cards;
    lblNoCost = new QLabel(body);
    lblNoCost->setObjectName(QStringLiteral("lblNoCost"));
    lblNoCost->setProperty("role", QStringLiteral("hint"));
    lblNoCost->hide();
    inner->addWidget(lblNoCost);

    tabs = new QTabWidget(body);
    tabs->setObjectName(QStringLiteral("tabs"));
    chartDays = chartView(QStringLiteral("chartDays"));
    chartProducts = chartView(QStringLiteral("chartProducts"));
    chartCategories = chartView(QStringLiteral("chartCategories"));
    chartMembers = chartView(QStringLiteral("chartMembers"));
    chartCashiers = chartView(QStringLiteral("chartCashiers"));
    gridDays = grid(QStringLiteral("gridDays"));
    gridProducts = grid(QStringLiteral("gridProducts"));
    gridCategories = grid(QStringLiteral("gridCategories"));
    gridMembers = grid(QStringLiteral("gridMembers"));
    gridCashiers = grid(QStringLiteral("gridCashiers"));
    btnPrintDays = printButton(QStringLiteral("btnPrintDays"));
    btnPrintProducts = printButton(QStringLiteral("btnPrintProducts"));
    btnPrintCategories = printButton(QStringLiteral("btnPrintCategories"));
    btnPrintMembers = printButton(QStringLiteral("btnPrintMembers"));
    btnPrintCashiers = printButton(QStringLiteral("btnPrintCashiers"));
    cbRanking = new QComboBox;
    cbRanking->setObjectName(QStringLiteral("cbRanking"));
    cbRanking->addItems({QStringLiteral("按销售额"), QStringLiteral("按数量"), QStringLiteral("按毛利")});
    tabs->addTab(chartWithList(chartDays, nullptr, gridDays, btnPrintDays), QStringLiteral("销售与毛利"));
    tabs->addTab(chartWithList(chartProducts, cbRanking, gridProducts, btnPrintProducts),
                 QStringLiteral("产品前十名"));
    tabs->addTab(chartWithList(chartCategories, nullptr, gridCategories, btnPrintCategories),
                 QStringLiteral("大类销售"));
    tabs->addTab(chartWithList(chartMembers, nullptr, gridMembers, btnPrintMembers),
                 QStringLiteral("会员卡"));
    tabs->addTab(chartWithList(chartCashiers, nullptr, gridCashiers, btnPrintCashiers),
                 QStringLiteral("按收银员"));
    inner->addWidget(tabs, 1);

    connectGuarded(cbPeriod, &QComboBox::currentIndexChanged, this, &TFr_tongji::cbPeriodChange);
    connectGuarded(deFrom, &QDateEdit::dateChanged, this, &TFr_tongji::deFromChange);
    connectGuarded(deTo, &QDateEdit::dateChanged, this, &TFr_tongji::deFromChange);
    connectGuarded(cbRanking, &QComboBox::currentIndexChanged, this, &TFr_tongji::cbRankingChange);
    connectGuarded(tabs, &QTabWidget::currentChanged, this, &TFr_tongji::showRanking);
    connectGuarded(btnPrintDays, &QPushButton::clicked, this, &TFr_tongji::btnPrintDaysClick);
    connectGuarded(btnPrintProducts, &QPushButton::clicked, this, &TFr_tongji::btnPrintProductsClick);
    connectGuarded(btnPrintCategories, &QPushButton::clicked, this, &TFr_tongji::btnPrintCategoriesClick);
    connectGuarded(btnPrintMembers, &QPushButton::clicked, this, &TFr_tongji::btnPrintMembersClick);
    connectGuarded(btnPrintCashiers, &QPushButton::clicked, this, &TFr_tongji::btnPrintCashiersClick);
}

void TFr_tongji::bindData() {
    // The lists live with the other shared queries, so the report engine finds them by name.
    // Nothing writes their table: the page reads them again itself.
    auto make = [](const QString& name, const QString& key) {
        return new SharedQuery(name, Db::Business, QStringLiteral("tj"), key, Data_in);
    };
    const QStringList names = listNames();
    m_days = make(names[0], QStringLiteral("riqi"));
    m_products = make(names[1], QStringLiteral("e1"));
    m_categories = make(names[2], QStringLiteral("e8"));
    m_members = make(names[3], QStringLiteral("riqi"));
    m_cashiers = make(names[4], QStringLiteral("riqi"));
    // Each list is at least as wide as its columns, so none hides behind a scroll bar; the chart
    // beside it takes the rest.
    auto bindFitting = [](DataGrid* g, SharedQuery* q, const QList<GridColumn>& columns) {
        g->bind(q, columns);
        int width = 0;
        for (const GridColumn& c : columns)
            width += c.width;
        g->setMinimumWidth(
            std::max(300, width + g->verticalScrollBar()->sizeHint().width() + 2 * g->frameWidth() + 2));
    };
    bindFitting(gridDays, m_days,
                {{QStringLiteral("riqi"), QStringLiteral("日期"), 80},
                 {QStringLiteral("xiaoshoue"), QStringLiteral("销售额"), 80},
                 {QStringLiteral("chengben"), QStringLiteral("成本"), 70},
                 {QStringLiteral("maoli"), QStringLiteral("毛利"), 70},
                 {QStringLiteral("bishu"), QStringLiteral("出库笔数"), 60},
                 {QStringLiteral("wuchengben"), QStringLiteral("无成本价"), 60}});
    bindFitting(gridProducts, m_products,
                {{QStringLiteral("e1"), QStringLiteral("产品编号"), 60},
                 {QStringLiteral("e2"), QStringLiteral("产品名称"), 130},
                 {QStringLiteral("shuliang"), QStringLiteral("数量"), 55},
                 {QStringLiteral("xiaoshoue"), QStringLiteral("销售额"), 70},
                 {QStringLiteral("maoli"), QStringLiteral("毛利"), 65}});
    bindFitting(gridCategories, m_categories,
                {{QStringLiteral("e8"), QStringLiteral("大类"), 80},
                 {QStringLiteral("shuliang"), QStringLiteral("数量"), 60},
                 {QStringLiteral("xiaoshoue"), QStringLiteral("销售额"), 80},
                 {QStringLiteral("maoli"), QStringLiteral("毛利"), 70}});
    bindFitting(gridMembers, m_members,
                {{QStringLiteral("riqi"), QStringLiteral("日期"), 80},
                 {QStringLiteral("chongzhi"), QStringLiteral("充值"), 80},
                 {QStringLiteral("xiaofei"), QStringLiteral("卡消费"), 80}});
    bindFitting(gridCashiers, m_cashiers,
                {{QStringLiteral("riqi"), QStringLiteral("日期"), 80},
                 {QStringLiteral("shouyinyuan"), QStringLiteral("收银员"), 80},
                 {QStringLiteral("xiaoshoue"), QStringLiteral("实收金额"), 80},
                 {QStringLiteral("dingdan"), QStringLiteral("订单数"), 55},
                 {QStringLiteral("youhui"), QStringLiteral("优惠"), 65},
                 {QStringLiteral("shanchu"), QStringLiteral("删除明细"), 60},
                 {QStringLiteral("tuihuo"), QStringLiteral("退货"), 45},
                 {QStringLiteral("tuikuan"), QStringLiteral("退款"), 65}});
    // Another operator at the till: the figures read again, with or without the costs.
    connect(&Costs::Watch::instance(), &Costs::Watch::changed, this, [this] {
        m_stale = true;
        if (isVisible() && !m_printing)
            guarded([this] { refresh(); });
    });
    connect(&Db::Announcer::instance(), &Db::Announcer::committed, this, [this](const Db::Changes& changes) {
        static const QStringList read = {QStringLiteral("ae"), QStringLiteral("aa"),
                                         QStringLiteral("ag"), QStringLiteral("ah"),
                                         QStringLiteral("aj"), QStringLiteral("returns")};
        for (const Db::Change& change : changes)
            if (read.contains(change.table)) {
                m_stale = true;
                if (isVisible() && !m_printing)
                    guarded([this] { refresh(); });
                return;
            }
    });
    m_period = Statistics::period(Statistics::Span::Today, Clock::now().date());
    refresh();
    showRanking();
}

void TFr_tongji::showEvent(QShowEvent* event) {
    Frame::showEvent(event);
    // A new day since the page was last shown moves the chosen span with it.
    if (cbPeriod->currentIndex() < 4) {
        const auto span = Statistics::Span(cbPeriod->currentIndex());
        const Statistics::Period now = Statistics::period(span, Clock::now().date());
        if (!(now == m_period)) {
            m_period = now;
            m_stale = true;
        }
    }
    if (m_stale)
        guarded([this] { refresh(); });
}

void TFr_tongji::cbPeriodChange() {
    const int index = cbPeriod->currentIndex();
    const bool custom = index == 4;
    deFrom->setEnabled(custom);
    deTo->setEnabled(custom);
    if (custom) {
        // The custom period starts as the one shown.
        const QSignalBlocker a(deFrom), b(deTo);
        deFrom->setDate(m_period.from);
        deTo->setDate(m_period.to);
        return;
    }
    choose(Statistics::period(Statistics::Span(index), Clock::now().date()));
}

void TFr_tongji::deFromChange() {
    if (cbPeriod->currentIndex() != 4)
        return;
    const QDate a = deFrom->date(), b = deTo->date();
    choose({std::min(a, b), std::max(a, b)}, b < a);
}

void TFr_tongji::cbRankingChange() {
    m_productsStale = true;
    showRanking();
}

void TFr_tongji::showRanking() {
    if (!m_products || !m_productsStale)
        return;
    m_productsStale = false;
    const Statistics::Statement s = Statistics::topProducts(m_period, ranking());
    m_products->reset(s.sql, s.params);
    drawProducts();
}

Statistics::Ranking TFr_tongji::ranking() const {
    return Statistics::Ranking(std::clamp(cbRanking->currentIndex(), 0, 2));
}

void TFr_tongji::choose(const Statistics::Period& period, bool turned) {
    m_turned = turned;
    m_period = period;
    refresh();
}

void TFr_tongji::refresh() {
    if (!m_days)
        return;
    m_stale = false;
    const Statistics::Period& p = m_period;
    {
        // The date boxes show the period, whichever choice made it.
        const QSignalBlocker a(deFrom), b(deTo);
        deFrom->setDate(p.from);
        deTo->setDate(p.to);
    }
    lblPeriod->setText(p.from == p.to ? p.from.toString(QStringLiteral("yyyy-MM-dd"))
                                      : QStringLiteral("%1 至 %2，共 %3 天%4")
                                            .arg(p.from.toString(QStringLiteral("yyyy-MM-dd")),
                                                 p.to.toString(QStringLiteral("yyyy-MM-dd")))
                                            .arg(p.days())
                                            .arg(p.byMonth() ? QStringLiteral("，按月显示") : QString()));
    // A custom period typed the wrong way round is counted from the earlier day (the boxes are
    // turned round to show it): said, not done silently.
    if (m_turned)
        lblPeriod->setText(lblPeriod->text() + QStringLiteral("（“至”早于“从”，按两天中较早的一天起算）"));
    const Statistics::Summary s = Statistics::summary(p);
    showCosts(s.withCosts);
    lblSales->setText(money(s.sales));
    lblReceived->setText(money(s.received));
    lblProfit->setText(money(s.profit));
    lblMargin->setText(s.marginText());
    lblOrders->setText(QString::number(s.orders));
    lblAverage->setText(money(s.averageOrder()));
    lblUnsettled->setText(QStringLiteral("%1 笔，%2").arg(s.unsettled).arg(money(s.unsettledDue)));
    lblRecharges->setText(money(s.recharges));
    lblCardPayments->setText(money(s.cardPayments));
    lblBalance->setText(money(s.cardBalance));
    lblReturns->setText(QStringLiteral("%1 笔，%2").arg(s.returns).arg(money(s.refunded)));
    // Goods written off on returns: their sales are taken off, their cost stays as a loss.
    QStringList hints;
    if (!s.withoutCostText().isEmpty())
        hints << s.withoutCostText();
    if (s.writtenOff != Currency())
        hints << (s.withCosts ? QStringLiteral("退货报损 %1，其成本 %2计为损失")
                                    .arg(money(s.writtenOff), money(s.writtenOffCost))
                              : QStringLiteral("退货报损 %1，已从销售额中扣除").arg(money(s.writtenOff)));
    lblNoCost->setText(hints.join(QStringLiteral("；")));
    lblNoCost->setVisible(!hints.isEmpty());

    const Statistics::Statement days = Statistics::perDay(p);
    m_days->reset(days.sql, days.params);
    // The ranking reads every record of the period: only when its tab is shown.
    m_productsStale = true;
    if (tabs->currentIndex() == 1)
        showRanking();
    const Statistics::Statement categories = Statistics::perCategory(p);
    m_categories->reset(categories.sql, categories.params);
    const Statistics::Statement members = Statistics::members(p);
    m_members->reset(members.sql, members.params);
    const Statistics::Statement cashiers = Statistics::byCashier(p);
    m_cashiers->reset(cashiers.sql, cashiers.params);
    drawDays();
    drawCategories();
    drawMembers();
    drawCashiers();
}

void TFr_tongji::showCosts(bool shown) {
    // The cards shown stand in two full rows, without a gap where the profit's were.
    const QList<QLabel*> figures = {lblSales,     lblReceived,     lblProfit,  lblMargin,
                                    lblOrders,    lblReturns,      lblAverage, lblUnsettled,
                                    lblRecharges, lblCardPayments, lblBalance};
    QList<QWidget*> cards;
    for (QLabel* figure : figures) {
        QWidget* card = figure->parentWidget();
        m_cards->removeWidget(card);
        card->setVisible(shown || (figure != lblProfit && figure != lblMargin));
        if (!card->isHidden())
            cards << card;
    }
    const int perRow = int((cards.size() + 1) / 2);
    for (int i = 0; i < cards.size(); ++i)
        m_cards->addWidget(cards[i], i / perRow, i % perRow);
    if (!shown) {
        lblProfit->clear();
        lblMargin->clear();
    }
    tabs->setTabText(0, shown ? QStringLiteral("销售与毛利") : QStringLiteral("销售"));
    if (shown == m_costs)
        return;
    m_costs = shown;
    const QSignalBlocker quiet(cbRanking);
    if (shown) {
        cbRanking->addItem(QStringLiteral("按毛利"));
    } else {
        if (cbRanking->currentIndex() == 2)
            cbRanking->setCurrentIndex(0);
        cbRanking->removeItem(2);
    }
}

void TFr_tongji::drawDays() {
    const QStringList buckets = Statistics::buckets(m_period);
    const QHash<QString, double> sales = perBucket(*m_days, QStringLiteral("xiaoshoue"));
    const QHash<QString, double> profit = perBucket(*m_days, QStringLiteral("maoli"));
    const QString title = m_period.byMonth() ? QStringLiteral("每月销售额") : QStringLiteral("每日销售额");
    QChart* chart = freshChart(chartDays, m_costs ? title + QStringLiteral("与毛利") : title);
    auto* bars = new QBarSet(QStringLiteral("销售额"));
    bars->setColor(QColor(0x5b, 0x8f, 0xc7));
    auto* line = new QLineSeries;
    line->setName(QStringLiteral("毛利"));
    line->setPen(QPen(QColor(0xe0, 0x8a, 0x1e), 2.5));
    line->setPointsVisible(true); // a period of one day has one point and no line
    const QStringList labels = bucketLabels(buckets);
    double low = 0, high = 0;
    for (int i = 0; i < buckets.size(); ++i) {
        const double s = sales.value(buckets[i]), g = profit.value(buckets[i]);
        bars->append(s);
        // Days still to come have no profit yet, not a profit of zero.
        if (!toCome(buckets[i]))
            line->append(i, g);
        low = std::min({low, s, g});
        high = std::max({high, s, g});
    }
    auto* series = new QBarSeries;
    series->append(bars);
    chart->addSeries(series);
    if (m_costs)
        chart->addSeries(line);
    else
        delete line;
    QAbstractAxis* x = bucketAxis(labels);
    auto* y = valueAxis(low, high);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
}

void TFr_tongji::drawProducts() {
    const QString field = ranking() == Statistics::Ranking::Sales      ? QStringLiteral("xiaoshoue")
                          : ranking() == Statistics::Ranking::Quantity ? QStringLiteral("shuliang")
                                                                       : QStringLiteral("maoli");
    QChart* chart =
        freshChart(chartProducts, QStringLiteral("产品前十名（%1）").arg(cbRanking->currentText()));
    auto* set = new QBarSet(cbRanking->currentText().mid(1));
    set->setColor(QColor(0x2e, 0x9d, 0x4f));
    QStringList names;
    double low = 0, high = 0;
    // The first of the ranking at the top.
    for (int r = m_products->rowCount() - 1; r >= 0; --r) {
        const double v = m_products->value(r, field).toDouble();
        set->append(v);
        names << rankingLabel(m_products->text(r, QStringLiteral("e2")),
                              m_products->text(r, QStringLiteral("e1")), names);
        low = std::min(low, v);
        high = std::max(high, v);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    chart->addSeries(series);
    chart->legend()->hide();
    auto* y = new QBarCategoryAxis;
    y->append(names);
    y->setLabelsFont(QFont(FontFamily, 8));
    auto* x = valueAxis(low, high);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(y);
    series->attachAxis(x);
}

void TFr_tongji::drawCategories() {
    QChart* chart = freshChart(chartCategories, QStringLiteral("各大类销售额"));
    auto* pie = new QPieSeries;
    int thin = 0;
    double total = 0;
    for (int r = 0; r < m_categories->rowCount(); ++r)
        total += std::max(0.0, m_categories->value(r, QStringLiteral("xiaoshoue")).toDouble());
    for (int r = 0; r < m_categories->rowCount(); ++r) {
        const double v = m_categories->value(r, QStringLiteral("xiaoshoue")).toDouble();
        if (v <= 0)
            continue; // a pie has no negative slices; the list shows them
        QString name = m_categories->text(r, QStringLiteral("e8"));
        if (name.isEmpty())
            name = QStringLiteral("(无大类)");
        QPieSlice* slice =
            pie->append(QStringLiteral("%1 %2%").arg(name).arg(100.0 * v / total, 0, 'f', 1), v);
        slice->setLabelFont(QFont(FontFamily, 8));
        // Labels of thin slices side by side would lie on each other: below 5 % only the legend
        // names a slice, and the thinner ones left take turns at a short and a long arm.
        const double share = v / total;
        slice->setLabelVisible(share >= 0.05);
        if (share < 0.12)
            slice->setLabelArmLengthFactor((thin++ % 2) ? 0.35 : 0.12);
    }
    pie->setPieSize(0.6);
    chart->addSeries(pie);
    chart->legend()->setAlignment(Qt::AlignRight);
}

void TFr_tongji::drawMembers() {
    const QStringList buckets = Statistics::buckets(m_period);
    const QHash<QString, double> recharges = perBucket(*m_members, QStringLiteral("chongzhi"));
    const QHash<QString, double> payments = perBucket(*m_members, QStringLiteral("xiaofei"));
    QChart* chart = freshChart(chartMembers, QStringLiteral("会员充值与卡消费"));
    auto* in = new QBarSet(QStringLiteral("充值"));
    in->setColor(QColor(0xf2, 0xc1, 0x4e));
    auto* out = new QBarSet(QStringLiteral("卡消费"));
    out->setColor(QColor(0xc0, 0x39, 0x2b));
    const QStringList labels = bucketLabels(buckets);
    double high = 0;
    for (const QString& b : buckets) {
        in->append(recharges.value(b));
        out->append(payments.value(b));
        high = std::max({high, recharges.value(b), payments.value(b)});
    }
    auto* series = new QBarSeries;
    series->append(in);
    series->append(out);
    chart->addSeries(series);
    QAbstractAxis* x = bucketAxis(labels);
    auto* y = valueAxis(0, high);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

void TFr_tongji::drawCashiers() {
    // What each one settled in the period, the most at the top.
    QMap<QString, double> received;
    for (int r = 0; r < m_cashiers->rowCount(); ++r)
        received[m_cashiers->text(r, QStringLiteral("shouyinyuan"))] +=
            m_cashiers->value(r, QStringLiteral("xiaoshoue")).toDouble();
    QList<std::pair<QString, double>> ranked(received.keyValueBegin(), received.keyValueEnd());
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    // Orders settled before the shop had operators name nobody: the chart says so.
    QChart* chart = freshChart(chartCashiers,
                               ranked.isEmpty() ? QStringLiteral("各收银员实收金额（本期没有记名结算的订单）")
                                                : QStringLiteral("各收银员实收金额"));
    auto* set = new QBarSet(QStringLiteral("实收金额"));
    set->setColor(QColor(0x5b, 0x8f, 0xc7));
    QStringList names;
    double low = 0, high = 0;
    for (const auto& [name, value] : ranked) {
        set->append(value);
        names << name;
        low = std::min(low, value);
        high = std::max(high, value);
    }
    auto* series = new QHorizontalBarSeries;
    series->append(set);
    chart->addSeries(series);
    chart->legend()->hide();
    auto* y = new QBarCategoryAxis;
    y->append(names);
    y->setLabelsFont(QFont(FontFamily, 8));
    auto* x = valueAxis(low, high);
    chart->addAxis(y, Qt::AlignLeft);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(y);
    series->attachAxis(x);
}

void TFr_tongji::print(const QString& definition, QChartView* chart) {
    // Folders made before these lists existed get their definitions now; none is overwritten.
    ReportFiles::install(Data_in->folder());
    const QString period = m_period.from == m_period.to
                               ? m_period.from.toString(QStringLiteral("yyyy-MM-dd"))
                               : QStringLiteral("%1 至 %2")
                                     .arg(m_period.from.toString(QStringLiteral("yyyy-MM-dd")),
                                          m_period.to.toString(QStringLiteral("yyyy-MM-dd")));
    const Statistics::Summary s = Statistics::summary(m_period);
    // Another till's sale meanwhile is shown when the print closes, not under it.
    m_printing = true;
    const auto done = qScopeGuard([this] {
        m_printing = false;
        if (m_stale && isVisible())
            guarded([this] { refresh(); });
    });
    Reports::Parameters parameters{{QStringLiteral("qijian"), period},
                                   {QStringLiteral("xiaoshoue"), s.sales.toString()},
                                   {QStringLiteral("paiming"), cbRanking->currentText()}};
    if (s.withCosts) {
        parameters.insert(QStringLiteral("maoli"), s.profit.toString());
        parameters.insert(QStringLiteral("maolilv"), s.marginText());
    }
    Reports::preview(definition, parameters, figureOf(chart));
}

void TFr_tongji::btnPrintDaysClick() {
    print(QStringLiteral("tj1.rav"), chartDays);
}

void TFr_tongji::btnPrintProductsClick() {
    showRanking();
    print(QStringLiteral("tj2.rav"), chartProducts);
}

void TFr_tongji::btnPrintCategoriesClick() {
    print(QStringLiteral("tj3.rav"), chartCategories);
}

void TFr_tongji::btnPrintMembersClick() {
    print(QStringLiteral("tj4.rav"), chartMembers);
}

void TFr_tongji::btnPrintCashiersClick() {
    print(QStringLiteral("tj5.rav"), chartCashiers);
}
