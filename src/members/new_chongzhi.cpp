#include "members/new_chongzhi.h"

#include "core/errors.h"
#include "core/money.h"
#include "ledger/members.h"
#include "members/memberwidgets.h"
#include "widgets/messages.h"

#include <QPushButton>
#include <QShowEvent>

Tnew_chongzhi* new_chongzhi = nullptr;

Tnew_chongzhi::Tnew_chongzhi(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tnew_chongzhi::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tnew_chongzhi::bsSkinButton2Click);
    resize(320, sizeHint().height());
}

void Tnew_chongzhi::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void Tnew_chongzhi::prepare(qint64 card, const QString& name, std::optional<Currency> balance,
                            const QString& salutation) {
    m_card = card;
    m_balance = balance;
    bsSkinStdLabel4->setText(QString::number(card));
    bsSkinStdLabel5->setText(name);
    bsSkinStdLabel6->setText(balance ? balance->toString() : QString());
    bsSkinStdLabel8->setText(salutation);
}

void Tnew_chongzhi::FormShow() {
    bsSkinEdit3->setText(QStringLiteral("0.00"));
    bsSkinEdit3->setFocus();
    bsSkinEdit3->selectAll();
}

void Tnew_chongzhi::bsSkinButton1Click() {
    const QString amountText = bsSkinEdit3->text();
    if (amountText.isEmpty()) {
        Messages::information(Members::RequiredMissing);
        return;
    }
    Currency amount;
    try {
        amount = Currency::parse(amountText);
    } catch (const ConversionError&) {
        Messages::information(QStringLiteral("充值金额必须是数字，请重新填写。"));
        bsSkinEdit3->setFocus();
        return;
    }
    // A negative amount corrects an earlier recharge: it takes money off the card, so it is asked.
    if (amount < Currency() &&
        !MessageService::current().confirm(
            QStringLiteral("充值金额为负数，将从会员卡中扣除%1元。确定要冲减吗？").arg((-amount).toString()),
            QStringLiteral("冲减确认")))
        return;
    m_balance = Members::recharge(m_card, amount).after;
    accept();
}

void Tnew_chongzhi::bsSkinButton2Click() {
    reject();
}
