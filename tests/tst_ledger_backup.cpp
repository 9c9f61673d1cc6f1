// Backups and restores of a working folder, without any window: a backup verifies and can be
// trusted, a tampered one is caught, a restore that fails at any step leaves the folder's files
// as they were, and old backups are thinned out as promised.
#include "core/clock.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/demodata.h"
#include "ledger/backup.h"
#include "support/corefixture.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QUuid>
#include <ctime>
#include <utime.h>

namespace {

// The SHA-256 of every file of the working folder (database files and report definitions).
QMap<QString, QByteArray> fingerprint(const QString& folder) {
    QMap<QString, QByteArray> sums;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden))
        sums.insert(name, Backups::sha256(dir.absoluteFilePath(name)));
    const QDir print(dir.absoluteFilePath(QStringLiteral("print")));
    for (const QString& name : print.entryList(QDir::Files))
        sums.insert(QStringLiteral("print/") + name, Backups::sha256(print.absoluteFilePath(name)));
    return sums;
}

// Runs a statement on a closed database file, as the sqlite3 shell would.
void execOnFile(const QString& path, const QString& sql) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("by-hand"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY2(q.exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("by-hand"));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT

private slots:
    void backupOfADemoShopVerifies();
    void tamperedCopiesFailVerification();
    void aCopyThatDoesNotVerifyIsRemoved();
    void writesDuringASlicedBackupAreInTheCopy();
    void countsKnownToTheListsAreComparedWithTheCopy();
    void restoreSwapsTheFilesIn();
    void restoreFailingAtAnyStepLeavesTheFilesAsTheyWere();
    void aCopyDamagedBeforeTheSwapIsNotSwappedIn();
    void pruningKeepsThirtyAndOnePerMonth();
    void pruningRemovesLeftoversOfAnyAgeButNotOneUnderWay();
    void backupFolderIsASettingOfTheShop();
};

void TestBackup::backupOfADemoShopVerifies() {
    CoreFixture fx;
    DemoData::fill({.products = 40,
                    .stockIns = 60,
                    .orders = 30,
                    .linesPerOrder = 3,
                    .members = 8,
                    .recharges = 20,
                    .consumptions = 10});
    QDir(fx.folder()).mkpath(QStringLiteral("print"));
    writeFile(QDir(fx.folder()).absoluteFilePath(QStringLiteral("print/kucun.json")), "{\"report\": 1}");

    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    QVERIFY(backup.verified);
    QCOMPARE(QFileInfo(backup.folder).absolutePath(), Backups::defaultRoot(fx.folder()));
    QCOMPARE(QFileInfo(backup.folder).fileName(), QStringLiteral("2026-12-09_103000"));
    QCOMPARE(backup.rows(Db::BusinessFile, QStringLiteral("ae")),
             CoreFixture::scalar(QStringLiteral("select count(*) from ae")).toLongLong());
    QCOMPARE(backup.rows(Db::BusinessFile, QStringLiteral("aj")), 8);
    QCOMPARE(backup.rows(Db::ListsFile, QStringLiteral("a5")), 1);

    // The manifest describes what is in the folder, and a second look agrees.
    const Backups::Backup again = Backups::verify(backup.folder);
    QCOMPARE(again.reason, QStringLiteral("手动备份"));
    QCOMPARE(again.version, QStringLiteral(LEDGER_VERSION));
    QStringList names;
    for (const Backups::CopiedFile& f : again.files) {
        names << f.name;
        QCOMPARE(f.sha256, Backups::sha256(QDir(backup.folder).absoluteFilePath(f.name)));
    }
    QCOMPARE(names, (QStringList{Db::BusinessFile, Db::ListsFile, QStringLiteral("print/kucun.json")}));
    // The copy stands alone: no log beside it, and another program can open it.
    QVERIFY(
        !QFileInfo::exists(QDir(backup.folder).absoluteFilePath(Db::BusinessFile + QStringLiteral("-wal"))));
    QCOMPARE(Backups::list(Backups::defaultRoot(fx.folder())).size(), 1);
    QVERIFY(Backups::lastGood(Backups::defaultRoot(fx.folder())).has_value());
}

