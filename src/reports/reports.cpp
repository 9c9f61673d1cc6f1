#include "reports/reports.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"
#include "reports/reportdefinition.h"
#include "reports/reportrenderer.h"
#include "widgets/messages.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QToolBar>

namespace {

Reports::PreviewHook previewHook;
Reports::FigurePreviewHook figurePreviewHook;
int progressDelay = 1000;

// The progress box of a long print: it appears once the work looks like taking longer than the
// delay, and its 取消 button stops the work at the next row or page.
class ProgressBox {
public:
    ProgressBox(QWidget* parent, const QString& label)
        : m_dialog(label, QStringLiteral("取消"), 0, 1, parent) {
        m_dialog.setObjectName(QStringLiteral("reportProgress"));
        m_dialog.setWindowTitle(QStringLiteral("打印"));
        m_dialog.setWindowModality(Qt::ApplicationModal);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumDuration(progressDelay);
    }
    ReportProgress reporter() {
        return [this](int done, int total) {
            if (m_dialog.maximum() != total)
                m_dialog.setMaximum(std::max(total, 1));
            m_dialog.setValue(done);
            return !m_dialog.wasCanceled();
        };
    }

private:
    QProgressDialog m_dialog;
};

QString definitionPath(const QString& definition) {
    return QDir::cleanPath(QDir(Reports::printFolder()).absoluteFilePath(definition));
}

// Reads the definition afresh and takes the rows of its query as they are now.
ReportSnapshot prepare(const QString& definition, const Reports::Parameters& parameters,
                       const ReportProgress& progress = {}) {
    return ReportSnapshot::take(ReportDefinition::load(definitionPath(definition)), parameters, progress);
}

// The preview's "保存为 PDF" button, first on the bar, where a narrow preview (a receipt's) does
// not hide it in the overflow.
QAction* addPdfButton(QPrintPreviewDialog& dialog) {
    auto* tools = dialog.findChild<QToolBar*>();
    if (!tools)
        return nullptr;
    QAction* first = tools->actions().value(0);
    auto* save = new QAction(QStringLiteral("保存为 PDF"), tools);
    save->setObjectName(QStringLiteral("savePdf"));
    save->setToolTip(QStringLiteral("保存为 PDF 文件"));
    tools->insertAction(first, save);
    tools->insertSeparator(first);
    return save;
}

QWidget* dialogParent() {
    QWidget* parent = QApplication::activeModalWidget();
    return parent ? parent : QApplication::activeWindow();
}

// Every print of a list asks for the right to print lists (a refusal is logged and raised) and is
// logged, before anything is read.
void allowPrint(const QString& definition) {
    const QString what = QStringLiteral("报表 ") + definition;
    Staff::require(Staff::Right::PrintLists, what);
    OpLog::write({OpLog::Print, what, {}, {}});
}

// A file name made of the report's title (characters a file name cannot hold dropped).
QString safeFileName(const QString& title, const QString& definition) {
    QString name = title;
    name.remove(QRegularExpression(QStringLiteral("[\\\\/:*?\"<>|\\s]")));
    return name.isEmpty() ? QFileInfo(definition).completeBaseName() : name;
}

} // namespace

QString Reports::printFolder() {
    return QDir(Data_in ? Data_in->folder() : QDir::currentPath()).absoluteFilePath(QStringLiteral("print"));
}

void Reports::setPreviewHook(PreviewHook hook) {
    previewHook = std::move(hook);
}

void Reports::setFigurePreviewHook(FigurePreviewHook hook) {
    figurePreviewHook = std::move(hook);
}

void Reports::setProgressDelay(int milliseconds) {
    progressDelay = milliseconds;
}

void Reports::preview(const QString& definition, const Parameters& parameters) {
    preview(definition, parameters, ReportFigure());
}

