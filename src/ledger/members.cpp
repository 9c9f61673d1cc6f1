#include "ledger/members.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/shifts.h"
#include "ledger/staff.h"

#include <QSqlQuery>

namespace {

const QString Table = QStringLiteral("aj");
const QString Recharges = QStringLiteral("ah");
const QString Consumptions = QStringLiteral("ag");

// The binding of the personal data shared by the insert and the update.
Db::Params personParams(const Members::Person& p) {
    return {{QStringLiteral(":a"), p.name},     {QStringLiteral(":b"), p.mobile},
            {QStringLiteral(":c"), p.phone},    {QStringLiteral(":d"), p.address},
            {QStringLiteral(":e"), p.postcode}, {QStringLiteral(":f"), p.salutation},
            {QStringLiteral(":g"), p.email},    {QStringLiteral(":h"), p.remark}};
}

} // namespace

namespace Members {

namespace {

QString cardKey(qint64 card) {
    return QStringLiteral("会员卡 %1").arg(card);
}

// A member as the log tells it: every field and the balance.
QString describe(Db::Work& work, qint64 card) {
    QSqlQuery row =
        work.exec(QStringLiteral("select j1, j2, j3, j4, j5, j6, j7, j8, j9 from aj where jid=:a"),
                  {{QStringLiteral(":a"), card}});
    if (!row.next())
        return {};
    QStringList fields;
    for (int i = 0; i < 8; ++i)
        fields << row.value(i).toString();
    return fields.join(QLatin1Char(' ')) + QStringLiteral("，余额 %1").arg(row.value(8).toString());
}

qint64 insert(Db::Work& work, const Person& person, Currency opening) {
    if (person.name.isEmpty() || person.salutation.isEmpty())
        throw Refused(RequiredMissing);
    if (opening < Currency())
        throw Refused(NegativeOpening);
    Db::Params params = personParams(person);
    params.emplace_back(QStringLiteral(":i"), opening.toSql());
    params.emplace_back(QStringLiteral(":j"), Clock::nowText());
    return work.insert(
        QStringLiteral(
            "insert into aj (j1,j2,j3,j4,j5,j6,j7,j8,j9,j10)values (:a,:b,:c,:d,:e,:f,:g,:h,:i,:j)"),
        params);
}

} // namespace

qint64 create(const Person& person, Currency opening) {
    if (person.name.isEmpty() || person.salutation.isEmpty())
        throw Refused(RequiredMissing);
    Staff::require(Staff::Right::Members, person.name);
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const qint64 card = insert(work, person, opening);
        work.wrote(Table, card);
        OpLog::write(work,
                     {OpLog::NewMember,
                      cardKey(card),
                      {},
                      QStringLiteral("%1 %2，余额 %3").arg(person.name, person.mobile, opening.toString())});
        work.commit();
        return card;
    });
}

int createMany(const QList<New>& members) {
    return createMany(members.size(), [&](qsizetype i) { return members[i]; });
}

int createMany(qsizetype count, const std::function<New(qsizetype)>& at) {
    Staff::require(Staff::Right::Members, QStringLiteral("%1 个会员").arg(count));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        qint64 first = 0;
        qint64 last = 0;
        for (qsizetype i = 0; i < count; ++i) {
            const New m = at(i);
            last = insert(work, m.person, m.opening);
            if (i == 0)
                first = last;
            work.wrote(Table, last);
        }
        if (count > 0)
            OpLog::write(work, {OpLog::NewMember,
                                QStringLiteral("会员卡 %1 至 %2").arg(first).arg(last),
                                {},
                                QStringLiteral("%1 个会员").arg(count)});
        work.commit();
        return int(count);
    });
}

