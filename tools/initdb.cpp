// vandrel-ledger-initdb FOLDER: creates the two database files of a new working folder with
// every table, the starter pick lists and the settings row. Existing files are never touched.
#include "core/errors.h"
#include "data/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: vandrel-ledger-initdb FOLDER\n"
                             "Creates service_a.dll and service_b.dll in FOLDER (made if missing).\n");
        return 2;
    }
    try {
        Schema::createDatabaseFiles(args[1]);
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-initdb: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    std::printf("created %s\n", QDir(args[1]).absolutePath().toLocal8Bit().constData());
    return 0;
}
