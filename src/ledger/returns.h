#pragma once

#include "core/money.h"

#include <QList>
#include <QString>
#include <optional>

// Returns (退货) against the original order: the goods come back to stock (or are written off as
// damaged), the money goes back the way it came (out of the drawer, or onto the member card that
// paid), and no line ever comes back beyond what was sold. One operation, one unit of work.
namespace Returns {

// What comes back of one line of the order.
struct Line {
    qint64 line = 0;      // the order line (ak.kid)
    Currency quantity;    // above zero, at most what is left of the line
    bool damaged = false; // written off (报损): no stock back, a loss at the cost stored at the sale
};

// A line of an order as a return sees it: what was sold and what came back already.
struct Returnable {
    qint64 line = 0;
    QString product; // its key, as text
    QString name;
    Currency price; // the line's price
    Currency sold;
    Currency returned;
    // The line's own amount where a scale's label gave one that quantity × price does not.
    std::optional<Currency> ownAmount;
    Currency left() const { return sold - returned; }
    // What a quantity of the line is worth: at its price, or its share of the line's own amount.
    Currency valueOf(Currency quantity) const;
};
// The lines of a settled order with what may still come back. Refused for an order that is not
// there or not settled.
QList<Returnable> returnable(qint64 order);

// The card that paid the order; 0 when it was paid in cash.
qint64 paidByCard(qint64 order);

// How the money goes back.
enum class Way { Cash, Card };
inline const QString CashWay = QStringLiteral("现金");
inline const QString CardWay = QStringLiteral("会员卡");

// The state an order shows after returns (aa.a12): none, some or all of it returned.
inline const QString Partly = QStringLiteral("部分退货");
inline const QString Wholly = QStringLiteral("已退货");

// The money a return gives back: each line's share of what was collected (the order's discount
// applies to it), to the fen; the return that brings the last goods of the order back gives the
// rest of what was collected, so the returns of an order add up to it exactly.
struct Made {
    qint64 key = 0;
    Currency refund;
    QString state; // the order's state after it
};
// Makes a return. Asks the right to take returns; a return older than the limit's days since the
// order or above its amount asks for the right beyond the limit (the owner's); money of a card
// sale given back in cash asks for its own right. Refused for a quantity not above zero or beyond
// what is left of its line, a line not of the order, a card refund of an order not paid by card.
// Logged, with the shift of this till counting cash refunds.
Made make(qint64 order, const QList<Line>& lines, Way way, const QString& reason);

// What a cashier may return without the owner: orders at most `days` old, refunds up to `amount`.
struct Limits {
    int days = 7;
    Currency amount = Currency::fromInt(200);
};
Limits limits();
void setLimits(const Limits& limits);

} // namespace Returns
