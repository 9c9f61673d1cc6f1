#include "data/data_in.h"
#include "data/server.h"
#include "ledger/products.h"
#include "ledgertest.h"
#include "system/backupkeeper.h"
#include "system/systemwindows.h"

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>

// The program in a folder whose ledger is on a server: the backup windows send the user to the
// server's own backups instead of copying files that are not there.
class TestServerGui : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void backupWindowsPointToTheServersBackups();
    void anotherTillsSalesAreShown();
};

void TestServerGui::initTestCase() {
    if (!CoreFixture::onServer())
        QSKIP("needs the test server (LEDGER_TEST_SERVER)");
}

void TestServerGui::backupWindowsPointToTheServersBackups() {
    LedgerFixture f;
    QVERIFY(Server::usesServer(f.folder()));
    QVERIFY(Data_in->onServer());
    QVERIFY(Db::isServer(Db::business()));
    // Nothing to back up in the folder: no backup is overdue, none starts.
    QVERIFY(!backup_keeper->overdue());
    QVERIFY(!backup_keeper->start(QStringLiteral("手动备份")));
    QCOMPARE(f.messages.messages.size(), 1);
    QVERIFY(f.messages.last().contains(ServerBackups));
    f.messages.clear();

    beifen->show();
    QCOMPARE(child<QLabel>(beifen, "lblLast")->text(), ServerBackups);
    QVERIFY(!child<QPushButton>(beifen, "btnBackup")->isEnabled());
    beifen->close();

    huifu->show();
    QCOMPARE(child<QLabel>(huifu, "lblFolder")->text(), ServerBackups);
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

LEDGER_TEST_MAIN(TestServerGui)
#include "tst_server_gui.moc"