void TestBackup::tamperedCopiesFailVerification() {
    CoreFixture fx;
    DemoData::fill({.products = 20,
                    .stockIns = 20,
                    .orders = 10,
                    .linesPerOrder = 2,
                    .members = 3,
                    .recharges = 3,
                    .consumptions = 3});
    const Backups::Backup one = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    Clock::setFixed(Clock::now().addSecs(60));
    const Backups::Backup three = Backups::make(fx.folder(), QStringLiteral("手动备份"));

    // One byte changed.
    {
        QFile file(QDir(one.folder).absoluteFilePath(Db::BusinessFile));
        QVERIFY(file.open(QIODevice::ReadWrite));
        file.seek(file.size() / 2);
        const char byte = file.peek(1).at(0);
        file.write(QByteArray(1, char(byte ^ 0x20)));
    }
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Backups::verify(one.folder));

    // A row deleted, or a table added, the manifest's checksum forged to match: the tables and
    // their row counts still tell.
    const QStringList tampers{QStringLiteral("delete from ak where kid = (select max(kid) from ak)"),
                              QStringLiteral("create table added (x)")};
    const QStringList named{QStringLiteral("ak"), QStringLiteral("added")};
    for (int t = 0; t < tampers.size(); ++t) {
        Clock::setFixed(Clock::now().addSecs(60));
        const Backups::Backup two = Backups::make(fx.folder(), QStringLiteral("手动备份"));
        const QString copy = QDir(two.folder).absoluteFilePath(Db::BusinessFile);
        execOnFile(copy, tampers.at(t));
        QFile manifest(QDir(two.folder).absoluteFilePath(Backups::ManifestFile));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        QJsonObject o = QJsonDocument::fromJson(manifest.readAll()).object();
        manifest.close();
        QJsonArray files = o.value("files").toArray();
        QJsonObject first = files.at(0).toObject();
        QCOMPARE(first.value("name").toString(), Db::BusinessFile);
        first.insert("sha256", QString::fromLatin1(Backups::sha256(copy)));
        files.replace(0, first);
        o.insert("files", files);
        writeFile(manifest.fileName(), QJsonDocument(o).toJson());
        try {
            Backups::verify(two.folder);
            QFAIL(qPrintable(QStringLiteral("a copy tampered with by \"%1\" verified").arg(tampers.at(t))));
        } catch (const DatabaseError& e) {
            QVERIFY2(e.text().contains(named.at(t)), qPrintable(e.text()));
        }
    }

    // A file of the backup missing, or its manifest gone.
    QFile::remove(QDir(three.folder).absoluteFilePath(Db::ListsFile));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Backups::verify(three.folder));
    QFile::remove(QDir(three.folder).absoluteFilePath(Backups::ManifestFile));
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Backups::verify(three.folder));
    const QList<Backups::Backup> listed = Backups::list(Backups::defaultRoot(fx.folder()));
    const auto gone = std::find_if(listed.cbegin(), listed.cend(),
                                   [&three](const Backups::Backup& b) { return b.folder == three.folder; });
    QVERIFY(gone != listed.cend());
    QVERIFY(!gone->problem.isEmpty());
}

