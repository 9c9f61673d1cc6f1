#include "members/new_chongzhi.h"

#include "core/clock.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/data_in.h"
#include "data/database.h"
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
    label->setStyleSheet(QStringLiteral("color: navy; font-weight: bold;"));
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
    bsSkinStdLabel6->setStyleSheet(QStringLiteral("color: #c0392b; font-weight: bold;"));
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

    connect(bsSkinButton1, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton1Click(); }); });
    connect(bsSkinButton2, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton2Click(); }); });
    resize(320, sizeHint().height());
}

void Tnew_chongzhi::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void Tnew_chongzhi::FormShow() {
    bsSkinEdit3->setText(QStringLiteral("0.00"));
    bsSkinEdit3->setFocus();
    bsSkinEdit3->selectAll();
}

void Tnew_chongzhi::bsSkinButton1Click() {
    const QString amountText = bsSkinEdit3->text();
    if (amountText.isEmpty()) {
        Messages::information(QStringLiteral("红色*号为必填项，请填写。"));
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
    // The balance as it was shown when the dialog was filled; a balance that is no number stops
    // the recharge here, before anything is written.
    const Currency before = Currency::parse(bsSkinStdLabel6->text());
    const Currency after = before + amount;
    const QString card = bsSkinStdLabel4->text();
    {
        const QSqlDatabase db = Db::business();
        Transaction tx(db);
        Db::exec(db, UpdateBalance, {{QStringLiteral(":a"), after.toSql()}, {QStringLiteral(":b"), card}});
        Db::exec(db, InsertRecharge,
                 {{QStringLiteral(":a"), bsSkinStdLabel5->text()},
                  {QStringLiteral(":b"), amount.toSql()},
                  {QStringLiteral(":c"), Clock::nowText()},
                  {QStringLiteral(":d"), before.toSql()},
                  {QStringLiteral(":e"), after.toSql()},
                  {QStringLiteral(":f"), card},
                  {QStringLiteral(":g"), bsSkinStdLabel8->text()}});
        tx.commit();
    }
    Data_in->Query_aj->refresh();
    Data_in->Query_ah->refresh();
    accept();
}

void Tnew_chongzhi::bsSkinButton2Click() {
    reject();
}
