#pragma once

#include <QRectF>
#include <QString>

class QPainter;

// Barcodes drawn from libzint's vector output: bars as filled rectangles and the code's text
// under them, sharp at any resolution (screen, printer, PDF).
namespace BarcodePaint {

enum class Kind {
    Product, // EAN-13 when the code is one (its check digit right), Code 128 otherwise
    Code128,
};

// Whether the code can be drawn as that kind of barcode.
bool encodes(const QString& code, Kind kind);

// Draws the barcode in the rectangle: stretched across it, or, with `maxModule` above zero, with
// its narrowest bar at most that wide and centred. False, drawing nothing, when the code cannot
// be encoded.
bool draw(QPainter& painter, const QRectF& rect, const QString& code, Kind kind, double maxModule = 0);

} // namespace BarcodePaint
