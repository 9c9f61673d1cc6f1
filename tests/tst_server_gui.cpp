#include "app/mainwindow.h"
#include "data/data_in.h"
#include "data/demodata.h"
#include "data/server.h"
#include "data/sharedquery.h"
#include "data/tableindex.h"
#include "data/work.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/serverbackups.h"
#include "ledger/staff.h"
#include "ledgertest.h"
#include "members/new_huiyuan.h"
#include "system/backupkeeper.h"
#include "system/backupwindow.h"
#include "system/checkwindow.h"
#include "system/restorewindow.h"
#include "warehouse/Fr_kucun.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>

// The program in a folder whose ledger is on a server: the backup windows send the user to the
// server's own backups instead of copying files that are not there.
class TestServerGui : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void backupWindowsPointToTheServersBackups();
    void anotherTillsSalesAreShown();
    void searchesFollowAnotherTillsRows();
    void indexesAreReadAsideAndCatchUp();
    void aLostServerKeepsWhatWasTypedAndComesBack();
    void theCheckWindowChecksTheServersLedger();
    void thePasswordIsAskedAtStartAndKeptInMemory();
};

namespace {

// Another connection to the test server, to its own database (a database cannot shut itself
// out), as an administrator's.
class Administrator {
public:
    explicit Administrator(const QString& shopUrl) {
        Server::Address address = Server::parseUrl(shopUrl);
        m_shop = address.database;
        address.database = QStringLiteral("postgres");
        m_db = Server::open(QStringLiteral("administrator"), address);
    }
    ~Administrator() {
        shopOpen(true);
        m_db = QSqlDatabase();
        Db::closeConnection(QStringLiteral("administrator"));
    }
    // Lets tills connect to the shop's database, or not.
    void shopOpen(bool open) {
        Server::command(m_db, QStringLiteral("alter database %1 allow_connections %2")
                                  .arg(m_shop, open ? QStringLiteral("true") : QStringLiteral("false")));
    }
    void command(const QString& sql) { Server::command(m_db, sql); }
    // Ends every connection to the shop's database (a restart of the server does that); returns
    // how many there were.
    int endConnections() {
        return Db::scalar(
                   m_db,
                   "select count(pg_terminate_backend(pid, 10000)) from pg_stat_activity where datname = :d",
                   {{":d", m_shop}})
            .toInt();
    }

private:
    QString m_shop;
    QSqlDatabase m_db;
};

} // namespace

void TestServerGui::initTestCase() {
    if (!CoreFixture::onServer())
        QSKIP("needs the test server (LEDGER_TEST_SERVER)");
}

