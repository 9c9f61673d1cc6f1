#include "app/instanceguard.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/commandline.h"

#include <QApplication>
#include <QProgressDialog>
#include <cstdio>

namespace {

// Reads the command line before any window system is needed, so --help and --version answer on a
// machine without a display too. Returns -1 to go on with the folder given (or none).
int readArguments(int argc, char* argv[], QString& folder) {
    QCoreApplication reader(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(parser,
                         QStringLiteral("Vandrel通用进销存：商店的产品与库存、进货、订单、结算和会员。\n"
                                        "不给文件夹时：当前文件夹中有数据库文件就用它，否则用 "
                                        "~/vandrel-ledger（第一次启动时建立）。\n"
                                        "Vandrel shop ledger: products and stock, stock-in, orders, "
                                        "settlement and members of a shop.\n"
                                        "Without FOLDER: the current folder when it holds the database "
                                        "files, otherwise ~/vandrel-ledger (made at the first start)."));
    parser.addPositionalArgument(QStringLiteral("FOLDER"),
                                 QStringLiteral("工作文件夹（可选）/ the working folder (optional)"),
                                 QStringLiteral("[FOLDER]"));
    const int status = CommandLine::read(parser, 0, 1);
    if (status < 0 && !parser.positionalArguments().isEmpty())
        folder = parser.positionalArguments().constFirst();
    return status;
}

// Another copy holds the guard. One that answers comes to the front and this start ends; one
// that does not answer is ending (the backup at its end can take a while with years of records):
// this start says so, waits for it and then goes on. False when this start ends.
bool waitForEndingCopy(InstanceGuard& guard) {
    if (guard.callRunningCopy())
        return false;
    const QString text =
        QStringLiteral("上一次运行正在结束（正在做退出时的备份），结束后程序就会启动，请稍候…");
    std::fprintf(stderr, "vandrel-ledger: %s\n", text.toLocal8Bit().constData());
    QProgressDialog waiting(text, QStringLiteral("取消"), 0, 0);
    waiting.setObjectName(QStringLiteral("waitForEndingCopy"));
    waiting.setWindowTitle(QStringLiteral("Vandrel通用进销存"));
    waiting.setMinimumDuration(0);
    waiting.show();
    while (!waiting.wasCanceled()) {
        if (guard.acquireWithin(100))
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    }
    return false;
}

} // namespace

int main(int argc, char* argv[]) {
    QString folder;
    if (const int status = readArguments(argc, argv, folder); status >= 0)
        return status;
    QApplication app(argc, argv);
    // Before any window or database file is touched: is another copy running?
    InstanceGuard guard;
    if (!guard.acquire() && !waitForEndingCopy(guard))
        return 0;
    QObject::connect(&guard, &InstanceGuard::showRequested, &app, [] {
        if (main_window)
            main_window->bringToFront();
    });
    // Once the main loop is over the program is ending: the window does not come back.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &guard, &InstanceGuard::setEnding);
    Startup::prepareApplication(app);
    return Startup::run(app, folder);
}
