#include "app/Fr_wel.h"
#include "app/instanceguard.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/clock.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "data/schema.h"
#include "ledger/products.h"
#include "ledgertest.h"
#include "orders/Fr_dingdan.h"
#include "widgets/buttonsbar.h"
#include "widgets/databound.h"
#include "widgets/messages.h"
#include "widgets/registry.h"

#include <QDialog>
#include <QDoubleSpinBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLocalServer>
#include <QLockFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QSysInfo>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <csignal>
#include <unistd.h>

class TestFoundation : public QObject {
    Q_OBJECT
private slots:
    void schemaHasEveryTableAndColumn();
    void keysAscendAndAreNeverReused();
    void numericColumnsRefuseTexts();
    void initToolRefusesToOverwrite();
    void initToolLeavesTheFolderAsItWasOnFailure();
    void queryConventions();
    void searchBindsTheTypedText();
    void twoGridsShareOneCurrentRow();
    void deleteCurrentMovesToTheNextRow();
    void pickListEditingPostsAndCancels();
    void startupFailsOnMissingFile();
    void secondProcessCannotReadTheFiles();
    void navigationShowsFramesAndResetsQueries();
    void ordersViewShowsTheHighestOrder();
    void wheelMovesOneRow();
    void spinBoxesDrawArrows();
    void guideOpensOnlyOnZero();
    void errorsGoToTheDefaultErrorBox();
    void dataIsShownAsPlainText();
    void singleInstance();
    void laterCopyBringsTheWindowForwardAsItWas();
};

using namespace User;

