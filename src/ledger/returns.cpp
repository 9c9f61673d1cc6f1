#include "ledger/returns.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/shifts.h"
#include "ledger/shopsettings.h"
#include "ledger/staff.h"

#include <QHash>
#include <QSqlQuery>

namespace {

const QString LimitDays = QStringLiteral("returns.days");
const QString LimitAmount = QStringLiteral("returns.amount");
const QString Refund = QStringLiteral("退款");
constexpr qint64 Fen = Currency::Scale / 100;

QString orderKey(qint64 order) {
    return QStringLiteral("订单 %1").arg(order);
}

// The order as a return needs it.
struct Order {
    Currency due;       // a5
    Currency collected; // a6
    QDate made;         // a1
    bool byCard = false;
    qint64 card = 0;
};

// What the return is about to do, worked out from the database (inside the unit of work, or
// before it to know which rights it asks for).
struct Plan {
    Order order;
    QList<Returns::Returnable> lines; // of the order
    QList<Returns::Line> back;        // what comes back, validated
    QList<Currency> shares;           // the money of each line that comes back
    Currency refund;
    bool last = false; // brings the last goods of the order back
    QString state;     // the order's state after
};

Order readOrder(const QSqlDatabase& db, qint64 order, const QString& lock) {
    QSqlQuery row = Db::exec(db, QStringLiteral("select a2, a5, a6, a1, a11 from aa where aid = :a") + lock,
                             {{QStringLiteral(":a"), order}});
    if (!row.next())
        throw Refused(QStringLiteral("找不到订单 %1").arg(order));
    if (row.value(0).toString() != Orders::Settled)
        throw Refused(QStringLiteral("%1号订单还没有结算：只有已结算的订单可以退货").arg(order));
    Order o;
    o.due = Db::storedNumber(row.value(1), QStringLiteral("aa"), order, QStringLiteral("a5"));
    o.collected = Db::storedNumber(row.value(2), QStringLiteral("aa"), order, QStringLiteral("a6"));
    o.made = QDate::fromString(row.value(3).toString().left(10), Qt::ISODate);
    // The card that paid: the order's card settlement (older orders name no tender).
    QSqlQuery paid = Db::exec(
        db,
        QStringLiteral("select g6 from ag where g5 = :o and (g9 is null or g9 <> :r) order by gid limit 1"),
        {{QStringLiteral(":o"), QString::number(order)}, {QStringLiteral(":r"), Refund}});
    if (paid.next()) {
        o.byCard = true;
        o.card = paid.value(0).toLongLong();
    }
    return o;
}

QList<Returns::Returnable> readLines(const QSqlDatabase& db, qint64 order) {
    QList<Returns::Returnable> lines;
    QHash<qint64, Currency> returned;
    QSqlQuery back =
        Db::exec(db,
                 QStringLiteral("select l.line_id, l.quantity from return_lines l join returns r on "
                                "r.id = l.return_id where r.order_id = :o"),
                 {{QStringLiteral(":o"), order}});
    while (back.next())
        returned[back.value(0).toLongLong()] += Currency::parse(back.value(1).toString());
    QSqlQuery q =
        Db::exec(db, QStringLiteral("select kid, k7, k3, k6, k4, k9 from ak where k8 = :o order by kid"),
                 {{QStringLiteral(":o"), QString::number(order)}});
    while (q.next()) {
        Returns::Returnable r;
        r.line = q.value(0).toLongLong();
        r.product = q.value(1).toString();
        r.name = q.value(2).toString();
        r.price = Db::storedNumber(q.value(3), QStringLiteral("ak"), r.line, QStringLiteral("k6"));
        r.sold = Db::storedNumber(q.value(4), QStringLiteral("ak"), r.line, QStringLiteral("k4"));
        r.returned = returned.value(r.line);
        if (!q.value(5).isNull() && !q.value(5).toString().isEmpty())
            r.ownAmount = Db::storedNumber(q.value(5), QStringLiteral("ak"), r.line, QStringLiteral("k9"));
        lines << r;
    }
    return lines;
}

// amount × part ÷ whole, to the fen (half a fen and more up); nothing of a whole of nothing.
Currency proportionToFen(Currency amount, Currency part, Currency whole) {
    if (whole.scaled() == 0)
        return Currency();
    const __int128 exact = __int128(amount.scaled()) * part.scaled();
    const __int128 per = __int128(whole.scaled()) * Fen;
    __int128 fen = exact / per;
    if ((exact % per) * 2 >= per)
        ++fen;
    return Currency::fromScaled(qint64(fen * Fen));
}

// The share of `amount` (a line's value) in what was collected, to the fen.
Currency shareOf(Currency amount, const Order& o) {
    return proportionToFen(amount, o.collected, o.due);
}

Plan planOf(const QSqlDatabase& db, qint64 order, const QList<Returns::Line>& back, const QString& lock) {
    Plan p;
    p.order = readOrder(db, order, lock);
    p.lines = readLines(db, order);
    if (back.isEmpty())
        throw Refused(QStringLiteral("请选择要退的产品和数量"));
    QHash<qint64, Currency> asked;
    for (const Returns::Line& l : back) {
        const auto it = std::find_if(p.lines.begin(), p.lines.end(),
                                     [&](const Returns::Returnable& r) { return r.line == l.line; });
        if (it == p.lines.end())
            throw Refused(QStringLiteral("第 %1 行不是这张订单的产品").arg(l.line));
        if (l.quantity <= Currency())
            throw Refused(QStringLiteral("退货数量必须大于零"));
        asked[l.line] += l.quantity;
        if (asked[l.line] > it->left())
            throw Refused(QStringLiteral("“%1”最多还能退 %2").arg(it->name, it->left().toString()));
        p.back << l;
        const Currency share = shareOf(it->valueOf(l.quantity), p.order);
        p.shares << share;
        p.refund += share;
    }
    bool allBack = true;
    bool anyBack = false;
    for (const Returns::Returnable& r : p.lines) {
        const Currency after = r.returned + asked.value(r.line);
        allBack = allBack && after >= r.sold;
        anyBack = anyBack || after > Currency();
    }
    p.last = allBack;
    p.state = allBack ? Returns::Wholly : anyBack ? Returns::Partly : QString();
    if (allBack) {
        // The last return gives the rest of what was collected, so the returns add up to it.
        const Currency before = Currency::fromScaled(
            Db::scalar(db,
                       QStringLiteral("select coalesce(sum(refund), 0) from returns where "
                                      "order_id = :o"),
                       {{QStringLiteral(":o"), order}})
                .toLongLong());
        const Currency rest = p.order.collected - before;
        p.shares.last() += rest - p.refund;
        p.refund = rest;
    }
    return p;
}

} // namespace

