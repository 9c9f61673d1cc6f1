#include "settlement/jiesuan_huiyuanka.h"

#include "data/sharedquery.h"
#include "ledger/settlement.h"
#include "reports/receiptprint.h"
#include "settlement/Fr_jiesuan.h"
#include "settlement/jiesuan.h"
#include "shifts/shiftwindows.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QHeaderView>

Tjiesuan_huiyuanka* jiesuan_huiyuanka = nullptr;

Tjiesuan_huiyuanka::Tjiesuan_huiyuanka(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan_huiyuanka"));
    setupUi(this);

    Query_huiyuan = Settlement::newCardsList(QStringLiteral("Query_huiyuan"), this);
    bsSkinDBGrid1->bind(Query_huiyuan, {{QStringLiteral("jid"), QStringLiteral("会员卡号"), 70},
                                        {QStringLiteral("j1"), QStringLiteral("会员姓名"), 100},
                                        {QStringLiteral("j6"), QStringLiteral("称呼"), 60},
                                        {QStringLiteral("j9"), QStringLiteral("余额"), 80},
                                        {QStringLiteral("j2"), QStringLiteral("手机"), 110},
                                        {QStringLiteral("j10"), QStringLiteral("办卡时间"), 140}});
    bsSkinDBGrid1->horizontalHeader()->setStretchLastSection(true);
    // The hidden labels follow the chosen member.
    bsSkinDBText1->bind(Query_huiyuan, QStringLiteral("jid"));
    bsSkinDBText2->bind(Query_huiyuan, QStringLiteral("j1"));
    bsSkinDBText3->bind(Query_huiyuan, QStringLiteral("j9"));
    bsSkinDBText4->bind(Query_huiyuan, QStringLiteral("j6"));

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
    // The first settlement without a shift asks the float; the sale goes on whatever the answer.
    ShiftWindows::beforeSettlement(this);
    Settlement::payByCard(m_order, Query_huiyuan->fieldValue(QStringLiteral("jid")).toLongLong(),
                          m_toCollect);
    // Back to the unsettled orders, whatever search the page had in force.
    TFr_jiesuan::reloadUnsettled();
    close();
    jiesuan->close();
    Messages::information(QStringLiteral("订单结算成功！"));
    // The order is paid whatever becomes of its receipt: a printer failure is only reported.
    guarded([this] { ReceiptPrint::afterSettlement(m_order); });
}

void Tjiesuan_huiyuanka::bsSkinButton2Click() {
    close();
}
