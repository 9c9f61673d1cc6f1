#pragma once

#include "data/database.h"
#include "data/spreadsheet.h"

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

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
inline const QString FixAmountsDue = QStringLiteral("修复应收金额");
inline const QString Return = QStringLiteral("退货");
inline const QString OpenShift = QStringLiteral("开班");
inline const QString CloseShift = QStringLiteral("交班");
inline const QString CashIn = QStringLiteral("存入");
inline const QString CashOut = QStringLiteral("支出");
inline const QString Settings = QStringLiteral("修改设置");
inline const QString NewOperator = QStringLiteral("新增操作员");
inline const QString EditOperator = QStringLiteral("修改操作员");
inline const QString RemoveOperator = QStringLiteral("删除操作员");
inline const QString SaveRole = QStringLiteral("保存角色");
inline const QString RemoveRole = QStringLiteral("删除角色");
// Every action above, in the order the log page offers them.
const QStringList& actions();

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
// Chains every row of a file's log anew, in the order of the keys: for a file written from a
// server's log (whose rows carry no hash, the server's triggers guard them), so that from then on
// the file's check finds any row changed, removed or slipped in. Returns the rows chained.
qint64 seal(const QSqlDatabase& db);

QList<Break> checkChain(const QSqlDatabase& db, const std::function<bool(qint64, qint64)>& progress = {});

// What the log page looks for: the days from and to (both included; an invalid date leaves that
// end open), and the operator, till and action (empty: any).
struct Filter {
    QDate from;
    QDate to;
    QString operatorName;
    QString till;
    QString action;
};
// The rows the filter finds, newest first (by moment, then by key), at most `limit`; with `after`
// (the last row of a page) the rows that come after it, the next page. Every filter is answered
// from an index, however long the log. Requires the right to read the log.
QList<Row> search(const Filter& filter, int limit, const std::optional<Row>& after = {});
// The statement of that search with its parameters (every row found for a limit of 0), for a list
// that reads the rows itself: it asks for the right first. Selects the columns of Row by their
// names in the table (id, logged_at, till_name, operator_name, authorized_by, action, touched,
// old_value, new_value, hash).
QString searchStatement(const Filter& filter, int limit, const std::optional<Row>& after, Db::Params* params);

// What the log page's lists offer: the operators (those of the shop and those the log names, a
// removed one too), the tills and the actions the log holds (the known actions first). Each value
// is one step through an index, not a pass over the log. Requires the right to read the log.
struct Choices {
    QStringList operators;
    QStringList tills;
    QStringList actions;
};
Choices choices();

// The columns of the page and of its export: 时间, 收银机, 操作员, 授权人, 操作, 涉及, 原值, 新值.
QList<Spreadsheet::Column> columns();
// The texts of a row in those columns.
QVariantList cells(const Row& row);

// Writes every row the filter finds (not only the page shown), newest first, to a spreadsheet
// file (see Spreadsheet::write: nothing is left of a cancelled or failed export). Requires the
// rights to read the log and to export; the export is logged. Returns the rows written, -1 when
// cancelled.
qint64 exportRows(const Filter& filter, const QString& path, Spreadsheet::Format format,
                  const Spreadsheet::Progress& progress = {});

} // namespace OpLog
