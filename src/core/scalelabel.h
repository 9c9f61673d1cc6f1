#pragma once

#include "core/money.h"

#include <QList>
#include <QString>
#include <optional>

// The labels a shop's scales print on weighed goods: a barcode whose leading digits (20 to 29)
// mark an in-store code, then the product's code at the scale, the price or the weight, and a
// check digit. Each scale has its layout; the shop names the ones its scales print.
namespace ScaleLabels {

struct Layout {
    QString name;         // as the settings list it ("13 位 金额")
    int length = 13;      // digits, the check digit last
    int prefixDigits = 2; // the leading digits that mark a label, from..to
    int prefixFrom = 20, prefixTo = 29;
    int codeAt = 2, codeDigits = 5;      // the product's code at the scale
    int priceAt = -1, priceDigits = 0;   // the amount in fen; -1: none
    int weightAt = -1, weightDigits = 0; // the weight in grams; -1: none

    // Why the layout cannot be read by (fields outside the code, overlapping, neither price nor
    // weight); empty when it can.
    QString problem() const;
};

// The common layouts: thirteen digits with the price, thirteen with the weight, and eighteen
// with both.
QList<Layout> defaultLayouts();

// What a label says.
struct Label {
    QString productCode;
    std::optional<Currency> price;  // yuan, to the fen
    std::optional<Currency> weight; // kilograms, to the gram
};

// The check digit of the digits before it, as GS1 codes of any length compute it (weights 3 and
// 1 from the right); -1 when they are not all digits.
int checkDigit(const QString& digits);

// Reads a scanned code by the first layout whose length and prefix it has; none when it is no
// label of these layouts (an ordinary barcode). The shop's own in-store codes share the prefixes:
// a code that is some product's barcode is that product, and only then is it read as a label. A label whose
// check digit does not match is refused (Refused) with a message that asks to scan it again.
std::optional<Label> read(const QString& code, const QList<Layout>& layouts);

// The line a label makes for a product sold at `unitPrice` per unit of `gramsPerUnit` grams
// (1000 for 公斤, 500 for 斤): the quantity is the weight, or the price divided by the unit price
// rounded to the gram; the amount is the label's price, or the weight at the unit price rounded
// to the fen. Refused when it cannot be made (a price-only label for a product without a price).
struct Line {
    Currency quantity;
    Currency amount;
};
Line lineOf(const Label& label, Currency unitPrice, int gramsPerUnit = 1000);

} // namespace ScaleLabels
