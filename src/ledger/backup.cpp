#include "ledger/backup.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/tableindex.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString SettingsFile = QStringLiteral("vandrel-ledger.ini");
const QString PartialPrefix = QStringLiteral(".partial-");
const QString NameFormat = QStringLiteral("yyyy-MM-dd_HHmmss");
const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

const QStringList& databaseFiles() {
    static const QStringList files = {Db::BusinessFile, Db::ListsFile};
    return files;
}

// The shop's settings kept in files of their own beside the database files (the receipt
// printer's), backed up and restored with them.
const QStringList& settingsFiles() {
    static const QStringList files = {QStringLiteral("receipt.ini")};
    return files;
}

QString sqliteError(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

QStringList tablesOf(const QSqlDatabase& db) {
    QStringList tables;
    QSqlQuery q = Db::exec(db, QStringLiteral("select name from sqlite_master where type = 'table' and "
                                              "name not like 'sqlite\\_%' escape '\\' order by name"));
    while (q.next())
        tables << q.value(0).toString();
    return tables;
}

// A table's name as an SQL identifier: in double quotes, a double quote in it doubled (a backup's
// file is not ours until checked, and neither are the names it lists).
QString quotedName(const QString& table) {
    return QLatin1Char('"') + QString(table).replace(QLatin1Char('"'), QLatin1String("\"\"")) +
           QLatin1Char('"');
}

// The rows of the named tables.
QMap<QString, qint64> rowCounts(const QSqlDatabase& db, const QStringList& tables) {
    QMap<QString, qint64> rows;
    for (const QString& table : tables)
        rows.insert(
            table,
            Db::scalar(db, QStringLiteral("select count(*) from %1").arg(quotedName(table))).toLongLong());
    return rows;
}

// Opens a copied database file read-only on a connection of its own, for the calling thread.
class CopyConnection {
public:
    explicit CopyConnection(const QString& path)
        : m_name(QStringLiteral("backup-check-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.setDatabaseName(path);
        if (!db.open())
            throw DatabaseError(QStringLiteral("备份文件 %1 无法打开：%2")
                                    .arg(QFileInfo(path).fileName(), Db::errorText(db.lastError())));
    }
    ~CopyConnection() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

// The copy opens, the engine finds it whole, and every table holds the expected rows.
void verifyDatabase(const QString& path, const QMap<QString, qint64>& expected) {
    const QString name = QFileInfo(path).fileName();
    CopyConnection copy(path);
    QSqlQuery check = Db::exec(copy.db(), QStringLiteral("PRAGMA integrity_check"));
    QStringList faults;
    while (check.next())
        if (check.value(0).toString() != QLatin1String("ok"))
            faults << check.value(0).toString();
    if (!faults.isEmpty())
        throw DatabaseError(
            QStringLiteral("备份文件 %1 已损坏：%2").arg(name, faults.mid(0, 5).join(QLatin1String("; "))));
    // The tables are compared by name first; only tables the manifest lists are counted.
    const QStringList tables = tablesOf(copy.db());
    for (const QString& table : tables)
        if (!expected.contains(table))
            throw DatabaseError(QStringLiteral("备份文件 %1 多出表 %2").arg(name, table));
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        if (!tables.contains(it.key()))
            throw DatabaseError(QStringLiteral("备份文件 %1 缺少表 %2").arg(name, it.key()));
    const QMap<QString, qint64> found = rowCounts(copy.db(), tables);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        if (found.value(it.key()) != it.value())
            throw DatabaseError(QStringLiteral("备份文件 %1 的表 %2 有 %3 行，应为 %4 行")
                                    .arg(name, it.key())
                                    .arg(found.value(it.key()))
                                    .arg(it.value()));
    }
}

QJsonObject toJson(const Backups::Backup& backup) {
    QJsonArray files;
    for (const Backups::CopiedFile& file : backup.files) {
        QJsonObject f{{"name", file.name}, {"sha256", QString::fromLatin1(file.sha256)}, {"size", file.size}};
        if (!file.rows.isEmpty()) {
            QJsonObject rows;
            for (auto it = file.rows.cbegin(); it != file.rows.cend(); ++it)
                rows.insert(it.key(), it.value());
            f.insert(QStringLiteral("rows"), rows);
        }
        files.append(f);
    }
    return {{"program", QStringLiteral("vandrel-ledger")},
            {"version", backup.version},
            {"time", backup.time.toString(TimeFormat)},
            {"reason", backup.reason},
            {"verified", backup.verified},
            {"files", files}};
}

// A name from outside, shown in a message: control characters as '?', and not too long.
QString shownName(const QString& name) {
    QString shown;
    for (const QChar c : name.left(80))
        shown += c.category() == QChar::Other_Control ? QLatin1Char('?') : c;
    return name.size() > 80 ? shown + QStringLiteral("…") : shown;
}

// Why a name in a manifest is not one a backup of this program holds; empty when it is. A backup
// holds the database files, the settings files and report definitions "print/NAME" under a plain
// name: nothing else, so a restore writes nowhere but those files of the working folder.
QString nameProblem(const QString& name) {
    if (databaseFiles().contains(name) || settingsFiles().contains(name))
        return {};
    const QString plain = name.startsWith(QLatin1String("print/")) ? name.mid(6) : QString();
    const bool ok =
        !plain.isEmpty() && !plain.startsWith(QLatin1Char('.')) && plain.size() <= 200 &&
        std::none_of(plain.cbegin(), plain.cend(), [](QChar c) {
            return c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control;
        });
    if (ok)
        return {};
    return QStringLiteral("清单中有不允许的文件名“%1”（备份只能含账本文件、小票设置和 print 文件夹中的报表"
                          "定义），这份备份不是本程序原样写下的")
        .arg(shownName(name));
}

// Why the entries of a backup's folder are not what a backup holds: a symbolic link anywhere in it
// (it would lead a restore out of the folder) or anything but plain files and folders. Empty when
// they are.
QString entriesProblem(const QString& folder) {
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
            continue;
        const QString name = QDir(folder).relativeFilePath(path);
        if (S_ISLNK(st.st_mode))
            return QStringLiteral("备份中有符号链接“%1”，这份备份不是本程序原样写下的").arg(shownName(name));
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return QStringLiteral("备份中的“%1”不是普通文件").arg(shownName(name));
    }
    return {};
}

Backups::Backup fromManifest(const QString& folder) {
    Backups::Backup backup;
    backup.folder = QDir(folder).absolutePath();
    QFile file(QDir(folder).absoluteFilePath(Backups::ManifestFile));
    // Only a plain file is read (a pipe would never end, a link points anywhere).
    const QFileInfo manifestInfo(file.fileName());
    if (manifestInfo.isSymLink() || (manifestInfo.exists() && !manifestInfo.isFile()) ||
        manifestInfo.size() > 64 * 1024 * 1024) {
        backup.problem = QStringLiteral("清单文件不是普通文件");
        return backup;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        backup.problem = QStringLiteral("没有清单文件");
        backup.time = QDateTime::fromString(QFileInfo(folder).fileName().left(NameFormat.size()), NameFormat);
        return backup;
    }
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError ||
        o.value(QStringLiteral("program")).toString() != "vandrel-ledger") {
        backup.problem = QStringLiteral("清单文件无法读取");
        return backup;
    }
    backup.time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), TimeFormat);
    backup.version = o.value(QStringLiteral("version")).toString();
    backup.reason = o.value(QStringLiteral("reason")).toString();
    backup.verified = o.value(QStringLiteral("verified")).toBool();
    for (const QJsonValue& v : o.value(QStringLiteral("files")).toArray()) {
        const QJsonObject f = v.toObject();
        Backups::CopiedFile copied;
        copied.name = f.value(QStringLiteral("name")).toString();
        copied.sha256 = f.value(QStringLiteral("sha256")).toString().toLatin1();
        copied.size = qint64(f.value(QStringLiteral("size")).toDouble());
        const QJsonObject rows = f.value(QStringLiteral("rows")).toObject();
        for (auto it = rows.begin(); it != rows.end(); ++it)
            copied.rows.insert(it.key(), qint64(it.value().toDouble()));
        backup.files << copied;
    }
    const bool complete =
        std::all_of(databaseFiles().cbegin(), databaseFiles().cend(), [&](const QString& name) {
            return std::any_of(backup.files.cbegin(), backup.files.cend(), [&](const Backups::CopiedFile& f) {
                return f.name == name && !f.rows.isEmpty();
            });
        });
    QStringList names;
    for (const Backups::CopiedFile& f : std::as_const(backup.files)) {
        if (backup.problem.isEmpty())
            backup.problem = nameProblem(f.name);
        if (backup.problem.isEmpty() && names.contains(f.name))
            backup.problem = QStringLiteral("清单中文件“%1”出现了两次").arg(shownName(f.name));
        if (backup.problem.isEmpty() && databaseFiles().contains(f.name) == f.rows.isEmpty())
            backup.problem = QStringLiteral("清单中文件“%1”的行数不对").arg(f.name);
        names << f.name;
    }
    if (!backup.problem.isEmpty())
        return backup;
    if (!complete)
        backup.problem = QStringLiteral("清单中缺少数据库文件");
    else if (!backup.verified)
        backup.problem = QStringLiteral("未通过验证");
    return backup;
}

