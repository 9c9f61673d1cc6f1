#include "system/systemwindows.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/backup.h"
#include "ledger/check.h"
#include "system/backupkeeper.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTemporaryFile>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

Tbeifen* beifen = nullptr;
Thuifu* huifu = nullptr;
Tjiancha* jiancha = nullptr;

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    // Enter in the folder box applies the folder; it presses no button.
    b->setAutoDefault(false);
    return b;
}

QString when(const Backups::Backup& backup) {
    return backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// Runs the ledger check; a check that takes longer than a moment shows a progress window that
// can stop it.
Ledger::CheckReport checkWithProgress(QWidget* parent) {
    QElapsedTimer started;
    started.start();
    std::unique_ptr<QProgressDialog> progress;
    return Ledger::checkLedger(Db::business(), Db::lists(), [&](int done, int total) {
        if (!progress) {
            if (started.elapsed() < 400)
                return true;
            progress = std::make_unique<QProgressDialog>(QStringLiteral("正在检查账目…"),
                                                         QStringLiteral("停止"), 0, total, parent);
            progress->setWindowTitle(QStringLiteral("数据检查"));
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(0);
        }
        progress->setMaximum(total);
        progress->setValue(done);
        QApplication::processEvents();
        return !progress->wasCanceled();
    });
}

} // namespace

Tbeifen::Tbeifen(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("beifen"));
    setWindowTitle(QStringLiteral("数据备份"));
    auto* layout = new QVBoxLayout(this);
    auto* note =
        new QLabel(QStringLiteral("备份包含两个数据库文件和报表定义，复制后逐一验证。程序每天自动备份一次，"
                                  "退出时也备份；保留最近 30 份和一年内每月一份。"),
                   this);
    note->setWordWrap(true);
    note->setProperty("role", QStringLiteral("note"));
    layout->addWidget(note);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("备份文件夹:"), this));
    edtFolder = new QLineEdit(this);
    edtFolder->setObjectName(QStringLiteral("edtFolder"));
    folderRow->addWidget(edtFolder, 1);
    btnBrowse = button(this, "btnBrowse", QStringLiteral("选择文件夹…"));
    btnDefault = button(this, "btnDefault", QStringLiteral("默认文件夹"));
    folderRow->addWidget(btnBrowse);
    folderRow->addWidget(btnDefault);
    layout->addLayout(folderRow);
    lblLast = new QLabel(this);
    lblLast->setObjectName(QStringLiteral("lblLast"));
    lblLast->setWordWrap(true);
    layout->addWidget(lblLast);
    barProgress = new QProgressBar(this);
    barProgress->setObjectName(QStringLiteral("barProgress"));
    barProgress->setRange(0, 100);
    layout->addWidget(barProgress);
    lblState = new QLabel(this);
    lblState->setObjectName(QStringLiteral("lblState"));
    lblState->setWordWrap(true);
    layout->addWidget(lblState);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnBackup = button(this, "btnBackup", QStringLiteral("立即备份"));
    btnStop = button(this, "btnStop", QStringLiteral("停止备份"));
    btnClose = button(this, "btnClose", QStringLiteral("关 闭"));
    buttons->addWidget(btnBackup);
    buttons->addWidget(btnStop);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    resize(560, 200);

    connectGuarded(btnBrowse, &QPushButton::clicked, this, &Tbeifen::btnBrowseClick);
    connectGuarded(btnDefault, &QPushButton::clicked, this, &Tbeifen::btnDefaultClick);
    connectGuarded(btnBackup, &QPushButton::clicked, this, &Tbeifen::btnBackupClick);
    connectGuarded(btnStop, &QPushButton::clicked, this, &Tbeifen::btnStopClick);
    connectGuarded(edtFolder, &QLineEdit::editingFinished, this, [this] {
        if (QDir(edtFolder->text()).absolutePath() != QDir(backup_keeper->root()).absolutePath())
            useFolder(edtFolder->text());
    });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(backup_keeper, &BackupKeeper::progress, barProgress, &QProgressBar::setValue);
    connect(backup_keeper, &BackupKeeper::changed, this, &Tbeifen::showState);
    connect(backup_keeper, &BackupKeeper::failed, this, &Tbeifen::showState);
    // The stop came too late (the verification had ended) or the backup failed: the rest says so.
    connect(backup_keeper, &BackupKeeper::finished, lblState, &QLabel::clear);
    connect(backup_keeper, &BackupKeeper::failed, lblState, &QLabel::clear);
    connect(backup_keeper, &BackupKeeper::stopped, this, [this](const QString& text) {
        lblState->setText(text);
        showState();
    });
}

