#include "warehouse/new_ruku.h"

#include "core/clock.h"
#include "core/money.h"
#include "ledger/stockin.h"
#include "warehouse/productdialog.h"
#include "widgets/buttonrow.h"
#include "widgets/keyfilter.h"
#include "widgets/messages.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

Tnew_ruku* new_ruku = nullptr;

namespace {

QLabel* caption(QWidget* parent, const QString& name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel* value(QWidget* parent, const QString& name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setProperty("role", QStringLiteral("field"));
    l->setMinimumWidth(160);
    return l;
}

} // namespace

Tnew_ruku::Tnew_ruku(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_ruku"));
    setWindowTitle(QStringLiteral("为选中产品入库"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 10);
    outer->setSpacing(10);
    bsSkinGroupBox1 = new QGroupBox(QStringLiteral("入库操作"), this);
    bsSkinGroupBox1->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* grid = new QGridLayout(bsSkinGroupBox1);
    grid->setContentsMargins(12, 18, 12, 12);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(10);
    QWidget* box = bsSkinGroupBox1;

    bsSkinStdLabel7 = value(box, QStringLiteral("bsSkinStdLabel7"));
    bsSkinStdLabel6 = value(box, QStringLiteral("bsSkinStdLabel6"));
    bsSkinEdit3 = new QLineEdit(box);
    bsSkinEdit3->setObjectName(QStringLiteral("bsSkinEdit3"));
    bsSkinEdit3->setMaxLength(9);
    bsSkinEdit3->setFixedWidth(110);
    KeyFilter::digitsOnly(bsSkinEdit3);
    bsSkinStdLabel8 = new QLabel(box);
    bsSkinStdLabel8->setObjectName(QStringLiteral("bsSkinStdLabel8"));
    bsSkinStdLabel5 = value(box, QStringLiteral("bsSkinStdLabel5"));
    auto* star = new QLabel(QStringLiteral("*"), box);
    star->setObjectName(QStringLiteral("bsSkinStdLabel12"));
    star->setProperty("role", QStringLiteral("required"));

    grid->addWidget(caption(box, QStringLiteral("bsSkinStdLabel1"), QStringLiteral("选中的产品:")), 0, 1);
    grid->addWidget(bsSkinStdLabel7, 0, 2, 1, 2);
    grid->addWidget(caption(box, QStringLiteral("bsSkinStdLabel2"), QStringLiteral("当前数量:")), 1, 1);
    grid->addWidget(bsSkinStdLabel6, 1, 2, 1, 2);
    grid->addWidget(star, 2, 0);
    grid->addWidget(caption(box, QStringLiteral("bsSkinStdLabel3"), QStringLiteral("入库数量:")), 2, 1);
    grid->addWidget(bsSkinEdit3, 2, 2);
    grid->addWidget(bsSkinStdLabel8, 2, 3);
    grid->addWidget(caption(box, QStringLiteral("bsSkinStdLabel4"), QStringLiteral("入库时间:")), 3, 1);
    grid->addWidget(bsSkinStdLabel5, 3, 2, 1, 2);
    grid->setColumnStretch(3, 1);
    outer->addWidget(bsSkinGroupBox1);

    // The values the record needs and the form does not show.
    bsSkinStdLabel9 = new QLabel(this);
    bsSkinStdLabel9->setObjectName(QStringLiteral("bsSkinStdLabel9"));
    bsSkinStdLabel10 = new QLabel(this);
    bsSkinStdLabel10->setObjectName(QStringLiteral("bsSkinStdLabel10"));
    bsSkinStdLabel11 = new QLabel(this);
    bsSkinStdLabel11->setObjectName(QStringLiteral("bsSkinStdLabel11"));
    for (QLabel* hidden : {bsSkinStdLabel9, bsSkinStdLabel10, bsSkinStdLabel11})
        hidden->hide();

    outer->addLayout(
        centredFormRow(this, bsSkinButton1, QStringLiteral("保 存"), bsSkinButton2, QStringLiteral("取 消")));
    setTabOrder(bsSkinEdit3, bsSkinButton1);
    setTabOrder(bsSkinButton1, bsSkinButton2);

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
