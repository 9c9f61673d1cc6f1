#include "core/clock.h"
#include "core/errors.h"
#include "corefixture.h"
#include "data/server.h"
#include "data/spreadsheet.h"
#include "data/work.h"
#include "ledger/check.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

// The operation log read back: the log page's search and export, the check that finds a row
// changed, removed or slipped in behind the program's back, and on a server the tills' user who
// may add rows but never change or remove one.
class TestLedgerOpLog : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void searchFindsRowsNewestFirstByEveryFilter_data();
    void searchFindsRowsNewestFirstByEveryFilter();
    void pagesFollowOnWithoutGapOrRepeat();
    void theListsOfferWhatTheLogHolds();
    void readingTheLogNeedsTheRight();
    void exportWritesEveryRowFoundAndIsLogged();
    void theCheckFindsEveryBreakOfTheChain_data();
    void theCheckFindsEveryBreakOfTheChain();
    void theServerRefusesTheTillsUserToChangeTheLog_data();
    void theServerRefusesTheTillsUserToChangeTheLog();
};

namespace {

// The log of a small shop: an owner and a cashier at two tills over three days, every row known.
struct LoggedShop {
    CoreFixture f;
    Staff::Operator owner;
    Staff::Operator cashier;
    // What was written, oldest first, as "day time|till|operator|action|touched".
    QStringList written;

    LoggedShop() {
        Clock::setFixed(QDateTime(QDate(2026, 11, 30), QTime(8, 0)));
        Staff::start();
        Staff::setTillName(QStringLiteral("前台"));
        const qint64 ownerKey =
            Staff::addOperator(QStringLiteral("王店主"), Staff::OwnerRole, QStringLiteral("2468"));
        const qint64 cashierKey =
            Staff::addOperator(QStringLiteral("小李"), Staff::CashierRole, QStringLiteral("1357"));
        owner = {ownerKey, QStringLiteral("王店主"), Staff::OwnerRole};
        cashier = {cashierKey, QStringLiteral("小李"), Staff::CashierRole};
        // The two rows of adding the operators, then a day's work for each of three days; two
        // rows share each moment, so the order within a moment is by key.
        for (const QString& row : CoreFixture::rows(
                 "select logged_at, till_name, operator_name, action, touched from oplog order by id"))
            written << row;
        const QList<std::tuple<QString, QString, Staff::Operator, QString, QString>> work = {
            {"2026-12-01 09:00:00", "前台", cashier, OpLog::NewOrder, "订单 1"},
            {"2026-12-01 09:00:00", "前台", cashier, OpLog::AddLine, "订单 1"},
            {"2026-12-01 18:30:00", "后台", owner, OpLog::StockIn, "入库 7"},
            {"2026-12-02 00:00:00", "前台", cashier, OpLog::PayCash, "订单 1"},
            {"2026-12-02 23:59:59", "后台", owner, OpLog::DeleteOrder, "订单 1"},
            {"2026-12-03 10:15:00", "前台", cashier, OpLog::AddLine, "订单 2"},
            {"2026-12-03 10:15:00", "后台", owner, OpLog::AddLine, "订单 3"},
        };
        for (const auto& [at, till, who, action, touched] : work) {
            Clock::setFixed(QDateTime::fromString(at, QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            Staff::setTillName(till);
            Staff::actAs(who);
            OpLog::write({action, touched, QStringLiteral("12.5"), QStringLiteral("10")});
            written << QStringList{at, till, who.name, action, touched}.join(QLatin1Char('|'));
        }
        Staff::actAs(owner);
    }
};

QString shown(const OpLog::Row& row) {
    return QStringList{row.at, row.till, row.operatorName, row.action, row.touched}.join(QLatin1Char('|'));
}

QStringList shown(const QList<OpLog::Row>& rows) {
    QStringList out;
    for (const OpLog::Row& row : rows)
        out << shown(row);
    return out;
}

// The rows written that the predicate keeps, newest first.
QStringList expected(const QStringList& written, const std::function<bool(const QStringList&)>& keep) {
    QStringList out;
    for (auto it = written.crbegin(); it != written.crend(); ++it)
        if (keep(it->split(QLatin1Char('|'))))
            out << *it;
    return out;
}

} // namespace

void TestLedgerOpLog::init() {
    Staff::actAs(std::nullopt);
}

void TestLedgerOpLog::cleanup() {
    Staff::actAs(std::nullopt);
    Staff::setTillName({});
    Clock::useSystem();
}

void TestLedgerOpLog::searchFindsRowsNewestFirstByEveryFilter_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QString>("who");
    QTest::addColumn<QString>("till");
    QTest::addColumn<QString>("action");
    const QDate first(2026, 12, 1), second(2026, 12, 2), third(2026, 12, 3);
    QTest::newRow("everything") << QDate() << QDate() << ""
                                << ""
                                << "";
    // A day runs from its midnight to the last second before the next.
    QTest::newRow("one day") << second << second << ""
                             << ""
                             << "";
    QTest::newRow("from a day on") << second << QDate() << ""
                                   << ""
                                   << "";
    QTest::newRow("until a day") << QDate() << first << ""
                                 << ""
                                 << "";
    QTest::newRow("an operator") << QDate() << QDate() << "小李"
                                 << ""
                                 << "";
    QTest::newRow("a till") << QDate() << QDate() << ""
                            << "后台"
                            << "";
    QTest::newRow("an action") << QDate() << QDate() << ""
                               << "" << OpLog::AddLine;
    QTest::newRow("all at once") << first << third << "王店主"
                                 << "后台" << OpLog::AddLine;
    QTest::newRow("nobody of that name") << QDate() << QDate() << "王店主' or '1'='1"
                                         << ""
                                         << "";
    QTest::newRow("a pattern is no pattern") << QDate() << QDate() << ""
                                             << "%"
                                             << "";
}

void TestLedgerOpLog::searchFindsRowsNewestFirstByEveryFilter() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(QString, who);
    QFETCH(QString, till);
    QFETCH(QString, action);
    LoggedShop shop;
    const OpLog::Filter filter{from, to, who, till, action};
    const QStringList want = expected(shop.written, [&](const QStringList& r) {
        const QDate day = QDate::fromString(r[0].left(10), QStringLiteral("yyyy-MM-dd"));
        return (!from.isValid() || day >= from) && (!to.isValid() || day <= to) &&
               (who.isEmpty() || r[2] == who) && (till.isEmpty() || r[1] == till) &&
               (action.isEmpty() || r[3] == action);
    });
    QCOMPARE(shown(OpLog::search(filter, 100)), want);
}