void TestBackup::aCopyThatDoesNotVerifyIsRemoved() {
    CoreFixture fx;
    CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    const QString root = Backups::defaultRoot(fx.folder());
    Backups::Job job(fx.folder(), root, QStringLiteral("自动备份"));
    while (!job.step()) {
    }
    // The copy is damaged between the copying and the verification.
    const QDir dir(root);
    const QStringList partial = dir.entryList({QStringLiteral(".partial-*")}, QDir::Dirs | QDir::Hidden);
    QCOMPARE(partial.size(), 1);
    execOnFile(QDir(dir.absoluteFilePath(partial.first())).absoluteFilePath(Db::BusinessFile),
               QStringLiteral("delete from ab"));
    try {
        job.finish();
        QFAIL("a copy with a table emptied verified");
    } catch (const DatabaseError& e) {
        QVERIFY2(e.text().contains(QStringLiteral("备份验证失败")), qPrintable(e.text()));
    }
    QCOMPARE(dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    QVERIFY(!Backups::lastGood(root).has_value());
}

void TestBackup::writesDuringASlicedBackupAreInTheCopy() {
    CoreFixture fx;
    DemoData::fill({.products = 200,
                    .stockIns = 300,
                    .orders = 200,
                    .linesPerOrder = 5,
                    .members = 10,
                    .recharges = 10,
                    .consumptions = 10});
    Backups::Job job(fx.folder(), Backups::defaultRoot(fx.folder()), QStringLiteral("自动备份"));
    job.setSlicePages(4);
    QVERIFY(!job.step()); // the first slice leaves pages to copy
    // The program goes on between slices.
    CoreFixture::exec(QStringLiteral("insert into af (f1) values ('written meanwhile')"));
    while (!job.step()) {
    }
    const Backups::Backup backup = job.finish();
    QCOMPARE(backup.rows(Db::BusinessFile, QStringLiteral("af")), 1);
    Backups::verify(backup.folder);
}

void TestBackup::countsKnownToTheListsAreComparedWithTheCopy() {
    CoreFixture fx;
    CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("5"), QStringLiteral("3"));
    const QString root = Backups::defaultRoot(fx.folder());
    {
        Backups::Job job(fx.folder(), root, QStringLiteral("自动备份"));
        job.setRowCounter([](const QString& table) -> std::optional<qint64> {
            return table == QLatin1String("ab") ? std::optional<qint64>(2) : std::nullopt;
        });
        while (!job.step()) {
        }
        QCOMPARE(job.finish().rows(Db::BusinessFile, QStringLiteral("ab")), 2);
    }
    // A count that does not match the copy fails the backup.
    Backups::Job job(fx.folder(), root, QStringLiteral("自动备份"));
    job.setRowCounter([](const QString& table) -> std::optional<qint64> {
        return table == QLatin1String("ab") ? std::optional<qint64>(3) : std::nullopt;
    });
    while (!job.step()) {
    }
    QVERIFY_THROWS_EXCEPTION(DatabaseError, job.finish());
    QCOMPARE(Backups::list(root).size(), 1);
}

void TestBackup::restoreSwapsTheFilesIn() {
    CoreFixture fx;
    const qint64 water =
        CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    CoreFixture::exec(QStringLiteral("update ab set b4 = 3 where bid = :k"), {{":k", water}});
    CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("5"), QStringLiteral("3"));
    fx.close();
    // A log left beside the files would be replayed into the restored file: refused.
    writeFile(QDir(fx.folder()).absoluteFilePath(Db::BusinessFile + QStringLiteral("-wal")), "x");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Backups::swapIn(fx.folder(), backup.folder));
    QFile::remove(QDir(fx.folder()).absoluteFilePath(Db::BusinessFile + QStringLiteral("-wal")));

    Backups::swapIn(fx.folder(), backup.folder);
    QCOMPARE(Backups::sha256(QDir(fx.folder()).absoluteFilePath(Db::BusinessFile)),
             Backups::sha256(QDir(backup.folder).absoluteFilePath(Db::BusinessFile)));
    fx.reopen();
    QCOMPARE(CoreFixture::rows(QStringLiteral("select b3, b4 from ab")),
             QStringList{QStringLiteral("矿泉水|10")});
    QCOMPARE(QDir(fx.folder())
                 .entryList({QStringLiteral("*.restoring"), QStringLiteral("*.before-restore")},
                            QDir::Files | QDir::Dirs | QDir::Hidden),
             QStringList());
}

