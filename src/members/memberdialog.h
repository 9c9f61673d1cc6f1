#pragma once

#include "ui_memberdialog.h"

#include <QDialog>

// The form the new-member and edit-member dialogs share: name and salutation, the contact
// fields, the remark, save and cancel. The new-member dialog has the initial amount box
// (bsSkinEdit7), the edit dialog the hidden card number label (bsSkinStdLabel7) instead; the
// other one is removed and its member is null.
class MemberDialog : public QDialog, public Ui::MemberDialog {
    Q_OBJECT
public:
    MemberDialog(const QString& name, const QString& caption, bool editing, QWidget* parent);

public slots:
    void bsSkinButton2Click();

protected:
    // Save, run at the catch point when 保 存 is clicked.
    virtual void save() = 0;
};
