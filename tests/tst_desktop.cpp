#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/commandline.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "data/database.h"
#include "data/schema.h"
#include "ledger/reportfiles.h"
#include "ledgertest.h"
#include "reports/reports.h"
#include "warehouse/new_chanpin.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>

// The program as a desktop program: its command line, the folder it opens when started from the
// menu, the demo shop tool, and what a screen reader and a sharp screen need of its buttons.
// Run at scale factor 1 and 2.
class TestDesktop : public QObject {
    Q_OBJECT
private slots:
    void everyExecutableAnswersHelpAndVersion();
    void wrongArgumentsAreToldWithTheUsage();
    void workingFolderChoice();
    void startedFromTheMenuOpensTheHomeShop();
    void demoToolMakesAShopOnlyInANewFolder();
    void iconOnlyButtonsAreNamedAndSharp();
};

namespace {

struct Run {
    int code = -1;
    QString out, err;
};

Run run(const QString& tool, const QStringList& args, const QProcessEnvironment& env = {}) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/" + tool, args);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

const QStringList executables{"vandrel-ledger",       "vandrel-ledger-initdb", "vandrel-ledger-demo",
                              "vandrel-ledger-bench", "vandrel-ledger-backup", "vandrel-ledger-restore",
                              "vandrel-ledger-check", "vandrel-ledger-export", "vandrel-ledger-import"};

QByteArray digest(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1)
                                       : QByteArray();
}

// A home of its own, so the program never touches the real one.
class HomeGuard {
public:
    HomeGuard(const QString& home) : m_old(qgetenv("HOME")) { qputenv("HOME", home.toLocal8Bit()); }
    ~HomeGuard() { qputenv("HOME", m_old); }

private:
    QByteArray m_old;
};

class CurrentGuard {
public:
    CurrentGuard(const QString& folder) : m_old(QDir::currentPath()) { QDir::setCurrent(folder); }
    ~CurrentGuard() { QDir::setCurrent(m_old); }

private:
    QString m_old;
};

} // namespace

void TestDesktop::everyExecutableAnswersHelpAndVersion() {
    QVERIFY(QRegularExpression("^\\d+\\.\\d+(\\.\\d+)?$").match(CommandLine::version()).hasMatch());
    // Without any display: the program reads its command line before it needs a window system.
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        bare.remove(name);
    for (const QString& tool : executables) {
        for (const char* option : {"--help", "-h"}) {
            const Run help = run(tool, {option}, bare);
            QVERIFY2(help.code == 0, qPrintable(tool + option + help.err));
            QVERIFY2(help.out.contains("Usage: ") && help.out.contains(tool), qPrintable(help.out));
            QVERIFY(help.out.contains("--version") && help.out.contains("--help"));
            // What it does, in Chinese and in English.
            QVERIFY2(help.out.contains(QRegularExpression("[\\x{4e00}-\\x{9fff}]{4}")), qPrintable(help.out));
            QVERIFY2(help.out.contains(
                         QRegularExpression("\\b(Creates|Fills|Builds|Backs "
                                            "up|Restores|Checks|Exports|Imports|Vandrel shop ledger)\\b")),
                     qPrintable(help.out));
        }
        const Run version = run(tool, {"--version"}, bare);
        QCOMPARE(version.code, 0);
        QCOMPARE(version.out, tool + " " + CommandLine::version() + "\n");
    }
    QVERIFY(run("vandrel-ledger", {"--help"}, bare).out.contains("[FOLDER]"));
    QVERIFY(run("vandrel-ledger-demo", {"--help"}, bare).out.contains("--scale <N>"));
}

