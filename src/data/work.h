#pragma once

#include "core/errors.h"
#include "core/money.h"
#include "data/database.h"

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringEncoder>
#include <functional>
#include <memory>
#include <type_traits>
#include <vector>

struct sqlite3;
class RawStatement;

namespace Db {

// What one committed operation wrote: a table and the keys of the rows it inserted, changed or
// deleted there, or that rows of it changed that are not known one by one.
struct Change {
    QString table;
    QList<qint64> keys;
    bool anyRow = false;
    // Of the keys, those of the rows the operation added (each new to the table).
    QList<qint64> added;
    // Rows of the table were deleted (some of the keys may be gone).
    bool removed = false;

    static Change of(const QString& table) { return Change{table, {}, false, {}, false}; }
    // Rows of the table changed that are not known one by one.
    static Change anyRowOf(const QString& table) { return Change{table, {}, true, {}, false}; }
};
using Changes = QList<Change>;

// This program's mark among the tills of a server (made once at its start).
const QString& tillId();
// The text a commit on a server sends the other tills (NOTIFY payload, at most 8000 bytes): the
// sending till's mark and "|", then per table its name, "!" when rows were deleted, and ":" with
// the keys ("+" before an added row's), the tables separated by ","; a table whose rows are not
// known one by one, or whose keys would not fit, is named alone.
QString changesPayload(const Changes& changes, const QString& origin = tillId());
// The changes a payload tells of, and the till that sent them (empty when the payload does not
// say). A name alone (or a payload of an older version: the names only) means rows of that table
// changed that are not known one by one.
Changes changesOfPayload(const QString& payload, QString* origin = nullptr);

// Announces every committed operation, after its commit. The shared queries follow it; nothing
// is announced for an operation that was rolled back.
class Announcer : public QObject {
    Q_OBJECT
public:
    static Announcer& instance();
    // A follower that could not catch up (a list that could not be read again) reports here: the
    // change itself is committed, the program shows the error.
    void reportFailure(const QString& text) { emit failed(text); }

signals:
    void committed(const Db::Changes& changes);
    void failed(const QString& text);
    // The connection to the server was lost and is open again: what other tills wrote meanwhile
    // was not announced, the lists read everything again.
    void reconnected();
    // The connection to the server was lost and could not be opened again (the text says why).
    void disconnected(const QString& text);
};

// One operation's unit of work on one database file: begun on construction, rolled back on
// destruction unless committed. It notes what it writes and announces it after the commit.
class Work {
public:
    explicit Work(const QSqlDatabase& db, int attempt = 1);
    ~Work();
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;

    // Runs one statement of the operation. A test can make the nth statement of the units of work
    // that follow fail (failStatement), to prove that a failure anywhere leaves the files as they
    // were: the statement is not run and raises DatabaseError as a failing one would.
    QSqlQuery exec(const QString& sql, const Db::Params& params = {});
    QVariant scalar(const QString& sql, const Db::Params& params = {});
    // Runs an "insert into TABLE …" of one row and returns the key the database gave it. The
    // statement is prepared once for the unit of work: an operation that inserts many rows (an
    // import) has it parsed once; on SQLite it runs on SQLite's own interface, its texts and
    // numbers bound as they are, without a copy.
    qint64 insert(const QString& sql, const Db::Params& params = {});
    // Inserts rows into a table: `values` holds each row's values of the columns, one row after
    // the other. On SQLite many rows go in one statement (the statement's work is shared by its
    // rows); a row the file refuses fails the whole statement. Returns the rows' keys, in order.
    QList<qint64> insertRows(const QString& table, const QStringList& columns, const QList<QVariant>& values);
    // The rows insertRows() puts in one statement at most.
    static constexpr qsizetype RowsAStatement = 64;
    // Runs a statement prepared once for the unit of work (see insert()); its rows are to be read
    // before the statement runs again.
    QSqlQuery& execPrepared(const QString& sql, const Db::Params& params = {});
    // Test hook: called with n before the nth statement of every unit of work that follows, with 0
    // just before the commit and with -1 just after it; it may end the connection's server
    // process, or throw as the database would. An empty function turns it off.
    static void setStatementHook(std::function<void(int)> hook);
    // How many times the last operation run by `perform` was begun (1: it went through at once).
    static int attempts();
    // Run by `perform` after an attempt failed: returns when the operation is to be run again
    // (the connection opened again where it was lost), throws the error to report otherwise.
    static void recover(const QSqlDatabase& db, const DatabaseError& error, int attempt);
    // An operation is begun this many times at most.
    static constexpr int MaxAttempts = 5;
    // The state of an error after which nobody knows whether the commit went through: never run
    // again, the cashier looks.
    static inline const QString OutcomeUnknownCode = QStringLiteral("08007");

    // See Db::forUpdate.
    QString forUpdate() const { return Db::forUpdate(m_db); }
    // Notes a written row (key 0: rows of the table not known one by one).
    void wrote(const QString& table, qint64 key = 0);
    // The same for rows of the table by their keys.
    void wrote(const QString& table, const QList<qint64>& keys);
    void commit();
    const QSqlDatabase& db() const { return m_db; }

