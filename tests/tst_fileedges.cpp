#include "core/errors.h"
#include "data/data_in.h"
#include "data/database.h"
#include "data/schema.h"
#include "fileedges.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The database files at their edges: the write-back of the log cut off by a kill or a full disk,
// and the file check on a disk without room. Every committed row is there afterwards, and no
// shop is refused or taken for damaged while SQLite opens it whole.
class TestFileEdges : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void killedWriteBackLeavesAWholeShop();
    void logThatDoesNotHoldTheLostEndIsRefused();
    void failedWriteBackSaysSoAndKeepsTheLog();
    void fullDiskAtTheWriteBack();
    void programWriteBackOnAFullDisk();
    void fileCheckOnAFullDisk_data();
    void fileCheckOnAFullDisk();

private:
    // A shop as the program leaves it (write-ahead logging, nothing left to add at a start) and a
    // products file of Rows new products, made once and copied for every run.
    QTemporaryDir m_base;
    QString m_shop;
    QString m_products;
    static constexpr int Rows = 5000;
    // The import's writes into the business file itself (not its log), as injected() counts the
    // import's writes: the write-back of its log.
    QList<int> m_writeBack;
    // The import of the products file into a folder.
    QStringList importArgs(const QString& folder) const {
        return {folder, QStringLiteral("products"), m_products};
    }
};

