#include "reports/receiptprint.h"

#include "reports/barcodepaint.h"
#include "reports/reports.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <cups/cups.h>

namespace {

enum class QueueState { Printing, Stopped, Rejecting };

// The print server's word on the queue (Qt tells only whether it is stopped, and not always).
QueueState queueState(const QString& name) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.toUtf8().constData(), nullptr);
    if (!dest)
        return QueueState::Printing; // a queue the server does not know is found missing above
    const char* accepting = cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
    const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
    QueueState found = QueueState::Printing;
    if (accepting && qstrcmp(accepting, "false") == 0)
        found = QueueState::Rejecting;
    else if (state && qstrcmp(state, "5") == 0) // IPP_PSTATE_STOPPED: paused, or halted by an error
        found = QueueState::Stopped;
    cupsFreeDests(1, dest);
    return found;
}

ReceiptPrint::Hook hook;
ReceiptPrint::LinesHook linesHook;

const double LineMm = 4.2;   // the height of a line of text
const double MarginMm = 3.0; // left and right
const double TopMm = 4.0;
const double BottomMm = 10.0; // room before the cutter
const double BarcodeGapMm = 3.0;
const double BarcodeMm = 14.0;   // the bars and the number under them
const double BarModuleMm = 0.33; // the narrowest bar at most: wide enough for any scanner

bool drawable(const QString& barcode) {
    return !barcode.isEmpty() && BarcodePaint::encodes(barcode, BarcodePaint::Kind::Code128);
}

void setUp(QPrinter& printer, const QStringList& lines, int width,
           const QString& name = QStringLiteral("小票"), const QString& barcode = {}) {
    printer.setPageLayout(
        QPageLayout(QPageSize(ReceiptPrint::pageSize(lines, width, barcode), QPageSize::Millimeter,
                              QStringLiteral("小票 %1mm").arg(width), QPageSize::ExactMatch),
                    QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    printer.setFullPage(true);
    printer.setDocName(name);
    printer.setCreator(QStringLiteral("Vandrel 进销存"));
}

QString folder() {
    return Data_in ? Data_in->folder() : QDir::currentPath();
}

} // namespace

namespace ReceiptPrint {

// Paints the lines on the system printer of the set-up, after making sure it will print them now.
static void printOnPrinter(const QStringList& lines, const Receipts::Setup& setup, const QString& jobName,
                           const QString& barcode = {});

void setHook(Hook h) {
    hook = std::move(h);
}

QSizeF pageSize(const QStringList& lines, int width, const QString& barcode) {
    const double code = drawable(barcode) ? BarcodeGapMm + BarcodeMm : 0;
    return QSizeF(width, TopMm + LineMm * (lines.size() + 1) + code + BottomMm);
}

void paint(QPrinter* printer, const QStringList& lines, int width, const QString& barcode) {
    QPainter p;
    if (!p.begin(printer))
        throw LedgerError(QStringLiteral("无法打印小票：打印机没有响应，小票没有打印。"));
    const double dotsPerMm = printer->resolution() / 25.4;
    const double cell = (width - 2 * MarginMm) * dotsPerMm / Receipts::columns(width);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(std::max(1, int(cell * 1.8)));
    p.setFont(font);
    // Each run of text sits at its own column, so amounts stay right-aligned whatever the font's
    // widths; runs are split where two or more blanks stand.
    static const QRegularExpression run(QStringLiteral("\\S+(?: \\S+)*"));
    double y = TopMm * dotsPerMm;
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        y += LineMm * dotsPerMm;
        // A rule of dashes is drawn as a line across the roll: the font's dashes are narrower than
        // the columns and would stop short.
        if (!line.isEmpty() && line.count(QLatin1Char('-')) == line.size()) {
            const double mid = y - LineMm * dotsPerMm * 0.3;
            p.save();
            p.setPen(QPen(Qt::black, std::max(1.0, 0.2 * dotsPerMm), Qt::DashLine));
            p.drawLine(QPointF(MarginMm * dotsPerMm, mid), QPointF((width - MarginMm) * dotsPerMm, mid));
            p.restore();
            continue;
        }
        QFont f = font;
        f.setBold(i == 0);
        p.setFont(f);
        for (auto it = run.globalMatch(line); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            const int column = Receipts::textWidth(line.left(m.capturedStart()));
            p.drawText(QPointF(MarginMm * dotsPerMm + column * cell, y), m.captured());
        }
    }
    if (!barcode.isEmpty()) {
        y += LineMm * dotsPerMm * 0.3 + BarcodeGapMm * dotsPerMm;
        BarcodePaint::draw(
            p, QRectF(MarginMm * dotsPerMm, y, (width - 2 * MarginMm) * dotsPerMm, BarcodeMm * dotsPerMm),
            barcode, BarcodePaint::Kind::Code128, BarModuleMm * dotsPerMm);
    }
    if (!p.end())
        throw LedgerError(QStringLiteral("小票没有打印完：打印机没有接收。"));
}

void print(const Receipts::Receipt& receipt, const Receipts::Setup& setup) {
    if (hook) {
        hook(QStringLiteral("print"), receipt, setup);
        return;
    }
    if (setup.way == Receipts::Setup::Way::Device) {
        Receipts::writeDevice(setup.device, Receipts::escPos(receipt, setup));
        return;
    }
    printOnPrinter(Receipts::text(receipt, setup), setup, QStringLiteral("小票"),
                   Receipts::barcodeOf(receipt.order));
}

void print(const Receipts::ReturnReceipt& receipt, const Receipts::Setup& setup) {
    if (setup.way == Receipts::Setup::Way::Device) {
        Receipts::writeDevice(setup.device, Receipts::escPos(receipt, setup));
        return;
    }
    printOnPrinter(Receipts::text(receipt, setup), setup, QStringLiteral("退货小票"),
                   Receipts::barcodeOf(receipt.order));
}

static void printOnPrinter(const QStringList& lines, const Receipts::Setup& setup, const QString& jobName,
                           const QString& barcode) {
    // A printer that is not there would take the job without a word and print nothing.
    if (!setup.printer.isEmpty() && !QPrinterInfo::availablePrinterNames().contains(setup.printer))
        throw LedgerError(QStringLiteral("找不到小票打印机“%1”，小票没有打印。请在“小票设置”中选择打印机。")
                              .arg(setup.printer));
    if (setup.printer.isEmpty() && QPrinterInfo::defaultPrinterName().isEmpty())
        throw LedgerError(QStringLiteral("没有可用的打印机，小票没有打印。请在“小票设置”中选择打印机。"));
    // A queue that is paused or stopped by an error would keep the receipt and print nothing now;
    // one that rejects jobs would drop it.
    const QString name = setup.printer.isEmpty() ? QPrinterInfo::defaultPrinterName() : setup.printer;
    const QueueState queue = queueState(name);
    if (queue == QueueState::Rejecting)
        throw LedgerError(
            QStringLiteral("小票打印机“%1”不接受新的打印任务，小票没有打印。请在系统的打印机设置中让它"
                           "接受任务，再重新打印。")
                .arg(name));
    if (queue == QueueState::Stopped || QPrinterInfo::printerInfo(name).state() == QPrinter::Error)
        throw LedgerError(
            QStringLiteral("小票打印机“%1”已暂停或出错，小票没有打印。请在系统的打印机设置中恢复它，"
                           "再重新打印。")
                .arg(name));
    QPrinter printer(QPrinter::HighResolution);
    if (!setup.printer.isEmpty())
        printer.setPrinterName(setup.printer);
    if (!printer.isValid())
        throw LedgerError(QStringLiteral("找不到小票打印机“%1”，小票没有打印。").arg(setup.printer));
    setUp(printer, lines, setup.width, jobName, barcode);
    paint(&printer, lines, setup.width, barcode);
}

void renderPdf(const Receipts::Receipt& receipt, const Receipts::Setup& setup, const QString& path) {
    renderLinesPdf(Receipts::text(receipt, setup), setup.width, path, Receipts::barcodeOf(receipt.order));
}

void renderPdf(const Receipts::ReturnReceipt& receipt, const Receipts::Setup& setup, const QString& path) {
    renderLinesPdf(Receipts::text(receipt, setup), setup.width, path, Receipts::barcodeOf(receipt.order));
}

void preview(const Receipts::Receipt& receipt, const Receipts::Setup& setup) {
    if (hook) {
        hook(QStringLiteral("preview"), receipt, setup);
        return;
    }
    const QStringList lines = Receipts::text(receipt, setup);
    const QString barcode = Receipts::barcodeOf(receipt.order);
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer, lines, setup.width, QStringLiteral("小票"), barcode);
    Reports::previewWithPdf(
        printer, QStringLiteral("小票预览 - %1号订单").arg(receipt.order), QSize(520, 760),
        [&](QPrinter* target) { paint(target, lines, setup.width, barcode); },
        QStringLiteral("小票%1.pdf").arg(receipt.order),
        [&](const QString& path) { renderPdf(receipt, setup, path); });
}