void TestLedgerOpLog::pagesFollowOnWithoutGapOrRepeat() {
    LoggedShop shop;
    // Pages of two over rows of which several share a moment: every row once, in order.
    for (const QString& who : {QString(), QStringLiteral("小李")}) {
        const OpLog::Filter filter{{}, {}, who, {}, {}};
        QStringList paged;
        std::optional<OpLog::Row> after;
        for (int page = 0; page < 10; ++page) {
            const QList<OpLog::Row> rows = OpLog::search(filter, 2, after);
            if (rows.isEmpty())
                break;
            QVERIFY(rows.size() <= 2);
            paged << shown(rows);
            after = rows.last();
        }
        QCOMPARE(paged, shown(OpLog::search(filter, 100)));
        QCOMPARE(paged.size(), who.isEmpty() ? shop.written.size() : 4);
    }
}

void TestLedgerOpLog::theListsOfferWhatTheLogHolds() {
    LoggedShop shop;
    // An operator removed keeps the rows the log has of them, and the lists still offer the name.
    Staff::addOperator(QStringLiteral("老张"), Staff::CashierRole, QStringLiteral("9753"));
    Staff::actAs(Staff::Operator{999, QStringLiteral("已离职"), Staff::CashierRole});
    OpLog::write({OpLog::Print, QStringLiteral("库存"), {}, {}});
    Staff::actAs(shop.owner);
    const OpLog::Choices c = OpLog::choices();
    QCOMPARE(c.operators, QStringList({"小李", "王店主", "老张", "已离职"}));
    QCOMPARE(c.tills, QStringList({"前台", "后台"}));
    // Every known action, the known first, then whatever else the log names.
    QCOMPARE(c.actions.mid(0, OpLog::actions().size()), OpLog::actions());
    QCOMPARE(c.actions.size(), OpLog::actions().size());
    QVERIFY(c.actions.contains(OpLog::NewOperator));
}

