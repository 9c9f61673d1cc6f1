// Restores from backups that were tampered with, and restores cut off: a backup is data and never
// makes the restore write outside the working folder, put a foreign database in place or trust its
// receipt settings; a restore killed at any rename, sync or removal leaves the folder wholly the
// old shop or wholly the backup's, and a full disk is said as such. The shop's files are compared
// byte for byte (SHA-256) after every refusal.
#include "core/errors.h"
#include "data/database.h"
#include "ledger/backup.h"
#include "ledger/receipts.h"
#include "support/corefixture.h"
#include "support/fileedges.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Receipt = QStringLiteral("receipt.ini");
const QString Report = QStringLiteral("print/kucun.json");

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The SHA-256 of every entry of the working folder and its print/ folder (a link by its target's
// path), and the names of the folders in it.
QMap<QString, QByteArray> fingerprint(const QString& folder) {
    QMap<QString, QByteArray> sums;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString name = QDir(folder).relativeFilePath(path);
        const QFileInfo info(path);
        if (name.startsWith(QLatin1String("backup")))
            continue;
        if (info.isSymLink())
            sums.insert(name, "link:" + info.symLinkTarget().toUtf8());
        else if (info.isDir())
            sums.insert(name, "folder");
        else
            sums.insert(name, Backups::sha256(path));
    }
    return sums;
}

// Runs a statement on a closed database file.
void execOnFile(const QString& path, const QString& sql) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("by-hand"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        for (const QString& statement : sql.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            QSqlQuery q(db);
            QVERIFY2(q.exec(statement), qPrintable(statement));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("by-hand"));
}

// One value read from a database file without changing anything beside it.
QString valueOf(const QString& path, const char* sql) {
    sqlite3* db = nullptr;
    const QByteArray uri = "file:" + QFile::encodeName(path) + "?immutable=1";
    QString value = QStringLiteral("(unreadable)");
    if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return value;
}

// What tells the two sides of a restore apart, file by file: the products, the pick list, the
// receipt settings and the report definition.
QStringList sideOf(const QString& folder) {
    const QDir dir(folder);
    return {valueOf(dir.absoluteFilePath(Db::BusinessFile),
                    "select group_concat(b3, ',') from (select b3 from ab order by bid)"),
            valueOf(dir.absoluteFilePath(Db::ListsFile), "select count(*) from a1"),
            QString::fromUtf8(readFile(dir.absoluteFilePath(Receipt))),
            QString::fromUtf8(readFile(dir.absoluteFilePath(Report)))};
}

QJsonObject readManifest(const QString& backup) {
    return QJsonDocument::fromJson(readFile(QDir(backup).absoluteFilePath(Backups::ManifestFile))).object();
}

void writeManifest(const QString& backup, const QJsonObject& manifest) {
    writeFile(QDir(backup).absoluteFilePath(Backups::ManifestFile), QJsonDocument(manifest).toJson());
}

// Gives the manifest's entry of the file (added when missing) the SHA-256 and size of the file now
// at `path`, and the rows given, as a hand-made backup would.
void describe(const QString& backup, const QString& name, const QString& path,
              const QMap<QString, qint64>& rows = {}) {
    QJsonObject manifest = readManifest(backup);
    QJsonArray files = manifest.value(QStringLiteral("files")).toArray();
    QJsonObject entry{
        {"name", name},
        {"sha256", QString::fromLatin1(QFileInfo(path).isFile() ? Backups::sha256(path) : "00")},
        {"size", QFileInfo(path).size()}};
    if (!rows.isEmpty()) {
        QJsonObject counts;
        for (auto it = rows.cbegin(); it != rows.cend(); ++it)
            counts.insert(it.key(), it.value());
        entry.insert(QStringLiteral("rows"), counts);
    }
    bool found = false;
    for (int i = 0; i < files.size(); ++i)
        if (files.at(i).toObject().value(QStringLiteral("name")).toString() == name) {
            if (rows.isEmpty() && files.at(i).toObject().contains(QStringLiteral("rows")))
                entry.insert(QStringLiteral("rows"), files.at(i).toObject().value(QStringLiteral("rows")));
            files[i] = entry;
            found = true;
        }
    if (!found)
        files.append(entry);
    manifest.insert(QStringLiteral("files"), files);
    writeManifest(backup, manifest);
}