void TestServerGui::backupWindowsPointToTheServersBackups() {
    LedgerFixture f;
    QVERIFY(Server::usesServer(f.folder()));
    QVERIFY(Data_in->onServer());
    QVERIFY(Db::isServer(Db::business()));
    // No till chosen for the daily backup: none is overdue here, and the window says to choose.
    QVERIFY(!backup_keeper->overdue());
    beifen->show();
    auto* here = child<QCheckBox>(beifen, "chkBackupHere");
    QVERIFY(here->isVisible() && !here->isChecked());
    QVERIFY(child<QLabel>(beifen, "lblLast")->text().contains("还没有收银台负责每日自动备份"));

    // This till takes the daily backup on: from now on it is due here.
    QTest::mouseClick(here, Qt::LeftButton, {}, QPoint(8, here->height() / 2));
    QCOMPARE(ServerBackups::till(), Staff::tillName());
    QVERIFY(backup_keeper->overdue());
    QVERIFY(child<QLabel>(beifen, "lblLast")->text().contains("每日自动备份由本机负责"));

    // 立即备份: the server's ledger at one moment, verified in this till's backup folder, and
    // noted for every till.
    QSignalSpy done(backup_keeper, &BackupKeeper::finished);
    QSignalSpy failed(backup_keeper, &BackupKeeper::failed);
    QTest::mouseClick(child<QPushButton>(beifen, "btnBackup"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty() || !failed.isEmpty(), 120000);
    QVERIFY2(failed.isEmpty(), qPrintable(failed.value(0).value(0).toString()));
    const auto last = backup_keeper->lastGood();
    QVERIFY(last && last->verified);
    QCOMPARE(last->reason, QStringLiteral("服务器备份"));
    QCOMPARE(ServerBackups::last()->till, Staff::tillName());
    QVERIFY(!backup_keeper->overdue());
    QVERIFY(child<QLabel>(beifen, "lblLast")->text().contains("本机上次成功备份"));
    beifen->close();

    // Restoring onto the server is not a till's: the window says so and offers nothing.
    huifu->show();
    QCOMPARE(child<QLabel>(huifu, "lblFolder")->text(), ServerRestore);
    QVERIFY(!child<QPushButton>(huifu, "btnRestore")->isEnabled());
    huifu->close();
    QCOMPARE(f.messages.messages.size(), 0);
}

void TestServerGui::anotherTillsSalesAreShown() {
    LedgerFixture f;
    Products::Fields fields;
    fields.major = QStringLiteral("饮料");
    fields.name = QStringLiteral("可乐");
    fields.unit = QStringLiteral("瓶");
    fields.sale = Currency::parse("3");
    const qint64 cola = Products::create(fields, Currency::parse("10"));
    QCOMPARE(Data_in->Query_ab->recordCount(), 1);
    QCOMPARE(Data_in->Query_aa->recordCount(), 0);
    // Another till (a process of its own) sells four units.
    QProcess till;
    till.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger-till",
               {"sell", f.serverUrl(), "4", "7"});
    QVERIFY(till.waitForFinished(60000));
    QCOMPARE(QString::fromLocal8Bit(till.readAllStandardOutput()).trimmed(),
             QStringLiteral("sold 4 refused 0 failed 0"));
    // This till's lists follow without anything done here.
    QTRY_COMPARE(Data_in->Query_aa->recordCount(), 4);
    QTRY_COMPARE(Data_in->Query_ab->text(0, "b4"), QStringLiteral("6"));
    QCOMPARE(Data_in->Query_ab->text(0, "bid"), QString::number(cola));
    QCOMPARE(f.messages.messages.size(), 0);
}

namespace {
// The rows of the list's statement as the server gives them, and as the list shows them.
QStringList serverRows(SharedQuery* q) {
    QSqlQuery plain = Db::exec(Db::business(), q->statement(), q->parameters());
    QStringList out;
    while (plain.next())
        out << plain.value(0).toString() + "|" + plain.value(q->fieldIndex("b3")).toString();
    return out;
}
QStringList listed(SharedQuery* q) {
    QStringList out;
    for (int r = 0; r < q->recordCount(); ++r)
        out << q->text(r, q->key()) + "|" + q->text(r, "b3");
    return out;
}
} // namespace

void TestServerGui::searchesFollowAnotherTillsRows() {
    LedgerFixture f;
    for (const char* name : {"金橘", "银耳", "金针菇"})
        CoreFixture::product(QString::fromUtf8(name), "9", "1");
    const qint64 apple = CoreFixture::product("苹果", "9", "1");
    Orders::addLine(0, apple, Currency::parse("1"));
    Orders::addLine(1, apple, Currency::parse("2"));
    Orders::addLine(0, apple, Currency::parse("1"));
    // The lists are paged through their indexes on the server too; the search has read the
    // names once.
    SharedQuery* products = Data_in->Query_ab;
    SharedQuery* lines = Data_in->Query_ak;
    products->search("b3", QStringLiteral("金"));
    QVERIFY(products->isPaged());
    QCOMPARE(listed(products).size(), 2);
    lines->refresh();
    QVERIFY(lines->isPaged());
    QCOMPARE(lines->recordCount(), 3);

    // Another till adds "金桂 1" … "金桂 3", renames the second, deletes the third and deletes
    // order 2 with its line: the search and the lines follow, row by row as the server has them.
    QProcess till;
    till.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger-till",
               {"edit", f.serverUrl(), QStringLiteral("金桂")});
    QVERIFY(till.waitForFinished(60000));
    QCOMPARE(QString::fromLocal8Bit(till.readAllStandardOutput()).trimmed(), QStringLiteral("edited"));
    QTRY_COMPARE(lines->recordCount(), 2);
    QTRY_COMPARE(listed(products).size(), 3);
    QCOMPARE(listed(products), serverRows(products));
    QVERIFY(listed(products).first().endsWith(QStringLiteral("|金桂 1")));
    QCOMPARE(lines->text(0, "k8"), QStringLiteral("1"));
    products->search("b3", QStringLiteral("改名"));
    QCOMPARE(listed(products), serverRows(products));
    QCOMPARE(products->recordCount(), 1);
    products->search("b3", QString());
    QCOMPARE(listed(products), serverRows(products));
    QCOMPARE(products->recordCount(), 6);

    // Another program writes a product on the server and tells nobody: the list's 刷新 shows it,
    // and the search finds it.
    {
        QSqlDatabase other = Server::open("another_program", Server::parseUrl(f.serverUrl()));
        Db::exec(other, "insert into ab (b3, b4) values ('金砖', 1)");
    }
    Db::closeConnection("another_program");
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    products->search("b3", QString());
    QCOMPARE(products->recordCount(), 6);
    QTest::mouseClick(main_window->Fr_kucun1->bsSkinSpeedButton6, Qt::LeftButton);
    QCOMPARE(products->recordCount(), 7);
    QCOMPARE(products->text(0, "b3"), QStringLiteral("金砖"));
    products->search("b3", QStringLiteral("金"));
    QCOMPARE(listed(products), serverRows(products));
    QCOMPARE(products->recordCount(), 4);
    main_window->hide();
    QCOMPARE(f.messages.texts().join("|"), QString());
}

