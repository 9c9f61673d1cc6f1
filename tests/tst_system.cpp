// The system section's backup, restore and check windows driven as a user would, the status
// bar's backup mark, and the running program ended by a signal.
#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/clock.h"
#include "data/data_in.h"
#include "data/demodata.h"
#include "data/schema.h"
#include "ledger/backup.h"
#include "ledger/products.h"
#include "support/ledgertest.h"
#include "system/backupkeeper.h"
#include "system/backupwindow.h"
#include "system/checkwindow.h"
#include "system/restorewindow.h"
#include "widgets/buttonsbar.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <csignal>

namespace {

QToolButton* systemItem(const QString& caption) {
    for (QToolButton* b : main_window->bsSkinButtonsBar1->findChildren<QToolButton*>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

// Backs up through the backup window, as a click on 立即备份 does; waits for the verification.
void backUpByHand() {
    QSignalSpy done(backup_keeper, &BackupKeeper::finished);
    onModal([&](QWidget* w) {
        QCOMPARE(w, static_cast<QWidget*>(beifen));
        QTest::mouseClick(child<QPushButton>(w, "btnBackup"), Qt::LeftButton);
        QVERIFY(done.wait(10000));
    });
    QTest::mouseClick(systemItem(QStringLiteral("数据备份")), Qt::LeftButton);
    QCOMPARE(done.size(), 1);
}

} // namespace

class TestSystem : public QObject {
    Q_OBJECT

private slots:
    void backupWindowMakesAVerifiedBackupAndTheStatusBarShowsIt();
    void backupFolderCanBeMovedAndMustBeWritable();
    void stopDuringTheVerificationLeavesNoBackup();
    void exitBackupShowsItsWindowAndMayBeSkipped_data();
    void exitBackupShowsItsWindowAndMayBeSkipped();
    void restoreWindowPutsABackupBackAndEveryListFollows();
    void checkWindowReportsAndMendsAnAmountDue();
    void quietProgramHasFoldedItsLogIn();
    void terminationSignalEndsTheProgramWithWholeFiles();
};

void TestSystem::backupWindowMakesAVerifiedBackupAndTheStatusBarShowsIt() {
    LedgerFixture fx;
    auto* label = child<QLabel>(main_window, "lblBackup");
    QCOMPARE(label->text().trimmed(), QStringLiteral("尚无备份"));
    QCOMPARE(label->property("role").toString(), QStringLiteral("warning"));
    const QStringList items = {QStringLiteral("帮  助"), QStringLiteral("关  于"), QStringLiteral("数据备份"),
                               QStringLiteral("数据恢复"), QStringLiteral("数据检查")};
    for (const QString& caption : items)
        QVERIFY2(systemItem(caption), qPrintable(caption));

    backUpByHand();
    QVERIFY(fx.messages.messages.isEmpty());
    QCOMPARE(label->text().trimmed(), QStringLiteral("上次备份：2026-12-09 10:30"));
    QCOMPARE(label->property("role").toString(), QStringLiteral("note"));
    const auto last = Backups::lastGood(Backups::defaultRoot(fx.folder()));
    QVERIFY(last.has_value());
    QCOMPARE(last->reason, QStringLiteral("手动备份"));

    // A day later the mark is back.
    Clock::setFixed(QDateTime(QDate(2026, 12, 10), QTime(11, 0)));
    backup_keeper->refresh();
    QCOMPARE(label->property("role").toString(), QStringLiteral("warning"));
}

void TestSystem::backupFolderCanBeMovedAndMustBeWritable() {
    LedgerFixture fx;
    QTemporaryDir stick;
    const QString target = QDir(stick.path()).absoluteFilePath(QStringLiteral("店铺备份"));
    onModal([&](QWidget* w) {
        auto* folder = child<QLineEdit>(w, "edtFolder");
        QCOMPARE(QDir::fromNativeSeparators(folder->text()), Backups::defaultRoot(fx.folder()));
        folder->clear();
        folder->insert(target); // pasted: the path holds Chinese characters
        QTest::keyClick(folder, Qt::Key_Return);
        // A folder inside a file cannot be made.
        folder->setText(QDir(fx.folder()).absoluteFilePath(QStringLiteral("service_a.dll/x")));
        QTest::keyClick(folder, Qt::Key_Return);
    });
    QTest::mouseClick(systemItem(QStringLiteral("数据备份")), Qt::LeftButton);
    QCOMPARE(Backups::root(fx.folder()), target);
    QCOMPARE(fx.messages.messages.size(), 1);
    QVERIFY2(fx.messages.last().contains(QStringLiteral("无法使用文件夹")), qPrintable(fx.messages.last()));
    backUpByHand();
    QCOMPARE(Backups::list(target).size(), 1);

    // A backup stopped before it is done leaves nothing behind.
    onModal([&](QWidget* w) {
        auto* stop = child<QPushButton>(w, "btnStop");
        QVERIFY(!stop->isEnabled());
        QTest::mouseClick(child<QPushButton>(w, "btnBackup"), Qt::LeftButton);
        QVERIFY(stop->isEnabled());
        QVERIFY(backup_keeper->running());
        QTest::mouseClick(stop, Qt::LeftButton);
        QVERIFY(!backup_keeper->running());
        QVERIFY(child<QPushButton>(w, "btnBackup")->isEnabled());
    });
    QTest::mouseClick(systemItem(QStringLiteral("数据备份")), Qt::LeftButton);
    QCOMPARE(QDir(target).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).size(), 1);
    QVERIFY(fx.messages.messages.size() == 1); // only the refused folder above
}

// A big shop's verification takes a while: 停止备份 then answers at once, and the stopped backup
// is gone without a trace (the last good one and the status bar's mark stay as they were).
void TestSystem::stopDuringTheVerificationLeavesNoBackup() {
    LedgerFixture fx;
    const QString root = Backups::defaultRoot(fx.folder());
    backUpByHand();
    const auto before = Backups::lastGood(root);
    QVERIFY(before.has_value());
    auto* mark = child<QLabel>(main_window, "lblBackup");
    const QString markBefore = mark->text();
    Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(12, 0)));
    // Every step of the engine's check takes 2 ms: the verification would last minutes.
    Backups::slowCheck(2000);
    onModal(
        [&](QWidget* w) {
            auto* stop = child<QPushButton>(w, "btnStop");
            QTest::mouseClick(child<QPushButton>(w, "btnBackup"), Qt::LeftButton);
            QTRY_COMPARE_WITH_TIMEOUT(child<QProgressBar>(w, "barProgress")->value(), 90, 10000);
            QElapsedTimer answer;
            answer.start();
            QTest::mouseClick(stop, Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!backup_keeper->running(), 1000);
            QVERIFY2(answer.elapsed() < 1000, qPrintable(QString::number(answer.elapsed())));
            QCOMPARE(child<QLabel>(w, "lblState")->text(), QStringLiteral("备份已停止，这份备份已删除。"));
            QVERIFY(child<QPushButton>(w, "btnBackup")->isEnabled());
            QVERIFY(!stop->isEnabled());
        },
        20000);
    QTest::mouseClick(systemItem(QStringLiteral("数据备份")), Qt::LeftButton);
    Backups::slowCheck(0);
    QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{QFileInfo(before->folder).fileName()});
    QCOMPARE(Backups::lastGood(root)->folder, before->folder);
    QCOMPARE(mark->text(), markBefore);
    QCOMPARE(fx.messages.texts(), QStringList());
}

