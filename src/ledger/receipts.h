#pragma once

#include "core/money.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Receipts (小票) of settled orders on a till roll: what one shows, laid out as lines of text for
// the roll's width, and the bytes an ESC/POS receipt printer takes.
namespace Receipts {

struct Line {
    QString name;
    Currency quantity;
    Currency price;
    Currency amount;
};

struct Receipt {
    qint64 order = 0;
    QString when; // the order's date and time
    QList<Line> lines;
    Currency due;      // the amount due
    Currency discount; // due - received
    Currency received;
    std::optional<qint64> card; // paid by member card: the card and its balance after
    Currency balanceAfter;
};

// The receipt of a settled order. Refused for an order that is missing or not settled.
Receipt forOrder(qint64 order);

// A return's receipt (退货小票): what came back of which order, and how the money went back.
struct ReturnLine {
    QString name;
    Currency quantity;
    Currency amount; // the money given back for it
    bool damaged = false;
};
struct ReturnReceipt {
    qint64 key = 0;   // the return's number
    qint64 order = 0; // the order it came back from
    QString when;
    QString operatorName; // empty in a shop without operators
    QList<ReturnLine> lines;
    Currency refund;
    bool toCard = false; // back onto the member card that paid, else in cash
    qint64 card = 0;
    Currency balanceAfter; // the card's balance after this return
    QString reason;
};
// Refused for a return that is not there.
ReturnReceipt forReturn(qint64 key);

// What a receipt's barcode holds: the order's number.
QString barcodeOf(qint64 order);

// How receipts are printed. Kept in receipt.ini in the working folder: they belong to the shop,
// whoever is logged in.
struct Setup {
    enum class Way { Printer, Device };
    Way way = Way::Printer;
    int width = 58;  // millimetres of the roll: 58 or 80
    QString printer; // the system printer (empty: the default one)
    QString device = QStringLiteral("/dev/usb/lp0");
    QString shop;           // the shop's name, on top
    QString footer;         // a line at the bottom
    bool autoPrint = false; // print after each settlement
    // A cash drawer on the ESC/POS printer opens after each cash settlement.
    bool drawer = true;
};
// Read as the dialog saved them; a value the dialog does not offer reads as its default, and
// control characters are dropped from the texts (they would reach the printer as commands).
Setup loadSetup(const QString& folder);
// Why the receipt settings file (a backup's, before it is restored) holds what the receipt
// settings dialog could not have saved: a key or group it does not write, a way or roll width it
// does not offer, a text with control characters or too long, a device file that is not an
// absolute path, no device file where the way is the device. Empty when it holds none of these.
QString settingsProblem(const QString& iniPath);
void saveSetup(const QString& folder, const Setup& setup);

// Characters on a line: 32 on a 58 mm roll, 48 on an 80 mm one (a Chinese character takes two).
int columns(int width);
// The text width of a string in those columns.
int textWidth(const QString& text);

// The receipt as lines of text for the roll (the first line is the shop's name, centred). The
// order's barcode is printed below them, its number in text under the bars.
QStringList text(const Receipt& receipt, const Setup& setup);
QStringList text(const ReturnReceipt& receipt, const Setup& setup);

// The bytes for an ESC/POS printer: reset, Chinese mode, the text in GB18030, the order's number
// as a Code 128 barcode, feed and cut.
QByteArray escPos(const Receipt& receipt, const Setup& setup);
QByteArray escPos(const ReturnReceipt& receipt, const Setup& setup);
// The same for any lines laid out for the roll: the first is the title, centred and large; then
// the barcode when one is given and the printer can print it on a roll of that width.
QByteArray escPosLines(const QStringList& lines, const QString& barcode = {}, int width = 58);
// The printer's own Code 128 command for digits (GS k 73, set C packing two digits a symbol), its
// height, bar width for the roll and number printed under it: empty for a code that is not
// digits or would not fit across the roll, which is then printed as text only.
QByteArray escPosBarcode(const QString& code, int width);
// The pulse that opens a cash drawer wired to the printer: ESC p 0 25 250 (pin 2, 50 ms on,
// 500 ms off).
QByteArray drawerKick();

// Writes the bytes to the printer's device file. The file is opened only when it is a character
// device (a printer's), never created or truncated; anything else is refused with a message naming
// the setting. Throws LedgerError when it cannot write.
void writeDevice(const QString& device, const QByteArray& bytes);

} // namespace Receipts