namespace {

const QString Import = QStringLiteral("vandrel-ledger-import");
const QString Check = QStringLiteral("vandrel-ledger-check");

void copyShop(const QString& from, const QString& to) {
    QDir().mkpath(to);
    for (const QString& name : QDir(from).entryList(QDir::Files | QDir::Hidden)) {
        QFile::remove(QDir(to).filePath(name));
        QVERIFY(QFile::copy(QDir(from).filePath(name), QDir(to).filePath(name)));
    }
}

// The pages the file's header counts, times their size, against the file's size.
bool headerCountsMoreThanTheFileHolds(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray h = file.read(100);
    if (h.size() < 100)
        return false;
    auto byte = [&h](int i) {
        return quint32(quint8(h.at(i)));
    };
    const quint32 pageSize = byte(16) << 8 | byte(17);
    const quint32 pages = byte(28) << 24 | byte(29) << 16 | byte(30) << 8 | byte(31);
    return qint64(pages) * pageSize > file.size();
}

// The folder's products as the program reads them (its own open, which reads any log); -1 when
// the program refuses the folder, with the reason in `why`.
qint64 productsIn(const QString& folder, QString* why = nullptr) {
    try {
        TData_in data(nullptr, folder);
        return Db::scalar(Db::business(), QStringLiteral("select count(*) from ab")).toLongLong();
    } catch (const LedgerError& e) {
        if (why)
            *why = e.text();
        return -1;
    }
}

QStringList logFiles(const QString& folder) {
    return QDir(folder).entryList(
        {QStringLiteral("*-wal"), QStringLiteral("*-shm"), QStringLiteral("*-journal")},
        QDir::Files | QDir::Hidden);
}

QByteArray digest(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// Points spread evenly over the calls, the first and the last among them; every call when
// LEDGER_EVERY_POINT is set (the sweep takes minutes then).
QList<int> sample(const QList<int>& calls, int points) {
    if (qEnvironmentVariableIsSet("LEDGER_EVERY_POINT") || calls.size() <= points)
        return calls;
    QList<int> out;
    for (int i = 0; i < points; ++i) {
        const int at = calls[int(qint64(i) * (calls.size() - 1) / (points - 1))];
        if (!out.contains(at))
            out << at;
    }
    return out;
}

} // namespace

void TestFileEdges::initTestCase() {
    if (!FileEdges::canInject())
        QSKIP("strace is needed to kill and fail the tools at their writes");
    QVERIFY(m_base.isValid());
    m_shop = m_base.filePath(QStringLiteral("shop"));
    Schema::createDatabaseFiles(m_shop);
    // A first open turns the files to write-ahead logging and adds what a start adds, so the
    // import's runs write the file only in the write-back of their log.
    QCOMPARE(productsIn(m_shop), 0);
    m_products = m_base.filePath(QStringLiteral("products.csv"));
    QFile csv(m_products);
    QVERIFY(csv.open(QIODevice::WriteOnly));
    QByteArray text = "产品名称,单位,大类,库存量,销售价\n";
    for (int i = 1; i <= Rows; ++i)
        text += "测试产品" + QByteArray::number(i) + ",个,食品,10,2.5\n";
    csv.write(text);
    csv.close();
    QTemporaryDir dir;
    const QString shop = dir.filePath(QStringLiteral("shop"));
    copyShop(m_shop, shop);
    m_writeBack = FileEdges::callsOn(Import, importArgs(shop), QStringLiteral("pwrite64"),
                                     QStringLiteral("/") + Db::BusinessFile);
    QVERIFY2(m_writeBack.size() > 20, qPrintable(QString::number(m_writeBack.size())));
    QCOMPARE(productsIn(shop), Rows);
}

void TestFileEdges::killedWriteBackLeavesAWholeShop() {
    QTemporaryDir dir;
    const QString shop = dir.filePath(QStringLiteral("shop"));
    int shortFiles = 0;
    const QList<int> points = sample(m_writeBack, 8);
    for (const int n : points) {
        copyShop(m_shop, shop);
        const FileEdges::Run run = FileEdges::injected(Import, importArgs(shop), QStringLiteral("pwrite64"),
                                                       QStringLiteral("signal=KILL"), n);
        QVERIFY2(run.killed, qPrintable(QStringLiteral("write %1: %2").arg(n).arg(run.err)));
        const QString a = QDir(shop).filePath(Db::BusinessFile);
        if (headerCountsMoreThanTheFileHolds(a))
            ++shortFiles;
        // The check is the first to open the files after the kill: it passes, and so does the
        // program's own open, with every committed row.
        const FileEdges::Run check = FileEdges::tool(Check, {shop});
        QVERIFY2(check.code == 0,
                 qPrintable(QStringLiteral("write %1: %2 %3").arg(n).arg(check.out, check.err)));
        QString why;
        QCOMPARE(productsIn(shop, &why), Rows);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QCOMPARE(logFiles(shop), QStringList());
    }
    // The sweep met the state that used to lock the shop out: the header already counting the
    // new pages, the file not grown yet.
    qInfo("killed at %lld of the write-back's %lld writes; %d left the file short of its pages",
          qint64(points.size()), qint64(m_writeBack.size()), shortFiles);
    QVERIFY(shortFiles > 0);
}

void TestFileEdges::logThatDoesNotHoldTheLostEndIsRefused() {
    // A write-back killed half-way, then its log lost: the file lacks pages nothing holds.
    QTemporaryDir dir;
    const QString shop = dir.filePath(QStringLiteral("shop"));
    copyShop(m_shop, shop);
    FileEdges::injected(Import, importArgs(shop), QStringLiteral("pwrite64"), QStringLiteral("signal=KILL"),
                        m_writeBack[1]);
    const QString a = QDir(shop).filePath(Db::BusinessFile);
    QVERIFY(headerCountsMoreThanTheFileHolds(a));
    const QString log = a + QStringLiteral("-wal");
    QVERIFY(QFileInfo(log).size() > 32);
    for (const QByteArray& damagedLog : {QByteArray("a log of another file"), QByteArray(4096, '\0')}) {
        QFile file(log);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(damagedLog);
        file.close();
        const QByteArray before = digest(a);
        const Schema::FileCheck found = Schema::checkFile(a, Schema::businessTables());
        QCOMPARE(found.fault, Schema::FileFault::Damaged);
        QVERIFY2(found.text.contains(QStringLiteral("不完整")), qPrintable(found.text));
        // Refused as it is: nothing written back into it, the log left as it was.
        QCOMPARE(digest(a), before);
        QCOMPARE(digest(log), QCryptographicHash::hash(damagedLog, QCryptographicHash::Sha256));
        const FileEdges::Run check = FileEdges::tool(Check, {shop});
        QCOMPARE(check.code, 2);
        QVERIFY2(check.err.contains(QStringLiteral("不完整")), qPrintable(check.err));
    }
}

void TestFileEdges::failedWriteBackSaysSoAndKeepsTheLog() {
    QTemporaryDir dir;
    const QString shop = dir.filePath(QStringLiteral("shop"));
    for (const int n : {m_writeBack.first(), m_writeBack[m_writeBack.size() / 2], m_writeBack.last()}) {
        copyShop(m_shop, shop);
        // From that write on the disk takes nothing more.
        const FileEdges::Run run = FileEdges::injectedFrom(
            Import, importArgs(shop), QStringLiteral("pwrite64"), QStringLiteral("error=ENOSPC"), n);
        const QString name = QStringLiteral("write %1: %2 %3").arg(n).arg(run.out, run.err);
        // The rows are committed: the import says so, then that its log waits for room.
        QVERIFY2(run.code == 0 && run.out.contains(QStringLiteral("已导入 %1 行").arg(Rows)),
                 qPrintable(name));
        QVERIFY2(run.err.contains(QStringLiteral("磁盘空间不足")), qPrintable(name));
        QVERIFY2(run.err.contains(QDir(shop).absolutePath()), qPrintable(name));
        const QString log = QDir(shop).filePath(Db::BusinessFile + QStringLiteral("-wal"));
        QVERIFY2(QFileInfo(log).size() > 0, qPrintable(name));
        const FileEdges::Run check = FileEdges::tool(Check, {shop});
        QVERIFY2(check.code == 0, qPrintable(name + check.err));
        QCOMPARE(productsIn(shop), Rows);
        QCOMPARE(logFiles(shop), QStringList());
    }
}

void TestFileEdges::fullDiskAtTheWriteBack() {
    // How much the import's log takes and how much the file grows, measured on an ample disk: the
    // log kept whole by a write-back that fails at once.
    QTemporaryDir dir;
    const QString measured = dir.filePath(QStringLiteral("measured"));
    copyShop(m_shop, measured);
    FileEdges::injectedFrom(Import, importArgs(measured), QStringLiteral("pwrite64"),
                            QStringLiteral("error=ENOSPC"), m_writeBack.first());
    const QString measuredA = QDir(measured).filePath(Db::BusinessFile);
    const qint64 log = QFileInfo(measuredA + QStringLiteral("-wal")).size();
    const qint64 before = QFileInfo(measuredA).size();
    QCOMPARE(FileEdges::tool(Check, {measured}).code, 0);
    const qint64 growth = QFileInfo(measuredA).size() - before;
    QVERIFY2(log > 0 && growth > 64 * 1024, qPrintable(QStringLiteral("%1 %2").arg(log).arg(growth)));

    FileEdges::SmallDisk disk(64 << 20);
    if (!disk.available())
        QSKIP(qPrintable(disk.why()));
    const QString shop = QDir(disk.path()).filePath(QStringLiteral("shop"));
    copyShop(m_shop, shop);
    // Room for the log, not for the file's growth besides it.
    disk.fillUpTo(log + 64 * 1024 + growth / 2);
    const FileEdges::Run run = FileEdges::tool(Import, importArgs(shop));
    const QString name = run.out + run.err;
    QVERIFY2(run.code == 0 && run.out.contains(QStringLiteral("已导入 %1 行").arg(Rows)), qPrintable(name));
    QVERIFY2(run.err.contains(QStringLiteral("磁盘空间不足")) &&
                 run.err.contains(QDir(shop).absolutePath()) && run.err.contains(QStringLiteral("需要至少")),
             qPrintable(name));
    const QString a = QDir(shop).filePath(Db::BusinessFile);
    QVERIFY(QFileInfo(a + QStringLiteral("-wal")).size() > 0);
    // Still full: the shop opens with every row (read from its log).
    QCOMPARE(FileEdges::tool(Check, {shop}).code, 0);
    QCOMPARE(productsIn(shop), Rows);

    disk.free();
    for (const auto& [tool, args] : QList<std::pair<QString, QStringList>>{
             {Check, {shop}},
             {QStringLiteral("vandrel-ledger-export"),
              {shop, QStringLiteral("products"), QStringLiteral("--format"), QStringLiteral("csv"),
               QStringLiteral("-o"), dir.filePath(QStringLiteral("out.csv"))}},
             {QStringLiteral("vandrel-ledger-backup"), {shop}}}) {
        const FileEdges::Run after = FileEdges::tool(tool, args);
        QVERIFY2(after.code == 0, qPrintable(tool + after.out + after.err));
    }
    QFile exported(dir.filePath(QStringLiteral("out.csv")));
    QVERIFY(exported.open(QIODevice::ReadOnly));
    QCOMPARE(exported.readAll().count("测试产品"), Rows);
    QCOMPARE(productsIn(shop), Rows);
    QVERIFY(!headerCountsMoreThanTheFileHolds(a));
}

void TestFileEdges::programWriteBackOnAFullDisk() {
    FileEdges::SmallDisk disk(64 << 20);
    if (!disk.available())
        QSKIP(qPrintable(disk.why()));
    const QString shop = QDir(disk.path()).filePath(QStringLiteral("shop"));
    copyShop(m_shop, shop);
    const QString log = QDir(shop).filePath(Db::BusinessFile + QStringLiteral("-wal"));
    {
        TData_in data(nullptr, shop);
        QSignalSpy said(&data, &TData_in::writeBackFailed);
        {
            Transaction tx(Db::business());
            for (int i = 1; i <= Rows; ++i)
                Db::exec(Db::business(), QStringLiteral("insert into ab (b3, b5) values (:n, '个')"),
                         {{QStringLiteral(":n"), QStringLiteral("满盘产品%1").arg(i)}});
            tx.commit();
        }
        // The commit is in the log; then the disk fills up (another program, a download).
        disk.fillUpTo(0);
        try {
            data.checkpoint();
            QFAIL("the write-back onto a full disk did not fail");
        } catch (const DiskFull& e) {
            QVERIFY2(e.text().startsWith(QStringLiteral("磁盘空间不足")) && e.text().contains(shop),
                     qPrintable(e.text()));
        }
        QVERIFY(QFileInfo(log).size() > 0);
        // The write-back after the next writes says it once, and keeps trying.
        data.written();
        QTRY_COMPARE_WITH_TIMEOUT(said.size(), 1, 20000);
        QVERIFY(QFileInfo(log).size() > 0);
        QCOMPARE(Db::scalar(Db::business(), QStringLiteral("select count(*) from ab")).toInt(), Rows);
        disk.free();
        data.checkpoint();
        QCOMPARE(QFileInfo(log).size(), 0);
    }
    QCOMPARE(productsIn(shop), Rows);
    QCOMPARE(logFiles(shop), QStringList());
}

void TestFileEdges::fileCheckOnAFullDisk_data() {
    QTest::addColumn<qint64>("left");
    QTest::newRow("nothing free") << qint64(0);
    QTest::newRow("4 KB free") << qint64(4 * 1024);
    QTest::newRow("16 KB free") << qint64(16 * 1024);
}

void TestFileEdges::fileCheckOnAFullDisk() {
    QFETCH(qint64, left);
    QTemporaryDir dir;
    // A backup to restore from, made where there is room.
    const QString spare = dir.filePath(QStringLiteral("spare"));
    copyShop(m_shop, spare);
    QCOMPARE(FileEdges::tool(QStringLiteral("vandrel-ledger-backup"), {spare}).code, 0);
    const QStringList backups =
        QDir(QDir(spare).filePath(QStringLiteral("backup"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(backups.size(), 1);
    const QString backup = QDir(QDir(spare).filePath(QStringLiteral("backup"))).filePath(backups.first());

    FileEdges::SmallDisk disk(8 << 20);
    if (!disk.available())
        QSKIP(qPrintable(disk.why()));
    const QString shop = QDir(disk.path()).filePath(QStringLiteral("shop"));
    copyShop(m_shop, shop);
    disk.fillUpTo(left);
    const QString a = QDir(shop).filePath(Db::BusinessFile);
    const QString b = QDir(shop).filePath(Db::ListsFile);
    const QByteArray beforeA = digest(a), beforeB = digest(b);
    for (const auto& [path, tables] :
         {std::pair{a, &Schema::businessTables()}, std::pair{b, &Schema::listTables()}}) {
        const Schema::FileCheck found = Schema::checkFile(path, *tables);
        // Usable, or refused for the disk alone: never an I/O error, never damage.
        QVERIFY2(found.fault == Schema::FileFault::None || found.fault == Schema::FileFault::DiskFull,
                 qPrintable(found.text));
        QVERIFY2(!found.text.contains(QStringLiteral("I/O")), qPrintable(found.text));
        if (found.fault == Schema::FileFault::DiskFull)
            QVERIFY2(found.text.startsWith(QStringLiteral("磁盘空间不足")), qPrintable(found.text));
        QCOMPARE(logFiles(shop), QStringList());
    }
    // The restore tool does not take the shop for damaged: nothing is set aside, nothing swapped.
    const FileEdges::Run restore = FileEdges::tool(QStringLiteral("vandrel-ledger-restore"), {shop, backup});
    QVERIFY2(!restore.out.contains(QStringLiteral("无法打开")), qPrintable(restore.out + restore.err));
    QCOMPARE(QDir(shop).entryList({QStringLiteral("damaged-*")}, QDir::Dirs), QStringList());
    QCOMPARE(digest(a), beforeA);
    QCOMPARE(digest(b), beforeB);
    QCOMPARE(logFiles(shop), QStringList());
    disk.free();
    QCOMPARE(productsIn(shop), 0);
}

QTEST_GUILESS_MAIN(TestFileEdges)
#include "tst_fileedges.moc"
