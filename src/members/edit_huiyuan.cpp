#include "members/edit_huiyuan.h"

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
#include <QTextEdit>
#include <QVBoxLayout>

Tedit_huiyuan* edit_huiyuan = nullptr;

using namespace MemberForms;

Tedit_huiyuan::Tedit_huiyuan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("edit_huiyuan"));
    setWindowTitle(QStringLiteral("编辑会员资料"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(8);

    const NameRow nameRow = addNameRow(this, grid);
    bsSkinEdit4 = nameRow.name;
    bsSkinComboBox1 = nameRow.salutation;

    const Contact contact = addContactRows(this, grid, 1);
    bsSkinEdit1 = contact.mobile;
    bsSkinEdit2 = contact.phone;
    bsSkinEdit3 = contact.email;
    bsSkinEdit5 = contact.address;
    bsSkinEdit6 = contact.postcode;
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    bsSkinRichEdit1 = addRemark(this, layout);

    bsSkinStdLabel7 = new QLabel(this);
    bsSkinStdLabel7->setObjectName(QStringLiteral("bsSkinStdLabel7"));
    bsSkinStdLabel7->hide();

    layout->addLayout(
        confirmRow(this, bsSkinButton1, QStringLiteral("保 存"), bsSkinButton2, QStringLiteral("取 消")));

    setTabOrder(bsSkinEdit4, bsSkinComboBox1);
    setTabOrder(bsSkinComboBox1, bsSkinEdit1);
    setTabOrder(bsSkinEdit1, bsSkinEdit2);
    setTabOrder(bsSkinEdit2, bsSkinEdit3);
    setTabOrder(bsSkinEdit3, bsSkinEdit5);
    setTabOrder(bsSkinEdit5, bsSkinEdit6);
    setTabOrder(bsSkinEdit6, bsSkinRichEdit1);
    setTabOrder(bsSkinRichEdit1, bsSkinButton1);
    setTabOrder(bsSkinButton1, bsSkinButton2);

    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tedit_huiyuan::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tedit_huiyuan::bsSkinButton2Click);
    resize(380, sizeHint().height());
}

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

void Tedit_huiyuan::bsSkinButton2Click() {
    reject();
}