void Reports::preview(const QString& definition, const Parameters& parameters, const ReportFigure& figure) {
    allowPrint(definition);
    if (figurePreviewHook) {
        figurePreviewHook(definition, parameters, figure);
        return;
    }
    if (previewHook) {
        previewHook(definition, parameters);
        return;
    }
    QWidget* parent = dialogParent();
    ReportSnapshot report;
    try {
        ProgressBox box(parent, QStringLiteral("正在读取报表的数据…"));
        report = prepare(definition, parameters, box.reporter());
    } catch (const ReportCancelled&) {
        return; // nothing was printed or kept
    }
    report.figure = figure;
    QPrinter printer(QPrinter::HighResolution);
    ReportRenderer::setUp(printer, report.definition);

    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("打印预览 - ") +
                          (report.title.isEmpty() ? QFileInfo(definition).fileName() : report.title));
    dialog.resize(1000, 760);
    // Errors cannot leave the preview's paint signal; the first one is raised after it closes.
    QString failure;
    // Stopping the layout closes the preview: a part of the pages would look like the whole report.
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* target) {
        try {
            ProgressBox box(&dialog, QStringLiteral("正在排版报表…"));
            ReportRenderer::paint(target, report, box.reporter());
        } catch (const ReportCancelled&) {
            QMetaObject::invokeMethod(&dialog, &QDialog::reject, Qt::QueuedConnection);
        } catch (const LedgerError& e) {
            if (failure.isEmpty())
                failure = e.text();
        }
    });
    // Saving a PDF straight from the preview, in the page set-up chosen there.
    if (QAction* save = addPdfButton(dialog)) {
        QObject::connect(save, &QAction::triggered, &dialog, [&] {
            guarded([&] {
                const QString suggested =
                    QDir(Data_in ? Data_in->folder() : QDir::homePath())
                        .absoluteFilePath(safeFileName(report.title, definition) + QStringLiteral(".pdf"));
                const QString path = QFileDialog::getSaveFileName(
                    &dialog, QStringLiteral("保存为 PDF"), suggested, QStringLiteral("PDF 文件 (*.pdf)"));
                if (path.isEmpty())
                    return;
                QPrinter pdf(QPrinter::HighResolution);
                pdf.setOutputFormat(QPrinter::PdfFormat);
                pdf.setOutputFileName(path);
                pdf.setPageLayout(printer.pageLayout());
                pdf.setDocName(printer.docName());
                pdf.setCreator(printer.creator());
                try {
                    ProgressBox box(&dialog, QStringLiteral("正在保存 PDF…"));
                    ReportRenderer::paint(&pdf, report, box.reporter());
                } catch (const ReportCancelled&) {
                    QFile::remove(path); // a part of the report is no report
                }
            });
        });
    }
    dialog.exec();
    if (!failure.isEmpty())
        throw LedgerError(failure);
}

void Reports::renderPdf(const QString& definition, const QString& pdfPath, const Parameters& parameters) {
    renderPdf(definition, pdfPath, parameters, ReportFigure());
}

void Reports::renderPdf(const QString& definition, const QString& pdfPath, const Parameters& parameters,
                        const ReportFigure& figure) {
    allowPrint(definition);
    ReportSnapshot report = prepare(definition, parameters);
    report.figure = figure;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfPath);
    ReportRenderer::setUp(printer, report.definition);
    ReportRenderer::paint(&printer, report);
}

void Reports::previewWithPdf(QPrinter& printer, const QString& title, const QSize& size,
                             const std::function<void(QPrinter*)>& paint, const QString& pdfName,
                             const std::function<void(const QString&)>& savePdf) {
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(title);
    dialog.resize(size);
    QString failure;
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* target) {
        try {
            paint(target);
        } catch (const LedgerError& e) {
            failure = e.text();
        }
    });
    if (QAction* save = addPdfButton(dialog)) {
        QObject::connect(save, &QAction::triggered, &dialog, [&] {
            guarded([&] {
                const QString path = QFileDialog::getSaveFileName(
                    &dialog, QStringLiteral("保存为 PDF"),
                    QDir(Data_in ? Data_in->folder() : QDir::homePath()).absoluteFilePath(pdfName),
                    QStringLiteral("PDF 文件 (*.pdf)"));
                if (!path.isEmpty())
                    savePdf(path);
            });
        });
    }
    dialog.exec();
    if (!failure.isEmpty())
        throw LedgerError(failure);
}
