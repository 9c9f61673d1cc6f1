#include "core/clock.h"
#include "core/errors.h"
#include "corefixture.h"
#include "data/schema.h"
#include "data/work.h"
#include "ledger/check.h"
#include "ledger/importing.h"
#include "ledger/members.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/picklists.h"
#include "ledger/receipts.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledger/shifts.h"
#include "ledger/staff.h"
#include "ledger/stockin.h"

#include <QSet>
#include <QTest>

// The rules of the people at the tills, without any file: PINs, their hashes, the wait after
// wrong PINs, and what the built-in roles may do.
class TestLedgerStaff : public QObject {
    Q_OBJECT
private slots:
    void pinsAreFourToEightDigits_data();
    void pinsAreFourToEightDigits();
    void pinsAreKeptAsSaltedArgon2idHashes();
    void wrongPinsMakeTheOperatorWaitLongerEachTime();
    void rolesAndTheirStoredRights();
    void operatorsAreKeptWithTheirRoles();
    void wrongPinsAreCountedWhereTheOperatorIsKept();
    void everyRightIsAskedByItsOperation_data();
    void everyRightIsAskedByItsOperation();
    void aFailedOperationLeavesNoLogRow();
    void recordsAndTheLogNameWhoDidIt();
    void aShiftExplainsEveryYuanInTheDrawer();
    void shiftsLeftOpenAndTillsAddUpToTheDay();
};

void TestLedgerStaff::pinsAreFourToEightDigits_data() {
    QTest::addColumn<QString>("pin");
    QTest::addColumn<bool>("taken");
    QTest::newRow("four") << "0000" << true;
    QTest::newRow("eight") << "12345678" << true;
    QTest::newRow("three") << "123" << false;
    QTest::newRow("nine") << "123456789" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("a letter") << "12a4" << false;
    QTest::newRow("a blank") << "12 34" << false;
    QTest::newRow("full-width digits") << QStringLiteral("１２３４") << false;
    QTest::newRow("Arabic-Indic digits") << QStringLiteral("٠١٢٣") << false;
}

void TestLedgerStaff::pinsAreFourToEightDigits() {
    QFETCH(QString, pin);
    QFETCH(bool, taken);
    QCOMPARE(Staff::pinProblem(pin).isEmpty(), taken);
    if (taken) {
        QVERIFY(Staff::pinMatches(pin, Staff::hashPin(pin)));
    } else {
        QVERIFY_THROWS_EXCEPTION(Refused, Staff::hashPin(pin));
        QVERIFY(!Staff::pinMatches(pin, Staff::hashPin(QStringLiteral("1234"))));
    }
}

void TestLedgerStaff::pinsAreKeptAsSaltedArgon2idHashes() {
    const QString first = Staff::hashPin(QStringLiteral("20261210"));
    const QString second = Staff::hashPin(QStringLiteral("20261210"));
    QVERIFY2(first.startsWith(QStringLiteral("$argon2id$")), qPrintable(first));
    QVERIFY(!first.contains(QStringLiteral("20261210")));
    QVERIFY(first != second); // a salt of its own each time
    QVERIFY(Staff::pinMatches(QStringLiteral("20261210"), first));
    QVERIFY(Staff::pinMatches(QStringLiteral("20261210"), second));
    for (const QString& wrong :
         {QStringLiteral("20261211"), QStringLiteral("2026121"), QStringLiteral("202612100")})
        QVERIFY2(!Staff::pinMatches(wrong, first), qPrintable(wrong));
    // A stored text that is no hash (changed by hand, cut short) lets nobody in.
    for (const QString& stored : {QString(), QStringLiteral("20261210"), first.left(first.size() - 4),
                                  QStringLiteral("$argon2id$v=19$m=1,t=1,p=1$$")})
        QVERIFY2(!Staff::pinMatches(QStringLiteral("20261210"), stored), qPrintable(stored));
}

void TestLedgerStaff::wrongPinsMakeTheOperatorWaitLongerEachTime() {
    const QList<std::pair<int, qint64>> waits = {{0, 0},   {4, 0},   {5, 30},     {6, 60},
                                                 {7, 120}, {9, 480}, {17, 86400}, {1000000, 86400}};
    for (const auto& [failures, seconds] : waits)
        QCOMPARE(Staff::waitSeconds(failures), seconds);
    const QDateTime last(QDate(2026, 12, 10), QTime(9, 0, 0));
    QCOMPARE(Staff::waitsUntil(4, last), std::nullopt);
    QCOMPARE(Staff::waitsUntil(6, last), std::optional<QDateTime>(last.addSecs(60)));
}

