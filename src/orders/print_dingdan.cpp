#include "orders/print_dingdan.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "widgets/messages.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

Tprint_dingdan* print_dingdan = nullptr;

namespace {

QLabel* hiddenLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->hide();
    return label;
}

} // namespace

Tprint_dingdan::Tprint_dingdan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("print_dingdan"));
    setWindowTitle(QStringLiteral("打印报表"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    bsSkinStdLabel1 = hiddenLabel(this, QStringLiteral("bsSkinStdLabel1"));
    bsSkinStdLabel7 = hiddenLabel(this, QStringLiteral("bsSkinStdLabel7"));
    bsSkinStdLabel9 = hiddenLabel(this, QStringLiteral("bsSkinStdLabel9"));
    bsSkinStdLabel8 = hiddenLabel(this, QStringLiteral("bsSkinStdLabel8"));
    bsSkinStdLabel10 = hiddenLabel(this, QStringLiteral("bsSkinStdLabel10"));

    auto* group = new QGroupBox(QStringLiteral("请选择您需要输出的"), this);
    group->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    bsSkinCheckRadioBox1 = new QRadioButton(QStringLiteral("订单汇总表"), group);
    bsSkinCheckRadioBox1->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
    bsSkinCheckRadioBox2 = new QRadioButton(QStringLiteral("××号订单明细表"), group);
    bsSkinCheckRadioBox2->setObjectName(QStringLiteral("bsSkinCheckRadioBox2"));
    // Exclusive, and both unset until the user picks one; the choice stays for later showings.
    auto* choices = new QButtonGroup(this);
    choices->addButton(bsSkinCheckRadioBox1);
    choices->addButton(bsSkinCheckRadioBox2);
    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->setContentsMargins(18, 12, 18, 12);
    groupLayout->setSpacing(10);
    groupLayout->addWidget(bsSkinCheckRadioBox1);
    groupLayout->addWidget(bsSkinCheckRadioBox2);

    bsSkinButton1 = new QPushButton(QStringLiteral("确  定"), this);
    bsSkinButton1->setObjectName(QStringLiteral("bsSkinButton1"));
    bsSkinButton1->setDefault(true);
    bsSkinButton2 = new QPushButton(QStringLiteral("取 消"), this);
    bsSkinButton2->setObjectName(QStringLiteral("bsSkinButton2"));
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tprint_dingdan::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tprint_dingdan::bsSkinButton2Click);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bsSkinButton1);
    buttons->addWidget(bsSkinButton2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 12);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setFixedSize(300, 170);
}

namespace {

QString amountText(const std::optional<Currency>& amount) {
    return amount ? amount->toString() : QString();
}

} // namespace

void Tprint_dingdan::prepare(qint64 order, const QString& status, const QString& category,
                             std::optional<Currency> due, std::optional<Currency> received) {
    m_order = order;
    m_status = status;
    m_category = category;
    m_due = due;
    m_received = received;
    const QString number = QString::number(order);
    bsSkinStdLabel1->setText(number);
    bsSkinStdLabel7->setText(status);
    bsSkinStdLabel9->setText(category);
    bsSkinStdLabel8->setText(amountText(due));
    bsSkinStdLabel10->setText(amountText(received));
    bsSkinCheckRadioBox2->setText(number + QStringLiteral("号订单的明细表"));
}

void Tprint_dingdan::bsSkinButton1Click() {
    if (bsSkinCheckRadioBox1->isChecked()) {
        // The order list as the orders page shows it, with its filter or search.
        Reports::preview(QStringLiteral("aa.rav"));
    } else if (bsSkinCheckRadioBox2->isChecked()) {
        const QString number = QString::number(m_order);
        Data_in->Query_ak->lookup(QStringLiteral("k8"), number);
        Reports::Parameters parameters;
        parameters.insert(QStringLiteral("bianhao"), number);
        parameters.insert(QStringLiteral("zhuangtai"), m_status);
        parameters.insert(QStringLiteral("fenlei"), m_category);
        parameters.insert(QStringLiteral("yingshou"), amountText(m_due));
        parameters.insert(QStringLiteral("shishou"), amountText(m_received));
        Reports::preview(QStringLiteral("ak.rav"), parameters);
    }
}

void Tprint_dingdan::bsSkinButton2Click() {
    reject();
}
