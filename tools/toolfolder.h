#pragma once

// What the command-line tools share: opening a working folder's files as the program opens them,
// and a clear refusal when the program has them open.
#include "core/errors.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/server.h"
#include "ledger/backup.h"

#include <QDir>
#include <QString>
#include <cstdio>

namespace ToolFolder {

inline Refused inUse() {
    return Refused(QStringLiteral("账本文件正被程序使用，请先关闭 vandrel-ledger 再运行本工具"
                                  "（the ledger is open in the program: close it first）"));
}

inline bool locked(const QString& text) {
    return text.contains(QLatin1String("locked"), Qt::CaseInsensitive);
}

// A folder whose ledger is on a database server (its server.conf) is opened there by the tools
// that work on a server as on files (Open), refused by those that handle files only (Refuse),
// and read as files by the one that copies files onto a server (Files).
enum class OnServer { Open, Refuse, Files };

// Opens the folder's business file (and the lists file when asked) as the program does: both are
// checked first (after a restore cut off is completed) and nothing is changed in a file that is
// not this program's (DatabaseError names what is wrong); files of an older version gain what a
// start adds. Throws Refused with a clear message when the program (or another tool) holds the
// files, or when the folder's ledger is on a server and the tool handles files only.
inline void open(const QString& folder, bool lists, OnServer onServer = OnServer::Refuse) {
    const QDir dir(folder);
    if (onServer != OnServer::Files && Server::usesServer(dir.absolutePath())) {
        if (onServer == OnServer::Refuse)
            throw Refused(
                QStringLiteral("这个工作文件夹的账本在数据库服务器上（%1），本工具只能处理本机的账本文件"
                               "（the ledger of this folder is on a database server）")
                    .arg(Server::ConfFile));
        // The password comes from ~/.pgpass or PGPASSWORD: a tool asks nothing.
        Server::openShop(Server::readConf(dir.absolutePath()));
        return;
    }
    // A restore cut off (killed, the machine stopped) is completed first: the files are then
    // wholly the backup's or wholly those from before.
    if (const QString resumed = Backups::finishInterruptedRestore(folder).text; !resumed.isEmpty())
        std::fprintf(stdout, "%s\n", resumed.toUtf8().constData());
    const auto check = [&dir](const QString& file, const QList<Schema::Table>& tables) {
        const Schema::FileCheck found = Schema::checkFile(dir.filePath(file), tables);
        if (found.fault == Schema::FileFault::None)
            return;
        if (found.fault == Schema::FileFault::InUse || locked(found.text))
            throw inUse();
        if (found.fault == Schema::FileFault::DiskFull)
            throw DiskFull(found.text);
        throw DatabaseError(found.text);
    };
    // The folder is a shop's only when both files are; the lists file is checked even when only
    // the business file is opened.
    check(Db::BusinessFile, Schema::businessTables());
    check(Db::ListsFile, Schema::listTables());
    try {
        Db::openExclusive(Db::Business, dir.filePath(Db::BusinessFile));
        if (lists)
            Db::openExclusive(Db::Lists, dir.filePath(Db::ListsFile));
        Schema::upgradeBusinessFile(Db::business());
    } catch (const DatabaseError& e) {
        if (locked(e.text()))
            throw inUse();
        throw;
    }
}

// Closes what open() opened (nothing happens for a connection not open), writing each file's log
// back first. Returns what kept a log from being written back (for a full disk the folder and the
// room needed), empty when nothing did; such a log stays whole beside its file for the next open.
inline QString close() {
    QString problem;
    for (const QString& connection : {Db::Business, Db::Lists}) {
        try {
            Db::writeBack(QSqlDatabase::database(connection, false));
        } catch (const LedgerError& e) {
            if (problem.isEmpty())
                problem = e.text();
        }
    }
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
    return problem;
}

} // namespace ToolFolder
