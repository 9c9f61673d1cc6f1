// vandrel-ledger-restore FOLDER BACKUP-DIR: puts a verified backup in place of a working folder's
// files (the program not running), after a backup of the current files.
#include "core/commandline.h"
#include "core/errors.h"
#include "data/database.h"
#include "ledger/backup.h"
#include "ledger/check.h"
#include "toolfolder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
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
        parser,
        QStringLiteral(
            "用一份备份恢复工作文件夹的数据（程序未运行时）。先重新验证备份，再备份当前文件，然后替换，\n"
            "最后检查账目；任何一步失败，当前文件保持原样。\n"
            "Restores a working folder (its program not running) from a backup: the backup is\n"
            "verified again, the current files are backed up, then replaced, and the ledger is\n"
            "checked; a failure at any step leaves the current files as they were.\n\n"
            "退出码 / exit status: 0 完成 / done, 1 失败或检查发现问题 / failed or problems found,\n"
            "2 其他错误 / other errors, 3 程序正在运行 / the program is running"));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    parser.addPositionalArgument(QStringLiteral("BACKUP-DIR"),
                                 QStringLiteral("备份文件夹 / the backup's folder"));
    if (const int status = CommandLine::read(parser, 2, 2); status >= 0)
        return status;
    const QString folder = QDir(parser.positionalArguments().at(0)).absolutePath();
    const QString source = QDir(parser.positionalArguments().at(1)).absolutePath();
    try {
        Backups::verify(source);
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("备份无法使用 / the backup cannot be used: %1").arg(e.text()));
        return 1;
    }
    if (!QFileInfo(folder).isDir()) {
        print(stderr, QStringLiteral("没有文件夹 / no folder %1").arg(folder));
        return 2;
    }
    bool damaged = false;
    try {
        ToolFolder::open(folder, true);
    } catch (const Refused& e) {
        ToolFolder::close();
        print(stderr, e.text());
        return 3;
    } catch (const LedgerError& e) {
        // Damaged or missing files are what a restore is for: they are kept as they are instead
        // of backed up.
        ToolFolder::close();
        damaged = true;
        print(stdout,
              QStringLiteral("当前文件无法打开 / the current files cannot be opened: %1").arg(e.text()));
    }
    if (damaged) {
        try {
            const QString kept = Backups::setAsideDamaged(folder);
            print(stdout, QStringLiteral("当前文件已原样保存 / the current files were kept as they were: %1")
                              .arg(kept));
        } catch (const LedgerError& e) {
            print(stderr, QStringLiteral("无法保存当前文件，没有恢复 / the current files could not be kept, "
                                         "nothing restored: %1")
                              .arg(e.text()));
            return 1;
        }
    } else {
        try {
            const Backups::Backup before = Backups::make(folder, QStringLiteral("恢复前备份"));
            print(stdout,
                  QStringLiteral("当前文件已备份 / the current files were backed up: %1").arg(before.folder));
        } catch (const LedgerError& e) {
            ToolFolder::close();
            print(stderr,
                  QStringLiteral("无法备份当前文件，没有恢复 / the current files could not be backed up, "
                                 "nothing restored: %1")
                      .arg(e.text()));
            return 1;
        }
        ToolFolder::close();
    }
    try {
        Backups::swapIn(folder, source);
    } catch (const LedgerError& e) {
        print(stderr, QStringLiteral("恢复失败，当前文件保持原样 / restore failed, the current files are "
                                     "unchanged: %1")
                          .arg(e.text()));
        return 1;
    }
    print(stdout, QStringLiteral("已恢复 / restored: %1").arg(source));
    // The restored ledger is checked at once.
    try {
        ToolFolder::open(folder, true);
        const Ledger::CheckReport report = Ledger::checkLedger(Db::business(), Db::lists());
        ToolFolder::close();
        print(stdout, report.text());
        return report.clean() ? 0 : 1;
    } catch (const LedgerError& e) {
        ToolFolder::close();
        print(stderr,
              QStringLiteral("恢复后无法检查 / the restored files could not be checked: %1").arg(e.text()));
        return 1;
    }
}
