#include "orders/orderform.h"

#include "core/clock.h"
#include "data/data_in.h"
#include "data/databound.h"
#include "widgets/messages.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QVBoxLayout>

namespace {

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setStyleSheet(QStringLiteral("color: #1d3a5c;"));
    return label;
}

QLabel* value(const QString& name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setMinimumWidth(60);
    label->setStyleSheet(QStringLiteral("color: navy; font-weight: bold;"));
    return label;
}

QPushButton* button(const QString& name, const QString& text, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    b->setMinimumWidth(80);
    return b;
}

} // namespace

OrderForm::OrderForm(const QString& name, const QString& caption_, SharedQuery* lines, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      m_lines(lines) {
    setObjectName(name);
    setWindowTitle(caption_);
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    layout->addLayout(columns, 1);

    bsSkinGroupBox1 = new QGroupBox(QStringLiteral("库房"), this);
    bsSkinGroupBox1->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* stock = new QVBoxLayout(bsSkinGroupBox1);
    bsSkinDBGrid1 = new DataGrid(QStringLiteral("bsSkinDBGrid1"), bsSkinGroupBox1);
    stock->addWidget(bsSkinDBGrid1, 1);
    auto* search = new QHBoxLayout;
    bsSkinStdLabel3 = new QLabel(QStringLiteral("输入产品名称速查: "), bsSkinGroupBox1);
    bsSkinStdLabel3->setObjectName(QStringLiteral("bsSkinStdLabel3"));
    bsSkinEdit1 = new QLineEdit(bsSkinGroupBox1);
    bsSkinEdit1->setObjectName(QStringLiteral("bsSkinEdit1"));
    search->addWidget(bsSkinStdLabel3);
    search->addWidget(bsSkinEdit1, 1);
    stock->addLayout(search);
    columns->addWidget(bsSkinGroupBox1, 11);

    auto* right = new QVBoxLayout;
    columns->addLayout(right, 9);

    bsSkinGroupBox3 = new QGroupBox(QStringLiteral("添加到订单"), this);
    bsSkinGroupBox3->setObjectName(QStringLiteral("bsSkinGroupBox3"));
    auto* addBox = new QVBoxLayout(bsSkinGroupBox3);
    bsSkinDBText1 = new DataLabel(QStringLiteral("bsSkinDBText1"), bsSkinGroupBox3);
    bsSkinDBText1->setStyleSheet(QStringLiteral("color: navy; font-weight: bold;"));
    bsSkinDBText1->setMinimumHeight(20);
    addBox->addWidget(bsSkinDBText1);
    auto* addRow = new QHBoxLayout;
    bsSkinStdLabel4 = new QLabel(QStringLiteral("数量:"), bsSkinGroupBox3);
    bsSkinStdLabel4->setObjectName(QStringLiteral("bsSkinStdLabel4"));
    bsSkinEdit2 = new QLineEdit(bsSkinGroupBox3);
    bsSkinEdit2->setObjectName(QStringLiteral("bsSkinEdit2"));
    bsSkinEdit2->setMaxLength(9);
    bsSkinEdit2->setFixedWidth(90);
    m_addArea = new QWidget(bsSkinGroupBox3);
    auto* addButtons = new QHBoxLayout(m_addArea);
    addButtons->setContentsMargins(0, 0, 0, 0);
    bsSkinButton1 = button(QStringLiteral("bsSkinButton1"), QStringLiteral("添  加"), m_addArea);
    bsSkinButton1->setDefault(true);
    addButtons->addWidget(bsSkinButton1);
    bsSkinButton2 = button(QStringLiteral("bsSkinButton2"), QStringLiteral("删  除"), bsSkinGroupBox3);
    addRow->addWidget(bsSkinStdLabel4);
    addRow->addWidget(bsSkinEdit2);
    addRow->addWidget(m_addArea);
    addRow->addStretch(1);
    addRow->addWidget(bsSkinButton2);
    addBox->addLayout(addRow);
    right->addWidget(bsSkinGroupBox3);

    bsSkinGroupBox2 = new QGroupBox(QStringLiteral("新订单"), this);
    bsSkinGroupBox2->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    auto* orderBox = new QVBoxLayout(bsSkinGroupBox2);
    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), bsSkinGroupBox2);
    orderBox->addWidget(bsSkinDBGrid2, 1);
    bsSkinPanel2 = new QFrame(bsSkinGroupBox2);
    bsSkinPanel2->setObjectName(QStringLiteral("bsSkinPanel2"));
    bsSkinPanel2->setFrameShape(QFrame::StyledPanel);
    auto* panel = new QGridLayout(bsSkinPanel2);
    panel->setContentsMargins(8, 4, 8, 4);
    bsSkinStdLabel14 = value(QStringLiteral("bsSkinStdLabel14"), bsSkinPanel2);
    bsSkinStdLabel14->setText(QStringLiteral("普通订单"));
    bsSkinStdLabel20 = value(QStringLiteral("bsSkinStdLabel20"), bsSkinPanel2);
    bsSkinStdLabel19 = value(QStringLiteral("bsSkinStdLabel19"), bsSkinPanel2);
    bsSkinStdLabel19->setText(QStringLiteral("(金额总计)"));
    bsSkinStdLabel19->setStyleSheet(QStringLiteral("color: #8b0000; font-weight: bold; font-size: 11pt;"));
    panel->addWidget(caption(QStringLiteral("订单分类："), bsSkinPanel2), 0, 0);
    panel->addWidget(bsSkinStdLabel14, 0, 1);
    panel->addWidget(caption(QStringLiteral("订单编号："), bsSkinPanel2), 0, 2);
    panel->addWidget(bsSkinStdLabel20, 0, 3);
    panel->addWidget(caption(QStringLiteral("应收金额："), bsSkinPanel2), 1, 0);
    panel->addWidget(bsSkinStdLabel19, 1, 1, 1, 3);
    panel->setColumnStretch(1, 1);
    panel->setColumnStretch(3, 1);
    orderBox->addWidget(bsSkinPanel2);
    right->addWidget(bsSkinGroupBox2, 1);

    auto* foot = new QHBoxLayout;
    foot->addStretch(1);
    bsSkinButton3 = button(QStringLiteral("bsSkinButton3"), QStringLiteral("关  闭"), this);
    foot->addWidget(bsSkinButton3);
    layout->addLayout(foot);

    bsSkinDBGrid1->bind(Data_in->Query_ab, {{QStringLiteral("bid"), QStringLiteral("编号"), 50},
                                            {QStringLiteral("b1"), QStringLiteral("大类"), 70},
                                            {QStringLiteral("b3"), QStringLiteral("产品名称"), 150},
                                            {QStringLiteral("b4"), QStringLiteral("库存量"), 60},
                                            {QStringLiteral("b5"), QStringLiteral("单位"), 45},
                                            {QStringLiteral("b8"), QStringLiteral("销售价"), 60}});
    bsSkinDBText1->bind(Data_in->Query_ab, QStringLiteral("b3"));
    bsSkinDBGrid2->bind(m_lines, {{QStringLiteral("k3"), QStringLiteral("产品名称"), 150},
                                  {QStringLiteral("k4"), QStringLiteral("数量"), 60},
                                  {QStringLiteral("k5"), QStringLiteral("单位"), 50},
                                  {QStringLiteral("k6"), QStringLiteral("销售价"), 70}});

    resize(940, 560);
    setFixedSize(size());
}

