#pragma once

#include "ledger/statistics.h"
#include "widgets/frame.h"

#include <QLabel>
#include <QPointer>

class DataGrid;
class QChartView;
class QComboBox;
class QDateEdit;
class QGridLayout;
class QLabel;
class QPushButton;
class QTabWidget;
class SharedQuery;

// The statistics page: for the chosen period the summary cards (sales, amount received, gross
// profit and margin, orders, returns, average order, unsettled orders, member cards), and four charts each
// with its list beside it: sales and profit per day (per month for long periods), the ten best
// products, sales per major category, recharges against card payments, and what each cashier
// settled per day (按收银员). Without the right to see costs the page shows sales only: no cost,
// profit or margin is read. The lists export from
// their menu; each chart prints with its list through the report engine, the chart above the rows.
// A card's figure: a figure too wide for the card is drawn in a smaller font, so that it shows
// whole ("元" included).
class FigureLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    // The font the figure is drawn in.
    QFont shownFont() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};

class TFr_tongji : public Frame {
    Q_OBJECT
public:
    explicit TFr_tongji(QWidget* parent = nullptr);
    void bindData() override;

    // The period shown.
    Statistics::Period period() const { return m_period; }
    // The lists' shared queries: Query_tj1 (per day), Query_tj2 (products), Query_tj3 (major
    // categories), Query_tj4 (member cards), Query_tj5 (per cashier); report connections Rv_tj1 …
    // Rv_tj5.
    static QStringList listNames();

    QComboBox* cbPeriod = nullptr; // 今天, 本周, 本月, 本年, 自定义
    QDateEdit* deFrom = nullptr;   // the custom period's first day
    QDateEdit* deTo = nullptr;     // and its last
    QLabel* lblPeriod = nullptr;   // the days shown, in words

    QLabel* lblSales = nullptr;
    QLabel* lblReceived = nullptr;
    QLabel* lblProfit = nullptr;
    QLabel* lblMargin = nullptr;
    QLabel* lblOrders = nullptr;
    QLabel* lblAverage = nullptr;
    QLabel* lblUnsettled = nullptr;
    QLabel* lblRecharges = nullptr;
    QLabel* lblCardPayments = nullptr;
    QLabel* lblBalance = nullptr;
    QLabel* lblReturns = nullptr; // returns made in the period and the money they gave back
    QLabel* lblNoCost = nullptr;  // records without cost, left out of the profit; goods written off

    QTabWidget* tabs = nullptr;
    QChartView* chartDays = nullptr;
    QChartView* chartProducts = nullptr;
    QChartView* chartCategories = nullptr;
    QChartView* chartMembers = nullptr;
    QChartView* chartCashiers = nullptr;
    DataGrid* gridDays = nullptr;
    DataGrid* gridProducts = nullptr;
    DataGrid* gridCategories = nullptr;
    DataGrid* gridMembers = nullptr;
    DataGrid* gridCashiers = nullptr;
    QComboBox* cbRanking = nullptr; // 按销售额, 按数量, 按毛利
    QPushButton* btnPrintDays = nullptr;
    QPushButton* btnPrintProducts = nullptr;
    QPushButton* btnPrintCategories = nullptr;
    QPushButton* btnPrintMembers = nullptr;
    QPushButton* btnPrintCashiers = nullptr;

public slots:
    void cbPeriodChange();
    void deFromChange();
    void cbRankingChange();
    // Reads the ten best products when the period or ranking changed since.
    void showRanking();
    // Reads the period's figures and lists again.
    void refresh();
    void btnPrintDaysClick();
    void btnPrintProductsClick();
    void btnPrintCategoriesClick();
    void btnPrintMembersClick();
    void btnPrintCashiersClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The period shown; turned: a custom one typed with 至 before 从 (said beside the period).
    void choose(const Statistics::Period& period, bool turned = false);
    void drawDays();
    void drawProducts();
    void drawCategories();
    void drawMembers();
    void drawCashiers();
    // Shows or leaves out what only those who may see costs see (the profit and margin cards, the
    // ranking by profit).
    void showCosts(bool shown);
    void print(const QString& definition, QChartView* chart);
    Statistics::Ranking ranking() const;

    Statistics::Period m_period;
    QPointer<SharedQuery> m_days, m_products, m_categories, m_members, m_cashiers;
    bool m_costs = true;            // the figures shown are read with costs
    QGridLayout* m_cards = nullptr; // the summary cards
    bool m_stale = true;            // written since last read while the page was hidden
    bool m_productsStale = true;
    bool m_printing = false; // a print of the page is open
    bool m_turned = false;   // the custom period was typed with 至 before 从
};