void TestServerGui::indexesAreReadAsideAndCatchUp() {
    LedgerFixture f;
    DemoData::fill(DemoData::countsFor(0.002));
    for (const char* name : {"金橘", "金针菇"})
        CoreFixture::product(QString::fromUtf8(name), "9", "1");
    TableIndex* names = Data_in->index("ab");
    TableIndex* sold = Data_in->index("ae");
    QVERIFY(names && sold);
    Data_in->Query_ab->refresh();
    QVERIFY(!names->isBuilt());
    // The tables are read on another thread while this till goes on selling and renaming: what
    // it writes meanwhile is in the index once the read is taken in.
    Data_in->readIndexesAside();
    QVERIFY(names->isReading());
    const qint64 first = Data_in->Query_ab->value(Data_in->Query_ab->recordCount() - 1, "bid").toLongLong();
    Products::Fields fields;
    fields.name = QStringLiteral("金色年华");
    fields.sale = Currency::parse("2");
    Products::update(first, fields);
    const qint64 added = Products::create(fields, Currency::parse("3"));
    Orders::addLine(0, added, Currency::parse("1"));
    QTRY_VERIFY(names->isBuilt());
    QTRY_VERIFY(sold->isBuilt());
    for (const auto& [query, field] :
         {std::pair{Data_in->Query_ab, "b3"}, std::pair{Data_in->Query_ae, "e2"}}) {
        query->search(field, QStringLiteral("金"));
        QVERIFY(query->isPaged());
        QStringList want;
        QSqlQuery plain = Db::exec(Db::business(), query->statement(), query->parameters());
        while (plain.next())
            want << plain.value(0).toString() + "|" + plain.value(field).toString();
        QStringList shown;
        for (int r = 0; r < query->recordCount(); ++r)
            shown << query->text(r, query->key()) + "|" + query->text(r, field);
        QCOMPARE(shown, want);
    }
    QCOMPARE(Data_in->Query_ab->text(0, "b3"), QStringLiteral("金色年华"));
    QCOMPARE(Data_in->Query_ae->text(0, "e2"), QStringLiteral("金色年华"));
    QCOMPARE(f.messages.messages.size(), 0);
}

