#pragma once

#include "ui_logindialog.h"

#include <QDialog>

// "操作员登录": who works at this till. The operator picks their name, types the PIN and presses
// Enter; a wrong PIN is said with the count of wrong ones in a row, and while the operator must
// wait, until when.
class TLogin : public QDialog, public Ui::TLogin {
    Q_OBJECT
public:
    enum class Mode {
        Start,       // the program's start: cancelling ends the program
        ChangeHands, // 换人: cancelling leaves the operator who works now
        Locked,      // the till is locked: cancelling ends the program
    };
    TLogin(Mode mode, QWidget* parent = nullptr);
    // The name chosen first (the one who locked, the one working now).
    void preselect(qint64 operatorKey);

public slots:
    void btnOkClick();

protected:
    // At the start and on a locked till, Esc does not end the program: only 退出程序 does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void say(const QString& text);
    Mode m_mode;
};
