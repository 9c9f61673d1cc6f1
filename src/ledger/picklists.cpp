#include "ledger/picklists.h"

#include "data/sharedquery.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"

namespace {

const QString KeyField = QStringLiteral("zid");
const QString EntryField = QStringLiteral("z1");

// A cell the grid left empty is stored as the empty text, as the entry column holds it.
QString entryText(const SharedQuery& query, int row) {
    return SharedQuery::displayText(query.value(row, EntryField));
}

// The pick lists are kept in the lists file, the log in the business file: the row goes in just
// after the change, in a unit of work of its own (on a server both are one database, but the
// connections are two).
QString listKey(const QString& table) {
    return QStringLiteral("菜单 %1").arg(table);
}

void logEdit(const QString& table, const QString& before, const QString& after) {
    OpLog::write({OpLog::EditPickList, listKey(table), before, after});
}

// The entry's text before a change, for the log (nothing read in a shop without operators).
QString entryBefore(Db::Work& work, const QString& table, qint64 entry) {
    if (!Staff::inForce())
        return {};
    return work
        .scalar(QStringLiteral("select z1 from %1 where zid = :k").arg(table),
                {{QStringLiteral(":k"), entry}})
        .toString();
}

} // namespace

namespace PickLists {

QString table(List list) {
    switch (list) {
    case List::Major:
        return QStringLiteral("a1");
    case List::Minor:
        return QStringLiteral("a2");
    case List::Unit:
        return QStringLiteral("a3");
    case List::OrderCategory:
        return QStringLiteral("a4");
    }
    Q_UNREACHABLE();
    return {};
}

qint64 add(List list, const QString& text) {
    const QString name = table(list);
    Staff::require(Staff::Right::PickLists, listKey(name));
    const qint64 added = Db::perform(Db::lists(), [&](Db::Work& work) {
        const qint64 entry = work.insert(QStringLiteral("insert into %1 (z1) values (:a)").arg(name),
                                         {{QStringLiteral(":a"), text}});
        work.wrote(name, entry);
        work.commit();
        return entry;
    });
    logEdit(name, {}, text);
    return added;
}

void rename(List list, qint64 entry, const QString& text) {
    const QString name = table(list);
    Staff::require(Staff::Right::PickLists, listKey(name));
    QString was;
    Db::perform(Db::lists(), [&](Db::Work& work) {
        was = entryBefore(work, name, entry);
        const QSqlQuery changed = work.exec(QStringLiteral("update %1 set z1 = :a where zid = :k").arg(name),
                                            {{QStringLiteral(":a"), text}, {QStringLiteral(":k"), entry}});
        if (changed.numRowsAffected() > 0)
            work.wrote(name, entry);
        work.commit();
    });
    logEdit(name, was, text);
}

void remove(List list, qint64 entry) {
    const QString name = table(list);
    Staff::require(Staff::Right::PickLists, listKey(name));
    QString was;
    Db::perform(Db::lists(), [&](Db::Work& work) {
        was = entryBefore(work, name, entry);
        work.exec(QStringLiteral("delete from %1 where zid = :k").arg(name), {{QStringLiteral(":k"), entry}});
        work.wrote(name, entry);
        work.commit();
    });
    logEdit(name, was, {});
}

void editIn(SharedQuery& query, List list) {
    query.setWriter({
        [list](const SharedQuery& q, int row) { return add(list, entryText(q, row)); },
        [list](const SharedQuery& q, int row) {
            rename(list, q.value(row, KeyField).toLongLong(), entryText(q, row));
        },
        [list](const SharedQuery& q, int row) { remove(list, q.value(row, KeyField).toLongLong()); },
    });
}

} // namespace PickLists
