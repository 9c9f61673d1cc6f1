// vandrel-ledger-check FOLDER: checks the ledger of a working folder whose program is not running
// and prints the report. It only reads: the files are opened exclusively (so the program cannot
// start meanwhile), checked and closed again, leaving no log file behind.
// Exit status: 0 nothing found, 1 problems found, 2 any other error, 3 the files are in use.
#include "ledger/check.h"
#include "core/commandline.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/server.h"
#include "ledger/backup.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

namespace {

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toUtf8().constData(), to);
    std::fflush(to);
}

bool locked(const QString& error) {
    return error.contains(QLatin1String("locked"), Qt::CaseInsensitive) ||
           error.contains(QLatin1String("busy"), Qt::CaseInsensitive);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral("检查工作文件夹中的账本（service_a.dll 和 service_b.dll），只读不写。\n"
                       "程序正在使用这个文件夹时不能检查：请先退出程序。\n"
                       "Checks the ledger of a working folder (service_a.dll and service_b.dll) without\n"
                       "changing it. The program must not be running on the folder.\n"
                       "文件夹中有 server.conf 时检查数据库服务器上的账本（收银台可以继续工作）。\n"
                       "With a server.conf in the folder, checks the ledger on the server (the tills may\n"
                       "go on working).\n\n"
                       "退出码 / exit status:\n"
                       "  0  没有发现问题 / nothing found\n"
                       "  1  发现问题（见报告）/ problems found (see the report)\n"
                       "  2  其他错误 / any other error\n"
                       "  3  程序正在运行，文件被占用 / the program is running (the files are locked)"));
    const QCommandLineOption full(
        QStringLiteral("full"),
        QStringLiteral(
            "完整检查数据库文件（包括索引，较慢；每周自动做一次）/ check the database files in full, "
            "indexes included (slower; done by itself once a week)"));
    parser.addOption(full);
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    if (const int status = CommandLine::read(parser, 1, 1); status >= 0)
        return status;
    const QStringList folders = parser.positionalArguments();

    const QDir folder(folders[0]);
    if (Server::usesServer(folder.absolutePath())) {
        // A shop on a server: checked while its tills work (one snapshot); the password comes from
        // ~/.pgpass or PGPASSWORD.
        int status = 2;
        try {
            Server::openShop(Server::readConf(folder.absolutePath()));
            const Ledger::CheckReport report = Ledger::checkShop();
            print(stdout, report.text());
            status = report.clean() ? 0 : 1;
        } catch (const LedgerError& e) {
            print(stderr,
                  QStringLiteral("vandrel-ledger-check: 无法连接数据库服务器 / cannot reach the server: %1\n")
                      .arg(e.text()));
        }
        Db::closeConnection(Db::Business);
        Db::closeConnection(Db::Lists);
        return status;
    }
    // A restore cut off is completed first (or undone): the folder is then wholly one side.
    try {
        if (const QString resumed = Backups::finishInterruptedRestore(folder.absolutePath()).text;
            !resumed.isEmpty())
            print(stdout, resumed + QLatin1Char('\n'));
    } catch (const Refused& e) {
        print(stderr, QStringLiteral("vandrel-ledger-check: %1\n").arg(e.text()));
        return 3;
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("vandrel-ledger-check: %1\n").arg(e.text()));
        return 2;
    }
    for (const QString& file : {Db::BusinessFile, Db::ListsFile})
        if (!QFileInfo::exists(folder.filePath(file))) {
            print(stderr, QStringLiteral("vandrel-ledger-check: 文件夹中没有 %1 / no %1 in '%2'\n")
                              .arg(file, folder.absolutePath()));
            return 2;
        }

    int status = 2;
    try {
        // A file that is not this program's is named and left untouched.
        for (const auto& [file, tables] : {std::pair{Db::BusinessFile, &Schema::businessTables()},
                                           std::pair{Db::ListsFile, &Schema::listTables()}})
            if (const QString problem = Schema::fileProblem(folder.absoluteFilePath(file), *tables);
                !problem.isEmpty())
                throw DatabaseError(problem);
        const QSqlDatabase business =
            Db::openExclusive(Db::Business, folder.absoluteFilePath(Db::BusinessFile));
        const QSqlDatabase lists = Db::openExclusive(Db::Lists, folder.absoluteFilePath(Db::ListsFile));
        const Ledger::CheckReport report = Ledger::checkLedger(
            business, lists, {}, parser.isSet(full) ? Ledger::FileCheck::Full : Ledger::FileCheck::Due);
        print(stdout, report.text());
        status = report.clean() ? 0 : 1;
    } catch (const DatabaseError& e) {
        if (locked(e.text())) {
            print(stderr, QStringLiteral("vandrel-ledger-check: 程序正在运行，文件被占用 / the program is "
                                         "running (the files are locked)\n"));
            status = 3;
        } else {
            print(stderr, QStringLiteral("vandrel-ledger-check: 无法打开数据文件 / cannot open the database "
                                         "files: %1\n")
                              .arg(e.text()));
        }
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("vandrel-ledger-check: %1\n").arg(e.text()));
    }
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
    return status;
}
