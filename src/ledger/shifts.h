#pragma once

#include "core/money.h"

#include <QDate>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace Db {
class Work;
}

// The shifts (班次) of the tills: each opened with the float counted into the drawer, closed by
// 交班 with the drawer counted. What should be in the drawer is worked out from the ledger's own
// records of that till and shift (the orders settled in it, the recharges paid into it, the cash
// paid in and out), never from a running total of its own.
namespace Shifts {

// A shift as kept.
struct Shift {
    qint64 key = 0;
    QString till;
    QString operatorName;
    QString openedAt; // yyyy-MM-dd HH:mm:ss
    QDate day;        // the day it opened: a shift across midnight belongs to it
    Currency openingFloat;
    QString closedAt; // empty while open
    QString closedBy;
    std::optional<Currency> expected;
    std::optional<Currency> counted; // none: closed without a count (未清点)
    QString countDetail;             // the pieces of each denomination counted ("100×3 20×1")
    QString report;                  // the close report as it was at the close (48 columns), empty before
    bool isOpen() const { return closedAt.isEmpty(); }
};

// The open shift of this till (Staff::tillName), if any.
std::optional<Shift> current();
// Whether a shift ever ran at this till (a shop without operators uses shifts from its first).
bool everOpenedHere();
// The key the records of a settlement or recharge at this till carry: the open shift's, 0 when none.
qint64 currentKey(Db::Work& work);

// Opens a shift at this till with the float counted into the drawer. Refused while one is open
// (only one open shift per till) and for a float below zero. Logged.
Shift open(Currency openingFloat);
// A shift of this till left open from an earlier day is closed without a count (未清点) and the log
// says so; returns it. Run at the login, before a new shift is opened.
std::optional<Shift> closeStale(const QDate& today);

// Cash paid into (存入) or out of (支出) the drawer of this till's open shift, with the reason.
// Refused without an open shift, for an amount not above zero, and (out) for more than is in the
// drawer. Logged.
enum class Move { In, Out };
void moveCash(Move move, Currency amount, const QString& reason);
inline const QString CashIn = QStringLiteral("存入");
inline const QString CashOut = QStringLiteral("支出");

// Cash that went into or out of the drawer besides sales and recharges: paid in (存入), paid out
// (支出), or given back for a return (退款).
inline const QString CashRefund = QStringLiteral("退款");
struct CashMovement {
    QString at;   // yyyy-MM-dd HH:mm:ss
    QString kind; // CashIn, CashOut or CashRefund
    Currency amount;
    QString reason; // a refund's: its order and the reason of the return
    QString operatorName;
};

// What a shift took and gave, from the records.
struct Figures {
    Shift shift;
    int cashOrders = 0;
    Currency cashSales; // collected in cash for the orders settled in the shift
    int cardOrders = 0;
    Currency cardSales;
    Currency discounts; // amounts due less what was collected, of the orders settled
    int recharges = 0;
    Currency rechargeCash;
    Currency cashIn;
    Currency cashOut;
    Currency refunds; // cash given back for returns
    int refundCount = 0;
    QList<CashMovement> movements; // each cash in, out and refund, in the order they happened
    int removedLines = 0;
    int deletedOrders = 0;
    // Float + cash sales + recharges + cash in − cash out − refunds.
    Currency expected() const;
};
Figures figures(qint64 shift);

// The denominations a drawer is counted in (yuan).
const QList<Currency>& denominations();
// A count by denomination (pieces of each, in the order of denominations()): its sum.
Currency sumOfCount(const QList<int>& pieces);

// Closes the shift with the drawer counted (by denomination or as one sum) and stores its figures
// and report. Refused for a shift already closed. Logged with the expected and counted cash.
Figures close(qint64 shift, Currency counted, const QList<int>& pieces = {});

// A line of a report on the roll: the label on the left, the value on the right, the line
// `width` columns wide (a Chinese character takes two); either is cut short to fit.
QString reportRow(const QString& label, const QString& value, int width);
// A text cut to at most `columns` columns, never in the middle of a character.
QString cutToColumns(const QString& text, int columns);

// The close report (交班报表) as lines of text of the given width in columns (a receipt is 32
// or 48), every line at most that wide: the figures, then each cash movement (time, kind,
// operator, amount, and its reason below), then the expected and counted cash.
QStringList reportLines(const Figures& figures, int width);

// A movement's time as the report shows it: the time alone on the shift's own day, with the date
// on a later one.
QString movementTime(const CashMovement& movement, const QDate& day);

// The shifts that opened on the days, newest first; the day close (日结) adds up a day's shifts
// of every till.
QList<Shift> shiftsOf(const QDate& from, const QDate& to);
struct DayClose {
    QDate day;
    QList<Figures> shifts;
    Figures total; // the sums (its shift empty)
};
DayClose dayClose(const QDate& day);

// 开钱箱 without a sale: asks its right, runs `kick` (the printer's pulse to the drawer) and logs
// it. A kick that fails is raised and not logged.
void openDrawer(const std::function<void()>& kick);

} // namespace Shifts