void TestLedgerOpLog::readingTheLogNeedsTheRight() {
    LoggedShop shop;
    Staff::actAs(shop.cashier);
    const qint64 before = CoreFixture::scalar("select count(*) from oplog").toLongLong();
    QTemporaryDir dir;
    const QList<std::function<void()>> reads = {
        [] { OpLog::search({}, 10); },
        [] { OpLog::choices(); },
        [&] { OpLog::exportRows({}, dir.filePath("log.csv"), Spreadsheet::Format::Csv); },
    };
    for (const auto& read : reads) {
        try {
            read();
            QFAIL("a cashier read the log");
        } catch (const Staff::NoRight& e) {
            QCOMPARE(e.right(), Staff::Right::ReadLog);
        }
    }
    // Each refusal is one row of the log, and nothing was written to the file.
    QCOMPARE(CoreFixture::scalar("select count(*) from oplog").toLongLong(), before + reads.size());
    QVERIFY(!QFile::exists(dir.filePath("log.csv")));
    // The owner's word lets one read through.
    {
        Staff::OwnersWord word(shop.owner.key, QStringLiteral("2468"));
        QCOMPARE(OpLog::search({}, 1).size(), 1);
    }
    QVERIFY_THROWS_EXCEPTION(Staff::NoRight, OpLog::search({}, 1));
}

void TestLedgerOpLog::exportWritesEveryRowFoundAndIsLogged() {
    LoggedShop shop;
    QTemporaryDir dir;
    const OpLog::Filter filter{{}, {}, QStringLiteral("小李"), {}, {}};
    const QStringList want = shown(OpLog::search(filter, 100));
    for (const auto format : {Spreadsheet::Format::Csv, Spreadsheet::Format::Xlsx}) {
        const QString path = dir.filePath(format == Spreadsheet::Format::Csv ? QStringLiteral("log.csv")
                                                                             : QStringLiteral("log.xlsx"));
        QCOMPARE(OpLog::exportRows(filter, path, format), qint64(want.size()));
        const Spreadsheet::Table table = Spreadsheet::read(path);
        QCOMPARE(table.rowCount(), want.size() + 1);
        QStringList titles;
        for (int c = 0; c < 8; ++c)
            titles << table.cell(0, c);
        QCOMPARE(titles, QStringList({"时间", "收银机", "操作员", "授权人", "操作", "涉及", "原值", "新值"}));
        QStringList got;
        for (int r = 1; r < table.rowCount(); ++r) {
            // A moment at midnight in an Excel file is read back as its day.
            QString moment = table.cell(r, 0);
            if (format == Spreadsheet::Format::Xlsx && moment.size() == 10)
                moment += QStringLiteral(" 00:00:00");
            got << QStringList{moment, table.cell(r, 1), table.cell(r, 2), table.cell(r, 4), table.cell(r, 5)}
                       .join(QLatin1Char('|'));
            QCOMPARE(table.cell(r, 6), QStringLiteral("12.5"));
        }
        QCOMPARE(got, want);
        // The export is itself in the log, by whom and how many rows.
        const OpLog::Row last = OpLog::search({}, 1).first();
        QCOMPARE(QStringList({last.action, last.operatorName, last.after}),
                 QStringList({OpLog::Export, shop.owner.name, QStringLiteral("%1 行").arg(want.size())}));
    }
    // A cancelled export leaves no file and is not logged.
    const qint64 rows = CoreFixture::scalar("select count(*) from oplog").toLongLong();
    const QString cancelled = dir.filePath("cancelled.csv");
    for (int i = 0; i < 3000; ++i)
        OpLog::write({OpLog::AddLine, QStringLiteral("订单 9"), {}, {}});
    QCOMPARE(OpLog::exportRows({}, cancelled, Spreadsheet::Format::Csv, [](qint64) { return false; }), -1);
    QVERIFY(!QFile::exists(cancelled));
    QCOMPARE(CoreFixture::scalar("select count(*) from oplog").toLongLong(), rows + 3000);
}

