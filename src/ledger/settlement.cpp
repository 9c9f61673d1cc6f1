#include "ledger/settlement.h"

#include "core/clock.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/sharedquery.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/shifts.h"
#include "ledger/shopsettings.h"
#include "ledger/staff.h"

#include <QSqlQuery>
#include <cmath>

namespace {

// After a settling update that changed nothing: tells a paid order from a missing one.
[[noreturn]] void refuseUnsettledUpdate(Db::Work& work, qint64 order) {
    const bool exists =
        work.scalar(QStringLiteral("select count(*) from aa where aid=:a"), {{QStringLiteral(":a"), order}})
            .toInt() > 0;
    throw Refused(exists ? Settlement::AlreadySettled : Settlement::OrderNotFound);
}

// How an order was paid, as its row keeps it.
const QString Cash = QStringLiteral("现金");
const QString Card = QStringLiteral("会员卡");

// The shift of this till the settlement is counted in; NULL when none is open.
QVariant shiftOf(Db::Work& work) {
    const qint64 key = Shifts::currentKey(work);
    return key == 0 ? QVariant() : QVariant(QString::number(key));
}

// A settlement below this share of the amount due is a discount that asks for its own right,
// unless the shop set another (九折 as 0.9).
constexpr double DefaultDiscountLimit = 0.9;
const QString DiscountLimitName = QStringLiteral("discount.limit");

// The rights a settlement asks for: to sell, and to give a discount below the limit.
void requireToSettle(qint64 order, Currency collected) {
    const QString key = QStringLiteral("订单 %1").arg(order);
    Staff::require(Staff::Right::Sell, key);
    if (!Staff::inForce())
        return;
    const Currency due = Orders::amountDue(order);
    if (collected.toDouble() < due.toDouble() * Settlement::discountLimit())
        Staff::require(Staff::Right::Discount,
                       QStringLiteral("%1，应收 %2，实收 %3").arg(key, due.toString(), collected.toString()));
}

// The settlement in the log: the amount due and what was collected, and how.
void logSettlement(Db::Work& work, const QString& action, qint64 order, Currency collected,
                   const QString& how) {
    if (!Staff::inForce())
        return;
    const QVariant due =
        work.scalar(QStringLiteral("select a5 from aa where aid=:a"), {{QStringLiteral(":a"), order}});
    OpLog::write(work, {action, QStringLiteral("订单 %1").arg(order),
                        QStringLiteral("%1 应收 %2").arg(Orders::Unsettled, due.toString()),
                        QStringLiteral("%1 实收 %2%3").arg(Orders::Settled, collected.toString(), how)});
}

} // namespace

namespace Settlement {

double discountLimit() {
    bool ok = false;
    const double limit = ShopSettings::value(DiscountLimitName).toDouble(&ok);
    // A stored text that is no limit (edited by hand) is the default, not "no limit at all".
    return ok && limit >= SmallestDiscountLimit && limit <= 1.0 ? limit : DefaultDiscountLimit;
}

void setDiscountLimit(double limit) {
    // Two decimals at most: 8.5 折 is 0.85.
    const double rounded = std::round(limit * 100) / 100;
    if (!(rounded >= SmallestDiscountLimit && rounded <= 1.0))
        throw Refused(QStringLiteral("折扣限额应在一折到十折之间"));
    Staff::require(Staff::Right::Settings, QStringLiteral("折扣限额"));
    const QString before = QString::number(discountLimit(), 'g', 3);
    const QString after = QString::number(rounded, 'g', 3);
    Db::perform(Db::business(), [&](Db::Work& work) {
        ShopSettings::store(work, DiscountLimitName, after);
        OpLog::write(work, {OpLog::Settings, QStringLiteral("折扣限额"), before, after});
        work.commit();
    });
}

Currency discounted(Currency amountDue, const QString& factor) {
    const double product = amountDue.toDouble() * Currency::parse(factor).toDouble();
    // The shortest text of the double, so that 12.35 × 0.9 is 11.115 and not 11.114999….
    return Currency::parse(formatGeneral(product));
}

QString cardNotFound(qint64 card) {
    return QStringLiteral("找不到%1号会员卡，订单没有结算！").arg(card);
}

QString unsettledOrdersStatement() {
    return QStringLiteral("select * from aa where a2 like '%1' order by aid desc").arg(Orders::Unsettled);
}

SharedQuery* newOrderLinesList(const QString& name, QObject* parent) {
    return new SharedQuery(name, Db::Business, QStringLiteral("ak"), QStringLiteral("kid"), parent);
}

SharedQuery* newCardsList(const QString& name, QObject* parent) {
    return new SharedQuery(name, Db::Business, QStringLiteral("aj"), QStringLiteral("jid"), parent);
}

void payCash(qint64 order, Currency received) {
    requireToSettle(order, received);
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const QSqlQuery update =
            work.exec(QStringLiteral("update aa set a6=:a,a2=:b,a9=:d,a10=:s,a11=:t where aid=:c and a2='%1'")
                          .arg(Orders::Unsettled),
                      {{QStringLiteral(":a"), received.toSql()},
                       {QStringLiteral(":b"), Orders::Settled},
                       {QStringLiteral(":c"), order},
                       {QStringLiteral(":d"), Staff::signature()},
                       {QStringLiteral(":s"), shiftOf(work)},
                       {QStringLiteral(":t"), Cash}});
        if (update.numRowsAffected() <= 0)
            refuseUnsettledUpdate(work, order);
        work.wrote(QStringLiteral("aa"), order);
        logSettlement(work, OpLog::PayCash, order, received, {});
        work.commit();
    });
}

