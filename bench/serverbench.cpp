// vandrel-ledger-bench --server URL: the figures of a till whose ledger is on a database server.
// Builds the shop of the given scale in files, copies it onto a new database of the server at URL
// (an administrator's, who may create databases) with vandrel-ledger-migrate, and measures a till
// on it: its start, a keystroke in the stock-out records' search, adding an order line, and how
// long another till's write takes to show. The database is dropped at the end.
#include "serverbench.h"
#include "ledger/reportfiles.h"

#include "timing.h"

#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "data/demodata.h"
#include "data/schema.h"
#include "data/server.h"
#include "data/tableindex.h"
#include "data/work.h"
#include "orders/new_dingdan.h"
#include "reports/reports.h"
#include "warehouse/Fr_kf_chuku.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Timing::timeRuns;

void line(const QString& label, double value, double goal) {
    std::printf("%-16s %-62s %10.2f %-3s goal <= %7.1f %-3s %-26s %s\n", "server", qPrintable(label), value,
                "ms", goal, "ms", "", value <= goal ? "PASS" : "FAIL");
    std::fflush(stdout);
}

void paintList(QWidget* w) {
    if (auto* grid = qobject_cast<QAbstractScrollArea*>(w))
        grid->viewport()->repaint();
    else if (w)
        w->repaint();
}

void searchStockOut(const QString& text) {
    if (auto* edit = main_window->Fr_kf_chuku1->findChild<QLineEdit*>(QStringLiteral("bsSkinEdit1")))
        edit->setText(text);
}

// The shop's files, made in the folder.
void makeShop(const QString& folder, double scale) {
    Schema::createDatabaseFiles(folder);
    TData_in data(nullptr, folder);
    DemoData::fill(DemoData::countsFor(scale));
    Db::exec(Db::lists(), QStringLiteral("update a5 set run = '1'")); // no guide over the window
    data.checkpoint();
}

void measure(const QString& folder, const Server::Address& shop) {
    const std::vector<double> start = Timing::startupRuns(folder, 3);
    line(QStringLiteral("start-up on a server, main window shown, every list open"), Timing::median(start),
         2000);

    // The big tables are read for the searches shortly after the start, on a thread of their own:
    // the window's longest pause meanwhile (taking in what was read), and how long until all are in.
    {
        QElapsedTimer t;
        t.start();
        qint64 last = 0;
        qint64 longest = 0;
        auto allRead = [] {
            for (const char* table : {"aa", "ab", "ac", "ae", "ag", "ah", "aj", "ak"})
                if (!Data_in->index(QLatin1String(table))->isBuilt())
                    return false;
            return true;
        };
        while (!allRead() && t.elapsed() < 60000) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            const qint64 now = t.elapsed();
            longest = std::max(longest, now - last);
            last = now;
            QThread::usleep(500);
        }
        std::printf("every list's index read %.1f s after the start\n", t.elapsed() / 1000.0);
        line(QStringLiteral("longest pause of the window while the indexes are read"), double(longest), 200);
    }

    main_window->switchTo(main_window->Fr_kf_chuku1);
    QApplication::processEvents();
    QWidget* grid = main_window->Fr_kf_chuku1->findChild<QWidget*>(QStringLiteral("bsSkinDBGrid2"));
    const std::vector<double> search = timeRuns(
        5,
        [&] {
            searchStockOut(QStringLiteral("金"));
            paintList(grid);
        },
        [] { searchStockOut(QStringLiteral("x")); });
    line(QStringLiteral("search stock-out records '金' (%1 rows)").arg(Data_in->Query_ae->recordCount()),
         Timing::median(search), 50);
    searchStockOut(QString());

    Db::exec(Db::business(),
             QStringLiteral("update ab set b4 = 100000 where bid = (select max(bid) from ab)"));
    Data_in->Query_ab->refresh();
    new_dingdan->show();
    QApplication::processEvents();
    bool first = true;
    const std::vector<double> add = timeRuns(7, [&] {
        if (first)
            new_dingdan->bsSkinButton1Click();
        else
            new_dingdan->bsSkinSpeedButton2Click();
        first = false;
        new_dingdan->repaint();
    });
    new_dingdan->hide();
    line(QStringLiteral("add an order line on a server (transaction and refreshes)"), Timing::median(add),
         20);

    // Another till adds a product: from its commit until this till's product list shows it.
    const QString other = QStringLiteral("bench_other_till");
    std::vector<double> shown;
    {
        QSqlDatabase db = Server::open(other, shop);
        for (int i = 0; i < 5; ++i) {
            const int before = Data_in->Query_ab->recordCount();
            Server::command(db, QStringLiteral("BEGIN"));
            QSqlQuery added = Db::exec(
                db, QStringLiteral("insert into ab (b3, b4, b8, b9) values (:n, 1, 1, 1) returning bid"),
                {{QStringLiteral(":n"), QStringLiteral("另一台收银机的产品 %1").arg(i)}});
            // What a till's commit tells the others: the table and the key of the row it added.
            Db::Change change = Db::Change::of(QStringLiteral("ab"));
            if (added.next())
                change.keys = change.added = {added.value(0).toLongLong()};
            Db::exec(db, QStringLiteral("select pg_notify(:c, :p)"),
                     {{QStringLiteral(":c"), Db::Work::Channel},
                      {QStringLiteral(":p"), Db::changesPayload({change}, other)}});
            QElapsedTimer t;
            Server::command(db, QStringLiteral("COMMIT"));
            t.start();
            while (Data_in->Query_ab->recordCount() == before && t.elapsed() < 5000) {
                QApplication::processEvents(QEventLoop::AllEvents, 5);
                QThread::usleep(200);
            }
            shown.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    Db::closeConnection(other);
    line(QStringLiteral("another till's write shown in this till's list"), Timing::median(shown), 1000);
    Startup::destroyInstances();
}

} // namespace