void TestLedgerOpLog::theCheckFindsEveryBreakOfTheChain_data() {
    QTest::addColumn<QStringList>("statements");
    QTest::addColumn<QList<qint64>>("breaks"); // the rows where the chain breaks; 0 for the end
    QTest::newRow("untouched") << QStringList() << QList<qint64>();
    QTest::newRow("an amount changed")
        << QStringList{"update oplog set old_value = '1250' where id = 5"} << QList<qint64>{5};
    QTest::newRow("who did it changed")
        << QStringList{"update oplog set operator_name = '王店主' where id = 3"} << QList<qint64>{3};
    // Its hash changed too: the row no longer matches, and the next no longer follows on.
    QTest::newRow("a row changed and its hash too")
        << QStringList{"update oplog set hash = 'x', new_value = '0' where id = 4"} << QList<qint64>{4, 5};
    QTest::newRow("a middle row removed")
        << QStringList{"delete from oplog where id = 4"} << QList<qint64>{5};
    QTest::newRow("two rows apart removed")
        << QStringList{"delete from oplog where id in (3, 7)"} << QList<qint64>{4, 8};
    QTest::newRow("the first row removed")
        << QStringList{"delete from oplog where id = 1"} << QList<qint64>{2};
    QTest::newRow("the last row removed")
        << QStringList{"delete from oplog where id = 9"} << QList<qint64>{0};
    QTest::newRow("the log emptied") << QStringList{"delete from oplog"} << QList<qint64>{0};
    QTest::newRow("a row added at the end")
        << QStringList{"insert into oplog (logged_at, till_name, operator_name, action, touched) values "
                       "('2026-12-04 08:00:00', '前台', '小李', '加产品', '订单 4')"}
        << QList<qint64>{10};
    QTest::newRow("a row slipped into a gap")
        << QStringList{"delete from oplog where id = 6",
                       "insert into oplog (id, logged_at, till_name, operator_name, action, touched, hash) "
                       "select 6, logged_at, till_name, operator_name, action, '订单 99', hash from oplog "
                       "where id = 5"}
        << QList<qint64>{6, 7};
}

void TestLedgerOpLog::theCheckFindsEveryBreakOfTheChain() {
    QFETCH(QStringList, statements);
    QFETCH(QList<qint64>, breaks);
    if (CoreFixture::onServer())
        QSKIP("a server's log is kept by its triggers");
    LoggedShop shop;
    QCOMPARE(CoreFixture::scalar("select max(id) from oplog").toLongLong(), 9);
    for (const QString& sql : statements)
        CoreFixture::exec(sql);
    const Ledger::CheckReport report = Ledger::checkShop();
    QList<qint64> found;
    for (const Ledger::CheckProblem& p : report.problems) {
        QCOMPARE(p.table, OpLog::Table);
        QCOMPARE(p.rows.size(), 1);
        QVERIFY2(!p.detail.isEmpty(), qPrintable(p.title));
        found << (p.title.contains(QStringLiteral("最后")) ? 0 : p.rows.first());
    }
    QCOMPARE(found, breaks);
    QVERIFY2(report.text().contains(QStringLiteral("操作日志 ")), qPrintable(report.text()));
    QCOMPARE(report.clean(), breaks.isEmpty());
    // The command-line check of the folder says the same, and so does its exit status.
    shop.f.close();
    QProcess tool;
    tool.start(qEnvironmentVariable("LEDGER_BIN_DIR") + QStringLiteral("/vandrel-ledger-check"),
               {shop.f.folder()});
    QVERIFY(tool.waitForFinished(60000));
    const QString out = QString::fromUtf8(tool.readAllStandardOutput());
    QCOMPARE(tool.exitCode(), breaks.isEmpty() ? 0 : 1);
    for (const Ledger::CheckProblem& p : report.problems)
        QVERIFY2(out.contains(p.title), qPrintable(out));
    shop.f.reopen();
}

void TestLedgerOpLog::theServerRefusesTheTillsUserToChangeTheLog_data() {
    QTest::addColumn<bool>("owner");
    // As the set-up in doc/server.md makes it: the tills' user made the database and its tables.
    QTest::newRow("the tills' user owns the tables") << true;
    // As the stronger set-up makes it: the tables belong to the administrator, the tills may read
    // the log and add to it.
    QTest::newRow("the tills' user may only add") << false;
}

