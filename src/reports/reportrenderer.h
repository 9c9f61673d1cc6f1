#pragma once

#include "reports/reportdefinition.h"

#include <QMap>
#include <QRectF>
#include <QSizeF>
#include <QVector>
#include <functional>

class QPainter;
class QPrinter;
class SharedQuery;

// Told how far a long print has come (done of total); returns false to stop it there.
using ReportProgress = std::function<bool(int done, int total)>;
// Thrown when a ReportProgress stopped the work; nothing of it is kept.
struct ReportCancelled {};

// A picture printed on the report's first page between its head and its rows (a chart): `paint`
// draws it into the rectangle it is given, in the printer's own resolution; `size` is the size it
// is drawn at on the screen, whose proportions the page keeps. The page gives it its width, or at
// most half of the page's height.
struct ReportFigure {
    QSizeF size;
    std::function<void(QPainter*, const QRectF&)> paint;
    bool isEmpty() const { return size.isEmpty() || !paint; }
};

// What one print shows: the definition's rows taken from its query at the moment of printing,
// as display texts, with the totals, the head values and the print date. Taken once per print,
// so the preview can lay it out again (another page size or orientation) with the same content.
struct ReportSnapshot {
    ReportDefinition definition;
    QString title;
    QList<std::pair<QString, QString>> head; // label, value
    QVector<QStringList> rows;               // one text per column
    QStringList sums;                        // per column: the total, or empty
    QString printed;                         // the print date and time
    ReportFigure figure;                     // on the first page, when not empty

    // Reads the rows of the definition's query in their present state (statement, filter and
    // order). Throws LedgerError naming the definition's path when its connection or a field is
    // unknown, DatabaseError when the query is closed.
    // progress is told the rows read.
    static ReportSnapshot take(const ReportDefinition& definition, const QMap<QString, QString>& parameters,
                               const ReportProgress& progress = {});
    static ReportSnapshot take(const ReportDefinition& definition, const SharedQuery& query,
                               const QMap<QString, QString>& parameters, const ReportProgress& progress = {});
};

namespace ReportRenderer {
// Page size, orientation and margins of a new print.
void setUp(QPrinter& printer, const ReportDefinition& definition);
// Paints every page of the report on the printer (a PDF file, the preview or a real printer).
// Returns the number of pages. progress is told the pages painted; when it stops the work, the
// painter is ended and ReportCancelled thrown.
int paint(QPrinter* printer, const ReportSnapshot& report, const ReportProgress& progress = {});
} // namespace ReportRenderer
