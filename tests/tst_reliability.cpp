#include "core/errors.h"
#include "corefixture.h"
#include "data/data_in.h"
#include "data/schema.h"
#include "data/work.h"
#include "ledger/backup.h"
#include "ledger/check.h"
#include "ledger/members.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/settings.h"
#include "ledger/settlement.h"
#include "ledger/stockin.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

// What the program does with files it must not use, with stored values that are no numbers and
// with a failure at any statement of an operation.
class TestReliability : public QObject {
    Q_OBJECT
private slots:
    void badFilesAreRefusedAndLeftAsTheyWere();
    void unusableFolderOrFileIsRefused();
    void toolsLeaveFilesThatAreNotTheProgramsAsTheyWere();
    void restoreToolRescuesADamagedShop();
    void nonNumbersAreListedAndStopOperations();
    void amountsBeyondFifteenDigitsAreNeverRounded();
    void everyFailingStatementLeavesTheFilesAsTheyWere();
    void theServersWordDecidesALostCommit_data();
    void theServersWordDecidesALostCommit();
};

namespace {

// Every file of the folder with the SHA-256 of its bytes.
QStringList fingerprint(const QString& folder) {
    QStringList out;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
        QFile file(dir.absoluteFilePath(name));
        if (!file.open(QIODevice::ReadOnly))
            out << name + QStringLiteral(" unreadable");
        else
            out << name + QLatin1Char(' ') +
                       QString::fromLatin1(
                           QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    }
    return out;
}

// Runs statements on a file of the folder through a connection of its own.
void alter(const QString& path, const QStringList& statements) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("alter"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (const QString& sql : statements) {
            QSqlQuery q(db);
            QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("alter"));
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

struct ToolRun {
    int status = -1;
    QString out, err;
};

// Runs one of the program's tools; as the user "nobody" when asked (the superuser is not bound
// by permissions).
ToolRun runTool(const QString& tool, const QStringList& args, const QString& asNobody = QString()) {
    QProcess p;
    const QString path = qEnvironmentVariable("LEDGER_BIN_DIR") + QLatin1Char('/') + tool;
    if (asNobody.isEmpty())
        p.start(path, args);
    else
        p.start(QStringLiteral("setpriv"),
                QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                            QStringLiteral("--clear-groups"), asNobody} +
                    args);
    if (!p.waitForFinished(120000))
        p.kill();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// The start's text when it refuses the folder; "(started)" when it does not.
QString startFails(const QString& folder) {
    try {
        TData_in data(nullptr, folder);
    } catch (const LedgerError& e) {
        return e.text();
    }
    return QStringLiteral("(started)");
}

// Every row of every table of both files, with the type of each value, and the key counters.
QStringList dump() {
    QStringList out;
    auto add = [&out](const QSqlDatabase& db, const QString& sql) {
        QSqlQuery q = Db::exec(db, sql);
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i)
                cells << QString::fromLatin1(q.value(i).typeName()) + QLatin1Char(':') +
                             q.value(i).toString();
            out << sql.section(QLatin1Char(' '), 3, 3) + QLatin1Char('|') + cells.join(QLatin1Char('|'));
        }
    };
    for (const Schema::Table& t : Schema::businessTables())
        add(Db::business(), QStringLiteral("select * from %1 order by %2").arg(t.name, t.key));
    add(Db::business(), QStringLiteral("select * from sqlite_sequence order by name"));
    for (const Schema::Table& t : Schema::listTables())
        add(Db::lists(), QStringLiteral("select * from %1 order by %2").arg(t.name, t.key));
    return out;
}

Products::Fields fields(const QString& name, const QString& sale) {
    return {QStringLiteral("食品"),
            QStringLiteral("零食"),
            name,
            QStringLiteral("个"),
            Currency::parse("1"),
            Currency::parse("1.5"),
            Currency::parse(sale),
            QString(),
            QString()};
}

} // namespace

