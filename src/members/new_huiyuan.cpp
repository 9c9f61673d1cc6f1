#include "members/new_huiyuan.h"

#include "core/clock.h"
#include "core/errors.h"
#include "core/money.h"
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

    // Name and salutation.
    grid->addWidget(requiredMark(this), 0, 0);
    grid->addWidget(caption(this, QStringLiteral("会 员 名:")), 0, 1);
    bsSkinEdit4 = edit(this, QStringLiteral("bsSkinEdit4"), 15);
    bsSkinComboBox1 = new QComboBox(this);
    bsSkinComboBox1->setObjectName(QStringLiteral("bsSkinComboBox1"));
    bsSkinComboBox1->addItems({QStringLiteral("先生"), QStringLiteral("女士")});
    bsSkinComboBox1->setCurrentIndex(0);
    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(bsSkinEdit4, 1);
    nameRow->addWidget(bsSkinComboBox1);
    grid->addLayout(nameRow, 0, 2);

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
    row(2, QStringLiteral("手    机:"), bsSkinEdit1);
    row(3, QStringLiteral("电    话:"), bsSkinEdit2);
    row(4, QStringLiteral("电子邮件:"), bsSkinEdit3);
    row(5, QStringLiteral("通讯地址:"), bsSkinEdit5);
    row(6, QStringLiteral("邮    编:"), bsSkinEdit6);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);

    auto* remarkBox = new QGroupBox(QStringLiteral("备注"), this);
    bsSkinRichEdit1 = new QTextEdit(remarkBox);
    bsSkinRichEdit1->setObjectName(QStringLiteral("bsSkinRichEdit1"));
    bsSkinRichEdit1->setFixedHeight(56);
    limitMemo(bsSkinRichEdit1, 60);
    (new QVBoxLayout(remarkBox))->addWidget(bsSkinRichEdit1);
    layout->addWidget(remarkBox);

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
    setTabOrder(bsSkinComboBox1, bsSkinEdit7);
    setTabOrder(bsSkinEdit7, bsSkinEdit1);
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
        Messages::information(QStringLiteral("红色*号为必填项，请填写。"));
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
    Db::exec(Db::business(), InsertMember,
             {{QStringLiteral(":a"), name},
              {QStringLiteral(":b"), bsSkinEdit1->text()},
              {QStringLiteral(":c"), bsSkinEdit2->text()},
              {QStringLiteral(":d"), bsSkinEdit5->text()},
              {QStringLiteral(":e"), bsSkinEdit6->text()},
              {QStringLiteral(":f"), salutation},
              {QStringLiteral(":g"), bsSkinEdit3->text()},
              {QStringLiteral(":h"), bsSkinRichEdit1->toPlainText()},
              {QStringLiteral(":i"), amount.toSql()},
              {QStringLiteral(":j"), Clock::nowText()}});
    Data_in->Query_aj->refresh();
    accept();
}

void Tnew_huiyuan::bsSkinButton2Click() {
    reject();
}