void Tbeifen::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edtFolder->setText(QDir::toNativeSeparators(backup_keeper->root()));
    if (!backup_keeper->running())
        lblState->clear();
    showState();
}

void Tbeifen::showState() {
    if (Data_in && Data_in->onServer()) {
        lblLast->setText(ServerBackups);
        for (QWidget* w :
             std::initializer_list<QWidget*>{btnBackup, btnStop, btnBrowse, btnDefault, edtFolder})
            w->setEnabled(false);
        return;
    }
    const auto last = backup_keeper->lastGood();
    lblLast->setText(
        last ? QStringLiteral("上次成功备份：%1（%2）\n%3").arg(when(*last), last->reason, last->summary())
             : QStringLiteral("这个备份文件夹里还没有验证过的备份。"));
    btnBackup->setEnabled(!backup_keeper->running());
    btnStop->setEnabled(backup_keeper->running() && !backup_keeper->stopping());
    barProgress->setValue(backup_keeper->running() ? backup_keeper->percent() : 0);
}

void Tbeifen::useFolder(const QString& folder) {
    const QString path = QDir(folder.trimmed()).absolutePath();
    if (folder.trimmed().isEmpty() || !QDir().mkpath(path))
        throw Refused(QStringLiteral("无法使用文件夹 %1，请选择另一个文件夹。").arg(folder));
    QTemporaryFile probe(QDir(path).absoluteFilePath(QStringLiteral(".write-test-XXXXXX")));
    if (!probe.open())
        throw Refused(QStringLiteral("文件夹 %1 不能写入，请选择另一个文件夹。").arg(path));
    backup_keeper->setRoot(path);
    edtFolder->setText(QDir::toNativeSeparators(backup_keeper->root()));
}

void Tbeifen::btnBrowseClick() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QStringLiteral("选择备份文件夹"), backup_keeper->root());
    if (!folder.isEmpty())
        useFolder(folder);
}

void Tbeifen::btnDefaultClick() {
    useFolder(Backups::defaultRoot(Data_in->folder()));
}

void Tbeifen::btnBackupClick() {
    if (backup_keeper->running())
        throw Refused(QStringLiteral("正在备份，请稍候。"));
    lblState->clear();
    if (backup_keeper->start(QStringLiteral("手动备份"))) {
        btnBackup->setEnabled(false);
        btnStop->setEnabled(true);
    }
}

void Tbeifen::btnStopClick() {
    // Safe at any moment: the unfinished copy's folder is removed, the shop's files are untouched.
    // A verification under way ends within a moment; the window goes on answering meanwhile.
    backup_keeper->stop();
    if (backup_keeper->stopping())
        lblState->setText(QStringLiteral("正在停止备份…"));
    showState();
}

Thuifu::Thuifu(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("huifu"));
    setWindowTitle(QStringLiteral("数据恢复"));
    auto* layout = new QVBoxLayout(this);
    lblFolder = new QLabel(this);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setWordWrap(true);
    layout->addWidget(lblFolder);
    // A list of folders, not a ledger list: it has no export menu.
    lstBackups = new QTreeWidget(this);
    lstBackups->setObjectName(QStringLiteral("lstBackups"));
    lstBackups->setColumnCount(4);
    lstBackups->setHeaderLabels(
        {QStringLiteral("备份时间"), QStringLiteral("类型"), QStringLiteral("内容"), QStringLiteral("状态")});
    lstBackups->setRootIsDecorated(false);
    lstBackups->setSelectionMode(QAbstractItemView::SingleSelection);
    lstBackups->setColumnWidth(0, 140);
    lstBackups->setColumnWidth(1, 90);
    lstBackups->setColumnWidth(2, 290);
    layout->addWidget(lstBackups, 1);
    auto* note = new QLabel(
        QStringLiteral("恢复前会再次验证所选备份，并先备份当前数据；任何一步失败，当前数据保持原样。"), this);
    note->setProperty("role", QStringLiteral("note"));
    note->setWordWrap(true);
    layout->addWidget(note);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnRestore = button(this, "btnRestore", QStringLiteral("恢复所选备份"));
    btnClose = button(this, "btnClose", QStringLiteral("关 闭"));
    buttons->addWidget(btnRestore);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    resize(680, 380);
    connectGuarded(btnRestore, &QPushButton::clicked, this, &Thuifu::btnRestoreClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void Thuifu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded([this] { reload(); });
}

