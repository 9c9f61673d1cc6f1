// vandrel-ledger-demo FOLDER [--scale N]: fills a working folder with generated shop data.
// Scale 1 is the benchmark's ten busy years; the default 0.001 gives a new user a small shop to
// try the program with. The folder's database files are created first when it has none.
#include "core/errors.h"
#include "data/data_in.h"
#include "data/demodata.h"
#include "data/schema.h"
#include "reports/reports.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    double scale = 0.001;
    const int at = int(args.indexOf(QStringLiteral("--scale")));
    if (at >= 0) {
        bool ok = at + 1 < args.size();
        if (ok)
            scale = args[at + 1].toDouble(&ok);
        if (!ok || scale <= 0 || scale > 10) {
            std::fprintf(stderr, "vandrel-ledger-demo: --scale needs a number between 0 and 10\n");
            return 2;
        }
        args.remove(at, 2);
    }
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: vandrel-ledger-demo FOLDER [--scale N]\n"
                             "Fills FOLDER's database files (created when missing) with generated data;\n"
                             "scale 1 = 100,000 products and 200,000 orders, default 0.001.\n");
        return 2;
    }
    try {
        const QString folder = args[0];
        if (!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("service_a.dll"))))
            Schema::createDatabaseFiles(folder);
        Reports::installDefaults(folder); // keeps any definition already there
        TData_in data(nullptr, folder);
        QElapsedTimer timer;
        timer.start();
        DemoData::fill(DemoData::countsFor(scale), 20261209, [](const char* what) {
            std::printf("writing %s\n", what);
            std::fflush(stdout);
        });
        std::printf("done in %.1f s\n", timer.elapsed() / 1000.0);
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-demo: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