void TestLedgerStaff::rolesAndTheirStoredRights() {
    QSet<QString> keys, names;
    for (const Staff::Right r : Staff::allRights()) {
        keys << Staff::key(r);
        names << Staff::name(r);
        QCOMPARE(Staff::rightOfKey(Staff::key(r)), std::optional<Staff::Right>(r));
    }
    QCOMPARE(keys.size(), Staff::allRights().size());
    QCOMPARE(names.size(), Staff::allRights().size());
    QCOMPARE(Staff::ownerRights().size(), Staff::allRights().size());
    // A cashier sells, but never deletes a settled order, sees costs, or changes the shop.
    const Staff::Rights cashier = Staff::cashierRights();
    QVERIFY(cashier.contains(Staff::Right::Sell) && cashier.contains(Staff::Right::OpenDrawer));
    for (const Staff::Right r : {Staff::Right::DeleteSettled, Staff::Right::SeeCosts, Staff::Right::Discount,
                                 Staff::Right::BackupRestore, Staff::Right::Operators, Staff::Right::ReadLog,
                                 Staff::Right::ExportImport, Staff::Right::SeeExpected})
        QVERIFY2(!cashier.contains(r), qPrintable(Staff::name(r)));
    QVERIFY(Staff::neverForCashier(Staff::Right::DeleteSettled));
    // Stored and read back alike; a right of a later version is left out, nothing else lost.
    QCOMPARE(Staff::rightsOfStored(Staff::storedRights(cashier)), cashier);
    QCOMPARE(Staff::rightsOfStored(Staff::storedRights(Staff::ownerRights())), Staff::ownerRights());
    QCOMPARE(Staff::rightsOfStored(QStringLiteral("sell, refundTwice,,recharge")),
             Staff::Rights({Staff::Right::Sell, Staff::Right::Recharge}));
}

