#include "app/startup.h"

#include "app/Fr_wel.h"
#include "app/about.h"
#include "app/aio.h"
#include "app/help.h"
#include "app/mainwindow.h"
#include "app/quitsignals.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/server.h"
#include "data/work.h"
#include "ledger/backup.h"
#include "ledger/orders.h"
#include "ledger/picklists.h"
#include "ledger/reportfiles.h"
#include "ledger/serverbackups.h"
#include "members/edit_huiyuan.h"
#include "members/new_chongzhi.h"
#include "members/new_huiyuan.h"
#include "orders/Fr_dingdan.h"
#include "orders/edit_dingdan.h"
#include "orders/new_dingdan.h"
#include "orders/new_fenlei.h"
#include "orders/print_dingdan.h"
#include "orders/xiaopiao.h"
#include "settlement/jiesuan.h"
#include "settlement/jiesuan_huiyuanka.h"
#include "settlement/jiesuan_xianjin.h"
#include "system/backupkeeper.h"
#include "system/backupwindow.h"
#include "system/checkwindow.h"
#include "system/logwindow.h"
#include "system/operatorswindow.h"
#include "system/ownersword.h"
#include "system/restorewindow.h"
#include "system/staffdesk.h"
#include "warehouse/edit_chanpin.h"
#include "warehouse/new_chanpin.h"
#include "warehouse/new_ruku.h"
#include "warehouse/print_kucun.h"
#include "widgets/list.h"
#include "widgets/messages.h"
#include "widgets/registry.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleFactory>
#include <QTimer>
#include <QTranslator>
#include <QVBoxLayout>
#include <cstdio>

void Startup::prepareApplication(QApplication& app) {
    // No display name: the X11 platform would append it to every caption, and each window shows
    // exactly its own. The application title lives with the default error box (Messages).
    app.setApplicationName(QStringLiteral("vandrel-ledger"));
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(12);
    app.setFont(font);
    QFile style(QStringLiteral(":/style/ledger.qss"));
    if (style.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(style.readAll()));
    // Qt's own texts (确定, 取消 on standard buttons) in Chinese.
    auto* translator = new QTranslator(&app);
    if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"),
                         QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(translator);
    // A list that could not be read again after a change: the change stands, the error is shown.
    QObject::connect(&Db::Announcer::instance(), &Db::Announcer::failed, &app,
                     [](const QString& text) { Messages::error(text); });
    // A till on a server: the status bar says while the server cannot be reached; once the
    // connection is open again the cashier is told (after the operation that found it lost).
    QObject::connect(
        &Db::Announcer::instance(), &Db::Announcer::disconnected, &app,
        [](const QString& text) {
            if (main_window)
                main_window->showServerLost(text);
        },
        Qt::QueuedConnection);
    QObject::connect(
        &Db::Announcer::instance(), &Db::Announcer::reconnected, &app,
        [] {
            if (main_window)
                main_window->showServerLost(QString());
            Messages::information(Db::Reconnected);
        },
        Qt::QueuedConnection);
}

namespace {

template <typename T> void make(T*& global) {
    global = new T(main_window);
    Registry::add(global);
}

} // namespace