// Copies a file and forces it to the disk.
void copyDurably(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        throw DatabaseError(QStringLiteral("无法读取 %1：%2").arg(from, source.errorString()));
    QFile target(to);
    if (!target.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(to, target.errorString()));
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 n = source.read(buffer.data(), buffer.size());
        if (n < 0)
            throw DatabaseError(QStringLiteral("无法读取 %1：%2").arg(from, source.errorString()));
        if (n == 0)
            break;
        if (target.write(buffer.constData(), n) != n)
            throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(to, target.errorString()));
    }
    if (!target.flush())
        throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(to, target.errorString()));
    ::fsync(target.handle());
    target.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

// Forces a written file to the disk.
void syncToDisk(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || ::fsync(file.handle()) != 0)
        throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(path, file.errorString()));
}

QStringList reportFiles(const QString& folder) {
    QStringList names;
    const QDir print(QDir(folder).absoluteFilePath(QStringLiteral("print")));
    for (const QString& name : print.entryList(QDir::Files, QDir::Name))
        names << QStringLiteral("print/") + name;
    return names;
}

void removeTree(const QString& folder) {
    if (!folder.isEmpty())
        QDir(folder).removeRecursively();
}

} // namespace

qint64 Backups::Backup::rows(const QString& file, const QString& table) const {
    for (const CopiedFile& f : files)
        if (f.name == file)
            return f.rows.value(table, -1);
    return -1;
}

