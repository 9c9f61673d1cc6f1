// Backups at the edges of the disk they go to: what a backup leaves behind when it is killed, the
// links a shared folder may hold, the syncs that make a reported backup survive a power cut, a
// disk that is full, read-only or missing. The tool runs under strace where a system call is to
// fail or kill it; the small disks are tmpfs mounts (as root).
#include "core/errors.h"
#include "data/database.h"
#include "data/demodata.h"
#include "ledger/backup.h"
#include "support/corefixture.h"
#include "support/fileedges.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QUuid>
#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

const QString Tool = QStringLiteral("vandrel-ledger-backup");

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QVERIFY(file.write(bytes) == bytes.size());
}

// A name as an interrupted backup leaves it.
QString partialName() {
    return QStringLiteral(".partial-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// The folder's entries, hidden ones too.
QStringList entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                                  QDir::Name);
}

QStringList leftovers(const QString& root) {
    return QDir(root).entryList({QStringLiteral(".partial-*")},
                                QDir::AllEntries | QDir::Hidden | QDir::System);
}

// The backups made in the folder (dated folders).
QStringList dated(const QString& root) {
    return QDir(root).entryList({QStringLiteral("20*")}, QDir::Dirs);
}

// Makes a file's or folder's time two hours ago, as if left long since.
void makeOld(const QString& path) {
    const time_t then = ::time(nullptr) - 7200;
    const utimbuf times{then, then};
    QVERIFY(::utime(QFile::encodeName(path).constData(), &times) == 0);
}

// The bytes of the shop's files a backup copies.
qint64 shopBytes(const QString& folder) {
    qint64 bytes = 0;
    for (const QString& name : {Db::BusinessFile, Db::ListsFile})
        bytes += QFileInfo(QDir(folder).absoluteFilePath(name)).size();
    return bytes;
}

qint64 treeBytes(const QString& folder) {
    qint64 bytes = 0;
    const QDir dir(folder);
    for (const QFileInfo& f : dir.entryInfoList(QDir::Files | QDir::Hidden))
        bytes += f.size();
    return bytes;
}

} // namespace

class TestBackupDisk : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanUpNeverFollowsLinks();
    void aBackupIsOnDiskBeforeItIsReported();
    void aFailedSyncFailsTheBackup();
    void killedBackupsLeftoversAreRemovedByTheNext();
    void aTargetWithoutRoomIsRefusedBeforeItStarts();
    void messagesNameTheDisk_data();
    void messagesNameTheDisk();

private:
    // A closed shop of a few megabytes in the fixture's folder, for the tool.
    void smallShop(CoreFixture& fx);
};

void TestBackupDisk::init() {
    if (CoreFixture::onServer())
        QSKIP("backups of files: a shop on a server is backed up by the server's tools");
}

void TestBackupDisk::smallShop(CoreFixture& fx) {
    DemoData::fill(DemoData::countsFor(0.01));
    writeFile(QDir(fx.folder()).absoluteFilePath(QStringLiteral("receipt.ini")), "[receipt]\nwidth=58\n");
    QDir(fx.folder()).mkpath(QStringLiteral("print"));
    writeFile(QDir(fx.folder()).absoluteFilePath(QStringLiteral("print/kucun.json")), "{\"report\": 1}");
    fx.close();
}

