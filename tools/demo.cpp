// vandrel-ledger-demo FOLDER [--scale N]: fills a working folder with a shop to try the program with.
// Without --scale: a year of a small shop up to yesterday, written through the shop's operations, into
// a folder that holds no products yet. With --scale: bulk generated data for the benchmarks (scale
// 1 is ten busy years). The folder's database files are created first when it has none.
#include "core/commandline.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "data/database.h"
#include "data/demodata.h"
#include "data/schema.h"
#include "ledger/demoshop.h"
#include "ledger/reportfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace {

int shop(const QString& folder) {
    const QDir dir(folder);
    Db::openExclusive(Db::Business, dir.absoluteFilePath(Db::BusinessFile));
    Db::openExclusive(Db::Lists, dir.absoluteFilePath(Db::ListsFile));
    Schema::createIndexes(Db::business());
    if (Db::scalar(Db::business(), QStringLiteral("select count(*) from ab")).toLongLong() > 0) {
        std::fprintf(stderr, "vandrel-ledger-demo: %s\n",
                     QStringLiteral("'%1' 中已有产品，演示商店只写入新的工作文件夹 / "
                                    "the folder holds products already; the demo shop goes into a new one")
                         .arg(dir.absolutePath())
                         .toLocal8Bit()
                         .constData());
        return 1;
    }
    DemoShop::Plan plan;
    plan.last = QDate::currentDate().addDays(-1); // a year up to yesterday: no order later than now
    // A bar on a terminal, a line every tenth otherwise (a log keeps it readable).
    const bool terminal = isatty(fileno(stdout));
    int shown = -1;
    const DemoShop::Written w = DemoShop::fill(plan, [&](int done, int total) {
        const int percent = done * 100 / total;
        if (percent == shown || (!terminal && percent % 10 != 0))
            return true;
        shown = percent;
        if (terminal)
            std::printf("\r生成演示商店 / writing the demo shop [%-20s] %3d%%",
                        QByteArray(percent / 5, '#').constData(), percent);
        else
            std::printf("生成演示商店 / writing the demo shop %3d%%\n", percent);
        std::fflush(stdout);
        return true;
    });
    if (terminal)
        std::printf("\n");
    std::printf("%d products, %d stock-in records, %d orders (%d settled, %d from member cards), "
                "%d members, %d recharges\n",
                w.products, w.stockIns, w.orders, w.settled, w.cardPayments, w.members, w.recharges);
    return 0;
}

int bulk(const QString& folder, double scale) {
    TData_in data(nullptr, folder);
    QElapsedTimer timer;
    timer.start();
    DemoData::fill(DemoData::countsFor(scale), 20261209, [](const char* what) {
        std::printf("writing %s\n", what);
        std::fflush(stdout);
    });
    std::printf("done in %.1f s\n", timer.elapsed() / 1000.0);
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral("在工作文件夹中生成一个演示商店：一年的进货、订单（大多已用现金或会员卡结算）、"
                       "会员及其充值和消费；文件夹中缺少数据库文件时先建立。\n"
                       "Fills FOLDER with a demo shop: a year of stock-in, orders (most settled in "
                       "cash or by member card), members with recharges and payments;\n"
                       "the database files are created first when missing. --scale writes bulk "
                       "data for the benchmarks instead."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    const QCommandLineOption scaleOption(
        QStringLiteral("scale"),
        QStringLiteral("批量数据的规模，1 = 十万个产品和二十万个订单 / bulk data at scale N (0 to 10; "
                       "1 = 100,000 products and 200,000 orders)"),
        QStringLiteral("N"));
    parser.addOption(scaleOption);
    if (const int status = CommandLine::read(parser, 1, 1); status >= 0)
        return status;
    double scale = 0;
    if (parser.isSet(scaleOption)) {
        bool ok = false;
        scale = parser.value(scaleOption).toDouble(&ok);
        if (!ok || scale <= 0 || scale > 10) {
            std::fprintf(stderr,
                         "vandrel-ledger-demo: --scale 需要 0 到 10 之间的数 / needs a number between 0 "
                         "and 10\n");
            return 2;
        }
    }
    try {
        const QString folder = parser.positionalArguments().at(0);
        if (!QFileInfo::exists(QDir(folder).filePath(Db::BusinessFile)))
            Schema::createDatabaseFiles(folder);
        ReportFiles::install(folder); // keeps any definition already there
        if (!parser.isSet(scaleOption))
            return shop(folder);
        return bulk(folder, scale);
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-demo: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
}