namespace {

QStringList columnsOf(const QString& connection, const QString& table) {
    QStringList names;
    QSqlQuery q = Db::exec(QSqlDatabase::database(connection),
                           QStringLiteral("select name from pragma_table_info('%1')").arg(table));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

void wheel(QWidget* target, int delta) {
    QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

// A wheel event as a touchpad or a tilting wheel sends it.
void scroll(QWidget* target, QPoint pixels, QPoint angle, Qt::ScrollPhase phase) {
    QWheelEvent event(QPointF(5, 5), target->mapToGlobal(QPointF(5, 5)), pixels, angle, Qt::NoButton,
                      Qt::NoModifier, phase, false);
    QApplication::sendEvent(target, &event);
}

void addOrder(const QString& status, const QString& category = QStringLiteral("普通订单")) {
    LedgerFixture::exec(
        QStringLiteral("insert into aa (a1, a2, a4, a5) values ('2026-12-01 09:00:00', :a, :b, 10)"),
        {{":a", status}, {":b", category}});
}

} // namespace

void TestFoundation::schemaHasEveryTableAndColumn() {
    LedgerFixture f;
    QCOMPARE(columnsOf(Db::Business, "aa"),
             QStringList({"aid", "a1", "a2", "a3", "a4", "a5", "a6", "a7", "a8", "a9", "a10", "a11", "a12"}));
    QCOMPARE(columnsOf(Db::Business, "ab"),
             QStringList({"bid", "b1", "b2", "b3", "b4", "b5", "b6", "b7", "b8", "b9", "b10", "b11", "b12",
                          "b13", "b14", "b15"}));
    QCOMPARE(columnsOf(Db::Business, "ac"), QStringList({"cid", "c1", "c2", "c3", "c4", "c5", "c6", "c7",
                                                         "c8", "c9", "c10", "c11", "c12", "c13"}));
    QCOMPARE(columnsOf(Db::Business, "ae"), QStringList({"eid", "e1", "e2", "e3", "e6", "e7", "e8", "e9",
                                                         "e11", "e12", "e13", "e14", "e15"}));
    QCOMPARE(columnsOf(Db::Business, "ag"),
             QStringList({"gid", "g1", "g2", "g3", "g4", "g5", "g6", "g7", "g8", "g9"}));
    QCOMPARE(columnsOf(Db::Business, "ah"),
             QStringList({"hid", "h1", "h2", "h3", "h4", "h5", "h6", "h7", "h8", "h9"}));
    QCOMPARE(columnsOf(Db::Business, "aj"),
             QStringList({"jid", "j1", "j2", "j3", "j4", "j5", "j6", "j7", "j8", "j9", "j10"}));
    QCOMPARE(columnsOf(Db::Business, "ak"),
             QStringList({"kid", "k1", "k2", "k3", "k4", "k5", "k6", "k7", "k8", "k9"}));
    QCOMPARE(columnsOf(Db::Business, "af").first(), QStringLiteral("fid"));
    for (const char* t : {"a1", "a2", "a3", "a4"}) {
        QCOMPARE(columnsOf(Db::Lists, t), QStringList({"zid", "z1"}));
        QVERIFY(LedgerFixture::listsScalar(QStringLiteral("select count(*) from %1").arg(t)).toInt() >= 3);
    }
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a4 where z1 = '普通订单'").toInt(), 1);
    QCOMPARE(columnsOf(Db::Lists, "a5"), QStringList({"ids", "run"}));
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a5").toInt(), 1);
    QCOMPARE(LedgerFixture::listsScalar("select ids from a5").toInt(), 8);
    // Every shared query is open on its default statement.
    QCOMPARE(Data_in->Query_ab->statement(), QStringLiteral("select * from ab order by bid desc"));
    QCOMPARE(Data_in->Query_a5->statement(), QStringLiteral("select * from a5"));
    for (SharedQuery* q : Data_in->findChildren<SharedQuery*>())
        QVERIFY2(q->isOpen(), qPrintable(q->objectName()));
    // The fourteen of the tables and the statistics page's five lists (the last: per cashier).
    QCOMPARE(Data_in->findChildren<SharedQuery*>().size(), 19);
    QCOMPARE(Data_in->reportSource("Rv_ak"), Data_in->Query_ak);
    QCOMPARE(Data_in->parent(), qApp);
    QCOMPARE(qApp->findChild<SharedQuery*>("Query_aj"), Data_in->Query_aj);
}

void TestFoundation::keysAscendAndAreNeverReused() {
    LedgerFixture f;
    for (int i = 0; i < 41; ++i)
        addOrder("未结算");
    QCOMPARE(LedgerFixture::scalar("select max(aid) from aa").toInt(), 41);
    LedgerFixture::exec("delete from aa where aid = 41");
    QSqlQuery q = LedgerFixture::exec("insert into aa (a2) values ('未结算')");
    QCOMPARE(q.lastInsertId().toInt(), 42);
    // Date-times are stored as yyyy-MM-dd HH:mm:ss.
    LedgerFixture::exec("insert into aa (a1) values (:a)", {{":a", Clock::nowText()}});
    QCOMPARE(LedgerFixture::scalar("select a1 from aa order by aid desc limit 1").toString(),
             QStringLiteral("2026-12-09 10:30:00"));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, LedgerFixture::exec("insert into aa (a1) values ('9.12.2026')"));
}

void TestFoundation::numericColumnsRefuseTexts() {
    LedgerFixture f;
    for (const char* bad : {"", "-", "abc", "12.50元"}) {
        try {
            LedgerFixture::exec("insert into aj (j1, j9) values ('张三', :a)",
                                {{":a", QString::fromUtf8(bad)}});
            QFAIL(qPrintable(QStringLiteral("stored %1").arg(QString::fromUtf8(bad))));
        } catch (const DatabaseError& e) {
            QVERIFY2(e.text().contains("j9"), qPrintable(e.text()));
        }
    }
    QCOMPARE(LedgerFixture::scalar("select count(*) from aj").toInt(), 0);
    LedgerFixture::exec("insert into aj (j9) values (:a)", {{":a", "12.50"}});
    LedgerFixture::exec("insert into aj (j9) values (:a)", {{":a", "007"}});
    QCOMPARE(LedgerFixture::rows("select j9 from aj order by jid"), QStringList({"12.5", "7"}));
}

void TestFoundation::initToolRefusesToOverwrite() {
    QTemporaryDir dir;
    Schema::createDatabaseFiles(dir.path());
    QFileInfo a(dir.filePath("service_a.dll")), b(dir.filePath("service_b.dll"));
    QVERIFY(a.exists() && b.exists());
    QCOMPARE(a.permissions() & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    const qint64 size = a.size();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Schema::createDatabaseFiles(dir.path()));
    QCOMPARE(QFileInfo(dir.filePath("service_a.dll")).size(), size);
    // The command-line tool does the same and says so.
    QProcess tool;
    tool.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger-initdb", {dir.path()});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(tool.readAllStandardError()).contains("service_a.dll"));
}

void TestFoundation::initToolLeavesTheFolderAsItWasOnFailure() {
    QTemporaryDir dir;
    // service_b.dll cannot be made: its name is taken by a link that leads nowhere.
    const QString blocker = dir.filePath("service_b.dll");
    QVERIFY(QFile::link(dir.filePath("gone/service_b.dll"), blocker));
    const QStringList before =
        QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Schema::createDatabaseFiles(dir.path()));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), before);
    const QString tool = qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger-initdb";
    QProcess failing;
    failing.start(tool, {dir.path()});
    QVERIFY(failing.waitForFinished(10000));
    QCOMPARE(failing.exitCode(), 1);
    QVERIFY(QString::fromLocal8Bit(failing.readAllStandardError()).contains("service_b.dll"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System), before);
    // Once the name is free, trying again makes both files.
    QVERIFY(QFile::remove(blocker));
    QProcess retry;
    retry.start(tool, {dir.path()});
    QVERIFY(retry.waitForFinished(10000));
    QCOMPARE(retry.exitCode(), 0);
    QVERIFY(QFileInfo::exists(dir.filePath("service_a.dll")) &&
            QFileInfo::exists(dir.filePath("service_b.dll")));
    QVERIFY(QFileInfo(dir.filePath("print")).isDir());
}

void TestFoundation::queryConventions() {
    LedgerFixture f;
    for (const char* name : {"可乐", "雪碧", "可口饼干"})
        LedgerFixture::exec("insert into ab (b3, b4) values (:a, 1)", {{":a", QString::fromUtf8(name)}});
    SharedQuery* q = Data_in->Query_ab;
    q->refresh();
    QCOMPARE(q->recordCount(), 3);
    QCOMPARE(q->fieldText("b3"), QStringLiteral("可口饼干")); // newest first
    q->search("b3", "可");
    QCOMPARE(q->recordCount(), 2);
    QCOMPARE(q->currentRow(), 0);
    q->next();
    QCOMPARE(q->fieldText("b3"), QStringLiteral("可乐"));
    // A refresh keeps the statement and returns to the first row.
    LedgerFixture::exec("insert into ab (b3) values ('可可粉')");
    q->refresh();
    QCOMPARE(q->recordCount(), 3);
    QCOMPARE(q->currentRow(), 0);
    QCOMPARE(q->fieldText("b3"), QStringLiteral("可可粉"));
    // A reset replaces it.
    q->reset(q->defaultStatement());
    QCOMPARE(q->recordCount(), 4);
    // A failing open leaves the query closed; counting a closed list is an error.
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q->reset("select * from nosuchtable"));
    QVERIFY(!q->isOpen());
    QCOMPARE(q->property("recordCount").toInt(), -1);
    QVERIFY_THROWS_EXCEPTION(DatabaseError, q->recordCount());
    q->reset(q->defaultStatement());
    QCOMPARE(q->property("recordCount").toInt(), 4);
    QCOMPARE(q->property("statement").toString(), QStringLiteral("select * from ab order by bid desc"));
    QString text;
    QMetaObject::invokeMethod(q, "fieldText", Q_RETURN_ARG(QString, text), Q_ARG(QString, "b3"));
    QCOMPARE(text, QStringLiteral("可可粉"));
}

