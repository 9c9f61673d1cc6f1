#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

class QPrinter;
class QSize;
struct ReportFigure;

// The report engine: a report definition file in the working folder's print/ folder names the
// shared query it reads, its title, columns, sums and text parameters. Every print reads the file
// afresh and renders the query's rows in their present state (filter and order). The file format
// is described in doc/reports.md.
namespace Reports {

using Parameters = QMap<QString, QString>;

// The print/ folder of the working folder.
QString printFolder();

// Renders the definition (a file name such as "ab.rav") over its query and shows the print
// preview, from which the user prints or saves a PDF. A missing or broken definition raises
// LedgerError naming the file's full path.
void preview(const QString& definition, const Parameters& parameters = {});
// The same with a figure (a chart) on the first page, above the rows.
void preview(const QString& definition, const Parameters& parameters, const ReportFigure& figure);

// Renders straight to a PDF file, without the preview window.
void renderPdf(const QString& definition, const QString& pdfPath, const Parameters& parameters = {});
void renderPdf(const QString& definition, const QString& pdfPath, const Parameters& parameters,
               const ReportFigure& figure);

// Tests: when set, preview() hands the definition and parameters to the hook instead of
// rendering and showing the preview window. nullptr restores the preview.
using PreviewHook = std::function<void(const QString& definition, const Parameters& parameters)>;
void setPreviewHook(PreviewHook hook);
// Tests of prints with a figure: the hook is handed the figure too. Set, it is called instead of
// the plain hook for every preview; nullptr removes it.
using FigurePreviewHook =
    std::function<void(const QString& definition, const Parameters& parameters, const ReportFigure& figure)>;
void setFigurePreviewHook(FigurePreviewHook hook);

// A print that reads its rows or lays out its pages for longer than this shows a progress box
// with 取消 (one second; tests set 0 to see it at once).
void setProgressDelay(int milliseconds);

// A preview of what `paint` draws on the printer, with a "保存为 PDF" button that asks for a file
// (suggesting `pdfName` in the working folder) and hands it to `savePdf`. A failure while painting
// is raised after the preview closes.
void previewWithPdf(QPrinter& printer, const QString& title, const QSize& size,
                    const std::function<void(QPrinter*)>& paint, const QString& pdfName,
                    const std::function<void(const QString&)>& savePdf);

} // namespace Reports