void TestLedgerOpLog::theServerRefusesTheTillsUserToChangeTheLog() {
    QFETCH(bool, owner);
    if (!CoreFixture::onServer())
        QSKIP("needs the test server (LEDGER_TEST_SERVER)");
    LoggedShop shop;
    const QString till = QStringLiteral("kasse_%1").arg(QCoreApplication::applicationPid());
    const Server::Address admin = Server::parseUrl(shop.f.serverUrl());
    auto adminCommand = [&](const QString& sql) {
        Server::command(Db::business(), sql);
    };
    adminCommand(QStringLiteral("DROP ROLE IF EXISTS %1").arg(till));
    adminCommand(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD 'geheim'").arg(till));
    adminCommand(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1")
                     .arg(till));
    adminCommand(QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(till));
    if (owner)
        adminCommand(QStringLiteral("ALTER TABLE oplog OWNER TO %1").arg(till));
    else
        adminCommand(QStringLiteral("REVOKE UPDATE, DELETE, TRUNCATE ON oplog FROM %1").arg(till));
    // The role goes whatever the test's end.
    struct RoleGuard {
        Server::Address admin;
        QString role;
        ~RoleGuard() {
            try {
                Db::closeConnection(Db::Business);
                Db::closeConnection(Db::Lists);
                QSqlDatabase db = Server::open(QStringLiteral("oplog_admin"), admin);
                Server::command(db, QStringLiteral("REASSIGN OWNED BY %1 TO CURRENT_USER").arg(role));
                Server::command(db, QStringLiteral("DROP OWNED BY %1").arg(role));
                Server::command(db, QStringLiteral("DROP ROLE %1").arg(role));
            } catch (const LedgerError& e) {
                qWarning("could not drop the role %s: %s", qPrintable(role), qPrintable(e.text()));
            }
            Db::closeConnection(QStringLiteral("oplog_admin"));
        }
    } guard{admin, till};

    // The shop opened as the tills' user.
    shop.f.close();
    Server::Address address = admin;
    address.user = till;
    address.password = QStringLiteral("geheim");
    Server::openShop(address);
    QCOMPARE(CoreFixture::scalar("select current_user").toString(), till);
    const qint64 rows = CoreFixture::scalar("select count(*) from oplog").toLongLong();
    // Adding rows is what the tills do all day.
    Db::perform(Db::business(), [&](Db::Work& work) {
        OpLog::write(work, {OpLog::AddLine, QStringLiteral("订单 5"), {}, QStringLiteral("1")});
        work.commit();
    });
    QCOMPARE(CoreFixture::scalar("select count(*) from oplog").toLongLong(), rows + 1);
    QStringList attempts = {"update oplog set new_value = '0' where id = 3", "delete from oplog where id = 3",
                            "delete from oplog", "truncate oplog"};
    if (!owner)
        // Only the owner of a table may drop or switch off its triggers.
        attempts << "drop trigger oplog_no_change on oplog"
                 << "alter table oplog disable trigger all";
    for (const QString& sql : attempts) {
        try {
            Server::command(Db::business(), sql);
            QFAIL(qPrintable(QStringLiteral("the tills' user ran: ") + sql));
        } catch (const DatabaseError& e) {
            QVERIFY2(e.code() == QLatin1String("42501"), qPrintable(sql + QLatin1Char(' ') + e.text()));
        }
    }
    QCOMPARE(CoreFixture::scalar("select count(*) from oplog").toLongLong(), rows + 1);
    QCOMPARE(CoreFixture::scalar("select count(*) from oplog where new_value = '0'").toLongLong(), 0);
    QVERIFY(Ledger::checkShop().clean());
    // A trigger switched off (by whoever owns the table) is what the check finds.
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
    Server::openShop(admin);
    Server::command(Db::business(), QStringLiteral("alter table oplog disable trigger oplog_no_change"));
    const Ledger::CheckReport report = Ledger::checkShop();
    QCOMPARE(report.problems.size(), 1);
    QCOMPARE(report.problems.first().table, OpLog::Table);
    QVERIFY2(report.problems.first().title.contains(QStringLiteral("触发器")),
             qPrintable(report.problems.first().title));
}

QTEST_GUILESS_MAIN(TestLedgerOpLog)
#include "tst_ledger_oplog.moc"