void setLinesHook(LinesHook h) {
    linesHook = std::move(h);
}

void printLines(const QStringList& lines, const Receipts::Setup& setup, const QString& name) {
    if (linesHook) {
        linesHook(name, lines, setup);
        return;
    }
    if (setup.way == Receipts::Setup::Way::Device) {
        Receipts::writeDevice(setup.device, Receipts::escPosLines(lines));
        return;
    }
    printOnPrinter(lines, setup, name);
}

void renderLinesPdf(const QStringList& lines, int width, const QString& path, const QString& barcode) {
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    setUp(pdf, lines, width, QFileInfo(path).completeBaseName(), barcode);
    paint(&pdf, lines, width, barcode);
}

void openDrawer(const Receipts::Setup& setup) {
    if (setup.way != Receipts::Setup::Way::Device)
        throw Refused(QStringLiteral("钱箱由 ESC/POS 小票打印机打开：请在“小票设置”中选择“设备文件”方式。"));
    Receipts::writeDevice(setup.device, Receipts::drawerKick());
}

void afterCashSettlement(qint64 order) {
    const Receipts::Setup setup = Receipts::loadSetup(folder());
    if (setup.way != Receipts::Setup::Way::Device || !setup.drawer || hook) {
        if (setup.autoPrint)
            print(Receipts::forOrder(order), setup);
        return;
    }
    QByteArray bytes = Receipts::drawerKick();
    if (setup.autoPrint)
        bytes += Receipts::escPos(Receipts::forOrder(order), setup);
    Receipts::writeDevice(setup.device, bytes);
}

void afterReturn(qint64 returnKey, bool cash) {
    const Receipts::Setup setup = Receipts::loadSetup(folder());
    if (!cash || setup.way != Receipts::Setup::Way::Device || !setup.drawer) {
        if (setup.autoPrint)
            print(Receipts::forReturn(returnKey), setup);
        return;
    }
    QByteArray bytes = Receipts::drawerKick();
    if (setup.autoPrint)
        bytes += Receipts::escPos(Receipts::forReturn(returnKey), setup);
    Receipts::writeDevice(setup.device, bytes);
}

void afterSettlement(qint64 order) {
    const Receipts::Setup setup = Receipts::loadSetup(folder());
    if (setup.autoPrint)
        print(Receipts::forOrder(order), setup);
}

} // namespace ReceiptPrint
