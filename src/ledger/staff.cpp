#include "ledger/staff.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/work.h"
#include "ledger/oplog.h"

#include <QSqlQuery>
#include <QStringList>
#include <QSysInfo>
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
    {Staff::Right::Settings, "settings", "设置（小票、备份文件夹、限额）"},
    {Staff::Right::Operators, "operators", "操作员与权限"},
    {Staff::Right::ReadLog, "readLog", "查看操作日志"},
    {Staff::Right::Returns, "returns", "限额内退货"},
    {Staff::Right::ReturnsBeyond, "returnsBeyond", "超出限额退货"},
    {Staff::Right::CardRefundCash, "cardRefundCash", "会员卡消费退现金"},
    {Staff::Right::SeeExpected, "seeExpected", "查看应有现金"},
    {Staff::Right::OpenDrawer, "openDrawer", "开钱箱"},
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
    return {Right::Sell,     Right::RemoveLine, Right::DeleteUnsettled, Right::Members,
            Right::Recharge, Right::PrintLists, Right::Returns,         Right::OpenDrawer};
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

// Who works at this till. The rights are those of the operator's role as read at the login.
struct Session {
    bool inForce = false;
    std::optional<Staff::Operator> current;
    Staff::Rights rights;
    std::optional<Staff::Operator> authorizer;
    QString till;
    std::optional<Staff::Operator> lockedBy; // who locked the till, until the next login
};
Session& session() {
    static Session s;
    return s;
}

void begin(const Staff::Operator& who) {
    session().inForce = true;
    session().lockedBy.reset();
    // An owner's word given to the one before ends with the change of hands.
    session().authorizer.reset();
    session().current = who;
    session().rights = Staff::rightsOf(who.role);
}
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
    require(Right::Operators, QStringLiteral("角色 %1").arg(role));
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
        OpLog::write(
            work,
            {QStringLiteral("保存角色"), QStringLiteral("角色 %1").arg(role), {}, storedRights(rights)});
        work.commit();
    });
}