namespace Returns {

Currency Returnable::valueOf(Currency quantity) const {
    if (!ownAmount || sold.scaled() == 0)
        return quantity * price;
    if (quantity == sold)
        return *ownAmount;
    // Its share of the line's own amount.
    return proportionToFen(*ownAmount, quantity, sold);
}

QList<Returnable> returnable(qint64 order) {
    readOrder(Db::business(), order, {});
    return readLines(Db::business(), order);
}

qint64 paidByCard(qint64 order) {
    return readOrder(Db::business(), order, {}).card;
}

Limits limits() {
    Limits l;
    if (const QString days = ShopSettings::value(LimitDays); !days.isEmpty())
        l.days = days.toInt();
    if (const QString amount = ShopSettings::value(LimitAmount); !amount.isEmpty())
        l.amount = Currency::parse(amount);
    return l;
}

void setLimits(const Limits& l) {
    if (l.days < 0 || l.amount < Currency())
        throw Refused(QStringLiteral("退货限额不能小于零"));
    Staff::require(Staff::Right::Settings, QStringLiteral("退货限额"));
    Db::perform(Db::business(), [&](Db::Work& work) {
        ShopSettings::store(work, LimitDays, QString::number(l.days));
        ShopSettings::store(work, LimitAmount, l.amount.toString());
        OpLog::write(work, {OpLog::Settings,
                            QStringLiteral("退货限额"),
                            {},
                            QStringLiteral("%1 天，%2 元").arg(l.days).arg(l.amount.toString())});
        work.commit();
    });
}

Made make(qint64 order, const QList<Line>& back, Way way, const QString& reason) {
    // The rights it asks for are known from the order as it is now; the unit of work checks the
    // quantities again under the order's lock.
    const QString key = orderKey(order);
    Staff::require(Staff::Right::Returns, key);
    const Plan first = planOf(Db::business(), order, back, {});
    const Limits l = limits();
    if (first.order.made.daysTo(Clock::now().date()) > l.days || first.refund > l.amount)
        Staff::require(Staff::Right::ReturnsBeyond,
                       QStringLiteral("%1，退款 %2").arg(key, first.refund.toString()));
    if (way == Way::Card && !first.order.byCard)
        throw Refused(QStringLiteral("这张订单不是用会员卡结算的，不能退回会员卡"));
    if (way == Way::Cash && first.order.byCard)
        Staff::require(Staff::Right::CardRefundCash, key);

    return Db::perform(Db::business(), [&](Db::Work& work) {
        const Plan p = planOf(work.db(), order, back, work.forUpdate());
        const QString now = Clock::nowText();
        const qint64 shift = Shifts::currentKey(work);
        const qint64 made = work.insert(
            QStringLiteral(
                "insert into returns (order_id, returned_at, operator_name, till_name, shift_id, reason, "
                "refund, way, card) values (:o, :at, :op, :till, :s, :r, :m, :w, :c)"),
            {{QStringLiteral(":o"), order},
             {QStringLiteral(":at"), now},
             {QStringLiteral(":op"), Staff::signature()},
             {QStringLiteral(":till"), Staff::tillName()},
             {QStringLiteral(":s"), shift == 0 ? QVariant() : QVariant(shift)},
             {QStringLiteral(":r"), reason},
             {QStringLiteral(":m"), qint64(p.refund.scaled())},
             {QStringLiteral(":w"), way == Way::Cash ? CashWay : CardWay},
             {QStringLiteral(":c"), way == Way::Card ? QVariant(p.order.card) : QVariant()}});
        work.wrote(QStringLiteral("returns"), made);
        // The cost each sale's stock-out record carries, by product and price (the newest record
        // of each), read once for the whole order. Prices are compared as amounts ("2.50" is 2.5).
        const auto amount = [](const QString& text) {
            try {
                return Currency::parse(text).toString();
            } catch (const ConversionError&) {
                return text;
            }
        };
        QHash<std::pair<QString, QString>, QVariant> costs;
        for (QSqlQuery sale =
                 work.exec(QStringLiteral(
                               "select e1, e6, e13 from ae where e11 = :o and e3 not like '-%' order by eid"),
                           {{QStringLiteral(":o"), QString::number(order)}});
             sale.next();)
            costs.insert({sale.value(0).toString(), amount(sale.value(1).toString())}, sale.value(2));
        QStringList told;
        for (int i = 0; i < p.back.size(); ++i) {
            const Line& l = p.back[i];
            const Returnable& r = *std::find_if(p.lines.begin(), p.lines.end(),
                                                [&](const Returnable& x) { return x.line == l.line; });
            const QVariant cost = costs.value({r.product, r.price.toString()});
            // The product as it is now: its major category goes with the line into the figures;
            // goods back to stock lock its row.
            QSqlQuery stock = work.exec(QStringLiteral("select b4, b9, b1, b2, b5 from ab where bid = :p") +
                                            (l.damaged ? QString() : work.forUpdate()),
                                        {{QStringLiteral(":p"), r.product}});
            const bool there = stock.next();
            work.wrote(QStringLiteral("return_lines"),
                       work.insert(QStringLiteral("insert into return_lines (return_id, line_id, product, "
                                                  "quantity, amount, cost, damaged, price, category) values "
                                                  "(:r, :l, :p, :q, :a, :c, :d, :pr, :ca)"),
                                   {{QStringLiteral(":r"), made},
                                    {QStringLiteral(":l"), l.line},
                                    {QStringLiteral(":p"), r.product},
                                    {QStringLiteral(":q"), l.quantity.toString()},
                                    {QStringLiteral(":a"), qint64(p.shares[i].scaled())},
                                    {QStringLiteral(":c"), cost},
                                    {QStringLiteral(":d"), l.damaged ? 1 : 0},
                                    {QStringLiteral(":pr"), r.price.toString()},
                                    {QStringLiteral(":ca"), there ? stock.value(2) : QVariant()}}));
            told << QStringLiteral("%1 %2%3").arg(r.name, l.quantity.toString(),
                                                  l.damaged ? QStringLiteral("（报损）") : QString());
            if (l.damaged || !there)
                continue; // written off, or the product was deleted since: no stock to take back
            const qint64 product = r.product.toLongLong();
            const Currency b4 =
                Db::storedNumber(stock.value(0), QStringLiteral("ab"), product, QStringLiteral("b4"));
            const Currency b9 =
                Db::storedNumber(stock.value(1), QStringLiteral("ab"), product, QStringLiteral("b9"));
            work.exec(QStringLiteral("update ab set b4 = :a, b9 = :b where bid = :p"),
                      {{QStringLiteral(":a"), (b4 + l.quantity).toSql()},
                       {QStringLiteral(":b"), (b9 + r.valueOf(l.quantity)).toSql()},
                       {QStringLiteral(":p"), r.product}});
            work.wrote(QStringLiteral("ab"), product);
            work.wrote(
                QStringLiteral("ae"),
                work.insert(QStringLiteral("insert into ae (e1,e2,e3,e6,e7,e8,e9,e11,e12,e13,e14,e15) values "
                                           "(:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l)"),
                            {{QStringLiteral(":a"), r.product},
                             {QStringLiteral(":b"), r.name},
                             {QStringLiteral(":c"), (Currency() - l.quantity).toString()},
                             {QStringLiteral(":d"), r.price.toString()},
                             {QStringLiteral(":e"), now},
                             {QStringLiteral(":f"), stock.value(2)},
                             {QStringLiteral(":g"), stock.value(3)},
                             {QStringLiteral(":h"), QString::number(order)},
                             {QStringLiteral(":i"), stock.value(4)},
                             {QStringLiteral(":j"), cost},
                             {QStringLiteral(":k"), Staff::signature()},
                             // A line of its own amount is reversed by its share of it.
                             {QStringLiteral(":l"),
                              r.ownAmount ? QVariant((Currency() - r.valueOf(l.quantity)).toString())
                                          : QVariant()}}));
        }
        QString how = way == Way::Cash ? CashWay : CardWay;
        if (way == Way::Card) {
            QSqlQuery member =
                work.exec(QStringLiteral("select j1, j6, j9 from aj where jid = :c") + work.forUpdate(),
                          {{QStringLiteral(":c"), p.order.card}});
            if (!member.next())
                throw Refused(QStringLiteral("找不到结算用的会员卡 %1").arg(p.order.card));
            const Currency balance =
                Db::storedNumber(member.value(2), QStringLiteral("aj"), p.order.card, QStringLiteral("j9"));
            const Currency left = balance + p.refund;
            work.exec(QStringLiteral("update aj set j9 = :b where jid = :c"),
                      {{QStringLiteral(":b"), left.toSql()}, {QStringLiteral(":c"), p.order.card}});
            work.wrote(QStringLiteral("aj"), p.order.card);
            // A card movement like a consumption, of the money given back: the card's records still
            // lead from one balance to the next.
            work.wrote(QStringLiteral("ag"),
                       work.insert(QStringLiteral("insert into ag (g1,g2,g3,g4,g5,g6,g7,g8,g9) values "
                                                  "(:a,:b,:c,:d,:e,:f,:g,:h,:i)"),
                                   {{QStringLiteral(":a"), member.value(0)},
                                    {QStringLiteral(":b"), (Currency() - p.refund).toSql()},
                                    {QStringLiteral(":c"), now},
                                    {QStringLiteral(":d"), left.toSql()},
                                    {QStringLiteral(":e"), QString::number(order)},
                                    {QStringLiteral(":f"), QString::number(p.order.card)},
                                    {QStringLiteral(":g"), member.value(1)},
                                    {QStringLiteral(":h"), Staff::signature()},
                                    {QStringLiteral(":i"), Refund}}));
            how += QStringLiteral(" %1，余额 %2 → %3")
                       .arg(p.order.card)
                       .arg(balance.toString(), left.toString());
        }
        work.exec(QStringLiteral("update aa set a12 = :s where aid = :o"),
                  {{QStringLiteral(":s"), p.state}, {QStringLiteral(":o"), order}});
        work.wrote(QStringLiteral("aa"), order);
        OpLog::write(work, {QStringLiteral("退货"), QStringLiteral("%1，退货单 %2").arg(key).arg(made),
                            told.join(QStringLiteral("；")),
                            QStringLiteral("退款 %1（%2），%3").arg(p.refund.toString(), how, reason)});
        work.commit();
        return Made{made, p.refund, p.state};
    });
}

} // namespace Returns