QString Backups::Backup::summary() const {
    auto count = [this](const char* table) {
        const qint64 n = rows(Db::BusinessFile, QLatin1String(table));
        return n < 0 ? QStringLiteral("?") : QString::number(n);
    };
    return QStringLiteral("产品 %1 · 订单 %2 · 出库记录 %3 · 会员 %4")
        .arg(count("ab"), count("aa"), count("ae"), count("aj"));
}

QString Backups::defaultRoot(const QString& workFolder) {
    return QDir(workFolder).absoluteFilePath(QStringLiteral("backup"));
}

QString Backups::root(const QString& workFolder) {
    const QSettings settings(QDir(workFolder).absoluteFilePath(SettingsFile), QSettings::IniFormat);
    const QString folder = settings.value(QStringLiteral("backup/folder")).toString();
    return folder.isEmpty() ? defaultRoot(workFolder) : folder;
}

void Backups::setRoot(const QString& workFolder, const QString& folder) {
    QSettings settings(QDir(workFolder).absoluteFilePath(SettingsFile), QSettings::IniFormat);
    if (folder.isEmpty() || QDir(folder).absolutePath() == defaultRoot(workFolder))
        settings.remove(QStringLiteral("backup/folder"));
    else
        settings.setValue(QStringLiteral("backup/folder"), QDir(folder).absolutePath());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DatabaseError(QStringLiteral("无法保存设置文件 %1").arg(settings.fileName()));
}

QByteArray Backups::sha256(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError(QStringLiteral("无法读取 %1：%2").arg(path, file.errorString()));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return hash.result().toHex();
}

Backups::Job::Job(const QString& workFolder, const QString& root, const QString& reason)
    : m_workFolder(QDir(workFolder).absolutePath()),
      m_root(root.isEmpty() ? Backups::root(workFolder) : root), m_reason(reason), m_time(Clock::now()) {
    if (!QDir().mkpath(m_root))
        throw DatabaseError(QStringLiteral("无法创建备份文件夹 %1").arg(m_root));
    m_partial =
        QDir(m_root).absoluteFilePath(PartialPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces));
    if (!QDir().mkpath(m_partial))
        throw DatabaseError(QStringLiteral("无法在 %1 中写入备份").arg(m_root));
    // The shop's figures are the owner's only, in the backup as in the working folder.
    QFile::setPermissions(m_partial, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    try {
        startFile();
    } catch (...) {
        if (m_target)
            sqlite3_close(m_target);
        m_target = nullptr;
        removeTree(m_partial);
        throw;
    }
}

Backups::Job::~Job() {
    if (m_backup)
        sqlite3_backup_finish(m_backup);
    if (m_target)
        sqlite3_close(m_target);
    if (!m_finished)
        removeTree(m_partial);
}

