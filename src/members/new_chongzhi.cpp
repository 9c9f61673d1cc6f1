#include "members/new_chongzhi.h"

#include "core/errors.h"
#include "core/money.h"
#include "ledger/members.h"
#include "members/memberwidgets.h"
#include "widgets/buttonrow.h"
#include "widgets/messages.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

Tnew_chongzhi* new_chongzhi = nullptr;

using namespace MemberForms;

namespace {

QLabel* valueLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(140);
    label->setProperty("role", QStringLiteral("strong"));
    return label;
}

} // namespace

Tnew_chongzhi::Tnew_chongzhi(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_chongzhi"));
    setWindowTitle(QStringLiteral("为会员充值"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);

    auto* memberBox = new QGroupBox(QStringLiteral("您选中的会员"), this);
    auto* memberGrid = new QGridLayout(memberBox);
    memberGrid->setVerticalSpacing(8);
    bsSkinStdLabel4 = valueLabel(memberBox, QStringLiteral("bsSkinStdLabel4"));
    bsSkinStdLabel5 = valueLabel(memberBox, QStringLiteral("bsSkinStdLabel5"));
    bsSkinStdLabel6 = valueLabel(memberBox, QStringLiteral("bsSkinStdLabel6"));
    bsSkinStdLabel6->setProperty("role", QStringLiteral("amount"));
    bsSkinStdLabel8 = new QLabel(memberBox);
    bsSkinStdLabel8->setObjectName(QStringLiteral("bsSkinStdLabel8"));
    bsSkinStdLabel8->hide();
    memberGrid->addWidget(caption(memberBox, QStringLiteral("会员卡号:")), 0, 0);
    memberGrid->addWidget(bsSkinStdLabel4, 0, 1);
    memberGrid->addWidget(caption(memberBox, QStringLiteral("会 员 名:")), 1, 0);
    memberGrid->addWidget(bsSkinStdLabel5, 1, 1);
    memberGrid->addWidget(caption(memberBox, QStringLiteral("卡中余额:")), 2, 0);
    memberGrid->addWidget(bsSkinStdLabel6, 2, 1);
    memberGrid->setColumnStretch(1, 1);
    layout->addWidget(memberBox);

    auto* amountBox = new QGroupBox(QStringLiteral("充值操作"), this);
    auto* amountRow = new QHBoxLayout(amountBox);
    amountRow->addWidget(requiredMark(amountBox));
    amountRow->addWidget(caption(amountBox, QStringLiteral("请输入金额:")));
    bsSkinEdit3 = new DecimalSpinBox(QStringLiteral("bsSkinEdit3"), amountBox);
    bsSkinEdit3->setMinimumWidth(120);
    amountRow->addWidget(bsSkinEdit3);
    amountRow->addWidget(caption(amountBox, QStringLiteral("元")));
    amountRow->addStretch(1);
    layout->addWidget(amountBox);

    layout->addLayout(
        confirmRow(this, bsSkinButton1, QStringLiteral("保 存"), bsSkinButton2, QStringLiteral("取 消")));

    setTabOrder(bsSkinEdit3, bsSkinButton2);
    setTabOrder(bsSkinButton2, bsSkinButton1);

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
    m_balance = Members::recharge(m_card, amount).after;
    accept();
}

void Tnew_chongzhi::bsSkinButton2Click() {
    reject();
}