bool OrderForm::checkAdd(Product& product, QString& quantityText, Currency& quantity) {
    SharedQuery* products = Data_in->Query_ab;
    if (products->recordCount() == 0 || products->currentRow() < 0) {
        Messages::information(QStringLiteral("库房是空的"));
        return false;
    }
    quantityText = bsSkinEdit2->text();
    if (quantityText.isEmpty()) {
        Messages::information(QStringLiteral("请填写数量"));
        return false;
    }
    const int row = products->currentRow();
    product.bid = products->text(row, QStringLiteral("bid"));
    product.b1 = products->text(row, QStringLiteral("b1"));
    product.b2 = products->text(row, QStringLiteral("b2"));
    product.b3 = products->text(row, QStringLiteral("b3"));
    product.b5 = products->text(row, QStringLiteral("b5"));
    product.stock = Currency::fromVariant(products->value(row, QStringLiteral("b4")));
    product.salePrice = Currency::fromVariant(products->value(row, QStringLiteral("b8")));
    product.stockValue = Currency::fromVariant(products->value(row, QStringLiteral("b9")));
    product.price = product.salePrice.toString();
    quantity = Currency::parse(quantityText);
    if (quantity > product.stock) {
        Messages::information(QStringLiteral("没有这么多库存了"));
        return false;
    }
    return true;
}

