#pragma once

#include "ledger/receipts.h"

#include <QSizeF>
#include <functional>

class QPrinter;

// Receipts on paper: painted on a roll-sized page (the system printer, the preview, a PDF), or
// sent as ESC/POS bytes to the printer's device file.
namespace ReceiptPrint {

// The page of a receipt in millimetres: the roll's width and the receipt's own height.
QSizeF pageSize(const QStringList& lines, int width);
// Paints the lines on the printer, which must have the receipt's page.
void paint(QPrinter* printer, const QStringList& lines, int width);

// Prints the receipt the way the set-up says.
void print(const Receipts::Receipt& receipt, const Receipts::Setup& setup);
// Shows the receipt in the print preview, with "保存为 PDF".
void preview(const Receipts::Receipt& receipt, const Receipts::Setup& setup);
void renderPdf(const Receipts::Receipt& receipt, const Receipts::Setup& setup, const QString& path);

// Tests: when set, print() and preview() hand the receipt to the hook ("print" or "preview")
// instead of reaching a printer or showing a window.
using Hook = std::function<void(const QString& what, const Receipts::Receipt&, const Receipts::Setup&)>;
void setHook(Hook hook);

// Prints the receipt of a settled order when the shop's set-up says so after each settlement.
void afterSettlement(qint64 order);

} // namespace ReceiptPrint
