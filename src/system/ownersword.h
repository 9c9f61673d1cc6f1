#pragma once

#include "ui_ownersword.h"

#include <QDialog>

// "店主授权": an owner chooses their name and types the PIN, so that the one action refused to
// the operator goes through.
class TOwnersWord : public QDialog, public Ui::TOwnersWord {
    Q_OBJECT
public:
    // `refused`: the refusal, shown at the top.
    explicit TOwnersWord(const QString& refused, QWidget* parent = nullptr);
    qint64 owner() const;
    QString pin() const;

private:
    void btnOkClick();
};

// The window of the owner's word for the catch point (see setOwnersWordAsker).
void installOwnersWordWindow();
