#pragma once

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

    QSqlQuery exec(const QString& sql, const Db::Params& params = {});
    QVariant scalar(const QString& sql, const Db::Params& params = {});
    // Notes a written row (key 0: rows of the table not known one by one).
    void wrote(const QString& table, qint64 key = 0);
    void commit();
    const QSqlDatabase& db() const { return m_db; }

private:
    QSqlDatabase m_db;
    Transaction m_tx;
    Changes m_changes;
};

} // namespace Ledger

Q_DECLARE_METATYPE(Ledger::Changes)