// A foreign SQLite file: right hashes and counts can be given for it, but it is no ledger.
QString foreignDatabase(const QString& folder, const QString& table = QStringLiteral("notes")) {
    const QString path = QDir(folder).absoluteFilePath(QStringLiteral("foreign.db"));
    QFile::remove(path);
    execOnFile(path, QStringLiteral("create table \"%1\" (x text); insert into \"%1\" values ('a'); "
                                    "insert into \"%1\" values ('b')")
                         .arg(QString(table).replace(QLatin1Char('"'), QLatin1String("\"\""))));
    return path;
}

void copyFolder(const QString& from, const QString& to) {
    QDir().mkpath(to);
    const QDir source(from);
    for (const QFileInfo& info :
         source.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString target = QDir(to).absoluteFilePath(info.fileName());
        if (info.isDir())
            copyFolder(info.absoluteFilePath(), target);
        else
            QVERIFY(QFile::copy(info.absoluteFilePath(), target));
    }
}

QStringList leftovers(const QString& folder) {
    return QDir(folder).entryList({QStringLiteral("*.restoring*"), QStringLiteral("*.before-restore*"),
                                   QStringLiteral("restore.journal*")},
                                  QDir::AllEntries | QDir::Hidden | QDir::System);
}

int preRestoreBackups(const QString& folder) {
    int n = 0;
    for (const Backups::Backup& b : Backups::list(Backups::defaultRoot(folder)))
        n += b.verified && b.problem.isEmpty() && b.reason == QStringLiteral("恢复前备份");
    return n;
}

// A shop with a product, receipt settings and a report definition, backed up into a folder of its
// own; then changed in each of them (a second product, a pick-list entry, other settings and
// report), and closed. The backup's side and the shop's side differ in every file.
struct Shop {
    CoreFixture fx;
    QTemporaryDir backups;
    Backups::Backup backup;
    QStringList oldSide;
    QStringList backupSide;

    Shop() {
        CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
        writeFile(file(Receipt), "way=printer\nwidth=58\nshop=backup\n");
        writeFile(file(Report), "{\"old\": 1}");
        backup = Backups::make(folder(), QStringLiteral("手动备份"), backups.path());
        CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("5"), QStringLiteral("3"));
        writeFile(file(Receipt), "way=printer\nwidth=80\nshop=today\n");
        writeFile(file(Report), "{\"new\": 2}");
        fx.close();
        execOnFile(file(Db::ListsFile), QStringLiteral("insert into a1 (z1) values ('今天加的')"));
        oldSide = sideOf(folder());
        backupSide = sideOf(backup.folder);
    }
    QString folder() const { return fx.folder(); }
    QString file(const QString& name) const { return QDir(folder()).absoluteFilePath(name); }
    QString inBackup(const QString& name) const { return QDir(backup.folder).absoluteFilePath(name); }
};

// Which of the tool's write calls (from 1) is the first to write bytes beginning as given; 0 when
// none is. From a run without a fault.
int firstWriteOf(const QString& tool, const QStringList& args, const QByteArray& start) {
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace"));
    QProcess strace;
    strace.start(QStringLiteral("strace"),
                 QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), trace,
                             QStringLiteral("-e"), QStringLiteral("trace=write"),
                             qEnvironmentVariable("LEDGER_BIN_DIR") + QLatin1Char('/') + tool} +
                     args);
    strace.waitForFinished(300000);
    int calls = 0;
    for (const QByteArray& line : readFile(trace).split('\n')) {
        if (!line.contains("write(") || line.contains("resumed>"))
            continue;
        ++calls;
        if (line.contains(start))
            return calls;
    }
    return 0;
}

} // namespace

class TestRestore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void namesABackupNeverHoldsAreRefused_data();
    void namesABackupNeverHoldsAreRefused();
    void linksAndPipesInABackupAreRefused_data();
    void linksAndPipesInABackupAreRefused();
    void aForeignDatabaseIsNotSwappedIn();
    void tableNamesFromABackupAreQuoted();
    void receiptSettingsAreCheckedLikeTheDialogs_data();
    void receiptSettingsAreCheckedLikeTheDialogs();
    void theReceiptDeviceMustBeACharacterDevice();
    void aRestoreKilledAtAnyStepLeavesOneSideWhole_data();
    void aRestoreKilledAtAnyStepLeavesOneSideWhole();
    void aFullDiskDuringARestoreIsSaidAsSuch();
    void aShopWhoseLogHoldsRowsIsBackedUpNotSetAside();
};

