#include "orders/new_dingdan.h"

#include "data/data_in.h"
#include "ledger/orders.h"
#include "ledger/weighed.h"
#include "widgets/databound.h"
#include "widgets/keyfilter.h"
#include "widgets/messages.h"

#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

Tnew_dingdan* new_dingdan = nullptr;

Tnew_dingdan::Tnew_dingdan(QWidget* parent)
    : OrderForm(QStringLiteral("new_dingdan"), QStringLiteral("新订单"),
                linesQuery(QStringLiteral("Query_xindingdan")), parent) {
    Query_xindingdan = m_lines;
    Query_xindingdan->setParent(this);

    bsSkinSpeedButton2 = new QPushButton(QStringLiteral("添  加"), addArea);
    bsSkinSpeedButton2->setObjectName(QStringLiteral("bsSkinSpeedButton2"));
    bsSkinSpeedButton2->setAutoDefault(false);
    bsSkinSpeedButton2->setMinimumWidth(80);
    bsSkinSpeedButton2->hide();
    addArea->layout()->addWidget(bsSkinSpeedButton2);

    // The quantity is a whole number (digits only), or to the gram for goods sold by weight.
    m_quantityFilter = KeyFilter::digitsOnly(bsSkinEdit2);

    connectGuarded(bsSkinEdit1, &QLineEdit::textChanged, this, &Tnew_dingdan::bsSkinEdit1Change);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tnew_dingdan::bsSkinButton1Click);
    connectGuarded(bsSkinSpeedButton2, &QPushButton::clicked, this, &Tnew_dingdan::bsSkinSpeedButton2Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tnew_dingdan::bsSkinButton2Click);
    connectGuarded(bsSkinButton3, &QPushButton::clicked, this, &Tnew_dingdan::bsSkinButton3Click);

    // A new product selection or a re-read product list puts the quantity back to 1.
    auto resetQuantity = [this] {
        fitQuantityToUnit();
        if (isVisible())
            bsSkinEdit2->setText(QStringLiteral("1"));
    };
    connect(Data_in->Query_ab, &SharedQuery::currentRowChanged, this, resetQuantity);
    connect(Data_in->Query_ab, &SharedQuery::reopened, this, resetQuantity);
}

void Tnew_dingdan::showEvent(QShowEvent* event) {
    OrderForm::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void Tnew_dingdan::FormShow() {
    m_order = 0;
    bsSkinStdLabel20->clear();
    bsSkinPanel2->hide();
    bsSkinSpeedButton2->hide();
    bsSkinSpeedButton2->setDefault(false);
    bsSkinButton1->show();
    bsSkinButton1->setDefault(true);
    Query_xindingdan->close();
    bsSkinEdit2->setText(QStringLiteral("1"));
    // Ready for a scan: the cursor in the search box, its text selected so a code replaces it.
    bsSkinEdit1->setFocus();
    bsSkinEdit1->selectAll();
}

void Tnew_dingdan::fitQuantityToUnit() {
    const bool byWeight = Weighed::soldByWeight(selectedUnit());
    if (m_quantityFilter && m_quantityFilter->property("byWeight").toBool() == byWeight)
        return;
    delete m_quantityFilter;
    m_quantityFilter = byWeight ? KeyFilter::decimal(bsSkinEdit2) : KeyFilter::digitsOnly(bsSkinEdit2);
    m_quantityFilter->setProperty("byWeight", byWeight);
}

void Tnew_dingdan::bsSkinEdit1Change() {
    searchProducts(bsSkinEdit1->text());
}

void Tnew_dingdan::bsSkinButton1Click() {
    add(true);
}

void Tnew_dingdan::bsSkinSpeedButton2Click() {
    add(false);
}

void Tnew_dingdan::addScanned() {
    // The first scan of a showing creates the order; every later one adds a line to it.
    add(m_order == 0);
}

void Tnew_dingdan::add(bool firstLine) {
    if (m_order == 0)
        firstLine = true;
    qint64 product = 0;
    Currency quantity;
    if (!readAdd(product, quantity))
        return;
    // Only the first add of a showing creates an order.
    const Orders::LineAdded added =
        Orders::addLine(firstLine ? 0 : m_order, product, quantity, Orders::DefaultCategory, joinOfAdd());
    showAdded(added, firstLine);
}

void Tnew_dingdan::labelAdded(const Orders::LineAdded& added) {
    showAdded(added, m_order == 0);
}

void Tnew_dingdan::showAdded(const Orders::LineAdded& added, bool firstLine) {
    m_order = added.order;
    bsSkinStdLabel20->setText(QString::number(added.order));
    showDue(added.amountDue);
    if (firstLine) {
        bsSkinPanel2->show();
        bsSkinButton1->hide();
        bsSkinButton1->setDefault(false);
        bsSkinSpeedButton2->show();
        bsSkinSpeedButton2->setDefault(true);
        // The lines list follows the order from now on.
        showLines(added.order);
    }
}

void Tnew_dingdan::bsSkinButton2Click() {
    if (m_order == 0) {
        Messages::information(QStringLiteral("订单中无内容"));
        return;
    }
    showLines(m_order);
    if (Query_xindingdan->recordCount() == 0) {
        Messages::information(QStringLiteral("订单中无内容"));
        return;
    }
    // Always the newest line of the order, whatever row is selected.
    removeLine(0);
}

void Tnew_dingdan::bsSkinButton3Click() {
    close();
}
