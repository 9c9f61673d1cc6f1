#include "ledger/orders.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"

#include <QDir>
#include <QSettings>
#include <QSqlQuery>

namespace {

const QString NotEnoughStock = QStringLiteral("没有这么多库存了");
const QString SettledAlready = QStringLiteral("已结算的订单不可以修改！");
const QString ScansJoinKey = QStringLiteral("orders/scansJoinLines");

// An order's stored amount due, or the sum of its lines where none is stored.
Currency storedOrSum(const QSqlDatabase& db, qint64 order, const QVariant& stored) {
    if (stored.isNull() || stored.toString().isEmpty())
        return Orders::sumOfLines(db, order);
    return Db::storedNumber(stored, QStringLiteral("aa"), order, QStringLiteral("a5"));
}

// The amount due of an order inside a unit of work, refusing a settled order.
// On a server the order's row stays locked until the commit, so two tills adding to (or settling)
// the same order one after the other each see what the other wrote.
Currency openOrderAmount(Db::Work& work, qint64 order) {
    QSqlQuery row = work.exec(QStringLiteral("select a2, a5 from aa where aid=:a") + work.forUpdate(),
                              {{QStringLiteral(":a"), order}});
    if (!row.next())
        throw Refused(QStringLiteral("找不到该订单"));
    if (row.value(0).toString() == Orders::Settled)
        throw Refused(SettledAlready);
    return storedOrSum(work.db(), order, row.value(1));
}

void writeAmountDue(Db::Work& work, qint64 order, Currency amount) {
    work.exec(QStringLiteral("update aa set a5=:c where aid=:a "),
              {{QStringLiteral(":c"), amount.toSql()}, {QStringLiteral(":a"), order}});
    work.wrote(QStringLiteral("aa"), order);
}

// Writes a stock-out record with the product's cost price at this moment (empty when not known);
// a negative quantity reverses an earlier one. `amount` is the line's own amount (a scale's label),
// NULL where the record's amount is quantity × price.
void writeStockOut(Db::Work& work, const QString& product, const QString& name, Currency quantity,
                   const QString& price, const QString& major, const QString& minor, qint64 order,
                   const QString& unit, const QVariant& cost, const QVariant& amount = {}) {
    const qint64 record =
        work.insert(QStringLiteral("insert into ae (e1,e2,e3,e6,e7,e8,e9,e11,e12,e13,e14,e15)values "
                                   "(:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l)"),
                    {{QStringLiteral(":a"), product},
                     {QStringLiteral(":b"), name},
                     {QStringLiteral(":c"), quantity.toString()},
                     {QStringLiteral(":d"), price},
                     {QStringLiteral(":e"), Clock::nowText()},
                     {QStringLiteral(":f"), major},
                     {QStringLiteral(":g"), minor},
                     {QStringLiteral(":h"), QString::number(order)},
                     {QStringLiteral(":i"), unit},
                     {QStringLiteral(":j"), cost},
                     {QStringLiteral(":k"), Staff::signature()},
                     {QStringLiteral(":l"), amount}});
    work.wrote(QStringLiteral("ae"), record);
}

// A product's cost price as a stock-out record keeps it; NULL when the product has none or one
// that is no number (a file of an older version): the sale goes on, its profit is not known.
QVariant costPrice(const QVariant& stored, qint64 product) {
    if (stored.isNull() || stored.toString().trimmed().isEmpty())
        return {};
    try {
        return Db::storedNumber(stored, QStringLiteral("ab"), product, QStringLiteral("b6")).toSql();
    } catch (const LedgerError&) {
        return {};
    }
}

// The cost price carried by the stock-out record a removed line wrote: the newest record of the
// order for the same product, quantity and price (identical lines were sold at the same moment's
// cost unless the cost was edited between them). NULL when the record has none or is not found.
QVariant costOfLine(Db::Work& work, qint64 order, const QString& product, const QString& quantity,
                    const QString& price) {
    QSqlQuery record = work.exec(QStringLiteral("select e13 from ae where e11=:a and e1=:b and e3=:c and "
                                                "e6=:d order by eid desc limit 1"),
                                 {{QStringLiteral(":a"), QString::number(order)},
                                  {QStringLiteral(":b"), product},
                                  {QStringLiteral(":c"), quantity},
                                  {QStringLiteral(":d"), price}});
    return record.next() ? record.value(0) : QVariant();
}

bool isStored(const QVariant& amount) {
    return !amount.isNull() && !amount.toString().isEmpty();
}

// A line's amount: its own where it keeps one (a scale's label), else quantity × price.
Currency lineAmount(Currency quantity, Currency price, const QVariant& ownAmount, qint64 line) {
    if (isStored(ownAmount))
        return Db::storedNumber(ownAmount, QStringLiteral("ak"), line, QStringLiteral("k9"));
    return quantity * price;
}

QString orderKey(qint64 order) {
    return QStringLiteral("订单 %1").arg(order);
}

// An order in full, for the log of its deletion: its state, amounts and every line.
QString describeOrder(Db::Work& work, qint64 order) {
    QStringList parts;
    QSqlQuery head = work.exec(QStringLiteral("select a1, a2, a4, a5, a6, a8, a9 from aa where aid=:a"),
                               {{QStringLiteral(":a"), order}});
    if (head.next())
        parts << QStringLiteral("%1 %2 %3 应收 %4 实收 %5 开单 %6 结算 %7")
                     .arg(head.value(0).toString(), head.value(1).toString(), head.value(2).toString(),
                          head.value(3).toString(), head.value(4).toString(), head.value(5).toString(),
                          head.value(6).toString());
    QSqlQuery lines = work.exec(QStringLiteral("select k7, k3, k4, k5, k6 from ak where k8=:a order by kid"),
                                {{QStringLiteral(":a"), QString::number(order)}});
    while (lines.next())
        parts << QStringLiteral("产品 %1 %2 %3%4 × %5")
                     .arg(lines.value(0).toString(), lines.value(1).toString(), lines.value(2).toString(),
                          lines.value(3).toString(), lines.value(4).toString());
    return parts.join(QStringLiteral("；"));
}

} // namespace

