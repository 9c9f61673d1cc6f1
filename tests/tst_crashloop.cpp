#include "core/errors.h"
#include "data/demodata.h"
#include "data/schema.h"
#include "data/work.h"
#include "ledger/check.h"
#include "ledger/members.h"
#include "ledger/orders.h"
#include "ledger/settlement.h"
#include "ledger/stockin.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstdio>

// A shop killed (SIGKILL) at random moments while it writes: after every kill the files are
// whole, every operation the driver saw committed is in them, the ledger check finds nothing and
// every product's stock is its start plus its stock-ins less its stock-outs. The driver is this executable
// run with LEDGER_CRASH_DRIVER set to the folder; LEDGER_CRASH_SEED replays a run, LEDGER_CRASH_KILLS sets
// how many kills.
class TestCrashLoop : public QObject {
    Q_OBJECT
private slots:
    void killedAtRandomMomentsTheFilesHold();
};

namespace {

void open(const QString& folder) {
    const QDir dir(folder);
    Db::openExclusive(Db::Business, dir.absoluteFilePath(Db::BusinessFile));
    Db::openExclusive(Db::Lists, dir.absoluteFilePath(Db::ListsFile));
}

void close() {
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
}

Currency number(const QVariant& v) {
    return Currency::fromVariant(v);
}

qint64 randomKey(QRandomGenerator& random, const QString& sql) {
    QList<qint64> keys;
    QSqlQuery q = Db::exec(Db::business(), sql);
    while (q.next())
        keys << q.value(0).toLongLong();
    return keys.isEmpty() ? 0 : keys.at(int(random.bounded(int(keys.size()))));
}

// Tells the test, in one line written at once, what a committed operation left in the files (or,
// before a removal, what it is about to remove).
void say(const char* what, const char* table, qint64 key) {
    std::printf("%s %s %lld\n", what, table, static_cast<long long>(key));
    std::fflush(stdout);
}

// Random operations until killed. After each commit a line on stdout names a row the operation
// wrote ("row TABLE KEY"), a row it removed ("gone ak KEY") or an order it settled ("settled aa
// KEY"); a removal is announced before it starts ("removing ak KEY"), since a kill between its
// commit and its line leaves the row's fate open.
int drive(const QString& folder, quint32 seed) {
    QRandomGenerator random(seed);
    open(folder);
    std::fputs("ready\n", stdout);
    std::fflush(stdout);
    const QString unsettled = QStringLiteral("select aid from aa where a2 = '未结算'");
    for (;;) {
        try {
            const qint64 product = randomKey(random, QStringLiteral("select bid from ab"));
            const qint64 card = randomKey(random, QStringLiteral("select jid from aj"));
            switch (random.bounded(9)) {
            case 0:
                say("row", "ac",
                    StockIn::receive(product, Currency::fromInt(random.bounded(1, 20)), QDate(2026, 12, 9))
                        .record);
                break;
            case 1:
                say("row", "ak", Orders::addLine(0, product, Currency::fromInt(random.bounded(1, 3))).line);
                break;
            case 2:
            case 3:
                say("row", "ak",
                    Orders::addLine(randomKey(random, unsettled), product,
                                    Currency::fromInt(random.bounded(1, 3)))
                        .line);
                break;
            case 4: {
                const qint64 line = randomKey(random, QStringLiteral("select kid from ak, aa where k8 = aid "
                                                                     "and a2 = '未结算'"));
                say("removing", "ak", line);
                Orders::removeLine(line);
                say("gone", "ak", line);
                break;
            }
            case 5: {
                const qint64 order = randomKey(random, unsettled);
                say("row", "ag", Settlement::payByCard(order, card, Orders::amountDue(order)).record);
                say("settled", "aa", order);
                break;
            }
            case 6: {
                const qint64 order = randomKey(random, unsettled);
                Settlement::payCash(order, Orders::amountDue(order));
                say("settled", "aa", order);
                break;
            }
            case 7:
                say("row", "ah",
                    Members::recharge(card, Currency::fromScaled(random.bounded(-100000, 500000))).record);
                break;
            default:
                say("row", "aj",
                    Members::create(
                        {QStringLiteral("新会员"), {}, {}, {}, {}, QStringLiteral("先生"), {}, {}},
                        Currency()));
                break;
            }
        } catch (const Refused&) {
            // Too little stock or balance, nothing to pick: the next draw.
        }
    }
}

// What the driver saw committed, run after run: the rows that must be in the files and the
// orders that must be settled.
struct Committed {
    QSet<QPair<QString, qint64>> rows;
    QSet<qint64> settled;
    int operations = 0;

