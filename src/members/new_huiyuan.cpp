#include "members/new_huiyuan.h"

#include "core/errors.h"
#include "core/money.h"
#include "ledger/members.h"
#include "members/memberwidgets.h"
#include "widgets/messages.h"

#include <QShowEvent>

Tnew_huiyuan* new_huiyuan = nullptr;

Tnew_huiyuan::Tnew_huiyuan(QWidget* parent)
    : MemberDialog(QStringLiteral("new_huiyuan"), QStringLiteral("添加新会员"), false, parent) {}

void Tnew_huiyuan::showEvent(QShowEvent* event) {
    MemberDialog::showEvent(event);
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