void TestRestore::init() {
    if (CoreFixture::onServer())
        QSKIP("restores are of working folders with database files");
}

void TestRestore::namesABackupNeverHoldsAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("absolute path under print") << QStringLiteral("print/%1/evil");
    QTest::newRow("absolute path") << QStringLiteral("%1/evil");
    QTest::newRow("parent folders") << QStringLiteral("print/../../evil");
    QTest::newRow("parent folder alone") << QStringLiteral("print/..");
    QTest::newRow("subfolder") << QStringLiteral("print/sub/evil.json");
    QTest::newRow("backslash") << QStringLiteral("print/..\\..\\evil");
    QTest::newRow("empty") << QString();
    QTest::newRow("empty report name") << QStringLiteral("print/");
    QTest::newRow("hidden report") << QStringLiteral("print/.profile");
    QTest::newRow("NUL") << QStringLiteral("print/a%1b").arg(QChar(0));
    QTest::newRow("another file of the folder") << QStringLiteral("vandrel-ledger.ini");
    QTest::newRow("a log beside a database") << Db::BusinessFile + QStringLiteral("-wal");
    QTest::newRow("twice") << Report;
}

void TestRestore::namesABackupNeverHoldsAreRefused() {
    QFETCH(QString, name);
    Shop shop;
    QTemporaryDir outside;
    if (name.contains(QLatin1String("%1")) && !name.contains(QChar(0)))
        name = name.arg(outside.path());
    // The file is in the backup under that name with its right SHA-256, as an attacker makes it.
    const QString path = QDir(shop.backup.folder).absoluteFilePath(name);
    if (!name.isEmpty() && !name.endsWith(QLatin1Char('/')) && !name.contains(QChar(0)) &&
        !name.endsWith(QLatin1String("..")) && name != Report)
        writeFile(path, "echo owned\n");
    if (name == Report) { // listed a second time, with other content
        QJsonObject manifest = readManifest(shop.backup.folder);
        QJsonArray files = manifest.value(QStringLiteral("files")).toArray();
        files.append(QJsonObject{{"name", Report}, {"sha256", "00"}, {"size", 1}});
        manifest.insert(QStringLiteral("files"), files);
        writeManifest(shop.backup.folder, manifest);
    } else {
        describe(shop.backup.folder, name, path);
    }
    const QMap<QString, QByteArray> before = fingerprint(shop.folder());
    const QMap<QString, QByteArray> outsideBefore = fingerprint(outside.path());

    try {
        Backups::swapIn(shop.folder(), shop.backup.folder);
        QFAIL("the backup was restored");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.text().contains(QStringLiteral("清单中")), qPrintable(e.text()));
        QVERIFY2(e.text().contains(QStringLiteral("当前文件保持原样")), qPrintable(e.text()));
    }
    QCOMPARE(fingerprint(shop.folder()), before);
    QCOMPARE(fingerprint(outside.path()), outsideBefore);
    QVERIFY(!QFileInfo::exists(QDir(shop.folder()).absoluteFilePath(QStringLiteral("../evil"))));
    QCOMPARE(Backups::list(shop.backups.path()).first().problem.isEmpty(), false);
}

void TestRestore::linksAndPipesInABackupAreRefused_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("a report that is a link") << QStringLiteral("report link");
    QTest::newRow("the print folder is a link") << QStringLiteral("folder link");
    QTest::newRow("a database file that is a link") << QStringLiteral("database link");
    QTest::newRow("a link the manifest does not name") << QStringLiteral("stray link");
    QTest::newRow("a report that is a pipe") << QStringLiteral("pipe");
}

