#include "core/money.h"

#include "core/errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

using i128 = __int128;

[[noreturn]] void notANumber(const QString& text) {
    throw ConversionError(QStringLiteral("'%1' is not a valid floating point value").arg(text));
}

[[noreturn]] void outOfRange(const QString& what) {
    throw ConversionError(QStringLiteral("数值超出范围: %1").arg(what));
}

int64_t checked(i128 value, const QString& what) {
    if (value > std::numeric_limits<int64_t>::max() || value < std::numeric_limits<int64_t>::min())
        outOfRange(what);
    return int64_t(value);
}

// The same, the text of what was computed made only when it is out of range.
template <typename What> int64_t checked(i128 value, const What& what) {
    if (value > std::numeric_limits<int64_t>::max() || value < std::numeric_limits<int64_t>::min())
        outOfRange(what());
    return int64_t(value);
}

// Divides and rounds half to even.
i128 divRoundEven(i128 num, i128 den) {
    i128 q = num / den;
    i128 r = num % den;
    if (r == 0)
        return q;
    i128 twice = (r < 0 ? -r : r) * 2;
    bool negative = (num < 0) != (den < 0);
    if (twice > den || (twice == den && (q % 2 != 0)))
        q += negative ? -1 : 1;
    return q;
}

// The exact text of a scaled amount ("-12.5"), written into `out` (at least 24 characters);
// returns its length.
int scaledChars(int64_t scaled, char* out) {
    const bool negative = scaled < 0;
    // Work on the magnitude as unsigned so the most negative value is safe.
    const uint64_t magnitude = negative ? uint64_t(0) - uint64_t(scaled) : uint64_t(scaled);
    char* p = out;
    if (negative)
        *p++ = '-';
    p = std::to_chars(p, out + 24, magnitude / Currency::Scale).ptr;
    uint64_t frac = magnitude % Currency::Scale;
    if (frac != 0) {
        int digits = 4;
        while (frac % 10 == 0) {
            frac /= 10;
            --digits;
        }
        *p++ = '.';
        for (int i = digits - 1; i >= 0; --i, frac /= 10)
            p[i] = char('0' + frac % 10);
        p += digits;
    }
    return int(p - out);
}

QString scaledText(int64_t scaled) {
    char text[24];
    return QString::fromLatin1(text, scaledChars(scaled, text));
}

// A plain decimal text ("12", "-3.25", at most 4 decimals, nothing around it, not too long):
// the amount, as the full parse gives it; false for anything else.
bool parsePlain(const QChar* text, qsizetype n, Currency* amount) {
    qsizetype i = 0;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int64_t value = 0;
    int digits = 0, decimals = 0;
    auto digit = [&] {
        if (digits++ < 18) // a longer text is left to the full parse
            value = value * 10 + (text[i].unicode() - u'0');
    };
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
        digit();
    if (i < n && text[i] == u'.')
        for (++i; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i, ++decimals)
            digit();
    // The scaled value has digits + 4 - decimals digits: at most 18 fit without a check.
    if (i != n || digits == 0 || decimals > 4 || digits + 4 - decimals > 18)
        return false;
    for (int d = decimals; d < 4; ++d)
        value *= 10;
    *amount = Currency::fromScaled(negative ? -value : value);
    return true;
}

} // namespace

Currency Currency::fromInt(int64_t whole) {
    return fromScaled(checked(i128(whole) * Scale, [&] { return QString::number(whole); }));
}

Currency Currency::parse(const QString& input) {
    if (Currency plain; parsePlain(input.constData(), input.size(), &plain))
        return plain;
    const QString text = input.trimmed();
    int i = 0;
    const int n = text.size();
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    QString intDigits, fracDigits;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128)
        intDigits += text[i++];
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            fracDigits += text[i++];
    }
    if (intDigits.isEmpty() && fracDigits.isEmpty())
        notANumber(input);
    long long exponent = 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
            expNegative = text[i++] == QLatin1Char('-');
        QString expDigits;
        while (i < n && text[i].isDigit() && text[i].unicode() < 128)
            expDigits += text[i++];
        if (expDigits.isEmpty() || expDigits.size() > 6)
            notANumber(input);
        exponent = expDigits.toLongLong();
        if (expNegative)
            exponent = -exponent;
    }
    if (i != n)
        notANumber(input);

    // value = digits * 10^(exponent - fracDigits); scaled = value * 10^4.
    QString digits = intDigits + fracDigits;
    long long shift = exponent - fracDigits.size() + 4;
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits == QLatin1String("0"))
        return Currency();
    QString wholePart, dropped;
    if (shift >= 0) {
        if (digits.size() + shift > 20)
            outOfRange(input);
        wholePart = digits + QString(int(shift), QLatin1Char('0'));
    } else {
        long long keep = digits.size() + shift;
        if (keep <= 0) {
            dropped = QString(int(-keep), QLatin1Char('0')) + digits;
        } else {
            wholePart = digits.left(int(keep));
            dropped = digits.mid(int(keep));
        }
    }
    if (wholePart.size() > 20)
        outOfRange(input);
    i128 value = 0;
    for (QChar c : wholePart)
        value = value * 10 + (c.unicode() - '0');
    if (!dropped.isEmpty()) {
        // Round the dropped digits half to even.
        int first = dropped[0].unicode() - '0';
        bool restNonZero = false;
        for (int k = 1; k < dropped.size(); ++k)
            restNonZero = restNonZero || dropped[k] != QLatin1Char('0');
        if (first > 5 || (first == 5 && (restNonZero || value % 2 != 0)))
            value += 1;
    }
    return fromScaled(checked(negative ? -value : value, input));
}

