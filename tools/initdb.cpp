// vandrel-ledger-initdb FOLDER: creates the two database files of a new working folder with
// every table, the starter pick lists and the settings row, then writes the default report
// definitions into its print/ folder. Existing files are never touched.
#include "core/errors.h"
#include "data/database.h"
#include "data/schema.h"
#include "reports/reports.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2 || args[1].startsWith(QLatin1Char('-'))) {
        std::fprintf(stderr, "usage: vandrel-ledger-initdb FOLDER\n"
                             "Creates service_a.dll and service_b.dll in FOLDER (made if missing)\n"
                             "and the default report definitions in FOLDER/print.\n");
        return 2;
    }
    // The definitions are written even when the database files were there already, so an older
    // working folder gets the missing ones; existing definitions stay as they are. When the files
    // could not be made, the folder is left as it was.
    int status = 0;
    try {
        Schema::createDatabaseFiles(args[1]);
        std::printf("created %s\n", QDir(args[1]).absolutePath().toLocal8Bit().constData());
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-initdb: %s\n", e.text().toLocal8Bit().constData());
        status = 1;
    }
    try {
        const QDir dir(args[1]);
        if (dir.exists(Db::BusinessFile) || dir.exists(Db::ListsFile)) {
            const QStringList written = Reports::installDefaults(args[1]);
            std::printf("wrote %lld report definitions into %s\n", static_cast<long long>(written.size()),
                        QDir(args[1]).absoluteFilePath(QStringLiteral("print")).toLocal8Bit().constData());
        }
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-initdb: %s\n", e.text().toLocal8Bit().constData());
        status = 1;
    }
    return status;
}