void TestSystem::exitBackupShowsItsWindowAndMayBeSkipped_data() {
    QTest::addColumn<bool>("stop");
    QTest::newRow("done") << false;
    QTest::newRow("stopped while verifying") << true;
}

// After the close box the main window goes and "正在备份…" shows the backup at the end; stopped,
// it leaves nothing and says the backup was skipped.
void TestSystem::exitBackupShowsItsWindowAndMayBeSkipped() {
    QFETCH(bool, stop);
    LedgerFixture fx;
    const QString root = Backups::defaultRoot(fx.folder());
    main_window->show();
    Backups::slowCheck(stop ? 2000 : 0);
    bool shown = false;
    onModal(
        [&](QWidget* w) {
            QCOMPARE(w->objectName(), QStringLiteral("exitBackup"));
            QCOMPARE(child<QLabel>(w, "lblText")->text(), QStringLiteral("正在备份…"));
            QVERIFY(!main_window->isVisible());
            shown = true;
            if (stop) {
                QTRY_COMPARE_WITH_TIMEOUT(child<QProgressBar>(w, "barProgress")->value(), 90, 10000);
                QTest::mouseClick(child<QPushButton>(w, "btnStop"), Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 1000);
            } else {
                QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 10000);
            }
        },
        20000);
    Startup::backUpAtExit();
    Backups::slowCheck(0);
    QVERIFY(shown);
    if (stop) {
        QCOMPARE(fx.messages.texts(), QStringList{QStringLiteral("退出时的备份已跳过，没有留下这份备份。")});
        QCOMPARE(QDir(root).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    } else {
        QCOMPARE(fx.messages.texts(), QStringList());
        QCOMPARE(Backups::list(root).size(), 1);
        QCOMPARE(Backups::lastGood(root)->reason, QStringLiteral("退出时备份"));
    }
}