void TestReliability::badFilesAreRefusedAndLeftAsTheyWere() {
    struct Case {
        const char* name;
        std::function<void(const QString& a, const QString& b)> damage;
        QString expected; // a part of the text the start refuses with
    };
    QRandomGenerator random(16);
    QByteArray noise(8192, '\0');
    for (char& c : noise)
        c = char(random.bounded(256));
    const QList<Case> cases = {
        {"empty lists file", [](const QString&, const QString& b) { writeBytes(b, {}); },
         "是空的，不是本程序的数据库"},
        {"empty business file", [](const QString& a, const QString&) { writeBytes(a, {}); }, "是空的"},
        {"random bytes", [&](const QString& a, const QString&) { writeBytes(a, noise); }, "不是数据库文件"},
        {"random bytes behind a database header",
         [&](const QString& a, const QString&) { writeBytes(a, QByteArray("SQLite format 3", 16) + noise); },
         "不是数据库文件"},
        {"truncated",
         [](const QString& a, const QString&) {
             QFile file(a);
             QVERIFY(file.resize(file.size() / 2));
         },
         "不完整"},
        {"foreign database",
         [](const QString& a, const QString&) {
             QFile::remove(a);
             alter(a, {"create table customers (id integer primary key, name text)",
                       "insert into customers (name) values ('x')"});
         },
         "缺少表 aa"},
        {"business file without aa", [](const QString& a, const QString&) { alter(a, {"drop table aa"}); },
         "缺少表 aa"},
        {"lists file without a5", [](const QString&, const QString& b) { alter(b, {"drop table a5"}); },
         "缺少表 a5"},
        {"lists file in place of the business file",
         [](const QString& a, const QString& b) {
             QFile::remove(a);
             QVERIFY(QFile::copy(b, a));
         },
         "缺少表 aa"},
        {"a column gone",
         [](const QString& a, const QString&) { alter(a, {"alter table ab drop column b12"}); },
         "表 ab 缺少列 b12"},
        {"no settings row", [](const QString&, const QString& b) { alter(b, {"delete from a5"}); },
         "缺少设置行"},
        {"business file missing", [](const QString& a, const QString&) { QFile::remove(a); },
         "Could not find file"},
    };
    for (const Case& c : cases) {
        QTemporaryDir dir;
        Schema::createDatabaseFiles(dir.path());
        const QString a = QDir(dir.path()).absoluteFilePath(Db::BusinessFile);
        const QString b = QDir(dir.path()).absoluteFilePath(Db::ListsFile);
        c.damage(a, b);
        const QStringList before = fingerprint(dir.path());
        const QString text = startFails(dir.path());
        QVERIFY2(text.contains(c.expected), qPrintable(QStringLiteral("%1: %2").arg(c.name, text)));
        // The file at fault is named.
        QVERIFY2(text.contains(Db::BusinessFile) || text.contains(Db::ListsFile), c.name);
        // Not a byte changed, no file made beside them (no write-ahead log, no new database).
        QCOMPARE(fingerprint(dir.path()), before);
    }
    // The undamaged files start, so the check refuses only what is wrong; so does a file of an
    // earlier version without the columns a start adds.
    QTemporaryDir dir;
    Schema::createDatabaseFiles(dir.path());
    QCOMPARE(startFails(dir.path()), QStringLiteral("(started)"));
    QTemporaryDir older;
    Schema::createDatabaseFiles(older.path());
    alter(QDir(older.path()).absoluteFilePath(Db::BusinessFile),
          {"drop index if exists ab_b13", "drop index if exists ab_b14", "alter table ab drop column b13",
           "alter table ab drop column b14"});
    QCOMPARE(startFails(older.path()), QStringLiteral("(started)"));
}

