#pragma once

#include <QString>

// Article numbers on products: EAN-13 check digits and the shop's own codes.
namespace Barcode {

// The check digit of the first twelve digits of an EAN-13 (weights 1 and 3 from the left);
// -1 when the text is not twelve digits.
int ean13CheckDigit(const QString& twelveDigits);

// True for thirteen digits whose last one is the check digit of the others.
bool isEan13(const QString& code);

// The in-store EAN-13 after the given twelve-digit serial ("200000000001" gives
// "2000000000015"): the serial with its check digit.
QString ean13(const QString& twelveDigits);

// True for a code a shop gives its own goods: an EAN-13 whose first two digits are 20 to 29.
bool isStoreCode(const QString& code);

} // namespace Barcode
