// vandrel-ledger-backup FOLDER [--to DIR]: makes a verified backup of a working folder whose
// program is not running (for cron), into DIR or the folder's backup folder. For a folder whose
// ledger is on a server, the tills may go on working: the backup is of one moment of the server.
#include "ledger/backup.h"
#include "core/commandline.h"
#include "core/errors.h"
#include "data/database.h"
#include "data/server.h"
#include "data/shopcopy.h"
#include "ledger/oplog.h"
#include "toolfolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

void print(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

// Backs up the open folder, says how it went, closes it; the exit status.
int backUpAndTell(const QString& folder, const QString& reason, const QString& root, const QString& done) {
    int status = 0;
    try {
        const Backups::Backup backup = Backups::make(folder, reason, root);
        print(stdout, done.arg(backup.folder));
        print(stdout, backup.summary());
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("备份失败 / backup failed: %1").arg(e.text()));
        status = 1;
    }
    ToolFolder::close();
    return status;
}

// A shop on a server: its ledger taken at one moment into a pair of files in a scratch folder of
// the working folder (with the receipt settings and report definitions beside them), proved table
// by table against the server, its log chained as a file's, then backed up and verified as a shop
// in files is. The backup opens as a shop in files on any computer.
int backUpServer(const QString& folder, const QString& into) {
    // What a backup stopped half-way left (the program stops its tool at once when asked).
    const QDir work(folder);
    for (const QString& left :
         work.entryList({QStringLiteral(".server-snapshot-*")}, QDir::Dirs | QDir::Hidden | QDir::NoSymLinks))
        QDir(work.filePath(left)).removeRecursively();
    QTemporaryDir snapshot(QDir(folder).filePath(QStringLiteral(".server-snapshot-XXXXXX")));
    if (!snapshot.isValid()) {
        print(stderr, QStringLiteral("备份失败 / backup failed: 无法在 %1 中建立临时文件夹：%2")
                          .arg(folder, snapshot.errorString()));
        return 1;
    }
    try {
        Server::openShop(Server::readConf(folder));
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("无法打开 / cannot open %1: %2").arg(folder, e.text()));
        return 2;
    }
    QString root;
    try {
        ShopCopy::snapshotToFiles(Db::business(), snapshot.path());
        Db::closeConnection(Db::Business);
        Db::closeConnection(Db::Lists);
        const QDir from(folder);
        const QDir to(snapshot.path());
        if (from.exists(QStringLiteral("receipt.ini")) &&
            !QFile::copy(from.filePath(QStringLiteral("receipt.ini")),
                         to.filePath(QStringLiteral("receipt.ini"))))
            throw DatabaseError(QStringLiteral("无法复制小票设置 receipt.ini"));
        const QDir reports(from.filePath(QStringLiteral("print")));
        if (reports.exists()) {
            to.mkdir(QStringLiteral("print"));
            for (const QString& name : reports.entryList(QDir::Files | QDir::NoSymLinks, QDir::Name))
                if (!QFile::copy(reports.filePath(name), to.filePath(QStringLiteral("print/") + name)))
                    throw DatabaseError(QStringLiteral("无法复制报表定义 %1").arg(name));
        }
        ToolFolder::open(snapshot.path(), true);
        OpLog::seal(Db::business());
        root = into.isEmpty() ? Backups::root(folder) : into;
        QDir().mkpath(root);
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("备份失败 / backup failed: %1").arg(e.text()));
        ToolFolder::close();
        return 1;
    }
    return backUpAndTell(
        snapshot.path(), QStringLiteral("服务器备份"), root,
        QStringLiteral("服务器账本已备份并验证 / the server's ledger backed up and verified: %1"));
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser, QStringLiteral(
                    "备份一个工作文件夹的数据（程序未运行时）：两个数据库文件和报表定义，复制后验证。\n"
                    "Backs up a working folder whose program is not running: both database files and\n"
                    "the report definitions, verified after the copy. A folder whose ledger is on a\n"
                    "server (server.conf) is backed up from one moment of the server while the tills work\n"
                    "on: 服务器上的账本在收银台照常工作时按同一时刻备份。\n\n"
                    "退出码 / exit status: 0 完成 / done, 1 备份失败 / failed, 2 其他错误 / other errors,\n"
                    "3 程序正在运行 / the program is running"));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("备份到此文件夹（默认：设置的备份文件夹）/ back up into DIR"),
                                QStringLiteral("DIR"));
    parser.addOption(to);
    if (const int status = CommandLine::read(parser, 1, 1); status >= 0)
        return status;
    const QString folder = QDir(parser.positionalArguments().at(0)).absolutePath();
    if (Server::usesServer(folder))
        return backUpServer(folder,
                            parser.value(to).isEmpty() ? QString() : QDir(parser.value(to)).absolutePath());
    try {
        ToolFolder::open(folder, true);
    } catch (const Refused& e) {
        print(stderr, e.text());
        return 3;
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("无法打开 / cannot open %1: %2").arg(folder, e.text()));
        return 2;
    }
    return backUpAndTell(folder, QStringLiteral("命令行备份"), parser.value(to),
                         QStringLiteral("备份完成并已验证 / backup made and verified: %1"));
}
