#include "core/barcode.h"

namespace Barcode {

int ean13CheckDigit(const QString& twelveDigits) {
    if (twelveDigits.size() != 12)
        return -1;
    int sum = 0;
    for (int i = 0; i < 12; ++i) {
        const QChar c = twelveDigits[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        sum += (c.unicode() - '0') * (i % 2 == 0 ? 1 : 3);
    }
    return (10 - sum % 10) % 10;
}

bool isEan13(const QString& code) {
    if (code.size() != 13)
        return false;
    const int check = ean13CheckDigit(code.left(12));
    return check >= 0 && code[12] == QLatin1Char(char('0' + check));
}

QString ean13(const QString& twelveDigits) {
    const int check = ean13CheckDigit(twelveDigits);
    return check < 0 ? QString() : twelveDigits + QLatin1Char(char('0' + check));
}

bool isStoreCode(const QString& code) {
    return isEan13(code) && code[0] == QLatin1Char('2');
}

} // namespace Barcode
