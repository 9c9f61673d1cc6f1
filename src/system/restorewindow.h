#pragma once

#include "ui_restorewindow.h"

#include <QDialog>

// "数据恢复": the backups of the backup folder, newest first; the chosen one is verified again,
// the current files backed up, then swapped for the backup's, and the ledger checked.
class Thuifu : public QDialog, public Ui::Thuifu {
    Q_OBJECT
public:
    explicit Thuifu(QWidget* parent = nullptr);

    QString selectedFolder() const;

public slots:
    void reload();
    void btnRestoreClick();

protected:
    void showEvent(QShowEvent* event) override;
};

extern Thuifu* huifu;
