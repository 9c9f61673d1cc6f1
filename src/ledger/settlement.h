#pragma once

#include "core/money.h"

#include <QString>

class QObject;
class SharedQuery;

// Paying an order: in cash, or from a member's prepaid card. An order is paid once: the settling
// update changes only an order that is still unsettled, so a second payment (from another window,
// or a checkout left open) is refused and writes nothing.
namespace Settlement {

// The refusal for an order that has been paid already.
inline const QString AlreadySettled = QStringLiteral("已结算的订单不可以再次结算！");
inline const QString OrderNotFound = QStringLiteral("找不到该订单，无法结算！");
inline const QString BalanceTooLow = QStringLiteral("卡中余额不足，请先给会员卡充值再结帐。或使用现金结算");
// The refusal for a card that is gone, with its number.
QString cardNotFound(qint64 card);

// The list of the orders still to be paid, newest first.
QString unsettledOrdersStatement();

// The lists a payment shows besides the shared ones, on the business file: an order's lines
// (table "ak") and the member cards to pay from (table "aj"). Closed until opened.
SharedQuery* newOrderLinesList(const QString& name, QObject* parent);
SharedQuery* newCardsList(const QString& name, QObject* parent);

// The amount to collect for an amount due at a discount factor given as typed ("0.9" for 九折,
// "0.85"): the product as the shortest decimal text of the double, so 12.35 × 0.9 is 11.115.
// A factor that is no number raises ConversionError.
Currency discounted(Currency amountDue, const QString& factor);

// A settlement below this share of the amount due (0.9: under 九折) asks for the right to give a
// discount. The shop's setting, 0.9 until one is set.
double discountLimit();
inline constexpr double SmallestDiscountLimit = 0.1;
// Sets it, for every till (asks for the right to change settings; logged). Refused outside 0.1
// (一折) to 1 (every discount asks); kept to two decimals.
void setDiscountLimit(double limit);

// Marks the order settled with the amount received. Refused when the order is settled already or
// gone.
void payCash(qint64 order, Currency received);

struct CardPaid {
    qint64 record = 0;    // the consumption record written
    Currency balanceLeft; // the card's balance after the payment
};

// Pays the order from the card: the order is marked settled with the amount, the card's balance
// falls by it and a consumption record notes the payment, all three or none. Refused when the
// card's balance does not cover the amount (an equal balance does), when the order is settled
// already or gone, and when the card is gone.
CardPaid payByCard(qint64 order, qint64 card, Currency amount);

} // namespace Settlement
