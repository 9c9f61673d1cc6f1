#pragma once

#include "data/server.h"
#include "data/sharedquery.h"

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QTimer;
class TableIndex;
class TableIndexes;

// The data module: the two database connections of the working folder and the shared queries
// that the windows show. Created once at start-up as a child of the application object; opening
// it opens both files exclusively and every shared query on its default statement.
class TData_in : public QObject {
    Q_OBJECT
public:
    // The files' passwords. SQLite files carry none: the files are protected by the exclusive
    // open and by owner-only permissions instead.
    static inline const QString PasswordA = QStringLiteral("q7#mTz2@vd4k");
    static inline const QString PasswordB = QStringLiteral("%t4Lp8&wq2$n");

    // Opens the files in the folder (the working directory by default), or the server its
    // server.conf names. Throws DatabaseError.
    explicit TData_in(QObject* parent, const QString& folder = QString());

    // Asks the user for the server's password (the text says why); an empty answer gives up.
    // Set by the program's start; without it a server that wants a password fails to open.
    using PasswordAsker = std::function<QString(const QString& problem)>;
    static void setPasswordAsker(PasswordAsker asker);
    // The ledger is on a server (several tills), not in the folder's files.
    bool onServer() const { return m_server.has_value(); }
    // On a server: the password typed at the start (empty when none was asked), for the tools
    // this program runs on the same ledger.
    QString serverPassword() const { return m_server ? m_server->password : QString(); }
    // On a server: the connections reach it (false from a loss until they are open again).
    bool serverReachable() const { return !m_serverDown; }
    // How often a till on a server looks whether its connections still reach it.
    static constexpr int WatchMs = 2000;
    // Looks at once whether both connections reach the server; opens a lost one again, and
    // announces the loss (Announcer::disconnected, once) or the connection back (reconnected).
    void watchServer();
    ~TData_in() override;

    SharedQuery* query(const QString& name) const;
    // The working folder whose files are open.
    const QString& folder() const { return m_folder; }
    // Report connections: Rv_aa … Rv_ak (and the statistics lists Rv_tj1 … Rv_tj5) name the
    // shared query a report reads.
    SharedQuery* reportSource(const QString& connection) const;
    static QStringList reportConnections();

    SharedQuery* Query_aa = nullptr;
    SharedQuery* Query_ab = nullptr;
    SharedQuery* Query_ac = nullptr;
    SharedQuery* Query_ae = nullptr;
    SharedQuery* Query_ag = nullptr;
    SharedQuery* Query_ah = nullptr;
    SharedQuery* Query_aj = nullptr;
    SharedQuery* Query_af = nullptr;
    SharedQuery* Query_ak = nullptr;
    SharedQuery* Query_a1 = nullptr;
    SharedQuery* Query_a2 = nullptr;
    SharedQuery* Query_a3 = nullptr;
    SharedQuery* Query_a4 = nullptr;
    SharedQuery* Query_a5 = nullptr;

    // Folds the write-ahead logs back into both files: afterwards the two files alone hold every
    // committed write. Done by itself once the program has been idle for a moment after writes,
    // and when the files are closed. A failure (DiskFull when the disk has no room) leaves the
    // log whole beside its file: nothing committed is lost, and the next open reads it.
    void checkpoint();
    static constexpr int IdleMs = 2000;
    // Called after every commit to either file.
    void written();
    // No write is waiting to be folded into the files.
    bool idle() const;
    // The number of rows of a table of the business file where a list's index keeps it.
    std::optional<qint64> rowCount(const QString& table) const;
    // On a server: reads the tables of the indexes not read yet on a thread of its own, each taken
    // in on this thread when it has been read. Done by itself shortly after the start.
    void readIndexesAside();
    // The index of a table's list (tests, benchmarks); none when the list is read whole.
    TableIndex* index(const QString& table) const;
    // On a server: rows of the table may have been written by another program, which tells the
    // tills nothing; the list's index counts the table again and reads it on its own thread (a
    // search before that reads it itself). The lists' 刷新 says so. (A file's hooks see every write
    // of the program's connection.)
    void writtenElsewhere(const QString& table);
    // Closes both files, runs `whileClosed` (which may replace them), opens the files of the folder
    // again and reads every open list afresh. A failure in between is rethrown after the reopen.
    void reopen(const std::function<void()>& whileClosed);

signals:
    // A log could not be written back into its file (by itself after writes, once until one
    // succeeds again; or at the close): the text says why, for a full disk the folder and the room
    // needed. The log stays whole.
    void writeBackFailed(const QString& text);

private:
    void openFiles();
    // The big lists are counted, searched and paged through these indexes.
    void indexLists(std::unique_ptr<TableIndexes> indexes);

    void closeFiles();
    void closeAll();
    // After a connection was opened again: the other one too, and every list read afresh (what
    // other tills wrote meanwhile was not announced).
    void caughtUp();
    // Opens the connections that no longer reach the server again; true when there was one.
    bool reopenLost();
    QTimer* m_idle = nullptr;
    bool m_writeBackFailing = false; // the last write-back after writes failed (and was said)
    QTimer* m_watch = nullptr;
    bool m_serverDown = false;
    QString m_folder;
    std::unique_ptr<TableIndexes> m_indexes;
    std::thread m_reader;
    std::atomic<bool> m_stopReader = false;
    std::atomic<bool> m_readerDone = false;
    int m_readerGeneration = 0;
    // The server of a server.conf folder, with the password once given (in memory only).
    std::optional<Server::Address> m_server;
};

// The one data module of the running program.
extern TData_in* Data_in;