void TestFoundation::searchBindsTheTypedText() {
    LedgerFixture f;
    for (const char* name : {"O'Brien茶", "50%折扣", "a_b", "axb"})
        LedgerFixture::exec("insert into ab (b3) values (:a)", {{":a", QString::fromUtf8(name)}});
    SharedQuery* q = Data_in->Query_ab;
    q->search("b3", "O'B");
    QCOMPARE(q->recordCount(), 1);
    q->search("b3", "a_b"); // "_" is still a wildcard
    QCOMPARE(q->recordCount(), 2);
    q->search("b3", "%");
    QCOMPARE(q->recordCount(), 4);
    q->search("b3", "");
    QCOMPARE(q->recordCount(), 4);
    q->search("b3", "'; drop table ab; --");
    QCOMPARE(q->recordCount(), 0);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 4);
}

void TestFoundation::twoGridsShareOneCurrentRow() {
    LedgerFixture f;
    for (int i = 0; i < 5; ++i)
        LedgerFixture::exec("insert into ab (b3) values (:a)", {{":a", QStringLiteral("产品%1").arg(i)}});
    SharedQuery* q = Data_in->Query_ab;
    q->refresh();
    DataGrid one("one"), two("two");
    one.bind(q, {{"b3", "产品名称", 100}});
    two.bind(q, {{"bid", "编号", 50}, {"b3", "名称", 100}});
    DataLabel label("label");
    label.bind(q, "b3");
    one.selectRow(3);
    QCOMPARE(q->currentRow(), 3);
    QCOMPARE(two.currentIndex().row(), 3);
    QCOMPARE(label.text(), QStringLiteral("产品1"));
    q->setCurrentRow(1);
    QCOMPARE(one.currentIndex().row(), 1);
    QCOMPARE(two.currentIndex().row(), 1);
    // Each grid shows its own columns and titles.
    QCOMPARE(one.model()->headerData(q->fieldIndex("b3"), Qt::Horizontal).toString(),
             QStringLiteral("产品名称"));
    QCOMPARE(two.model()->headerData(q->fieldIndex("b3"), Qt::Horizontal).toString(), QStringLiteral("名称"));
    QVERIFY(one.isColumnHidden(q->fieldIndex("bid")));
    QVERIFY(!two.isColumnHidden(q->fieldIndex("bid")));
    QCOMPARE(two.horizontalHeader()->visualIndex(q->fieldIndex("bid")), 0);
    QCOMPARE(two.cellText(1, 1), QStringLiteral("产品3"));
}

void TestFoundation::deleteCurrentMovesToTheNextRow() {
    LedgerFixture f;
    for (int i = 1; i <= 3; ++i)
        LedgerFixture::exec("insert into ab (b3) values (:a)", {{":a", QStringLiteral("p%1").arg(i)}});
    SharedQuery* q = Data_in->Query_ab;
    q->setWriter({{}, {}, [](const SharedQuery& list, int row) {
                      Products::remove(list.value(row, "bid").toLongLong());
                  }});
    q->refresh(); // p3, p2, p1
    q->setCurrentRow(1);
    q->deleteCurrent();
    QCOMPARE(q->recordCount(), 2);
    QCOMPARE(q->fieldText("b3"), QStringLiteral("p1"));
    q->deleteCurrent(); // the last row: the one before becomes current
    QCOMPARE(q->fieldText("b3"), QStringLiteral("p3"));
    q->deleteCurrent();
    QCOMPARE(q->recordCount(), 0);
    QCOMPARE(q->currentRow(), -1);
    QCOMPARE(LedgerFixture::scalar("select count(*) from ab").toInt(), 0);
}

void TestFoundation::pickListEditingPostsAndCancels() {
    LedgerFixture f;
    SharedQuery* q = Data_in->Query_a3;
    const int before = q->recordCount();
    q->insertRecord();
    QCOMPARE(q->recordCount(), before + 1);
    QVERIFY(q->setData(q->index(q->currentRow(), q->fieldIndex("z1")), "打"));
    q->post();
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a3 where z1 = '打'").toInt(), 1);
    QVERIFY(q->fieldValue("zid").toInt() > 0);
    // An inserted row left unchanged disappears when the list moves on.
    q->insertRecord();
    q->setCurrentRow(q->currentRow() + 1);
    QCOMPARE(q->recordCount(), before + 1);
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a3").toInt(), before + 1);
    // An edited row is stored when the list moves on.
    q->setCurrentRow(0);
    q->setData(q->index(0, q->fieldIndex("z1")), "双");
    q->setCurrentRow(1);
    QCOMPARE(LedgerFixture::listsScalar("select count(*) from a3 where z1 = '双'").toInt(), 1);
}