void Backups::Job::startFile() {
    const QString path = QDir(m_partial).absoluteFilePath(databaseFiles().at(m_file));
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        throw DatabaseError(QStringLiteral("无法创建备份文件 %1：%2").arg(path, sqliteError(m_target)));
    // The copy goes to the disk later, away from the windows' thread (a half-made copy is
    // thrown away in any case).
    sqlite3_exec(m_target, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    sqlite3* source = nativeHandle(m_file == 0 ? Db::Business : Db::Lists);
    m_backup = sqlite3_backup_init(m_target, "main", source, "main");
    if (!m_backup)
        throw DatabaseError(QStringLiteral("无法开始备份：%1").arg(sqliteError(m_target)));
    m_filePercent = 0;
}

void Backups::Job::endFile() {
    sqlite3_backup_finish(m_backup);
    m_backup = nullptr;
    // The copy stands alone: no write-ahead log beside it.
    char* error = nullptr;
    if (sqlite3_exec(m_target, "PRAGMA journal_mode=DELETE", nullptr, nullptr, &error) != SQLITE_OK) {
        const QString text = QString::fromUtf8(error);
        sqlite3_free(error);
        throw DatabaseError(QStringLiteral("备份文件无法写完：%1").arg(text));
    }
    sqlite3_close(m_target);
    m_target = nullptr;
    QFile::setPermissions(QDir(m_partial).absoluteFilePath(databaseFiles().at(m_file)),
                          QFile::ReadOwner | QFile::WriteOwner);
    // Counted at the moment the copy was completed: nothing ran on the connection in between.
    CopiedFile file;
    file.name = databaseFiles().at(m_file);
    const QSqlDatabase source = m_file == 0 ? Db::business() : Db::lists();
    for (const QString& table : tablesOf(source)) {
        std::optional<qint64> known;
        if (m_file == 0 && m_counter)
            known = m_counter(table);
        file.rows.insert(
            table,
            known
                ? *known
                : Db::scalar(source, QStringLiteral("select count(*) from \"%1\"").arg(table)).toLongLong());
    }
    m_files << file;
}

bool Backups::Job::step() {
    if (m_file >= 2)
        return true;
    const int rc = sqlite3_backup_step(m_backup, m_slicePages);
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
        throw DatabaseError(QStringLiteral("备份失败：%1").arg(QString::fromUtf8(sqlite3_errstr(rc))));
    const int total = sqlite3_backup_pagecount(m_backup);
    if (total > 0)
        m_filePercent = int(100 - qint64(sqlite3_backup_remaining(m_backup)) * 100 / total);
    if (rc != SQLITE_DONE)
        return false;
    endFile();
    ++m_file;
    if (m_file < 2) {
        startFile();
        return false;
    }
    return true;
}

int Backups::Job::percent() const {
    // The business file is nearly all of the work.
    if (m_file >= 2)
        return 90;
    return m_file == 0 ? m_filePercent * 85 / 100 : 85 + m_filePercent * 5 / 100;
}

Backups::Backup Backups::Job::finish() {
    if (m_file < 2)
        throw DatabaseError(QStringLiteral("备份尚未复制完"));
    try {
        // The shop's settings files and the report definitions as they are now.
        for (const QString& name : settingsFiles()) {
            if (!QFileInfo::exists(QDir(m_workFolder).absoluteFilePath(name)))
                continue;
            copyDurably(QDir(m_workFolder).absoluteFilePath(name), QDir(m_partial).absoluteFilePath(name));
            CopiedFile file;
            file.name = name;
            m_files << file;
        }
        const QStringList reports = reportFiles(m_workFolder);
        if (!reports.isEmpty())
            QDir(m_partial).mkpath(QStringLiteral("print"));
        for (const QString& name : reports) {
            copyDurably(QDir(m_workFolder).absoluteFilePath(name), QDir(m_partial).absoluteFilePath(name));
            CopiedFile file;
            file.name = name;
            m_files << file;
        }
        for (CopiedFile& file : m_files) {
            const QString path = QDir(m_partial).absoluteFilePath(file.name);
            if (!file.rows.isEmpty()) {
                syncToDisk(path);
                verifyDatabase(path, file.rows);
            }
            file.sha256 = sha256(path);
            file.size = QFileInfo(path).size();
        }
        Backup backup;
        backup.time = m_time;
        backup.version = QStringLiteral(LEDGER_VERSION);
        backup.reason = m_reason;
        backup.files = m_files;
        backup.verified = true;
        QSaveFile manifest(QDir(m_partial).absoluteFilePath(ManifestFile));
        if (!manifest.open(QIODevice::WriteOnly) ||
            manifest.write(QJsonDocument(toJson(backup)).toJson()) < 0 || !manifest.commit())
            throw DatabaseError(QStringLiteral("无法写入备份清单：%1").arg(manifest.errorString()));
        QString name = m_time.toString(NameFormat);
        for (int n = 2; QFileInfo::exists(QDir(m_root).absoluteFilePath(name)); ++n)
            name = m_time.toString(NameFormat) + QStringLiteral("-%1").arg(n);
        const QString folder = QDir(m_root).absoluteFilePath(name);
        if (!QDir().rename(m_partial, folder))
            throw DatabaseError(QStringLiteral("无法完成备份文件夹 %1").arg(folder));
        m_finished = true;
        backup.folder = folder;
        return backup;
    } catch (const LedgerError& e) {
        removeTree(m_partial);
        m_finished = true;
        throw DatabaseError(QStringLiteral("备份验证失败，这份备份已删除。\n%1").arg(e.text()));
    }
}

Backups::Backup Backups::make(const QString& workFolder, const QString& reason, const QString& root) {
    Job job(workFolder, root, reason);
    while (!job.step()) {
    }
    Backup backup = job.finish();
    prune(QFileInfo(backup.folder).absolutePath(), backup.folder);
    return backup;
}

QList<Backups::Backup> Backups::list(const QString& root) {
    QList<Backup> backups;
    const QDir dir(root);
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        backups << fromManifest(dir.absoluteFilePath(name));
    }
    std::sort(backups.begin(), backups.end(), [](const Backup& a, const Backup& b) {
        return a.time != b.time ? a.time > b.time : a.folder > b.folder;
    });
    return backups;
}

