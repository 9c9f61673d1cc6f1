#pragma once

#include "core/money.h"
#include "data/database.h"

#include <QDate>
#include <QList>
#include <QString>

// What the shop sold and earned in a period, read from the stock-out records (each carries the
// cost price of its moment, so editing a product's cost changes no past profit), the orders and
// the member cards' records. Reads only; the figures follow the records as they are.
namespace Statistics {

// The periods to choose from. A week starts on Monday.
enum class Span { Today, Week, Month, Year };

// The days from `from` to `to`, both included.
struct Period {
    QDate from;
    QDate to;
    int days() const { return int(from.daysTo(to)) + 1; }
    // Periods over 62 days are shown month by month, shorter ones day by day.
    bool byMonth() const { return days() > 62; }
    bool operator==(const Period&) const = default;
};

Period period(Span span, const QDate& today);

// Without the right to see costs (查看成本价和利润) nothing here reads a cost: the summaries have
// no cost or profit (withCosts false) and the lists' statements no such fields.
// Returns count on the day of the return, not of the sale: goods back to stock have a stock-out
// record that reverses the sale's (at the line's price and the cost stored at the sale), so sales,
// cost and profit fall by the returned lines. Goods written off (报损) stay out of stock: their
// sale is taken off all the same, their cost stays as a loss, so the profit of that day falls by
// the line's whole value at its price (its profit back, and its cost lost).
struct Summary {
    bool withCosts = true;   // read with costs and profit; without, those figures are zero
    Currency sales;          // value of the stock-out records (quantity × price), net of reversals and
                             // of goods written off on returns
    Currency costedSales;    // the part of the sales whose records carry a cost price
    Currency cost;           // quantity × cost price of those records
    Currency profit;         // costedSales − cost
    int records = 0;         // stock-out records of the period
    int withoutCost = 0;     // of them without a cost price, left out of the profit
    Currency writtenOff;     // the value at their price of goods written off on returns, taken off sales
    Currency writtenOffCost; // and their cost: the loss (zero without costs)

    int returns = 0;   // returns made in the period (退货)
    Currency refunded; // the money they gave back

    int orders = 0;        // orders created in the period (deleted orders are gone)
    Currency amountDue;    // their amounts due
    Currency received;     // amounts received of those settled
    int unsettled = 0;     // those not settled yet
    Currency unsettledDue; // and their amount due

    Currency recharges;    // recharged onto member cards in the period
    Currency cardPayments; // paid from member cards in the period
    Currency cardBalance;  // held on every card now: what the shop owes its members

    // Gross margin (profit ÷ costed sales) as "23.5%"; "—" without costed sales above zero.
    QString marginText() const;
    // The average amount due of an order, to the cent; 0 without orders.
    Currency averageOrder() const;
    // "N 条记录无成本价，未计入毛利", empty when every record has its cost.
    QString withoutCostText() const;
};

Summary summary(const Period& period);

// The welcome page's glance at one day: sales, profit and orders.
struct Glance {
    bool withCosts = true; // without, profit and withoutCost are zero, not read
    Currency sales;
    Currency profit;
    int orders = 0;
    int withoutCost = 0;
};
Glance glance(const QDate& day);

// A statement and its parameters, for the lists beside the charts.
struct Statement {
    QString sql;
    Db::Params params;
};

// Sales and gross profit per day (per month for long periods): fields riqi (yyyy-MM-dd or
// yyyy-MM), xiaoshoue, chengben, maoli, wuchengben (records without cost), bishu (records); the
// three of costs only for those who may see them. Goods written off on a return count on its day
// with their sales taken back (bishu counts stock-out records only).
Statement perDay(const Period& period);

// The ten products with the highest sales, quantity or profit: fields e1 (product number), e2
// (name as last sold), shuliang, xiaoshoue, maoli, wuchengben (the last two, and the ranking by
// profit, only for those who may see costs: ranked by sales for the others).
enum class Ranking { Sales, Quantity, Profit };
Statement topProducts(const Period& period, Ranking ranking);

// Sales and profit per major category: fields e8, shuliang, xiaoshoue, maoli (for those who may
// see costs).
Statement perCategory(const Period& period);

// Recharges and card payments per day (per month for long periods): fields riqi, chongzhi,
// xiaofei.
Statement members(const Period& period);

// Per cashier and day (per month for long periods), what the operators' records say: fields riqi,
// shouyinyuan (the operator), xiaoshoue (received on the orders they settled), dingdan (those
// orders), youhui (their discounts: amount due less received), shanchu (order lines they took off,
// from the operation log), tuihuo (returns they took) and tuikuan (the money those gave back). An
// order counts on the day it was made, a return on its own day.
Statement byCashier(const Period& period);

// One bucket of a period's chart: its label (as riqi holds it) for every day or month of the
// period in order, those without sales included.
QStringList buckets(const Period& period);

} // namespace Statistics
