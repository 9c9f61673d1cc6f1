#pragma once

#include "core/errors.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

struct sqlite3;
struct sqlite3_backup;

// Backups of a working folder: a consistent copy of both database files, taken from the open
// connections, plus the shop's settings files and the report definitions, in a dated folder; verified before
// it counts and described by a manifest. Restoring swaps a verified backup's files in so that a failure at
// any step leaves the folder's files as they were.
namespace Backups {

inline const QString ManifestFile = QStringLiteral("manifest.json");

struct CopiedFile {
    QString name;      // relative to the backup folder: "service_a.dll", "print/xx.json"
    QByteArray sha256; // hex
    qint64 size = 0;
    QMap<QString, qint64> rows; // database files: the row count of every table
};

struct Backup {
    QString folder; // absolute path of the backup's folder
    QDateTime time;
    QString version;
    QString reason; // "自动备份", "手动备份", "恢复前备份", ...
    QList<CopiedFile> files;
    bool verified = false;
    QString problem; // why it cannot be used (no manifest, unreadable, ...)

    qint64 rows(const QString& file, const QString& table) const;
    // "订单 12 · 产品 340 · 会员 25": the counts a shop keeper recognises.
    QString summary() const;
};

// The folder backups go to: set for the working folder, or its backup/ folder.
QString root(const QString& workFolder);
QString defaultRoot(const QString& workFolder);
void setRoot(const QString& workFolder, const QString& folder);

// A backup stopped on request (Job::stop): nothing of it stays. The text says so (and where its
// folder stays when it could not be removed).
class Stopped : public LedgerError {
public:
    using LedgerError::LedgerError;
    const char* kind() const override { return "Stopped"; }
};

struct StopRequest; // a Job's stop, shared with the thread that verifies it

// One backup in the making. Copying runs a slice at a time on the thread that owns the open
// connections (between slices the program goes on, and writes it makes meanwhile are carried into
// the copy); verifying touches no connection and may run on another thread.
//
// Before anything is written, what interrupted backups left in the backup folder is removed, and
// the folder's disk must have room for the copy (roomFor); a folder that is missing, full or
// read-only is named as such. Every file of the backup and its folder are forced to the disk
// before the folder gets its dated name, and the backup folder after: a backup reported done
// survives a power cut. Every message a Job throws is the whole story for the user: what failed,
// and whether the unfinished backup was removed or where it stays.
class Job {
public:
    Job(const QString& workFolder, const QString& root, const QString& reason);
    ~Job(); // an unfinished backup's folder is removed
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Copies the next slice; true once both files are copied and their tables counted. Throws
    // DatabaseError (the folder removed) when the copy fails.
    bool step();
    // Pages copied per slice (4 KB each).
    void setSlicePages(int pages) { m_slicePages = pages; }
    // Where the row count of a table of the business file is already known (the lists keep the
    // counts of their tables in step with every write), the copy's moment need not count it.
    using RowCounter = std::function<std::optional<qint64>(const QString& table)>;
    void setRowCounter(RowCounter counter) { m_counter = std::move(counter); }
    int percent() const;
    // Whether the verification runs SQLite's full integrity check (when no backup in the folder
    // had one within the last seven days) or the quick check.
    bool fullCheck() const { return m_fullCheck; }
    // Verifies the copy (it opens, its integrity check says ok, every table holds the rows the
    // source held at the moment of the copy), writes the manifest and gives the folder its dated
    // name. Throws DatabaseError (the folder removed) when the copy cannot be trusted.
    Backup finish();
    // Stops the backup; callable from any thread while step() or finish() runs on another. The
    // copy stops at its next slice, the verification within a moment (its reads, the writing to
    // the disk and SQLite's integrity check are cut short); step() or finish() then throws Stopped
    // with the folder removed. False when the stop came too late: finish() had given the folder
    // its dated name, and the backup stands.
    bool stop();

private:
    void startFile();
    void endFile();
    // Removes the unfinished backup's folder and says so (or says where it stays): the text of
    // the DatabaseError a failed backup throws.
    QString discard(const QString& what, const QString& why);
    QString m_workFolder;
    QString m_root;
    QString m_reason;
    QString m_partial;   // the folder while it is made
    QString m_placed;    // the folder once it has its dated name
    int m_folderFd = -1; // the folder, held locked while the backup is made
    QDateTime m_time;
    int m_file = 0; // 0: service_a.dll, 1: service_b.dll, 2: copied
    sqlite3* m_target = nullptr;
    sqlite3_backup* m_backup = nullptr;
    int m_filePercent = 0;
    int m_slicePages = 1024; // 4 MB: a few milliseconds
    bool m_fullCheck = true;
    RowCounter m_counter;
    QList<CopiedFile> m_files;
    bool m_finished = false;
    std::unique_ptr<StopRequest> m_stop;
};

// The free space a backup needs on the disk it goes to, for a shop whose files hold the given
// bytes: the copy, and a margin (a tenth more and 16 MB) for the file system's own blocks and the
// writes the shop makes while it is copied.
qint64 roomFor(qint64 shopBytes);

// A whole backup at once: copy, verify, then prune older backups. Throws DatabaseError.
Backup make(const QString& workFolder, const QString& reason, const QString& root = QString());

// The backups in a folder, newest first, read from their manifests (folders without a usable
// manifest are listed with their problem).
QList<Backup> list(const QString& root);
// The newest verified backup in the folder, if any.
std::optional<Backup> lastGood(const QString& root);
// Verifies a backup again against its manifest: every file's SHA-256, the integrity check and
// the row counts. Throws DatabaseError naming what does not agree.
Backup verify(const QString& folder);
// Keeps the newest 30 backups and the newest of each of the last twelve months; removes the
// rest and leftovers of interrupted backups (links are removed, never what they point to). Run
// only after a backup verified.
void prune(const QString& root, const QString& keep = QString());

// ---- Restoring (src/ledger/restore.cpp) ----

// A backup's manifest as it reads, with the problem that keeps it from being used (a missing
// database file, a name a backup of this program never holds); the files are not looked at.
Backup manifest(const QString& folder);

// Puts a verified backup's files in place of the folder's files, which must be closed when the
// swap begins. Everything is checked before the first file of the folder is touched: the backup
// again (names, links, SHA-256, integrity, rows), then its files copied beside the current ones and
// checked there (SHA-256, the program's own file check, the receipt settings). Then beforeSwap runs
// (the caller's last word: a backup of the current files, closing them), and the swap itself is
// written down in the folder's restore journal before its first rename, so that a swap cut off is
// completed at the next start (finishInterruptedRestore). A failure before or during the swap puts
// the current files back as they were. Throws DatabaseError (or Refused) saying what happened.
void swapIn(const QString& workFolder, const QString& backupFolder,
            const std::function<void()>& beforeSwap = {});

// What finishInterruptedRestore did.
struct Resumed {
    QString backup;         // the backup the interrupted restore put in place (empty: nothing was left)
    bool completed = false; // true: the backup's files are in place; false: the files from before
    QString text;           // what happened, in the shop keeper's words (empty: nothing was left)
};
// A restore whose swap was cut off (the program killed, the machine stopped) left its journal in the
// folder: the swap is completed now (the backup's files were all copied and checked before it
// began), or, when that is not possible, undone; either way the folder holds wholly one side
// afterwards. Run before the files are opened, by the program and every tool. Throws Refused when
// another program is restoring the folder right now, DatabaseError when the files cannot be put
// right (the journal stays for the next try).
Resumed finishInterruptedRestore(const QString& workFolder);
// The journal's name in the working folder.
inline const QString RestoreJournal = QStringLiteral("restore.journal");

// Keeps the folder's database files that cannot be opened (damaged, foreign) exactly as they are,
// with their log files, in a new folder "damaged-yyyy-MM-dd_HHmmss" of the working folder, so a
// restore can replace them without losing them; the log files beside them are then removed (they
// belong to the kept files). Returns the new folder. Throws DatabaseError when a copy fails.
QString setAsideDamaged(const QString& workFolder);
// For tests: the restore step (1 …) that fails with an injected error; 0 for none. A restore of
// the backup in the folder takes restoreSteps(folder) steps.
void failRestoreAtStep(int step);
int restoreSteps(const QString& backupFolder);
// For tests: runs with each restore step's number before the step is taken (the copies of the
// backup's files beside the current ones are made from step 1 on; all of them are checked after
// the last copying step); an empty function turns it off.
void atRestoreStep(std::function<void(int)> hook);

// For tests: the engine's check of a backup's copy pauses this many microseconds at each of its
// steps, as slow as a big shop's verification; 0 for none.
void slowCheck(int microseconds);

// The SHA-256 of a file as lowercase hex.
QByteArray sha256(const QString& path);

} // namespace Backups
