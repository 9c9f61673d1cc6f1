// Restoring a backup into a working folder: the backup is data, never instructions (its names are
// checked, it holds no links, its database files pass the program's own file check, its receipt
// settings are checked like the dialog's), and the swap of the files is written down in a journal
// before its first rename, so that a restore cut off at any point is completed at the next start.
#include "ledger/backup.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/schema.h"
#include "ledger/diskfiles.h"
#include "ledger/receipts.h"
#include "ledger/staff.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Incoming = QStringLiteral(".restoring");
const QString Outgoing = QStringLiteral(".before-restore");
const QString Print = QStringLiteral("print");
const QString JournalDraft = QStringLiteral("restore.journal.new");

int faultyStep = 0;
std::function<void(int)> stepHook;

const QStringList& databaseNames() {
    static const QStringList names = {Db::BusinessFile, Db::ListsFile};
    return names;
}

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

bool diskFull(int error) {
    return error == ENOSPC || error == EDQUOT;
}

QString fullText(const QString& folder, qint64 needed) {
    return QStringLiteral("磁盘空间不足：文件夹 %1 中放不下备份的文件（还需要约 %2 MB）。请腾出空间后"
                          "再恢复。")
        .arg(folder)
        .arg(std::max<qint64>(1, (needed + (1 << 20) - 1) >> 20));
}

// A name in the folder, whatever it is (a link counts as itself).
bool present(const QString& path) {
    struct stat st {};
    return ::lstat(native(path).constData(), &st) == 0;
}

using Fd = DiskFiles::Descriptor;

// Forces a folder's entries (names made, renamed or removed) to the disk.
void syncFolder(const QString& folder) {
    Fd fd(::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::fsync(fd.get()) != 0)
        throw DatabaseError(QStringLiteral("无法把文件夹 %1 写到磁盘：%2").arg(folder, errnoText(errno)));
}

// Renames an entry of the working folder, never over another, and forces the rename to the disk.
void renameEntry(const QString& from, const QString& to) {
    int rc =
        ::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE);
    if (rc != 0 && errno == EINVAL && !present(to)) // a file system without RENAME_NOREPLACE
        rc = ::rename(native(from).constData(), native(to).constData());
    if (rc != 0)
        throw DatabaseError(QStringLiteral("无法将 %1 改名为 %2：%3").arg(from, to, errnoText(errno)));
    syncFolder(QFileInfo(to).absolutePath());
}

// Removes a file, a link (never what it points to) or a folder with what is in it.
void removeEntry(const QString& path) {
    if (const int error = DiskFiles::removeTree(path))
        throw DatabaseError(QStringLiteral("无法删除 %1：%2").arg(path, errnoText(error)));
}

