#pragma once

#include <QList>
#include <QPageLayout>
#include <QString>
#include <QStringList>

// A report definition as read from its file in the print/ folder (a JSON document; the format
// is described in doc/reports.md). Reading checks everything the renderer relies on, so a
// broken file is reported with its full path before anything is printed.
struct ReportColumn {
    QString field;       // the query field shown, or empty for a product column
    QStringList product; // two fields whose values are multiplied (a line amount)
    QString title;
    double width = 80; // relative width; the columns are scaled to fill the page width
    Qt::Alignment align = Qt::AlignLeft;
    bool sum = false; // print the column's total under the rows
};

struct ReportHeadItem {
    QString label;
    QString parameter;
};

struct ReportDefinition {
    QString path;   // the full path of the file it was read from
    QString source; // the report connection: Rv_aa … Rv_ak
    QString title;  // may hold {parameter} placeholders
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    double fontSize = 9; // points, of the rows
    QList<ReportHeadItem> head;
    QList<ReportColumn> columns;
    bool count = true; // print "共 N 条记录" after the rows

    // Reads and checks the file. Throws LedgerError naming the file's full path when it is
    // missing, unreadable or not a valid definition.
    static ReportDefinition load(const QString& path);
    // Reads a definition from its text; errors name the given path.
    static ReportDefinition parse(const QByteArray& text, const QString& path);

    bool hasSums() const;
};
