#include "ledger/backup.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/rawstatement.h"
#include "ledger/diskfiles.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <future>
#include <mutex>
#include <openssl/evp.h>
#include <set>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

// A Job's stop: asked for on one thread, heeded on the thread that copies or verifies.
struct Backups::StopRequest {
    std::atomic<bool> requested{false};
    std::mutex lock;           // guards the two below
    sqlite3* engine = nullptr; // the connection checking a copy right now
    bool placed = false;       // the folder has its dated name: too late to stop
    void heed() const {
        if (requested.load())
            throw Backups::Stopped(QStringLiteral("备份已停止"));
    }
};

namespace {

using Backups::StopRequest;
using DiskFiles::Descriptor;
using DiskFiles::removeTree;

const QString& SettingsFile = Db::FolderSettingsFile;
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
    const QString& name() const { return m_name; }

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

// What the file system answered, in words a shop keeper can act on.
QString cause(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足");
    case EROFS:
        return QStringLiteral("磁盘是只读的（U 盘的写保护打开了，或磁盘以只读方式挂载）");
    case ENOENT:
        return QStringLiteral("不存在（U 盘或网络文件夹是否已接上？）");
    case ENOTDIR:
        return QStringLiteral("路径中有一项不是文件夹");
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入的权限");
    case EIO:
        return QStringLiteral("磁盘读写出错（输入/输出错误），数据没有可靠地写到磁盘上");
    default:
        return QString::fromLocal8Bit(std::strerror(error));
    }
}

QByteArray local(const QString& path) {
    return QFile::encodeName(path);
}