    // Test hook: from now on, the nth statement (1 = the first) of every unit of work fails;
    // 0 turns it off. Statements counts the statements of the last unit of work begun.
    static void failStatement(int nth);
    static int statements();
    static inline const QString InjectedFailure = QStringLiteral("injected failure");
    // On a server, every commit tells the other tills on this channel which tables it wrote (the
    // payload: their names, comma-separated), so their lists follow.
    static inline const QString Channel = QStringLiteral("vandrel_ledger");

private:
    // The statement prepared once per unit of work, run with the values; not counted.
    QSqlQuery& runPrepared(const QString& sql, const Db::Params& params);
    void countStatement();
    void noteStatement(const QString& sql);
    void settleLostCommit(const QString& transaction, const DatabaseError& error);
    // An insert prepared on SQLite's own interface: its table and, per value as the last run
    // named them, the placeholder's number in the statement.
    struct RawInsert {
        std::shared_ptr<RawStatement> statement;
        QString table;
        std::vector<std::pair<QString, int>> placeholders;
    };
    // Runs the insert on SQLite's own interface; false (nothing run) when a value is of a kind
    // bound only by Qt's driver.
    bool insertRaw(const QString& sql, const Db::Params& params, qint64* key);
    void finalizeRaw();
    // While insertRows() writes many rows of a table on SQLite, the table's row-count trigger is
    // held off and the count raised once for them (restoreCounts(): before any other statement
    // of the unit of work and before its commit; a rollback brings the trigger back as well).
    struct HeldCount {
        QString trigger; // its statement, as the file keeps it
        qint64 rows = 0;
    };
    void holdCount(const QString& table);
    void restoreCounts();
    QHash<QString, HeldCount> m_heldCounts;
    QSqlDatabase m_db;
    Transaction m_tx;
    Changes m_changes;
    // Per table, the rows inserted through insert(), and the tables rows were deleted from.
    QHash<QString, QSet<qint64>> m_added;
    QHash<QString, QSet<qint64>> m_noted; // the keys of m_changes, per table
    QSet<QString> m_removedFrom;
    // The statements prepared for the unit of work, by their text (destroyed before the
    // transaction ends).
    QHash<QString, QSqlQuery> m_prepared;
    sqlite3* m_sqlite = nullptr;
    QHash<QString, RawInsert> m_raw; // finalized before the transaction ends
    QByteArray m_utf8;               // the texts of the rows insertRows() binds
    QStringEncoder m_encoder{QStringEncoder::Utf8, QStringEncoder::Flag::Stateless};
};

// What the server's word on a transaction whose commit went unanswered (pg_xact_status:
// "committed", "aborted", "in progress", or nothing once it no longer knows the transaction)
// means for the operation: stored, not stored, ask again in a moment (the server process that ran
// it has not noticed yet that its client is gone), or nobody knows (the cashier looks).
enum class LostCommit { Stored, NotStored, AskAgain, Unknown };
LostCommit lostCommit(const QVariant& status);

// The cashier's texts when an operation could not be stored.
inline const QString NotStored = QStringLiteral("与数据库服务器的连接断开了，这次的操作没有保存：%1");
inline const QString ServerBusy =
    QStringLiteral("数据库服务器上同时进行的操作太多，这次的操作没有保存，请再试一次：%1");
inline const QString OutcomeUnknown = QStringLiteral(
    "保存时与数据库服务器的连接断开了，无法确定这次的操作是否已保存，请在列表中查看后再决定是否重做：%1");
inline const QString Reconnected = QStringLiteral("与数据库服务器的连接断开过，已重新连接。");

// Runs one operation: `body` gets the operation's unit of work, does all its statements and
// commits it. On a server, an attempt the server broke off (a serialization failure, a deadlock)
// or one whose connection was lost is rolled back and run again from the start, the connection
// opened again first, at most Work::MaxAttempts times; then, or when the connection cannot be
// opened again, the error says the operation was not stored. Nothing is ever half stored: each
// attempt is one transaction. `body` must only read what it is given and the database.
template <typename Body>
auto perform(const QSqlDatabase& db, Body body) -> std::invoke_result_t<Body, Work&> {
    for (int attempt = 1;; ++attempt) {
        try {
            Work work(db, attempt);
            return body(work);
        } catch (const DatabaseError& error) {
            Work::recover(db, error, attempt);
        }
    }
}

// A stored amount an operation reads. A value that is no number (a file of an older version, or
// one edited with another tool) stops the operation with a message naming the table, the row and
// the column; NULL counts as 0 unless `nullIsNumber` is false.
Currency storedNumber(const QVariant& value, const QString& table, qint64 key, const QString& column,
                      bool nullIsNumber = true);

} // namespace Db

Q_DECLARE_METATYPE(Db::Changes)