qint64 addOperator(const QString& name, const QString& role, const QString& pin) {
    const QString who = name.trimmed();
    if (const QString problem = nameProblem(who, QStringLiteral("操作员")); !problem.isEmpty())
        throw Refused(problem);
    if (const QString problem = pinProblem(pin); !problem.isEmpty())
        throw Refused(problem);
    require(Right::Operators, QStringLiteral("操作员 %1").arg(who));
    const QString hash = hashPin(pin); // a tenth of a second: before the transaction
    bool first = false;
    const Session before = session();
    try {
        const qint64 added = Db::perform(Db::business(), [&](Db::Work& work) {
            first = work.scalar(QStringLiteral("select count(*) from operators")).toLongLong() == 0;
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
            if (first) {
                // The shop's first operator, its owner, is the one working here from now on.
                begin(Operator{key, who, given});
            }
            OpLog::write(work, {QStringLiteral("新增操作员"),
                                QStringLiteral("操作员 %1").arg(key),
                                {},
                                QStringLiteral("%1（%2）").arg(who, given)});
            work.commit();
            return key;
        });
        return added;
    } catch (...) {
        session() = before;
        throw;
    }
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

namespace {

qint64 ownerCount(Db::Work& work, qint64 except) {
    return work
        .scalar(QStringLiteral("select count(*) from operators where role = :r and id <> :k"),
                {{QStringLiteral(":r"), OwnerRole}, {QStringLiteral(":k"), except}})
        .toLongLong();
}

void requireRole(Db::Work& work, const QString& role) {
    if (role != OwnerRole && role != CashierRole &&
        work.scalar(QStringLiteral("select count(*) from roles where name = :n"),
                    {{QStringLiteral(":n"), role}})
                .toLongLong() == 0)
        throw Refused(QStringLiteral("没有名为“%1”的角色").arg(role));
}

QString operatorName(Db::Work& work, qint64 key) {
    const QVariant name = work.scalar(QStringLiteral("select name from operators where id = :k"),
                                      {{QStringLiteral(":k"), key}});
    if (name.isNull())
        throw Refused(QStringLiteral("没有这个操作员，请重新选择"));
    return name.toString();
}

} // namespace

void updateOperator(qint64 key, const QString& role, const QString& pin) {
    if (!pin.isEmpty())
        if (const QString problem = pinProblem(pin); !problem.isEmpty())
            throw Refused(problem);
    require(Right::Operators, QStringLiteral("操作员 %1").arg(key));
    const QString hash = pin.isEmpty() ? QString() : hashPin(pin);
    Db::perform(Db::business(), [&](Db::Work& work) {
        const QString name = operatorName(work, key);
        requireRole(work, role);
        const QString was = work.scalar(QStringLiteral("select role from operators where id = :k"),
                                        {{QStringLiteral(":k"), key}})
                                .toString();
        if (was == OwnerRole && role != OwnerRole && ownerCount(work, key) == 0)
            throw Refused(QStringLiteral("“%1”是唯一的店主，不能改为其他角色").arg(name));
        work.exec(QStringLiteral("update operators set role = :r where id = :k"),
                  {{QStringLiteral(":r"), role}, {QStringLiteral(":k"), key}});
        if (!hash.isEmpty())
            work.exec(QStringLiteral(
                          "update operators set pin = :p, failures = 0, last_failure = NULL where id = :k"),
                      {{QStringLiteral(":p"), hash}, {QStringLiteral(":k"), key}});
        work.wrote(Operators, key);
        OpLog::write(work, {QStringLiteral("修改操作员"), QStringLiteral("操作员 %1").arg(key),
                            QStringLiteral("%1（%2）").arg(name, was),
                            QStringLiteral("%1（%2）%3")
                                .arg(name, role, hash.isEmpty() ? QString() : QStringLiteral("，新PIN"))});
        work.commit();
    });
    if (session().current && session().current->key == key) {
        session().current->role = role;
        session().rights = rightsOf(role);
    }
}

void removeOperator(qint64 key) {
    require(Right::Operators, QStringLiteral("操作员 %1").arg(key));
    Db::perform(Db::business(), [&](Db::Work& work) {
        const QString name = operatorName(work, key);
        const QString role = work.scalar(QStringLiteral("select role from operators where id = :k"),
                                         {{QStringLiteral(":k"), key}})
                                 .toString();
        if (role == OwnerRole && ownerCount(work, key) == 0)
            throw Refused(QStringLiteral("“%1”是唯一的店主，不能删除").arg(name));
        work.exec(QStringLiteral("delete from operators where id = :k"), {{QStringLiteral(":k"), key}});
        work.wrote(Operators, key);
        OpLog::write(work, {QStringLiteral("删除操作员"),
                            QStringLiteral("操作员 %1").arg(key),
                            QStringLiteral("%1（%2）").arg(name, role),
                            {}});
        work.commit();
    });
}

void removeRole(const QString& name) {
    if (name == OwnerRole || name == CashierRole)
        throw Refused(QStringLiteral("“%1”是程序自带的角色，不能删除").arg(name));
    require(Right::Operators, QStringLiteral("角色 %1").arg(name));
    Db::perform(Db::business(), [&](Db::Work& work) {
        if (work.scalar(QStringLiteral("select count(*) from operators where role = :r"),
                        {{QStringLiteral(":r"), name}})
                .toLongLong() > 0)
            throw Refused(QStringLiteral("还有操作员是“%1”角色，不能删除").arg(name));
        const QVariant key = work.scalar(QStringLiteral("select id from roles where name = :n"),
                                         {{QStringLiteral(":n"), name}});
        if (key.isNull())
            throw Refused(QStringLiteral("没有名为“%1”的角色").arg(name));
        work.exec(QStringLiteral("delete from roles where id = :k"), {{QStringLiteral(":k"), key}});
        work.wrote(Roles, key.toLongLong());
        OpLog::write(work, {QStringLiteral("删除角色"), QStringLiteral("角色 %1").arg(name), {}, {}});
        work.commit();
    });
}

bool inForce() {
    return session().inForce;
}

void start() {
    session() = Session{hasOperators(), std::nullopt, {}, std::nullopt, session().till, std::nullopt};
}

QString tillName() {
    return session().till.isEmpty() ? QSysInfo::machineHostName() : session().till;
}

void setTillName(const QString& name) {
    session().till = name.trimmed();
}

std::optional<Operator> current() {
    return session().current;
}

SignIn logIn(qint64 operatorKey, const QString& pin) {
    const SignIn answer = signIn(operatorKey, pin);
    if (!answer.admitted) {
        return answer;
    }
    const auto was = session().current ? session().current : session().lockedBy;
    const Operator who = [&] {
        for (const Operator& o : operators())
            if (o.key == operatorKey)
                return o;
        throw Refused(QStringLiteral("没有这个操作员，请重新选择"));
    }();
    begin(who);
    OpLog::write({was && was->key != who.key ? OpLog::ChangedHands : OpLog::SignedIn,
                  QStringLiteral("操作员 %1").arg(who.key), was ? was->name : QString(), who.name});
    return answer;
}

void lock() {
    if (!session().current)
        return;
    OpLog::write({OpLog::Locked,
                  QStringLiteral("操作员 %1").arg(session().current->key),
                  session().current->name,
                  {}});
    // The one who locked stays known, so the next login tells a change of hands from a return.
    session().lockedBy = session().current;
    session().rights.clear();
    session().current.reset();
    // Whoever signs in next works with their own rights, not with a word given before the lock.
    session().authorizer.reset();
}

Refreshed refresh() {
    Session& s = session();
    if (!s.inForce || !s.current)
        return Refreshed::Same;
    QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select name, role from operators where id = :k"),
                           {{QStringLiteral(":k"), s.current->key}});
    if (!q.next()) {
        // Removed (here or at another till): nobody works here until the next login.
        s.lockedBy.reset();
        s.rights.clear();
        s.current.reset();
        s.authorizer.reset();
        return Refreshed::Gone;
    }
    const Operator now{s.current->key, q.value(0).toString(), q.value(1).toString()};
    const Rights rights = rightsOf(now.role);
    if (now.name == s.current->name && now.role == s.current->role && rights == s.rights)
        return Refreshed::Same;
    s.current = now;
    s.rights = rights;
    return Refreshed::Changed;
}

