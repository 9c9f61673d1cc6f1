#pragma once

#include "ui_backupwindow.h"

#include <QDialog>

// "数据备份": where backups go (the backup folder can be another disk or a share), the last
// good backup, and a backup made now.
class Tbeifen : public QDialog, public Ui::Tbeifen {
    Q_OBJECT
public:
    explicit Tbeifen(QWidget* parent = nullptr);

public slots:
    void btnBrowseClick();
    void btnDefaultClick();
    void btnBackupClick();
    void btnStopClick();
    // Applies a folder typed or chosen: it must exist or be made, and be writable.
    void useFolder(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showState();
    void showServerState();
};

extern Tbeifen* beifen;