void TestRestore::linksAndPipesInABackupAreRefused() {
    QFETCH(QString, kind);
    Shop shop;
    QTemporaryDir outside;
    // The target has the content the manifest names, so the SHA-256 agrees.
    const QString target = QDir(outside.path()).absoluteFilePath(QStringLiteral("kucun.json"));
    QVERIFY(QFile::copy(shop.inBackup(Report), target));
    if (kind == QLatin1String("report link")) {
        QVERIFY(QFile::remove(shop.inBackup(Report)));
        QVERIFY(QFile::link(target, shop.inBackup(Report)));
    } else if (kind == QLatin1String("folder link")) {
        QVERIFY(QDir(shop.inBackup(QStringLiteral("print"))).removeRecursively());
        QVERIFY(QFile::link(outside.path(), shop.inBackup(QStringLiteral("print"))));
    } else if (kind == QLatin1String("database link")) {
        const QString moved = QDir(outside.path()).absoluteFilePath(Db::ListsFile);
        QVERIFY(QFile::rename(shop.inBackup(Db::ListsFile), moved));
        QVERIFY(QFile::link(moved, shop.inBackup(Db::ListsFile)));
    } else if (kind == QLatin1String("stray link")) {
        QVERIFY(QFile::link(QDir::homePath(), shop.inBackup(QStringLiteral("home"))));
    } else {
        QVERIFY(::mkfifo(QFile::encodeName(shop.inBackup(QStringLiteral("print/pipe.json"))).constData(),
                         0600) == 0);
        describe(shop.backup.folder, QStringLiteral("print/pipe.json"), target);
    }
    const QMap<QString, QByteArray> before = fingerprint(shop.folder());
    try {
        Backups::swapIn(shop.folder(), shop.backup.folder);
        QFAIL("the backup was restored");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.text().contains(kind == QLatin1String("pipe") ? QStringLiteral("不是普通文件")
                                                                 : QStringLiteral("符号链接")),
                 qPrintable(e.text()));
    }
    QCOMPARE(fingerprint(shop.folder()), before);
}

void TestRestore::aForeignDatabaseIsNotSwappedIn() {
    Shop shop;
    QTemporaryDir work;
    // Right hashes, right counts and a whole file: only the program's own file check tells.
    const QString foreign = foreignDatabase(work.path());
    QFile::remove(shop.inBackup(Db::ListsFile));
    QVERIFY(QFile::copy(foreign, shop.inBackup(Db::ListsFile)));
    describe(shop.backup.folder, Db::ListsFile, shop.inBackup(Db::ListsFile), {{QStringLiteral("notes"), 2}});
    QVERIFY(Backups::verify(shop.backup.folder).problem.isEmpty());
    const QMap<QString, QByteArray> before = fingerprint(shop.folder());

    const FileEdges::Run run =
        FileEdges::tool(QStringLiteral("vandrel-ledger-restore"), {shop.folder(), shop.backup.folder});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains(QStringLiteral("不是本程序能用的账本文件")), qPrintable(run.err));
    QVERIFY2(run.err.contains(QStringLiteral("当前文件保持原样")), qPrintable(run.err));
    QCOMPARE(fingerprint(shop.folder()), before);
    // Refused before the current files were even backed up.
    QCOMPARE(preRestoreBackups(shop.folder()), 0);
    QCOMPARE(leftovers(shop.folder()), QStringList());
}

void TestRestore::tableNamesFromABackupAreQuoted() {
    Shop shop;
    QTemporaryDir work;
    // A table name that, put into SQL unquoted or half quoted, would count another table's rows.
    const QString table = QStringLiteral("ab\" union all select 7 --");
    const QString foreign = foreignDatabase(work.path(), table);
    QFile::remove(shop.inBackup(Db::ListsFile));
    QVERIFY(QFile::copy(foreign, shop.inBackup(Db::ListsFile)));
    describe(shop.backup.folder, Db::ListsFile, shop.inBackup(Db::ListsFile), {{table, 2}});
    // Counted as the table it is.
    QVERIFY(Backups::verify(shop.backup.folder).problem.isEmpty());
    describe(shop.backup.folder, Db::ListsFile, shop.inBackup(Db::ListsFile), {{table, 7}});
    try {
        Backups::verify(shop.backup.folder);
        QFAIL("a wrong count verified");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.text().contains(QStringLiteral("有 2 行，应为 7 行")), qPrintable(e.text()));
    }
}

void TestRestore::receiptSettingsAreCheckedLikeTheDialogs_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("problem"); // empty: restored
    QTest::newRow("a group the dialog does not write") << QByteArray("[receipt]\nwidth=58\n") << "一组";
    QTest::newRow("a key the dialog does not write")
        << QByteArray("way=printer\ncommand=rm -rf ~\n") << "一项";
    QTest::newRow("a newline in the shop's name")
        << QByteArray("way=printer\nshop=\"shop\\n\\x1b\\x70\\x00\"\n") << "控制字符";
    QTest::newRow("a way the dialog does not offer") << QByteArray("way=pipe\n") << "打印方式";
    QTest::newRow("a roll width the dialog does not offer") << QByteArray("width=1000\n") << "纸宽";
    QTest::newRow("a device that is no full path")
        << QByteArray("way=device\ndevice=.bashrc\n") << "完整的路径";
    QTest::newRow("the device way without a device") << QByteArray("way=device\ndevice=\n") << "没有填写";
    QTest::newRow("a list instead of a text") << QByteArray("shop=a, b\n") << "不是文字";
    QTest::newRow("what the dialog saves")
        << QByteArray(
               "way=device\nwidth=80\nprinter=\ndevice=/dev/usb/lp0\nshop=\"小店, 一号\"\nfooter=谢谢\n"
               "autoPrint=true\n")
        << QString();
}