void TestLedgerStaff::operatorsAreKeptWithTheirRoles() {
    CoreFixture f;
    // A shop without operators works as it always did, until the first one is made: the owner.
    QVERIFY(!Staff::hasOperators());
    const qint64 owner =
        Staff::addOperator(QStringLiteral(" 王店主 "), Staff::CashierRole, QStringLiteral("2468"));
    QVERIFY(Staff::hasOperators());
    Staff::saveRole(QStringLiteral("领班"), {Staff::Right::Sell, Staff::Right::Discount});
    Staff::saveRole(QStringLiteral("领班"),
                    {Staff::Right::Sell, Staff::Right::Discount, Staff::Right::StockIn});
    Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357"));
    Staff::addOperator(QStringLiteral("老张"), QStringLiteral("领班"), QStringLiteral("97531"));
    QStringList kept;
    for (const Staff::Operator& o : Staff::operators())
        kept << o.name + "/" + o.role;
    QCOMPARE(kept, QStringList({"小李/收银员", "王店主/店主", "老张/领班"}));
    QCOMPARE(Staff::operators().at(1).key, owner);
    QCOMPARE(Staff::roleNames(), QStringList({Staff::OwnerRole, Staff::CashierRole, QStringLiteral("领班")}));
    QCOMPARE(Staff::rightsOf(QStringLiteral("领班")),
             Staff::Rights({Staff::Right::Sell, Staff::Right::Discount, Staff::Right::StockIn}));
    QCOMPARE(Staff::rightsOf(QStringLiteral("不存在")), Staff::Rights());
    // The PIN is kept only as its hash.
    QVERIFY(CoreFixture::scalar("select count(*) from operators where pin like '%2468%'").toInt() == 0);

    // Each refusal names what is wrong and leaves the operators as they were.
    const QList<std::function<void()>> refused = {
        [] { Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1111")); },
        [] { Staff::addOperator(QString("  "), Staff::CashierRole, QStringLiteral("1111")); },
        [] { Staff::addOperator(QString(21, QChar(0x5F20)), Staff::CashierRole, QStringLiteral("1111")); },
        [] { Staff::addOperator(QStringLiteral("小赵"), QStringLiteral("保安"), QStringLiteral("1111")); },
        [] { Staff::addOperator(QStringLiteral("小赵"), Staff::CashierRole, QStringLiteral("11")); },
        [] { Staff::saveRole(Staff::CashierRole, Staff::ownerRights()); },
        [] { Staff::saveRole(QString(), {}); },
    };
    for (const auto& attempt : refused) {
        QVERIFY_THROWS_EXCEPTION(Refused, attempt());
        QCOMPARE(Staff::operators().size(), 3);
    }
    QCOMPARE(Staff::rightsOf(Staff::CashierRole), Staff::cashierRights());
}

void TestLedgerStaff::wrongPinsAreCountedWhereTheOperatorIsKept() {
    CoreFixture f;
    const QDateTime start(QDate(2026, 12, 10), QTime(9, 0, 0));
    Clock::setFixed(start);
    const qint64 cashier =
        Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357"));
    for (int wrong = 1; wrong <= 4; ++wrong) {
        const Staff::SignIn answer = Staff::signIn(cashier, QStringLiteral("0000"));
        QVERIFY(!answer.admitted);
        QCOMPARE(answer.failures, wrong);
        QVERIFY(!answer.waitUntil);
    }
    // The fifth wrong PIN in a row: thirty seconds, during which even the right PIN is not taken.
    Staff::SignIn answer = Staff::signIn(cashier, QStringLiteral("0000"));
    QCOMPARE(answer.waitUntil, std::optional<QDateTime>(start.addSecs(30)));
    Clock::setFixed(start.addSecs(29));
    answer = Staff::signIn(cashier, QStringLiteral("1357"));
    QVERIFY(!answer.admitted);
    QCOMPARE(answer.failures, 5);
    // Another till (a restart) knows of the wait: it is kept with the operator.
    f.close();
    f.reopen();
    QVERIFY(!Staff::signIn(cashier, QStringLiteral("1357")).admitted);
    // After the wait, one more wrong PIN: twice as long.
    Clock::setFixed(start.addSecs(30));
    answer = Staff::signIn(cashier, QStringLiteral("9999"));
    QCOMPARE(answer.failures, 6);
    QCOMPARE(answer.waitUntil, std::optional<QDateTime>(start.addSecs(90)));
    Clock::setFixed(start.addSecs(90));
    answer = Staff::signIn(cashier, QStringLiteral("1357"));
    QVERIFY(answer.admitted);
    QCOMPARE(answer.failures, 0);
    QCOMPARE(CoreFixture::scalar("select failures from operators where id = :k", {{":k", cashier}}).toInt(),
             0);
    QVERIFY_THROWS_EXCEPTION(Refused, Staff::signIn(cashier + 100, QStringLiteral("1357")));
    Clock::useSystem();
}

namespace {

const QString OwnerPin = QStringLiteral("2468");

// Everything the ledger keeps but the log and the operators' counts of wrong PINs, as text.
QString ledgerState() {
    QStringList all;
    for (const Schema::Table& t : Schema::businessTables())
        all << CoreFixture::rows(QStringLiteral("select * from %1 order by %2").arg(t.name, t.key));
    for (const char* list : {"a1", "a2", "a3", "a4"})
        for (QSqlQuery q = Db::exec(Db::lists(), QStringLiteral("select * from %1 order by zid").arg(list));
             q.next();)
            all << q.value(1).toString();
    all << CoreFixture::rows(QStringLiteral("select name, role, pin from operators order by id"));
    all << CoreFixture::rows(QStringLiteral("select name, rights from roles order by id"));
    return all.join(QLatin1Char('\n'));
}

qint64 logRows() {
    return CoreFixture::scalar(QStringLiteral("select count(*) from oplog")).toLongLong();
}

// A shop with its owner (signed in), a product with stock and an open order; returns the owner.
Staff::Operator shopWithOwner() {
    const qint64 owner = Staff::addOperator(QStringLiteral("王店主"), Staff::OwnerRole, OwnerPin);
    return {owner, QStringLiteral("王店主"), Staff::OwnerRole};
}

using Prepare = std::function<qint64()>;
using Attempt = std::function<void(qint64)>;
struct Case {
    Prepare prepare; // run by the owner before each attempt; hands the attempt what it works on
    Attempt attempt;
};

qint64 snack() {
    return CoreFixture::stockedSnack(QStringLiteral("薯片"), QStringLiteral("食品"), QStringLiteral("1.00"),
                                     QStringLiteral("2.50"));
}

qint64 openOrder() {
    return Orders::addLine(0, snack(), Currency::fromInt(2)).order;
}

// A settled cash order of the quantity of a snack at 2.50.
qint64 settled(Currency quantity) {
    const qint64 o = Orders::addLine(0, snack(), quantity).order;
    Settlement::payCash(o, Orders::amountDue(o));
    return o;
}

Members::Person member() {
    Members::Person p;
    p.name = QStringLiteral("李四");
    p.salutation = QStringLiteral("先生");
    return p;
}

} // namespace

void TestLedgerStaff::everyRightIsAskedByItsOperation_data() {
    QTest::addColumn<Staff::Right>("right");
    QTest::addColumn<int>("which");
    const QList<std::pair<Staff::Right, const char*>> rows = {
        {Staff::Right::Sell, "sell"},
        {Staff::Right::RemoveLine, "remove a line"},
        {Staff::Right::Discount, "settle at half the amount due"},
        {Staff::Right::DeleteUnsettled, "delete an open order"},
        {Staff::Right::DeleteSettled, "delete a settled order"},
        {Staff::Right::StockIn, "receive goods"},
        {Staff::Right::Products, "new product"},
        {Staff::Right::PickLists, "pick-list entry"},
        {Staff::Right::Members, "new member"},
        {Staff::Right::Recharge, "recharge"},
        {Staff::Right::BackupRestore, "check the ledger"},
        {Staff::Right::Settings, "receipt settings"},
        {Staff::Right::Operators, "new operator"},
        {Staff::Right::ExportImport, "import"},
        {Staff::Right::ReadLog, "read the log"},
        {Staff::Right::Returns, "a small return"},
        {Staff::Right::ReturnsBeyond, "a return above the limit"},
        {Staff::Right::CardRefundCash, "a card sale back in cash"},
        {Staff::Right::OpenDrawer, "open the drawer"},
    };
    for (int i = 0; i < rows.size(); ++i)
        QTest::newRow(rows[i].second) << rows[i].first << i;
}

void TestLedgerStaff::everyRightIsAskedByItsOperation() {
    QFETCH(Staff::Right, right);
    QFETCH(int, which);
    CoreFixture f;
    const QString folder = f.folder();
    const QList<Case> cases = {
        {[] { return snack(); },
         [](qint64 p) {
             Orders::addLine(0, p, Currency::fromInt(1));
         }},
        {[] { return Orders::addLine(openOrder(), snack(), Currency::fromInt(1)).line; },
         [](qint64 line) {
             Orders::removeLine(line);
         }},
        {[] { return openOrder(); },
         [](qint64 o) {
             Settlement::payCash(o, Currency::parse(QStringLiteral("2.50")));
         }},
        {[] { return openOrder(); },
         [](qint64 o) {
             Orders::remove(o);
         }},
        {[] {
             const qint64 o = openOrder();
             Settlement::payCash(o, Orders::amountDue(o));
             return o;
         },
         [](qint64 o) {
             Orders::remove(o);
         }},
        {[] { return snack(); },
         [](qint64 p) {
             StockIn::receive(p, Currency::fromInt(5), QDate(2026, 12, 9));
         }},
        {[] { return 0; },
         [](qint64) {
             Products::create(CoreFixture::snack(QStringLiteral("饼干"), QStringLiteral("食品"),
                                                 QStringLiteral("1"), QStringLiteral("2")),
                              Currency::fromInt(1));
         }},
        {[] { return 0; },
         [](qint64) {
             PickLists::add(PickLists::List::Unit, QStringLiteral("打"));
         }},
        {[] { return 0; },
         [](qint64) {
             Members::create(member(), Currency::fromInt(10));
         }},
        {[] { return Members::create(member(), Currency::fromInt(10)); },
         [](qint64 card) {
             Members::recharge(card, Currency::fromInt(50));
         }},
        {[] { return 0; },
         [](qint64) {
             QVERIFY(Ledger::checkShop().clean());
         }},
        {[] { return 0; },
         [folder](qint64) {
             Receipts::Setup setup = Receipts::loadSetup(folder);
             setup.shop = QStringLiteral("小店");
             Receipts::saveSetup(folder, setup);
         }},
        {[] { return 0; },
         [](qint64) {
             static int hired = 0;
             Staff::addOperator(QStringLiteral("新人%1").arg(++hired), Staff::CashierRole,
                                QStringLiteral("4321"));
         }},
        {[] { return 0; },
         [folder](qint64) {
             const QString path = folder + QStringLiteral("/产品.csv");
             QFile file(path);
             QVERIFY(file.open(QIODevice::WriteOnly));
             static int made = 0;
             file.write(QStringLiteral("产品名称,大类,细类,库存量,单位,销售价\n饼干%1,食品,零食,5,个,2\n")
                            .arg(++made)
                            .toUtf8());
             file.close();
             const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, path);
             QVERIFY2(!plan.hasProblems(), qPrintable(plan.problems.value(0).text()));
             Importing::write(plan, false);
         }},
        {[] { return 0; },
         [](qint64) {
             OpLog::search({}, 10);
         }},
        {[] { return settled(Currency::fromInt(2)); },
         [](qint64 o) {
             Returns::make(o, {{Returns::returnable(o).first().line, Currency::fromInt(1)}},
                           Returns::Way::Cash, QStringLiteral("质量问题"));
         }},
        {[] { return settled(Currency::fromInt(100)); }, // 250 yuan back, above the 200 of the limit
         [](qint64 o) {
             Returns::make(o, {{Returns::returnable(o).first().line, Currency::fromInt(100)}},
                           Returns::Way::Cash, QStringLiteral("质量问题"));
         }},
        {[] {
             const qint64 o = Orders::addLine(0, snack(), Currency::fromInt(2)).order;
             Settlement::payByCard(o, Members::create(member(), Currency::fromInt(50)), Orders::amountDue(o));
             return o;
         },
         [](qint64 o) {
             Returns::make(o, {{Returns::returnable(o).first().line, Currency::fromInt(1)}},
                           Returns::Way::Cash, QStringLiteral("质量问题"));
         }},
        {[] { return 0; },
         [](qint64) {
             int kicked = 0;
             Shifts::openDrawer([&kicked] { ++kicked; });
             QCOMPARE(kicked, 1);
         }},
    };
    const Case& c = cases.at(which);
    const Staff::Operator owner = shopWithOwner();
    // An operator whose role has every right but the one asked.
    Staff::Rights rights = Staff::ownerRights();
    rights.remove(right);
    Staff::saveRole(QStringLiteral("少一项"), rights);
    const Staff::Operator lacking{
        Staff::addOperator(QStringLiteral("小测"), QStringLiteral("少一项"), QStringLiteral("5678")),
        QStringLiteral("小测"), QStringLiteral("少一项")};

    // Refused: nothing changes but one row in the log, naming the operator and the right.
    qint64 key = c.prepare();
    Staff::actAs(lacking);
    const QString before = ledgerState();
    const qint64 logged = logRows();
    try {
        c.attempt(key);
        QFAIL("the operation went through without its right");
    } catch (const Staff::NoRight& e) {
        QCOMPARE(e.right(), right);
        QCOMPARE(e.text(), QStringLiteral("没有权限：") + Staff::name(right));
    }
    QCOMPARE(ledgerState(), before);
    QCOMPARE(logRows(), logged + 1);
    QCOMPARE(CoreFixture::rows("select operator_name, action, new_value from oplog order by id desc limit 1"),
             QStringList({QStringLiteral("小测|拒绝|") + Staff::name(right)}));

    // The owner's word lets this one action through; the log names both.
    Staff::actAs(owner);
    key = c.prepare();
    Staff::actAs(lacking);
    QVERIFY_THROWS_EXCEPTION(Refused, Staff::OwnersWord(owner.key, QStringLiteral("0000")));
    const qint64 beforeWord = logRows();
    {
        Staff::OwnersWord word(owner.key, OwnerPin);
        c.attempt(key);
    }
    QCOMPARE(CoreFixture::rows(
                 QStringLiteral("select operator_name, authorized_by, action from oplog where id > :k "
                                "order by id limit 1"),
                 {{":k", beforeWord}}),
             QStringList({QStringLiteral("小测|王店主|店主授权")}));
    const QStringList after =
        CoreFixture::rows(QStringLiteral("select operator_name, authorized_by from oplog where id > :k + 1"),
                          {{":k", beforeWord}});
    for (const QString& row : after)
        QCOMPARE(row, QStringLiteral("小测|王店主"));
    // The word held for that action only.
    key = [&] {
        Staff::actAs(owner);
        const qint64 k = c.prepare();
        Staff::actAs(lacking);
        return k;
    }();
    QVERIFY_THROWS_EXCEPTION(Staff::NoRight, c.attempt(key));

    // Allowed: the owner does it.
    Staff::actAs(owner);
    c.attempt(c.prepare());
}

