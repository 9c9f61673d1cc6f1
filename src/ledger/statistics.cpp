#include "ledger/statistics.h"

#include "data/schema.h"
#include "ledger/costs.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"

#include <QSqlQuery>

namespace {

const QString From = QStringLiteral(":from");
const QString To = QStringLiteral(":to");

// Every date-time column holds "yyyy-MM-dd HH:mm:ss": a period is the texts from its first
// midnight up to (not including) the midnight after its last day.
Db::Params range(const Statistics::Period& period) {
    return {{From, period.from.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00")},
            {To, period.to.addDays(1).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 00:00:00")}};
}

// The day or month a date-time column falls in, as the charts label it. The one place that
// knows how the engine cuts a date out of the stored text.
QString bucket(const QString& column, const Statistics::Period& period) {
    return QStringLiteral("substr(%1, 1, %2)").arg(column).arg(period.byMonth() ? 7 : 10);
}

// The days of a period as the day summary holds them.
Db::Params days(const Statistics::Period& period) {
    return {{From, period.from.toString(QStringLiteral("yyyy-MM-dd"))},
            {To, period.to.toString(QStringLiteral("yyyy-MM-dd"))}};
}
const QString InDays = QStringLiteral("d >= :from and d <= :to");

// Quantities and prices of the records are texts.
QString number(const QString& column) {
    return QStringLiteral("cast(%1 as double precision)").arg(column);
}

// Each record's amount is rounded to whole ten-thousandths first, as the order's own amount is.
QString rounded(const QString& expression) {
    return QStringLiteral("round(%1 * 10000)").arg(expression);
}

Currency money(const QVariant& scaledSum) {
    return Currency::fromScaled(scaledSum.toLongLong());
}

struct StockOut {
    Currency sales, cost, costed;
    int records = 0, withoutCost = 0;
};

// Without the right to see costs, only the records and their sales are read.
StockOut stockOut(const Statistics::Period& period, bool costs) {
    QSqlQuery q = Db::exec(
        Db::business(),
        QStringLiteral("select sum(n), sum(sales)%1 from ae_day where %2")
            .arg(costs ? QStringLiteral(", sum(cost), sum(costed), sum(nocost)") : QString(), InDays),
        days(period));
    StockOut s;
    if (q.next()) {
        s.records = q.value(0).toInt();
        s.sales = money(q.value(1));
        if (costs) {
            s.cost = money(q.value(2));
            s.costed = money(q.value(3));
            s.withoutCost = q.value(4).toInt();
        }
    }
    return s;
}

} // namespace

namespace Statistics {

Period period(Span span, const QDate& today) {
    switch (span) {
    case Span::Today:
        return {today, today};
    case Span::Week: {
        const QDate monday = today.addDays(1 - today.dayOfWeek());
        return {monday, monday.addDays(6)};
    }
    case Span::Month: {
        const QDate first(today.year(), today.month(), 1);
        return {first, first.addMonths(1).addDays(-1)};
    }
    case Span::Year:
        return {QDate(today.year(), 1, 1), QDate(today.year(), 12, 31)};
    }
    return {today, today};
}

QString Summary::marginText() const {
    if (!withCosts || costedSales == Currency())
        return QStringLiteral("—");
    const double percent = 100.0 * double(profit.scaled()) / double(costedSales.scaled());
    return QString::number(percent, 'f', 1) + QLatin1Char('%');
}

Currency Summary::averageOrder() const {
    if (orders == 0)
        return {};
    // To the cent, halves away from zero.
    const int64_t cents = amountDue.scaled() / 100;
    const int64_t rest = amountDue.scaled() % 100;
    const int64_t twice = 2 * (cents % orders * 100 + rest);
    int64_t average = cents / orders;
    if (twice >= int64_t(orders) * 100)
        ++average;
    else if (twice <= -int64_t(orders) * 100)
        --average;
    return Currency::fromScaled(average * 100);
}

QString Summary::withoutCostText() const {
    return !withCosts || withoutCost == 0 ? QString()
                                          : QStringLiteral("%1 条记录无成本价，未计入毛利").arg(withoutCost);
}

Summary summary(const Period& period) {
    Summary s;
    s.withCosts = Costs::shown();
    const StockOut out = stockOut(period, s.withCosts);
    s.sales = out.sales;
    s.costedSales = out.costed;
    s.cost = out.cost;
    s.profit = out.costed - out.cost;
    s.records = out.records;
    s.withoutCost = out.withoutCost;

    Db::Params params = range(period);
    params.emplace_back(QStringLiteral(":settled"), Orders::Settled);
    QSqlQuery orders = Db::exec(
        Db::business(),
        QStringLiteral("select count(*), sum(%1), sum(case when a2 = :settled then %2 else 0 end), "
                       "sum(case when a2 = :settled then 0 else 1 end), "
                       "sum(case when a2 = :settled then 0 else %1 end) "
                       "from aa where a1 >= :from and a1 < :to")
            .arg(Schema::scaled(QStringLiteral("a5")), Schema::scaled(QStringLiteral("coalesce(a6, 0)"))),
        params);
    if (orders.next()) {
        s.orders = orders.value(0).toInt();
        s.amountDue = money(orders.value(1));
        s.received = money(orders.value(2));
        s.unsettled = orders.value(3).toInt();
        s.unsettledDue = money(orders.value(4));
    }
    s.recharges = money(Db::scalar(Db::business(),
                                   QStringLiteral("select sum(%1) from ah where h3 >= :from and h3 < :to")
                                       .arg(Schema::scaled(QStringLiteral("h2"))),
                                   range(period)));
    s.cardPayments = money(Db::scalar(Db::business(),
                                      QStringLiteral("select sum(%1) from ag where g3 >= :from and g3 < :to")
                                          .arg(Schema::scaled(QStringLiteral("g2"))),
                                      range(period)));
    s.cardBalance = money(Db::scalar(
        Db::business(), QStringLiteral("select sum(%1) from aj").arg(Schema::scaled(QStringLiteral("j9")))));
    return s;
}

Glance glance(const QDate& day) {
    const Period today{day, day};
    Glance g;
    g.withCosts = Costs::shown();
    const StockOut out = stockOut(today, g.withCosts);
    g.sales = out.sales;
    g.profit = out.costed - out.cost;
    g.withoutCost = out.withoutCost;
    g.orders =
        Db::scalar(Db::business(), QStringLiteral("select count(*) from aa where a1 >= :from and a1 < :to"),
                   range(today))
            .toInt();
    return g;
}

Statement perDay(const Period& period) {
    const QString costs = Costs::shown() ? QStringLiteral("sum(cost) / 10000.0 as chengben, "
                                                          "sum(costed - cost) / 10000.0 as maoli, "
                                                          "sum(nocost) as wuchengben, ")
                                         : QString();
    return {QStringLiteral("select %1 as riqi, sum(sales) / 10000.0 as xiaoshoue, %3sum(n) as bishu "
                           "from ae_day where %2 group by %1 order by %1")
                .arg(bucket(QStringLiteral("d"), period), InDays, costs),
            days(period)};
}

Statement topProducts(const Period& period, Ranking ranking) {
    const bool costs = Costs::shown();
    // Nobody ranks by a profit they may not see: by sales instead.
    if (!costs && ranking == Ranking::Profit)
        ranking = Ranking::Sales;
    const QString order = ranking == Ranking::Sales      ? QStringLiteral("xiaoshoue")
                          : ranking == Ranking::Quantity ? QStringLiteral("shuliang")
                                                         : QStringLiteral("maoli");
    // The name comes from the product's newest record of the period, found by its key. This one
    // reads every record of the period (from an index that holds the fields it needs), so its
    // amounts are rounded to whole ten-thousandths but left as doubles: exact as long as a sum
    // stays below 2^53 ten-thousandths, and cheaper per record than a cast to integer.
    const QString quantity = rounded(number(QStringLiteral("e3")));
    const QString sales =
        rounded(number(QStringLiteral("e3")) + QStringLiteral(" * ") + number(QStringLiteral("e6")));
    const QString cost = rounded(number(QStringLiteral("e3")) + QStringLiteral(" * e13"));
    const QString profit =
        costs ? QStringLiteral(", sum(case when e13 is null then 0 else %1 - %2 end) / 10000.0 as maoli, "
                               "sum(case when e13 is null then 1 else 0 end) as wuchengben")
                    .arg(sales, cost)
              : QString();
    return {QStringLiteral("select t.e1, (select n.e2 from ae n where n.eid = t.newest) as e2, "
                           "t.shuliang, t.xiaoshoue%4 from ("
                           "select e1, max(eid) as newest, sum(%1) / 10000.0 as shuliang, "
                           "sum(%2) / 10000.0 as xiaoshoue%5 "
                           "from ae where e7 >= :from and e7 < :to group by e1) t "
                           "order by t.%3 desc, t.e1 limit 10")
                .arg(quantity, sales, order, costs ? QStringLiteral(", t.maoli, t.wuchengben") : QString(),
                     profit),
            range(period)};
}

Statement perCategory(const Period& period) {
    return {QStringLiteral("select e8, sum(qty) / 10000.0 as shuliang, sum(sales) / 10000.0 as xiaoshoue%2 "
                           "from ae_day where %1 group by e8 order by xiaoshoue desc, e8")
                .arg(InDays,
                     Costs::shown() ? QStringLiteral(", sum(costed - cost) / 10000.0 as maoli") : QString()),
            days(period)};
}

Statement members(const Period& period) {
    // Summed per day first, in the order of the day indexes over the card movements (no sorting
    // of the movements themselves), then per bucket.
    return {QStringLiteral(
                "select %1 as riqi, sum(chongzhi) / 10000.0 as chongzhi, sum(xiaofei) / 10000.0 as xiaofei "
                "from (select substr(h3, 1, 10) as d, sum(%2) as chongzhi, 0 as xiaofei from ah "
                "where substr(h3, 1, 10) >= :from and substr(h3, 1, 10) <= :to "
                "group by substr(h3, 1, 10) union all "
                "select substr(g3, 1, 10), 0, sum(%3) from ag "
                "where substr(g3, 1, 10) >= :from and substr(g3, 1, 10) <= :to "
                "group by substr(g3, 1, 10)) m "
                "group by %1 order by %1")
                .arg(bucket(QStringLiteral("d"), period), Schema::scaled(QStringLiteral("h2")),
                     Schema::scaled(QStringLiteral("g2"))),
            days(period)};
}

Statement byCashier(const Period& period) {
    // The settled orders of the period by who settled them, then the lines the log says each one
    // took off orders; both read from indexes in the order of the day.
    Db::Params params = range(period);
    params.emplace_back(QStringLiteral(":settled"), Orders::Settled);
    params.emplace_back(QStringLiteral(":removed"), OpLog::RemoveLine);
    const QString received = Schema::scaled(QStringLiteral("coalesce(a6, 0)"));
    return {
        QStringLiteral("select %1 as riqi, c.op as shouyinyuan, sum(c.sales) / 10000.0 as xiaoshoue, "
                       "sum(c.n) as dingdan, sum(c.discount) / 10000.0 as youhui, sum(c.removed) as shanchu "
                       "from (select substr(a1, 1, 10) as d, a9 as op, sum(%2) as sales, count(*) as n, "
                       "sum(%3 - %2) as discount, 0 as removed from aa "
                       "where a1 >= :from and a1 < :to and a2 = :settled and a9 <> '' "
                       "group by substr(a1, 1, 10), a9 union all "
                       "select substr(logged_at, 1, 10), operator_name, 0, 0, 0, count(*) from oplog "
                       "where action = :removed and logged_at >= :from and logged_at < :to "
                       "group by substr(logged_at, 1, 10), operator_name) c "
                       "group by %1, c.op order by %1, c.op")
            .arg(bucket(QStringLiteral("c.d"), period), received, Schema::scaled(QStringLiteral("a5"))),
        params};
}

QStringList buckets(const Period& period) {
    QStringList labels;
    if (period.byMonth()) {
        for (QDate d(period.from.year(), period.from.month(), 1); d <= period.to; d = d.addMonths(1))
            labels << d.toString(QStringLiteral("yyyy-MM"));
    } else {
        for (QDate d = period.from; d <= period.to; d = d.addDays(1))
            labels << d.toString(QStringLiteral("yyyy-MM-dd"));
    }
    return labels;
}

} // namespace Statistics