void TestDesktop::wrongArgumentsAreToldWithTheUsage() {
    QTemporaryDir dir;
    const QList<std::pair<QString, QStringList>> wrong{
        {"vandrel-ledger", {"--no-such-option"}},
        {"vandrel-ledger", {dir.path(), dir.path()}},
        {"vandrel-ledger-initdb", {}},
        {"vandrel-ledger-initdb", {dir.path(), dir.path()}},
        {"vandrel-ledger-initdb", {"--folder", dir.path()}},
        {"vandrel-ledger-demo", {dir.path(), "--scale", "zero"}},
        {"vandrel-ledger-demo", {dir.path(), "--scale", "11"}},
        {"vandrel-ledger-bench", {"--scale", "-1"}},
    };
    for (const auto& [tool, args] : wrong) {
        const Run r = run(tool, args);
        QVERIFY2(r.code == 2, qPrintable(tool + " " + args.join(' ') + ": " + QString::number(r.code)));
        QVERIFY2(r.err.contains(QRegularExpression("(^|\n)" + QRegularExpression::escape(tool) + ": ")),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }
    // Nothing was made by a refused command line.
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestDesktop::workingFolderChoice() {
    QTemporaryDir home, elsewhere, shop;
    HomeGuard homeGuard(home.path());
    const QString homeShop = QDir(home.path()).filePath("vandrel-ledger");
    // A folder given is taken as it is (no files made there: opening it tells what is missing).
    QCOMPARE(Startup::workingFolder(elsewhere.path()), QDir(elsewhere.path()).absolutePath());
    QCOMPARE(QDir(elsewhere.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    // Started in a folder that holds a shop: that folder.
    Schema::createDatabaseFiles(shop.path());
    {
        CurrentGuard current(shop.path());
        QCOMPARE(Startup::workingFolder(QString()), QDir(shop.path()).absolutePath());
    }
    QVERIFY(!QFileInfo::exists(homeShop));
    // Started anywhere else (from the menu): ~/vandrel-ledger, made as vandrel-ledger-initdb makes it.
    CurrentGuard current(elsewhere.path());
    QCOMPARE(Startup::workingFolder(QString()), homeShop);
    const QDir made(homeShop);
    QVERIFY(made.exists(Db::BusinessFile) && made.exists(Db::ListsFile));
    QCOMPARE(QDir(made.filePath("print")).entryList(QDir::Files), ReportFiles::names());
    QCOMPARE(Db::BusinessFile, QString("service_a.dll"));
    // The next start keeps every file as it is, also one the user changed or removed.
    const QByteArray a = digest(made.filePath(Db::BusinessFile));
    QVERIFY(QFile::remove(made.filePath("print/ab.rav")));
    QCOMPARE(Startup::workingFolder(QString()), homeShop);
    QCOMPARE(digest(made.filePath(Db::BusinessFile)), a);
    QVERIFY(!made.exists("print/ab.rav"));
    // A half shop (one file gone) is not made whole over the other: opening it reports the loss.
    QVERIFY(QFile::remove(made.filePath(Db::ListsFile)));
    QCOMPARE(Startup::workingFolder(QString()), homeShop);
    QVERIFY(!made.exists(Db::ListsFile));
    QCOMPARE(digest(made.filePath(Db::BusinessFile)), a);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Startup::createInstances(homeShop));
    QVERIFY(!main_window);
}

void TestDesktop::startedFromTheMenuOpensTheHomeShop() {
    QTemporaryDir home, runtime, empty;
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home.path());
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(empty.path());
    program.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger", QStringList());
    QVERIFY(program.waitForStarted(30000));
    const QString shop = QDir(home.path()).filePath("vandrel-ledger");
    // The shop is made and opened (the files stay locked while the program runs).
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QDir(shop).filePath("service_a.dll-wal")), 20000);
    QCOMPARE(program.state(), QProcess::Running);
    QVERIFY(QFileInfo::exists(QDir(shop).filePath("print/aa.rav")));
    QCOMPARE(QDir(empty.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    program.kill();
    program.waitForFinished(5000);

    // A folder given without a ledger is refused (the error box), and the standard error says in
    // one line how to make a shop there.
    QProcess refused;
    refused.setProcessEnvironment(env);
    refused.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger", {empty.path()});
    QVERIFY(refused.waitForStarted(30000));
    QString said;
    QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(refused.readAllStandardError()))
                                 .contains("vandrel-ledger-initdb '" + empty.path() + "'"),
                             20000);
    QVERIFY(said.contains("Exception DatabaseError"));
    refused.kill();
    refused.waitForFinished(5000);
    QCOMPARE(QDir(empty.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

void TestDesktop::demoToolMakesAShopOnlyInANewFolder() {
    QTemporaryDir dir;
    const QString folder = QDir(dir.path()).filePath("demo");
    const Run made = run("vandrel-ledger-demo", {folder});
    QVERIFY2(made.code == 0, qPrintable(made.err));
    // Told as it goes (not a terminal: a line every tenth), then what was written.
    QVERIFY2(made.out.contains(" 50%\n") && made.out.contains("100%\n"), qPrintable(made.out));
    QVERIFY(made.out.contains(QRegularExpression("\\d+ products, \\d+ stock-in records, \\d+ orders")));
    QVERIFY(QFileInfo::exists(QDir(folder).filePath("print/aa.rav")));
    const QByteArray before = digest(QDir(folder).filePath(Db::BusinessFile));
    // A folder with products is somebody's shop: refused, untouched.
    const Run again = run("vandrel-ledger-demo", {folder});
    QCOMPARE(again.code, 1);
    QVERIFY2(again.err.contains("已有产品"), qPrintable(again.err));
    QCOMPARE(digest(QDir(folder).filePath(Db::BusinessFile)), before);
    // And the program opens the demo shop with its lists filled.
    LedgerFixture f(false);
    Startup::createInstances(folder);
    QVERIFY(Data_in->Query_ab->recordCount() > 150);
    QVERIFY(Data_in->Query_aa->recordCount() > 1000);
    QVERIFY(Data_in->Query_ah->recordCount() > 20);
    Startup::destroyInstances();
}

void TestDesktop::iconOnlyButtonsAreNamedAndSharp() {
    LedgerFixture f;
    main_window->show();
    const qreal ratio = qApp->devicePixelRatio();
    QCOMPARE(ratio, qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                        ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                        : 1.0);
    QStringList checked;
    for (QToolButton* b : main_window->findChildren<QToolButton*>()) {
        if (b->objectName().isEmpty() || b->objectName().startsWith("qt_") || b->icon().isNull() ||
            b->toolButtonStyle() != Qt::ToolButtonIconOnly)
            continue;
        const QString where = b->parentWidget()->window()->objectName() + "/" + b->objectName();
        QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(where));
        QVERIFY2(!b->toolTip().isEmpty(), qPrintable(where));
        // The picture has the screen's pixels, not a small one blown up.
        const QSize size = b->iconSize().boundedTo(QSize(16, 16));
        const QPixmap pm = b->icon().pixmap(size, ratio);
        QVERIFY2(pm.width() >= int(size.width() * ratio),
                 qPrintable(where + " " + QString::number(pm.width())));
        checked << where;
    }
    // The padlock and the envelope, the pick-list buttons of the product dialogs.
    QVERIFY2(checked.contains("main/bsSkinSpeedButton2") && checked.contains("main/bsSkinSpeedButton1"),
             qPrintable(checked.join(' ')));
    auto* status = main_window->findChild<QWidget*>("bsSkinStatusBar1");
    QVERIFY(status);
    QCOMPARE(status->findChild<QToolButton*>("bsSkinSpeedButton2")->accessibleName(), QString("回到欢迎页"));
    QCOMPARE(status->findChild<QToolButton*>("bsSkinSpeedButton1")->accessibleName(),
             QString("软件服务中心"));
    const QString picks = new_chanpin->objectName() + "/bsSkinSpeedButton";
    for (const QString& name : {picks + "1", picks + "2", picks + "3"})
        QVERIFY2(checked.contains(name), qPrintable(checked.join(' ')));
    QCOMPARE(new_chanpin->findChild<QToolButton*>("bsSkinSpeedButton3")->accessibleName(),
             QString("编辑单位列表"));
}

LEDGER_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
