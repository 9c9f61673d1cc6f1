#include "orders/orderform.h"

#include "data/data_in.h"
#include "ledger/orders.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
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

bool OrderForm::readAdd(qint64& product, Currency& quantity) {
    SharedQuery* products = Data_in->Query_ab;
    if (products->recordCount() == 0 || products->currentRow() < 0) {
        Messages::information(QStringLiteral("库房是空的"));
        return false;
    }
    const QString quantityText = bsSkinEdit2->text();
    if (quantityText.isEmpty()) {
        Messages::information(QStringLiteral("请填写数量"));
        return false;
    }
    product = products->value(products->currentRow(), QStringLiteral("bid")).toLongLong();
    quantity = Currency::parse(quantityText);
    return true;
}

void OrderForm::removeLine(int row) {
    showDue(Orders::removeLine(m_lines->value(row, QStringLiteral("kid")).toLongLong()));
}

void OrderForm::showLines(qint64 order) {
    m_lines->lookup(QStringLiteral("k8"), QString::number(order));
}

void OrderForm::showDue(Currency due) {
    m_due = due;
    bsSkinStdLabel19->setText(due.toString());
}