void TestLedgerStaff::aFailedOperationLeavesNoLogRow() {
    CoreFixture f;
    shopWithOwner();
    const qint64 product = snack();
    const qint64 order = openOrder();
    const Staff::Operator cashier{
        Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357")),
        QStringLiteral("小李"), Staff::CashierRole};
    Staff::actAs(cashier);
    // Each statement of adding a line fails in turn: the order, the stock and the log stay as they
    // were; then it goes through with its row.
    for (int nth = 1;; ++nth) {
        const QString before = ledgerState();
        const qint64 logged = logRows();
        Db::Work::failStatement(nth);
        try {
            Orders::addLine(order, product, Currency::fromInt(1));
        } catch (const DatabaseError&) {
            Db::Work::failStatement(0);
            QCOMPARE(ledgerState(), before);
            QCOMPARE(logRows(), logged);
            continue;
        }
        Db::Work::failStatement(0);
        QVERIFY(nth > 2);
        QCOMPARE(logRows(), logged + 1);
        break;
    }
}

void TestLedgerStaff::recordsAndTheLogNameWhoDidIt() {
    CoreFixture f;
    // Without operators, nothing is logged and no record names anyone.
    const qint64 early = openOrder();
    QCOMPARE(logRows(), 0);
    QCOMPARE(CoreFixture::scalar("select count(*) from aa where a8 is not null").toInt(), 0);

    const Staff::Operator owner = shopWithOwner();
    const Staff::Operator cashier{
        Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357")),
        QStringLiteral("小李"), Staff::CashierRole};
    const qint64 product = snack();
    Staff::actAs(cashier);
    const Orders::LineAdded sale = Orders::addLine(0, product, Currency::fromInt(3));
    const qint64 card = Members::create(member(), Currency());
    Members::recharge(card, Currency::fromInt(100));
    Settlement::payByCard(sale.order, card, sale.amountDue);
    Staff::actAs(owner);
    StockIn::receive(product, Currency::fromInt(4), QDate(2026, 12, 9));
    QCOMPARE(CoreFixture::rows("select a8, a9 from aa where aid = :o", {{":o", sale.order}}),
             QStringList({"小李|小李"}));
    QCOMPARE(CoreFixture::rows("select e14 from ae where e11 = :o", {{":o", QString::number(sale.order)}}),
             QStringList({"小李"}));
    QCOMPARE(CoreFixture::rows("select g8 from ag"), QStringList({"小李"}));
    QCOMPARE(CoreFixture::rows("select h8 from ah"), QStringList({"小李"}));
    QCOMPARE(CoreFixture::rows("select c13 from ac order by cid desc limit 1"), QStringList({"王店主"}));

    // A deleted order is kept in the log in full: its state, amounts and every line.
    Orders::remove(sale.order);
    const QString deleted =
        CoreFixture::scalar("select old_value from oplog where action = '删除订单'").toString();
    QVERIFY2(deleted.contains(QStringLiteral("已结算")) && deleted.contains(QStringLiteral("薯片")) &&
                 deleted.contains(QStringLiteral("7.5")) && deleted.contains(QStringLiteral("小李")),
             qPrintable(deleted));
    // The order made before the operators keeps its empty columns.
    QCOMPARE(CoreFixture::rows("select coalesce(a8, '-') from aa where aid = :o", {{":o", early}}),
             QStringList({"-"}));
    // An operator who may not see costs neither gives one to a new product nor changes a stored one.
    Staff::saveRole(QStringLiteral("理货"), {Staff::Right::Products});
    Staff::actAs(Staff::Operator{
        Staff::addOperator(QStringLiteral("小王"), QStringLiteral("理货"), QStringLiteral("8642")),
        QStringLiteral("小王"), QStringLiteral("理货")});
    const qint64 made = Products::create(CoreFixture::snack(QStringLiteral("糖"), QStringLiteral("食品"),
                                                            QStringLiteral("0.40"), QStringLiteral("1")),
                                         Currency::fromInt(1));
    Products::update(product, CoreFixture::snack(QStringLiteral("薯片"), QStringLiteral("食品"),
                                                 QStringLiteral("0"), QStringLiteral("2.50")));
    QCOMPARE(
        Currency::fromVariant(CoreFixture::scalar("select b6 from ab where bid = :a", {{":a", product}})),
        Currency::fromInt(1));
    QVERIFY(CoreFixture::scalar("select b6 from ab where bid = :a", {{":a", made}}).isNull());
    Staff::actAs(owner);
    // The log of a file is one chain, unbroken.
    QCOMPARE(OpLog::checkChain(Db::business()).size(), 0);
}

