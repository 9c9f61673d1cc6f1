#pragma once

#include "reports/reportdefinition.h"

#include <QMap>
#include <QVector>

class QPrinter;
class SharedQuery;

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

    // Reads the rows of the definition's query in their present state (statement, filter and
    // order). Throws LedgerError naming the definition's path when its connection or a field is
    // unknown, DatabaseError when the query is closed.
    static ReportSnapshot take(const ReportDefinition& definition, const QMap<QString, QString>& parameters);
    static ReportSnapshot take(const ReportDefinition& definition, const SharedQuery& query,
                               const QMap<QString, QString>& parameters);
};

namespace ReportRenderer {
// Page size, orientation and margins of a new print.
void setUp(QPrinter& printer, const ReportDefinition& definition);
// Paints every page of the report on the printer (a PDF file, the preview or a real printer).
// Returns the number of pages.
int paint(QPrinter* printer, const ReportSnapshot& report);
} // namespace ReportRenderer
