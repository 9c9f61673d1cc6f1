#include "system/checkwindow.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/backup.h"
#include "ledger/staff.h"
#include "system/backupkeeper.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QStyle>
#include <memory>

Tjiancha* jiancha = nullptr;

Ledger::CheckReport checkWithProgress(QWidget* parent) {
    QElapsedTimer started;
    started.start();
    std::unique_ptr<QProgressDialog> progress;
    return Ledger::checkShop([&](int done, int total) {
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

Tjiancha::Tjiancha(QWidget* parent) : QDialog(parent) {
    setupUi(this);
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
    Staff::require(Staff::Right::BackupRestore, QStringLiteral("修复应收金额"));
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
