#include "system/restorewindow.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/backup.h"
#include "ledger/check.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"
#include "system/backupkeeper.h"
#include "system/checkwindow.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

Thuifu* huifu = nullptr;

Thuifu::Thuifu(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    lstBackups->setColumnWidth(0, 140);
    lstBackups->setColumnWidth(1, 90);
    lstBackups->setColumnWidth(2, 290);
    connectGuarded(btnRestore, &QPushButton::clicked, this, &Thuifu::btnRestoreClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
}

void Thuifu::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded([this] { reload(); });
}

void Thuifu::reload() {
    if (Data_in && Data_in->onServer()) {
        lblFolder->setText(ServerRestore);
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
        item->setText(0, b.time.isValid() ? backupTime(b) : QFileInfo(b.folder).fileName());
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
    Staff::require(Staff::Right::BackupRestore, QStringLiteral("恢复"));
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
    // The restored ledger's log goes on with the restore, so a log cut short by an older backup
    // says how.
    OpLog::write(
        {OpLog::Restore, name, QDir::toNativeSeparators(before.folder), QDir::toNativeSeparators(folder)});
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
