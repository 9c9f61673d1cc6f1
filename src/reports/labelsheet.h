#pragma once

#include <QList>
#include <QRectF>
#include <QString>
#include <functional>

class QPainter;
class QPrinter;
class SharedQuery;

// Shelf labels: a sheet of labels (name, sale price and unit, the barcode drawn as EAN-13 when
// the code is one, as Code 128 otherwise), three across and eight down an A4 page.
namespace LabelSheet {

struct Label {
    QString name;
    QString price; // the sale price as the list shows it
    QString unit;
    QString code; // empty: the label has no barcode
};

// The labels of the rows a product list shows now, or of the given rows of it only.
QList<Label> fromList(const SharedQuery& products, const QList<int>& rows = {});

// Draws the barcode (bars and its digits) to fill the rectangle. False, drawing nothing, when the
// code cannot be encoded.
bool drawBarcode(QPainter& painter, const QRectF& rect, const QString& code);

// Paints the sheet on the printer (A4); returns the number of pages.
int paint(QPrinter* printer, const QList<Label>& labels);
void preview(const QList<Label>& labels);
void renderPdf(const QList<Label>& labels, const QString& path);

// Tests: when set, preview() hands the labels to the hook instead of showing a window.
void setPreviewHook(std::function<void(const QList<Label>&)> hook);

} // namespace LabelSheet