void TestSystem::restoreWindowPutsABackupBackAndEveryListFollows() {
    LedgerFixture fx;
    Products::Fields water;
    water.major = QStringLiteral("饮料");
    water.name = QStringLiteral("矿泉水");
    water.unit = QStringLiteral("瓶");
    water.cost = Currency::parse(QStringLiteral("1"));
    water.wholesale = Currency::parse(QStringLiteral("1.5"));
    water.sale = Currency::parse(QStringLiteral("2"));
    Products::create(water, Currency::parse(QStringLiteral("10")));
    backUpByHand();
    water.name = QStringLiteral("可乐");
    Products::create(water, Currency::parse(QStringLiteral("5")));
    QCOMPARE(Data_in->Query_ab->recordCount(), 2);

    fx.messages.answers = {true};
    onModal([&](QWidget* w) {
        auto* list = child<QTreeWidget>(w, "lstBackups");
        QCOMPARE(list->topLevelItemCount(), 1);
        QCOMPARE(list->topLevelItem(0)->text(3), QStringLiteral("已验证"));
        QVERIFY(list->topLevelItem(0)->text(2).contains(QStringLiteral("产品 1")));
        QTest::mouseClick(child<QPushButton>(w, "btnRestore"), Qt::LeftButton);
        // The restore made a backup of what it replaced.
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("恢复前备份"));
    });
    QTest::mouseClick(systemItem(QStringLiteral("数据恢复")), Qt::LeftButton);
    QCOMPARE(fx.messages.messages.first().kind, QStringLiteral("confirm"));
    QVERIFY2(fx.messages.last().contains(QStringLiteral("账目检查没有发现问题")),
             qPrintable(fx.messages.last()));
    // The open lists read the restored file.
    QCOMPARE(Data_in->Query_ab->recordCount(), 1);
    QCOMPARE(LedgerFixture::rows(QStringLiteral("select b3 from ab")), QStringList{QStringLiteral("矿泉水")});
    // And the program goes on writing into it.
    water.name = QStringLiteral("雪碧");
    Products::create(water, Currency::parse(QStringLiteral("7")));
    QCOMPARE(Data_in->Query_ab->recordCount(), 2);
}

void TestSystem::checkWindowReportsAndMendsAnAmountDue() {
    LedgerFixture fx;
    DemoData::fill({.products = 30,
                    .stockIns = 30,
                    .orders = 20,
                    .linesPerOrder = 3,
                    .members = 5,
                    .recharges = 5,
                    .consumptions = 5});
    const qint64 order = LedgerFixture::scalar(QStringLiteral("select min(aid) from aa")).toLongLong();
    const QString due =
        LedgerFixture::scalar(QStringLiteral("select a5 from aa where aid = :k"), {{":k", order}}).toString();
    onModal([&](QWidget* w) {
        QTRY_VERIFY2(child<QLabel>(w, "lblSummary")->text().contains(QStringLiteral("没有发现问题")),
                     qPrintable(child<QPlainTextEdit>(w, "txtReport")->toPlainText() +
                                fx.messages.texts().join(QLatin1Char('\n'))));
        QVERIFY(!child<QPushButton>(w, "btnFix")->isEnabled());
    });
    QTest::mouseClick(systemItem(QStringLiteral("数据检查")), Qt::LeftButton);

    LedgerFixture::exec(QStringLiteral("update aa set a5 = a5 + 7 where aid = :k"), {{":k", order}});
    fx.messages.answers = {true};
    onModal([&](QWidget* w) {
        auto* summary = child<QLabel>(w, "lblSummary");
        QTRY_VERIFY2(summary->text().contains(QStringLiteral("发现 1 个问题")),
                     qPrintable(summary->text() + child<QPlainTextEdit>(w, "txtReport")->toPlainText()));
        QVERIFY(child<QPlainTextEdit>(w, "txtReport")->toPlainText().contains(QString::number(order)));
        QTest::mouseClick(child<QPushButton>(w, "btnFix"), Qt::LeftButton);
        QVERIFY2(summary->text().contains(QStringLiteral("没有发现问题")),
                 qPrintable(child<QPlainTextEdit>(w, "txtReport")->toPlainText() +
                            fx.messages.texts().join("\n")));
    });
    QTest::mouseClick(systemItem(QStringLiteral("数据检查")), Qt::LeftButton);
    QCOMPARE(
        LedgerFixture::scalar(QStringLiteral("select a5 from aa where aid = :k"), {{":k", order}}).toString(),
        due);
    // The fix was preceded by a backup.
    const auto last = Backups::lastGood(Backups::defaultRoot(fx.folder()));
    QVERIFY(last.has_value());
    QCOMPARE(last->reason, QStringLiteral("修复前备份"));
}

