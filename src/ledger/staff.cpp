#include "ledger/staff.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/work.h"

#include <QSqlQuery>
#include <QStringList>
#include <sodium.h>

namespace {

struct RightInfo {
    Staff::Right right;
    const char* key;
    const char* name;
};

// The list in the order the rights are shown.
const RightInfo Infos[] = {
    {Staff::Right::Sell, "sell", "销售（开单、加产品、现金或会员卡结算）"},
    {Staff::Right::RemoveLine, "removeLine", "删除订单中的产品"},
    {Staff::Right::Discount, "discount", "低于售价销售或给予折扣"},
    {Staff::Right::DeleteUnsettled, "deleteUnsettled", "删除未结算订单"},
    {Staff::Right::DeleteSettled, "deleteSettled", "删除已结算订单"},
    {Staff::Right::StockIn, "stockIn", "产品入库"},
    {Staff::Right::Products, "products", "新增、修改、删除产品"},
    {Staff::Right::PickLists, "pickLists", "编辑菜单项"},
    {Staff::Right::Members, "members", "新增、修改、删除会员"},
    {Staff::Right::Recharge, "recharge", "会员充值"},
    {Staff::Right::SeeCosts, "seeCosts", "查看成本价和利润"},
    {Staff::Right::ExportImport, "exportImport", "导出和导入"},
    {Staff::Right::PrintLists, "printLists", "打印列表"},
    {Staff::Right::BackupRestore, "backupRestore", "备份、恢复和数据检查"},
    {Staff::Right::Settings, "settings", "设置（小票、备份文件夹）"},
    {Staff::Right::Operators, "operators", "操作员与权限"},
    {Staff::Right::ReadLog, "readLog", "查看操作日志"},
};

const RightInfo& info(Staff::Right right) {
    for (const RightInfo& i : Infos)
        if (i.right == right)
            return i;
    Q_UNREACHABLE();
}

// Checking a PIN costs this much work and memory: about a tenth of a second on a till of today,
// so that a stolen business file does not give its PINs away in minutes.
constexpr unsigned long long PinOps = 2;
constexpr size_t PinMemory = 64 * 1024 * 1024;

void ready() {
    if (sodium_init() < 0)
        throw LedgerError(QStringLiteral("无法初始化密码库"));
}

} // namespace

