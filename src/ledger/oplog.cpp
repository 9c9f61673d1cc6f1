#include "ledger/oplog.h"

#include "core/clock.h"
#include "data/database.h"
#include "data/work.h"
#include "ledger/staff.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace OpLog {

QString chainHash(const Row& row, const QString& previous) {
    const QStringList fields{previous,   row.at,      row.till,   row.operatorName, row.authorizedBy,
                             row.action, row.touched, row.before, row.after};
    return QString::fromLatin1(
        QCryptographicHash::hash(fields.join(QChar(0x1f)).toUtf8(), QCryptographicHash::Sha256).toHex());
}

void write(Db::Work& work, const Entry& entry) {
    if (!Staff::inForce())
        return;
    Row row;
    row.at = Clock::format(Clock::now());
    row.till = Staff::tillName();
    row.operatorName = Staff::current() ? Staff::current()->name : QString();
    row.authorizedBy = Staff::authorizer() ? Staff::authorizer()->name : QString();
    row.action = entry.action;
    row.touched = entry.touched;
    row.before = entry.before;
    row.after = entry.after;
    QVariant hash;
    if (!Db::isServer(work.db())) {
        // The file is written by one program at a time: the last row read here stays the last.
        const QVariant previous =
            work.scalar(QStringLiteral("select hash from oplog order by id desc limit 1"));
        hash = chainHash(row, previous.toString());
    }
    const qint64 key = work.insert(
        QStringLiteral(
            "insert into oplog (logged_at, till_name, operator_name, authorized_by, action, touched, "
            "old_value, new_value, hash) values (:at, :till, :op, :auth, :action, :touched, :old, "
            ":new, :hash)"),
        {{QStringLiteral(":at"), row.at},
         {QStringLiteral(":till"), row.till},
         {QStringLiteral(":op"), row.operatorName},
         {QStringLiteral(":auth"), row.authorizedBy.isEmpty() ? QVariant() : QVariant(row.authorizedBy)},
         {QStringLiteral(":action"), row.action},
         {QStringLiteral(":touched"), row.touched},
         {QStringLiteral(":old"), row.before},
         {QStringLiteral(":new"), row.after},
         {QStringLiteral(":hash"), hash}});
    work.wrote(Table, key);
}

void write(const Entry& entry) {
    if (!Staff::inForce())
        return;
    Db::perform(Db::business(), [&](Db::Work& work) {
        write(work, entry);
        work.commit();
    });
}

QList<Break> checkChain(const QSqlDatabase& db, const std::function<bool(qint64, qint64)>& progress) {
    QList<Break> breaks;
    if (Db::isServer(db))
        return breaks;
    if (Db::scalar(
            db, QStringLiteral("select count(*) from sqlite_master where type = 'table' and name = 'oplog'"))
            .toInt() == 0)
        return breaks;
    const qint64 total = Db::scalar(db, QStringLiteral("select count(*) from oplog")).toLongLong();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(
            QStringLiteral("select id, logged_at, till_name, operator_name, authorized_by, action, touched, "
                           "old_value, new_value, hash from oplog order by id")))
        throw Db::failure(q.lastError());
    QString previous;
    qint64 done = 0;
    qint64 lastKey = 0;
    while (q.next()) {
        Row row;
        row.key = q.value(0).toLongLong();
        row.at = q.value(1).toString();
        row.till = q.value(2).toString();
        row.operatorName = q.value(3).toString();
        row.authorizedBy = q.value(4).toString();
        row.action = q.value(5).toString();
        row.touched = q.value(6).toString();
        row.before = q.value(7).toString();
        row.after = q.value(8).toString();
        row.hash = q.value(9).toString();
        if (chainHash(row, previous) != row.hash) {
            breaks.append(
                {row.key, QStringLiteral("操作日志第 %1 行被修改、删除了前一行或是后来插入的").arg(row.key)});
        }
        // The chain goes on from the row as stored, so one changed row is reported once.
        previous = row.hash;
        lastKey = row.key;
        if (progress && ++done % 4096 == 0 && !progress(done, total))
            return breaks;
    }
    // Rows taken off the end leave the file's count of keys given beyond the last row.
    const QVariant given =
        Db::scalar(db, QStringLiteral("select seq from sqlite_sequence where name = 'oplog'"));
    if (!given.isNull() && given.toLongLong() > lastKey)
        breaks.append(
            {lastKey + 1, QStringLiteral("操作日志最后的 %1 行被删除了").arg(given.toLongLong() - lastKey)});
    return breaks;
}

} // namespace OpLog