void OrderForm::writeLine(const QString& order, const Product& p, const QString& quantityText,
                          Currency quantity) {
    const QSqlDatabase db = Db::business();
    Db::exec(db, QStringLiteral("insert into ak (k1,k2,k3,k4,k5,k6,k7,k8)values (:a,:b,:c,:d,:e,:f,:g,:h)"),
             {{QStringLiteral(":a"), p.b1},
              {QStringLiteral(":b"), p.b2},
              {QStringLiteral(":c"), p.b3},
              {QStringLiteral(":d"), quantityText},
              {QStringLiteral(":e"), p.b5},
              {QStringLiteral(":f"), p.price},
              {QStringLiteral(":g"), p.bid},
              {QStringLiteral(":h"), order}});
    Db::exec(
        db,
        QStringLiteral("insert into ae (e1,e2,e3,e6,e7,e8,e9,e11,e12)values (:a,:b,:c,:d,:e,:f,:g,:h,:i)"),
        {{QStringLiteral(":a"), p.bid},
         {QStringLiteral(":b"), p.b3},
         {QStringLiteral(":c"), quantityText},
         {QStringLiteral(":d"), p.price},
         {QStringLiteral(":e"), Clock::nowText()},
         {QStringLiteral(":f"), p.b1},
         {QStringLiteral(":g"), p.b2},
         {QStringLiteral(":h"), order},
         {QStringLiteral(":i"), p.b5}});
    Db::exec(db, QStringLiteral("update ab set b4=:a,b9=:b where bid=:c "),
             {{QStringLiteral(":a"), (p.stock - quantity).toSql()},
              {QStringLiteral(":b"), (p.stockValue - quantity * p.salePrice).toSql()},
              {QStringLiteral(":c"), p.bid}});
}

Currency OrderForm::removeLine(int row) {
    const QVariant line = m_lines->value(row, QStringLiteral("kid"));
    const QString product = m_lines->text(row, QStringLiteral("k7"));
    const Currency quantity = Currency::parse(m_lines->text(row, QStringLiteral("k4")));
    const Currency amount = quantity * Currency::parse(m_lines->text(row, QStringLiteral("k6")));
    const Currency total = runningTotal() - amount;

    const QSqlDatabase db = Db::business();
    Transaction tx(db);
    QSqlQuery stock =
        Db::exec(db, QStringLiteral("select b4, b9 from ab where bid=:c"), {{QStringLiteral(":c"), product}});
    // A product deleted since the line was added has no stock to give back.
    if (stock.next()) {
        const Currency b4 = Currency::fromVariant(stock.value(0));
        const Currency b9 = Currency::fromVariant(stock.value(1));
        Db::exec(db, QStringLiteral("update ab set b4=:a,b9=:b where bid=:c "),
                 {{QStringLiteral(":a"), (b4 + quantity).toSql()},
                  {QStringLiteral(":b"), (b9 + amount).toSql()},
                  {QStringLiteral(":c"), product}});
    }
    Db::exec(db, QStringLiteral("delete from ak where kid=:a"), {{QStringLiteral(":a"), line}});
    tx.commit();
    bsSkinStdLabel19->setText(total.toString());
    return total;
}

void OrderForm::showLines(const QString& order) {
    m_lines->lookup(QStringLiteral("k8"), order);
}

Currency OrderForm::runningTotal() const {
    return Currency::parse(bsSkinStdLabel19->text());
}

void OrderForm::writeTotal(const QString& order) {
    const QString total = bsSkinStdLabel19->text();
    Db::exec(Db::business(), QStringLiteral("update aa set a5=:c where aid=:a "),
             {{QStringLiteral(":c"), total.isEmpty() ? QVariant() : Currency::parse(total).toSql()},
              {QStringLiteral(":a"), order}});
}

void OrderForm::refreshAfterAdd(const QString& order) {
    Data_in->Query_ae->refresh();
    showLines(order);
    Data_in->Query_ab->refresh();
}