void Startup::createInstances(const QString& folder) {
    main_window = new Tmain;
    Registry::add(main_window);
    // A server that wants a password asks for it once at start; it is kept in memory only.
    TData_in::setPasswordAsker([](const QString& problem) {
        QInputDialog ask;
        ask.setObjectName(QStringLiteral("serverPassword"));
        ask.setWindowTitle(QStringLiteral("连接数据库服务器"));
        ask.setLabelText(QStringLiteral("请输入数据库服务器的密码：\n%1").arg(problem));
        ask.setTextEchoMode(QLineEdit::Password);
        return ask.exec() == QDialog::Accepted ? ask.textValue() : QString();
    });
    try {
        // A restore cut off (killed, the machine stopped) is completed or undone before the files
        // are checked: they are then wholly the backup's or wholly those from before.
        const QString resumed = Backups::finishInterruptedRestore(folder).text;
        if (!resumed.isEmpty()) {
            std::fprintf(stderr, "%s\n", resumed.toLocal8Bit().constData());
            Messages::information(resumed);
        }
        auto* data = new TData_in(qApp, folder);
        // The pick lists are edited in place (the pick-list editor), their rows stored as operations.
        PickLists::editIn(*data->Query_a1, PickLists::List::Major);
        PickLists::editIn(*data->Query_a2, PickLists::List::Minor);
        PickLists::editIn(*data->Query_a3, PickLists::List::Unit);
        PickLists::editIn(*data->Query_a4, PickLists::List::OrderCategory);
        // A log that cannot be written back (a full disk) is said: what was saved is safe in it.
        QObject::connect(data, &TData_in::writeBackFailed, qApp, [](const QString& text) {
            if (main_window)
                Messages::error(text);
        });
        // An order cut off by an older version before its total was written gets the sum of
        // its lines, so every window reads a whole amount due (the order list follows the change).
        Orders::mendAmountsDue();
        // Who works here: the shop's operators, this till's name and its idle lock.
        staff_desk = new StaffDesk(data->folder(), main_window);
    } catch (...) {
        delete main_window;
        main_window = nullptr;
        ::Fr_dingdan1 = nullptr;
        staff_desk = nullptr;
        Registry::clear();
        throw;
    }
    main_window->bindData();
    make(about);
    make(list);
    make(aio);
    make(new_chanpin);
    make(edit_chanpin);
    make(new_ruku);
    make(new_huiyuan);
    make(edit_huiyuan);
    make(new_chongzhi);
    make(new_dingdan);
    make(edit_dingdan);
    make(new_fenlei);
    make(jiesuan);
    make(jiesuan_xianjin);
    make(jiesuan_huiyuanka);
    make(print_dingdan);
    make(print_kucun);
    make(xiaopiao);
    make(help);
    backup_keeper = new BackupKeeper(main_window);
    auto showBackupState = [] {
        if (Data_in->onServer()) {
            QString till;
            std::optional<ServerBackups::Note> note;
            try {
                till = ServerBackups::till();
                note = ServerBackups::last();
            } catch (const LedgerError&) {
                // The server out of reach: the mark shows no backup until it is back.
            }
            main_window->showServerBackups(note ? note->time.left(16) : QString(), till,
                                           backup_keeper->overdue());
            return;
        }
        const auto last = backup_keeper->lastGood();
        main_window->showBackupState(last ? last->time.toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                                          : QString(),
                                     backup_keeper->overdue());
    };
    QObject::connect(backup_keeper, &BackupKeeper::changed, main_window, showBackupState);
    showBackupState();
    // A backup that fails is never silent.
    QObject::connect(backup_keeper, &BackupKeeper::failed, main_window,
                     [](const QString& text) { Messages::error(text); });
    make(beifen);
    make(huifu);
    make(jiancha);
    make(rizhi);
    make(caozuoyuan);
    installOwnersWordWindow();
    QObject::connect(staff_desk, &StaffDesk::changed, main_window, &Tmain::showOperator);
    main_window->showOperator();
    // Labels show names, folders and texts that came from outside as they are: only the few
    // labels made for markup (links on the welcome page) read it.
    for (QLabel* label : main_window->findChildren<QLabel*>())
        if (label->textFormat() != Qt::RichText)
            label->setTextFormat(Qt::PlainText);
}

void Startup::destroyInstances() {
    Registry::clear();
    delete main_window; // the dialogs are its children
    main_window = nullptr;
    ::Fr_dingdan1 = nullptr;
    about = nullptr;
    list = nullptr;
    aio = nullptr;
    new_chanpin = nullptr;
    edit_chanpin = nullptr;
    new_ruku = nullptr;
    new_huiyuan = nullptr;
    edit_huiyuan = nullptr;
    new_chongzhi = nullptr;
    new_dingdan = nullptr;
    edit_dingdan = nullptr;
    new_fenlei = nullptr;
    jiesuan = nullptr;
    jiesuan_xianjin = nullptr;
    jiesuan_huiyuanka = nullptr;
    print_dingdan = nullptr;
    print_kucun = nullptr;
    xiaopiao = nullptr;
    help = nullptr;
    beifen = nullptr;
    huifu = nullptr;
    jiancha = nullptr;
    rizhi = nullptr;
    caozuoyuan = nullptr;
    staff_desk = nullptr;
    backup_keeper = nullptr;
    delete Data_in;
}

void Startup::reportStartupFailure(const char* kind, const QString& text) {
    const QString message =
        QStringLiteral("Exception %1 in module %2 at %3.\n%4")
            .arg(QLatin1String(kind), QFileInfo(QCoreApplication::applicationFilePath()).fileName(),
                 // A fixed address: a real one would tell a reader where the program lies in memory.
                 QStringLiteral("0000000000401000"), text);
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    MessageService::current().error(message, QStringLiteral("Application Error"));
}

QString Startup::workingFolder(const QString& given) {
    if (!given.isEmpty())
        return QDir(given).absolutePath();
    const QDir current = QDir::current();
    if (current.exists(Db::BusinessFile) || current.exists(Db::ListsFile) || current.exists(Server::ConfFile))
        return current.absolutePath();
    const QDir home(QDir::home().filePath(QStringLiteral("vandrel-ledger")));
    if (!home.exists(Db::BusinessFile) && !home.exists(Db::ListsFile) && !home.exists(Server::ConfFile)) {
        Schema::createDatabaseFiles(home.path());
        ReportFiles::install(home.path());
    }
    return home.path();
}