void TestBackup::restoreFailingAtAnyStepLeavesTheFilesAsTheyWere() {
    CoreFixture fx;
    CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    QDir(fx.folder()).mkpath(QStringLiteral("print"));
    writeFile(QDir(fx.folder()).absoluteFilePath(QStringLiteral("print/kucun.json")), "{\"old\": 1}");
    writeFile(QDir(fx.folder()).absoluteFilePath(QStringLiteral("receipt.ini")), "way=printer\nwidth=58\n");
    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("5"), QStringLiteral("3"));
    writeFile(QDir(fx.folder()).absoluteFilePath(QStringLiteral("print/kucun.json")), "{\"new\": 2}");
    writeFile(QDir(fx.folder()).absoluteFilePath(QStringLiteral("receipt.ini")), "way=printer\nwidth=80\n");
    fx.close();
    const QMap<QString, QByteArray> before = fingerprint(fx.folder());
    QCOMPARE(before.size(), 4);
    // Two database files, the receipt settings and the report folder: copied, checked, swapped.
    QCOMPARE(Backups::restoreSteps(backup.folder), 3 + 1 + 2 * 4);
    for (int step = 1; step <= Backups::restoreSteps(backup.folder); ++step) {
        Backups::failRestoreAtStep(step);
        try {
            Backups::swapIn(fx.folder(), backup.folder);
            Backups::failRestoreAtStep(0);
            QFAIL(qPrintable(QStringLiteral("step %1 did not fail").arg(step)));
        } catch (const DatabaseError& e) {
            QVERIFY2(e.text().contains(QStringLiteral("injected")), qPrintable(e.text()));
        }
        QCOMPARE(fingerprint(fx.folder()), before);
    }
    Backups::failRestoreAtStep(0);
    // With no failure the same restore goes through.
    Backups::swapIn(fx.folder(), backup.folder);
    QVERIFY(fingerprint(fx.folder()) != before);
    for (const char* name : {"print/kucun.json", "receipt.ini"})
        QCOMPARE(Backups::sha256(QDir(fx.folder()).absoluteFilePath(QLatin1String(name))),
                 Backups::sha256(QDir(backup.folder).absoluteFilePath(QLatin1String(name))));
    fx.reopen();
    QCOMPARE(CoreFixture::scalar(QStringLiteral("select count(*) from ab")).toInt(), 1);
}

void TestBackup::aCopyDamagedBeforeTheSwapIsNotSwappedIn() {
    CoreFixture fx;
    CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("5"), QStringLiteral("3"));
    fx.close();
    const QMap<QString, QByteArray> before = fingerprint(fx.folder());
    // Once every file is copied beside the current ones, the business file's copy changes (a
    // failing disk, another program): a sound database that is not the backup.
    const QString staged =
        QDir(fx.folder()).absoluteFilePath(Db::BusinessFile + QStringLiteral(".restoring"));
    bool damaged = false;
    Backups::atRestoreStep([&](int) {
        if (!damaged && QFileInfo::exists(staged) &&
            QFileInfo::exists(
                QDir(fx.folder()).absoluteFilePath(Db::ListsFile + QStringLiteral(".restoring")))) {
            execOnFile(staged, QStringLiteral("update ab set b4 = 999"));
            damaged = true;
        }
    });
    try {
        Backups::swapIn(fx.folder(), backup.folder);
        Backups::atRestoreStep({});
        QFAIL("a copy changed after the copying was swapped in");
    } catch (const DatabaseError& e) {
        Backups::atRestoreStep({});
        QVERIFY2(e.text().contains(QStringLiteral("与备份不符")), qPrintable(e.text()));
    }
    QVERIFY(damaged);
    QCOMPARE(fingerprint(fx.folder()), before);
}