void TestReliability::unusableFolderOrFileIsRefused() {
    // Permissions do not bind the superuser: then the files are given to "nobody", and the
    // ledger check tool, which opens a folder as the program does, runs as that user.
    const bool superuser = geteuid() == 0;
    QTemporaryDir tools;
    QString check;
    if (superuser) {
        if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty())
            QSKIP("setpriv (util-linux) is needed to run as another user");
        check = QDir(tools.path()).absoluteFilePath(QStringLiteral("vandrel-ledger-check"));
        QVERIFY(QFile::copy(qEnvironmentVariable("LEDGER_BIN_DIR") + QStringLiteral("/vandrel-ledger-check"),
                            check));
        QVERIFY(::chmod(qPrintable(tools.path()), 0755) == 0);
        QVERIFY(::chmod(qPrintable(check), 0755) == 0);
    }
    for (const bool folderOnly : {true, false}) {
        QTemporaryDir dir;
        Schema::createDatabaseFiles(dir.path());
        const QString a = QDir(dir.path()).absoluteFilePath(Db::BusinessFile);
        if (superuser)
            for (const QString& path : {dir.path(), a, QDir(dir.path()).absoluteFilePath(Db::ListsFile)})
                QVERIFY(::chown(qPrintable(path), 65534, 65534) == 0);
        const QStringList before = fingerprint(dir.path());
        if (folderOnly)
            QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        else
            QVERIFY(QFile::setPermissions(a, {}));
        const QString text = superuser ? runTool({}, {dir.path()}, check).err : startFails(dir.path());
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile::setPermissions(a, QFile::ReadOwner | QFile::WriteOwner);
        QVERIFY2(text.contains(folderOnly ? "没有写入文件夹" : "没有读写文件"), qPrintable(text));
        QCOMPARE(fingerprint(dir.path()), before);
    }
}

void TestReliability::toolsLeaveFilesThatAreNotTheProgramsAsTheyWere() {
    // A file of random bytes, an unrelated database, a lists file without its settings row.
    const QList<std::pair<QString, std::function<void(const QString&, const QString&)>>> damages = {
        {QStringLiteral("不是数据库文件"),
         [](const QString& a, const QString&) {
             writeBytes(a, QByteArray(4096, '\x5a') +
                               QByteArray::number(QRandomGenerator::global()->generate()));
         }},
        {QStringLiteral("缺少表"),
         [](const QString& a, const QString&) {
             QFile::remove(a);
             alter(a, {"create table customers (id integer primary key, name text)"});
         }},
        {QStringLiteral("缺少设置行"),
         [](const QString&, const QString& b) {
             alter(b, {"delete from a5"});
         }},
    };
    const QList<std::pair<QString, QStringList>> runs = {
        {QStringLiteral("vandrel-ledger-check"), {}},
        {QStringLiteral("vandrel-ledger-backup"), {}},
        {QStringLiteral("vandrel-ledger-export"), {"products", "--format", "csv", "-o", "OUT"}},
        {QStringLiteral("vandrel-ledger-import"), {"products", "IN"}},
    };
    for (const auto& [expected, damage] : damages)
        for (const auto& [tool, extra] : runs) {
            QTemporaryDir dir;
            Schema::createDatabaseFiles(dir.path());
            const QDir folder(dir.path());
            damage(folder.absoluteFilePath(Db::BusinessFile), folder.absoluteFilePath(Db::ListsFile));
            QTemporaryDir elsewhere;
            const QString in = QDir(elsewhere.path()).absoluteFilePath(QStringLiteral("products.csv"));
            writeBytes(in, QByteArray("产品名称,单位\n苹果,个\n"));
            QStringList args{dir.path()};
            for (QString arg : extra)
                args << arg.replace(QStringLiteral("OUT"), QDir(elsewhere.path()).absoluteFilePath("out.csv"))
                            .replace(QStringLiteral("IN"), in);
            const QStringList before = fingerprint(dir.path());
            const ToolRun run = runTool(tool, args);
            const QString name = tool + QLatin1Char(' ') + expected + QLatin1Char(' ') + run.err;
            QVERIFY2(run.status != 0, qPrintable(name));
            QVERIFY2(run.err.contains(expected), qPrintable(name));
            QCOMPARE(fingerprint(dir.path()), before);
            QVERIFY2(!folder.exists(QStringLiteral("backup")), qPrintable(name));
        }
}