// Copies a plain file of the backup (never through a link) to a new file of the working folder and
// forces it to the disk. A full disk is said as such, naming the folder.
void copyIn(const QString& from, const QString& to) {
    const QString folder = QFileInfo(to).absolutePath();
    Fd in(::open(native(from).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (in.get() < 0 || ::fstat(in.get(), &st) != 0)
        throw DatabaseError(QStringLiteral("无法读取 %1：%2").arg(from, errnoText(errno)));
    if (!S_ISREG(st.st_mode))
        throw DatabaseError(QStringLiteral("备份中的 %1 不是普通文件").arg(from));
    Fd out(::open(native(to).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0)
        throw DatabaseError(diskFull(errno) ? fullText(folder, st.st_size)
                                            : QStringLiteral("无法写入 %1：%2").arg(to, errnoText(errno)));
    auto failedWrite = [&](qint64 left) {
        const int error = errno;
        return DatabaseError(diskFull(error) ? fullText(folder, left)
                                             : QStringLiteral("无法写入 %1：%2").arg(to, errnoText(error)));
    };
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    qint64 left = st.st_size;
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), size_t(buffer.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw DatabaseError(QStringLiteral("无法读取 %1：%2").arg(from, errnoText(errno)));
        if (n == 0)
            break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out.get(), buffer.constData() + done, size_t(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                throw failedWrite(left);
            done += w;
            left -= w;
        }
    }
    if (::fsync(out.get()) != 0 || out.reset() != 0)
        throw failedWrite(std::max<qint64>(left, 4096));
}

QStringList topLevelNames(const Backups::Backup& backup) {
    QStringList names;
    for (const Backups::CopiedFile& f : backup.files)
        if (!f.name.startsWith(Print + QLatin1Char('/')))
            names << f.name;
    return names;
}

bool hasReports(const Backups::Backup& backup) {
    return std::any_of(backup.files.cbegin(), backup.files.cend(), [](const Backups::CopiedFile& f) {
        return f.name.startsWith(Print + QLatin1Char('/'));
    });
}

// Where a file of the backup is put beside the current ones: inside the working folder, whatever
// the manifest says (its names were checked already; this is the second line).
QString stagedPath(const QDir& work, const QString& name) {
    const QString path = name.startsWith(Print + QLatin1Char('/'))
                             ? QDir(work.absoluteFilePath(Print + Incoming)).absoluteFilePath(name.mid(6))
                             : work.absoluteFilePath(name + Incoming);
    const QString clean = QDir::cleanPath(path);
    const QString parent = QFileInfo(clean).absolutePath();
    if (parent != work.absolutePath() && parent != work.absoluteFilePath(Print + Incoming))
        throw DatabaseError(QStringLiteral("备份中的文件名“%1”指向工作文件夹之外，没有恢复").arg(name));
    return clean;
}

// The step of a swap recorded in the journal: one entry of the working folder, and whether the
// folder had it before.
struct Entry {
    QString name;
    bool old = false;
};

const QStringList& journalNames() {
    static const QStringList names = {Db::BusinessFile, Db::ListsFile, QStringLiteral("receipt.ini"), Print};
    return names;
}

// Puts each entry on one side: forward, the backup's files in place and the current ones beside
// them (".before-restore"); back, the current files in place and the backup's beside them
// (".restoring"). Every rename is forced to the disk. Forward is possible while every entry has a
// side to come from; returns the side reached.
bool settle(const QDir& work, const QList<Entry>& entries, bool forward) {
    auto path = [&work](const QString& name, const QString& suffix = QString()) {
        return work.absoluteFilePath(name + suffix);
    };
    if (forward)
        forward = std::all_of(entries.cbegin(), entries.cend(), [&](const Entry& e) {
            if (present(path(e.name, Incoming)))
                return !(present(path(e.name)) && present(path(e.name, Outgoing)));
            return present(path(e.name));
        });
    for (const Entry& e : entries) {
        if (forward) {
            if (!present(path(e.name, Incoming)))
                continue;
            if (present(path(e.name)))
                renameEntry(path(e.name), path(e.name, Outgoing));
            renameEntry(path(e.name, Incoming), path(e.name));
        } else if (present(path(e.name, Outgoing))) {
            if (present(path(e.name))) {
                removeEntry(path(e.name, Incoming));
                renameEntry(path(e.name), path(e.name, Incoming));
            }
            renameEntry(path(e.name, Outgoing), path(e.name));
        } else if (!e.old && present(path(e.name)) && !present(path(e.name, Incoming))) {
            // The backup brought it; the folder had none.
            renameEntry(path(e.name), path(e.name, Incoming));
        }
    }
    return forward;
}

// Removes what the side not taken left: the backup's copies, or the files from before.
void clearSide(const QDir& work, const QStringList& names, bool forward) {
    for (const QString& name : names) {
        removeEntry(work.absoluteFilePath(name + (forward ? Outgoing : Incoming)));
        for (const char* log : {"-wal", "-shm", "-journal"})
            removeEntry(work.absoluteFilePath(name + Incoming + QLatin1String(log)));
    }
    syncFolder(work.absolutePath());
}

QList<Entry> readJournal(const QByteArray& bytes, QString* backup) {
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(bytes, &error).object();
    if (error.error != QJsonParseError::NoError ||
        o.value(QStringLiteral("program")).toString() != QLatin1String("vandrel-ledger"))
        return {};
    *backup = o.value(QStringLiteral("backup")).toString();
    QList<Entry> entries;
    for (const QJsonValue& v : o.value(QStringLiteral("entries")).toArray()) {
        const Entry e{v.toObject().value(QStringLiteral("name")).toString(),
                      v.toObject().value(QStringLiteral("old")).toBool()};
        if (!journalNames().contains(e.name))
            return {};
        entries << e;
    }
    return entries;
}

QByteArray journalText(const QString& backup, const QList<Entry>& entries) {
    QJsonArray list;
    for (const Entry& e : entries)
        list.append(QJsonObject{{"name", e.name}, {"old", e.old}});
    return QJsonDocument(QJsonObject{{"program", QStringLiteral("vandrel-ledger")},
                                     {"backup", backup},
                                     {"time", Clock::now().toString(Qt::ISODate)},
                                     {"entries", list}})
        .toJson();
}

QStringList namesOf(const QList<Entry>& entries) {
    QStringList names;
    for (const Entry& e : entries)
        names << e.name;
    return names;
}

} // namespace

void Backups::failRestoreAtStep(int step) {
    faultyStep = step;
}

void Backups::atRestoreStep(std::function<void(int)> hook) {
    stepHook = std::move(hook);
}

int Backups::restoreSteps(const QString& backupFolder) {
    const Backup backup = manifest(backupFolder);
    const int files = int(topLevelNames(backup).size());
    return files + 1 + 2 * (files + (hasReports(backup) ? 1 : 0));
}

Backups::Resumed Backups::finishInterruptedRestore(const QString& workFolder) {
    Resumed resumed;
    const QDir work(workFolder);
    const QString path = work.absoluteFilePath(RestoreJournal);
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0) {
        // A restore cut off before its swap began leaves only copies beside the files: they go.
        const bool left =
            present(work.absoluteFilePath(JournalDraft)) ||
            std::any_of(journalNames().cbegin(), journalNames().cend(), [&work](const QString& name) {
                return present(work.absoluteFilePath(name + Incoming));
            });
        if (left) {
            clearSide(work, journalNames(), false);
            removeEntry(work.absoluteFilePath(JournalDraft));
            syncFolder(work.absolutePath());
        }
        return resumed;
    }
    if (!S_ISREG(st.st_mode))
        throw DatabaseError(QStringLiteral("%1 不是本程序的恢复记录。请把它移出文件夹 %2 后再试。")
                                .arg(RestoreJournal, workFolder));
    Fd fd(::open(native(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0)
        throw DatabaseError(QStringLiteral("无法读取恢复记录 %1：%2").arg(path, errnoText(errno)));
    // The restore that wrote it holds it locked while it runs.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        throw Refused(
            QStringLiteral("另一个程序正在恢复文件夹 %1 的数据，请等它完成后再试。").arg(workFolder));
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd.get(), buffer, sizeof buffer)) != 0 && bytes.size() < (1 << 20);) {
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw DatabaseError(QStringLiteral("无法读取恢复记录 %1：%2").arg(path, errnoText(errno)));
        bytes.append(buffer, n);
    }
    const QList<Entry> entries = readJournal(bytes, &resumed.backup);
    if (entries.isEmpty())
        throw DatabaseError(QStringLiteral("恢复记录 %1 无法读取，文件夹中的文件没有改动。请查看文件夹 %2 中"
                                           "以 .restoring 和 .before-restore 结尾的文件，再把恢复记录移走。")
                                .arg(path, workFolder));
    try {
        resumed.completed = settle(work, entries, true);
        clearSide(work, namesOf(entries), resumed.completed);
        if (::unlink(native(path).constData()) != 0)
            throw DatabaseError(QStringLiteral("无法删除 %1：%2").arg(path, errnoText(errno)));
        syncFolder(work.absolutePath());
    } catch (const LedgerError& e) {
        throw DatabaseError(
            QStringLiteral("上次被中断的恢复无法完成：%1\n恢复记录 %2 保留着，文件夹中的文件"
                           "一个也没有丢；腾出空间或改正上面的问题后，再启动程序或运行任一工具即可完成。")
                .arg(e.text(), path));
    }
    resumed.text =
        resumed.completed
            ? QStringLiteral("上次被中断的恢复已经完成：文件夹 %1 中现在是备份 %2 的数据。")
                  .arg(workFolder, resumed.backup)
            : QStringLiteral("上次被中断的恢复已经撤销：文件夹 %1 中仍是恢复前的数据。").arg(workFolder);
    qInfo("%s", qPrintable(resumed.text));
    return resumed;
}