    // Takes in a driver's whole output (up to the kill); returns the lines it could not read.
    QStringList take(const QByteArray& out) {
        QStringList unread;
        QPair<QString, qint64> removing;
        const QList<QByteArray> lines = out.split('\n');
        // The last piece has no line end: cut off by the kill, or empty.
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            const QList<QByteArray> words = lines.at(i).split(' ');
            if (words == QList<QByteArray>{"ready"})
                continue;
            bool ok = false;
            const qint64 key = words.value(2).toLongLong(&ok);
            if (words.size() != 3 || !ok) {
                unread << QString::fromUtf8(lines.at(i));
                continue;
            }
            const QPair<QString, qint64> row{QString::fromLatin1(words.at(1)), key};
            if (words.at(0) == "removing") {
                removing = row;
                continue;
            }
            ++operations;
            removing = {};
            if (words.at(0) == "row")
                rows.insert(row);
            else if (words.at(0) == "gone")
                rows.remove(row);
            else if (words.at(0) == "settled")
                settled.insert(key);
            else
                unread << QString::fromUtf8(lines.at(i));
        }
        // A removal under way at the kill may have been committed or not.
        rows.remove(removing);
        return unread;
    }

    // What of it the files lack.
    QStringList missing() const {
        QStringList out;
        for (const auto& [table, key] : rows) {
            const Schema::Table* t = Schema::findTable(table);
            if (Db::scalar(Db::business(),
                           QStringLiteral("select count(*) from %1 where %2 = :k").arg(table, t->key),
                           {{QStringLiteral(":k"), key}})
                    .toInt() != 1)
                out << QStringLiteral("%1 %2 lost").arg(table).arg(key);
        }
        for (const qint64 order : settled)
            if (Db::scalar(Db::business(), QStringLiteral("select a2 from aa where aid = :k"),
                           {{QStringLiteral(":k"), order}})
                    .toString() != QStringLiteral("已结算"))
                out << QStringLiteral("order %1 no longer settled").arg(order);
        return out;
    }
};

// What the ledger must keep equal whatever happens: a product's stock less its stock-ins plus
// its stock-outs, a card's balance less its recharges plus its payments, an order's amount due
// less the sum of its lines.
struct Balances {
    QHash<qint64, Currency> stock, card, order;
};

Balances measure() {
    Balances l;
    QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select bid, b4 from ab"));
    while (q.next())
        l.stock[q.value(0).toLongLong()] = number(q.value(1));
    q = Db::exec(Db::business(), QStringLiteral("select c1, c3 from ac"));
    while (q.next())
        l.stock[q.value(0).toLongLong()] -= Currency::parse(q.value(1).toString());
    q = Db::exec(Db::business(), QStringLiteral("select e1, e3 from ae"));
    while (q.next())
        l.stock[q.value(0).toLongLong()] += Currency::parse(q.value(1).toString());
    q = Db::exec(Db::business(), QStringLiteral("select jid, j9 from aj"));
    while (q.next())
        l.card[q.value(0).toLongLong()] = number(q.value(1));
    q = Db::exec(Db::business(), QStringLiteral("select h6, h2 from ah"));
    while (q.next())
        l.card[q.value(0).toLongLong()] -= number(q.value(1));
    q = Db::exec(Db::business(), QStringLiteral("select g6, g2 from ag"));
    while (q.next())
        l.card[q.value(0).toLongLong()] += number(q.value(1));
    q = Db::exec(Db::business(), QStringLiteral("select aid, a5 from aa"));
    while (q.next())
        l.order[q.value(0).toLongLong()] = number(q.value(1));
    q = Db::exec(Db::business(), QStringLiteral("select k8, k4, k6 from ak"));
    while (q.next())
        l.order[q.value(0).toLongLong()] -=
            Currency::parse(q.value(1).toString()) * Currency::parse(q.value(2).toString());
    return l;
}

// What the ledger check finds: order totals, card chains, numbers and moments, orphans.
QStringList problems() {
    QStringList out;
    for (const ::Ledger::CheckProblem& p : ::Ledger::checkLedger(Db::business(), Db::lists()).problems)
        out << p.title;
    return out;
}

