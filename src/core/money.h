#pragma once

#include <QString>
#include <QVariant>
#include <compare>
#include <cstdint>

// A money or quantity amount with four decimal places, held as a 64-bit integer scaled by 10,000.
// Sums and differences are exact; a product is rounded to four decimals, ties to even. A result
// that does not fit raises ConversionError instead of wrapping around.
class Currency {
public:
    static constexpr int64_t Scale = 10000;

    constexpr Currency() = default;
    static constexpr Currency fromScaled(int64_t scaled) {
        Currency c;
        c.m_scaled = scaled;
        return c;
    }
    static Currency fromInt(int64_t whole);
    // Parses a number text: blanks around it, a sign, a fraction with ".", an exponent ("1e3").
    // Throws ConversionError "'<text>' is not a valid floating point value" for anything else.
    static Currency parse(const QString& text);
    // The same for a text in UTF-8.
    static Currency parseUtf8(QByteArrayView text);
    // A stored or displayed value: numbers convert exactly to 4 decimals, texts are parsed, NULL is 0.
    static Currency fromVariant(const QVariant& value);
    static Currency fromDouble(double value);

    int64_t scaled() const { return m_scaled; }
    double toDouble() const { return double(m_scaled) / Scale; }
    // The general number format: no trailing zeros, "." as decimal point ("12.5", "100").
    QString toString() const;
    // Every digit, no trailing zeros ("7522745523675.3849").
    QString exactText() const;
    // The value to bind to a numeric column: the exact decimal text. The column keeps a binary
    // float, exact to 15 significant digits: a value with more is refused (ConversionError)
    // rather than stored rounded.
    QVariant toSql() const;

    Currency operator+(Currency other) const;
    Currency operator-(Currency other) const;
    Currency operator*(Currency other) const;
    Currency operator-() const;
    Currency& operator+=(Currency other) { return *this = *this + other; }
    Currency& operator-=(Currency other) { return *this = *this - other; }
    auto operator<=>(const Currency&) const = default;

private:
    int64_t m_scaled = 0;
};

// The general number format of computed amounts: at most 15 significant digits, no thousands
// separator, no trailing zeros, "." as decimal point; very large or very small values in
// exponent form ("1E20", "1E-6").
QString formatGeneral(double value);