void TestRestore::receiptSettingsAreCheckedLikeTheDialogs() {
    QFETCH(QByteArray, ini);
    QFETCH(QString, problem);
    Shop shop;
    writeFile(shop.inBackup(Receipt), ini);
    describe(shop.backup.folder, Receipt, shop.inBackup(Receipt));
    const QMap<QString, QByteArray> before = fingerprint(shop.folder());
    if (problem.isEmpty()) {
        Backups::swapIn(shop.folder(), shop.backup.folder);
        QCOMPARE(readFile(shop.file(Receipt)), ini);
        QCOMPARE(Receipts::loadSetup(shop.folder()).shop, QStringLiteral("小店, 一号"));
        return;
    }
    try {
        Backups::swapIn(shop.folder(), shop.backup.folder);
        QFAIL("the receipt settings were restored");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.text().contains(QStringLiteral("receipt.ini 不能使用")) && e.text().contains(problem),
                 qPrintable(e.text()));
    }
    QCOMPARE(fingerprint(shop.folder()), before);
    QCOMPARE(leftovers(shop.folder()), QStringList());
}

void TestRestore::theReceiptDeviceMustBeACharacterDevice() {
    QTemporaryDir dir;
    const QByteArray bytes = "\x1b@receipt\n";
    // A file the user cares about, named as the device: neither truncated nor written, nor touched.
    const QString file = dir.filePath(QStringLiteral(".bashrc"));
    writeFile(file, "alias ls='ls --color'\n");
    struct stat before {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &before), 0);
    const QString pipe = dir.filePath(QStringLiteral("pipe"));
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& device : {file, pipe, dir.filePath(QStringLiteral("missing")), dir.path()}) {
        try {
            Receipts::writeDevice(device, bytes);
            QFAIL(qPrintable(device + QStringLiteral(" was written")));
        } catch (const LedgerError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("小票设置中的设备文件")) && e.text().contains(device),
                     qPrintable(e.text()));
        }
    }
    struct stat after {};
    QCOMPARE(::stat(QFile::encodeName(file).constData(), &after), 0);
    QCOMPARE(readFile(file), QByteArray("alias ls='ls --color'\n"));
    QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("missing"))));
    // A character device takes the bytes.
    Receipts::writeDevice(QStringLiteral("/dev/null"), bytes);
}

void TestRestore::aRestoreKilledAtAnyStepLeavesOneSideWhole_data() {
    QTest::addColumn<QString>("syscall");
    QTest::addColumn<int>("most"); // kill points tried at most (spread over all of them)
    QTest::newRow("renameat2") << QStringLiteral("renameat2") << 1000;
    QTest::newRow("unlink") << QStringLiteral("unlink") << 12;
    QTest::newRow("fsync") << QStringLiteral("fsync") << 12;
}

