// vandrel-ledger-migrate FOLDER URL: copies the shop of a working folder (its two database files)
// onto an empty database of a server, in one transaction: every table and row with its key, and
// the numbering of the keys, so a key once given is never given again. Before the copy is
// committed, the rows of every table are counted and its amounts and texts summed on both sides;
// only when everything agrees is the copy kept and success reported. The folder is not changed.
#include "core/commandline.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/server.h"
#include "data/shopcopy.h"
#include "toolfolder.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral("把工作文件夹中的账本复制到服务器上的空数据库，核对行数和金额之和后才报告成功。\n"
                       "Copies the ledger of FOLDER onto an empty database of a server and "
                       "reports success only\nafter the row counts and sums of both sides agree. "
                       "FOLDER is not changed."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("postgresql://user@host:port/database"));
    if (const int status = CommandLine::read(parser, 2, 2); status >= 0)
        return status;
    const QString folder = parser.positionalArguments().at(0);
    const QString target = QStringLiteral("migrate_target");
    int status = 0;
    try {
        const Server::Address address = Server::parseUrl(parser.positionalArguments().at(1));
        ToolFolder::open(folder, true, ToolFolder::OnServer::Files);
        // A file of an earlier version gains its missing columns first, as at a start.
        Schema::upgradeBusinessFile(Db::business());
        QSqlDatabase to = Server::open(target, address);
        if (Server::ledgerTablesPresent(to) > 0)
            throw Refused(QStringLiteral("数据库 %1 不是空的，不会覆盖（the target database must be empty）")
                              .arg(address.database));
        Transaction tx(to);
        Server::createTables(to, false);
        QStringList report;
        for (const auto& [from, tables] : {std::pair{Db::business(), &Schema::businessTables()},
                                           std::pair{Db::lists(), &Schema::listTables()}})
            for (const Schema::Table& table : *tables) {
                const ShopCopy::Totals copied = ShopCopy::copyTable(from, to, table);
                const ShopCopy::Totals there = ShopCopy::totalsOf(to, table);
                if (!(copied == there))
                    throw DatabaseError(QStringLiteral("表 %1 复制后不一致: 文件 %2, 服务器 %3")
                                            .arg(table.name, copied.text(), there.text()));
                ShopCopy::carryNumbering(from, to, table);
                report << QStringLiteral("%1: %2").arg(table.name, there.text());
            }
        for (const QString& table : Schema::staffTables())
            report << ShopCopy::copyStaffTable(Db::business(), to, table);
        tx.commit();
        for (const QString& line : report)
            std::printf("%s\n", line.toLocal8Bit().constData());
        std::printf("copied and verified: %s\n", address.url().toLocal8Bit().constData());
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-migrate: %s\n", e.text().toLocal8Bit().constData());
        status = 1;
    }
    Db::closeConnection(target);
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
    return status;
}