void update(qint64 card, const Person& person) {
    Staff::require(Staff::Right::Members, cardKey(card));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const QString was = Staff::inForce() ? describe(work, card) : QString();
        Db::Params params = personParams(person);
        params.emplace_back(QStringLiteral(":i"), card);
        const QSqlQuery updated = work.exec(
            QStringLiteral("update aj set j1=:a,j2=:b,j3=:c,j4=:d,j5=:e,j6=:f,j7=:g,j8=:h where jid=:i "),
            params);
        if (updated.numRowsAffected() == 0)
            throw Refused(NotFound);
        work.wrote(Table, card);
        if (Staff::inForce())
            OpLog::write(work, {OpLog::EditMember, cardKey(card), was, describe(work, card)});
        work.commit();
    });
}

Recharged recharge(qint64 card, Currency amount) {
    Staff::require(Staff::Right::Recharge, cardKey(card));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        QSqlQuery member =
            work.exec(QStringLiteral("select j1, j6, j9 from aj where jid=:a") + work.forUpdate(),
                      {{QStringLiteral(":a"), card}});
        if (!member.next())
            throw Refused(NotFound);
        const QString name = member.value(0).toString();
        const QString salutation = member.value(1).toString();
        Recharged result;
        // A balance that was never stored is no number, not 0: counting it as 0 would hide a broken row.
        result.before = Db::storedNumber(member.value(2), Table, card, QStringLiteral("j9"), false);
        result.after = result.before + amount;
        if (result.after < Currency())
            throw Refused(BelowZero);

        work.exec(QStringLiteral("update aj set j9=:a where jid=:b "),
                  {{QStringLiteral(":a"), result.after.toSql()}, {QStringLiteral(":b"), card}});
        work.wrote(Table, card);
        // Paid in cash into this till's drawer (a refund out of it when negative).
        const qint64 shift = Shifts::currentKey(work);
        result.record = work.insert(
            QStringLiteral("insert into ah (h1,h2,h3,h4,h5,h6,h7,h8,h9)values (:a,:b,:c,:d,:e,:f,:g,:h,:i)"),
            {{QStringLiteral(":a"), name},
             {QStringLiteral(":b"), amount.toSql()},
             {QStringLiteral(":c"), Clock::nowText()},
             {QStringLiteral(":d"), result.before.toSql()},
             {QStringLiteral(":e"), result.after.toSql()},
             {QStringLiteral(":f"), QString::number(card)},
             {QStringLiteral(":g"), salutation},
             {QStringLiteral(":h"), Staff::signature()},
             {QStringLiteral(":i"), shift == 0 ? QVariant() : QVariant(QString::number(shift))}});
        work.wrote(Recharges, result.record);
        OpLog::write(work,
                     {OpLog::Recharge, cardKey(card), QStringLiteral("余额 %1").arg(result.before.toString()),
                      QStringLiteral("充值 %1，余额 %2").arg(amount.toString(), result.after.toString())});
        work.commit();
        return result;
    });
}

void remove(qint64 card) {
    Staff::require(Staff::Right::Members, cardKey(card));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        if (Staff::inForce())
            OpLog::write(work, {OpLog::DeleteMember, cardKey(card), describe(work, card), {}});
        // The records hold the card number as text; matched exactly, so card 12 leaves 112 and 120.
        const Db::Params byCard = {{QStringLiteral(":a"), QString::number(card)}};
        for (QSqlQuery gone = work.exec(QStringLiteral("delete from ah where h6 = :a returning hid"), byCard);
             gone.next();)
            work.wrote(Recharges, gone.value(0).toLongLong());
        for (QSqlQuery gone = work.exec(QStringLiteral("delete from ag where g6 = :a returning gid"), byCard);
             gone.next();)
            work.wrote(Consumptions, gone.value(0).toLongLong());
        const QSqlQuery deleted =
            work.exec(QStringLiteral("delete from aj where jid = :k"), {{QStringLiteral(":k"), card}});
        if (deleted.numRowsAffected() == 0)
            throw Refused(NotFound);
        work.wrote(Table, card);
        work.commit();
    });
}

} // namespace Members
