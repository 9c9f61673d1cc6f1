#pragma once

#include "core/money.h"
#include "ledger/shifts.h"
#include "reports/reportrenderer.h"
#include "ui_shiftcount.h"

#include <QDialog>
#include <QList>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QTextEdit;
class QPushButton;
class QSpinBox;
class QStatusBar;
class QTableWidget;
class QDateEdit;

// The windows of the shifts at this till: the float asked when a shift opens, the count of the
// drawer at 交班 and the close report, cash paid in and out, the drawer opened by hand, and the
// owner's list of past shifts with the day's close.
namespace ShiftWindows {

// After a successful login: a shift left open from an earlier day is closed uncounted (and the
// operator told), then, when no shift of this till is open, the float is asked. Cancelled, no
// shift opens and the float is asked again at the first settlement.
void afterLogin(QWidget* parent);
// Test hook: whether the float is asked at all (after a login, before a settlement); the tests of
// other windows answer no dialog of the shifts.
void setAskFloat(bool ask);
// Before an order is settled at the counter: with no shift open, the float is asked (once a
// shift has ever run at this till, in a shop without operators; after every login in a shop
// with). Whatever the answer, the settlement goes on; without a shift the sale belongs to none.
// A shop without operators has no login: a shift left open from an earlier day before the
// program started is closed uncounted here (never one worked across midnight since).
void beforeSettlement(QWidget* parent);
// Asks the float and opens the shift; false when cancelled.
bool askFloat(QWidget* parent);

// "交 班": counts the drawer, closes the shift and shows the close report. Opens a shift (asks the
// float) when none is open.
void closeShift(QWidget* parent);
// "存入" / "支出": cash paid into or out of the drawer.
void moveCash(QWidget* parent, Shifts::Move move);
// "开钱箱": opens the drawer by hand (a right; logged).
void openDrawer();
// "班次记录": the past shifts and the day's close.
void pastShifts(QWidget* parent);

// The status bar's buttons: 交 班, 钱 箱 (存入, 支出, 开钱箱) and 班次记录, and the label naming the
// open shift. Kept current as shifts open and close.
void addTo(QStatusBar* bar, QWidget* parent);

// The close report, the day's close and the list of shifts as pages of the report engine.
ReportSnapshot shiftPage(const Shifts::Figures& figures);
ReportSnapshot shiftsPage(const QList<Shifts::Figures>& shifts, const QString& title,
                          const QList<std::pair<QString, QString>>& head);
ReportSnapshot dayPage(const Shifts::DayClose& day);
// Shows the page in the print preview (with "保存为 PDF"); writes it to a PDF file.
void previewPage(const ReportSnapshot& page, const QString& pdfName);
void renderPagePdf(const ReportSnapshot& page, const QString& path);
// Tests: when set, previewPage hands the page to the hook instead of showing the preview.
void setPageHook(std::function<void(const ReportSnapshot&)> hook);

// A cash amount as typed: digits with at most two decimals, at most a billion yuan. None for
// anything else.
std::optional<Currency> cashAmount(const QString& text);

} // namespace ShiftWindows

// The count of the drawer at 交班: pieces of each denomination with the running sum, or the sum
// alone. Blind unless the operator may see the expected cash.
class ShiftCount : public QDialog, public Ui::ShiftCount {
    Q_OBJECT
public:
    ShiftCount(const Shifts::Figures& figures, QWidget* parent = nullptr);
    QList<QSpinBox*> pieces;
    QList<QLabel*> amounts;
    // The count entered, and the pieces when counted by denomination (empty for a sum).
    Currency counted() const { return m_counted; }
    QList<int> countedPieces() const;
    // The shift as closed, once accepted.
    const Shifts::Figures& closed() const { return m_closed; }

private:
    void recount();
    void save();
    qint64 m_key = 0;
    Currency m_counted;
    Shifts::Figures m_closed;
};

// A report on the screen as the roll shows it, with its prints: on the receipt printer, and as a
// page of the report engine. The close report of a shift (交班报表) and the day's close (日结).
class ShiftReport : public QDialog {
    Q_OBJECT
public:
    // `lines` lays the report out for a roll of that many columns.
    ShiftReport(const QString& title, const std::function<QStringList(int columns)>& lines,
                const ReportSnapshot& page, const QString& pdfName, QWidget* parent = nullptr);
    // The close report of a shift.
    static ShiftReport* ofShift(const Shifts::Figures& figures, QWidget* parent);
    // The day's close.
    static ShiftReport* ofDay(const Shifts::DayClose& day, QWidget* parent);
    QTextEdit* text = nullptr;
    // The lines shown, as the roll of 48 columns lays them out.
    const QStringList& lines() const { return m_shown; }
    QPushButton* receiptButton = nullptr;
    QPushButton* pageButton = nullptr;
    QPushButton* closeButton = nullptr;

private:
    QString m_title;
    std::function<QStringList(int)> m_lines;
    ReportSnapshot m_page;
    QString m_pdfName;
    QStringList m_shown;
};

namespace ShiftWindows {
// The day's close as lines of the roll.
QStringList dayLines(const Shifts::DayClose& day, int width);
} // namespace ShiftWindows

// 存入 / 支出: the amount and the reason, picked from the common ones or typed.
class CashMoveDialog : public QDialog {
    Q_OBJECT
public:
    CashMoveDialog(Shifts::Move move, QWidget* parent = nullptr);
    static const QStringList InReasons;
    static const QStringList OutReasons;
    QLineEdit* amountEdit = nullptr;
    QComboBox* reasonBox = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    void save();
    Shifts::Move m_move;
};

// 开班: the float counted into the drawer.
class ShiftOpenDialog : public QDialog {
    Q_OBJECT
public:
    explicit ShiftOpenDialog(QWidget* parent = nullptr);
    QLineEdit* floatEdit = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;

private:
    void save();
};

// 班次记录: the shifts of the days chosen, every till, with their differences; the day's close.
class ShiftList : public QDialog {
    Q_OBJECT
public:
    explicit ShiftList(QWidget* parent = nullptr);
    QDateEdit* fromEdit = nullptr;
    QDateEdit* toEdit = nullptr;
    QTableWidget* table = nullptr;
    QLabel* totalLabel = nullptr;
    QPushButton* reportButton = nullptr; // the chosen shift's report
    QPushButton* dayButton = nullptr;    // the chosen day's close
    QPushButton* printButton = nullptr;  // the list as a page
    QPushButton* closeButton = nullptr;
    void reload();
    QList<Shifts::Figures> shown() const { return m_shown; }

private:
    QList<Shifts::Figures> m_shown;
};
