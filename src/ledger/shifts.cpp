#include "ledger/shifts.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/receipts.h"
#include "ledger/staff.h"

#include <QSqlQuery>

namespace {

const QString Table = QStringLiteral("shifts");
const QString Moves = QStringLiteral("cash_moves");
const QString Columns = QStringLiteral(
    "id, till_name, operator_name, opened_at, day, opening_float, closed_at, closed_by, expected, counted, "
    "count_detail, report");

std::optional<Currency> amountOrNone(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    return Currency::fromScaled(value.toLongLong());
}

Shifts::Shift shiftOf(const QSqlQuery& q) {
    Shifts::Shift s;
    s.key = q.value(0).toLongLong();
    s.till = q.value(1).toString();
    s.operatorName = q.value(2).toString();
    s.openedAt = q.value(3).toString();
    s.day = QDate::fromString(q.value(4).toString(), Qt::ISODate);
    s.openingFloat = Currency::fromScaled(q.value(5).toLongLong());
    s.closedAt = q.value(6).toString();
    s.closedBy = q.value(7).toString();
    s.expected = amountOrNone(q.value(8));
    s.counted = amountOrNone(q.value(9));
    s.countDetail = q.value(10).toString();
    s.report = q.value(11).toString();
    return s;
}

std::optional<Shifts::Shift> openShiftOf(const QSqlDatabase& db, const QString& till) {
    QSqlQuery q = Db::exec(
        db, QStringLiteral("select %1 from shifts where till_name = :t and closed_at is null").arg(Columns),
        {{QStringLiteral(":t"), till}});
    if (!q.next())
        return std::nullopt;
    return shiftOf(q);
}

Shifts::Shift shiftByKey(const QSqlDatabase& db, qint64 key) {
    QSqlQuery q = Db::exec(db, QStringLiteral("select %1 from shifts where id = :k").arg(Columns),
                           {{QStringLiteral(":k"), key}});
    if (!q.next())
        throw Refused(QStringLiteral("找不到该班次"));
    return shiftOf(q);
}

QString shiftKey(qint64 key) {
    return QStringLiteral("班次 %1").arg(key);
}

// The sum of an amount column over rows, exactly, and how many rows.
std::pair<int, Currency> countAndSum(const QSqlDatabase& db, const QString& from, const QString& amount,
                                     const Db::Params& params) {
    QSqlQuery q = Db::exec(
        db, QStringLiteral("select count(*), coalesce(sum(%1), 0) from %2").arg(amount, from), params);
    q.next();
    return {q.value(0).toInt(), Currency::fromScaled(q.value(1).toLongLong())};
}

// This till's open shift, 0 when none; `lock` appended to the select (see Db::forUpdate).
qint64 openKey(Db::Work& work, const QString& lock) {
    return work
        .scalar(QStringLiteral("select id from shifts where till_name = :t and closed_at is null") + lock,
                {{QStringLiteral(":t"), Staff::tillName()}})
        .toLongLong();
}

} // namespace

