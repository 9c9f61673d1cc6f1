#pragma once

#include "ledger/receipts.h"

#include <QSizeF>
#include <functional>

class QPrinter;

// Receipts on paper: painted on a roll-sized page (the system printer, the preview, a PDF), or
// sent as ESC/POS bytes to the printer's device file.
namespace ReceiptPrint {

// The page of a receipt in millimetres: the roll's width and the receipt's own height, with room
// for the barcode below the lines when there is one it can draw.
QSizeF pageSize(const QStringList& lines, int width, const QString& barcode = {});
// Paints the lines on the printer, which must have the receipt's page, and below them the barcode
// (Code 128, its text under the bars). A code that cannot be drawn leaves the lines alone.
void paint(QPrinter* printer, const QStringList& lines, int width, const QString& barcode = {});

// Prints the receipt the way the set-up says.
void print(const Receipts::Receipt& receipt, const Receipts::Setup& setup);
// Shows the receipt in the print preview, with "保存为 PDF".
void preview(const Receipts::Receipt& receipt, const Receipts::Setup& setup);
void renderPdf(const Receipts::Receipt& receipt, const Receipts::Setup& setup, const QString& path);

// A return's receipt, printed the way the set-up says, or as a PDF.
void print(const Receipts::ReturnReceipt& receipt, const Receipts::Setup& setup);
void renderPdf(const Receipts::ReturnReceipt& receipt, const Receipts::Setup& setup, const QString& path);

// Tests: when set, print() and preview() hand the receipt to the hook ("print" or "preview")
// instead of reaching a printer or showing a window.
using Hook = std::function<void(const QString& what, const Receipts::Receipt&, const Receipts::Setup&)>;
void setHook(Hook hook);

// Prints the receipt of a settled order when the shop's set-up says so after each settlement.
void afterSettlement(qint64 order);
// After a cash settlement: the drawer opens (an ESC/POS printer with the drawer set up) and the
// receipt prints as afterSettlement does; on the device both go in one write.
void afterCashSettlement(qint64 order);

// After a return: for money given back in cash the drawer opens (an ESC/POS printer with the
// drawer set up); the return's receipt prints when the set-up prints receipts after each sale; on
// the device both go in one write.
void afterReturn(qint64 returnKey, bool cash);

// Any lines laid out for the roll (the first is the title), printed the way the set-up says:
// the report of a shift's close, say. `name` names the print job.
void printLines(const QStringList& lines, const Receipts::Setup& setup, const QString& name);
void renderLinesPdf(const QStringList& lines, int width, const QString& path, const QString& barcode = {});

// Opens the cash drawer wired to the ESC/POS receipt printer. Refused when receipts do not go
// to a device file (a drawer is driven by the printer's own bytes).
void openDrawer(const Receipts::Setup& setup);

// Tests: when set, printLines() hands the lines to the hook instead of reaching a printer.
using LinesHook = std::function<void(const QString& name, const QStringList& lines, const Receipts::Setup&)>;
void setLinesHook(LinesHook hook);

} // namespace ReceiptPrint
