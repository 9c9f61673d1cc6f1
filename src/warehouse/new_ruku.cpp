#include "warehouse/new_ruku.h"

#include "core/clock.h"
#include "core/money.h"
#include "ledger/stockin.h"
#include "warehouse/productdialog.h"
#include "widgets/keyfilter.h"
#include "widgets/messages.h"

Tnew_ruku* new_ruku = nullptr;

Tnew_ruku::Tnew_ruku(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    KeyFilter::digitsOnly(bsSkinEdit3);
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tnew_ruku::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tnew_ruku::bsSkinButton2Click);
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
}

void Tnew_ruku::prepare(const Products::Product& product) {
    m_product = product;
    bsSkinStdLabel7->setText(product.fields.name);
    bsSkinStdLabel6->setText(product.stock.toString());
    bsSkinStdLabel8->setText(product.fields.unit);
    bsSkinStdLabel9->setText(QString::number(product.key));
    bsSkinStdLabel10->setText(product.stockValue.toString());
    bsSkinStdLabel11->setText(product.fields.sale.toString());
}

void Tnew_ruku::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void Tnew_ruku::FormShow() {
    bsSkinEdit3->clear();
    // Taken at each showing, so a program left running past midnight writes the right date.
    m_date = Clock::now().date();
    bsSkinStdLabel5->setText(m_date.toString(QStringLiteral("yyyy-MM-dd")));
    bsSkinEdit3->setFocus();
}

void Tnew_ruku::bsSkinButton1Click() {
    const QString quantityText = bsSkinEdit3->text();
    if (quantityText.isEmpty()) {
        Messages::information(ProductDialog::RequiredMessage);
        return;
    }
    // The quantity as typed goes into the record, leading zeros included.
    StockIn::receive(m_product.key, Currency::parse(quantityText), m_date, quantityText);
    accept();
}

void Tnew_ruku::bsSkinButton2Click() {
    reject();
}