void TestBackupDisk::cleanUpNeverFollowsLinks() {
    CoreFixture fx;
    CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    QTemporaryDir shared;
    const QString root = QDir(shared.path()).absoluteFilePath(QStringLiteral("backups"));
    QVERIFY(QDir().mkpath(root));
    // Someone else's folder full of files, and links to it in the backup folder: one with a
    // leftover's name, one inside a leftover this program made.
    const QString victim = QDir(shared.path()).absoluteFilePath(QStringLiteral("victim"));
    QVERIFY(QDir().mkpath(victim + QStringLiteral("/deeper")));
    writeFile(victim + QStringLiteral("/ledger.txt"), "keep me");
    writeFile(victim + QStringLiteral("/deeper/notes.txt"), "keep me too");
    const QString link = QDir(root).absoluteFilePath(partialName());
    QVERIFY(QFile::link(victim, link));
    const QString leftover = QDir(root).absoluteFilePath(partialName());
    QVERIFY(QDir().mkpath(leftover + QStringLiteral("/print")));
    writeFile(leftover + QStringLiteral("/service_a.dll"), QByteArray(8192, 'x'));
    QVERIFY(QFile::link(victim, leftover + QStringLiteral("/print/reports")));
    QVERIFY(QFile::link(victim + QStringLiteral("/ledger.txt"), leftover + QStringLiteral("/manifest.json")));
    // Folders of that name this program did not make are left alone: another user's, and names
    // that only look alike.
    const QString foreign = QDir(root).absoluteFilePath(partialName());
    QVERIFY(QDir().mkpath(foreign));
    writeFile(foreign + QStringLiteral("/theirs.txt"), "theirs");
    QVERIFY(::chown(QFile::encodeName(foreign).constData(), 65534, 65534) == 0 || ::geteuid() != 0);
    const QString lookalike = QDir(root).absoluteFilePath(QStringLiteral(".partial-notes"));
    QVERIFY(QDir().mkpath(lookalike));
    writeFile(lookalike + QStringLiteral("/mine.txt"), "mine");
    // Left long ago, so that no age rule spares them.
    for (const QString& path : {victim, leftover, foreign, lookalike})
        makeOld(path);

    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"), root);
    QVERIFY(backup.verified);
    // What the links pointed to is whole.
    QCOMPARE(entries(victim), (QStringList{QStringLiteral("deeper"), QStringLiteral("ledger.txt")}));
    QCOMPARE(entries(victim + QStringLiteral("/deeper")), QStringList{QStringLiteral("notes.txt")});
    QFile kept(victim + QStringLiteral("/ledger.txt"));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep me"));
    // The link is gone, and the leftover with the links inside it.
    QVERIFY(!QFileInfo(link).isSymLink() && !QFileInfo::exists(link));
    QVERIFY(!QFileInfo::exists(leftover));
    if (::geteuid() == 0)
        QVERIFY(QFileInfo::exists(foreign + QStringLiteral("/theirs.txt")));
    QVERIFY(QFileInfo::exists(lookalike + QStringLiteral("/mine.txt")));
    QCOMPARE(dated(root).size(), 1);

    // Thinning out old backups removes a backup folder's links, never what they point to: thirty
    // newer ones, and the oldest with a link to the folder among its reports.
    QFile manifest(QDir(backup.folder).absoluteFilePath(Backups::ManifestFile));
    QVERIFY(manifest.open(QIODevice::ReadOnly));
    const QByteArray model = manifest.readAll();
    const QByteArray time = backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1();
    QVERIFY(model.contains(time));
    QString oldest;
    for (int i = 1; i <= 31; ++i) {
        const QDateTime at = backup.time.addDays(-400 - i);
        const QString folder = QDir(root).absoluteFilePath(at.toString(QStringLiteral("yyyy-MM-dd_HHmmss")));
        QVERIFY(QDir().mkpath(folder));
        writeFile(
            QDir(folder).absoluteFilePath(Backups::ManifestFile),
            QByteArray(model).replace(time, at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1()));
        oldest = folder;
    }
    QVERIFY(QFile::link(victim, oldest + QStringLiteral("/print")));
    Backups::prune(root, backup.folder);
    QVERIFY(!QFileInfo::exists(oldest));
    QCOMPARE(dated(root).size(), 30);
    QCOMPARE(entries(victim), (QStringList{QStringLiteral("deeper"), QStringLiteral("ledger.txt")}));

    // The backup folder itself may be a link the user made (to a stick): backups go where it points.
    const QString stick = QDir(shared.path()).absoluteFilePath(QStringLiteral("stick"));
    const QString linked = QDir(shared.path()).absoluteFilePath(QStringLiteral("linked-backups"));
    QVERIFY(QDir().mkpath(stick));
    QVERIFY(QFile::link(stick, linked));
    Backups::make(fx.folder(), QStringLiteral("手动备份"), linked);
    QCOMPARE(dated(stick).size(), 1);
}

