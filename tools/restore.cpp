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
#include <QStorageInfo>
#include <cstdio>

namespace {

void print(FILE* to, const QString& text) {
    std::fprintf(to, "%s\n", text.toLocal8Bit().constData());
}

// A failure to read or write that says nothing about the files themselves.
bool transient(const QString& text) {
    for (const char* word : {"disk I/O error", "database or disk is full", "磁盘空间不足", "权限",
                             "out of memory", "unable to open"})
        if (text.contains(QString::fromUtf8(word), Qt::CaseInsensitive))
            return true;
    return false;
}

// The restored ledger is checked at once.
int checkRestored(const QString& folder, const QString& source) {
    print(stdout, QStringLiteral("已恢复 / restored: %1").arg(source));
    try {
        ToolFolder::open(folder, true);
        const Ledger::CheckReport report = Ledger::checkShop();
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

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(
        parser,
        QStringLiteral(
            "用一份备份恢复工作文件夹的数据（程序未运行时）。先重新验证备份，再备份当前文件，然后替换，\n"
            "最后检查账目；任何一步失败，当前文件保持原样。中途被中断（进程被杀、断电）的恢复，\n"
            "会在下次启动程序或运行任一工具时完成。\n"
            "Restores a working folder (its program not running) from a backup: the backup is\n"
            "verified again, the current files are backed up, then replaced, and the ledger is\n"
            "checked; a failure at any step leaves the current files as they were. A restore cut off\n"
            "(killed, a power cut) is completed the next time the program or any tool opens the folder.\n\n"
            "退出码 / exit status: 0 完成 / done, 1 失败或检查发现问题 / failed or problems found,\n"
            "2 其他错误 / other errors, 3 程序正在运行 / the program is running"));
    parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("工作文件夹 / the working folder"));
    parser.addPositionalArgument(QStringLiteral("BACKUP-DIR"),
                                 QStringLiteral("备份文件夹 / the backup's folder"));
    if (const int status = CommandLine::read(parser, 2, 2); status >= 0)
        return status;
    const QString folder = QDir(parser.positionalArguments().at(0)).absolutePath();
    const QString source = QDir(parser.positionalArguments().at(1)).absolutePath();
    if (!QFileInfo(folder).isDir()) {
        print(stderr, QStringLiteral("没有文件夹 / no folder %1").arg(folder));
        return 2;
    }
    // A restore cut off before is completed first; when it was this very backup's, it is done.
    try {
        const Backups::Resumed resumed = Backups::finishInterruptedRestore(folder);
        if (!resumed.text.isEmpty())
            print(stdout, resumed.text);
        if (resumed.completed && QDir(resumed.backup) == QDir(source))
            return checkRestored(folder, source);
    } catch (const Refused& e) {
        print(stderr, e.text());
        return 3;
    } catch (const LedgerError& e) {
        print(stderr, e.text());
        return 1;
    }
    try {
        Backups::verify(source);
    } catch (const LedgerError& e) {
        print(stderr,
              QStringLiteral("备份无法使用，没有恢复 / the backup cannot be used, nothing restored: %1")
                  .arg(e.text()));
        return 1;
    }
    bool damaged = false;
    try {
        ToolFolder::open(folder, true);
    } catch (const Refused& e) {
        ToolFolder::close();
        print(stderr, e.text());
        return 3;
    } catch (const LedgerError& e) {
        ToolFolder::close();
        // A disk that cannot be read or is full does not make the files damaged: nothing is done.
        if (transient(e.text())) {
            const qint64 free = QStorageInfo(folder).bytesAvailable();
            if (free >= 0 && free < (1 << 20))
                print(stderr,
                      QStringLiteral(
                          "磁盘空间不足：文件夹 %1 所在的磁盘只剩 %2 KB，当前文件无法打开。请腾出空间后"
                          "再恢复。")
                          .arg(folder)
                          .arg(free / 1024));
            print(stderr,
                  QStringLiteral("当前文件现在无法读取，没有恢复 / the current files cannot be read now, "
                                 "nothing restored: %1")
                      .arg(e.text()));
            return 1;
        }
        // Damaged or missing files are what a restore is for: they are kept as they are instead
        // of backed up.
        damaged = true;
        print(stdout,
              QStringLiteral("当前文件无法打开 / the current files cannot be opened: %1").arg(e.text()));
    }
    // The backup's files are copied into the folder and checked there first; only then are the
    // current files kept (backed up, or set aside as they are) and swapped out.
    try {
        Backups::swapIn(folder, source, [&] {
            if (damaged) {
                try {
                    const QString kept = Backups::setAsideDamaged(folder);
                    print(stdout,
                          QStringLiteral("当前文件已原样保存 / the current files were kept as they were: %1")
                              .arg(kept));
                } catch (const LedgerError& e) {
                    throw DatabaseError(
                        QStringLiteral("无法保存当前文件 / the current files could not be kept: %1")
                            .arg(e.text()));
                }
                return;
            }
            try {
                const Backups::Backup before = Backups::make(folder, QStringLiteral("恢复前备份"));
                print(stdout, QStringLiteral("当前文件已备份 / the current files were backed up: %1")
                                  .arg(before.folder));
            } catch (const LedgerError& e) {
                throw DatabaseError(
                    QStringLiteral("无法备份当前文件 / the current files could not be backed up: %1")
                        .arg(e.text()));
            }
            ToolFolder::close();
        });
    } catch (const LedgerError& e) {
        ToolFolder::close();
        print(stderr, QStringLiteral("恢复失败 / restore failed: %1").arg(e.text()));
        return 1;
    }
    return checkRestored(folder, source);
}