void Backups::swapIn(const QString& workFolder, const QString& backupFolder,
                     const std::function<void()>& beforeSwap) {
    Staff::require(Staff::Right::BackupRestore, QStringLiteral("恢复 %1").arg(backupFolder));
    const QDir work(QDir(workFolder).absolutePath());
    finishInterruptedRestore(work.absolutePath());
    const Backup backup = [&backupFolder] {
        try {
            return verify(backupFolder);
        } catch (const LedgerError& e) {
            throw DatabaseError(QStringLiteral("%1\n没有恢复，当前文件保持原样。").arg(e.text()));
        }
    }();
    const QStringList names = topLevelNames(backup);
    const bool withReports = hasReports(backup);
    QStringList moved = names;
    if (withReports)
        moved << Print;
    for (const QString& name : moved)
        if (present(work.absoluteFilePath(name + Outgoing)))
            throw DatabaseError(
                QStringLiteral("文件夹中有以前的恢复留下的 %1（没有恢复记录）。请确认里面的数据"
                               "不再需要后把它移走，再恢复。当前文件保持原样。")
                    .arg(name + Outgoing));
    int step = 0;
    auto reach = [&step] {
        if (stepHook)
            stepHook(step + 1);
        if (++step == faultyStep)
            throw DatabaseError(QStringLiteral("restore step %1 failed (injected)").arg(step));
    };
    auto cleanIncoming = [&] {
        try {
            clearSide(work, journalNames(), false);
            removeEntry(work.absoluteFilePath(JournalDraft));
        } catch (const LedgerError&) {
            // Left for the next restore, which removes them first.
        }
    };
    // First the backup's files are copied beside the current ones and checked there; nothing of
    // the current files is touched until all of them are.
    try {
        cleanIncoming();
        qint64 needed = 0;
        for (const CopiedFile& f : backup.files)
            needed += (f.size + 4095) / 4096 * 4096;
        const QStorageInfo disk(work.absolutePath());
        if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < needed)
            throw DatabaseError(fullText(work.absolutePath(), needed - disk.bytesAvailable()));
        for (const QString& name : names) {
            reach();
            copyIn(QDir(backupFolder).absoluteFilePath(name), stagedPath(work, name));
        }
        reach();
        if (withReports) {
            const QString print = work.absoluteFilePath(Print + Incoming);
            if (::mkdir(native(print).constData(), 0700) != 0)
                throw DatabaseError(
                    diskFull(errno) ? fullText(work.absolutePath(), needed)
                                    : QStringLiteral("无法建立文件夹 %1：%2").arg(print, errnoText(errno)));
            for (const CopiedFile& f : backup.files)
                if (f.name.startsWith(Print + QLatin1Char('/')))
                    copyIn(QDir(backupFolder).absoluteFilePath(f.name), stagedPath(work, f.name));
            syncFolder(print);
        }
        syncFolder(work.absolutePath());
        for (const CopiedFile& f : backup.files)
            if (sha256(stagedPath(work, f.name)) != f.sha256)
                throw DatabaseError(QStringLiteral("复制后的 %1 与备份不符").arg(f.name));
        // The program's own check of its files, as at a start: a database that is not this
        // program's is refused here, before anything is swapped.
        for (const auto& [file, tables] : {std::pair{Db::BusinessFile, &Schema::businessTables()},
                                           std::pair{Db::ListsFile, &Schema::listTables()}})
            if (const QString problem = Schema::fileProblem(stagedPath(work, file), *tables);
                !problem.isEmpty())
                throw DatabaseError(
                    QStringLiteral("备份中的 %1 不是本程序能用的账本文件：%2").arg(file, problem));
        if (names.contains(QStringLiteral("receipt.ini")))
            if (const QString problem =
                    Receipts::settingsProblem(stagedPath(work, QStringLiteral("receipt.ini")));
                !problem.isEmpty())
                throw DatabaseError(QStringLiteral("备份中的小票设置 receipt.ini 不能使用：%1").arg(problem));
        if (beforeSwap)
            beforeSwap();
        for (const QString& name : databaseNames())
            for (const char* suffix : {"-wal", "-journal"})
                if (QFileInfo::exists(work.absoluteFilePath(name + QLatin1String(suffix))))
                    throw DatabaseError(
                        QStringLiteral("%1 旁还有未写完的日志文件，请先正常启动并退出程序").arg(name));
    } catch (const LedgerError& e) {
        cleanIncoming();
        throw DatabaseError(QStringLiteral("%1\n没有恢复，当前文件保持原样。").arg(e.text()));
    }
    // The swap is written down before its first rename (and kept locked while it runs): a swap
    // cut off is completed at the next start from it.
    QList<Entry> entries;
    for (const QString& name : moved)
        entries << Entry{name, present(work.absoluteFilePath(name))};
    const QString journal = work.absoluteFilePath(RestoreJournal);
    Fd lock;
    try {
        const QString draft = work.absoluteFilePath(JournalDraft);
        lock.reset(
            ::open(native(draft).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX) != 0)
            throw DatabaseError(diskFull(errno)
                                    ? fullText(work.absolutePath(), 4096)
                                    : QStringLiteral("无法写入恢复记录 %1：%2").arg(draft, errnoText(errno)));
        const QByteArray text = journalText(QDir(backupFolder).absolutePath(), entries);
        if (::write(lock.get(), text.constData(), size_t(text.size())) != ssize_t(text.size()) ||
            ::fsync(lock.get()) != 0)
            throw DatabaseError(diskFull(errno)
                                    ? fullText(work.absolutePath(), 4096)
                                    : QStringLiteral("无法写入恢复记录 %1：%2").arg(draft, errnoText(errno)));
        renameEntry(draft, journal);
    } catch (const LedgerError& e) {
        cleanIncoming();
        throw DatabaseError(QStringLiteral("%1\n没有恢复，当前文件保持原样。").arg(e.text()));
    }
    // Then each current entry is moved aside and the copy renamed into its place; a failure puts
    // the current ones back.
    try {
        for (const QString& name : moved) {
            reach();
            if (present(work.absoluteFilePath(name)))
                renameEntry(work.absoluteFilePath(name), work.absoluteFilePath(name + Outgoing));
            reach();
            renameEntry(work.absoluteFilePath(name + Incoming), work.absoluteFilePath(name));
        }
    } catch (const LedgerError& e) {
        try {
            settle(work, entries, false);
            clearSide(work, moved, false);
            ::unlink(native(journal).constData());
            syncFolder(work.absolutePath());
        } catch (const LedgerError& undo) {
            throw DatabaseError(
                QStringLiteral("恢复在替换文件时失败：%1\n也无法放回原来的文件：%2\n恢复记录 %3 "
                               "保留着，文件一个也没有丢；改正问题后启动程序或运行任一工具，"
                               "恢复会自动完成。")
                    .arg(e.text(), undo.text(), journal));
        }
        throw DatabaseError(QStringLiteral("%1\n没有恢复，当前文件已放回原处，保持原样。").arg(e.text()));
    }
    // The backup's files are in place: what was there before is removed, then the journal.
    try {
        clearSide(work, moved, true);
        if (::unlink(native(journal).constData()) != 0)
            throw DatabaseError(QStringLiteral("无法删除 %1：%2").arg(journal, errnoText(errno)));
        syncFolder(work.absolutePath());
    } catch (const LedgerError& e) {
        throw DatabaseError(QStringLiteral("备份的文件已经恢复，但恢复前的文件没能删除：%1\n下次启动程序或"
                                           "运行任一工具时会再删除。")
                                .arg(e.text()));
    }
}