namespace Shifts {

Currency Figures::expected() const {
    return shift.openingFloat + cashSales + rechargeCash + cashIn - cashOut - refunds;
}

std::optional<Shift> current() {
    return openShiftOf(Db::business(), Staff::tillName());
}

bool everOpenedHere() {
    return Db::exec(Db::business(), QStringLiteral("select 1 from shifts where till_name = :t limit 1"),
                    {{QStringLiteral(":t"), Staff::tillName()}})
        .next();
}

qint64 currentKey(Db::Work& work) {
    return openKey(work, {});
}

Shift open(Currency openingFloat) {
    if (openingFloat < Currency())
        throw Refused(QStringLiteral("备用金不能小于零"));
    Staff::require(Staff::Right::Sell, QStringLiteral("开班"));
    const QString till = Staff::tillName();
    const qint64 key = Db::perform(Db::business(), [&](Db::Work& work) {
        if (currentKey(work) != 0)
            throw Refused(QStringLiteral("本机已有未交班的班次，请先交班"));
        const QDateTime now = Clock::now();
        const qint64 made = work.insert(
            QStringLiteral(
                "insert into shifts (till_name, operator_name, opened_at, day, opening_float) values "
                "(:t, :o, :a, :d, :f)"),
            {{QStringLiteral(":t"), till},
             {QStringLiteral(":o"), Staff::signature()},
             {QStringLiteral(":a"), Clock::format(now)},
             {QStringLiteral(":d"), now.date().toString(Qt::ISODate)},
             {QStringLiteral(":f"), qint64(openingFloat.scaled())}});
        work.wrote(Table, made);
        OpLog::write(work, {QStringLiteral("开班"),
                            shiftKey(made),
                            {},
                            QStringLiteral("备用金 %1").arg(openingFloat.toString())});
        work.commit();
        return made;
    });
    return shiftByKey(Db::business(), key);
}

std::optional<Shift> closeStale(const QDate& today) {
    const std::optional<Shift> open = current();
    if (!open || open->day >= today)
        return std::nullopt;
    Db::perform(Db::business(), [&](Db::Work& work) {
        const Figures f = figures(open->key);
        Figures closing = f;
        closing.shift.closedAt = Clock::nowText();
        closing.shift.closedBy = Staff::signature().toString();
        closing.shift.expected = f.expected();
        const QSqlQuery closed = work.exec(
            QStringLiteral(
                "update shifts set closed_at = :c, closed_by = :b, expected = :e, report = :r where id = "
                ":k and closed_at is null"),
            {{QStringLiteral(":c"), closing.shift.closedAt},
             {QStringLiteral(":b"), Staff::signature()},
             {QStringLiteral(":e"), qint64(f.expected().scaled())},
             {QStringLiteral(":r"), reportLines(closing, 48).join(QLatin1Char('\n'))},
             {QStringLiteral(":k"), open->key}});
        if (closed.numRowsAffected() > 0) {
            work.wrote(Table, open->key);
            OpLog::write(work, {QStringLiteral("交班"), shiftKey(open->key),
                                QStringLiteral("%1 开班，未交班").arg(open->openedAt),
                                QStringLiteral("未清点，应有现金 %1").arg(f.expected().toString())});
        }
        work.commit();
    });
    return shiftByKey(Db::business(), open->key);
}

void moveCash(Move move, Currency amount, const QString& reason) {
    if (amount <= Currency())
        throw Refused(QStringLiteral("金额必须大于零"));
    const QString kind = move == Move::In ? CashIn : CashOut;
    Staff::require(Staff::Right::Sell, kind);
    Db::perform(Db::business(), [&](Db::Work& work) {
        // The shift's row is locked while the cash is counted out, so two payments out of one
        // drawer at once cannot take more than is in it.
        const qint64 key = openKey(work, work.forUpdate());
        if (key == 0)
            throw Refused(QStringLiteral("本机还没有开班，请先开班"));
        if (move == Move::Out) {
            const Currency inDrawer = figures(key).expected();
            if (amount > inDrawer)
                throw Refused(QStringLiteral("钱箱中应有现金只有 %1 元，不能支出 %2 元")
                                  .arg(inDrawer.toString(), amount.toString()));
        }
        const qint64 made = work.insert(
            QStringLiteral(
                "insert into cash_moves (shift_id, moved_at, kind, amount, reason, operator_name) values "
                "(:s, :m, :k, :a, :r, :o)"),
            {{QStringLiteral(":s"), key},
             {QStringLiteral(":m"), Clock::nowText()},
             {QStringLiteral(":k"), kind},
             {QStringLiteral(":a"), qint64(amount.scaled())},
             {QStringLiteral(":r"), reason},
             {QStringLiteral(":o"), Staff::signature()}});
        work.wrote(Moves, made);
        OpLog::write(work,
                     {kind, shiftKey(key), {}, QStringLiteral("%1 元，%2").arg(amount.toString(), reason)});
        work.commit();
    });
}

Figures figures(qint64 key) {
    const QSqlDatabase db = Db::business();
    Figures f;
    f.shift = shiftByKey(db, key);
    const Db::Params byShift = {{QStringLiteral(":s"), QString::number(key)}};
    const QString a6 = Schema::scaled(QStringLiteral("a6"));
    std::tie(f.cashOrders, f.cashSales) =
        countAndSum(db, QStringLiteral("aa where a10 = :s and a11 = '现金'"), a6, byShift);
    std::tie(f.cardOrders, f.cardSales) =
        countAndSum(db, QStringLiteral("aa where a10 = :s and a11 = '会员卡'"), a6, byShift);
    f.discounts =
        countAndSum(db, QStringLiteral("aa where a10 = :s"),
                    QStringLiteral("%1 - %2").arg(Schema::scaled(QStringLiteral("a5")), a6), byShift)
            .second;
    std::tie(f.recharges, f.rechargeCash) =
        countAndSum(db, QStringLiteral("ah where h9 = :s"), Schema::scaled(QStringLiteral("h2")), byShift);
    const Db::Params byKey = {{QStringLiteral(":s"), key}};
    f.cashIn = countAndSum(db, QStringLiteral("cash_moves where shift_id = :s and kind = '存入'"),
                           QStringLiteral("amount"), byKey)
                   .second;
    f.cashOut = countAndSum(db, QStringLiteral("cash_moves where shift_id = :s and kind = '支出'"),
                            QStringLiteral("amount"), byKey)
                    .second;
    std::tie(f.refundCount, f.refunds) = countAndSum(
        db, QStringLiteral("returns where shift_id = :s and way = '现金'"), QStringLiteral("refund"), byKey);
    // Each movement: the cash moves, and the returns paid out of the drawer.
    QSqlQuery moves = Db::exec(
        db,
        QStringLiteral(
            "select moved_at, kind, amount, reason, operator_name from cash_moves where shift_id = :s "
            "order by moved_at, id"),
        byKey);
    while (moves.next())
        f.movements << CashMovement{moves.value(0).toString(), moves.value(1).toString(),
                                    Currency::fromScaled(moves.value(2).toLongLong()),
                                    moves.value(3).toString(), moves.value(4).toString()};
    QSqlQuery refunds = Db::exec(
        db,
        QStringLiteral("select returned_at, refund, order_id, reason, operator_name from returns where "
                       "shift_id = :s and way = '现金' order by returned_at, id"),
        byKey);
    while (refunds.next()) {
        const QString reason = refunds.value(3).toString();
        f.movements << CashMovement{refunds.value(0).toString(), CashRefund,
                                    Currency::fromScaled(refunds.value(1).toLongLong()),
                                    QStringLiteral("订单 %1").arg(refunds.value(2).toLongLong()) +
                                        (reason.isEmpty() ? QString() : QLatin1Char(' ') + reason),
                                    refunds.value(4).toString()};
    }
    std::stable_sort(f.movements.begin(), f.movements.end(),
                     [](const CashMovement& a, const CashMovement& b) { return a.at < b.at; });
    // Lines removed and orders deleted at this till while the shift was open, as the log tells.
    const Db::Params inShift = {
        {QStringLiteral(":t"), f.shift.till},
        {QStringLiteral(":from"), f.shift.openedAt},
        {QStringLiteral(":to"), f.shift.isOpen() ? QStringLiteral("9999") : f.shift.closedAt},
        {QStringLiteral(":r"), OpLog::RemoveLine},
        {QStringLiteral(":d"), OpLog::DeleteOrder}};
    QSqlQuery logged =
        Db::exec(db,
                 QStringLiteral("select action, count(*) from oplog where till_name = :t and logged_at >= "
                                ":from and logged_at <= :to and action in (:r, :d) group by action"),
                 inShift);
    while (logged.next())
        (logged.value(0).toString() == OpLog::RemoveLine ? f.removedLines : f.deletedOrders) =
            logged.value(1).toInt();
    return f;
}

const QList<Currency>& denominations() {
    static const QList<Currency> all = {Currency::fromInt(100),
                                        Currency::fromInt(50),
                                        Currency::fromInt(20),
                                        Currency::fromInt(10),
                                        Currency::fromInt(5),
                                        Currency::fromInt(1),
                                        Currency::parse(QStringLiteral("0.5")),
                                        Currency::parse(QStringLiteral("0.1"))};
    return all;
}

Currency sumOfCount(const QList<int>& pieces) {
    if (pieces.size() > denominations().size())
        throw Refused(QStringLiteral("面额太多"));
    Currency sum;
    for (int i = 0; i < pieces.size(); ++i) {
        if (pieces[i] < 0)
            throw Refused(QStringLiteral("张数不能小于零"));
        sum += denominations()[i] * Currency::fromInt(pieces[i]);
    }
    return sum;
}

Figures close(qint64 key, Currency counted, const QList<int>& pieces) {
    if (counted < Currency())
        throw Refused(QStringLiteral("清点的现金不能小于零"));
    if (!pieces.isEmpty() && sumOfCount(pieces) != counted)
        throw Refused(QStringLiteral("各面额合计与清点金额不符"));
    Staff::require(Staff::Right::Sell, shiftKey(key));
    QStringList detail;
    for (int i = 0; i < pieces.size(); ++i)
        if (pieces[i] > 0)
            detail << QStringLiteral("%1×%2").arg(denominations()[i].toString()).arg(pieces[i]);
    Db::perform(Db::business(), [&](Db::Work& work) {
        const QVariant closedAt =
            work.scalar(QStringLiteral("select closed_at from shifts where id = :k") + work.forUpdate(),
                        {{QStringLiteral(":k"), key}});
        if (!closedAt.isNull() || work.scalar(QStringLiteral("select count(*) from shifts where id = :k"),
                                              {{QStringLiteral(":k"), key}})
                                          .toInt() == 0)
            throw Refused(QStringLiteral("该班次已交班"));
        // The report as it is at the close is kept with the shift.
        Figures closing = figures(key);
        const Currency expected = closing.expected();
        closing.shift.closedAt = Clock::nowText();
        closing.shift.closedBy = Staff::signature().toString();
        closing.shift.expected = expected;
        closing.shift.counted = counted;
        closing.shift.countDetail = detail.join(QLatin1Char(' '));
        work.exec(
            QStringLiteral("update shifts set closed_at = :c, closed_by = :b, expected = :e, counted = :n, "
                           "count_detail = :d, report = :r where id = :k"),
            {{QStringLiteral(":c"), closing.shift.closedAt},
             {QStringLiteral(":b"), Staff::signature()},
             {QStringLiteral(":e"), qint64(expected.scaled())},
             {QStringLiteral(":n"), qint64(counted.scaled())},
             {QStringLiteral(":d"), closing.shift.countDetail},
             {QStringLiteral(":r"), reportLines(closing, 48).join(QLatin1Char('\n'))},
             {QStringLiteral(":k"), key}});
        work.wrote(Table, key);
        OpLog::write(
            work,
            {QStringLiteral("交班"), shiftKey(key), QStringLiteral("应有现金 %1").arg(expected.toString()),
             QStringLiteral("清点 %1，差额 %2").arg(counted.toString(), (counted - expected).toString())});
        work.commit();
    });
    return figures(key);
}

QString cutToColumns(const QString& text, int columns) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString piece = text.mid(i, n);
        if (Receipts::textWidth(out + piece) > columns)
            break;
        out += piece;
        i += n - 1;
    }
    return out;
}