CardPaid payByCard(qint64 order, qint64 card, Currency amount) {
    requireToSettle(order, amount);
    return Db::perform(Db::business(), [&](Db::Work& work) -> CardPaid {
        QSqlQuery member =
            work.exec(QStringLiteral("select j1, j6, j9 from aj where jid=:a") + work.forUpdate(),
                      {{QStringLiteral(":a"), card}});
        const bool cardExists = member.next();
        const QString name = cardExists ? member.value(0).toString() : QString();
        const QString salutation = cardExists ? member.value(1).toString() : QString();
        const Currency balance =
            cardExists ? Db::storedNumber(member.value(2), QStringLiteral("aj"), card, QStringLiteral("j9"))
                       : Currency();
        if (cardExists && balance < amount)
            throw Refused(BalanceTooLow);

        const QSqlQuery settled =
            work.exec(QStringLiteral("update aa set a6=:b,a2=:c,a9=:d,a10=:s,a11=:t where aid=:a and a2='%1'")
                          .arg(Orders::Unsettled),
                      {{QStringLiteral(":a"), order},
                       {QStringLiteral(":b"), amount.toSql()},
                       {QStringLiteral(":c"), Orders::Settled},
                       {QStringLiteral(":d"), Staff::signature()},
                       {QStringLiteral(":s"), shiftOf(work)},
                       {QStringLiteral(":t"), Card}});
        if (settled.numRowsAffected() <= 0)
            refuseUnsettledUpdate(work, order);
        // A paid order is refused before a missing card, as the order is written first.
        if (!cardExists)
            throw Refused(cardNotFound(card));
        work.wrote(QStringLiteral("aa"), order);

        const Currency left = balance - amount;
        work.exec(QStringLiteral("update aj set j9=:b where jid=:a "),
                  {{QStringLiteral(":a"), card}, {QStringLiteral(":b"), left.toSql()}});
        work.wrote(QStringLiteral("aj"), card);

        const qint64 recordKey = work.insert(
            QStringLiteral("insert into ag (g1,g2,g3,g4,g5,g6,g7,g8)values (:a,:b,:c,:d,:e,:f,:g,:h)"),
            {{QStringLiteral(":a"), name},
             {QStringLiteral(":b"), amount.toSql()},
             {QStringLiteral(":c"), Clock::nowText()},
             {QStringLiteral(":d"), left.toSql()},
             {QStringLiteral(":e"), QString::number(order)},
             {QStringLiteral(":f"), QString::number(card)},
             {QStringLiteral(":g"), salutation},
             {QStringLiteral(":h"), Staff::signature()}});
        work.wrote(QStringLiteral("ag"), recordKey);
        logSettlement(
            work, OpLog::PayByCard, order, amount,
            QStringLiteral("，会员卡 %1 余额 %2 → %3").arg(card).arg(balance.toString(), left.toString()));
        work.commit();
        return {recordKey, left};
    });
}

} // namespace Settlement
