#pragma once

#include "core/money.h"
#include "data/database.h"

#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>

namespace Ledger {

// What one committed operation wrote: a table and the keys of the rows it inserted, changed or
// deleted there, or that rows of it changed that are not known one by one.
struct Change {
    QString table;
    QList<qint64> keys;
    bool anyRow = false;
};
using Changes = QList<Change>;

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
    void committed(const Ledger::Changes& changes);
    void failed(const QString& text);
};

// One operation's unit of work on one database file: begun on construction, rolled back on
// destruction unless committed. It notes what it writes and announces it after the commit.
class Work {
public:
    explicit Work(const QSqlDatabase& db);
    Work(const Work&) = delete;
    Work& operator=(const Work&) = delete;

    // Runs one statement of the operation. A test can make the nth statement of the units of work
    // that follow fail (failStatement), to prove that a failure anywhere leaves the files as they
    // were: the statement is not run and raises DatabaseError as a failing one would.
    QSqlQuery exec(const QString& sql, const Db::Params& params = {});
    QVariant scalar(const QString& sql, const Db::Params& params = {});
    // Runs an "insert into TABLE …" of one row and returns the key the database gave it.
    qint64 insert(const QString& sql, const Db::Params& params = {});
    // See Db::forUpdate.
    QString forUpdate() const { return Db::forUpdate(m_db); }
    // Notes a written row (key 0: rows of the table not known one by one).
    void wrote(const QString& table, qint64 key = 0);
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
    void countStatement();
    QSqlDatabase m_db;
    Transaction m_tx;
    Changes m_changes;
};

// A stored amount an operation reads. A value that is no number (a file of an older version, or
// one edited with another tool) stops the operation with a message naming the table, the row and
// the column; NULL counts as 0 unless `nullIsNumber` is false.
Currency storedNumber(const QVariant& value, const QString& table, qint64 key, const QString& column,
                      bool nullIsNumber = true);

} // namespace Ledger

Q_DECLARE_METATYPE(Ledger::Changes)
