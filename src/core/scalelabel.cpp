#include "core/scalelabel.h"

#include "core/errors.h"

namespace {

bool allDigits(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return !text.isEmpty();
}

// Divides and rounds half away from zero.
int64_t roundedDivision(__int128 numerator, __int128 denominator) {
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    const __int128 half = denominator / 2;
    const __int128 q =
        numerator >= 0 ? (numerator + half) / denominator : -((-numerator + half) / denominator);
    if (q > INT64_MAX / 100 || q < INT64_MIN / 100)
        throw ConversionError(QStringLiteral("数值超出范围"));
    return int64_t(q);
}

} // namespace

namespace ScaleLabels {

QString Layout::problem() const {
    const auto inside = [this](int at, int digits) {
        return at >= 0 && digits > 0 && at + digits <= length - 1;
    };
    if (length < 8 || length > 20)
        return QStringLiteral("条码位数应在 8 到 20 之间");
    if (prefixDigits < 1 || prefixDigits > 4 || prefixFrom > prefixTo)
        return QStringLiteral("前缀设置不对");
    if (!inside(codeAt, codeDigits) || codeAt < prefixDigits)
        return QStringLiteral("商品码的位置不对");
    if (priceAt < 0 && weightAt < 0)
        return QStringLiteral("须有金额或重量");
    QList<std::pair<int, int>> fields{{codeAt, codeDigits}};
    if (priceAt >= 0) {
        if (!inside(priceAt, priceDigits) || priceDigits > 9 || priceAt < prefixDigits)
            return QStringLiteral("金额的位置不对");
        fields.append({priceAt, priceDigits});
    }
    if (weightAt >= 0) {
        if (!inside(weightAt, weightDigits) || weightDigits > 9 || weightAt < prefixDigits)
            return QStringLiteral("重量的位置不对");
        fields.append({weightAt, weightDigits});
    }
    for (int i = 0; i < fields.size(); ++i)
        for (int j = i + 1; j < fields.size(); ++j)
            if (fields[i].first < fields[j].first + fields[j].second &&
                fields[j].first < fields[i].first + fields[i].second)
                return QStringLiteral("各部分的位置重叠");
    return {};
}

QList<Layout> defaultLayouts() {
    // The two thirteen-digit layouts cannot share their prefixes: a label would always be read by
    // the first. Scales print 20 or 21 before a price, 22 to 29 before a weight.
    Layout price;
    price.name = QStringLiteral("13 位 金额（前缀 20-21 + 5 位商品码 + 5 位金额(分) + 校验位）");
    price.prefixTo = 21;
    price.priceAt = 7;
    price.priceDigits = 5;
    Layout weight;
    weight.name = QStringLiteral("13 位 重量（前缀 22-29 + 5 位商品码 + 5 位重量(克) + 校验位）");
    weight.prefixFrom = 22;
    weight.weightAt = 7;
    weight.weightDigits = 5;
    Layout both;
    both.name = QStringLiteral("18 位（前缀 20-29 + 5 位商品码 + 5 位重量(克) + 5 位金额(分) + 校验位）");
    both.length = 18;
    both.weightAt = 7;
    both.weightDigits = 5;
    both.priceAt = 12;
    both.priceDigits = 5;
    return {price, weight, both};
}

int checkDigit(const QString& digits) {
    if (!allDigits(digits))
        return -1;
    int sum = 0;
    for (qsizetype i = digits.size() - 1, weight = 3; i >= 0; --i, weight = 4 - weight)
        sum += (digits[i].unicode() - '0') * int(weight);
    return (10 - sum % 10) % 10;
}

std::optional<Label> read(const QString& code, const QList<Layout>& layouts) {
    const QString digits = code.trimmed();
    if (!allDigits(digits))
        return std::nullopt;
    for (const Layout& layout : layouts) {
        if (digits.size() != layout.length || !layout.problem().isEmpty())
            continue;
        const int prefix = digits.left(layout.prefixDigits).toInt();
        if (prefix < layout.prefixFrom || prefix > layout.prefixTo)
            continue;
        if (checkDigit(digits.left(layout.length - 1)) != digits.back().unicode() - '0')
            throw Refused(QStringLiteral("秤码 %1 的校验位不对，可能没有扫清楚，请重新扫描").arg(digits));
        Label label;
        label.productCode = digits.mid(layout.codeAt, layout.codeDigits);
        if (layout.priceAt >= 0) // fen: scaled by 100 more
            label.price =
                Currency::fromScaled(digits.mid(layout.priceAt, layout.priceDigits).toLongLong() * 100);
        if (layout.weightAt >= 0) // grams: a thousandth of a kilogram is 10 scaled
            label.weight =
                Currency::fromScaled(digits.mid(layout.weightAt, layout.weightDigits).toLongLong() * 10);
        return label;
    }
    return std::nullopt;
}

Line lineOf(const Label& label, Currency unitPrice, int gramsPerUnit) {
    if (gramsPerUnit <= 0)
        throw Refused(QStringLiteral("计量单位的克数不对"));
    Line line;
    if (label.weight) {
        // Grams → units of the product, to the gram's share (exact: 10 scaled a gram).
        const int64_t grams = label.weight->scaled() / 10;
        line.quantity =
            Currency::fromScaled(roundedDivision(__int128(grams) * Currency::Scale, gramsPerUnit));
    } else if (label.price) {
        if (unitPrice <= Currency())
            throw Refused(QStringLiteral("这个产品没有销售价，无法由秤签的金额算出重量"));
        // Price ÷ unit price, in grams, rounded to the gram.
        const int64_t grams =
            roundedDivision(__int128(label.price->scaled()) * gramsPerUnit, unitPrice.scaled());
        line.quantity =
            Currency::fromScaled(roundedDivision(__int128(grams) * Currency::Scale, gramsPerUnit));
    }
    if (label.price) {
        line.amount = *label.price;
    } else {
        // The weight at the unit price, rounded to the fen.
        const __int128 exact = __int128(line.quantity.scaled()) * unitPrice.scaled(); // scaled twice
        line.amount = Currency::fromScaled(roundedDivision(exact, __int128(Currency::Scale) * 100) * 100);
    }
    return line;
}

} // namespace ScaleLabels
