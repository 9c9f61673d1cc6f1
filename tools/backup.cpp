// vandrel-ledger-backup FOLDER [--to DIR]: makes a verified backup of a working folder whose
// program is not running (for cron), into DIR or the folder's backup folder.
#include "ledger/backup.h"
#include "core/errors.h"
#include "data/database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

namespace {

void print(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(LEDGER_VERSION));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("备份一个工作文件夹的数据（程序未运行时）：两个数据库文件和报表定义，复制后验证。\n"
                       "Backs up a working folder whose program is not running: both database files and\n"
                       "the report definitions, verified after the copy."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    const QCommandLineOption to(QStringLiteral("to"),
                                QStringLiteral("备份到此文件夹（默认：设置的备份文件夹）/ back up into DIR"),
                                QStringLiteral("DIR"));
    parser.addOption(to);
    parser.process(app);
    if (parser.positionalArguments().size() != 1) {
        parser.showHelp(2);
    }
    const QString folder = QDir(parser.positionalArguments().at(0)).absolutePath();
    try {
        Db::openExclusive(Db::Business, QDir(folder).absoluteFilePath(Db::BusinessFile));
        Db::openExclusive(Db::Lists, QDir(folder).absoluteFilePath(Db::ListsFile));
    } catch (const LedgerError& e) {
        Db::closeConnection(Db::Business);
        if (e.text().contains(QLatin1String("locked"))) {
            print(stderr, QStringLiteral(
                              "程序正在运行，文件被占用 / the program is running (the files are locked): %1")
                              .arg(folder));
            return 3;
        }
        print(stderr, QStringLiteral("无法打开 / cannot open %1: %2").arg(folder, e.text()));
        return 2;
    }
    int status = 0;
    try {
        const Backups::Backup backup = Backups::make(folder, QStringLiteral("命令行备份"), parser.value(to));
        print(stdout, QStringLiteral("备份完成并已验证 / backup made and verified: %1").arg(backup.folder));
        print(stdout, backup.summary());
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("备份失败 / backup failed: %1").arg(e.text()));
        status = 1;
    }
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
    return status;
}