void TestServerGui::aLostServerKeepsWhatWasTypedAndComesBack() {
    LedgerFixture f;
    Administrator admin(f.serverUrl());
    Products::Fields fields;
    fields.major = QStringLiteral("饮料");
    fields.name = QStringLiteral("可乐");
    fields.sale = Currency::parse("3");
    Products::create(fields, Currency::parse("10"));
    main_window->show();
    auto* lost = child<QLabel>(main_window, "lblServer");
    QVERIFY(lost && !lost->isVisible());
    // The backup mark on a server shop with no till chosen for its daily backup: a warning that
    // says so.
    auto* backupMark = child<QLabel>(main_window, "lblBackup");
    QCOMPARE(backupMark->text().trimmed(), QStringLiteral("尚无备份"));
    QCOMPARE(backupMark->property("role").toString(), QStringLiteral("warning"));
    QVERIFY(backupMark->toolTip().contains("还没有收银台负责每日自动备份"));

    // A new member typed in while the server goes away.
    new_huiyuan->show();
    auto* name = child<QLineEdit>(new_huiyuan, "bsSkinEdit4");
    auto* amount = child<QAbstractSpinBox>(new_huiyuan, "bsSkinEdit7");
    auto* mobile = child<QLineEdit>(new_huiyuan, "bsSkinEdit1");
    auto* save = child<QPushButton>(new_huiyuan, "bsSkinButton1");
    name->setText("王五"); // as an input method enters it
    amount->clear();
    QTest::keyClicks(amount, "20");
    QTest::keyClicks(mobile, "13900001111");
    admin.shopOpen(false);
    QCOMPARE(admin.endConnections(), 2);
    QTest::mouseClick(save, Qt::LeftButton);
    // Not stored, and the cashier is told so; the dialog stays with everything typed.
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("error"));
    QVERIFY2(f.messages.last().contains("这次的操作没有保存"), qPrintable(f.messages.last()));
    QVERIFY(new_huiyuan->isVisible());
    QCOMPARE(name->text(), QStringLiteral("王五"));
    QCOMPARE(amount->text(), QStringLiteral("20"));
    QCOMPARE(mobile->text(), QStringLiteral("13900001111"));
    // The status bar says the server is out of reach, until it is back.
    QTRY_VERIFY(lost->isVisible());
    QVERIFY(!Data_in->serverReachable());

    // The server back: the same OK stores the member, and the cashier hears the connection is
    // open again.
    admin.shopOpen(true);
    f.messages.clear();
    QTest::mouseClick(save, Qt::LeftButton);
    QVERIFY(!new_huiyuan->isVisible());
    QCOMPARE(LedgerFixture::rows("select j1, j2, j9 from aj"), QStringList({"王五|13900001111|20"}));
    QTRY_VERIFY(!lost->isVisible());
    QVERIFY(Data_in->serverReachable());
    QTRY_COMPARE(f.messages.texts(), QStringList({Db::Reconnected}));
    QTRY_COMPARE(Data_in->Query_aj->recordCount(), 1);

    // Lost while nobody works: found and opened again by itself, with the other tills'
    // announcements (another till's sales are shown again).
    f.messages.clear();
    QCOMPARE(admin.endConnections(), 2);
    QTRY_COMPARE(f.messages.texts(), QStringList({Db::Reconnected}));
    QProcess till;
    till.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger-till",
               {"sell", f.serverUrl(), "2", "7"});
    QVERIFY(till.waitForFinished(60000));
    QCOMPARE(QString::fromLocal8Bit(till.readAllStandardOutput()).trimmed(),
             QStringLiteral("sold 2 refused 0 failed 0"));
    QTRY_COMPARE(Data_in->Query_aa->recordCount(), 2);
    QTRY_COMPARE(Data_in->Query_ab->text(0, "b4"), QStringLiteral("8"));
    QCOMPARE(f.messages.messages.size(), 1);
    // What was missed while the connection was gone is read again, on the tables' own thread.
    QTRY_VERIFY(Data_in->index("ab")->isBuilt());
    QTRY_VERIFY(Data_in->index("ae")->isBuilt());
    Data_in->Query_ae->search("e2", QString());
    QCOMPARE(Data_in->Query_ae->recordCount(), 2);
    main_window->hide();
}

