#include "data/work.h"

#include <algorithm>

namespace Ledger {

Announcer& Announcer::instance() {
    static Announcer announcer;
    return announcer;
}

Work::Work(const QSqlDatabase& db) : m_db(db), m_tx(db) {}

QSqlQuery Work::exec(const QString& sql, const Db::Params& params) {
    return Db::exec(m_db, sql, params);
}

QVariant Work::scalar(const QString& sql, const Db::Params& params) {
    return Db::scalar(m_db, sql, params);
}

void Work::wrote(const QString& table, qint64 key) {
    auto it =
        std::find_if(m_changes.begin(), m_changes.end(), [&](const Change& c) { return c.table == table; });
    if (it == m_changes.end())
        it = m_changes.insert(m_changes.end(), Change{table, {}, false});
    if (key == 0)
        it->anyRow = true;
    else if (!it->keys.contains(key))
        it->keys.append(key);
}

void Work::commit() {
    m_tx.commit();
    if (!m_changes.isEmpty())
        emit Announcer::instance().committed(m_changes);
}

} // namespace Ledger
