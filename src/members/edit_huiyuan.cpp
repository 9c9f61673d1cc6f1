#include "members/edit_huiyuan.h"

#include "members/memberwidgets.h"

Tedit_huiyuan* edit_huiyuan = nullptr;

using MemberForms::showStored;

Tedit_huiyuan::Tedit_huiyuan(QWidget* parent)
    : MemberDialog(QStringLiteral("edit_huiyuan"), QStringLiteral("编辑会员资料"), true, parent) {}

void Tedit_huiyuan::setSalutation(const QString& text) {
    bsSkinComboBox1->setCurrentIndex(bsSkinComboBox1->findText(text));
}

void Tedit_huiyuan::prepare(qint64 card, const Members::Person& person) {
    m_card = card;
    showStored(bsSkinEdit4, person.name);
    showStored(bsSkinEdit1, person.mobile);
    showStored(bsSkinEdit2, person.phone);
    showStored(bsSkinEdit5, person.address);
    showStored(bsSkinEdit6, person.postcode);
    setSalutation(person.salutation);
    showStored(bsSkinEdit3, person.email);
    showStored(bsSkinRichEdit1, person.remark);
    bsSkinStdLabel7->setText(QString::number(card));
    bsSkinEdit4->setFocus();
}

void Tedit_huiyuan::bsSkinButton1Click() {
    Members::Person person;
    person.name = bsSkinEdit4->text();
    person.mobile = bsSkinEdit1->text();
    person.phone = bsSkinEdit2->text();
    person.address = bsSkinEdit5->text();
    person.postcode = bsSkinEdit6->text();
    person.salutation = bsSkinComboBox1->currentText();
    person.email = bsSkinEdit3->text();
    person.remark = bsSkinRichEdit1->toPlainText();
    Members::update(m_card, person);
    accept();
}