void Thuifu::reload() {
    if (Data_in && Data_in->onServer()) {
        lblFolder->setText(ServerBackups);
        lstBackups->clear();
        btnRestore->setEnabled(false);
        return;
    }
    const QString root = backup_keeper->root();
    lblFolder->setText(QStringLiteral("备份文件夹：%1").arg(QDir::toNativeSeparators(root)));
    const QList<Backups::Backup> backups = Backups::list(root);
    lstBackups->clear();
    for (const Backups::Backup& b : backups) {
        auto* item = new QTreeWidgetItem(lstBackups);
        item->setText(0, b.time.isValid() ? when(b) : QFileInfo(b.folder).fileName());
        item->setData(0, Qt::UserRole, b.folder);
        item->setText(1, b.reason);
        item->setText(2, b.problem.isEmpty() ? b.summary() : QString());
        item->setText(3, b.problem.isEmpty() ? QStringLiteral("已验证") : b.problem);
    }
    if (!backups.isEmpty())
        lstBackups->setCurrentItem(lstBackups->topLevelItem(0));
    btnRestore->setEnabled(!backups.isEmpty());
}

QString Thuifu::selectedFolder() const {
    const QTreeWidgetItem* item = lstBackups->currentItem();
    return item ? item->data(0, Qt::UserRole).toString() : QString();
}

