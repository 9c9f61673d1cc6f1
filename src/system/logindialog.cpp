#include "system/logindialog.h"

#include "core/clock.h"
#include "ledger/staff.h"
#include "widgets/messages.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

TLogin::TLogin(Mode mode, QWidget* parent) : QDialog(parent), m_mode(mode) {
    setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    edtPin->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), edtPin));
    for (const Staff::Operator& o : Staff::operators())
        cboOperator->addItem(QStringLiteral("%1（%2）").arg(o.name, o.role), o.key);
    switch (mode) {
    case Mode::Start:
        break;
    case Mode::ChangeHands:
        setWindowTitle(QStringLiteral("换人"));
        lblPrompt->setText(QStringLiteral("换人：请选择您的名字，输入PIN后按回车。"));
        btnCancel->setText(QStringLiteral("取 消"));
        break;
    case Mode::Locked:
        setWindowTitle(QStringLiteral("已锁定"));
        lblPrompt->setText(QStringLiteral("长时间无操作，本机已锁定。\n请选择您的名字，输入PIN后按回车。"));
        break;
    }
    lblMessage->hide();
    connectGuarded(btnOk, &QPushButton::clicked, this, &TLogin::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // Another name: the message about the one before no longer holds.
    connect(cboOperator, &QComboBox::currentIndexChanged, this, [this] {
        lblMessage->hide();
        edtPin->clear();
        edtPin->setFocus();
    });
    edtPin->setFocus();
}

void TLogin::preselect(qint64 operatorKey) {
    const int at = cboOperator->findData(operatorKey);
    if (at >= 0)
        cboOperator->setCurrentIndex(at);
}

void TLogin::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && m_mode != Mode::ChangeHands) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TLogin::say(const QString& text) {
    lblMessage->setText(text);
    lblMessage->show();
}

void TLogin::btnOkClick() {
    if (cboOperator->currentIndex() < 0) {
        say(QStringLiteral("请选择操作员"));
        return;
    }
    const QString pin = edtPin->text();
    if (pin.isEmpty()) {
        say(QStringLiteral("请输入PIN"));
        edtPin->setFocus();
        return;
    }
    const Staff::SignIn answer = Staff::logIn(cboOperator->currentData().toLongLong(), pin);
    edtPin->clear();
    edtPin->setFocus();
    if (answer.admitted) {
        accept();
        return;
    }
    if (answer.waitUntil) {
        const QDateTime until = *answer.waitUntil;
        const QString when = until.date() == Clock::now().date()
                                 ? until.toString(QStringLiteral("HH:mm:ss"))
                                 : until.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        say(QStringLiteral("PIN已连续输错 %1 次，请在 %2 之后再试").arg(answer.failures).arg(when));
        return;
    }
    say(QStringLiteral("PIN不正确（已连续输错 %1 次，连续输错 5 次须等待）").arg(answer.failures));
}
