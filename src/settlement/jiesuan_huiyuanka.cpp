#include "settlement/jiesuan_huiyuanka.h"

#include "data/sharedquery.h"
#include "ledger/settlement.h"
#include "settlement/Fr_jiesuan.h"
#include "settlement/jiesuan.h"
#include "widgets/buttonrow.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tjiesuan_huiyuanka* jiesuan_huiyuanka = nullptr;

Tjiesuan_huiyuanka::Tjiesuan_huiyuanka(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan_huiyuanka"));
    setWindowTitle(QStringLiteral("选择会员卡并确认结算"));
    resize(640, 430);

    Query_huiyuan = Settlement::newCardsList(QStringLiteral("Query_huiyuan"), this);

    auto* layout = new QVBoxLayout(this);

    auto* members = new QGroupBox(QStringLiteral("选择会员卡"), this);
    members->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* membersLayout = new QVBoxLayout(members);
    auto* searchRow = new QHBoxLayout;
    auto* searchCaption = new QLabel(QStringLiteral("输入会员卡号查找:"), members);
    searchCaption->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    bsSkinEdit1 = new QLineEdit(members);
    bsSkinEdit1->setObjectName(QStringLiteral("bsSkinEdit1"));
    bsSkinEdit1->setMaximumWidth(180);
    searchRow->addWidget(searchCaption);
    searchRow->addWidget(bsSkinEdit1);
    searchRow->addStretch();
    membersLayout->addLayout(searchRow);
    bsSkinDBGrid1 = new DataGrid(QStringLiteral("bsSkinDBGrid1"), members);
    bsSkinDBGrid1->bind(Query_huiyuan, {{QStringLiteral("jid"), QStringLiteral("会员卡号"), 70},
                                        {QStringLiteral("j1"), QStringLiteral("会员姓名"), 100},
                                        {QStringLiteral("j6"), QStringLiteral("称呼"), 60},
                                        {QStringLiteral("j9"), QStringLiteral("余额"), 80},
                                        {QStringLiteral("j2"), QStringLiteral("手机"), 110},
                                        {QStringLiteral("j10"), QStringLiteral("办卡时间"), 140}});
    bsSkinDBGrid1->horizontalHeader()->setStretchLastSection(true);
    membersLayout->addWidget(bsSkinDBGrid1);
    layout->addWidget(members, 1);

    auto* summary = new QGroupBox(QStringLiteral("报价单摘要"), this);
    summary->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    auto* summaryLayout = new QHBoxLayout(summary);
    auto value = [summary](const QString& name, const QString& style) {
        auto* label = new QLabel(summary);
        label->setObjectName(name);
        label->setStyleSheet(style);
        return label;
    };
    const QString bold = QStringLiteral("QLabel { font-weight: bold; }");
    bsSkinStdLabel9 = value(QStringLiteral("bsSkinStdLabel9"), bold);
    bsSkinStdLabel4 = value(QStringLiteral("bsSkinStdLabel4"), bold);
    bsSkinStdLabel6 = value(QStringLiteral("bsSkinStdLabel6"),
                            QStringLiteral("QLabel { color: #d01010; font-size: 16px; font-weight: bold; }"));
    summaryLayout->addWidget(new QLabel(QStringLiteral("订 单 号:"), summary));
    summaryLayout->addWidget(bsSkinStdLabel9);
    summaryLayout->addSpacing(12);
    summaryLayout->addWidget(new QLabel(QStringLiteral("应收金额:"), summary));
    summaryLayout->addWidget(bsSkinStdLabel4);
    summaryLayout->addWidget(new QLabel(QStringLiteral("元"), summary));
    summaryLayout->addSpacing(12);
    summaryLayout->addWidget(new QLabel(QStringLiteral("实收金额:"), summary));
    summaryLayout->addWidget(bsSkinStdLabel6);
    summaryLayout->addWidget(new QLabel(QStringLiteral("元"), summary));
    summaryLayout->addStretch();
    layout->addWidget(summary);

    layout->addLayout(confirmRow(this, bsSkinButton1, QStringLiteral("选中并结帐"), bsSkinButton2,
                                 QStringLiteral("取  消")));

    // Hidden labels that follow the chosen member.
    bsSkinDBText1 = new DataLabel(QStringLiteral("bsSkinDBText1"), this);
    bsSkinDBText2 = new DataLabel(QStringLiteral("bsSkinDBText2"), this);
    bsSkinDBText3 = new DataLabel(QStringLiteral("bsSkinDBText3"), this);
    bsSkinDBText4 = new DataLabel(QStringLiteral("bsSkinDBText4"), this);
    const QStringList fields = {QStringLiteral("jid"), QStringLiteral("j1"), QStringLiteral("j9"),
                                QStringLiteral("j6")};
    const QList<DataLabel*> labels = {bsSkinDBText1, bsSkinDBText2, bsSkinDBText3, bsSkinDBText4};
    for (int i = 0; i < labels.size(); ++i) {
        labels[i]->hide();
        labels[i]->bind(Query_huiyuan, fields[i]);
    }

    connectGuarded(bsSkinEdit1, &QLineEdit::textChanged, this, &Tjiesuan_huiyuanka::bsSkinEdit1Change);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tjiesuan_huiyuanka::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tjiesuan_huiyuanka::bsSkinButton2Click);
}

// Members whose card number contains the typed text.
void Tjiesuan_huiyuanka::bsSkinEdit1Change() {
    Query_huiyuan->search(QStringLiteral("jid"), bsSkinEdit1->text());
}

void Tjiesuan_huiyuanka::prepare(qint64 order, Currency amountDue, Currency toCollect) {
    m_order = order;
    m_amountDue = amountDue;
    m_toCollect = toCollect;
    bsSkinStdLabel9->setText(QString::number(order));
    bsSkinStdLabel4->setText(amountDue.toString());
    bsSkinStdLabel6->setText(toCollect.toString());
    Query_huiyuan->reset(Query_huiyuan->defaultStatement());
}

// "选中并结帐": the order is paid from the chosen card.
void Tjiesuan_huiyuanka::bsSkinButton1Click() {
    if (!Query_huiyuan->isOpen() || Query_huiyuan->recordCount() == 0) {
        Messages::information(QStringLiteral("目前没有会员,无法使用会员卡结算"));
        return;
    }
    Settlement::payByCard(m_order, Query_huiyuan->fieldValue(QStringLiteral("jid")).toLongLong(),
                          m_toCollect);
    // Back to the unsettled orders, whatever search the page had in force.
    TFr_jiesuan::reloadUnsettled();
    close();
    jiesuan->close();
    Messages::information(QStringLiteral("订单结算成功！"));
}

void Tjiesuan_huiyuanka::bsSkinButton2Click() {
    close();
}
