#include "settlement/jiesuan_xianjin.h"

#include "ledger/settlement.h"
#include "settlement/Fr_jiesuan.h"
#include "settlement/jiesuan.h"
#include "widgets/messages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

Tjiesuan_xianjin* jiesuan_xianjin = nullptr;

Tjiesuan_xianjin::Tjiesuan_xianjin(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan_xianjin"));
    setWindowTitle(QStringLiteral("确认现金结算"));
    setMinimumWidth(280);

    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(12);
    auto value = [this](const QString& name, const QString& style) {
        auto* label = new QLabel(this);
        label->setObjectName(name);
        label->setMinimumWidth(120);
        label->setStyleSheet(style);
        return label;
    };
    bsSkinStdLabel8 =
        value(QStringLiteral("bsSkinStdLabel8"), QStringLiteral("QLabel { font-weight: bold; }"));
    bsSkinStdLabel4 =
        value(QStringLiteral("bsSkinStdLabel4"), QStringLiteral("QLabel { font-weight: bold; }"));
    bsSkinStdLabel6 = value(QStringLiteral("bsSkinStdLabel6"),
                            QStringLiteral("QLabel { color: #d01010; font-size: 16px; font-weight: bold; }"));
    grid->addWidget(new QLabel(QStringLiteral("订 单 号:"), this), 0, 0);
    grid->addWidget(bsSkinStdLabel8, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("应收金额:"), this), 1, 0);
    grid->addWidget(bsSkinStdLabel4, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("元"), this), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("实收金额:"), this), 2, 0);
    grid->addWidget(bsSkinStdLabel6, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("元"), this), 2, 2);
    layout->addLayout(grid);
    layout->addSpacing(8);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    bsSkinButton1 = new QPushButton(QStringLiteral("确认并结帐"), this);
    bsSkinButton1->setObjectName(QStringLiteral("bsSkinButton1"));
    bsSkinButton2 = new QPushButton(QStringLiteral("取  消"), this);
    bsSkinButton2->setObjectName(QStringLiteral("bsSkinButton2"));
    buttons->addWidget(bsSkinButton1);
    buttons->addWidget(bsSkinButton2);
    layout->addLayout(buttons);

    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tjiesuan_xianjin::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tjiesuan_xianjin::bsSkinButton2Click);
}

void Tjiesuan_xianjin::prepare(qint64 order, Currency amountDue, Currency toCollect) {
    m_order = order;
    m_amountDue = amountDue;
    m_toCollect = toCollect;
    bsSkinStdLabel8->setText(QString::number(order));
    bsSkinStdLabel4->setText(amountDue.toString());
    bsSkinStdLabel6->setText(toCollect.toString());
}

// "确认并结帐": the order is paid with the amount as priced.
void Tjiesuan_xianjin::bsSkinButton1Click() {
    Settlement::payCash(m_order, m_toCollect);
    // Back to the unsettled orders, whatever search the page had in force.
    TFr_jiesuan::reloadUnsettled();
    close();
    jiesuan->close();
    Messages::information(QString::number(m_order) + QStringLiteral("号订单结算完成！"));
}

void Tjiesuan_xianjin::bsSkinButton2Click() {
    close();
}