std::optional<Backups::Backup> Backups::lastGood(const QString& root) {
    for (const Backup& backup : list(root))
        if (backup.verified && backup.problem.isEmpty())
            return backup;
    return std::nullopt;
}

Backups::Backup Backups::verify(const QString& folder) {
    Backup backup = fromManifest(folder);
    if (backup.problem.isEmpty())
        backup.problem = entriesProblem(folder);
    if (!backup.problem.isEmpty())
        throw DatabaseError(
            QStringLiteral("备份 %1 不能使用：%2").arg(QFileInfo(folder).fileName(), backup.problem));
    for (const CopiedFile& file : backup.files) {
        const QString path = QDir(folder).absoluteFilePath(file.name);
        if (!QFileInfo::exists(path))
            throw DatabaseError(QStringLiteral("备份中缺少文件 %1").arg(file.name));
        if (sha256(path) != file.sha256)
            throw DatabaseError(QStringLiteral("备份文件 %1 已被改动（校验值不符）").arg(file.name));
        if (!file.rows.isEmpty())
            verifyDatabase(path, file.rows);
    }
    return backup;
}

void Backups::prune(const QString& root, const QString& keep) {
    const QList<Backup> all = list(root);
    QList<Backup> good;
    for (const Backup& b : all)
        if (b.verified && b.problem.isEmpty())
            good << b;
    std::set<QString> kept;
    if (!keep.isEmpty())
        kept.insert(QDir(keep).absolutePath());
    for (int i = 0; i < good.size() && i < 30; ++i)
        kept.insert(good.at(i).folder);
    // The newest backup of each of the last twelve months.
    if (!good.isEmpty()) {
        const QDate newest = good.first().time.date();
        const QDate oldestMonth = QDate(newest.year(), newest.month(), 1).addMonths(-11);
        std::set<std::pair<int, int>> months;
        for (const Backup& b : good) {
            const QDate d = b.time.date();
            if (d < oldestMonth)
                continue;
            if (months.insert({d.year(), d.month()}).second)
                kept.insert(b.folder);
        }
    }
    for (const Backup& b : good)
        if (!kept.count(b.folder))
            removeTree(b.folder);
    // Leftovers of backups that were interrupted (the program ended or the disk filled).
    const QDir dir(root);
    for (const QString& name : dir.entryList({PartialPrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden))
        if (QFileInfo(dir.absoluteFilePath(name)).lastModified().secsTo(QDateTime::currentDateTime()) > 3600)
            removeTree(dir.absoluteFilePath(name));
}

Backups::Backup Backups::manifest(const QString& folder) {
    return fromManifest(folder);
}