void TestBackupDisk::aBackupIsOnDiskBeforeItIsReported() {
    if (!FileEdges::canInject())
        QSKIP("strace is not installed");
    CoreFixture fx;
    smallShop(fx);
    QTemporaryDir target;
    const QString root = QDir(target.path()).absoluteFilePath(QStringLiteral("backups"));
    const QStringList calls = FileEdges::traceOf(Tool, {fx.folder(), QStringLiteral("--to"), root},
                                                 QStringLiteral("fsync,fdatasync,rename,renameat,renameat2"));
    QCOMPARE(dated(root).size(), 1);
    const QString folder = QDir(root).absoluteFilePath(dated(root).first());
    // The rename of the finished folder into its dated name.
    const QRegularExpression rename(QStringLiteral("rename\\(\"([^\"]*/\\.partial-[^\"]*)\", \"%1\"\\) = 0")
                                        .arg(QRegularExpression::escape(folder)));
    int renamed = -1;
    QString partial;
    for (int i = 0; i < calls.size(); ++i)
        if (const QRegularExpressionMatch m = rename.match(calls.at(i)); m.hasMatch()) {
            renamed = i;
            partial = m.captured(1);
        }
    QVERIFY2(renamed > 0, qPrintable(calls.join(QLatin1Char('\n'))));
    // Which paths were synced before the rename, which after (strace names a descriptor's file as
    // it is called at the time).
    const QRegularExpression synced(QStringLiteral("f(data)?sync\\(\\d+<([^>]*)>\\) = 0"));
    QStringList before, after;
    for (int i = 0; i < calls.size(); ++i)
        if (const QRegularExpressionMatch m = synced.match(calls.at(i)); m.hasMatch())
            (i < renamed ? before : after) << m.captured(2);
    for (const char* name : {"service_a.dll", "service_b.dll", "receipt.ini", "print/kucun.json",
                             "manifest.json", "print", ""}) {
        const QString path = QDir::cleanPath(partial + QLatin1Char('/') + QLatin1String(name));
        QVERIFY2(before.contains(path), qPrintable(path + QStringLiteral(" not synced before the rename:\n") +
                                                   calls.join(QLatin1Char('\n'))));
    }
    // The rename itself is on the disk once the backup folder holding it is synced.
    QVERIFY2(after.contains(root), qPrintable(calls.join(QLatin1Char('\n'))));
    QVERIFY2(after.contains(folder), qPrintable(calls.join(QLatin1Char('\n'))));
}

void TestBackupDisk::aFailedSyncFailsTheBackup() {
    if (!FileEdges::canInject())
        QSKIP("strace is not installed");
    CoreFixture fx;
    smallShop(fx);
    QTemporaryDir target;
    const QString root = QDir(target.path()).absoluteFilePath(QStringLiteral("backups"));
    const QStringList args{fx.folder(), QStringLiteral("--to"), root};
    // Every fsync of a clean run, and the file or folder each one syncs. strace counts the calls
    // of each thread apart: the nth call of every thread fails at once.
    QMap<int, QStringList> nth; // n: the paths synced by the nth call of a thread
    QMap<QString, int> perThread;
    const QRegularExpression call(QStringLiteral("^(\\d+) +fsync\\(\\d+<([^>]*)>"));
    for (const QString& line : FileEdges::traceOf(Tool, args, QStringLiteral("fsync")))
        if (const QRegularExpressionMatch m = call.match(line); m.hasMatch())
            nth[++perThread[m.captured(1)]] << m.captured(2);
    QVERIFY(QDir(root).removeRecursively());
    int ofTheBackup = 0;
    for (auto it = nth.cbegin(); it != nth.cend(); ++it) {
        const FileEdges::Run run =
            FileEdges::injected(Tool, args, QStringLiteral("fsync"), QStringLiteral("error=EIO"), it.key());
        const QString what = QStringLiteral("fsync %1 (%2): exit %3\n%4%5")
                                 .arg(it.key())
                                 .arg(it.value().join(QLatin1String(", ")))
                                 .arg(run.code)
                                 .arg(run.out, run.err);
        QVERIFY2(!run.killed, qPrintable(what));
        QVERIFY2(leftovers(root).isEmpty(), qPrintable(what));
        if (std::any_of(it.value().cbegin(), it.value().cend(),
                        [&](const QString& path) { return path.startsWith(root); })) {
            // A sync of the backup failed: no backup is reported or left.
            ++ofTheBackup;
            QVERIFY2(run.code == 1, qPrintable(what));
            QVERIFY2(!run.out.contains(QStringLiteral("备份完成")), qPrintable(what));
            QVERIFY2(run.err.contains(QStringLiteral("磁盘读写出错")), qPrintable(what));
            QVERIFY2(run.err.contains(QStringLiteral("这份备份已删除")), qPrintable(what));
            QVERIFY2(dated(root).isEmpty(), qPrintable(what));
        } else if (run.code == 0) {
            QVERIFY2(dated(root).size() == 1, qPrintable(what));
        }
        if (QFileInfo::exists(root))
            QVERIFY(QDir(root).removeRecursively());
    }
    // The syncs of the backup: its files and folders before the rename, its folder after.
    QVERIFY2(ofTheBackup >= 7, qPrintable(QString::number(ofTheBackup)));
}

