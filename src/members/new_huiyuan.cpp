#include "members/new_huiyuan.h"

#include "core/errors.h"
#include "core/money.h"
#include "ledger/members.h"
#include "members/memberwidgets.h"
#include "widgets/buttonrow.h"
#include "widgets/keyfilter.h"
#include "widgets/messages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextEdit>
#include <QVBoxLayout>

Tnew_huiyuan* new_huiyuan = nullptr;

using namespace MemberForms;

Tnew_huiyuan::Tnew_huiyuan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_huiyuan"));
    setWindowTitle(QStringLiteral("添加新会员"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);

    const NameRow nameRow = addNameRow(this, grid);
    bsSkinEdit4 = nameRow.name;
    bsSkinComboBox1 = nameRow.salutation;

    // Initial amount.
    auto* amountBox = new QGroupBox(QStringLiteral("初始金额"), this);
    auto* amountRow = new QHBoxLayout(amountBox);
    amountRow->addWidget(requiredMark(amountBox));
    amountRow->addWidget(caption(amountBox, QStringLiteral("请 输 入:")));
    bsSkinEdit7 = new DecimalSpinBox(QStringLiteral("bsSkinEdit7"), amountBox);
    bsSkinEdit7->setMinimumWidth(120);
    amountRow->addWidget(bsSkinEdit7);
    amountRow->addWidget(caption(amountBox, QStringLiteral("元")));
    amountRow->addStretch(1);
    grid->addWidget(amountBox, 1, 0, 1, 3);

    const Contact contact = addContactRows(this, grid, 2);
    bsSkinEdit1 = contact.mobile;
    bsSkinEdit2 = contact.phone;
    bsSkinEdit3 = contact.email;
    bsSkinEdit5 = contact.address;
    bsSkinEdit6 = contact.postcode;
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    bsSkinRichEdit1 = addRemark(this, layout);

    layout->addLayout(
        confirmRow(this, bsSkinButton1, QStringLiteral("保 存"), bsSkinButton2, QStringLiteral("取 消")));

    setTabOrder(bsSkinEdit4, bsSkinComboBox1);
    setTabOrder(bsSkinComboBox1, bsSkinEdit7);
    setTabOrder(bsSkinEdit7, bsSkinEdit1);
    setTabOrder(bsSkinEdit1, bsSkinEdit2);
    setTabOrder(bsSkinEdit2, bsSkinEdit3);
    setTabOrder(bsSkinEdit3, bsSkinEdit5);
    setTabOrder(bsSkinEdit5, bsSkinEdit6);
    setTabOrder(bsSkinEdit6, bsSkinRichEdit1);
    setTabOrder(bsSkinRichEdit1, bsSkinButton1);
    setTabOrder(bsSkinButton1, bsSkinButton2);

    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tnew_huiyuan::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tnew_huiyuan::bsSkinButton2Click);
    resize(380, sizeHint().height());
}

void Tnew_huiyuan::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void Tnew_huiyuan::FormShow() {
    // The salutation keeps the entry chosen last time.
    for (QLineEdit* box : {bsSkinEdit4, bsSkinEdit1, bsSkinEdit2, bsSkinEdit3, bsSkinEdit5, bsSkinEdit6})
        box->clear();
    bsSkinRichEdit1->clear();
    bsSkinEdit7->setText(QStringLiteral("0.00"));
    bsSkinEdit4->setFocus();
}

void Tnew_huiyuan::bsSkinButton1Click() {
    const QString name = bsSkinEdit4->text();
    const QString amountText = bsSkinEdit7->text();
    const QString salutation = bsSkinComboBox1->currentText();
    if (name.isEmpty() || amountText.isEmpty() || salutation.isEmpty()) {
        Messages::information(Members::RequiredMissing);
        return;
    }
    Currency amount;
    try {
        amount = Currency::parse(amountText);
    } catch (const ConversionError&) {
        Messages::information(QStringLiteral("初始金额必须是数字，请重新填写。"));
        bsSkinEdit7->setFocus();
        return;
    }
    Members::Person person;
    person.name = name;
    person.mobile = bsSkinEdit1->text();
    person.phone = bsSkinEdit2->text();
    person.address = bsSkinEdit5->text();
    person.postcode = bsSkinEdit6->text();
    person.salutation = salutation;
    person.email = bsSkinEdit3->text();
    person.remark = bsSkinRichEdit1->toPlainText();
    Members::create(person, amount);
    accept();
}

void Tnew_huiyuan::bsSkinButton2Click() {
    reject();
}
