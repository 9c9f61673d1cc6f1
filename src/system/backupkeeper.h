#pragma once

#include "ledger/backup.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QProcess;
class QThread;
class QTimer;

// Keeps the shop's backups: runs a backup a slice at a time while the program goes on (the
// copy's verification on a thread of its own), once a day at the first idle moment and on
// request, and knows the last good backup for the status bar.
// What a till says of restoring when the ledger is on a server.
inline const QString ServerRestore =
    QStringLiteral("账本在数据库服务器上：收银台不能把备份恢复到服务器上。服务器上的账本由负责备份的收银台"
                   "每天备份一次（也可以在“数据备份”中立即备份），每份备份都可以作为本机账本打开查看。");

// A backup's time as the backup windows show it.
inline QString backupTime(const Backups::Backup& backup) {
    return backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

class BackupKeeper : public QObject {
    Q_OBJECT
public:
    explicit BackupKeeper(QObject* parent = nullptr);
    ~BackupKeeper() override;

    // The working folder's backup folder (set or default).
    QString root() const;
    void setRoot(const QString& folder);
    std::optional<Backups::Backup> lastGood() const { return m_lastGood; }
    // No good backup, or the last one older than a day.
    bool overdue() const;

    // Starts a backup; false when one is running already.
    bool start(const QString& reason);
    bool running() const { return m_job || m_server; }
    // A ledger on a server: whether this till makes the daily backup (the owner's choice, kept
    // with the ledger).
    bool backsUpHere() const;
    int percent() const;
    // Stops a backup in progress without waiting: a copy at once, a verification within a moment
    // (running() stays true until it has ended). stopped() follows, or finished() when the
    // verification had already given the backup its place.
    void stop();
    bool stopping() const { return m_stopping; }
    // Stops a backup in progress and waits until it has ended (a moment at most): nothing of it
    // stays, and nothing is reported.
    void abandon();
    // Reads the backup folder again.
    void refresh();
    // Starts the automatic backups' clock (the running program only).
    void startClock();
    // The automatic backup's look at the clock: starts one when a day has passed and the
    // program is idle. Runs every minute by itself.
    void tick();

signals:
    void progress(int percent);
    void finished(const Backups::Backup& backup);
    void failed(const QString& text);
    // A backup was stopped: nothing of it stays (the text says so).
    void stopped(const QString& text);
    // The last good backup changed (or was read again).
    void changed();

private:
    // A ledger on a server is backed up by the backup tool, beside the program: one moment of the
    // server, taken while the tills work on.
    bool startOnServer(const QString& reason);
    void serverDone(int exitCode);
    void nextSlice();
    void verified();
    std::unique_ptr<Backups::Job> m_job;
    int m_slicePages = 256; // pages copied by the next slice, fitted to its time
    QThread* m_verifier = nullptr;
    std::optional<Backups::Backup> m_result;
    QString m_error;
    bool m_stopped = false; // the verification ended by the stop
    bool m_stopping = false;
    std::optional<Backups::Backup> m_lastGood;
    QTimer* m_clock = nullptr;
    QProcess* m_server = nullptr;
};

extern BackupKeeper* backup_keeper;