void TestBackupDisk::killedBackupsLeftoversAreRemovedByTheNext() {
    if (!FileEdges::canInject())
        QSKIP("strace is not installed");
    CoreFixture fx;
    smallShop(fx);
    FileEdges::SmallDisk disk(48 * 1024 * 1024);
    if (!disk.available())
        QSKIP(qPrintable(disk.why()));
    const QString root = QDir(disk.path()).absoluteFilePath(QStringLiteral("backups"));
    const QStringList args{fx.folder(), QStringLiteral("--to"), root};
    const int writes = FileEdges::callsOf(Tool, args, QStringLiteral("pwrite64"));
    QVERIFY2(writes > 100, qPrintable(QString::number(writes)));
    QVERIFY(QDir(root).removeRecursively());
    // Killed in the middle of the copy: a hidden folder stays behind; killed again, the second
    // backup had removed the first one's before its own was cut off.
    QStringList seen;
    for (const int nth : {writes / 3, writes * 2 / 3}) {
        const FileEdges::Run run =
            FileEdges::injected(Tool, args, QStringLiteral("pwrite64"), QStringLiteral("signal=KILL"), nth);
        QVERIFY2(run.killed, qPrintable(run.err));
        QCOMPARE(leftovers(root).size(), 1);
        QVERIFY(!seen.contains(leftovers(root).first()));
        seen << leftovers(root).first();
    }
    const qint64 left = treeBytes(QDir(root).absoluteFilePath(leftovers(root).first()));
    QVERIFY(left > 0);
    // The disk now has room for the next backup only once the leftovers are gone.
    const qint64 needed = Backups::roomFor(shopBytes(fx.folder()) + 64);
    disk.fillUpTo(needed - left / 2);
    QVERIFY(disk.freeBytes() < needed);

    const FileEdges::Run run = FileEdges::tool(Tool, args);
    QVERIFY2(run.code == 0, qPrintable(run.out + run.err));
    QVERIFY2(run.out.contains(QStringLiteral("备份完成并已验证")), qPrintable(run.out));
    QCOMPARE(leftovers(root), QStringList());
    QCOMPARE(dated(root).size(), 1);
    Backups::verify(QDir(root).absoluteFilePath(dated(root).first()));
}

