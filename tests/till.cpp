// One till of the tests of several tills at once: a process of its own with its own connections
// to the shop's server, doing what a cashier does as fast as it can, and printing what became of
// each attempt.
//
//   till sell URL ATTEMPTS SEED   sells one unit of a product picked at random, ATTEMPTS times
//   till pay URL CARDS            pays every open order: from card (order % CARDS) + 1, or in cash
//                                 when the balance is too low
//   till edit URL NAME            adds three products named NAME 1 … NAME 3, renames the second to
//                                 "改名", deletes the third, and deletes the newest order
//   till return URL               returns every line of every settled order one unit at a time,
//                                 until nothing is left of it: the money back the way it came, the
//                                 lines of odd keys written off
//   till shift URL TILL FLOAT SALES SEED
//                                 runs a shift at till TILL: opens it with FLOAT, sells one unit of
//                                 a product picked at random SALES times paid in cash, pays 10 in
//                                 and 3 out, and closes it with the drawer counted as expected
#include "core/errors.h"
#include "data/database.h"
#include "data/server.h"
#include "ledger/orders.h"
#include "ledger/products.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledger/shifts.h"
#include "ledger/staff.h"

#include <QCoreApplication>
#include <QList>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStringList>
#include <cstdio>

namespace {

int sell(int attempts, quint32 seed) {
    QRandomGenerator random(seed);
    QList<qint64> products;
    QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select bid from ab order by bid"));
    while (q.next())
        products << q.value(0).toLongLong();
    int sold = 0;
    int refused = 0;
    int failed = 0;
    for (int i = 0; i < attempts; ++i) {
        const qint64 product = products.at(int(random.bounded(quint32(products.size()))));
        try {
            Orders::addLine(0, product, Currency::parse(QStringLiteral("1")));
            ++sold;
        } catch (const Refused& e) {
            if (e.text() != QStringLiteral("没有这么多库存了")) {
                std::fprintf(stderr, "refused: %s\n", e.text().toLocal8Bit().constData());
                ++failed;
            } else {
                ++refused;
            }
        } catch (const LedgerError& e) {
            std::fprintf(stderr, "failed: %s\n", e.text().toLocal8Bit().constData());
            ++failed;
        }
    }
    std::printf("sold %d refused %d failed %d\n", sold, refused, failed);
    return 0;
}

int pay(int cards) {
    QList<std::pair<qint64, Currency>> orders;
    QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select aid, a5 from aa order by aid"));
    while (q.next())
        orders.append({q.value(0).toLongLong(), Currency::fromVariant(q.value(1))});
    int byCard = 0;
    int inCash = 0;
    int paidAlready = 0;
    int failed = 0;
    for (const auto& [order, due] : orders) {
        try {
            try {
                Settlement::payByCard(order, order % cards + 1, due);
                ++byCard;
            } catch (const Refused& e) {
                if (e.text() != Settlement::BalanceTooLow)
                    throw;
                Settlement::payCash(order, due);
                ++inCash;
            }
        } catch (const Refused& e) {
            if (e.text() == Settlement::AlreadySettled) {
                ++paidAlready;
            } else {
                std::fprintf(stderr, "refused: %s\n", e.text().toLocal8Bit().constData());
                ++failed;
            }
        } catch (const LedgerError& e) {
            std::fprintf(stderr, "failed: %s\n", e.text().toLocal8Bit().constData());
            ++failed;
        }
    }
    std::printf("card %d cash %d already %d failed %d\n", byCard, inCash, paidAlready, failed);
    return 0;
}

int edit(const QString& name) {
    try {
        QList<qint64> added;
        for (int i = 1; i <= 3; ++i) {
            Products::Fields fields;
            fields.name = QStringLiteral("%1 %2").arg(name).arg(i);
            fields.sale = Currency::parse(QStringLiteral("2"));
            added << Products::create(fields, Currency::parse(QStringLiteral("5")));
        }
        Products::Fields renamed;
        renamed.name = QStringLiteral("改名");
        renamed.sale = Currency::parse(QStringLiteral("2"));
        Products::update(added.at(1), renamed);
        Products::remove(added.at(2));
        const QVariant newest = Db::scalar(Db::business(), QStringLiteral("select max(aid) from aa"));
        if (!newest.isNull())
            Orders::remove(newest.toLongLong());
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "failed: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    std::printf("edited\n");
    return 0;
}

int giveBack() {
    QList<qint64> orders;
    QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select aid from aa where a2 = :s order by aid"),
                           {{QStringLiteral(":s"), Orders::Settled}});
    while (q.next())
        orders << q.value(0).toLongLong();
    int returned = 0;
    int refused = 0;
    int failed = 0;
    for (const qint64 order : orders) {
        try {
            const Returns::Way way =
                Returns::paidByCard(order) != 0 ? Returns::Way::Card : Returns::Way::Cash;
            for (const Returns::Returnable& line : Returns::returnable(order)) {
                // One unit at a time, as long as the ledger lets any come back.
                for (;;) {
                    try {
                        Returns::make(order, {{line.line, Currency::fromInt(1), line.line % 2 == 1}}, way,
                                      QStringLiteral("两台同时退货"));
                        ++returned;
                    } catch (const Refused&) {
                        ++refused;
                        break;
                    }
                }
            }
        } catch (const LedgerError& e) {
            std::fprintf(stderr, "failed: %s\n", e.text().toLocal8Bit().constData());
            ++failed;
        }
    }
    std::printf("returned %d refused %d failed %d\n", returned, refused, failed);
    return 0;
}

int shift(const QString& till, const QString& openingFloat, int sales, quint32 seed) {
    QRandomGenerator random(seed);
    QList<qint64> products;
    QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select bid from ab order by bid"));
    while (q.next())
        products << q.value(0).toLongLong();
    Staff::setTillName(till);
    try {
        const Shifts::Shift opened = Shifts::open(Currency::parse(openingFloat));
        int sold = 0;
        for (int i = 0; i < sales; ++i) {
            const qint64 product = products.at(int(random.bounded(quint32(products.size()))));
            const Orders::LineAdded added = Orders::addLine(0, product, Currency::fromInt(1));
            Settlement::payCash(added.order, added.amountDue);
            ++sold;
        }
        Shifts::moveCash(Shifts::Move::In, Currency::fromInt(10), QStringLiteral("零钱"));
        Shifts::moveCash(Shifts::Move::Out, Currency::fromInt(3), QStringLiteral("买水"));
        const Currency expected = Shifts::figures(opened.key).expected();
        const Shifts::Figures closed = Shifts::close(opened.key, expected);
        std::printf("shift %lld sold %d expected %s\n", opened.key, sold,
                    qPrintable(closed.shift.expected.value_or(Currency()).toString()));
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "failed: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: till sell URL ATTEMPTS SEED | till pay URL CARDS | till edit URL NAME | "
                             "till return URL | till shift URL TILL FLOAT SALES SEED\n");
        return 2;
    }
    try {
        Server::openShop(Server::parseUrl(args.at(2)));
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "till: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    if (args.at(1) == QLatin1String("sell") && args.size() == 5)
        return sell(args.at(3).toInt(), args.at(4).toUInt());
    if (args.at(1) == QLatin1String("pay") && args.size() == 4)
        return pay(args.at(3).toInt());
    if (args.at(1) == QLatin1String("edit") && args.size() == 4)
        return edit(args.at(3));
    if (args.at(1) == QLatin1String("return"))
        return giveBack();
    if (args.at(1) == QLatin1String("shift") && args.size() == 7)
        return shift(args.at(3), args.at(4), args.at(5).toInt(), args.at(6).toUInt());
    return 2;
}