QString reportRow(const QString& label, const QString& value, int width) {
    const QString left = cutToColumns(label, width - 1 - std::min(Receipts::textWidth(value), width / 2));
    const QString right = cutToColumns(value, width - 1 - Receipts::textWidth(left));
    return left + QString(width - Receipts::textWidth(left) - Receipts::textWidth(right), QLatin1Char(' ')) +
           right;
}

QStringList reportLines(const Figures& f, int width) {
    QStringList lines;
    const auto cut = cutToColumns;
    const auto row = [&](const QString& label, const QString& value) {
        lines << reportRow(label, value, width);
    };
    const auto money = [](Currency c) {
        return QString::number(c.toDouble(), 'f', 2);
    };
    const QString title = QStringLiteral("交班报表");
    lines << QString((width - Receipts::textWidth(title)) / 2, QLatin1Char(' ')) + title;
    row(QStringLiteral("班次"), QString::number(f.shift.key));
    row(QStringLiteral("收银台"), f.shift.till);
    row(QStringLiteral("收银员"), f.shift.operatorName);
    row(QStringLiteral("开班"), f.shift.openedAt);
    row(QStringLiteral("交班"), f.shift.isOpen() ? QStringLiteral("未交班") : f.shift.closedAt);
    if (!f.shift.closedBy.isEmpty() && f.shift.closedBy != f.shift.operatorName)
        row(QStringLiteral("交班人"), f.shift.closedBy);
    lines << QString(width, QLatin1Char('-'));
    row(QStringLiteral("备用金"), money(f.shift.openingFloat));
    row(QStringLiteral("现金销售 %1 单").arg(f.cashOrders), money(f.cashSales));
    row(QStringLiteral("会员卡销售 %1 单").arg(f.cardOrders), money(f.cardSales));
    row(QStringLiteral("销售合计 %1 单").arg(f.cashOrders + f.cardOrders), money(f.cashSales + f.cardSales));
    row(QStringLiteral("折扣"), money(f.discounts));
    row(QStringLiteral("会员充值 %1 笔（现金）").arg(f.recharges), money(f.rechargeCash));
    row(QStringLiteral("存入"), money(f.cashIn));
    row(QStringLiteral("支出"), money(f.cashOut));
    row(QStringLiteral("退货退款 %1 笔（现金）").arg(f.refundCount), money(f.refunds));
    row(QStringLiteral("删除明细"), QString::number(f.removedLines));
    row(QStringLiteral("删除订单"), QString::number(f.deletedOrders));
    lines << QString(width, QLatin1Char('-'));
    if (!f.movements.isEmpty()) {
        // Each yuan in or out besides the sales: what, when, who; the reason below.
        lines << QStringLiteral("现金收支明细");
        for (const CashMovement& m : f.movements) {
            const Currency signedAmount = m.kind == CashIn ? m.amount : Currency() - m.amount;
            row(QStringLiteral("%1 %2 %3").arg(movementTime(m, f.shift.day), m.kind, m.operatorName),
                money(signedAmount));
            if (!m.reason.isEmpty())
                lines << cut(QStringLiteral("  ") + m.reason, width);
        }
        lines << QString(width, QLatin1Char('-'));
    }
    const Currency expected = f.shift.expected.value_or(f.expected());
    row(QStringLiteral("应有现金"), money(expected));
    if (f.shift.counted) {
        row(QStringLiteral("清点现金"), money(*f.shift.counted));
        const Currency difference = *f.shift.counted - expected;
        row(difference < Currency()   ? QStringLiteral("差额（短款）")
            : difference > Currency() ? QStringLiteral("差额（长款）")
                                      : QStringLiteral("差额"),
            money(difference));
        if (!f.shift.countDetail.isEmpty()) {
            lines << QStringLiteral("清点明细");
            QString piece = QStringLiteral(" ");
            for (const QString& item : f.shift.countDetail.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                if (Receipts::textWidth(piece + QLatin1Char(' ') + item) > width) {
                    lines << piece;
                    piece = QStringLiteral(" ");
                }
                piece += QLatin1Char(' ') + cut(item, width - 2);
            }
            if (piece.size() > 1)
                lines << piece;
        }
    } else if (!f.shift.isOpen()) {
        row(QStringLiteral("清点现金"), QStringLiteral("未清点"));
    }
    return lines;
}

