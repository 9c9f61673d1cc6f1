#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace Db {
class Work;
}

// The operation log (操作日志) of a shop with staff: every operation that changes the ledger, every
// refusal for lack of a right, every login, change of hands, lock and owner's word. A row is
// written in the same unit of work as the change it tells of, so a change rolled back leaves no
// row and no change is stored without its row. Nothing ever updates or deletes a row: on a server
// a trigger refuses it; in a business file every row carries a hash chained to the row before, and
// the ledger check finds a row changed, removed or slipped in. A shop without operators keeps no
// log.
namespace OpLog {

inline const QString Table = QStringLiteral("oplog");

// The actions the log names.
inline const QString SignedIn = QStringLiteral("登录");
inline const QString ChangedHands = QStringLiteral("换人");
inline const QString Locked = QStringLiteral("锁定");
inline const QString OwnersWord = QStringLiteral("店主授权");
inline const QString RefusedAction = QStringLiteral("拒绝");

// What one row tells besides who, where and when: the action, the keys it touched ("订单 12",
// "产品 3, 5"), and what the amounts or fields were before and are after.
struct Entry {
    QString action;
    QString touched;
    QString before;
    QString after;
};

// Writes a row into the unit of work, naming the operator signed in at this till (and the owner
// who gave their word, while one does). Nothing in a shop without operators.
void write(Db::Work& work, const Entry& entry);
// The same in a unit of work of its own (a login, a lock, a refusal).
void write(const Entry& entry);

// A row as stored.
struct Row {
    qint64 key = 0;
    QString at; // yyyy-MM-dd HH:mm:ss
    QString till;
    QString operatorName;
    QString authorizedBy;
    QString action;
    QString touched;
    QString before;
    QString after;
    QString hash;
};
// The hash a row carries: of the row's own fields and the hash of the row before (empty for the
// first row), hex.
QString chainHash(const Row& row, const QString& previous);

// A row of the log that is not as written: changed, removed (the row after it no longer follows
// on), or slipped in (its hash is not of the chain). `key` is the row where the chain breaks.
struct Break {
    qint64 key = 0;
    QString text;
};
// Follows the chain of a business file's log from its first row; `progress(done, total)` may stop
// it by returning false. Nothing to find on a server (its trigger keeps the log).
QList<Break> checkChain(const QSqlDatabase& db, const std::function<bool(qint64, qint64)>& progress = {});

} // namespace OpLog
