#include "warehouse/new_ruku.h"

#include "core/clock.h"
#include "core/money.h"
#include "data/data_in.h"
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

const QString UpdateStatement = QStringLiteral("update ab set b4=:b,b9=:c where bid=:a ");
const QString InsertStatement = QStringLiteral(
    "insert into ac (c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12)values (:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l)");

QLabel* caption(QWidget* parent, const QString& name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QLabel* value(QWidget* parent, const QString& name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setStyleSheet(QStringLiteral("color: navy;"));
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

    connect(bsSkinButton1, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton1Click(); }); });
    connect(bsSkinButton2, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton2Click(); }); });
    setFixedSize(sizeHint().expandedTo(QSize(340, 0)));
}

void Tnew_ruku::handIn(const Product& product) {
    m_product = product;
    bsSkinStdLabel7->setText(product.b3);
    bsSkinStdLabel6->setText(product.b4);
    bsSkinStdLabel8->setText(product.b5);
    bsSkinStdLabel9->setText(product.bid);
    bsSkinStdLabel10->setText(product.b9);
    bsSkinStdLabel11->setText(product.b8);
}

void Tnew_ruku::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void Tnew_ruku::FormShow() {
    bsSkinEdit3->clear();
    // Taken at each showing, so a program left running past midnight writes the right date.
    bsSkinStdLabel5->setText(Clock::now().toString(QStringLiteral("yyyy-MM-dd")));
    bsSkinEdit3->setFocus();
}

void Tnew_ruku::bsSkinButton1Click() {
    const QString quantityText = bsSkinEdit3->text();
    if (quantityText.isEmpty()) {
        Messages::information(ProductDialog::RequiredMessage);
        return;
    }
    const Product& p = m_product;
    const Currency quantity = Currency::parse(quantityText);
    const Currency stock = Currency::parse(p.b4);
    const Currency stockValue = Currency::parse(p.b9);
    const Currency price = Currency::parse(p.b8);
    const Currency total = quantity * price;

    // The raised stock and its record: both or neither.
    const QSqlDatabase db = Db::business();
    Transaction tx(db);
    Db::exec(db, UpdateStatement,
             {{QStringLiteral(":a"), p.bid},
              {QStringLiteral(":b"), (stock + quantity).toSql()},
              {QStringLiteral(":c"), (stockValue + total).toSql()}});
    Db::exec(db, InsertStatement,
             {{QStringLiteral(":a"), p.bid},
              {QStringLiteral(":b"), p.b3},
              {QStringLiteral(":c"), quantityText},
              {QStringLiteral(":d"), p.b6},
              {QStringLiteral(":e"), p.b7},
              {QStringLiteral(":f"), p.b8},
              {QStringLiteral(":g"), bsSkinStdLabel5->text()},
              {QStringLiteral(":h"), p.b1},
              {QStringLiteral(":i"), p.b2},
              {QStringLiteral(":j"), p.b12},
              {QStringLiteral(":k"), p.b5},
              {QStringLiteral(":l"), total.toSql()}});
    tx.commit();

    Data_in->Query_ab->refresh();
    Data_in->Query_ac->refresh();
    accept();
}

void Tnew_ruku::bsSkinButton2Click() {
    reject();
}