void TestFoundation::startupFailsOnMissingFile() {
    LedgerFixture f(false);
    QFile::remove(QDir(f.folder()).filePath("service_b.dll"));
    try {
        Startup::createInstances(f.folder());
        QFAIL("started without service_b.dll");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.text().contains("service_b.dll"), qPrintable(e.text()));
        Startup::reportStartupFailure(e.kind(), e.text());
    }
    QVERIFY(!main_window);
    QVERIFY(!Data_in);
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].title, QStringLiteral("Application Error"));
    QVERIFY(f.messages.last().startsWith("Exception DatabaseError in module "));
    QVERIFY(f.messages.last().contains(" at 0000000000401000.\n"));
    QVERIFY(f.messages.last().contains("service_b.dll"));
    // A damaged file fails the same way, and the first file is free again afterwards.
    QFile damaged(QDir(f.folder()).filePath("service_b.dll"));
    QVERIFY(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Startup::createInstances(f.folder()));
    QVERIFY(!main_window);
    // A missing table fails too.
    QFile::remove(damaged.fileName());
    QTemporaryDir other;
    Schema::createDatabaseFiles(other.path());
    QFile::copy(other.filePath("service_b.dll"), damaged.fileName());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "drop");
        db.setDatabaseName(QDir(f.folder()).filePath("service_a.dll"));
        QVERIFY(db.open());
        Db::exec(db, "drop table af");
        db.close();
    }
    QSqlDatabase::removeDatabase("drop");
    try {
        Startup::createInstances(f.folder());
        QFAIL("started without table af");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.text().contains("af"), qPrintable(e.text()));
    }
    QVERIFY(!main_window);
}

void TestFoundation::secondProcessCannotReadTheFiles() {
    LedgerFixture f;
    for (const char* file : {"service_a.dll", "service_b.dll"}) {
        QProcess sqlite;
        sqlite.start("sqlite3", {QDir(f.folder()).filePath(file), "select count(*) from sqlite_master"});
        QVERIFY(sqlite.waitForFinished(20000));
        QVERIFY(sqlite.exitCode() != 0);
        QVERIFY2(sqlite.readAllStandardError().contains("locked"), file);
    }
    // Once the program has closed them, the files are free.
    f.teardown();
    QProcess sqlite;
    sqlite.start("sqlite3", {QDir(f.folder()).filePath("service_a.dll"), "select count(*) from aa"});
    QVERIFY(sqlite.waitForFinished(20000));
    QCOMPARE(sqlite.exitCode(), 0);
}

void TestFoundation::navigationShowsFramesAndResetsQueries() {
    LedgerFixture f;
    addOrder("未结算");
    addOrder("已结算");
    LedgerFixture::exec("insert into aj (j1) values ('李四')");
    main_window->show();
    ButtonsBar* bar = main_window->bsSkinButtonsBar1;
    QCOMPARE(bar->header(0)->text(), QStringLiteral("订 单"));
    QCOMPARE(bar->header(4)->text(), QStringLiteral("系 统"));
    QCOMPARE(bar->item(4, 0)->text(), QStringLiteral("帮  助"));
    QCOMPARE(bar->item(4, 1)->text(), QStringLiteral("关  于"));
    QCOMPARE(main_window->currentFrame(), (Frame*)main_window->Fr_wel1);
    QCOMPARE(bar->openSection(), 0);

    auto visibleFrames = [] {
        QStringList names;
        for (Frame* fr : main_window->frames())
            if (fr->isVisible())
                names << fr->objectName();
        return names;
    };
    QCOMPARE(visibleFrames(), QStringList({"Fr_wel1"}));

    click(bar->item(0, 1)); // 结 算
    QCOMPARE(visibleFrames(), QStringList({"Fr_jiesuan1"}));
    QCOMPARE(Data_in->Query_aa->statement(),
             QStringLiteral("select * from aa where a2 like '未结算' order by aid desc"));
    QCOMPARE(Data_in->Query_aa->recordCount(), 1);

    click(bar->header(1)); // 库 房 header opens its section and shows the stock page
    QCOMPARE(bar->openSection(), 1);
    QCOMPARE(visibleFrames(), QStringList({"Fr_kucun1"}));
    QCOMPARE(Data_in->Query_aa->recordCount(), 1); // a plain switch re-opens nothing
    click(bar->item(1, 1));
    QCOMPARE(visibleFrames(), QStringList({"Fr_kf_ruku1"}));
    click(bar->item(1, 2));
    QCOMPARE(visibleFrames(), QStringList({"Fr_kf_chuku1"}));
    click(bar->item(1, 0));
    QCOMPARE(visibleFrames(), QStringList({"Fr_kucun1"}));

    Data_in->Query_aj->search("jid", "999");
    click(bar->header(2)); // 会 员
    QCOMPARE(visibleFrames(), QStringList({"Fr_huiyuan1"}));
    QCOMPARE(Data_in->Query_aj->statement(), QStringLiteral("select * from aj order by jid desc"));
    QCOMPARE(Data_in->Query_aj->recordCount(), 1);
    click(bar->item(2, 1));
    QCOMPARE(visibleFrames(), QStringList({"Fr_hy_chongzhi1"}));
    click(bar->item(2, 2));
    QCOMPARE(visibleFrames(), QStringList({"Fr_hy_xiaofei1"}));
    click(bar->item(2, 0));
    QCOMPARE(visibleFrames(), QStringList({"Fr_huiyuan1"}));

    click(bar->header(0));
    QCOMPARE(visibleFrames(), QStringList({"Fr_dingdan1"}));
    QCOMPARE(Data_in->Query_aa->recordCount(), 2);
    click(bar->item(0, 0));
    QCOMPARE(visibleFrames(), QStringList({"Fr_dingdan1"}));

    // The padlock goes back to the welcome page without re-opening anything.
    Data_in->Query_aa->setCurrentRow(1);
    click(main_window->bsSkinSpeedButton2);
    QCOMPARE(visibleFrames(), QStringList({"Fr_wel1"}));
    QCOMPARE(Data_in->Query_aa->currentRow(), 1);

    // Help, about and the envelope open their windows modally.
    QString opened;
    click(bar->header(4)); // 系 统
    onModal([&](QWidget* w) { opened = w->objectName(); });
    click(bar->item(4, 0));
    QCOMPARE(opened, QStringLiteral("help"));
    onModal([&](QWidget* w) { opened = w->objectName(); });
    click(bar->item(4, 1));
    QCOMPARE(opened, QStringLiteral("about"));
    onModal([&](QWidget* w) { opened = w->objectName(); });
    click(main_window->bsSkinSpeedButton1);
    QCOMPARE(opened, QStringLiteral("aio"));
    QVERIFY(main_window->bsSkinStdLabel1->text().endsWith(' '));
}