void TestServerGui::theCheckWindowChecksTheServersLedger() {
    LedgerFixture f;
    Products::Fields fields;
    fields.major = QStringLiteral("饮料");
    fields.name = QStringLiteral("可乐");
    fields.sale = Currency::parse("3");
    const qint64 cola = Products::create(fields, Currency::parse("10"));
    const qint64 order = Orders::addLine(0, cola, Currency::parse("2")).order;
    LedgerFixture::exec("update aa set a5 = 7 where aid = :a", {{":a", order}});

    jiancha->show();
    auto* summary = child<QLabel>(jiancha, "lblSummary");
    auto* report = child<QPlainTextEdit>(jiancha, "txtReport");
    auto* fix = child<QPushButton>(jiancha, "btnFix");
    QTRY_COMPARE(summary->text(), QStringLiteral("账目检查发现 1 个问题。"));
    QVERIFY(
        report->toPlainText().contains(QStringLiteral("订单 %1 的应收金额 7 与明细合计 6 不符").arg(order)));
    QVERIFY(report->toPlainText().contains("未检查"));
    QVERIFY(fix->isEnabled());
    QTest::mouseClick(fix, Qt::LeftButton);
    // No file backup on a server; the confirmation says to rely on the server's.
    QCOMPARE(f.messages.messages.size(), 2);
    QVERIFY(f.messages.messages.first().text.contains("服务器已有备份"));
    QCOMPARE(f.messages.last(), QStringLiteral("已修复 1 张订单的应收金额。"));
    QCOMPARE(summary->text(), QStringLiteral("账目检查没有发现问题。"));
    QCOMPARE(LedgerFixture::scalar("select a5 from aa where aid = :a", {{":a", order}}).toString(),
             QStringLiteral("6"));
    jiancha->close();
}

void TestServerGui::thePasswordIsAskedAtStartAndKeptInMemory() {
    LedgerFixture f(false);
    Administrator admin(f.serverUrl());
    // A till's user that must give a password (the administrator of the test server needs none).
    admin.command("DROP ROLE IF EXISTS kasse");
    admin.command("CREATE ROLE kasse LOGIN SUPERUSER PASSWORD 'geheim'");
    Server::Address till = Server::parseUrl(f.serverUrl());
    till.user = QStringLiteral("kasse");
    Server::writeConf(f.folder(), till);
    const auto answer = [](QWidget* dialog, const char* password) {
        auto* box = dialog->findChild<QLineEdit*>();
        QVERIFY(box);
        QCOMPARE(box->echoMode(), QLineEdit::Password);
        QTest::keyClicks(box, password);
        QTest::keyClick(box, Qt::Key_Return);
    };
    const auto question = [](QWidget* dialog) {
        auto* ask = qobject_cast<QInputDialog*>(dialog);
        return ask ? ask->labelText() : QString();
    };

    // Cancelled: the program does not start.
    QStringList asked;
    onModal([&](QWidget* dialog) {
        QCOMPARE(dialog->objectName(), QStringLiteral("serverPassword"));
        asked << question(dialog);
    });
    QVERIFY_THROWS_EXCEPTION(DatabaseError, f.build());
    QVERIFY(!Data_in);
    QCOMPARE(asked.size(), 1);
    QVERIFY2(asked[0].contains("数据库服务器要求输入密码"), qPrintable(asked[0]));

    // A wrong password is asked again, saying so; the right one opens the program.
    asked.clear();
    onModal([&](QWidget* dialog) {
        asked << question(dialog);
        onModal([&](QWidget* again) {
            asked << question(again);
            answer(again, "geheim");
        });
        answer(dialog, "falsch");
    });
    f.build();
    QVERIFY(Data_in && Data_in->onServer());
    QCOMPARE(asked.size(), 2);
    QVERIFY2(asked[1].contains("密码不正确，请重新输入"), qPrintable(asked[1]));
    QCOMPARE(LedgerFixture::scalar("select current_user").toString(), QStringLiteral("kasse"));
    // Never written down; kept in memory, so a lost connection opens again without asking.
    QFile conf(QDir(f.folder()).filePath(Server::ConfFile));
    QVERIFY(conf.open(QIODevice::ReadOnly));
    QVERIFY(!conf.readAll().contains("geheim"));
    QCOMPARE(admin.endConnections(), 2);
    Products::Fields fields;
    fields.name = QStringLiteral("可乐");
    Products::create(fields, Currency::parse("1"));
    QCOMPARE(Db::Work::attempts(), 2);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 1);
    f.teardown();
    admin.command("DROP ROLE kasse");
}

LEDGER_TEST_MAIN(TestServerGui)
#include "tst_server_gui.moc"