void TestReliability::restoreToolRescuesADamagedShop() {
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const ToolRun demo = runTool(QStringLiteral("vandrel-ledger-demo"), {dir.path()});
    QVERIFY2(demo.status == 0, qPrintable(demo.err));
    // The orders and their amounts due, read straight from the file.
    const auto orders = [&folder] {
        QString result;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
            db.setDatabaseName(folder.absoluteFilePath(Db::BusinessFile));
            if (db.open()) {
                QSqlQuery q(QStringLiteral("select count(*), total(a5) from aa"), db);
                if (q.next())
                    result = q.value(0).toString() + QLatin1Char('/') + q.value(1).toString();
            }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("count"));
        return result;
    };
    const QString before = orders();
    QVERIFY2(!before.isEmpty() && !before.startsWith(QLatin1String("0/")), qPrintable(before));
    const ToolRun backup = runTool(QStringLiteral("vandrel-ledger-backup"), {dir.path()});
    QVERIFY2(backup.status == 0, qPrintable(backup.err));
    const QStringList backups =
        QDir(folder.absoluteFilePath("backup")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(backups.size(), 1);
    const QString source = QDir(folder.absoluteFilePath("backup")).absoluteFilePath(backups.first());

    // The business file is broken and a log of it lies beside it: the program cannot start.
    const QString a = folder.absoluteFilePath(Db::BusinessFile);
    const QByteArray broken = QByteArray("SQLite format 3") + QByteArray(5000, '\x01');
    writeBytes(a, broken);
    writeBytes(a + QStringLiteral("-wal"), QByteArray("a log of the broken file"));
    QVERIFY(startFails(dir.path()) != QStringLiteral("(started)"));

    const ToolRun restore = runTool(QStringLiteral("vandrel-ledger-restore"), {dir.path(), source});
    QVERIFY2(restore.status == 0, qPrintable(restore.out + restore.err));
    // The broken files are kept byte for byte; the folder holds the backup's files and starts.
    const QStringList damaged = folder.entryList({QStringLiteral("damaged-*")}, QDir::Dirs);
    QCOMPARE(damaged.size(), 1);
    const QDir kept(folder.absoluteFilePath(damaged.first()));
    QVERIFY2(restore.out.contains(kept.absolutePath()), qPrintable(restore.out));
    QFile keptA(kept.absoluteFilePath(Db::BusinessFile));
    QVERIFY(keptA.open(QIODevice::ReadOnly));
    QCOMPARE(keptA.readAll(), broken);
    QVERIFY(kept.exists(Db::BusinessFile + QStringLiteral("-wal")));
    QVERIFY(!QFileInfo::exists(a + QStringLiteral("-wal")));
    QCOMPARE(orders(), before);
    QCOMPARE(startFails(dir.path()), QStringLiteral("(started)"));
}

void TestReliability::nonNumbersAreListedAndStopOperations() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "5", "2");
    const qint64 pear = CoreFixture::product("梨", "5", "3");
    const qint64 card = Members::create({"张三", {}, {}, {}, {}, "先生", {}, {}}, Currency::parse("20"));
    // What an older version or another tool could leave: the rules of the columns set aside.
    CoreFixture::exec("PRAGMA ignore_check_constraints = ON");
    CoreFixture::exec("update ab set b4 = 'abc' where bid = :a", {{":a", apple}});
    CoreFixture::exec("update ab set b9 = '12,5' where bid = :a", {{":a", pear}});
    CoreFixture::exec("update aj set j9 = '二十' where jid = :a", {{":a", card}});
    CoreFixture::exec("PRAGMA ignore_check_constraints = OFF");

    // The ledger check names every such value with its table and row.
    const Ledger::CheckReport report = Ledger::checkLedger(Db::business(), Db::lists());
    auto reported = [&report](const QString& table, qint64 key, const QString& value) {
        for (const Ledger::CheckProblem& p : report.problems)
            if (p.table == table && p.rows.contains(key) && p.title.contains(value))
                return true;
        return false;
    };
    QVERIFY2(reported("ab", apple, "abc"), qPrintable(report.text()));
    QVERIFY2(reported("ab", pear, "12,5"), qPrintable(report.text()));
    QVERIFY2(reported("aj", card, QStringLiteral("二十")), qPrintable(report.text()));

    const QStringList before = dump();
    auto stopped = [](const std::function<void()>& operation) {
        try {
            operation();
        } catch (const ConversionError& e) {
            return e.text();
        }
        return QStringLiteral("(went on)");
    };
    QCOMPARE(stopped([&] { Orders::addLine(0, apple, Currency::parse("1")); }),
             QStringLiteral("'abc' is not a valid floating point value（表 ab 中 bid 为 %1 的行，列 b4）")
                 .arg(apple));
    QCOMPARE(stopped([&] { StockIn::receive(pear, Currency::parse("1"), QDate(2026, 12, 9)); }),
             QStringLiteral("'12,5' is not a valid floating point value（表 ab 中 bid 为 %1 的行，列 b9）")
                 .arg(pear));
    QCOMPARE(stopped([&] { Members::recharge(card, Currency::parse("1")); }),
             QStringLiteral("'二十' is not a valid floating point value（表 aj 中 jid 为 %1 的行，列 j9）")
                 .arg(card));
    QCOMPARE(dump(), before);

    // Such a file still opens: only the operations that meet a broken value stop.
    f.close();
    QCOMPARE(startFails(f.folder()), QStringLiteral("(started)"));
    f.reopen();
}