QVariant signature() {
    const Session& s = session();
    return s.inForce && s.current ? QVariant(s.current->name) : QVariant();
}

bool may(Right right) {
    const Session& s = session();
    if (!s.inForce || s.authorizer)
        return true;
    return s.current && s.rights.contains(right) &&
           !(neverForCashier(right) && s.current->role == CashierRole);
}

NoRight::NoRight(Right right) : Refused(QStringLiteral("没有权限：") + name(right)), m_right(right) {}

void require(Right right, const QString& touched) {
    if (may(right))
        return;
    OpLog::write({OpLog::RefusedAction, touched, {}, name(right)});
    throw NoRight(right);
}

QList<Operator> owners() {
    QList<Operator> found;
    for (const Operator& o : operators())
        if (o.role == OwnerRole)
            found << o;
    return found;
}

OwnersWord::OwnersWord(qint64 ownerKey, const QString& pin) {
    std::optional<Operator> owner;
    for (const Operator& o : owners())
        if (o.key == ownerKey)
            owner = o;
    if (!owner)
        throw Refused(QStringLiteral("只有店主可以授权"));
    const SignIn answer = signIn(ownerKey, pin);
    if (!answer.admitted)
        throw Refused(answer.waitUntil ? QStringLiteral("PIN错误次数过多，请在 %1 之后再试")
                                             .arg(answer.waitUntil->toString(QStringLiteral("HH:mm:ss")))
                                       : QStringLiteral("PIN不正确"));
    session().authorizer = owner;
    OpLog::write({OpLog::OwnersWord, QStringLiteral("操作员 %1").arg(owner->key), {}, owner->name});
}

OwnersWord::~OwnersWord() {
    session().authorizer.reset();
}

std::optional<Operator> authorizer() {
    return session().authorizer;
}

void actAs(const std::optional<Operator>& who) {
    if (who) {
        begin(*who);
    } else {
        session().current.reset();
        session().rights.clear();
    }
}

} // namespace Staff
