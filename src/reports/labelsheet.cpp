#include "reports/labelsheet.h"

#include "reports/barcodepaint.h"
#include "reports/reports.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "data/sharedquery.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>

namespace {

std::function<void(const QList<LabelSheet::Label>&)> previewHook;

const int Across = 3;
const int Down = 8;
const double SheetMarginMm = 8;

void setUp(QPrinter& printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(SheetMarginMm, SheetMarginMm, SheetMarginMm, SheetMarginMm),
                                      QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("货架标签"));
    printer.setCreator(QStringLiteral("Vandrel 进销存"));
}

void drawLabel(QPainter& p, const QRectF& box, const LabelSheet::Label& label, double dotsPerMm) {
    p.save();
    p.setPen(QPen(QColor(0x99, 0x99, 0x99), 0));
    p.drawRect(box);
    p.setPen(Qt::black);
    const QRectF inner = box.adjusted(2 * dotsPerMm, 1.5 * dotsPerMm, -2 * dotsPerMm, -1.5 * dotsPerMm);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(int(3.2 * dotsPerMm));
    font.setBold(true);
    p.setFont(font);
    const QRectF nameBox(inner.left(), inner.top(), inner.width(), 8 * dotsPerMm);
    p.drawText(nameBox, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, label.name);
    font.setPixelSize(int(5 * dotsPerMm));
    p.setFont(font);
    const QRectF priceBox(inner.left(), nameBox.bottom(), inner.width(), 7 * dotsPerMm);
    const QString unit = label.unit.isEmpty() ? QString() : QStringLiteral(" /") + label.unit;
    p.drawText(priceBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("¥") + label.price + unit);
    const QRectF codeBox(inner.left(), priceBox.bottom() + 0.5 * dotsPerMm, inner.width(),
                         inner.bottom() - priceBox.bottom() - 0.5 * dotsPerMm);
    if (!label.code.isEmpty() && !LabelSheet::drawBarcode(p, codeBox, label.code)) {
        font.setBold(false);
        font.setPixelSize(int(3 * dotsPerMm));
        p.setFont(font);
        p.drawText(codeBox, Qt::AlignCenter, label.code);
    }
    p.restore();
}

} // namespace

namespace LabelSheet {

void setPreviewHook(std::function<void(const QList<Label>&)> hook) {
    previewHook = std::move(hook);
}

QList<Label> fromList(const SharedQuery& q, const QList<int>& rows) {
    QList<Label> labels;
    const auto add = [&](int row) {
        labels.append({q.text(row, QStringLiteral("b3")), q.text(row, QStringLiteral("b8")),
                       q.text(row, QStringLiteral("b5")), q.text(row, QStringLiteral("b13"))});
    };
    if (!rows.isEmpty()) {
        for (int row : rows)
            add(row);
        return labels;
    }
    for (int row = 0; row < q.recordCount(); ++row)
        add(row);
    return labels;
}

bool drawBarcode(QPainter& p, const QRectF& rect, const QString& code) {
    return BarcodePaint::draw(p, rect, code, BarcodePaint::Kind::Product);
}

int paint(QPrinter* printer, const QList<Label>& labels) {
    QPainter p;
    if (!p.begin(printer))
        throw LedgerError(QStringLiteral("无法打印标签"));
    const double dotsPerMm = printer->resolution() / 25.4;
    const QRectF page = printer->pageLayout().paintRectPixels(printer->resolution());
    const double w = page.width() / Across;
    const double h = page.height() / Down;
    int pages = 1;
    for (int i = 0; i < labels.size(); ++i) {
        const int onPage = i % (Across * Down);
        if (i > 0 && onPage == 0) {
            printer->newPage();
            ++pages;
        }
        const QRectF box((onPage % Across) * w, (onPage / Across) * h, w, h);
        drawLabel(p, box, labels[i], dotsPerMm);
    }
    p.end();
    return pages;
}

void renderPdf(const QList<Label>& labels, const QString& path) {
    QPrinter pdf(QPrinter::HighResolution);
    pdf.setOutputFormat(QPrinter::PdfFormat);
    pdf.setOutputFileName(path);
    setUp(pdf);
    paint(&pdf, labels);
}

void preview(const QList<Label>& labels) {
    // Labels are printed as the lists are: with the right to print, logged.
    const QString what = QStringLiteral("货架标签 %1 个").arg(labels.size());
    Staff::require(Staff::Right::PrintLists, what);
    OpLog::write({OpLog::Print, what, {}, {}});
    if (previewHook) {
        previewHook(labels);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    setUp(printer);
    Reports::previewWithPdf(
        printer, QStringLiteral("打印预览 - 货架标签"), QSize(1000, 760),
        [&](QPrinter* target) { paint(target, labels); }, QStringLiteral("货架标签.pdf"),
        [&](const QString& path) { renderPdf(labels, path); });
}

} // namespace LabelSheet