void TestReliability::amountsBeyondFifteenDigitsAreNeverRounded() {
    CoreFixture f;
    const qint64 card = Members::create({"张三", {}, {}, {}, {}, "先生", {}, {}}, Currency());
    // Fifteen significant digits are kept exactly and shown in the general number format.
    const Currency fifteen = Currency::parse("75227455236.3849");
    Members::recharge(card, fifteen);
    const QVariant stored = CoreFixture::scalar("select j9 from aj where jid = :a", {{":a", card}});
    QCOMPARE(Currency::fromVariant(stored), fifteen);
    QCOMPARE(CoreFixture::rows("select j9, h2 from aj, ah"),
             QStringList({"75227455236.3849|75227455236.3849"}));

    // More digits than the column keeps exactly are refused, never stored rounded.
    const QStringList before = dump();
    const Currency sixteen = Currency::parse("7522745523675.3849");
    QCOMPARE(sixteen.exactText(), QStringLiteral("7522745523675.3849"));
    const QString refused = QStringLiteral("数值 7522745523675.3849 超过15位有效数字，无法准确保存");
    QVERIFY_THROWS_EXCEPTION(ConversionError, Members::recharge(card, sixteen - fifteen));
    try {
        Products::create(fields("金条", "7522745523675.3849"), Currency::parse("1"));
        QFAIL("a rounded price was stored");
    } catch (const ConversionError& e) {
        QCOMPARE(e.text(), refused);
    }
    QCOMPARE(dump(), before);
    // Whole amounts with trailing zeros are as exact as their digits.
    QCOMPARE(Currency::parse("900000000000000").toSql().toString(), QStringLiteral("900000000000000"));
    QCOMPARE(Currency::parse("-0.0001").toSql().toString(), QStringLiteral("-0.0001"));
}

