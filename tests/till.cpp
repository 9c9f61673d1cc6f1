// One till of the tests of several tills at once: a process of its own with its own connections
// to the shop's server, doing what a cashier does as fast as it can, and printing what became of
// each attempt.
//
//   till sell URL ATTEMPTS SEED   sells one unit of a product picked at random, ATTEMPTS times
//   till pay URL CARDS            pays every open order: from card (order % CARDS) + 1, or in cash
//                                 when the balance is too low
#include "core/errors.h"
#include "data/database.h"
#include "data/server.h"
#include "ledger/orders.h"
#include "ledger/settlement.h"

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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: till sell URL ATTEMPTS SEED | till pay URL CARDS\n");
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
    if (args.at(1) == QLatin1String("pay"))
        return pay(args.at(3).toInt());
    return 2;
}