namespace {

Currency yuan(const char* text) {
    return Currency::parse(QString::fromLatin1(text));
}

// Columns a receipt line takes: two for a Chinese character.
int columnsOf(const QString& line) {
    int used = 0;
    for (const QChar c : line)
        used += c.unicode() >= 0x2E80 ? 2 : 1;
    return used;
}

} // namespace

void TestLedgerStaff::aShiftExplainsEveryYuanInTheDrawer() {
    CoreFixture f;
    shopWithOwner();
    const qint64 product = snack(); // 2.50
    const qint64 card = Members::create(member(), Currency());
    Staff::setTillName(QStringLiteral("一号机"));
    const auto at = [](int hour) {
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(hour, 0)));
    };
    at(8);
    const Shifts::Shift shift = Shifts::open(yuan("200"));
    QVERIFY_THROWS_EXCEPTION(Refused, Shifts::open(yuan("10")));
    QCOMPARE(Shifts::current()->key, shift.key);

    // Cash sales, one at nine tenths, a card sale with a line taken off, a cash recharge, cash paid
    // in and out, an order deleted.
    const qint64 a = Orders::addLine(0, product, Currency::fromInt(4)).order;
    Settlement::payCash(a, yuan("10"));
    const qint64 b = Orders::addLine(0, product, Currency::fromInt(2)).order;
    Settlement::payCash(b, yuan("4.5"));
    const qint64 c = Orders::addLine(0, product, Currency::fromInt(2)).order;
    Orders::removeLine(Orders::addLine(c, product, Currency::fromInt(1)).line);
    Members::recharge(card, yuan("100"));
    Settlement::payByCard(c, card, yuan("5"));
    at(10);
    Shifts::moveCash(Shifts::Move::In, yuan("50"), QStringLiteral("零钱"));
    at(15);
    Shifts::moveCash(Shifts::Move::Out, yuan("30"), QStringLiteral("买水"));
    QVERIFY_THROWS_EXCEPTION(Refused,
                             Shifts::moveCash(Shifts::Move::Out, yuan("1000"), QStringLiteral("太多")));
    Orders::remove(Orders::addLine(0, product, Currency::fromInt(1)).order);
    // A chip of the first order comes back, its 2.50 out of the drawer; a card sale's return goes
    // back onto the card, not out of the drawer.
    at(12);
    Returns::make(a, {{Returns::returnable(a).first().line, Currency::fromInt(1)}}, Returns::Way::Cash,
                  QStringLiteral("不新鲜"));
    Returns::make(c, {{Returns::returnable(c).first().line, Currency::fromInt(1)}}, Returns::Way::Card, {});
    at(20);

    Shifts::Figures figures = Shifts::figures(shift.key);
    QCOMPARE(figures.cashOrders, 2);
    QCOMPARE(figures.cashSales, yuan("14.5"));
    QCOMPARE(figures.cardOrders, 1);
    QCOMPARE(figures.cardSales, yuan("5"));
    QCOMPARE(figures.discounts, yuan("0.5"));
    QCOMPARE(figures.rechargeCash, yuan("100"));
    QCOMPARE(figures.removedLines, 1);
    QCOMPARE(figures.deletedOrders, 1);
    QCOMPARE(figures.refundCount, 1);
    QCOMPARE(figures.refunds, yuan("2.5"));
    QCOMPARE(figures.expected(), yuan("332"));
    // Each movement of cash, in the order they happened: the refund at noon between the two moves.
    QStringList movements;
    for (const Shifts::CashMovement& m : figures.movements)
        movements << QStringList{m.at, m.kind, m.amount.toString(), m.reason, m.operatorName}.join('|');
    const QString who = Staff::signature().toString();
    QCOMPARE(movements,
             QStringList({"2026-12-09 10:00:00|存入|50|零钱|" + who,
                          QStringLiteral("2026-12-09 12:00:00|退款|2.5|订单 %1 不新鲜|").arg(a) + who,
                          "2026-12-09 15:00:00|支出|30|买水|" + who}));

    // Counted by denomination, 0.50 short; the count must add up.
    QVERIFY_THROWS_EXCEPTION(Refused, Shifts::close(shift.key, yuan("332"), {3, 0, 1, 1, 0, 1, 1, 0}));
    figures = Shifts::close(shift.key, yuan("331.5"), {3, 0, 1, 1, 0, 1, 1, 0});
    QCOMPARE(figures.shift.expected, std::optional<Currency>(yuan("332")));
    QCOMPARE(figures.shift.counted, std::optional<Currency>(yuan("331.5")));
    QVERIFY_THROWS_EXCEPTION(Refused, Shifts::close(shift.key, yuan("1")));
    QVERIFY(!Shifts::current());
    // The report is kept as it was at the close.
    QCOMPARE(CoreFixture::scalar("select report from shifts where id = :k", {{":k", shift.key}}).toString(),
             Shifts::reportLines(figures, 48).join('\n'));
    for (int width : {32, 48}) {
        const QStringList lines = Shifts::reportLines(figures, width);
        for (const QString& line : lines)
            QVERIFY2(columnsOf(line) <= width, qPrintable(line));
        const QString difference = lines.filter(QStringLiteral("差额")).value(0);
        QVERIFY2(difference.endsWith(QStringLiteral(" -0.50")), qPrintable(difference));
        // The movements on the roll: each with its time, kind, operator and amount, its reason below.
        const qsizetype from = lines.indexOf(QStringLiteral("现金收支明细"));
        QVERIFY2(from > 0, qPrintable(lines.join('\n')));
        QCOMPARE(lines.mid(from + 1, 6),
                 QStringList({Shifts::reportRow("10:00 存入 " + who, "50.00", width), "  零钱",
                              Shifts::reportRow("12:00 退款 " + who, "-2.50", width),
                              QStringLiteral("  订单 %1 不新鲜").arg(a),
                              Shifts::reportRow("15:00 支出 " + who, "-30.00", width), "  买水"}));
        QVERIFY(lines.contains(Shifts::reportRow(QStringLiteral("退货退款 1 笔（现金）"), "2.50", width)));
    }
    // Paying out of a closed drawer is refused.
    QVERIFY_THROWS_EXCEPTION(Refused, Shifts::moveCash(Shifts::Move::In, yuan("1"), QString()));
}

