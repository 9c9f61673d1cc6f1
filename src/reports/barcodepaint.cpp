#include "reports/barcodepaint.h"

#include "core/barcode.h"

#include <QPainter>
#include <algorithm>
#include <memory>
#include <zint.h>

namespace {

struct SymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};
using Symbol = std::unique_ptr<zint_symbol, SymbolDeleter>;

// The symbol with its vector made; null when zint refuses the code.
Symbol vectorOf(const QString& code, BarcodePaint::Kind kind) {
    Symbol symbol(ZBarcode_Create());
    if (!symbol)
        return {};
    symbol->symbology =
        kind == BarcodePaint::Kind::Product && Barcode::isEan13(code) ? BARCODE_EANX : BARCODE_CODE128;
    symbol->show_hrt = 1;
    const QByteArray data = code.toUtf8();
    if (data.isEmpty() ||
        ZBarcode_Encode(symbol.get(), reinterpret_cast<const unsigned char*>(data.constData()),
                        int(data.size())) >= ZINT_ERROR ||
        ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR || !symbol->vector ||
        symbol->vector->width <= 0 || symbol->vector->height <= 0)
        return {};
    return symbol;
}

} // namespace

namespace BarcodePaint {

bool encodes(const QString& code, Kind kind) {
    return vectorOf(code, kind) != nullptr;
}

bool draw(QPainter& p, const QRectF& rect, const QString& code, Kind kind, double maxModule) {
    const Symbol symbol = vectorOf(code, kind);
    if (!symbol)
        return false;
    const zint_vector& v = *symbol->vector;
    double sx = rect.width() / v.width;
    if (maxModule > 0)
        sx = std::min(sx, maxModule);
    const double sy = rect.height() / v.height;
    const double left = rect.left() + (rect.width() - v.width * sx) / 2;
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    double barsBottom = rect.top();
    for (const zint_vector_rect* r = v.rectangles; r; r = r->next) {
        const QRectF bar(left + r->x * sx, rect.top() + r->y * sy, r->width * sx, r->height * sy);
        p.drawRect(bar);
        barsBottom = std::max(barsBottom, bar.bottom());
    }
    p.setPen(Qt::black);
    for (const zint_vector_string* s = v.strings; s; s = s->next) {
        QFont font(QStringLiteral("DejaVu Sans Mono"));
        font.setPixelSize(std::max(1, int(s->fsize * std::min(sx, sy * 1.4))));
        p.setFont(font);
        const QString text = QString::fromUtf8(reinterpret_cast<const char*>(s->text), s->length);
        const double x = left + s->x * sx;
        // Under the bars, never over them: the font is scaled with the narrower of the two scales.
        const double y = std::max(rect.top() + s->y * sy, barsBottom + p.fontMetrics().ascent());
        const double w = p.fontMetrics().horizontalAdvance(text);
        const double from = s->halign == 1 ? x : s->halign == 2 ? x - w : x - w / 2;
        p.drawText(QPointF(from, y), text);
    }
    p.restore();
    return true;
}

} // namespace BarcodePaint