namespace {

// How long the backup at the end may take after a quit signal: a log-out waits for no one.
constexpr int SignalledBackupMs = 3000;

// "正在备份…": the exit backup's window. Its close box and Esc stop the backup, as 停止备份 does.
class ExitBackupWindow : public QDialog {
public:
    ExitBackupWindow() {
        setObjectName(QStringLiteral("exitBackup"));
        setWindowTitle(Messages::ApplicationTitle);
        setWindowModality(Qt::ApplicationModal);
        auto* layout = new QVBoxLayout(this);
        text = new QLabel(QStringLiteral("正在备份…"), this);
        text->setObjectName(QStringLiteral("lblText"));
        layout->addWidget(text);
        auto* note =
            new QLabel(QStringLiteral("退出时的备份，完成后程序就会结束。停止备份不影响账本。"), this);
        note->setProperty("role", QStringLiteral("note"));
        note->setWordWrap(true);
        layout->addWidget(note);
        bar = new QProgressBar(this);
        bar->setObjectName(QStringLiteral("barProgress"));
        bar->setRange(0, 100);
        layout->addWidget(bar);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        stop = new QPushButton(QStringLiteral("停止备份"), this);
        stop->setObjectName(QStringLiteral("btnStop"));
        stop->setAutoDefault(false);
        buttons->addWidget(stop);
        layout->addLayout(buttons);
        setMinimumWidth(360);
        connect(stop, &QPushButton::clicked, this, &ExitBackupWindow::reject);
        connect(backup_keeper, &BackupKeeper::progress, bar, &QProgressBar::setValue);
    }
    // Ends when the backup has ended: the keeper's answer closes the window.
    void reject() override {
        backup_keeper->stop();
        if (backup_keeper->stopping()) {
            text->setText(QStringLiteral("正在停止备份…"));
            stop->setEnabled(false);
        }
    }

    QLabel* text = nullptr;
    QProgressBar* bar = nullptr;
    QPushButton* stop = nullptr;
};

} // namespace

void Startup::backUpAtExit() {
    if (!backup_keeper || !Data_in || Data_in->onServer())
        return;
    // A backup under way (the day's) gives way to this one.
    backup_keeper->abandon();
    // The main window and whatever dialog was open go at once, after a signal too (the signal ended
    // their loops, not their windows).
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
    // The ending is told here, not by the boxes that report backups while the program runs.
    QObject::disconnect(backup_keeper, &BackupKeeper::failed, main_window, nullptr);

    enum class End { Running, Done, Failed, Stopped };
    End end = End::Running;
    QString text;
    ExitBackupWindow window;
    QObject::connect(backup_keeper, &BackupKeeper::finished, &window, [&] {
        end = End::Done;
        window.accept();
    });
    QObject::connect(backup_keeper, &BackupKeeper::failed, &window, [&](const QString& why) {
        end = End::Failed;
        text = why;
        window.accept();
    });
    QObject::connect(backup_keeper, &BackupKeeper::stopped, &window, [&](const QString& why) {
        end = End::Stopped;
        text = why;
        window.accept();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, backup_keeper, &BackupKeeper::stop);
    if (QuitSignals::received())
        deadline.start(SignalledBackupMs);
    if (backup_keeper->start(QStringLiteral("退出时备份")) && end == End::Running)
        window.exec();
    if (backup_keeper->running()) {
        // A signal came while it ran (and ended every event loop): the program ends now.
        window.hide();
        backup_keeper->abandon();
        end = End::Stopped;
        text.clear();
    }
    const bool signalled = QuitSignals::received() != 0;
    switch (end) {
    case End::Running:
    case End::Done:
        return;
    case End::Failed:
        std::fprintf(stderr, "vandrel-ledger: %s\n", text.toLocal8Bit().constData());
        if (!signalled)
            Messages::error(text);
        return;
    case End::Stopped: {
        // The usual words when its folder went; the whole story when it could not be removed.
        const QString said = text.isEmpty() || text == QStringLiteral("备份已停止，这份备份已删除。")
                                 ? QStringLiteral("退出时的备份已跳过，没有留下这份备份。")
                                 : QStringLiteral("退出时的备份已跳过。\n%1").arg(text);
        std::fprintf(stderr, "vandrel-ledger: %s\n", said.toLocal8Bit().constData());
        if (!signalled)
            Messages::information(said);
        return;
    }
    }
}

int Startup::run(QApplication& app, const QString& folder) {
    const QString work = workingFolder(folder);
    try {
        createInstances(work);
    } catch (const LedgerError& e) {
        const QDir dir(work);
        if (!dir.exists(Db::BusinessFile) && !dir.exists(Db::ListsFile) && !dir.exists(Server::ConfFile))
            std::fprintf(stderr,
                         "vandrel-ledger: 文件夹 '%s' 中没有账本。新建一个店铺: vandrel-ledger-initdb '%s'\n",
                         QDir::toNativeSeparators(work).toLocal8Bit().constData(),
                         QDir::toNativeSeparators(work).toLocal8Bit().constData());
        reportStartupFailure(e.kind(), e.text());
        return 1;
    }
    QuitSignals quitSignals;
    // In a shop with operators nobody uses the program before signing in; giving up ends it.
    if (!staff_desk->signInAtStart()) {
        destroyInstances();
        return 0;
    }
    backup_keeper->startClock();
    main_window->show();
    const int status = app.exec();
    // The program is ending: the till no longer locks (nor asks who works over the exit backup).
    staff_desk->setIdleMinutes(0);
    // The automatic backup of every orderly end (the close box, a log-out, `kill`).
    backUpAtExit();
    // Closing the files folds their logs in and removes them.
    destroyInstances();
    return status;
}
