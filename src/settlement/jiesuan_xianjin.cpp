#include "settlement/jiesuan_xianjin.h"

#include "ledger/settlement.h"
#include "reports/receiptprint.h"
#include "settlement/Fr_jiesuan.h"
#include "settlement/jiesuan.h"
#include "shifts/shiftwindows.h"
#include "widgets/messages.h"

Tjiesuan_xianjin* jiesuan_xianjin = nullptr;

Tjiesuan_xianjin::Tjiesuan_xianjin(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan_xianjin"));
    setupUi(this);

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
    // The first settlement without a shift asks the float; the sale goes on whatever the answer.
    ShiftWindows::beforeSettlement(this);
    Settlement::payCash(m_order, m_toCollect);
    // Back to the unsettled orders, whatever search the page had in force.
    TFr_jiesuan::reloadUnsettled();
    close();
    jiesuan->close();
    Messages::information(QString::number(m_order) + QStringLiteral("号订单结算完成！"));
    // The order is paid whatever becomes of its receipt: a printer failure is only reported. The
    // drawer opens for the cash.
    guarded([this] { ReceiptPrint::afterCashSettlement(m_order); });
}

void Tjiesuan_xianjin::bsSkinButton2Click() {
    close();
}