void TestRestore::aRestoreKilledAtAnyStepLeavesOneSideWhole() {
    QFETCH(QString, syscall);
    QFETCH(int, most);
    if (!FileEdges::canInject())
        QSKIP("strace is not installed");
    Shop shop;
    QVERIFY(shop.oldSide != shop.backupSide);
    QTemporaryDir runs;
    const QString counted = runs.filePath(QStringLiteral("counted"));
    copyFolder(shop.folder(), counted);
    const int calls =
        FileEdges::callsOf(QStringLiteral("vandrel-ledger-restore"), {counted, shop.backup.folder}, syscall);
    QCOMPARE(sideOf(counted), shop.backupSide);
    QVERIFY2(calls > 0, qPrintable(syscall));
    const int stride = std::max(1, calls / most);
    int wholeOld = 0;
    int wholeNew = 0;
    int notReached = 0;
    for (int n = 1; n <= calls; n += stride) {
        const QString work = runs.filePath(QStringLiteral("kill-%1").arg(n));
        copyFolder(shop.folder(), work);
        const FileEdges::Run killed =
            FileEdges::injected(QStringLiteral("vandrel-ledger-restore"), {work, shop.backup.folder}, syscall,
                                QStringLiteral("signal=KILL"), n);
        if (!killed.killed) {
            // strace counts a call per thread: the pre-restore backup syncs on threads of its own,
            // so the higher numbers of the whole run are reached by no single thread, and that
            // restore ran to its end.
            QVERIFY2(killed.code == 0,
                     qPrintable(QStringLiteral("%1 #%2: %3").arg(syscall).arg(n).arg(killed.err)));
            QCOMPARE(sideOf(work), shop.backupSide);
            ++notReached;
            continue;
        }
        const int keptBefore = preRestoreBackups(work);
        if (n % 2 == 1) {
            // The restore run again is the next to open the folder: a swap cut off is completed
            // (without a second backup of the files it replaced) and the ledger checked.
            const FileEdges::Run again =
                FileEdges::tool(QStringLiteral("vandrel-ledger-restore"), {work, shop.backup.folder});
            QVERIFY2(
                again.code == 0,
                qPrintable(QStringLiteral("%1 #%2: %3 %4").arg(syscall).arg(n).arg(again.out, again.err)));
            if (again.out.contains(QStringLiteral("上次被中断的恢复已经完成"))) {
                QCOMPARE(preRestoreBackups(work), keptBefore);
                ++wholeNew;
            } else {
                QVERIFY(preRestoreBackups(work) <= keptBefore + 1);
                ++wholeOld;
            }
            QCOMPARE(sideOf(work), shop.backupSide);
            QCOMPARE(leftovers(work), QStringList());
            const FileEdges::Run check = FileEdges::tool(QStringLiteral("vandrel-ledger-check"), {work});
            QCOMPARE(check.code, 0);
            QDir(work).removeRecursively();
            continue;
        }
        // The next tool to open the folder finds it whole, one side or the other.
        const FileEdges::Run check = FileEdges::tool(QStringLiteral("vandrel-ledger-check"), {work});
        QVERIFY2(check.code == 0,
                 qPrintable(QStringLiteral("%1 #%2: %3 %4").arg(syscall).arg(n).arg(check.out, check.err)));
        const QStringList side = sideOf(work);
        QVERIFY2(side == shop.oldSide || side == shop.backupSide,
                 qPrintable(
                     QStringLiteral("%1 #%2: %3").arg(syscall).arg(n).arg(side.join(QLatin1String(" | ")))));
        (side == shop.oldSide ? wholeOld : wholeNew) += 1;
        QCOMPARE(leftovers(work), QStringList());
        // A later restore goes through whatever the killed one left, with at most one more backup
        // of the current files.
        const FileEdges::Run again =
            FileEdges::tool(QStringLiteral("vandrel-ledger-restore"), {work, shop.backup.folder});
        QVERIFY2(again.code == 0,
                 qPrintable(QStringLiteral("%1 #%2: %3 %4").arg(syscall).arg(n).arg(again.out, again.err)));
        QCOMPARE(sideOf(work), shop.backupSide);
        QCOMPARE(leftovers(work), QStringList());
        QVERIFY(preRestoreBackups(work) <= keptBefore + 1);
        QDir(work).removeRecursively();
    }
    qInfo("%s: %d kill points, %d found the old shop, %d the backup's (completed), %d reached by no thread",
          qPrintable(syscall), calls, wholeOld, wholeNew, notReached);
    // Most points are reached: the sweep kills, it does not only run restores.
    QVERIFY(notReached * 2 < (calls + stride - 1) / stride);
    if (syscall == QLatin1String("renameat2"))
        QVERIFY(wholeOld > 0 && wholeNew > 0);
}