// The differences that are no longer as they were at the start (new cards and orders start at 0).
QStringList broken(const Balances& start, const Balances& now) {
    QStringList out;
    auto compare = [&out](const char* what, const QHash<qint64, Currency>& a,
                          const QHash<qint64, Currency>& b) {
        for (auto it = b.begin(); it != b.end(); ++it)
            if (it.value() != a.value(it.key()))
                out << QStringLiteral("%1 %2: %3 instead of %4")
                           .arg(QLatin1String(what))
                           .arg(it.key())
                           .arg(it.value().toString(), a.value(it.key()).toString());
    };
    compare("stock", start.stock, now.stock);
    compare("card", start.card, now.card);
    compare("order", start.order, now.order);
    return out;
}

} // namespace

void TestCrashLoop::killedAtRandomMomentsTheFilesHold() {
    bool ok = false;
    quint32 seed = qEnvironmentVariable("LEDGER_CRASH_SEED").toUInt(&ok);
    if (!ok)
        seed = QRandomGenerator::global()->generate();
    int kills = qEnvironmentVariableIntValue("LEDGER_CRASH_KILLS", &ok);
    if (!ok || kills <= 0)
        kills = 60;
    qInfo("crash loop: seed %u, %d kills (replay with LEDGER_CRASH_SEED=%u)", seed, kills, seed);
    QRandomGenerator random(seed);

    QTemporaryDir dir;
    Schema::createDatabaseFiles(dir.path());
    open(dir.path());
    Schema::createIndexes(Db::business());
    DemoData::Counts counts;
    counts.products = 30;
    counts.stockIns = 60;
    counts.orders = 20;
    counts.linesPerOrder = 3;
    counts.members = 8;
    counts.recharges = 20;
    counts.consumptions = 10;
    DemoData::fill(counts, seed);
    const Balances start = measure();
    const QStringList startProblems = problems();
    QVERIFY2(startProblems.isEmpty(), qPrintable(startProblems.join(QLatin1Char('\n'))));
    close();

    Committed committed;
    for (int kill = 0; kill < kills; ++kill) {
        QProcess driver;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LEDGER_CRASH_DRIVER"), dir.path());
        env.insert(QStringLiteral("LEDGER_CRASH_SEED"), QString::number(random.generate()));
        driver.setProcessEnvironment(env);
        driver.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(driver.waitForStarted());
        QByteArray out;
        while (!out.contains("ready\n")) {
            QVERIFY2(driver.waitForReadyRead(30000), driver.readAllStandardError().constData());
            out += driver.readAllStandardOutput();
        }
        QThread::msleep(random.bounded(5, 200));
        ::kill(pid_t(driver.processId()), SIGKILL);
        QVERIFY(driver.waitForFinished(30000));
        QCOMPARE(driver.exitStatus(), QProcess::CrashExit);
        out += driver.readAllStandardOutput();
        const QStringList unread = committed.take(out);
        QVERIFY2(unread.isEmpty(), qPrintable(unread.join(QLatin1Char('\n'))));

        open(dir.path());
        QCOMPARE(Db::scalar(Db::business(), QStringLiteral("pragma integrity_check")).toString(),
                 QStringLiteral("ok"));
        QCOMPARE(Db::scalar(Db::lists(), QStringLiteral("pragma integrity_check")).toString(),
                 QStringLiteral("ok"));
        // Every operation the driver saw committed is in the files, and they hold together.
        QStringList wrong = committed.missing() + broken(start, measure()) + problems();
        QCOMPARE(Db::scalar(Db::business(), QStringLiteral("select count(*) from aj where j9 < 0")).toInt(),
                 0);
        close();
        QVERIFY2(wrong.isEmpty(), qPrintable(QStringLiteral("after kill %1 (seed %2): %3")
                                                 .arg(kill + 1)
                                                 .arg(seed)
                                                 .arg(wrong.join(QStringLiteral("; ")))));
    }
    qInfo("%d kills, %d operations committed between them", kills, committed.operations);
    QVERIFY(committed.operations > 0);
    QVERIFY(!committed.rows.isEmpty());
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString folder = qEnvironmentVariable("LEDGER_CRASH_DRIVER");
    if (!folder.isEmpty())
        return drive(folder, qEnvironmentVariable("LEDGER_CRASH_SEED").toUInt());
    TestCrashLoop tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_crashloop.moc"