void TestFoundation::ordersViewShowsTheHighestOrder() {
    LedgerFixture f;
    main_window->show();
    TFr_dingdan* frame = main_window->Fr_dingdan1;
    // No orders: empty details, captions with nothing before them, badges untouched.
    main_window->ordersView();
    QCOMPARE(frame->bsSkinPageControl1->tabText(0), QStringLiteral("号订单的明细"));
    QCOMPARE(frame->bsSkinPageControl1->tabText(1), QStringLiteral("号订单的备注"));
    QCOMPARE(frame->Query_ddmingxi->recordCount(), 0);
    QCOMPARE(Data_in->Query_ak->recordCount(), 0);
    QVERIFY(!frame->Img_wjs->isVisible() && !frame->Img_yjs->isVisible());

    for (int i = 1; i <= 11; ++i)
        addOrder(i == 11 ? "已结算" : "未结算");
    for (const char* order : {"1", "11", "11", "1"})
        LedgerFixture::exec("insert into ak (k3, k8) values ('货', :a)", {{":a", order}});
    Data_in->Query_aa->refresh();
    Data_in->Query_aa->setCurrentRow(5);
    main_window->ordersView();
    QCOMPARE(Data_in->Query_aa->currentRow(), 0);
    QCOMPARE(frame->bsSkinPageControl1->tabText(0), QStringLiteral("11号订单的明细"));
    QCOMPARE(frame->bsSkinPageControl1->tabText(1), QStringLiteral("11号订单的备注"));
    QCOMPARE(Data_in->Query_ak->recordCount(), 2);
    QCOMPARE(Data_in->Query_ak->fieldText("k8"), QStringLiteral("11"));
    QCOMPARE(frame->Query_ddmingxi->fieldText("aid"), QStringLiteral("11"));
    QVERIFY(frame->Img_yjs->isVisible());
    QVERIFY(!frame->Img_wjs->isVisible());

    LedgerFixture::exec("delete from aa where aid = 11");
    main_window->ordersView();
    QCOMPARE(frame->bsSkinPageControl1->tabText(0), QStringLiteral("10号订单的明细"));
    QCOMPARE(Data_in->Query_ak->recordCount(), 0);
    QVERIFY(frame->Img_wjs->isVisible());
    QVERIFY(!frame->Img_yjs->isVisible());
}

void TestFoundation::wheelMovesOneRow() {
    LedgerFixture f;
    for (int i = 0; i < 3; ++i)
        LedgerFixture::exec("insert into ab (b3) values ('x')");
    Data_in->Query_ab->refresh();
    main_window->show();
    main_window->switchTo((Frame*)main_window->Fr_kucun1);
    QList<DataGrid*> grids = main_window->findChildren<DataGrid*>();
    QVERIFY(grids.size() >= 3);
    DataGrid* grid = nullptr;
    for (DataGrid* g : grids)
        if (g->query() == Data_in->Query_ab)
            grid = g;
    if (!grid) {
        grid = new DataGrid("probe", (QWidget*)main_window->Fr_kucun1);
        grid->bind(Data_in->Query_ab, {{"b3", "产品名称", 100}});
    }
    SharedQuery* q = Data_in->Query_ab;
    QCOMPARE(q->currentRow(), 0);
    wheel(grid->viewport(), -120);
    QCOMPARE(q->currentRow(), 1);
    wheel(grid->viewport(), -960); // a fast turn still moves one row
    QCOMPARE(q->currentRow(), 2);
    wheel(grid->viewport(), -120); // at the last row nothing moves
    QCOMPARE(q->currentRow(), 2);
    wheel(grid->viewport(), 120);
    QCOMPARE(q->currentRow(), 1);
    wheel(grid->viewport(), 120);
    QCOMPARE(q->currentRow(), 0);
    QCOMPARE(grid->verticalScrollBar()->value(), 0);

    // Only vertical turns move a row: a sideways scroll, a wheel event without length and the
    // begin and end of a touchpad scroll leave the current row where it is.
    wheel(grid->viewport(), -120);
    QCOMPARE(q->currentRow(), 1);
    wheel(grid->viewport(), 0);
    QCOMPARE(q->currentRow(), 1);
    scroll(grid->viewport(), QPoint(-30, 0), QPoint(-120, 0), Qt::NoScrollPhase);
    QCOMPARE(q->currentRow(), 1);
    scroll(grid->viewport(), QPoint(30, 0), QPoint(120, 0), Qt::ScrollUpdate);
    QCOMPARE(q->currentRow(), 1);
    scroll(grid->viewport(), QPoint(), QPoint(), Qt::ScrollBegin);
    QCOMPARE(q->currentRow(), 1);
    scroll(grid->viewport(), QPoint(0, -3), QPoint(), Qt::ScrollUpdate); // pixels only: toward the user
    QCOMPARE(q->currentRow(), 2);
    scroll(grid->viewport(), QPoint(), QPoint(), Qt::ScrollEnd);
    QCOMPARE(q->currentRow(), 2);
    scroll(grid->viewport(), QPoint(0, 3), QPoint(0, 8), Qt::ScrollMomentum);
    QCOMPARE(q->currentRow(), 1);
}

