#pragma once

#include "ledger/check.h"
#include "ui_checkwindow.h"

#include <QDialog>

// "数据检查": checks the whole ledger and lists each problem with the rows it concerns; the
// amounts due that the lines prove wrong can be mended (after a backup).
class Tjiancha : public QDialog, public Ui::Tjiancha {
    Q_OBJECT
public:
    explicit Tjiancha(QWidget* parent = nullptr);

public slots:
    void btnRunClick();
    void btnFixClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QList<qint64> m_fixable;
};

// Runs the ledger check; a check that takes longer than a moment shows a progress window that can
// stop it.
Ledger::CheckReport checkWithProgress(QWidget* parent);

extern Tjiancha* jiancha;