namespace Orders {

LineAdded addLine(qint64 toOrder, qint64 productKey, Currency quantity, const QString& category, Join join) {
    if (quantity == Currency())
        throw Refused(NoQuantity);
    return addMeasuredLine(
        toOrder, productKey,
        [quantity](Currency, const QString&) {
            return Measured{quantity, {}};
        },
        category, join);
}

LineAdded addMeasuredLine(qint64 toOrder, qint64 productKey, const Measure& measure, const QString& category,
                          Join join) {
    Staff::require(Staff::Right::Sell, toOrder == 0 ? QStringLiteral("新订单") : orderKey(toOrder));
    return Db::perform(Db::business(), [&](Db::Work& work) -> LineAdded {
        // The product's row is locked first (on a server) and its stock read afresh: two tills selling
        // the last unit one after the other, the second is refused. Rows are always locked in the same
        // order (product, card, order), so two tills never wait for each other.
        QSqlQuery product = work.exec(
            QStringLiteral("select b1, b2, b3, b4, b5, b8, b9, b6 from ab where bid=:c") + work.forUpdate(),
            {{QStringLiteral(":c"), productKey}});
        if (!product.next())
            throw Refused(QStringLiteral("找不到该产品"));
        const QString major = product.value(0).toString();
        const QString minor = product.value(1).toString();
        const QString name = product.value(2).toString();
        const QString ab = QStringLiteral("ab");
        const Currency stock = Db::storedNumber(product.value(3), ab, productKey, QStringLiteral("b4"));
        const QString unit = product.value(4).toString();
        const Currency salePrice = Db::storedNumber(product.value(5), ab, productKey, QStringLiteral("b8"));
        const Currency stockValue = Db::storedNumber(product.value(6), ab, productKey, QStringLiteral("b9"));
        // The cost at the moment of the sale: later edits of the product do not change past profit.
        const QVariant cost = costPrice(product.value(7), productKey);
        const Measured measured = measure(salePrice, unit);
        const Currency quantity = measured.quantity;
        if (quantity == Currency())
            throw Refused(NoQuantity);
        if (quantity > stock)
            throw Refused(NotEnoughStock);
        // A line keeps an amount of its own only where quantity × price does not give it.
        const std::optional<Currency> ownAmount =
            measured.amount && *measured.amount != quantity * salePrice ? measured.amount : std::nullopt;
        const Currency amount = ownAmount.value_or(quantity * salePrice);
        const QVariant storedAmount = ownAmount ? QVariant(ownAmount->toString()) : QVariant();

        Currency due;
        // A new order's key is the attempt's own: an attempt run again makes the order again.
        qint64 order = toOrder;
        if (order == 0) {
            order = work.insert(QStringLiteral("insert into aa (a1,a2,a4,a8)values (:a,:b,:c,:d)"),
                                {{QStringLiteral(":a"), Clock::nowText()},
                                 {QStringLiteral(":b"), Unsettled},
                                 {QStringLiteral(":c"), category},
                                 {QStringLiteral(":d"), Staff::signature()}});
            OpLog::write(work, {OpLog::NewOrder, orderKey(order), {}, category});
            due = amount;
        } else {
            due = openOrderAmount(work, order) + amount;
        }

        const QString bid = QString::number(productKey);
        const QString price = salePrice.toString();
        // The line that takes the quantity when lines are joined: the order's last of the product
        // at this price, whose quantity stays above zero.
        qint64 joined = 0;
        Currency joinedQuantity;
        if (join == Join::SameLine && toOrder != 0 && !ownAmount) {
            // A line of its own amount (a weighed package) takes no other quantity.
            QSqlQuery same =
                work.exec(QStringLiteral("select kid, k4 from ak where k8=:o and k7=:p and k6=:k "
                                         "and k9 is null order by kid desc limit 1") +
                              work.forUpdate(),
                          {{QStringLiteral(":o"), QString::number(order)},
                           {QStringLiteral(":p"), bid},
                           {QStringLiteral(":k"), price}});
            if (same.next()) {
                const qint64 key = same.value(0).toLongLong();
                const Currency was =
                    Db::storedNumber(same.value(1), QStringLiteral("ak"), key, QStringLiteral("k4"));
                if (was + quantity > Currency()) {
                    joined = key;
                    joinedQuantity = was + quantity;
                }
            }
        }
        const qint64 lineKey =
            joined != 0
                ? joined
                : work.insert(
                      QStringLiteral(
                          "insert into ak (k1,k2,k3,k4,k5,k6,k7,k8,k9)values (:a,:b,:c,:d,:e,:f,:g,:h,:i)"),
                      {{QStringLiteral(":a"), major},
                       {QStringLiteral(":b"), minor},
                       {QStringLiteral(":c"), name},
                       {QStringLiteral(":d"), quantity.toString()},
                       {QStringLiteral(":e"), unit},
                       {QStringLiteral(":f"), price},
                       {QStringLiteral(":g"), bid},
                       {QStringLiteral(":h"), QString::number(order)},
                       {QStringLiteral(":i"), storedAmount}});
        if (joined != 0)
            work.exec(QStringLiteral("update ak set k4=:q where kid=:k"),
                      {{QStringLiteral(":q"), joinedQuantity.toString()}, {QStringLiteral(":k"), joined}});
        work.wrote(QStringLiteral("ak"), lineKey);
        writeStockOut(work, bid, name, quantity, price, major, minor, order, unit, cost, storedAmount);
        work.exec(QStringLiteral("update ab set b4=:a,b9=:b where bid=:c "),
                  {{QStringLiteral(":a"), (stock - quantity).toSql()},
                   {QStringLiteral(":b"), (stockValue - amount).toSql()},
                   {QStringLiteral(":c"), bid}});
        work.wrote(QStringLiteral("ab"), productKey);
        writeAmountDue(work, order, due);
        OpLog::write(work, {OpLog::AddLine,
                            QStringLiteral("%1，产品 %2，明细 %3").arg(orderKey(order), bid).arg(lineKey),
                            QStringLiteral("应收 %1").arg((due - amount).toString()),
                            QStringLiteral("%1 %2%3 × %4，应收 %5")
                                .arg(name, quantity.toString(), unit, price, due.toString())});
        work.commit();
        return {order, lineKey, due};
    });
}

bool scansJoinLines(const QString& folder) {
    const QSettings settings(QDir(folder).absoluteFilePath(Db::FolderSettingsFile), QSettings::IniFormat);
    return settings.value(ScansJoinKey, true).toBool();
}

void setScansJoinLines(const QString& folder, bool join) {
    QSettings settings(QDir(folder).absoluteFilePath(Db::FolderSettingsFile), QSettings::IniFormat);
    settings.setValue(ScansJoinKey, join);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DatabaseError(QStringLiteral("无法保存设置文件 %1").arg(settings.fileName()));
}

Currency removeLine(qint64 lineKey) {
    Staff::require(Staff::Right::RemoveLine, QStringLiteral("明细 %1").arg(lineKey));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        QSqlQuery line =
            work.exec(QStringLiteral("select k1, k2, k3, k4, k5, k6, k7, k8, k9 from ak where kid=:a") +
                          work.forUpdate(),
                      {{QStringLiteral(":a"), lineKey}});
        if (!line.next())
            throw Refused(QStringLiteral("订单中无内容"));
        const QString major = line.value(0).toString();
        const QString minor = line.value(1).toString();
        const QString name = line.value(2).toString();
        const Currency quantity =
            Db::storedNumber(line.value(3).toString(), QStringLiteral("ak"), lineKey, QStringLiteral("k4"));
        const QString unit = line.value(4).toString();
        const QString price = line.value(5).toString();
        const QVariant ownAmount = line.value(8);
        const Currency amount =
            lineAmount(quantity, Db::storedNumber(price, QStringLiteral("ak"), lineKey, QStringLiteral("k6")),
                       ownAmount, lineKey);
        const QString product = line.value(6).toString();
        const qint64 order = line.value(7).toLongLong();

        // The product before the order, as when a line is added.
        QSqlQuery stock = work.exec(QStringLiteral("select b4, b9 from ab where bid=:c") + work.forUpdate(),
                                    {{QStringLiteral(":c"), product}});
        const bool productExists = stock.next();
        const Currency due = openOrderAmount(work, order) - amount;
        // A product deleted since the line was added has no stock to take back, and so no
        // stock-out to reverse.
        if (productExists) {
            const Currency b4 = Db::storedNumber(stock.value(0), QStringLiteral("ab"), product.toLongLong(),
                                                 QStringLiteral("b4"));
            const Currency b9 = Db::storedNumber(stock.value(1), QStringLiteral("ab"), product.toLongLong(),
                                                 QStringLiteral("b9"));
            work.exec(QStringLiteral("update ab set b4=:a,b9=:b where bid=:c "),
                      {{QStringLiteral(":a"), (b4 + quantity).toSql()},
                       {QStringLiteral(":b"), (b9 + amount).toSql()},
                       {QStringLiteral(":c"), product}});
            work.wrote(QStringLiteral("ab"), product.toLongLong());
            writeStockOut(work, product, name, -quantity, price, major, minor, order, unit,
                          costOfLine(work, order, product, quantity.toString(), price),
                          isStored(ownAmount) ? QVariant((-amount).toString()) : QVariant());
        }
        work.exec(QStringLiteral("delete from ak where kid=:a"), {{QStringLiteral(":a"), lineKey}});
        work.wrote(QStringLiteral("ak"), lineKey);
        writeAmountDue(work, order, due);
        OpLog::write(work, {OpLog::RemoveLine,
                            QStringLiteral("%1，产品 %2，明细 %3").arg(orderKey(order), product).arg(lineKey),
                            QStringLiteral("%1 %2%3 × %4，应收 %5")
                                .arg(name, quantity.toString(), unit, price, (due + amount).toString()),
                            QStringLiteral("应收 %1").arg(due.toString())});
        work.commit();
        return due;
    });
}