namespace {

// How many pixels of each row of a part of a picture have about this colour (an arrow is drawn
// smoothed at its edges).
QList<int> pixelsPerRow(const QImage& image, const QRect& part, const QColor& colour) {
    QList<int> rows;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        int count = 0;
        for (int x = part.left(); x <= part.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) + qAbs(c.green() - colour.green()) +
                    qAbs(c.blue() - colour.blue()) <
                60)
                ++count;
        }
        rows << count;
    }
    while (!rows.isEmpty() && rows.first() == 0)
        rows.removeFirst();
    while (!rows.isEmpty() && rows.last() == 0)
        rows.removeLast();
    return rows;
}

enum class Arrow { None, Up, Down };

// The arrow drawn in this colour in a part of a picture: a shape narrow at one end and wide at the
// other, at least three rows high.
Arrow arrowIn(const QImage& image, const QRect& part, const QColor& colour) {
    const QList<int> rows = pixelsPerRow(image, part, colour);
    if (rows.size() < 3)
        return Arrow::None;
    if (rows.first() < rows.last())
        return Arrow::Up;
    if (rows.first() > rows.last())
        return Arrow::Down;
    return Arrow::None;
}

} // namespace

// Spin boxes show an up and a down arrow in their buttons, grey where they cannot step.
void TestFoundation::spinBoxesDrawArrows() {
    for (const char* name : {"spin_up", "spin_down", "spin_up_disabled", "spin_down_disabled"}) {
        const QString file = QStringLiteral(":/pictures/%1.svg").arg(QLatin1String(name));
        QVERIFY2(!QImage(file).isNull(), qPrintable(file));
        QVERIFY2(qApp->styleSheet().contains(QStringLiteral("url(%1)").arg(file)), qPrintable(file));
    }
    const QColor arrow(0x2d, 0x57, 0x88);
    const QColor grey(0xb4, 0xc3, 0xd4);
    QWidget window;
    auto* box = new QDoubleSpinBox(&window);
    box->setRange(0, 100);
    box->setValue(50);
    box->setGeometry(0, 0, 120, 28);
    window.resize(130, 40);
    window.show();
    // The spin buttons fill the right 16 pixels inside the frame, the up button over the down one.
    const int w = box->width(), h = box->height();
    const QRect up(w - 16, 1, 15, h / 2 - 1);
    const QRect down(w - 16, h / 2, 15, h - h / 2 - 1);
    QImage shot = box->grab().toImage();
    QCOMPARE(arrowIn(shot, up, arrow), Arrow::Up);
    QCOMPARE(arrowIn(shot, down, arrow), Arrow::Down);
    // At the top of the range the up arrow greys out; a disabled box greys both.
    box->setValue(100);
    shot = box->grab().toImage();
    QCOMPARE(arrowIn(shot, up, arrow), Arrow::None);
    QCOMPARE(arrowIn(shot, up, grey), Arrow::Up);
    QCOMPARE(arrowIn(shot, down, arrow), Arrow::Down);
    box->setEnabled(false);
    shot = box->grab().toImage();
    QCOMPARE(arrowIn(shot, up, arrow), Arrow::None);
    QCOMPARE(arrowIn(shot, down, arrow), Arrow::None);
    QCOMPARE(arrowIn(shot, up, grey), Arrow::Up);
    QCOMPARE(arrowIn(shot, down, grey), Arrow::Down);
}

void TestFoundation::guideOpensOnlyOnZero() {
    for (const char* flag : {"0", "1", "", " 0", "00"}) {
        LedgerFixture f;
        LedgerFixture::listsExec("update a5 set run = :a", {{":a", QString::fromUtf8(flag)}});
        Data_in->Query_a5->refresh();
        QCOMPARE(main_window->bsSkinDBText1->text(), QString::fromUtf8(flag));
        QString opened;
        const ModalWatch watch = onModalIfAny([&](QWidget* w) { opened = w->objectName(); }, 1000);
        main_window->show();
        // The check runs from the event loop once the window is shown.
        QVERIFY(waitForPostedEvents());
        QTRY_VERIFY_WITH_TIMEOUT(!opened.isEmpty() || qstrcmp(flag, "0") != 0, 2000);
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(opened, qstrcmp(flag, "0") == 0 ? QStringLiteral("help") : QString());
    }
}

void TestFoundation::errorsGoToTheDefaultErrorBox() {
    LedgerFixture f;
    QVERIFY(!guarded([] { throw ConversionError("'abc' is not a valid floating point value"); }));
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("error"));
    QCOMPARE(f.messages.messages.last().title, QStringLiteral("Vandrel通用进销存"));
    QCOMPARE(f.messages.last(), QStringLiteral("'abc' is not a valid floating point value."));
    // No full stop after a text that already ends in one or in a character sorting before it.
    QCOMPARE(Messages::errorText("done."), QStringLiteral("done."));
    QCOMPARE(Messages::errorText("a (1)"), QStringLiteral("a (1)"));
    QCOMPARE(Messages::errorText("abc"), QStringLiteral("abc."));
    QCOMPARE(Messages::errorText("50%"), QStringLiteral("50%"));
    QCOMPARE(Messages::errorText("数据库错误"), QStringLiteral("数据库错误."));
    QVERIFY(Messages::confirmDelete("删吗?"));
    QCOMPARE(f.messages.messages.last().title, QStringLiteral("删除确认"));
    f.messages.answers = {false};
    QVERIFY(!Messages::confirmDelete("删吗?"));
    Messages::information("好");
    QCOMPARE(f.messages.messages.last().title, QStringLiteral("Information"));
    // A failing navigation step shows the error and the program goes on.
    LedgerFixture::exec("alter table aa rename to aa_gone");
    main_window->show();
    click(main_window->bsSkinButtonsBar1->item(0, 0));
    QCOMPARE(f.messages.messages.last().kind, QStringLiteral("error"));
    QVERIFY(f.messages.last().contains("aa"));
    QCOMPARE(main_window->currentFrame(), (Frame*)main_window->Fr_dingdan1);
    QVERIFY(!Data_in->Query_aa->isOpen());
    LedgerFixture::exec("alter table aa_gone rename to aa");
    click(main_window->bsSkinButtonsBar1->item(0, 0));
    QVERIFY(Data_in->Query_aa->isOpen());
}