void TestBackup::pruningKeepsThirtyAndOnePerMonth() {
    CoreFixture fx;
    const QString root = Backups::defaultRoot(fx.folder());
    // A backup every ten days for two years, the newest on 2026-12-09.
    const Backups::Backup real = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    QFile manifest(QDir(real.folder).absoluteFilePath(Backups::ManifestFile));
    QVERIFY(manifest.open(QIODevice::ReadOnly));
    const QJsonObject model = QJsonDocument::fromJson(manifest.readAll()).object();
    const QDateTime newest = Clock::now();
    QStringList made;
    for (int i = 1; i < 73; ++i) {
        const QDateTime at = newest.addDays(-10 * i);
        const QString folder = QDir(root).absoluteFilePath(at.toString(QStringLiteral("yyyy-MM-dd_HHmmss")));
        QDir().mkpath(folder);
        QJsonObject o = model;
        o.insert("time", at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        writeFile(QDir(folder).absoluteFilePath(Backups::ManifestFile), QJsonDocument(o).toJson());
        made << folder;
    }
    Backups::prune(root, real.folder);
    // The newest thirty (back to 2026-02-22), then the newest of each older month of the twelve
    // from January 2026: 2026-01-23; nothing of 2025.
    QStringList expected{real.folder};
    for (int i = 1; i < 30; ++i)
        expected << made.at(i - 1);
    expected << made.at(31);
    QStringList kept;
    for (const Backups::Backup& b : Backups::list(root))
        kept << b.folder;
    QCOMPARE(kept, expected);
}

void TestBackup::pruningRemovesLeftoversOfAnyAgeButNotOneUnderWay() {
    CoreFixture fx;
    CoreFixture::product(QStringLiteral("矿泉水"), QStringLiteral("10"), QStringLiteral("2"));
    const QString root = Backups::defaultRoot(fx.folder());
    const Backups::Backup real = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    // A backup under way, which holds its folder.
    Backups::Job running(fx.folder(), root, QStringLiteral("自动备份"));
    // What two interrupted backups left, one long ago and one a moment ago.
    QStringList left;
    for (int i = 0; i < 2; ++i) {
        left << QDir(root).absoluteFilePath(QStringLiteral(".partial-") +
                                            QUuid::createUuid().toString(QUuid::WithoutBraces));
        QVERIFY(QDir().mkpath(left.last()));
        writeFile(QDir(left.last()).absoluteFilePath(Db::BusinessFile), "half a copy");
    }
    const time_t then = ::time(nullptr) - 2 * 3600;
    const utimbuf old{then, then};
    QVERIFY(::utime(QFile::encodeName(left.first()).constData(), &old) == 0);
    const QStringList before =
        QDir(root).entryList({QStringLiteral(".partial-*")}, QDir::Dirs | QDir::Hidden);
    QCOMPARE(before.size(), 3);
    QString underWay;
    for (const QString& name : before)
        if (!left.contains(QDir(root).absoluteFilePath(name)))
            underWay = name;

    Backups::prune(root, real.folder);
    QCOMPARE(QDir(root).entryList({QStringLiteral(".partial-*")}, QDir::Dirs | QDir::Hidden),
             QStringList{underWay});
    while (!running.step()) {
    }
    Backups::verify(running.finish().folder);
}

void TestBackup::backupFolderIsASettingOfTheShop() {
    CoreFixture fx;
    QCOMPARE(Backups::root(fx.folder()), Backups::defaultRoot(fx.folder()));
    QVERIFY(QDir(fx.folder()).mkpath(QStringLiteral("stick")));
    const QString stick = QDir(fx.folder()).absoluteFilePath(QStringLiteral("stick/shop-backups"));
    Backups::setRoot(fx.folder(), stick);
    QCOMPARE(Backups::root(fx.folder()), stick);
    const Backups::Backup backup = Backups::make(fx.folder(), QStringLiteral("手动备份"));
    QCOMPARE(QFileInfo(backup.folder).absolutePath(), stick);
    Backups::setRoot(fx.folder(), QString());
    QCOMPARE(Backups::root(fx.folder()), Backups::defaultRoot(fx.folder()));
}

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_ledger_backup.moc"
