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
inline const QString NewOrder = QStringLiteral("开单");
inline const QString AddLine = QStringLiteral("加产品");
inline const QString RemoveLine = QStringLiteral("删除订单明细");
inline const QString DeleteOrder = QStringLiteral("删除订单");
inline const QString OrderCategory = QStringLiteral("修改订单分类");
inline const QString PayCash = QStringLiteral("现金结算");
inline const QString PayByCard = QStringLiteral("会员卡结算");
inline const QString StockIn = QStringLiteral("入库");
inline const QString NewProduct = QStringLiteral("新增产品");
inline const QString EditProduct = QStringLiteral("修改产品");
inline const QString DeleteProduct = QStringLiteral("删除产品");
inline const QString NewMember = QStringLiteral("新增会员");
inline const QString EditMember = QStringLiteral("修改会员");
inline const QString DeleteMember = QStringLiteral("删除会员");
inline const QString Recharge = QStringLiteral("会员充值");
inline const QString EditPickList = QStringLiteral("编辑菜单项");
inline const QString Import = QStringLiteral("导入");
inline const QString Export = QStringLiteral("导出");
inline const QString Print = QStringLiteral("打印");
inline const QString Backup = QStringLiteral("备份");
inline const QString Restore = QStringLiteral("恢复");
inline const QString Check = QStringLiteral("数据检查");
inline const QString Settings = QStringLiteral("修改设置");

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