// A SHA-256 sum through libcrypto, which uses the processor's SHA instructions where it has them
// (several times quicker than a sum in plain code: a big shop's file is hashed in a fraction of a
// second).
class Sha256 {
public:
    Sha256() : m_context(EVP_MD_CTX_new()) {
        if (!m_context || EVP_DigestInit_ex(m_context, EVP_sha256(), nullptr) != 1)
            throw DatabaseError(QStringLiteral("无法计算校验值（SHA-256 不可用）"));
    }
    ~Sha256() { EVP_MD_CTX_free(m_context); }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void add(const char* data, size_t size) { EVP_DigestUpdate(m_context, data, size); }
    // The sum as lowercase hex.
    QByteArray hex() {
        unsigned char sum[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        EVP_DigestFinal_ex(m_context, sum, &size);
        return QByteArray(reinterpret_cast<const char*>(sum), int(size)).toHex();
    }

private:
    EVP_MD_CTX* m_context;
};

// Copies a file into a new file (the owner's only) and forces it to the disk; returns the SHA-256
// of what was copied, so the file is read once.
// Opens a file to read and hands its bytes to `take` a megabyte at a time, in order.
// A stop is heeded between megabytes.
void readChunks(const QString& path, const std::function<void(const char*, size_t)>& take,
                const StopRequest* stop = nullptr) {
    const Descriptor file(::open(local(path).constData(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0)
        throw DatabaseError(QStringLiteral("无法读取 %1：%2").arg(path, cause(errno)));
    ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw DatabaseError(QStringLiteral("无法读取 %1：%2").arg(path, cause(errno)));
        if (n == 0)
            break;
        if (stop)
            stop->heed();
        take(buffer.constData(), size_t(n));
    }
}

QByteArray copyDurably(const QString& from, const QString& to, const StopRequest* stop) {
    Descriptor target(::open(local(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (target.get() < 0)
        throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(to, cause(errno)));
    Sha256 hash;
    readChunks(
        from,
        [&](const char* bytes, size_t n) {
            hash.add(bytes, n);
            for (size_t done = 0; done < n;) {
                const ssize_t written = ::write(target.get(), bytes + done, n - done);
                if (written < 0 && errno == EINTR)
                    continue;
                if (written < 0)
                    throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(to, cause(errno)));
                done += size_t(written);
            }
        },
        stop);
    if (::fsync(target.get()) != 0)
        throw DatabaseError(QStringLiteral("无法把 %1 写到磁盘上：%2").arg(to, cause(errno)));
    if (const int error = target.reset())
        throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(to, cause(error)));
    return hash.hex();
}

// Forces a descriptor's file or folder to the disk (a folder's sync makes its entries durable:
// the files made in it, a rename into it).
void syncDescriptor(int fd, const QString& path) {
    if (::fsync(fd) != 0)
        throw DatabaseError(QStringLiteral("无法把 %1 写到磁盘上：%2").arg(path, cause(errno)));
}

// Forces a written file, or a folder's entries, to the disk.
void syncToDisk(const QString& path) {
    // The backup folder may be a link to a folder on another disk: followed.
    const Descriptor fd(::open(local(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw DatabaseError(QStringLiteral("无法把 %1 写到磁盘上：%2").arg(path, cause(errno)));
    syncDescriptor(fd.get(), path);
}

// Forces a big written file to the disk a few megabytes at a time, so that a stop is heeded in
// between (a slow disk takes long for a big shop's copy), then as a whole.
void syncFileToDisk(const QString& path, const StopRequest* stop) {
    const Descriptor fd(::open(local(path).constData(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw DatabaseError(QStringLiteral("无法把 %1 写到磁盘上：%2").arg(path, cause(errno)));
    const off_t size = ::lseek(fd.get(), 0, SEEK_END);
    constexpr off_t Range = 8 * 1024 * 1024;
    for (off_t at = 0; at < size; at += Range) {
        stop->heed();
        // Where the file system cannot do this, the whole file goes at once below.
        if (::sync_file_range(fd.get(), at, Range,
                              SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                  SYNC_FILE_RANGE_WAIT_AFTER) != 0)
            break;
    }
    stop->heed();
    syncDescriptor(fd.get(), path);
}

QByteArray hashOf(const QString& path, const StopRequest* stop) {
    Sha256 hash;
    readChunks(
        path, [&hash](const char* bytes, size_t n) { hash.add(bytes, n); }, stop);
    return hash.hex();
}

// Writes a new file whole and forces it to the disk.
void writeDurably(const QString& path, const QByteArray& bytes) {
    Descriptor fd(::open(local(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(path, cause(errno)));
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(path, cause(errno)));
        done += n;
    }
    syncDescriptor(fd.get(), path);
    if (const int error = fd.reset())
        throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(path, cause(error)));
}

QStringList reportFiles(const QString& folder) {
    QStringList names;
    const QDir print(QDir(folder).absoluteFilePath(QStringLiteral("print")));
    for (const QString& name : print.entryList(QDir::Files, QDir::Name))
        names << QStringLiteral("print/") + name;
    return names;
}

// The name of the folder a backup is made in: ".partial-" and a random UUID.
bool isPartialName(const QString& name) {
    static const QRegularExpression pattern(
        QStringLiteral("^\\.partial-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"));
    return pattern.match(name).hasMatch();
}

// Removes what interrupted backups left in the backup folder: folders named as this program names
// the folder it makes a backup in, owned by this user, real folders (a link of such a name is
// removed as a link), and not held by a backup under way; whatever their age. Anything else there
// is left alone.
void removeLeftovers(const QString& root) {
    const Descriptor folder(::open(local(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0)
        return;
    const int fd = ::dup(folder.get());
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0)
            ::close(fd);
        return;
    }
    std::vector<QByteArray> names;
    while (const dirent* entry = ::readdir(dir))
        if (isPartialName(QFile::decodeName(entry->d_name)))
            names.emplace_back(entry->d_name);
    ::closedir(dir);
    for (const QByteArray& name : names) {
        struct stat st {};
        if (::fstatat(folder.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISLNK(st.st_mode)) {
            ::unlinkat(folder.get(), name.constData(), 0);
            continue;
        }
        if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        const Descriptor leftover(
            ::openat(folder.get(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (leftover.get() < 0)
            continue;
        // A backup still being made holds its folder locked.
        if (::flock(leftover.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            continue;
        DiskFiles::removeAt(folder.get(), name.constData());
    }
}

QString megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024 * 1024), 'f', 1) + QStringLiteral(" MB");
}

// The nearest folder of the path that exists (the path itself, or a parent of it).
QString nearestExisting(const QString& path) {
    QString folder = QDir(path).absolutePath();
    while (!QFileInfo(folder).isDir() && QFileInfo(folder).absolutePath() != folder)
        folder = QFileInfo(folder).absolutePath();
    return folder;
}

// Whether a backup made now into the folder runs SQLite's full integrity check: yes when no
// backup there made within the last seven days had it (routine backups run the quick check, which
// reads every page but leaves out the indexes' agreement with their tables).
bool fullCheckDue(const QString& root, const QDateTime& now) {
    const QDir dir(root);
    for (const QString& name :
         dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        QFile file(QDir(dir.absoluteFilePath(name)).absoluteFilePath(Backups::ManifestFile));
        if (file.size() > 1024 * 1024 || !file.open(QIODevice::ReadOnly))
            continue;
        const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
        const QDateTime time = QDateTime::fromString(o.value(QStringLiteral("time")).toString(), TimeFormat);
        if (!time.isValid() || !o.value(QStringLiteral("verified")).toBool())
            continue;
        // Backups made before the quick check was used were all checked in full.
        if (o.value(QStringLiteral("check")).toString(QStringLiteral("full")) == QLatin1String("full") &&
            time <= now && time.secsTo(now) < 7 * 24 * 3600)
            return false;
    }
    return true;
}

std::atomic<int> checkPause{0}; // microseconds at each step of the engine's check (tests)

// The copy opens, SQLite finds it whole (its full integrity check, or the quick check), and every
// table holds the rows the shop's file held at the moment of the copy.
//
// A stop interrupts the engine's check where it stands: the connection is known to the stop while
// it is open, and its statements look at the stop every thousand steps.
void checkCopy(const QString& path, const QMap<QString, qint64>& expected, bool full, StopRequest* stop) {
    const QString name = QFileInfo(path).fileName();
    CopyConnection copy(path);
    sqlite3* engine = Db::requireSqlite(QSqlDatabase::database(copy.name(), false));
    struct Watched {
        StopRequest* stop;
        Watched(StopRequest* s, sqlite3* engine) : stop(s) {
            const std::lock_guard guard(stop->lock);
            stop->engine = engine;
        }
        ~Watched() {
            const std::lock_guard guard(stop->lock);
            stop->engine = nullptr;
        }
    } watched(stop, engine);
    sqlite3_progress_handler(
        engine, checkPause.load() > 0 ? 1 : 1000,
        [](void* request) {
            if (const int pause = checkPause.load())
                ::usleep(useconds_t(pause));
            return static_cast<StopRequest*>(request)->requested.load() ? 1 : 0;
        },
        stop);
    stop->heed();
    QSqlQuery check = Db::exec(copy.db(), full ? QStringLiteral("PRAGMA integrity_check")
                                               : QStringLiteral("PRAGMA quick_check"));
    QStringList faults;
    while (check.next())
        if (check.value(0).toString() != QLatin1String("ok"))
            faults << check.value(0).toString();
    if (!faults.isEmpty())
        throw DatabaseError(
            QStringLiteral("备份文件 %1 已损坏：%2").arg(name, faults.mid(0, 5).join(QLatin1String("; "))));
    stop->heed();
    const QStringList tables = tablesOf(copy.db());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        stop->heed();
        if (!tables.contains(it.key()))
            throw DatabaseError(QStringLiteral("备份文件 %1 缺少表 %2").arg(name, it.key()));
        const qint64 found =
            Db::scalar(copy.db(), QStringLiteral("select count(*) from \"%1\"").arg(it.key())).toLongLong();
        if (found != it.value())
            throw DatabaseError(QStringLiteral("备份文件 %1 的表 %2 有 %3 行，应为 %4 行")
                                    .arg(name, it.key())
                                    .arg(found)
                                    .arg(it.value()));
    }
    for (const QString& table : tables)
        if (!expected.contains(table))
            throw DatabaseError(QStringLiteral("备份文件 %1 多出表 %2").arg(name, table));
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
    Staff::require(Staff::Right::Settings, QStringLiteral("备份文件夹"));
    QSettings settings(QDir(workFolder).absoluteFilePath(SettingsFile), QSettings::IniFormat);
    if (folder.isEmpty() || QDir(folder).absolutePath() == defaultRoot(workFolder))
        settings.remove(QStringLiteral("backup/folder"));
    else
        settings.setValue(QStringLiteral("backup/folder"), QDir(folder).absolutePath());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DatabaseError(QStringLiteral("无法保存设置文件 %1").arg(settings.fileName()));
    OpLog::write({OpLog::Settings, QStringLiteral("备份文件夹"), {}, QDir(folder).absolutePath()});
}

void Backups::slowCheck(int microseconds) {
    checkPause = microseconds;
}

QByteArray Backups::sha256(const QString& path) {
    return hashOf(path, nullptr);
}

Backups::Job::Job(const QString& workFolder, const QString& root, const QString& reason)
    : m_workFolder(QDir(workFolder).absolutePath()),
      m_root(QDir(root.isEmpty() ? Backups::root(workFolder) : root).absolutePath()), m_reason(reason),
      m_time(Clock::now()), m_stop(std::make_unique<StopRequest>()) {
    const QFileInfo rootInfo(m_root);
    if (rootInfo.exists() && !rootInfo.isDir())
        throw DatabaseError(QStringLiteral("备份文件夹 %1 不是文件夹").arg(m_root));
    // The backup folder is made only where its parent is: a stick or a share that is not there
    // must not turn into a folder on the computer's own disk.
    if (!rootInfo.exists() && !QFileInfo(rootInfo.absolutePath()).isDir())
        throw DatabaseError(
            QStringLiteral("备份文件夹 %1 不存在（U 盘或网络文件夹是否已接上？）").arg(m_root));
    // What interrupted backups left is removed first: its room is needed.
    removeLeftovers(m_root);
    m_fullCheck = fullCheckDue(m_root, m_time);

    // Room for the copy, before anything is written: the database files as the engine sees them
    // (with what their logs hold), the settings files and the report definitions.
    qint64 bytes = 0;
    for (const QSqlDatabase& db : {Db::business(), Db::lists()})
        bytes += Db::scalar(db, QStringLiteral("PRAGMA page_count")).toLongLong() *
                 Db::scalar(db, QStringLiteral("PRAGMA page_size")).toLongLong();
    for (const QString& name : settingsFiles())
        bytes += QFileInfo(QDir(m_workFolder).absoluteFilePath(name)).size();
    for (const QString& name : reportFiles(m_workFolder))
        bytes += QFileInfo(QDir(m_workFolder).absoluteFilePath(name)).size();
    const QString disk = nearestExisting(m_root);
    struct statvfs space {};
    if (::statvfs(local(disk).constData(), &space) != 0)
        throw DatabaseError(QStringLiteral("无法查看备份文件夹 %1 的磁盘：%2").arg(m_root, cause(errno)));
    const qint64 free = qint64(space.f_bavail) * qint64(space.f_frsize);
    if (free < roomFor(bytes))
        throw DatabaseError(QStringLiteral("磁盘空间不足：备份文件夹 %1 只有 %2 可用，这份备份需要 %3"
                                           "（商店的文件 %4，加上余量）。请腾出空间，或换一个备份文件夹。")
                                .arg(m_root, megabytes(free), megabytes(roomFor(bytes)), megabytes(bytes)));

    if (!rootInfo.exists() && ::mkdir(local(m_root).constData(), 0777) != 0 && errno != EEXIST)
        throw DatabaseError(QStringLiteral("无法建立备份文件夹 %1：%2").arg(m_root, cause(errno)));
    m_partial =
        QDir(m_root).absoluteFilePath(PartialPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces));
    // The shop's figures are the owner's only, in the backup as in the working folder.
    if (::mkdir(local(m_partial).constData(), 0700) != 0)
        throw DatabaseError(QStringLiteral("无法在备份文件夹 %1 中写入：%2").arg(m_root, cause(errno)));
    // Held locked while it is made, so that another backup into the same folder leaves it alone.
    m_folderFd = ::open(local(m_partial).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (m_folderFd >= 0)
        ::flock(m_folderFd, LOCK_EX | LOCK_NB);
    try {
        if (m_folderFd < 0)
            throw DatabaseError(QStringLiteral("无法打开 %1：%2").arg(m_partial, cause(errno)));
        startFile();
    } catch (const LedgerError& e) {
        // No destructor runs for a Job that was never made.
        const QString text = discard(QStringLiteral("备份失败"), e.text());
        if (m_folderFd >= 0)
            ::close(m_folderFd);
        m_folderFd = -1;
        throw DatabaseError(text);
    }
}

Backups::Job::~Job() {
    if (m_backup)
        sqlite3_backup_finish(m_backup);
    if (m_target)
        sqlite3_close(m_target);
    if (!m_finished)
        removeTree(m_partial);
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

QString Backups::Job::discard(const QString& what, const QString& why) {
    if (m_backup)
        sqlite3_backup_finish(m_backup);
    m_backup = nullptr;
    if (m_target)
        sqlite3_close(m_target);
    m_target = nullptr;
    m_finished = true;
    const QString folder = m_placed.isEmpty() ? m_partial : m_placed;
    QString text;
    if (const int error = removeTree(folder))
        text = QStringLiteral("%1。这份备份没有完成，它的文件夹 %2 无法删除（%3），下次备份时会清除。")
                   .arg(what, folder, cause(error));
    else
        text = QStringLiteral("%1，这份备份已删除。").arg(what);
    return why.isEmpty() ? text : text + QLatin1Char('\n') + why;
}

void Backups::Job::startFile() {
    const QString path = QDir(m_partial).absoluteFilePath(databaseFiles().at(m_file));
    if (sqlite3_open_v2(path.toUtf8().constData(), &m_target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        throw DatabaseError(
            QStringLiteral("无法创建备份文件 %1：%2").arg(path, cause(sqlite3_system_errno(m_target))));
    // The copy goes to the disk at the end, away from the windows' thread (a half-made copy is
    // thrown away in any case), and needs no journal of its own until then.
    sqlite3_exec(m_target, "PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    sqlite3* source = Db::requireSqlite(m_file == 0 ? Db::business() : Db::lists());
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
        const int system = sqlite3_system_errno(m_target);
        throw DatabaseError(QStringLiteral("备份文件无法写完：%1").arg(system ? cause(system) : text));
    }
    sqlite3_close(m_target);
    m_target = nullptr;
    ::chmod(local(QDir(m_partial).absoluteFilePath(databaseFiles().at(m_file))).constData(), 0600);
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
    if (m_finished)
        throw DatabaseError(QStringLiteral("备份已中止"));
    if (m_stop->requested.load())
        throw Stopped(discard(QStringLiteral("备份已停止"), QString()));
    try {
        const int rc = sqlite3_backup_step(m_backup, m_slicePages);
        if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_BUSY && rc != SQLITE_LOCKED) {
            // The engine's own words say little ("disk I/O error"): the file system's say more.
            const int system = rc == SQLITE_FULL ? ENOSPC : sqlite3_system_errno(m_target);
            throw DatabaseError(QStringLiteral("无法写入 %1：%2")
                                    .arg(QDir(m_partial).absoluteFilePath(databaseFiles().at(m_file)),
                                         system ? cause(system) : QString::fromUtf8(sqlite3_errstr(rc))));
        }
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
    } catch (const LedgerError& e) {
        throw DatabaseError(discard(QStringLiteral("备份失败"), e.text()));
    }
}

int Backups::Job::percent() const {
    // The business file is nearly all of the work.
    if (m_file >= 2)
        return 90;
    return m_file == 0 ? m_filePercent * 85 / 100 : 85 + m_filePercent * 5 / 100;
}

bool Backups::Job::stop() {
    const std::lock_guard guard(m_stop->lock);
    if (m_stop->placed)
        return false;
    m_stop->requested = true;
    // Safe while the connection is known here: it is closed only after it is forgotten.
    if (m_stop->engine)
        sqlite3_interrupt(m_stop->engine);
    return true;
}

Backups::Backup Backups::Job::finish() {
    if (m_file < 2)
        throw DatabaseError(QStringLiteral("备份尚未复制完"));
    if (m_finished)
        throw DatabaseError(QStringLiteral("备份已中止"));
    bool verifying = false;
    StopRequest* stop = m_stop.get();
    try {
        stop->heed();
        // The shop's settings files and the report definitions as they are now, each read once:
        // copied, hashed and forced to the disk.
        for (const QString& name : settingsFiles()) {
            if (!QFileInfo::exists(QDir(m_workFolder).absoluteFilePath(name)))
                continue;
            CopiedFile file;
            file.name = name;
            file.sha256 = copyDurably(QDir(m_workFolder).absoluteFilePath(name),
                                      QDir(m_partial).absoluteFilePath(name), stop);
            m_files << file;
        }
        const QStringList reports = reportFiles(m_workFolder);
        const QString print = QDir(m_partial).absoluteFilePath(QStringLiteral("print"));
        if (!reports.isEmpty() && ::mkdir(local(print).constData(), 0700) != 0)
            throw DatabaseError(QStringLiteral("无法写入 %1：%2").arg(print, cause(errno)));
        for (const QString& name : reports) {
            CopiedFile file;
            file.name = name;
            file.sha256 = copyDurably(QDir(m_workFolder).absoluteFilePath(name),
                                      QDir(m_partial).absoluteFilePath(name), stop);
            m_files << file;
        }
        // Each database copy is forced to the disk and hashed on a thread of its own while the
        // engine checks it here: the disk, the hash and the check at once.
        for (CopiedFile& file : m_files) {
            const QString path = QDir(m_partial).absoluteFilePath(file.name);
            file.size = QFileInfo(path).size();
            if (file.rows.isEmpty())
                continue;
            std::future<QByteArray> synced = std::async(std::launch::async, [path, stop] {
                syncFileToDisk(path, stop);
                return hashOf(path, stop);
            });
            try {
                verifying = true;
                checkCopy(path, file.rows, m_fullCheck, stop);
                verifying = false;
            } catch (...) {
                synced.wait();
                throw;
            }
            file.sha256 = synced.get();
        }
        Backup backup;
        backup.time = m_time;
        backup.version = QStringLiteral(LEDGER_VERSION);
        backup.reason = m_reason;
        backup.files = m_files;
        backup.verified = true;
        QJsonObject manifest = toJson(backup);
        manifest.insert(QStringLiteral("check"),
                        m_fullCheck ? QStringLiteral("full") : QStringLiteral("quick"));
        writeDurably(QDir(m_partial).absoluteFilePath(ManifestFile), QJsonDocument(manifest).toJson());
        if (!reports.isEmpty())
            syncToDisk(print);
        syncDescriptor(m_folderFd, m_partial);

        // Into place under its dated name; then the backup folder, which holds the new name, goes
        // to the disk too, and the backup is done.
        QString name = m_time.toString(NameFormat);
        for (int n = 2; QFileInfo::exists(QDir(m_root).absoluteFilePath(name)); ++n)
            name = m_time.toString(NameFormat) + QStringLiteral("-%1").arg(n);
        const QString folder = QDir(m_root).absoluteFilePath(name);
        {
            // Past this point the backup stands: a stop either comes before or is too late.
            const std::lock_guard guard(stop->lock);
            stop->heed();
            if (::rename(local(m_partial).constData(), local(folder).constData()) != 0)
                throw DatabaseError(QStringLiteral("无法完成备份文件夹 %1：%2").arg(folder, cause(errno)));
            stop->placed = true;
        }
        m_placed = folder;
        syncToDisk(m_root);
        syncDescriptor(m_folderFd, folder);
        m_finished = true;
        backup.folder = folder;
        return backup;
    } catch (const LedgerError& e) {
        // Whatever a stop cut short (the engine's check says "interrupted") is the stop.
        if (stop->requested.load())
            throw Stopped(discard(QStringLiteral("备份已停止"), QString()));
        throw DatabaseError(
            discard(verifying ? QStringLiteral("备份验证失败") : QStringLiteral("备份失败"), e.text()));
    }
}

qint64 Backups::roomFor(qint64 shopBytes) {
    return shopBytes + shopBytes / 10 + 16 * 1024 * 1024;
}

Backups::Backup Backups::make(const QString& workFolder, const QString& reason, const QString& root) {
    Job job(workFolder, root, reason);
    // Nothing waits between slices here.
    job.setSlicePages(16384);
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
    removeLeftovers(root);
}

Backups::Backup Backups::manifest(const QString& folder) {
    return fromManifest(folder);
}