QString Backups::setAsideDamaged(const QString& workFolder) {
    const QDir work(workFolder);
    const QString name =
        QStringLiteral("damaged-") + Clock::now().toString(QStringLiteral("yyyy-MM-dd_HHmmss"));
    if (!work.mkpath(name))
        throw DatabaseError(QStringLiteral("无法建立文件夹 %1").arg(work.absoluteFilePath(name)));
    const QDir kept(work.absoluteFilePath(name));
    QStringList logs;
    for (const QString& file : databaseNames())
        for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
            const QString from = work.absoluteFilePath(file + QLatin1String(suffix));
            if (!QFileInfo::exists(from))
                continue;
            const QString to = kept.absoluteFilePath(file + QLatin1String(suffix));
            if (present(to))
                throw DatabaseError(QStringLiteral("无法把 %1 复制到 %2：已有同名文件").arg(from, to));
            copyIn(from, to);
            if (sha256(from) != sha256(to))
                throw DatabaseError(QStringLiteral("无法把 %1 复制到 %2").arg(from, to));
            if (*suffix)
                logs << from;
        }
    syncFolder(kept.absolutePath());
    syncFolder(work.absolutePath());
    for (const QString& log : logs)
        if (::unlink(native(log).constData()) != 0)
            throw DatabaseError(QStringLiteral("无法删除 %1：%2").arg(log, errnoText(errno)));
    syncFolder(work.absolutePath());
    return kept.absolutePath();
}
