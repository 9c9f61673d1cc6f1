#include "ledger/settlement.h"

#include "core/clock.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/sharedquery.h"
#include "data/work.h"
#include "ledger/orders.h"

#include <QSqlQuery>

namespace {

// After a settling update that changed nothing: tells a paid order from a missing one.
[[noreturn]] void refuseUnsettledUpdate(Db::Work& work, qint64 order) {
    const bool exists =
        work.scalar(QStringLiteral("select count(*) from aa where aid=:a"), {{QStringLiteral(":a"), order}})
            .toInt() > 0;
    throw Refused(exists ? Settlement::AlreadySettled : Settlement::OrderNotFound);
}

} // namespace

namespace Settlement {

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
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const QSqlQuery update = work.exec(
            QStringLiteral("update aa set a6=:a,a2=:b where aid=:c and a2='%1'").arg(Orders::Unsettled),
            {{QStringLiteral(":a"), received.toSql()},
             {QStringLiteral(":b"), Orders::Settled},
             {QStringLiteral(":c"), order}});
        if (update.numRowsAffected() <= 0)
            refuseUnsettledUpdate(work, order);
        work.wrote(QStringLiteral("aa"), order);
        work.commit();
    });
}

CardPaid payByCard(qint64 order, qint64 card, Currency amount) {
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

        const QSqlQuery settled = work.exec(
            QStringLiteral("update aa set a6=:b,a2=:c where aid=:a and a2='%1'").arg(Orders::Unsettled),
            {{QStringLiteral(":a"), order},
             {QStringLiteral(":b"), amount.toSql()},
             {QStringLiteral(":c"), Orders::Settled}});
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

        const qint64 recordKey =
            work.insert(QStringLiteral("insert into ag (g1,g2,g3,g4,g5,g6,g7)values (:a,:b,:c,:d,:e,:f,:g)"),
                        {{QStringLiteral(":a"), name},
                         {QStringLiteral(":b"), amount.toSql()},
                         {QStringLiteral(":c"), Clock::nowText()},
                         {QStringLiteral(":d"), left.toSql()},
                         {QStringLiteral(":e"), QString::number(order)},
                         {QStringLiteral(":f"), QString::number(card)},
                         {QStringLiteral(":g"), salutation}});
        work.wrote(QStringLiteral("ag"), recordKey);
        work.commit();
        return {recordKey, left};
    });
}

} // namespace Settlement