void remove(qint64 order) {
    // A settled order asks for more than an open one: deleting it hides takings.
    const auto rightFor = [](const QString& status) {
        return status == Settled ? Staff::Right::DeleteSettled : Staff::Right::DeleteUnsettled;
    };
    if (Staff::inForce())
        Staff::require(rightFor(Db::scalar(Db::business(), QStringLiteral("select a2 from aa where aid = :a"),
                                           {{QStringLiteral(":a"), order}})
                                    .toString()),
                       orderKey(order));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        if (Staff::inForce()) {
            // Settled meanwhile at another till: asked again.
            const Staff::Right right =
                rightFor(work.scalar(QStringLiteral("select a2 from aa where aid = :a") + work.forUpdate(),
                                     {{QStringLiteral(":a"), order}})
                             .toString());
            if (!Staff::may(right))
                throw Staff::NoRight(right);
            OpLog::write(work, {OpLog::DeleteOrder, orderKey(order), describeOrder(work, order), {}});
        }
        for (QSqlQuery gone = work.exec(QStringLiteral("delete from ak where k8 = :a returning kid"),
                                        {{QStringLiteral(":a"), QString::number(order)}});
             gone.next();)
            work.wrote(QStringLiteral("ak"), gone.value(0).toLongLong());
        work.exec(QStringLiteral("delete from aa where aid = :a"), {{QStringLiteral(":a"), order}});
        work.wrote(QStringLiteral("aa"), order);
        work.commit();
    });
}