void TestLedgerStaff::shiftsLeftOpenAndTillsAddUpToTheDay() {
    CoreFixture f;
    shopWithOwner();
    const qint64 product = snack();
    const QDate day(2026, 12, 9);
    // Till one opens late and sells across midnight: the sale belongs to the day it opened.
    Clock::setFixed(QDateTime(day, QTime(23, 50)));
    Staff::setTillName(QStringLiteral("一号机"));
    const Shifts::Shift late = Shifts::open(yuan("100"));
    Clock::setFixed(QDateTime(day.addDays(1), QTime(0, 10)));
    Settlement::payCash(Orders::addLine(0, product, Currency::fromInt(2)).order, yuan("5"));
    // Till two works the same evening and closes.
    Clock::setFixed(QDateTime(day, QTime(18, 0)));
    Staff::setTillName(QStringLiteral("二号机"));
    const Shifts::Shift evening = Shifts::open(yuan("50"));
    Settlement::payCash(Orders::addLine(0, product, Currency::fromInt(4)).order, yuan("10"));
    Shifts::close(evening.key, yuan("60"));

    // The next morning till one finds its shift still open: closed uncounted, and said so in the log.
    Clock::setFixed(QDateTime(day.addDays(1), QTime(8, 0)));
    Staff::setTillName(QStringLiteral("一号机"));
    QVERIFY(!Shifts::closeStale(day)); // not stale on its own day
    const std::optional<Shifts::Shift> stale = Shifts::closeStale(day.addDays(1));
    QVERIFY(stale && !stale->isOpen() && !stale->counted);
    QCOMPARE(stale->expected, std::optional<Currency>(yuan("105")));
    QVERIFY(Shifts::reportLines(Shifts::figures(late.key), 32).join('\n').contains(QStringLiteral("未清点")));
    QCOMPARE(
        CoreFixture::scalar("select count(*) from oplog where action = '交班' and new_value like '未清点%'")
            .toInt(),
        1);
    QVERIFY(!Shifts::closeStale(day.addDays(1)));

    const Shifts::DayClose close = Shifts::dayClose(day);
    QCOMPARE(close.shifts.size(), 2);
    QCOMPARE(close.total.cashSales, yuan("15"));
    QCOMPARE(close.total.shift.openingFloat, yuan("150"));
    QCOMPARE(close.total.expected(), yuan("165"));
    QCOMPARE(Shifts::dayClose(day.addDays(1)).shifts.size(), 0);
    Staff::setTillName(QString());
}

QTEST_GUILESS_MAIN(TestLedgerStaff)
#include "tst_ledger_staff.moc"