namespace {

// The program in a working folder of its own, with a single-instance guard of its own.
struct RunningProgram {
    QTemporaryDir folder;
    QTemporaryDir runtime;
    QProcess process;

    void start() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(folder.path());
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vandrel-ledger"), {});
        QVERIFY(process.waitForStarted());
    }
    QString file(const QString& name) const { return QDir(folder.path()).absoluteFilePath(name); }
    ~RunningProgram() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
};

// A shop whose newest order lost its amount due: the program mends it at start, one commit.
void prepareShop(const QString& folder) {
    Schema::createDatabaseFiles(folder);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("prepare"));
        db.setDatabaseName(QDir(folder).absoluteFilePath(Db::BusinessFile));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(
            q.exec(QStringLiteral("insert into aa (a1, a2, a4, a5) values ('2026-12-09 09:00:00', '未结算', "
                                  "'普通订单', null)")));
        QVERIFY(q.exec(
            QStringLiteral("insert into ak (k3, k4, k6, k7, k8) values ('矿泉水', '3', '2.5', '1', '1')")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("prepare"));
}

QString amountDueInCopy(const QString& file) {
    // The file is locked by the running program; a plain copy of its bytes is what a backup by
    // hand would take.
    const QString copy = file + QStringLiteral(".copy");
    QFile::remove(copy);
    if (!QFile::copy(file, copy))
        return QStringLiteral("no copy");
    QString due;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("copy"));
        db.setDatabaseName(copy);
        db.open();
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("select a5 from aa where aid = 1")) && q.next())
            due = q.value(0).toString();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("copy"));
    QFile::remove(copy);
    return due;
}

} // namespace

void TestSystem::quietProgramHasFoldedItsLogIn() {
    RunningProgram program;
    prepareShop(program.folder.path());
    program.start();
    const QString wal = program.file(Db::BusinessFile + QStringLiteral("-wal"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(wal), 20000);
    // Idle for a moment after the mend: the log is empty and the file alone holds the commit.
    QTRY_COMPARE_WITH_TIMEOUT(amountDueInCopy(program.file(Db::BusinessFile)), QStringLiteral("7.5"), 20000);
    QCOMPARE(QFileInfo(wal).size(), 0);
}

void TestSystem::terminationSignalEndsTheProgramWithWholeFiles() {
    for (int signal : {SIGTERM, SIGHUP}) {
        RunningProgram program;
        prepareShop(program.folder.path());
        program.start();
        const QString wal = program.file(Db::BusinessFile + QStringLiteral("-wal"));
        // The start-up guide is open (a modal loop) when the signal comes.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(wal), 20000);
        // Its event loop runs (the guide is opened first thing in it) once it answers a call.
        QTRY_VERIFY_WITH_TIMEOUT(programAnswers(program.runtime.path()), 20000);
        ::kill(pid_t(program.process.processId()), signal);
        QVERIFY(program.process.waitForFinished(30000));
        QCOMPARE(program.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.process.exitCode(), 0);
        QStringList left =
            QDir(program.folder.path())
                .entryList({QStringLiteral("*-wal"), QStringLiteral("*-shm"), QStringLiteral("*-journal")},
                           QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList());
        QCOMPARE(amountDueInCopy(program.file(Db::BusinessFile)), QStringLiteral("7.5"));
        // The orderly end made its backup.
        const auto last = Backups::lastGood(Backups::defaultRoot(program.folder.path()));
        QVERIFY(last.has_value());
        QCOMPARE(last->reason, QStringLiteral("退出时备份"));
    }
}

LEDGER_TEST_MAIN(TestSystem)
#include "tst_system.moc"
