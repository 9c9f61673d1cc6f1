#include "orders/edit_dingdan.h"

#include "data/data_in.h"
#include "ledger/orders.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

Tedit_dingdan* edit_dingdan = nullptr;

Tedit_dingdan::Tedit_dingdan(QWidget* parent)
    : OrderForm(QStringLiteral("edit_dingdan"), QStringLiteral("修改订单"),
                linesQuery(QStringLiteral("query_mingxi")), parent) {
    query_mingxi = m_lines;
    query_mingxi->setParent(this);
    bsSkinStdLabel19->clear();

    // No key filter here: a fraction or a negative quantity (goods coming back) is taken as typed.
    connectGuarded(bsSkinEdit1, &QLineEdit::textChanged, this, &Tedit_dingdan::bsSkinEdit1Change);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tedit_dingdan::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tedit_dingdan::bsSkinButton2Click);
    connectGuarded(bsSkinButton3, &QPushButton::clicked, this, &Tedit_dingdan::bsSkinButton3Click);
}

void Tedit_dingdan::prepare(qint64 order, const QString& category, Currency amountDue) {
    m_order = order;
    const QString number = QString::number(order);
    bsSkinStdLabel20->setText(number);
    bsSkinStdLabel14->setText(category);
    showDue(amountDue);
    const QString caption = QStringLiteral("修改") + number + QStringLiteral("号订单");
    bsSkinGroupBox2->setTitle(caption);
    setWindowTitle(caption);
    showLines(order);
}

void Tedit_dingdan::showEvent(QShowEvent* event) {
    OrderForm::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void Tedit_dingdan::FormShow() {
    bsSkinEdit2->setText(QStringLiteral("1"));
    bsSkinEdit2->setFocus();
    bsSkinEdit2->selectAll();
}

void Tedit_dingdan::bsSkinEdit1Change() {
    searchProducts(bsSkinEdit1->text());
}

void Tedit_dingdan::bsSkinButton1Click() {
    qint64 product = 0;
    Currency quantity;
    if (!readAdd(product, quantity))
        return;
    showDue(Orders::addLine(m_order, product, quantity, Orders::DefaultCategory, joinOfAdd()).amountDue);
}

void Tedit_dingdan::addScanned() {
    bsSkinButton1Click();
}

void Tedit_dingdan::bsSkinButton2Click() {
    if (query_mingxi->recordCount() == 0) {
        Messages::information(QStringLiteral("订单中无内容"));
        return;
    }
    // The line selected in the line grid.
    removeLine(query_mingxi->currentRow());
}

void Tedit_dingdan::bsSkinButton3Click() {
    close();
}
