#include "warehouse/edit_chanpin.h"

#include <QLabel>

Tedit_chanpin* edit_chanpin = nullptr;

Tedit_chanpin::Tedit_chanpin(QWidget* parent)
    : ProductDialog(QStringLiteral("edit_chanpin"), QStringLiteral("修改产品"), true, parent) {}

void Tedit_chanpin::prepare(const Products::Product& product) {
    m_product = product;
    showFields(product.fields);
    bsSkinStdLabel15->setText(product.stock.toString());
    bsSkinStdLabel16->setText(QString::number(product.key));
}

void Tedit_chanpin::bsSkinButton1Click() {
    Products::update(m_product.key, fields());
    accept();
}
