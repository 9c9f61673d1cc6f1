#include "members/edit_huiyuan.h"

#include "data/data_in.h"
#include "data/database.h"
#include "members/memberwidgets.h"
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

    grid->addWidget(requiredMark(this), 0, 0);
    grid->addWidget(caption(this, QStringLiteral("会 员 名:")), 0, 1);
    bsSkinEdit4 = edit(this, QStringLiteral("bsSkinEdit4"), 15);
    bsSkinComboBox1 = new QComboBox(this);
    bsSkinComboBox1->setObjectName(QStringLiteral("bsSkinComboBox1"));
    bsSkinComboBox1->addItems({QStringLiteral("先生"), QStringLiteral("女士")});
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(bsSkinEdit4, 1);
    nameRow->addWidget(bsSkinComboBox1);
    grid->addLayout(nameRow, 0, 2);

    auto row = [&](int r, const QString& text, QLineEdit* box) {
        grid->addWidget(caption(this, text), r, 1);
        grid->addWidget(box, r, 2);
    };
    bsSkinEdit1 = edit(this, QStringLiteral("bsSkinEdit1"), 15);
    bsSkinEdit2 = edit(this, QStringLiteral("bsSkinEdit2"), 15);
    bsSkinEdit3 = edit(this, QStringLiteral("bsSkinEdit3"), 60);
    bsSkinEdit5 = edit(this, QStringLiteral("bsSkinEdit5"), 80);
    bsSkinEdit6 = edit(this, QStringLiteral("bsSkinEdit6"), 10);
    KeyFilter::digitsOnly(bsSkinEdit1);
    KeyFilter::digitsOnly(bsSkinEdit2);
    KeyFilter::digitsOnly(bsSkinEdit6);
    row(1, QStringLiteral("手    机:"), bsSkinEdit1);
    row(2, QStringLiteral("电    话:"), bsSkinEdit2);
    row(3, QStringLiteral("电子邮件:"), bsSkinEdit3);
    row(4, QStringLiteral("通讯地址:"), bsSkinEdit5);
    row(5, QStringLiteral("邮    编:"), bsSkinEdit6);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    auto* remarkBox = new QGroupBox(QStringLiteral("备注"), this);
    bsSkinRichEdit1 = new QTextEdit(remarkBox);
    bsSkinRichEdit1->setObjectName(QStringLiteral("bsSkinRichEdit1"));
    bsSkinRichEdit1->setFixedHeight(56);
    limitMemo(bsSkinRichEdit1, 60);
    (new QVBoxLayout(remarkBox))->addWidget(bsSkinRichEdit1);
    layout->addWidget(remarkBox);

    bsSkinStdLabel7 = new QLabel(this);
    bsSkinStdLabel7->setObjectName(QStringLiteral("bsSkinStdLabel7"));
    bsSkinStdLabel7->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    bsSkinButton1 = new QPushButton(QStringLiteral("保 存"), this);
    bsSkinButton1->setObjectName(QStringLiteral("bsSkinButton1"));
    bsSkinButton1->setDefault(true);
    bsSkinButton2 = new QPushButton(QStringLiteral("取 消"), this);
    bsSkinButton2->setObjectName(QStringLiteral("bsSkinButton2"));
    bsSkinButton2->setAutoDefault(false);
    buttons->addWidget(bsSkinButton1);
    buttons->addWidget(bsSkinButton2);
    layout->addLayout(buttons);

    setTabOrder(bsSkinEdit4, bsSkinComboBox1);
    setTabOrder(bsSkinComboBox1, bsSkinEdit1);
    setTabOrder(bsSkinEdit1, bsSkinEdit2);
    setTabOrder(bsSkinEdit2, bsSkinEdit3);
    setTabOrder(bsSkinEdit3, bsSkinEdit5);
    setTabOrder(bsSkinEdit5, bsSkinEdit6);
    setTabOrder(bsSkinEdit6, bsSkinRichEdit1);
    setTabOrder(bsSkinRichEdit1, bsSkinButton1);
    setTabOrder(bsSkinButton1, bsSkinButton2);

    connect(bsSkinButton1, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton1Click(); }); });
    connect(bsSkinButton2, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton2Click(); }); });
    resize(380, sizeHint().height());
}

void Tedit_huiyuan::setSalutation(const QString& text) {
    bsSkinComboBox1->setCurrentIndex(bsSkinComboBox1->findText(text));
}

void Tedit_huiyuan::bsSkinButton1Click() {
    Db::exec(Db::business(), UpdateMember,
             {{QStringLiteral(":a"), bsSkinEdit4->text()},
              {QStringLiteral(":b"), bsSkinEdit1->text()},
              {QStringLiteral(":c"), bsSkinEdit2->text()},
              {QStringLiteral(":d"), bsSkinEdit5->text()},
              {QStringLiteral(":e"), bsSkinEdit6->text()},
              {QStringLiteral(":f"), bsSkinComboBox1->currentText()},
              {QStringLiteral(":g"), bsSkinEdit3->text()},
              {QStringLiteral(":h"), bsSkinRichEdit1->toPlainText()},
              {QStringLiteral(":i"), bsSkinStdLabel7->text()}});
    Data_in->Query_aj->refresh();
    accept();
}

void Tedit_huiyuan::bsSkinButton2Click() {
    reject();
}
