#pragma once

#include "core/scalelabel.h"
#include "ledger/orders.h"

#include <optional>

// Goods sold by the scale's label: the label layouts the shop's scales print, kept with the
// ledger so every till reads them alike, and the order line a scanned label makes.
namespace Weighed {

// The shop's layouts: the stored ones, or the common ones (ScaleLabels::defaultLayouts) until
// the shop stores its own. A stored text that cannot be read gives the common ones.
QList<ScaleLabels::Layout> layouts();
// Stores the layouts (at least one). Refused when one cannot be read by (its problem), or two
// have the same length and overlapping prefixes (a label would be read by the first only).
void storeLayouts(const QList<ScaleLabels::Layout>& layouts);

// The grams in one unit a product is sold by (公斤 1000, 斤 500, 两 50, 克 1); 0 for a unit that
// is no weight.
int gramsPerUnit(const QString& unit);

// A unit of weight: its quantities have three decimals (to the gram).
inline bool soldByWeight(const QString& unit) {
    return gramsPerUnit(unit) > 0;
}

// The message when a scanned code is no product's barcode and, read as a label, its code at the
// scale is no product's either (an in-store code of a product since deleted reads as a label too).
QString unknownCodeMessage(const QString& scanned, const QString& scaleCode);

// Adds the line a scanned label makes to the order (0: a new order, as Orders::addLine): the
// product whose 称重码 is the label's code, its quantity the weight (or the label's price ÷ the
// sale price, to the gram) and its amount the label's price to the fen. None when the code is no
// label of the shop's layouts (an ordinary barcode). Refused when the check digit is wrong, no
// product has the code, the product is not sold by weight, or as Orders::addLine refuses.
std::optional<Orders::LineAdded> addLabel(qint64 order, const QString& code,
                                          const QString& category = Orders::DefaultCategory);

} // namespace Weighed