void TestFoundation::dataIsShownAsPlainText() {
    LedgerFixture f;
    // The real boxes, not the recorder: a folder or a name that looks like markup is shown as
    // the characters it is.
    const QString markup = QStringLiteral("<b>备份</b><img src=\"/etc/passwd\">");
    MessageService::install(nullptr);
    QStringList shown;
    for (const std::function<void()>& ask : std::initializer_list<std::function<void()>>{
             [&] { Messages::information(markup); }, [&] { Messages::error(markup); },
             [&] {
                 Messages::confirmDelete(markup);
             }}) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            if (box->textFormat() == Qt::PlainText)
                shown << box->text();
            box->reject();
        });
        ask();
    }
    MessageService::install(&f.messages);
    QCOMPARE(shown.size(), 3);
    QVERIFY(shown.first().startsWith(markup));
    // Every label of every window shows plain text, but the welcome page's two links.
    QStringList rich;
    for (QLabel* label : main_window->findChildren<QLabel*>())
        if (label->textFormat() != Qt::PlainText)
            rich << label->objectName();
    rich.sort();
    QCOMPARE(rich, QStringList({"bsSkinStdLabel1", "lblToday"}));
    QCOMPARE(main_window->Fr_wel1->findChildren<QLabel*>(rich.first()).size(), 1);
}

namespace {

// The program started as a given user would: that user's runtime folder, a working folder.
void startProgram(QProcess& p, const QString& runtime, const QString& work, const QString& tmp,
                  const QString& home = QString()) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_RUNTIME_DIR", runtime);
    env.insert("TMPDIR", tmp);
    if (!home.isEmpty()) {
        env.insert("HOME", home);
        env.remove("XDG_CACHE_HOME");
    }
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(work);
    p.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger", QStringList());
    QVERIFY(p.waitForStarted(5000));
}

void stop(QProcess& p) {
    p.kill();
    p.waitForFinished(5000);
}

QString owned(const QTemporaryDir& dir) {
    // A runtime folder is entered by its owner only.
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return dir.path();
}

} // namespace

void TestFoundation::singleInstance() {
    QTemporaryDir work, otherWork, runtime, otherRuntime, tmp;
    Schema::createDatabaseFiles(work.path());
    Schema::createDatabaseFiles(otherWork.path());
    const QString lock = QDir(runtime.path()).filePath("vandrel_ledger01.lock");
    QProcess first;
    startProgram(first, owned(runtime), work.path(), tmp.path());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(lock), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(programAnswers(runtime.path()), 10000);
    // The same user's second copy ends at once.
    QProcess second;
    startProgram(second, runtime.path(), work.path(), tmp.path());
    QVERIFY(second.waitForFinished(10000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(first.state(), QProcess::Running);
    // Another user of the machine (own runtime folder, same temporary folder) runs a copy of their
    // own next to it.
    QProcess neighbour;
    startProgram(neighbour, owned(otherRuntime), otherWork.path(), tmp.path());
    QTRY_VERIFY2_WITH_TIMEOUT(programAnswers(otherRuntime.path()),
                              neighbour.readAllStandardError().constData(), 10000);
    QCOMPARE(neighbour.state(), QProcess::Running);
    QCOMPARE(first.state(), QProcess::Running);
    stop(neighbour);

    // After the first copy is killed outright, the next start runs normally.
    ::kill(first.processId(), SIGKILL);
    QVERIFY(first.waitForFinished(5000));
    QProcess third;
    startProgram(third, runtime.path(), work.path(), tmp.path());
    QTRY_VERIFY_WITH_TIMEOUT(programAnswers(runtime.path()), 10000);
    QCOMPARE(third.state(), QProcess::Running);
    stop(third);

    // A copy that is ending (its window gone, the backup at its end running) holds the guard and
    // its socket but no longer answers: a later start says so, waits, and starts once it ended.
    {
        QTemporaryDir endingRuntime, shop;
        Schema::createDatabaseFiles(shop.path());
        QLockFile ending(QDir(owned(endingRuntime)).filePath("vandrel_ledger01.lock"));
        QVERIFY(ending.tryLock(0));
        QLocalServer silent;
        QVERIFY(silent.listen(QDir(endingRuntime.path()).filePath("vandrel_ledger01.socket")));
        QProcess waiting;
        startProgram(waiting, endingRuntime.path(), shop.path(), tmp.path());
        QString said;
        QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(waiting.readAllStandardError()))
                                     .contains(QStringLiteral("上一次运行正在结束")),
                                 15000);
        QVERIFY(!QFile::exists(QDir(shop.path()).filePath("service_a.dll-wal")));
        QCOMPARE(waiting.state(), QProcess::Running);
        silent.close();
        ending.unlock();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(shop.path()).filePath("service_a.dll-wal")), 15000);
        QCOMPARE(waiting.state(), QProcess::Running);
        stop(waiting);
    }

    // A runtime folder others may write into is not used: another user could have put the lock
    // there first, as in the shared temporary folder. The program then keeps its lock in a folder
    // of its own beside the user's cache, and neither squatted name stops it.
    QTemporaryDir shared, home;
    QFile::setPermissions(shared.path(), QFileDevice::Permissions(0x7777));
    const QByteArray squatter = QByteArray::number(QCoreApplication::applicationPid()) +
                                "\nvandrel-ledger\n" + QSysInfo::machineHostName().toUtf8() + "\n";
    for (const QString& name :
         {QDir(shared.path()).filePath("vandrel_ledger01.lock"),
          QDir(tmp.path()).filePath(QStringLiteral("vandrel_ledger01-%1.lock").arg(::getuid()))}) {
        QFile taken(name);
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write(squatter);
    }
    QProcess squatted;
    startProgram(squatted, shared.path(), work.path(), tmp.path(), home.path());
    const QString ownLock = QDir(home.path()).filePath(".cache/vandrel-ledger-run/vandrel_ledger01.lock");
    QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(ownLock), squatted.readAllStandardError().constData(), 10000);
    QCOMPARE(squatted.state(), QProcess::Running);
    QCOMPARE(QFileInfo(QFileInfo(ownLock).absolutePath()).permissions() &
                 (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                  QFileDevice::WriteOther),
             QFileDevice::Permissions());
    stop(squatted);

    // Where no lock can be made at all, the program runs as the first copy and says why.
    QTemporaryDir blocked;
    QFile notAFolder(blocked.filePath("file"));
    QVERIFY(notAFolder.open(QIODevice::WriteOnly));
    notAFolder.close();
    const QString nowhere = notAFolder.fileName();
    QTemporaryDir ownShop;
    Schema::createDatabaseFiles(ownShop.path());
    QProcess unguarded;
    startProgram(unguarded, nowhere, ownShop.path(), nowhere, nowhere);
    // It opens its files: its start went past the guard.
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QDir(ownShop.path()).filePath("service_a.dll-wal")), 10000);
    QCOMPARE(unguarded.state(), QProcess::Running);
    const QString error = QString::fromLocal8Bit(unguarded.readAllStandardError());
    QVERIFY2(error.contains("lock") && error.contains("is not a folder") &&
                 error.contains("Starting without it"),
             qPrintable(error));
    stop(unguarded);
}

