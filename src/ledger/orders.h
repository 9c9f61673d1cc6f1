#pragma once

#include "core/money.h"

#include <QString>
#include <functional>
#include <optional>

class QSqlDatabase;

// Orders and their lines. Every line added lowers its product's stock and writes a stock-out
// record; every line removed gives the stock back and writes the reversing stock-out record. The
// order's amount due is written in the same transaction as each line, so it always equals the sum
// of its lines.
namespace Orders {

inline const QString Unsettled = QStringLiteral("未结算");
inline const QString Settled = QStringLiteral("已结算");
inline const QString DefaultCategory = QStringLiteral("普通订单");
inline const QString NoQuantity = QStringLiteral("数量不能为0");

struct LineAdded {
    qint64 order = 0; // the order the line belongs to (new when none was given)
    qint64 line = 0;
    Currency amountDue; // the order's amount due with the line
};

// Adds `quantity` of the product to the order at the product's sale price. With order 0 the
// order is created first, unsettled, in the given category. Refused when the quantity exceeds
// the stock ("没有这么多库存了") or is 0 (NoQuantity), the product is gone or the order is
// settled. A negative quantity takes goods back.
//
// With `join`, a line of the same product at the same price already on the order takes the
// quantity instead of a new line (a scanner's second scan of a product counts it twice); its
// stock-out record is written for the quantity added, as for a line of its own.
enum class Join { NewLine, SameLine };
LineAdded addLine(qint64 order, qint64 product, Currency quantity, const QString& category = DefaultCategory,
                  Join join = Join::NewLine);

// A line whose quantity and amount are known only once the product is read (its sale price and
// unit), in the same transaction: a scale's label. An amount given is the line's own where
// quantity × price does not give it to the fen; such a line is never joined by another.
struct Measured {
    Currency quantity;
    std::optional<Currency> amount;
};
using Measure = std::function<Measured(Currency salePrice, const QString& unit)>;
LineAdded addMeasuredLine(qint64 order, qint64 product, const Measure& measure,
                          const QString& category = DefaultCategory, Join join = Join::NewLine);

// Whether scans on this till join the lines of one product (the default) or give each scan a line
// of its own. Kept in the working folder's settings file.
bool scansJoinLines(const QString& folder);
void setScansJoinLines(const QString& folder, bool join);

// Removes a line: its product gets the stock back, a stock-out record with the negated quantity
// reverses the line's record, and the order's amount due falls by the line's amount. Returns the
// new amount due.
Currency removeLine(qint64 line);

// Deletes the order and its lines. The stock is not given back and the stock-out records stay:
// the goods left the shop.
void remove(qint64 order);

// Puts the order into another category.
void setCategory(qint64 order, const QString& category);

// The order's amount due: the stored one, or the sum of its lines where none is stored (orders
// written by older versions, cut off before their total was written).
Currency amountDue(qint64 order);
// The sum of the order's lines (quantity × price, or the line's own amount).
Currency sumOfLines(const QSqlDatabase& db, qint64 order);

// Writes the sum of its lines into every order that has no amount due stored; returns how many.
// Run when the files are opened, on the business file (the first form) or on a given one.
int mendAmountsDue();
int mendAmountsDue(const QSqlDatabase& db);

} // namespace Orders
