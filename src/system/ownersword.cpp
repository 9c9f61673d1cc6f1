#include "system/ownersword.h"

#include "ledger/staff.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QRegularExpressionValidator>

TOwnersWord::TOwnersWord(const QString& refused, QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    lblPrompt->setText(QStringLiteral("%1\n请店主选择自己的名字并输入PIN，只授权这一次操作。").arg(refused));
    edtPin->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), edtPin));
    for (const Staff::Operator& o : Staff::owners())
        cboOwner->addItem(o.name, o.key);
    lblMessage->hide();
    connect(btnOk, &QPushButton::clicked, this, &TOwnersWord::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    edtPin->setFocus();
}

void TOwnersWord::btnOkClick() {
    // The PIN is checked by the word itself, once: a wrong one counts as at the login.
    if (edtPin->text().isEmpty()) {
        lblMessage->setText(QStringLiteral("请输入PIN"));
        lblMessage->show();
        return;
    }
    accept();
}

qint64 TOwnersWord::owner() const {
    return cboOwner->currentData().toLongLong();
}

QString TOwnersWord::pin() const {
    return edtPin->text();
}

void installOwnersWordWindow() {
    setOwnersWordAsker([](const QString& refused, OwnersWordAnswer& answer) {
        QWidget* over = QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                                          : QApplication::activeWindow();
        TOwnersWord window(refused, over);
        if (window.exec() != QDialog::Accepted || window.cboOwner->currentIndex() < 0)
            return false;
        answer.owner = window.owner();
        answer.pin = window.pin();
        return true;
    });
}