Currency Currency::parseUtf8(QByteArrayView text) {
    // A short text of ASCII characters is tried as a plain number without making a QString.
    QChar wide[32];
    bool ascii = text.size() <= qsizetype(std::size(wide));
    for (qsizetype i = 0; ascii && i < text.size(); ++i) {
        ascii = uchar(text[i]) < 0x80;
        wide[i] = QLatin1Char(text[i]);
    }
    if (Currency plain; ascii && parsePlain(wide, text.size(), &plain))
        return plain;
    return parse(QString::fromUtf8(text));
}

Currency Currency::fromDouble(double value) {
    if (!std::isfinite(value) || std::fabs(value) * Scale > 9.2e18)
        outOfRange(QString::number(value));
    return fromScaled(int64_t(std::nearbyint(value * Scale)));
}

Currency Currency::fromVariant(const QVariant& value) {
    if (value.isNull())
        return Currency();
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return fromInt(value.toLongLong());
    case QMetaType::Double:
        // Parse the shortest text of the double so 10.005 stays 10.005.
        return parse(formatGeneral(value.toDouble()));
    default:
        return parse(value.toString());
    }
}

QString Currency::exactText() const {
    return scaledText(m_scaled);
}

QVariant Currency::toSql() const {
    char exact[24];
    const int length = scaledChars(m_scaled, exact);
    int significant = 0;
    bool leading = true;
    bool fraction = false;
    int trailingZeros = 0;
    for (int i = 0; i < length; ++i) {
        const char c = exact[i];
        if (c == '.')
            fraction = true;
        if (c < '0' || c > '9')
            continue;
        trailingZeros = c == '0' ? trailingZeros + 1 : 0;
        if (!(leading && c == '0')) {
            leading = false;
            ++significant;
        }
    }
    // Trailing zeros of a whole number are no digits a float loses (a lone "0" counts none).
    if (!fraction)
        significant -= std::min(trailingZeros, length - (exact[0] == '-' ? 1 : 0) - 1);
    if (significant > 15)
        throw ConversionError(
            QStringLiteral("数值 %1 超过15位有效数字，无法准确保存").arg(QString::fromLatin1(exact, length)));
    return QString::fromLatin1(exact, length);
}

QString Currency::toString() const {
    QString exact = scaledText(m_scaled);
    int significant = 0;
    for (QChar c : exact)
        significant += c.isDigit() ? 1 : 0;
    return significant <= 15 ? exact : formatGeneral(toDouble());
}

Currency Currency::operator+(Currency other) const {
    return fromScaled(checked(i128(m_scaled) + other.m_scaled,
                              [&] { return QStringLiteral("%1 + %2").arg(toString(), other.toString()); }));
}

Currency Currency::operator-(Currency other) const {
    return fromScaled(checked(i128(m_scaled) - other.m_scaled,
                              [&] { return QStringLiteral("%1 - %2").arg(toString(), other.toString()); }));
}

Currency Currency::operator-() const {
    return fromScaled(checked(-i128(m_scaled), [&] { return toString(); }));
}

Currency Currency::operator*(Currency other) const {
    i128 product = divRoundEven(i128(m_scaled) * other.m_scaled, Scale);
    return fromScaled(
        checked(product, [&] { return QStringLiteral("%1 × %2").arg(toString(), other.toString()); }));
}

QString formatGeneral(double value) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0)
        return QStringLiteral("0");
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
    // buf holds e.g. "-1.23450000000000e+01": 15 significant digits and the exponent.
    const QString sci = QString::fromLatin1(buf, int(res.ptr - buf));
    const bool negative = sci.startsWith(QLatin1Char('-'));
    const QString body = negative ? sci.mid(1) : sci;
    const int ePos = int(body.indexOf(QLatin1Char('e')));
    const int exponent = body.mid(ePos + 1).toInt();
    QString digits = body.left(1) + body.mid(2, ePos - 2);
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);
    QString out;
    if (exponent >= 15 || exponent < -5) {
        out = digits.left(1);
        if (digits.size() > 1)
            out += QLatin1Char('.') + digits.mid(1);
        out += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent < 0) {
        out = QStringLiteral("0.") + QString(-exponent - 1, QLatin1Char('0')) + digits;
    } else if (exponent + 1 >= digits.size()) {
        out = digits + QString(exponent + 1 - int(digits.size()), QLatin1Char('0'));
    } else {
        out = digits.left(exponent + 1) + QLatin1Char('.') + digits.mid(exponent + 1);
    }
    return negative ? QLatin1Char('-') + out : out;
}