QString movementTime(const CashMovement& m, const QDate& day) {
    return m.at.startsWith(day.toString(Qt::ISODate)) ? m.at.mid(11, 5) : m.at.mid(5, 11);
}

QList<Shift> shiftsOf(const QDate& from, const QDate& to) {
    QList<Shift> found;
    QSqlQuery q = Db::exec(
        Db::business(),
        QStringLiteral("select %1 from shifts where day >= :a and day <= :b order by id desc").arg(Columns),
        {{QStringLiteral(":a"), from.toString(Qt::ISODate)},
         {QStringLiteral(":b"), to.toString(Qt::ISODate)}});
    while (q.next())
        found << shiftOf(q);
    return found;
}

DayClose dayClose(const QDate& day) {
    DayClose d;
    d.day = day;
    for (const Shift& s : shiftsOf(day, day)) {
        const Figures f = figures(s.key);
        d.shifts << f;
        Figures& t = d.total;
        t.shift.openingFloat += f.shift.openingFloat;
        t.cashOrders += f.cashOrders;
        t.cashSales += f.cashSales;
        t.cardOrders += f.cardOrders;
        t.cardSales += f.cardSales;
        t.discounts += f.discounts;
        t.recharges += f.recharges;
        t.rechargeCash += f.rechargeCash;
        t.cashIn += f.cashIn;
        t.cashOut += f.cashOut;
        t.refunds += f.refunds;
        t.refundCount += f.refundCount;
        t.removedLines += f.removedLines;
        t.deletedOrders += f.deletedOrders;
        if (f.shift.counted)
            t.shift.counted = t.shift.counted.value_or(Currency()) + *f.shift.counted;
    }
    return d;
}

void openDrawer(const std::function<void()>& kick) {
    Staff::require(Staff::Right::OpenDrawer, QStringLiteral("钱箱"));
    kick();
    OpLog::write({QStringLiteral("开钱箱"), QStringLiteral("钱箱 %1").arg(Staff::tillName()), {}, {}});
}

} // namespace Shifts
