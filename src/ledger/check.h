#pragma once

#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>

// The check of the whole ledger: the files themselves, and everything the shop's operations
// always keep true (an order's amount due is the sum of its lines, every line and record belongs
// to an order or card that exists, each card's records form one chain of balances ending at the
// card's balance, numbers are numbers and moments are moments). It only reads.
namespace Ledger {

struct CheckProblem {
    QString title; // one line in plain Chinese, e.g. "订单 41 的应收金额 120 与明细合计 118.5 不符"
    QString detail;       // what it means / what to do, plain Chinese (may be empty)
    QString table;        // the table concerned ("aa", "ak", "aj", ...), empty for the file itself
    QList<qint64> rows;   // the keys of the rows concerned
    bool fixable = false; // a certain fix exists (an amount due recomputed from its lines)
};

struct CheckReport {
    QList<CheckProblem> problems;
    QStringList checked;  // what was checked, one line each in Chinese ("订单 1,234 张", ...)
    QStringList skipped;  // what was not checked and why (on a server: what the server keeps itself)
    bool stopped = false; // the check was stopped before its end: no verdict, what was found so far
    bool clean() const { return !stopped && problems.isEmpty(); }
    // The orders whose amount due can be recomputed from their lines.
    QList<qint64> fixableOrders() const;
    // The whole report as plain Chinese text (for the tool and for copying).
    QString text() const;
};

// Runs every check over the open business and lists connections. Of a file, the log is first
// written back into it (as the program does two seconds after writes), so that its longest reads
// can run on a thread of their own. `progress(done, total)` is
// called now and then; returning false stops it (the report is then marked stopped and holds
// what was found so far: no verdict).
//
// The database's own check of the files goes as deep as `depth` says: the quick one reads every
// page and every row, the full one also matches every index with its table and takes about twice
// as long. `Due` runs the full one when the shop's last (remembered in its folder's settings file)
// is a week old or more, the quick one otherwise.
enum class FileCheck { Due, Quick, Full };
CheckReport checkLedger(const QSqlDatabase& business, const QSqlDatabase& lists,
                        const std::function<bool(int, int)>& progress = {}, FileCheck depth = FileCheck::Due);
// The same for the shop that is open (its two files, or its server).
CheckReport checkShop(const std::function<bool(int, int)>& progress = {});

// The moment of the shop's last full check of its files (invalid when none is remembered), and
// whether the next check is due to be a full one.
QDateTime lastFullFileCheck(const QString& shopFolder);
bool fullFileCheckDue(const QString& shopFolder, const QDateTime& now);

// Whether the check reads its longest parts (the database's own check of the business file, the
// pass over the stock-out records) on a thread of its own beside the others, as it does by default, or every
// part in turn, as it does when the file changed while they were read aside. For tests: the report is the
// same either way.
void setReadingAside(bool aside);

// The certain fix: writes into each given order the sum of its lines as its amount due, in one
// transaction through Db::Work (announced). Returns how many orders changed.
int fixAmountsDue(const QList<qint64>& orders);

} // namespace Ledger
