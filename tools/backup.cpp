// vandrel-ledger-backup FOLDER [--to DIR]: makes a verified backup of a working folder whose
// program is not running (for cron), into DIR or the folder's backup folder.
#include "ledger/backup.h"
#include "core/commandline.h"
#include "core/errors.h"
#include "data/database.h"
#include "toolfolder.h"

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
    QCommandLineParser parser;
    CommandLine::prepare(
        parser, QStringLiteral(
                    "备份一个工作文件夹的数据（程序未运行时）：两个数据库文件和报表定义，复制后验证。\n"
                    "Backs up a working folder whose program is not running: both database files and\n"
                    "the report definitions, verified after the copy.\n\n"
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
    try {
        ToolFolder::open(folder, true);
    } catch (const Refused& e) {
        print(stderr, e.text());
        return 3;
    } catch (const LedgerError& e) {
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
    ToolFolder::close();
    return status;
}