void TestRestore::aFullDiskDuringARestoreIsSaidAsSuch() {
    Shop shop;
    // Room for the backup of the current files the restore makes first (the shop's files and a
    // margin of 16 MB), not for much more.
    FileEdges::SmallDisk disk(32 << 20);
    if (!disk.available())
        QSKIP(qPrintable(disk.why()));
    const QString work = QDir(disk.path()).absoluteFilePath(QStringLiteral("shop"));
    copyFolder(shop.folder(), work);
    const QMap<QString, QByteArray> before = fingerprint(work);
    // Too little room for the files to open, then for the backup's files beside the current ones.
    qint64 needed = 0;
    for (const Backups::CopiedFile& f : shop.backup.files)
        needed += f.size;
    FileEdges::Run run;
    for (const qint64 room : {qint64(8 * 1024), needed / 2}) {
        disk.free();
        disk.fillUpTo(room);
        run = FileEdges::tool(QStringLiteral("vandrel-ledger-restore"), {work, shop.backup.folder});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QStringLiteral("磁盘空间不足")) && run.err.contains(work),
                 qPrintable(run.err));
        QVERIFY2(!run.err.contains(QStringLiteral("Unknown error")), qPrintable(run.err));
        // The data are as they were (an open the full disk cut short may leave an empty log and
        // its index beside them; they hold nothing).
        QMap<QString, QByteArray> now = fingerprint(work);
        now.remove(Db::BusinessFile + QStringLiteral("-shm"));
        if (now.value(Db::BusinessFile + QStringLiteral("-wal")) ==
            Backups::sha256(QStringLiteral("/dev/null")))
            now.remove(Db::BusinessFile + QStringLiteral("-wal"));
        QCOMPARE(now, before);
        QCOMPARE(leftovers(work), QStringList());
    }
    // The disk fills while the files are copied.
    disk.free();
    if (FileEdges::canInject()) {
        // The first write of a database file's copy, found in a clean run on a copy of the folder.
        const QString probe = QDir(disk.path()).absoluteFilePath(QStringLiteral("probe"));
        copyFolder(work, probe);
        const int nth = firstWriteOf(QStringLiteral("vandrel-ledger-restore"), {probe, shop.backup.folder},
                                     "\"SQLite format 3");
        QDir(probe).removeRecursively();
        QVERIFY(nth > 0);
        run = FileEdges::injected(QStringLiteral("vandrel-ledger-restore"), {work, shop.backup.folder},
                                  QStringLiteral("write"), QStringLiteral("error=ENOSPC"), nth);
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(QStringLiteral("磁盘空间不足")) && run.err.contains(work),
                 qPrintable(run.err));
        QCOMPARE(fingerprint(work), before);
    }
    // With room again, the same restore goes through.
    run = FileEdges::tool(QStringLiteral("vandrel-ledger-restore"), {work, shop.backup.folder});
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QCOMPARE(sideOf(work), shop.backupSide);
}

void TestRestore::aShopWhoseLogHoldsRowsIsBackedUpNotSetAside() {
    CoreFixture fx;
    QTemporaryDir backups;
    CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"), backups.path());
    CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("5"), QStringLiteral("3"));
    // The files as a program killed now leaves them: the last rows are committed in the log only.
    QTemporaryDir crashed;
    for (const QString& name : {Db::BusinessFile, Db::ListsFile})
        for (const char* suffix : {"", "-wal"})
            if (QFileInfo::exists(QDir(fx.folder()).absoluteFilePath(name + QLatin1String(suffix))))
                QVERIFY(QFile::copy(QDir(fx.folder()).absoluteFilePath(name + QLatin1String(suffix)),
                                    crashed.filePath(name + QLatin1String(suffix))));
    QVERIFY(QFileInfo(crashed.filePath(Db::BusinessFile + QStringLiteral("-wal"))).size() > 0);
    fx.close();

    const FileEdges::Run run =
        FileEdges::tool(QStringLiteral("vandrel-ledger-restore"), {crashed.path(), backup.folder});
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QVERIFY2(!run.out.contains(QStringLiteral("无法打开")), qPrintable(run.out));
    QCOMPARE(QDir(crashed.path()).entryList({QStringLiteral("damaged-*")}, QDir::Dirs), QStringList());
    // The rows of the log are in the backup made before the restore.
    const QList<Backups::Backup> made = Backups::list(Backups::defaultRoot(crashed.path()));
    QCOMPARE(made.size(), 1);
    QCOMPARE(made.first().reason, QStringLiteral("恢复前备份"));
    QCOMPARE(made.first().rows(Db::BusinessFile, QStringLiteral("ab")), 2);
    QCOMPARE(valueOf(QDir(made.first().folder).absoluteFilePath(Db::BusinessFile),
                     "select group_concat(b3, ',') from (select b3 from ab order by bid)"),
             QStringLiteral("矿泉水,可乐"));
}

QTEST_GUILESS_MAIN(TestRestore)
#include "tst_restore.moc"