void setCategory(qint64 order, const QString& category) {
    Staff::require(Staff::Right::Sell, orderKey(order));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const QString was =
            work.scalar(QStringLiteral("select a4 from aa where aid=:b"), {{QStringLiteral(":b"), order}})
                .toString();
        work.exec(QStringLiteral("update aa set a4=:a where aid=:b "),
                  {{QStringLiteral(":a"), category}, {QStringLiteral(":b"), order}});
        work.wrote(QStringLiteral("aa"), order);
        OpLog::write(work, {OpLog::OrderCategory, orderKey(order), was, category});
        work.commit();
    });
}

Currency sumOfLines(const QSqlDatabase& db, qint64 order) {
    QSqlQuery lines = Db::exec(db, QStringLiteral("select k4, k6, kid, k9 from ak where k8=:a"),
                               {{QStringLiteral(":a"), QString::number(order)}});
    Currency sum;
    const QString ak = QStringLiteral("ak");
    while (lines.next()) {
        const qint64 line = lines.value(2).toLongLong();
        sum += lineAmount(Db::storedNumber(lines.value(0).toString(), ak, line, QStringLiteral("k4")),
                          Db::storedNumber(lines.value(1).toString(), ak, line, QStringLiteral("k6")),
                          lines.value(3), line);
    }
    return sum;
}

Currency amountDue(qint64 order) {
    return storedOrSum(Db::business(), order,
                       Db::scalar(Db::business(), QStringLiteral("select a5 from aa where aid=:a"),
                                  {{QStringLiteral(":a"), order}}));
}

int mendAmountsDue() {
    return mendAmountsDue(Db::business());
}

int mendAmountsDue(const QSqlDatabase& db) {
    QList<qint64> orders;
    QSqlQuery missing = Db::exec(
        db, QStringLiteral("select aid from aa where %1").arg(Db::holdsNoNumber(db, QStringLiteral("a5"))));
    while (missing.next())
        orders.append(missing.value(0).toLongLong());
    if (orders.isEmpty())
        return 0;
    Db::Work work(db);
    for (qint64 order : orders)
        writeAmountDue(work, order, sumOfLines(db, order));
    work.commit();
    return int(orders.size());
}

} // namespace Orders