void TestFoundation::laterCopyBringsTheWindowForwardAsItWas() {
    LedgerFixture f;
    QTemporaryDir runtime, tmp;
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", owned(runtime).toLocal8Bit());
    InstanceGuard guard;
    const bool first = guard.acquire();
    if (saved.isNull())
        qunsetenv("XDG_RUNTIME_DIR");
    else
        qputenv("XDG_RUNTIME_DIR", saved);
    QVERIFY(first);
    QCOMPARE(QFileInfo(guard.lockPath()).absolutePath(), runtime.path());
    // Connected as the program connects it.
    connect(&guard, &InstanceGuard::showRequested, main_window, &Tmain::bringToFront);
    QSignalSpy calls(&guard, &InstanceGuard::showRequested);

    main_window->showMaximized();
    QTRY_VERIFY(main_window->isMaximized());
    // What the window does once shown (from the event loop) is over before its size is taken.
    QVERIFY(waitForPostedEvents());
    const QSize maximised = main_window->size();
    main_window->showMinimized();
    QTRY_VERIFY(main_window->isMinimized());
    auto startAgain = [&] {
        QProcess later;
        startProgram(later, runtime.path(), tmp.path(), tmp.path());
        QTRY_COMPARE_WITH_TIMEOUT(later.state(), QProcess::NotRunning, 10000);
        QCOMPARE(later.exitCode(), 0);
    };
    startAgain();
    QTRY_COMPARE(calls.count(), 1);
    QTRY_VERIFY(!main_window->isMinimized());
    QVERIFY(main_window->isVisible());
    QVERIFY(main_window->isMaximized());
    QCOMPARE(main_window->size(), maximised);
    // A window of the user's own size keeps that size too.
    main_window->showNormal();
    QTRY_VERIFY(!main_window->isMaximized());
    QVERIFY(waitForPostedEvents());
    main_window->resize(1100, 760);
    QTRY_COMPARE(main_window->size(), QSize(1100, 760));
    startAgain();
    QTRY_COMPARE(calls.count(), 2);
    QVERIFY(!main_window->isMaximized());
    QCOMPARE(main_window->size(), QSize(1100, 760));
    // Another user's copy neither stops at this one's guard nor calls it.
    QTemporaryDir otherRuntime, otherWork;
    Schema::createDatabaseFiles(otherWork.path());
    QProcess neighbour;
    startProgram(neighbour, owned(otherRuntime), otherWork.path(), tmp.path());
    // Once it answers at its own guard, its start is over.
    QTRY_VERIFY_WITH_TIMEOUT(programAnswers(otherRuntime.path()), 10000);
    QCOMPARE(neighbour.state(), QProcess::Running);
    QCOMPARE(calls.count(), 2);
    stop(neighbour);

    // Once this copy is ending (its main loop over, the backup at its end running in a window that
    // answers), a later start is told so: it says that it waits, and nothing comes forward.
    guard.setEnding();
    QProcess waiting;
    startProgram(waiting, runtime.path(), tmp.path(), tmp.path());
    QString said;
    QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(waiting.readAllStandardError()))
                                 .contains(QStringLiteral("上一次运行正在结束")),
                             15000);
    QCOMPARE(waiting.state(), QProcess::Running);
    QCOMPARE(calls.count(), 2);
    stop(waiting);
}

LEDGER_TEST_MAIN(TestFoundation)
#include "tst_foundation.moc"