int serverBench(const QString& url, double scale, bool keep) {
    const Server::Address admin = Server::parseUrl(url);
    Server::Address shop = admin;
    // A kept shop has a name of its scale and is used again by the next run.
    shop.database =
        keep ? QStringLiteral("vandrel_bench_scale_%1").arg(QString::number(scale).replace('.', '_'))
             : QStringLiteral("vandrel_bench_%1").arg(QCoreApplication::applicationPid());
    const QString connection = QStringLiteral("bench_admin");
    const auto onServer = [&](const QString& sql, const Db::Params& params = {}) {
        QVariant value;
        {
            QSqlDatabase db = Server::open(connection, admin);
            if (params.empty())
                Server::command(db, sql);
            else
                value = Db::scalar(db, sql, params);
        }
        Db::closeConnection(connection);
        return value;
    };
    const bool made = keep && onServer(QStringLiteral("select count(*) from pg_database where datname = :d"),
                                       {{QStringLiteral(":d"), shop.database}})
                                      .toInt() > 0;
    QTemporaryDir files, till;
    int status = 0;
    try {
        if (made) {
            std::printf("the shop of scale %g kept on the server as %s\n", scale, qPrintable(shop.database));
        } else {
            QElapsedTimer t;
            t.start();
            makeShop(files.path(), scale);
            std::printf("data built in %.1f s (scale %g)\n", t.elapsed() / 1000.0, scale);
            std::fflush(stdout);
            onServer(QStringLiteral("CREATE DATABASE %1").arg(shop.database));
            t.restart();
            QProcess migrate;
            migrate.start(QCoreApplication::applicationDirPath() + QStringLiteral("/vandrel-ledger-migrate"),
                          {files.path(), shop.url()});
            if (!migrate.waitForFinished(3600 * 1000) || migrate.exitCode() != 0)
                throw DatabaseError(QStringLiteral("migrate failed: %1")
                                        .arg(QString::fromLocal8Bit(migrate.readAllStandardError())));
            std::printf("copied onto the server in %.1f s\n", t.elapsed() / 1000.0);
        }
        std::fflush(stdout);
        {
            // No guide over the window (a shop copied from a demo folder may not have seen it).
            QSqlDatabase db = Server::open(connection, shop);
            Db::exec(db, QStringLiteral("update a5 set run = '1'"));
        }
        Db::closeConnection(connection);
        Server::writeConf(till.path(), shop);
        ReportFiles::install(till.path());
        measure(till.path(), shop);
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-bench: %s\n", qPrintable(e.text()));
        status = 1;
    }
    if (!keep || status != 0)
        onServer(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(shop.database));
    return status;
}
