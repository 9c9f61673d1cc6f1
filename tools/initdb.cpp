// vandrel-ledger-initdb FOLDER: creates the two database files of a new working folder with
// every table, the starter pick lists and the settings row, then writes the default report
// definitions into its print/ folder. Existing files are never touched.
// vandrel-ledger-initdb --server URL [FOLDER]: creates the same tables on an empty database of a
// server instead; with FOLDER, that folder becomes a till's working folder for it (server.conf).
#include "core/commandline.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/server.h"
#include "ledger/reportfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

int initServer(const QString& url, const QString& folder) {
    const QString probe = QStringLiteral("initdb_probe");
    try {
        const Server::Address address = Server::parseUrl(url);
        const QDir dir(folder);
        if (!folder.isEmpty() && (dir.exists(Db::BusinessFile) || dir.exists(Db::ListsFile)))
            throw Refused(QStringLiteral("文件夹 '%1' 中已有账本文件，不会改为使用服务器").arg(folder));
        // A ledger already complete on the server is left as it is: a further till only gets its
        // folder. Anything else already there is never written over.
        bool complete = false;
        {
            const QSqlDatabase db = Server::open(probe, address);
            complete = Server::ledgerTablesPresent(db) > 0 && Server::schemaProblem(db).isEmpty();
        }
        Db::closeConnection(probe);
        if (!complete || folder.isEmpty()) {
            Server::createSchema(address);
            std::printf("created the ledger on %s\n", address.url().toLocal8Bit().constData());
        }
        if (!folder.isEmpty()) {
            if (!QDir().mkpath(folder))
                throw DatabaseError(QStringLiteral("无法创建文件夹 '%1'").arg(folder));
            Server::writeConf(folder, address);
            ReportFiles::install(folder);
            std::printf("wrote %s\n", dir.absoluteFilePath(Server::ConfFile).toLocal8Bit().constData());
        }
    } catch (const LedgerError& e) {
        Db::closeConnection(probe);
        std::fprintf(stderr, "vandrel-ledger-initdb: %s\n", e.text().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral("在文件夹中建立新的工作文件夹：两个数据库文件（含初始的选择列表和设置）"
                       "和 print 中的默认报表定义；已有的文件不会被覆盖。\n"
                       "Creates service_a.dll and service_b.dll in FOLDER (made if "
                       "missing) and the default report definitions in FOLDER/print;\n"
                       "existing files are never overwritten.\n"
                       "With --server URL: creates the tables on an empty database of a server "
                       "(postgresql://user@host:port/database)\nand, with FOLDER, writes FOLDER/server.conf "
                       "so that a till started in FOLDER uses that server."));
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("在服务器的空数据库中建立账本 / create the ledger on a server"),
        QStringLiteral("URL"));
    parser.addOption(server);
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    if (const int status = CommandLine::read(parser, 0, 1); status >= 0)
        return status;
    if (parser.isSet(server))
        return initServer(parser.value(server), parser.positionalArguments().value(0));
    if (parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "vandrel-ledger-initdb: FOLDER missing\n%s",
                     parser.helpText().toLocal8Bit().constData());
        return 2;
    }
    const QString folder = parser.positionalArguments().at(0);
    // The definitions are written even when the database files were there already, so an older
    // working folder gets the missing ones; existing definitions stay as they are. When the files
    // could not be made, the folder is left as it was.
    int status = 0;
    try {
        Schema::createDatabaseFiles(folder);
        std::printf("created %s\n", QDir(folder).absolutePath().toLocal8Bit().constData());
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-initdb: %s\n", e.text().toLocal8Bit().constData());
        status = 1;
    }
    try {
        const QDir dir(folder);
        if (dir.exists(Db::BusinessFile) || dir.exists(Db::ListsFile)) {
            const QStringList written = ReportFiles::install(folder);
            std::printf("wrote %lld report definitions into %s\n", static_cast<long long>(written.size()),
                        QDir(folder).absoluteFilePath(QStringLiteral("print")).toLocal8Bit().constData());
        }
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-initdb: %s\n", e.text().toLocal8Bit().constData());
        status = 1;
    }
    return status;
}