void TestBackupDisk::aTargetWithoutRoomIsRefusedBeforeItStarts() {
    CoreFixture fx;
    smallShop(fx);
    FileEdges::SmallDisk disk(40 * 1024 * 1024);
    if (!disk.available())
        QSKIP(qPrintable(disk.why()));
    const QString root = QDir(disk.path()).absoluteFilePath(QStringLiteral("backups"));
    const qint64 needed = Backups::roomFor(shopBytes(fx.folder()));
    disk.fillUpTo(needed - 1024 * 1024);
    const FileEdges::Run refused = FileEdges::tool(Tool, {fx.folder(), QStringLiteral("--to"), root});
    QCOMPARE(refused.code, 1);
    QVERIFY2(refused.err.contains(QStringLiteral("磁盘空间不足")), qPrintable(refused.err));
    // It names the folder, the space needed and the space free, in megabytes.
    QVERIFY2(refused.err.contains(root), qPrintable(refused.err));
    const QRegularExpression sizes(QStringLiteral("只有 ([0-9.]+) MB 可用.*需要 ([0-9.]+) MB"));
    const QRegularExpressionMatch m = sizes.match(refused.err);
    QVERIFY2(m.hasMatch(), qPrintable(refused.err));
    QVERIFY(qAbs(m.captured(1).toDouble() * 1024 * 1024 - double(disk.freeBytes())) < 1024 * 1024);
    QVERIFY(qAbs(m.captured(2).toDouble() * 1024 * 1024 - double(needed)) < 1024 * 1024);
    // Nothing was written there, not even the backup folder.
    QCOMPARE(entries(disk.path()), QStringList{QStringLiteral(".filler")});

    disk.free();
    const FileEdges::Run run = FileEdges::tool(Tool, {fx.folder(), QStringLiteral("--to"), root});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(dated(root).size(), 1);
}

void TestBackupDisk::messagesNameTheDisk_data() {
    QTest::addColumn<QString>("disk");       // "full", "read-only" or "missing"
    QTest::addColumn<bool>("beforeCopying"); // when it happens: before the copy, or before the finish
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("made");     // an unfinished folder was made (and removed, if it could be)
    QTest::addColumn<bool>("leftOver"); // the unfinished folder cannot be removed
    QTest::newRow("full during the copy") << "full" << true << "磁盘空间不足" << true << false;
    QTest::newRow("read-only before the verification") << "read-only" << false << "只读" << true << true;
    QTest::newRow("read-only from the start") << "read-only" << true << "只读" << false << false;
    QTest::newRow("missing from the start") << "missing" << true << "不存在" << false << false;
}

void TestBackupDisk::messagesNameTheDisk() {
    QFETCH(QString, disk);
    QFETCH(bool, beforeCopying);
    QFETCH(QString, said);
    QFETCH(bool, made);
    QFETCH(bool, leftOver);
    CoreFixture fx;
    DemoData::fill(DemoData::countsFor(0.002));
    FileEdges::SmallDisk stick(40 * 1024 * 1024);
    if (!stick.available())
        QSKIP(qPrintable(stick.why()));
    const QString root =
        QDir(stick.path())
            .absoluteFilePath(disk == QLatin1String("missing") ? QStringLiteral("unplugged/backups")
                                                               : QStringLiteral("backups"));
    QString text;
    try {
        if (disk == QLatin1String("read-only") && beforeCopying)
            stick.setReadOnly(true);
        Backups::Job job(fx.folder(), root, QStringLiteral("手动备份"));
        QVERIFY(disk != QLatin1String("missing"));
        QVERIFY(!(disk == QLatin1String("read-only") && beforeCopying));
        if (disk == QLatin1String("full"))
            stick.fillUpTo(64 * 1024);
        while (!job.step()) {
        }
        if (disk == QLatin1String("read-only")) {
            stick.setReadOnly(true);
            QVERIFY(!QFile(QDir(stick.path()).absoluteFilePath(QStringLiteral("probe")))
                         .open(QIODevice::WriteOnly));
        }
        job.finish();
        QFAIL("a backup on that disk was reported as done");
    } catch (const DatabaseError& e) {
        text = e.text();
    }
    QVERIFY2(text.contains(said), qPrintable(text));
    QVERIFY2(text.contains(root), qPrintable(text));
    // It says the unfinished backup was removed only when it was.
    QCOMPARE(leftovers(root).size(), leftOver ? 1 : 0);
    QVERIFY2(text.contains(QStringLiteral("这份备份已删除")) == (made && !leftOver), qPrintable(text));
    if (!leftOver)
        return;
    QVERIFY2(text.contains(QDir(root).absoluteFilePath(leftovers(root).first())), qPrintable(text));
    // Writable again, the next backup removes it.
    stick.setReadOnly(false);
    stick.free();
    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"), root);
    QVERIFY(backup.verified);
    QCOMPARE(leftovers(root), QStringList());
}

QTEST_GUILESS_MAIN(TestBackupDisk)
#include "tst_backupdisk.moc"
