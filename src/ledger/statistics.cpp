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

// Goods written off on a return (报损) have no record that reverses their sale: they stay out of
// stock. Their sale is taken back on the day of the return all the same, while their cost stays
// in the figures as a loss; so they are read from the return lines. The lines of the returns made
// in the days `:wfrom` to `:wto` (date-times, the latter not included) that wrote goods off.
const QString WrittenOff = QStringLiteral(
    "from return_lines l join returns r on r.id = l.return_id left join ak k on k.kid = l.line_id "
    "where l.damaged = 1 and r.returned_at >= :wfrom and r.returned_at < :wto");

Db::Params writtenOffDays(const Statistics::Period& period) {
    const Db::Params r = range(period);
    return {{QStringLiteral(":wfrom"), r[0].second}, {QStringLiteral(":wto"), r[1].second}};
}

// The sums of a written-off line, whole ten-thousandths, as a stock-out record has them: its
// quantity, its value at the line's price (lines of the first version of returns have the price of
// the order line only), that value again when it has a cost (else 0), and its cost.
struct WriteOffTerms {
    QString quantity, value, costed, cost;
};
WriteOffTerms writeOffTerms() {
    const QString quantity = QStringLiteral("cast(l.quantity as double precision)");
    const QString value =
        Schema::scaled(quantity + QStringLiteral(" * cast(coalesce(l.price, k.k6) as double precision)"));
    return {Schema::scaled(quantity), QStringLiteral("coalesce(%1, 0)").arg(value),
            QStringLiteral("case when l.cost is null then 0 else coalesce(%1, 0) end").arg(value),
            QStringLiteral("case when l.cost is null then 0 else coalesce(%1, 0) end")
                .arg(Schema::scaled(quantity + QStringLiteral(" * cast(l.cost as double precision)")))};
}

// Whether goods were written off in the period: the lists read the return lines only then, so
// that a period without (most of them) reads the stock-out records as fast as ever.
bool anyWrittenOff(const Statistics::Period& period) {
    return Db::exec(Db::business(), QStringLiteral("select 1 %1 limit 1").arg(WrittenOff),
                    writtenOffDays(period))
        .next();
}

// The statement's parameters with those of the written-off lines.
Db::Params withWrittenOff(Db::Params params, const Statistics::Period& period) {
    const Db::Params returned = writtenOffDays(period);
    params.insert(params.end(), returned.begin(), returned.end());
    return params;
}