void TestReliability::everyFailingStatementLeavesTheFilesAsTheyWere() {
    CoreFixture f;
    const qint64 apple = CoreFixture::product("苹果", "50", "2");
    const qint64 pear = CoreFixture::product("梨", "50", "3");
    qint64 order = 0, line = 0, cardOrder = 0, card = 0, extra = 0, lostOrder = 0;
    const QList<std::pair<const char*, std::function<void()>>> operations = {
        {"create product",
         [&] {
             extra = Products::create(fields("桃", "4.5"), Currency::parse("3"));
         }},
        {"edit product",
         [&] {
             Products::update(extra, fields("蜜桃", "5"));
         }},
        {"stock-in",
         [&] {
             StockIn::receive(apple, Currency::parse("7"), QDate(2026, 12, 9), "07");
         }},
        {"first line of a new order",
         [&] {
             order = Orders::addLine(0, apple, Currency::parse("2")).order;
         }},
        {"next line",
         [&] {
             line = Orders::addLine(order, pear, Currency::parse("3")).line;
         }},
        {"order category",
         [&] {
             Orders::setCategory(order, QStringLiteral("批发订单"));
         }},
        {"remove a line",
         [&] {
             Orders::removeLine(line);
         }},
        {"line of a deleted product",
         [&] {
             line = Orders::addLine(order, extra, Currency::parse("1")).line;
         }},
        {"delete product",
         [&] {
             Products::remove(extra);
         }},
        {"remove its line",
         [&] {
             Orders::removeLine(line);
         }},
        {"cash payment",
         [&] {
             Settlement::payCash(order, Currency::parse("4"));
         }},
        {"new member",
         [&] {
             card = Members::create({"李四", "139", {}, {}, {}, "女士", {}, {}}, Currency::parse("50"));
         }},
        {"edit member",
         [&] {
             Members::update(card, {"李四", "138", "010", "北京", {}, "女士", {}, "老客"});
         }},
        {"recharge",
         [&] {
             Members::recharge(card, Currency::parse("25.5"));
         }},
        {"correction",
         [&] {
             Members::recharge(card, Currency::parse("-0.5"));
         }},
        {"order for the card",
         [&] {
             cardOrder = Orders::addLine(0, pear, Currency::parse("2")).order;
         }},
        {"card payment",
         [&] {
             Settlement::payByCard(cardOrder, card, Currency::parse("6"));
         }},
        {"order without its total",
         [&] {
             lostOrder = Orders::addLine(0, apple, Currency::parse("1")).order;
             CoreFixture::exec("update aa set a5 = null where aid = :a", {{":a", lostOrder}});
         }},
        {"mend amounts due",
         [&] {
             QCOMPARE(Orders::mendAmountsDue(), 1);
         }},
        {"delete order",
         [&] {
             Orders::remove(lostOrder);
         }},
        {"delete member",
         [&] {
             Members::remove(card);
         }},
        {"guide flag",
         [&] {
             Settings::setGuideAtStart(false);
         }},
    };
    int injected = 0;
    for (const auto& [name, operation] : operations) {
        for (int nth = 1;; ++nth) {
            const QStringList before = dump();
            Db::Work::failStatement(nth);
            bool failed = false;
            try {
                operation();
            } catch (const DatabaseError& e) {
                failed = true;
                QCOMPARE(e.text(), Db::Work::InjectedFailure);
            }
            Db::Work::failStatement(0);
            if (!failed) {
                // More statements than the operation has: it ran whole and changed the files.
                QVERIFY2(nth > 1, name);
                QVERIFY2(dump() != before, name);
                break;
            }
            ++injected;
            QVERIFY2(dump() == before, qPrintable(QStringLiteral("%1, statement %2").arg(name).arg(nth)));
        }
    }
    qInfo("%d failures injected into %d operations", injected, int(operations.size()));
    QVERIFY(injected > operations.size() * 2);
}

void TestReliability::theServersWordDecidesALostCommit_data() {
    QTest::addColumn<QVariant>("status");
    QTest::addColumn<int>("outcome");
    QTest::newRow("committed") << QVariant(QStringLiteral("committed")) << int(Db::LostCommit::Stored);
    QTest::newRow("aborted") << QVariant(QStringLiteral("aborted")) << int(Db::LostCommit::NotStored);
    QTest::newRow("in progress") << QVariant(QStringLiteral("in progress")) << int(Db::LostCommit::AskAgain);
    // Too old for the server to know: it may have been stored.
    QTest::newRow("no answer") << QVariant(QMetaType::fromType<QString>()) << int(Db::LostCommit::Unknown);
    QTest::newRow("a word of a later server")
        << QVariant(QStringLiteral("prepared")) << int(Db::LostCommit::Unknown);
}

void TestReliability::theServersWordDecidesALostCommit() {
    QFETCH(QVariant, status);
    QFETCH(int, outcome);
    QCOMPARE(int(Db::lostCommit(status)), outcome);
}

QTEST_GUILESS_MAIN(TestReliability)
#include "tst_reliability.moc"
