#include "system/backupwindow.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/backup.h"
#include "ledger/serverbackups.h"
#include "ledger/staff.h"
#include "system/backupkeeper.h"
#include "widgets/messages.h"

#include <QDir>
#include <QFileDialog>
#include <QSignalBlocker>
#include <QTemporaryFile>

Tbeifen* beifen = nullptr;

Tbeifen::Tbeifen(QWidget* parent) : QDialog(parent) {
    setupUi(this);

    connectGuarded(btnBrowse, &QPushButton::clicked, this, &Tbeifen::btnBrowseClick);
    connectGuarded(btnDefault, &QPushButton::clicked, this, &Tbeifen::btnDefaultClick);
    connectGuarded(btnBackup, &QPushButton::clicked, this, &Tbeifen::btnBackupClick);
    connectGuarded(btnStop, &QPushButton::clicked, this, &Tbeifen::btnStopClick);
    connectGuarded(edtFolder, &QLineEdit::editingFinished, this, [this] {
        if (QDir(edtFolder->text()).absolutePath() != QDir(backup_keeper->root()).absolutePath())
            useFolder(edtFolder->text());
    });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(chkBackupHere, &QCheckBox::clicked, this, [this](bool here) {
        guarded([here] { ServerBackups::chooseThisTill(here); });
        showState();
    });
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
    const bool onServer = Data_in && Data_in->onServer();
    chkBackupHere->setVisible(onServer);
    if (onServer) {
        showServerState();
        return;
    }
    const auto last = backup_keeper->lastGood();
    lblLast->setText(last ? QStringLiteral("上次成功备份：%1（%2）\n%3")
                                .arg(backupTime(*last), last->reason, last->summary())
                          : QStringLiteral("这个备份文件夹里还没有验证过的备份。"));
    btnBackup->setEnabled(!backup_keeper->running());
    btnStop->setEnabled(backup_keeper->running() && !backup_keeper->stopping());
    barProgress->setValue(backup_keeper->running() ? backup_keeper->percent() : 0);
}

void Tbeifen::showServerState() {
    // The backups this till made are in its folder; the shop's last one may be another till's.
    const QString here = Staff::tillName();
    QString who;
    std::optional<ServerBackups::Note> note;
    guarded([&] {
        who = ServerBackups::till();
        note = ServerBackups::last();
    });
    const QSignalBlocker quiet(chkBackupHere);
    chkBackupHere->setChecked(!who.isEmpty() && who == here);
    const auto last = backup_keeper->lastGood();
    QStringList lines{last ? QStringLiteral("本机上次成功备份：%1（%2）\n%3")
                                 .arg(backupTime(*last), last->reason, last->summary())
                           : QStringLiteral("这个备份文件夹里还没有验证过的备份。")};
    if (note && note->till != here)
        lines << QStringLiteral("本店上次备份：%1，由“%2”备份").arg(note->time, note->till);
    lines << (who.isEmpty()
                  ? QStringLiteral("还没有收银台负责每日自动备份：请在负责备份的电脑上勾选下面一项。")
              : who == here ? QStringLiteral("每日自动备份由本机负责。")
                            : QStringLiteral("每日自动备份由“%1”负责。").arg(who));
    lblLast->setText(lines.join(QLatin1Char('\n')));
    const bool running = backup_keeper->running();
    btnBackup->setEnabled(!running);
    btnStop->setEnabled(running && !backup_keeper->stopping());
    // The tool says nothing of its progress: the bar only shows that it works.
    barProgress->setRange(0, running ? 0 : 100);
    barProgress->setValue(0);
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
    Staff::require(Staff::Right::BackupRestore, QStringLiteral("手动备份"));
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
