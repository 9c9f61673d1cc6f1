#include "data/data_in.h"
#include "data/server.h"
#include "ledgertest.h"
#include "system/backupkeeper.h"
#include "system/systemwindows.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

// The program in a folder whose ledger is on a server: the backup windows send the user to the
// server's own backups instead of copying files that are not there.
class TestServerGui : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void backupWindowsPointToTheServersBackups();
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

LEDGER_TEST_MAIN(TestServerGui)
#include "tst_server_gui.moc"