struct StockOut {
    Currency sales, cost, costed;
    int records = 0, withoutCost = 0;
    Currency writtenOff, writtenOffCost; // taken off the sales (costed too); kept in the cost
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
    const WriteOffTerms w = writeOffTerms();
    QSqlQuery off = Db::exec(
        Db::business(),
        QStringLiteral("select sum(%1)%2 %3")
            .arg(w.value, costs ? QStringLiteral(", sum(%1), sum(%2)").arg(w.costed, w.cost) : QString(),
                 WrittenOff),
        writtenOffDays(period));
    if (off.next()) {
        s.writtenOff = money(off.value(0));
        s.sales -= s.writtenOff;
        if (costs) {
            s.costed -= money(off.value(1));
            s.writtenOffCost = money(off.value(2));
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
    // No margin of sales that are none or below zero (a day of returns only).
    if (!withCosts || costedSales <= Currency())
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
    s.writtenOff = out.writtenOff;
    s.writtenOffCost = out.writtenOffCost;
    QSqlQuery returned = Db::exec(
        Db::business(),
        QStringLiteral(
            "select count(*), sum(refund) from returns where returned_at >= :from and returned_at < :to"),
        range(period));
    if (returned.next()) {
        s.returns = returned.value(0).toInt();
        s.refunded = money(returned.value(1));
    }

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
    const bool shown = Costs::shown();
    const QString costs = shown ? QStringLiteral("sum(cost) / 10000.0 as chengben, "
                                                 "sum(costed - cost) / 10000.0 as maoli, "
                                                 "sum(nocost) as wuchengben, ")
                                : QString();
    const QString sums =
        QStringLiteral("select %1 as riqi, sum(sales) / 10000.0 as xiaoshoue, %2sum(n) as bishu ")
            .arg(bucket(QStringLiteral("d"), period), costs);
    const QString grouped =
        QStringLiteral(" group by %1 order by %1").arg(bucket(QStringLiteral("d"), period));
    if (!anyWrittenOff(period))
        return {sums + QStringLiteral("from ae_day where ") + InDays + grouped, days(period)};
    // The day summary, and the sales of goods written off taken back on their day.
    const WriteOffTerms w = writeOffTerms();
    const QString summed =
        shown ? QStringLiteral("d, n, sales, nocost, costed, cost") : QStringLiteral("d, n, sales");
    const QString off = QStringLiteral("substr(r.returned_at, 1, 10), 0, -(%1)").arg(w.value) +
                        (shown ? QStringLiteral(", 0, -(%1), 0").arg(w.costed) : QString());
    return {sums +
                QStringLiteral("from (select %1 from ae_day where %2 union all select %3 %4) s")
                    .arg(summed, InDays, off, WrittenOff) +
                grouped,
            withWrittenOff(days(period), period)};
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
    // The profit and the records without a cost of each product, named as the list has them
    // (maoli in 元, wuchengben) or for summing once more (p in ten-thousandths, nc).
    const auto profit = [&](const QString& scale, const QString& p, const QString& nc) {
        return costs ? QStringLiteral(", sum(case when e13 is null then 0 else %1 - %2 end)%3 as %4, "
                                      "sum(case when e13 is null then 1 else 0 end) as %5")
                           .arg(sales, cost, scale, p, nc)
                     : QString();
    };
    if (!anyWrittenOff(period))
        return {QStringLiteral("select t.e1, (select n.e2 from ae n where n.eid = t.newest) as e2, "
                               "t.shuliang, t.xiaoshoue%4 from ("
                               "select e1, max(eid) as newest, sum(%1) / 10000.0 as shuliang, "
                               "sum(%2) / 10000.0 as xiaoshoue%5 "
                               "from ae where e7 >= :from and e7 < :to group by e1) t "
                               "order by t.%3 desc, t.e1 limit 10")
                    .arg(quantity, sales, order,
                         costs ? QStringLiteral(", t.maoli, t.wuchengben") : QString(),
                         profit(QStringLiteral(" / 10000.0"), QStringLiteral("maoli"),
                                QStringLiteral("wuchengben"))),
                range(period)};
    const WriteOffTerms w = writeOffTerms();
    const QString off =
        QStringLiteral("select l.product, null, -sum(%1), -sum(%2)%3 %4 group by l.product")
            .arg(w.quantity, w.value, costs ? QStringLiteral(", -sum(%1), 0").arg(w.costed) : QString(),
                 WrittenOff);
    // Goods written off are taken off their product's figures; a product with nothing else in the
    // period is named as it is now.
    return {QStringLiteral("select t.e1, coalesce((select n.e2 from ae n where n.eid = t.newest), "
                           "(select b.b2 from ab b where cast(b.bid as text) = t.e1)) as e2, "
                           "t.shuliang, t.xiaoshoue%4 from ("
                           "select e1, max(newest) as newest, sum(q) / 10000.0 as shuliang, "
                           "sum(s) / 10000.0 as xiaoshoue%5 from ("
                           "select e1, max(eid) as newest, sum(%1) as q, sum(%2) as s%6 "
                           "from ae where e7 >= :from and e7 < :to group by e1 union all %7) u "
                           "group by e1) t "
                           "order by t.%3 desc, t.e1 limit 10")
                .arg(quantity, sales, order, costs ? QStringLiteral(", t.maoli, t.wuchengben") : QString(),
                     costs ? QStringLiteral(", sum(p) / 10000.0 as maoli, sum(nc) as wuchengben") : QString(),
                     profit({}, QStringLiteral("p"), QStringLiteral("nc")), off),
            withWrittenOff(range(period), period)};
}

Statement perCategory(const Period& period) {
    const bool shown = Costs::shown();
    const QString sums =
        QStringLiteral("select e8, sum(qty) / 10000.0 as shuliang, sum(sales) / 10000.0 as xiaoshoue%1 ")
            .arg(shown ? QStringLiteral(", sum(costed - cost) / 10000.0 as maoli") : QString());
    const QString grouped = QStringLiteral(" group by e8 order by xiaoshoue desc, e8");
    if (!anyWrittenOff(period))
        return {sums + QStringLiteral("from ae_day where ") + InDays + grouped, days(period)};
    const WriteOffTerms w = writeOffTerms();
    const QString off = QStringLiteral("coalesce(l.category, ''), -(%1), -(%2)").arg(w.quantity, w.value) +
                        (shown ? QStringLiteral(", -(%1), 0").arg(w.costed) : QString());
    return {sums +
                QStringLiteral("from (select e8, qty, sales%1 from ae_day where %2 union all select %3 %4) s")
                    .arg(shown ? QStringLiteral(", costed, cost") : QString(), InDays, off, WrittenOff) +
                grouped,
            withWrittenOff(days(period), period)};
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
    return {QStringLiteral(
                "select %1 as riqi, c.op as shouyinyuan, sum(c.sales) / 10000.0 as xiaoshoue, "
                "sum(c.n) as dingdan, sum(c.discount) / 10000.0 as youhui, sum(c.removed) as shanchu, "
                "sum(c.returned) as tuihuo, sum(c.refunded) / 10000.0 as tuikuan "
                "from (select substr(a1, 1, 10) as d, a9 as op, sum(%2) as sales, count(*) as n, "
                "sum(%3 - %2) as discount, 0 as removed, 0 as returned, 0 as refunded from aa "
                "where a1 >= :from and a1 < :to and a2 = :settled and a9 <> '' "
                "group by substr(a1, 1, 10), a9 union all "
                "select substr(logged_at, 1, 10), operator_name, 0, 0, 0, count(*), 0, 0 from oplog "
                "where action = :removed and logged_at >= :from and logged_at < :to "
                "group by substr(logged_at, 1, 10), operator_name union all "
                "select substr(returned_at, 1, 10), operator_name, 0, 0, 0, 0, count(*), sum(refund) "
                "from returns where returned_at >= :from and returned_at < :to and operator_name <> '' "
                "group by substr(returned_at, 1, 10), operator_name) c "
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