void Thuifu::btnRestoreClick() {
    const QString folder = selectedFolder();
    if (folder.isEmpty())
        throw Refused(QStringLiteral("请先选择一份备份。"));
    const QString name = lstBackups->currentItem()->text(0);
    if (!MessageService::current().confirm(
            QStringLiteral("用 %1 的备份替换当前的全部数据吗？\n当前数据会先备份，可以再恢复回来。")
                .arg(name),
            QStringLiteral("数据恢复")))
        return;
    backup_keeper->abandon();
    QProgressDialog progress(QStringLiteral("正在验证备份…"), QString(), 0, 3, this);
    progress.setWindowTitle(QStringLiteral("数据恢复"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setValue(0);
    QApplication::processEvents();
    try {
        Backups::verify(folder);
    } catch (const LedgerError& e) {
        throw DatabaseError(QStringLiteral("这份备份不能使用，没有恢复。\n%1").arg(e.text()));
    }
    progress.setLabelText(QStringLiteral("正在备份当前数据…"));
    progress.setValue(1);
    QApplication::processEvents();
    Backups::Backup before;
    try {
        before = Backups::make(Data_in->folder(), QStringLiteral("恢复前备份"), backup_keeper->root());
    } catch (const LedgerError& e) {
        throw DatabaseError(QStringLiteral("无法备份当前数据，没有恢复。\n%1").arg(e.text()));
    }
    progress.setLabelText(QStringLiteral("正在恢复…"));
    progress.setValue(2);
    QApplication::processEvents();
    try {
        Data_in->reopen([&] { Backups::swapIn(Data_in->folder(), folder); });
    } catch (const LedgerError& e) {
        backup_keeper->refresh();
        reload();
        // The text says what became of the current files.
        throw DatabaseError(QStringLiteral("恢复失败。\n%1").arg(e.text()));
    }
    progress.setValue(3);
    backup_keeper->refresh();
    reload();
    // The restored ledger is checked at once.
    const Ledger::CheckReport report = checkWithProgress(this);
    QString text = QStringLiteral("数据已从 %1 的备份恢复。恢复前的数据已备份在 %2。\n\n")
                       .arg(name, QDir::toNativeSeparators(before.folder));
    text +=
        report.stopped ? QStringLiteral("账目检查已停止，没有结论；可以在“数据检查”中再查一次。")
        : report.clean()
            ? QStringLiteral("账目检查没有发现问题。")
            : QStringLiteral("账目检查发现 %1 个问题，请在“数据检查”中查看。").arg(report.problems.size());
    Messages::information(text);
}

Tjiancha::Tjiancha(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiancha"));
    setWindowTitle(QStringLiteral("数据检查"));
    auto* layout = new QVBoxLayout(this);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setProperty("role", QStringLiteral("captionStrong"));
    lblSummary->setWordWrap(true);
    layout->addWidget(lblSummary);
    txtReport = new QPlainTextEdit(this);
    txtReport->setObjectName(QStringLiteral("txtReport"));
    txtReport->setReadOnly(true);
    layout->addWidget(txtReport, 1);
    auto* buttons = new QHBoxLayout;
    btnFix = button(this, "btnFix", QStringLiteral("修复应收金额"));
    btnFix->setToolTip(QStringLiteral("按订单明细重新计算应收金额（先自动备份）"));
    buttons->addWidget(btnFix);
    buttons->addStretch();
    btnRun = button(this, "btnRun", QStringLiteral("重新检查"));
    btnClose = button(this, "btnClose", QStringLiteral("关 闭"));
    buttons->addWidget(btnRun);
    buttons->addWidget(btnClose);
    layout->addLayout(buttons);
    resize(680, 440);
    connectGuarded(btnRun, &QPushButton::clicked, this, &Tjiancha::btnRunClick);
    connectGuarded(btnFix, &QPushButton::clicked, this, &Tjiancha::btnFixClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void Tjiancha::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    lblSummary->setText(QStringLiteral("正在检查…"));
    txtReport->clear();
    btnFix->setEnabled(false);
    // Checked once the window is on screen.
    QMetaObject::invokeMethod(
        this, [this] { guarded([this] { btnRunClick(); }); }, Qt::QueuedConnection);
}

void Tjiancha::btnRunClick() {
    const Ledger::CheckReport report = checkWithProgress(this);
    m_fixable = report.stopped ? QList<qint64>() : report.fixableOrders();
    lblSummary->setText(report.stopped ? QStringLiteral("检查已停止，没有结论。")
                        : report.clean()
                            ? QStringLiteral("账目检查没有发现问题。")
                            : QStringLiteral("账目检查发现 %1 个问题。").arg(report.problems.size()));
    lblSummary->setProperty("role", report.stopped || report.clean() ? QStringLiteral("captionStrong")
                                                                     : QStringLiteral("required"));
    lblSummary->style()->unpolish(lblSummary);
    lblSummary->style()->polish(lblSummary);
    txtReport->setPlainText(report.text());
    btnFix->setEnabled(!m_fixable.isEmpty());
}

void Tjiancha::btnFixClick() {
    if (m_fixable.isEmpty())
        return;
    // A ledger on a server is kept by the server's own backups: nothing to copy here.
    const bool onServer = Data_in && Data_in->onServer();
    if (!MessageService::current().confirm(
            QStringLiteral("按订单明细重新计算 %1 张订单的应收金额吗？\n%2")
                .arg(m_fixable.size())
                .arg(onServer ? QStringLiteral("账本在数据库服务器上，修复前请确认服务器已有备份。")
                              : QStringLiteral("修复前会先备份当前数据。")),
            QStringLiteral("修复应收金额")))
        return;
    if (onServer) {
        const int fixed = Ledger::fixAmountsDue(m_fixable);
        Messages::information(QStringLiteral("已修复 %1 张订单的应收金额。").arg(fixed));
        btnRunClick();
        return;
    }
    backup_keeper->abandon();
    try {
        Backups::make(Data_in->folder(), QStringLiteral("修复前备份"), backup_keeper->root());
    } catch (const LedgerError& e) {
        throw DatabaseError(QStringLiteral("无法备份当前数据，没有修复。\n%1").arg(e.text()));
    }
    backup_keeper->refresh();
    const int fixed = Ledger::fixAmountsDue(m_fixable);
    Messages::information(QStringLiteral("已修复 %1 张订单的应收金额。").arg(fixed));
    btnRunClick();
}