namespace Staff {

const QList<Right>& allRights() {
    static const QList<Right> rights = [] {
        QList<Right> r;
        for (const RightInfo& i : Infos)
            r << i.right;
        return r;
    }();
    return rights;
}

QString name(Right right) {
    return QString::fromUtf8(info(right).name);
}

QString key(Right right) {
    return QString::fromLatin1(info(right).key);
}

std::optional<Right> rightOfKey(const QString& key) {
    for (const RightInfo& i : Infos)
        if (key == QLatin1String(i.key))
            return i.right;
    return std::nullopt;
}

QString storedRights(const Rights& rights) {
    QStringList keys;
    for (const Right r : allRights())
        if (rights.contains(r))
            keys << key(r);
    return keys.join(QLatin1Char(','));
}

Rights rightsOfStored(const QString& text) {
    Rights rights;
    for (const QString& k : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (const auto r = rightOfKey(k.trimmed()))
            rights.insert(*r);
    return rights;
}

Rights ownerRights() {
    const QList<Right>& all = allRights();
    return Rights(all.begin(), all.end());
}

Rights cashierRights() {
    return {Right::Sell,    Right::RemoveLine, Right::DeleteUnsettled,
            Right::Members, Right::Recharge,   Right::PrintLists};
}

bool neverForCashier(Right right) {
    return right == Right::DeleteSettled;
}

QString pinProblem(const QString& pin) {
    if (pin.size() < 4 || pin.size() > 8)
        return QStringLiteral("密码须为 4 到 8 位数字");
    for (const QChar c : pin)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QStringLiteral("密码只能由数字组成");
    return {};
}

QString hashPin(const QString& pin) {
    if (const QString problem = pinProblem(pin); !problem.isEmpty())
        throw Refused(problem);
    ready();
    const QByteArray digits = pin.toLatin1();
    char stored[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(stored, digits.constData(), size_t(digits.size()), PinOps, PinMemory,
                              crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw LedgerError(QStringLiteral("内存不足，无法保存密码"));
    return QString::fromLatin1(stored);
}

bool pinMatches(const QString& pin, const QString& stored) {
    if (!pinProblem(pin).isEmpty() || stored.isEmpty())
        return false;
    ready();
    const QByteArray hash = stored.toLatin1();
    const QByteArray digits = pin.toLatin1();
    return crypto_pwhash_str_verify(hash.constData(), digits.constData(), size_t(digits.size())) == 0;
}

qint64 waitSeconds(int failures) {
    constexpr int FreeTries = 5;
    constexpr qint64 First = 30, Longest = 24 * 60 * 60;
    if (failures < FreeTries)
        return 0;
    qint64 wait = First;
    for (int i = FreeTries; i < failures && wait < Longest; ++i)
        wait *= 2;
    return std::min(wait, Longest);
}

std::optional<QDateTime> waitsUntil(int failures, const QDateTime& last) {
    const qint64 wait = waitSeconds(failures);
    if (wait == 0)
        return std::nullopt;
    return last.addSecs(wait);
}

namespace {

const QString Operators = QStringLiteral("operators");
const QString Roles = QStringLiteral("roles");
constexpr int LongestName = 20;

QString nameProblem(const QString& name, const QString& what) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("请输入%1的名字").arg(what);
    if (name.trimmed().size() > LongestName)
        return QStringLiteral("%1的名字最多 %2 个字").arg(what).arg(LongestName);
    return {};
}

} // namespace

bool hasOperators() {
    return Db::scalar(Db::business(), QStringLiteral("select count(*) from operators")).toLongLong() > 0;
}

QList<Operator> operators() {
    QList<Operator> found;
    QSqlQuery q =
        Db::exec(Db::business(), QStringLiteral("select id, name, role from operators order by name"));
    while (q.next())
        found.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString()});
    return found;
}

QStringList roleNames() {
    QStringList names{OwnerRole, CashierRole};
    QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select name from roles order by name"));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

Rights rightsOf(const QString& role) {
    if (role == OwnerRole)
        return ownerRights();
    if (role == CashierRole)
        return cashierRights();
    const QVariant stored =
        Db::scalar(Db::business(), QStringLiteral("select rights from roles where name = :n"),
                   {{QStringLiteral(":n"), role}});
    return stored.isNull() ? Rights() : rightsOfStored(stored.toString());
}

void saveRole(const QString& name, const Rights& rights) {
    const QString role = name.trimmed();
    if (const QString problem = nameProblem(role, QStringLiteral("角色")); !problem.isEmpty())
        throw Refused(problem);
    if (role == OwnerRole || role == CashierRole)
        throw Refused(QStringLiteral("“%1”是程序自带的角色，不能修改").arg(role));
    Db::perform(Db::business(), [&](Db::Work& work) {
        const QVariant key = work.scalar(QStringLiteral("select id from roles where name = :n"),
                                         {{QStringLiteral(":n"), role}});
        if (key.isNull()) {
            work.wrote(Roles, work.insert(QStringLiteral("insert into roles (name, rights) values (:n, :r)"),
                                          {{QStringLiteral(":n"), role},
                                           {QStringLiteral(":r"), storedRights(rights)}}));
        } else {
            work.exec(QStringLiteral("update roles set rights = :r where id = :k"),
                      {{QStringLiteral(":r"), storedRights(rights)}, {QStringLiteral(":k"), key}});
            work.wrote(Roles, key.toLongLong());
        }
        work.commit();
    });
}

qint64 addOperator(const QString& name, const QString& role, const QString& pin) {
    const QString who = name.trimmed();
    if (const QString problem = nameProblem(who, QStringLiteral("操作员")); !problem.isEmpty())
        throw Refused(problem);
    if (const QString problem = pinProblem(pin); !problem.isEmpty())
        throw Refused(problem);
    const QString hash = hashPin(pin); // a tenth of a second: before the transaction
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const bool first = work.scalar(QStringLiteral("select count(*) from operators")).toLongLong() == 0;
        const QString given = first ? OwnerRole : role;
        if (given != OwnerRole && given != CashierRole &&
            work.scalar(QStringLiteral("select count(*) from roles where name = :n"),
                        {{QStringLiteral(":n"), given}})
                    .toLongLong() == 0)
            throw Refused(QStringLiteral("没有名为“%1”的角色").arg(given));
        if (work.scalar(QStringLiteral("select count(*) from operators where name = :n"),
                        {{QStringLiteral(":n"), who}})
                .toLongLong() > 0)
            throw Refused(QStringLiteral("已有名为“%1”的操作员").arg(who));
        const qint64 key = work.insert(
            QStringLiteral("insert into operators (name, role, pin) values (:n, :r, :p)"),
            {{QStringLiteral(":n"), who}, {QStringLiteral(":r"), given}, {QStringLiteral(":p"), hash}});
        work.wrote(Operators, key);
        work.commit();
        return key;
    });
}

SignIn signIn(qint64 operatorKey, const QString& pin) {
    QSqlQuery row = Db::exec(
        Db::business(), QStringLiteral("select pin, failures, last_failure from operators where id = :k"),
        {{QStringLiteral(":k"), operatorKey}});
    if (!row.next())
        throw Refused(QStringLiteral("没有这个操作员，请重新选择"));
    const QString stored = row.value(0).toString();
    SignIn answer;
    answer.failures = row.value(1).toInt();
    const QDateTime last =
        QDateTime::fromString(row.value(2).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const QDateTime now = Clock::now();
    if (const auto until = waitsUntil(answer.failures, last); until && now < *until) {
        answer.waitUntil = until;
        return answer;
    }
    answer.admitted = pinMatches(pin, stored);
    // Counted where it is kept, so wrong PINs typed at two tills at once all count.
    answer.failures = Db::perform(Db::business(), [&](Db::Work& work) {
        if (answer.admitted)
            work.exec(QStringLiteral("update operators set failures = 0, last_failure = NULL where id = :k"),
                      {{QStringLiteral(":k"), operatorKey}});
        else
            work.exec(QStringLiteral(
                          "update operators set failures = failures + 1, last_failure = :t where id = :k"),
                      {{QStringLiteral(":t"), Clock::format(now)}, {QStringLiteral(":k"), operatorKey}});
        const int failures = work.scalar(QStringLiteral("select failures from operators where id = :k"),
                                         {{QStringLiteral(":k"), operatorKey}})
                                 .toInt();
        work.wrote(Operators, operatorKey);
        work.commit();
        return failures;
    });
    if (!answer.admitted)
        answer.waitUntil = waitsUntil(answer.failures, now);
    return answer;
}

} // namespace Staff
