#include "settlement/jiesuan.h"

#include "core/money.h"
#include "data/sharedquery.h"
#include "ledger/settlement.h"
#include "settlement/jiesuan_huiyuanka.h"
#include "settlement/jiesuan_xianjin.h"
#include "widgets/databound.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

Tjiesuan* jiesuan = nullptr;

const QStringList Tjiesuan::Presets = {QStringLiteral("原价"), QStringLiteral("九折"), QStringLiteral("八折"),
                                       QStringLiteral("七折"), QStringLiteral("六折"), QStringLiteral("五折"),
                                       QStringLiteral("四折"), QStringLiteral("三折"), QStringLiteral("二折"),
                                       QStringLiteral("一折")};

namespace {

// The factor of each preset after "原价": "九折" is 0.9 … "一折" 0.1.
QString presetFactor(int index) {
    return QStringLiteral("0.%1").arg(10 - index);
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QToolButton* tallButton(QWidget* parent, const QString& name, const QString& caption, int picture) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(caption);
    button->setIcon(Pictures::icon(picture));
    button->setIconSize(QSize(32, 32));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setMinimumSize(86, 96);
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    return button;
}

// The custom discount box. Its digits are the discount ("85" is 0.85, "8" is 0.8, "08" is 0.08),
// so the leading zero of "08" is part of the discount: the box keeps it when it tidies its text
// (on leaving the box, on Enter), where a plain spin box would show the number 8, which reads as
// 80 %.
class DiscountBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;
    QLineEdit* edit() const { return lineEdit(); }

protected:
    QString textFromValue(int value) const override {
        const QString shown = lineEdit()->displayText();
        if (value > 0 && shown.size() == 2 && shown.at(0) == QLatin1Char('0') &&
            valueFromText(shown) == value)
            return shown;
        return QSpinBox::textFromValue(value);
    }
};

} // namespace

Currency Tjiesuan::discounted(Currency amountDue, const QString& factor) {
    const double product = amountDue.toDouble() * Currency::parse(factor).toDouble();
    // The shortest text of the double, so that 12.35 × 0.9 is 11.115 and not 11.114999….
    return Currency::parse(formatGeneral(product));
}

Tjiesuan::Tjiesuan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan"));
    setWindowTitle(QStringLiteral("为订单结算"));
    resize(680, 520);

    query_mingxin = Settlement::newOrderLinesList(QStringLiteral("query_mingxin"), this);

    auto* layout = new QVBoxLayout(this);

    // The order's lines and its amount due.
    auto* lines = new QGroupBox(QStringLiteral("订单明细"), this);
    lines->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* linesLayout = new QVBoxLayout(lines);
    bsSkinDBGrid1 = new DataGrid(QStringLiteral("bsSkinDBGrid1"), lines);
    bsSkinDBGrid1->bind(query_mingxin, {{QStringLiteral("k1"), QStringLiteral("大类"), 80},
                                        {QStringLiteral("k2"), QStringLiteral("细类"), 80},
                                        {QStringLiteral("k3"), QStringLiteral("产品名称"), 180},
                                        {QStringLiteral("k4"), QStringLiteral("数量"), 70},
                                        {QStringLiteral("k5"), QStringLiteral("单位"), 60},
                                        {QStringLiteral("k6"), QStringLiteral("销售价"), 80}});
    bsSkinDBGrid1->horizontalHeader()->setStretchLastSection(true);
    linesLayout->addWidget(bsSkinDBGrid1);
    auto* dueRow = new QHBoxLayout;
    dueRow->addStretch();
    dueRow->addWidget(
        makeLabel(lines, QStringLiteral("bsSkinStdLabel6"), QStringLiteral(" 报价单应收金额:￥")));
    bsSkinStdLabel7 = makeLabel(lines, QStringLiteral("bsSkinStdLabel7"), QString());
    bsSkinStdLabel7->setMinimumWidth(80);
    bsSkinStdLabel7->setStyleSheet(QStringLiteral("QLabel { color: #1d3a5c; font-weight: bold; }"));
    dueRow->addWidget(bsSkinStdLabel7);
    linesLayout->addLayout(dueRow);
    layout->addWidget(lines, 1);

    auto* bottom = new QHBoxLayout;

    // The amount to collect, in large red figures.
    auto* received = new QGroupBox(QStringLiteral("实收金额"), this);
    received->setObjectName(QStringLiteral("bsSkinGroupBox3"));
    auto* receivedLayout = new QHBoxLayout(received);
    auto* yuan = makeLabel(received, QStringLiteral("bsSkinStdLabel1"), QStringLiteral("￥"));
    bsSkinStdLabel2 = makeLabel(received, QStringLiteral("bsSkinStdLabel2"), QString());
    const QString red = QStringLiteral("QLabel { color: #d01010; font-size: 30px; font-weight: bold; }");
    yuan->setStyleSheet(red);
    bsSkinStdLabel2->setStyleSheet(red);
    bsSkinStdLabel2->setMinimumWidth(150);
    receivedLayout->addWidget(yuan);
    receivedLayout->addWidget(bsSkinStdLabel2, 1);
    bottom->addWidget(received);

    // The discount and the two ways to pay.
    auto* settle = new QGroupBox(QStringLiteral("结算"), this);
    settle->setObjectName(QStringLiteral("bsSkinGroupBox2"));
    auto* settleLayout = new QHBoxLayout(settle);
    auto* discounts = new QGridLayout;
    bsSkinCheckRadioBox2 = new QRadioButton(settle);
    bsSkinCheckRadioBox2->setObjectName(QStringLiteral("bsSkinCheckRadioBox2"));
    bsSkinStdLabel14 = makeLabel(settle, QStringLiteral("bsSkinStdLabel14"), QStringLiteral("选择折扣:"));
    bsSkinComboBox2 = new QComboBox(settle);
    bsSkinComboBox2->setObjectName(QStringLiteral("bsSkinComboBox2"));
    bsSkinComboBox2->addItems(Presets);
    bsSkinComboBox2->setMinimumWidth(90);
    bsSkinCheckRadioBox3 = new QRadioButton(settle);
    bsSkinCheckRadioBox3->setObjectName(QStringLiteral("bsSkinCheckRadioBox3"));
    bsSkinStdLabel3 = makeLabel(settle, QStringLiteral("bsSkinStdLabel3"), QStringLiteral("输入折扣:"));
    auto* discountBox = new DiscountBox(settle);
    bsSkinEdit4 = discountBox;
    bsSkinEdit4->setObjectName(QStringLiteral("bsSkinEdit4"));
    bsSkinEdit4->setRange(0, 99);
    discountBox->edit()->setMaxLength(2);
    bsSkinEdit4->setSingleStep(1);
    bsSkinEdit4->setMinimumWidth(90);
    bsSkinEdit4->installEventFilter(this);
    bsSkinStdLabel22 =
        makeLabel(settle, QStringLiteral("bsSkinStdLabel22"), QStringLiteral("(比如八五折，就输入数字85)"));
    bsSkinStdLabel22->setStyleSheet(QStringLiteral("QLabel { color: grey; }"));
    bsSkinCheckRadioBox1 = new QCheckBox(QStringLiteral("全免费"), settle);
    bsSkinCheckRadioBox1->setObjectName(QStringLiteral("bsSkinCheckRadioBox1"));
    discounts->addWidget(bsSkinCheckRadioBox2, 0, 0);
    discounts->addWidget(bsSkinStdLabel14, 0, 1);
    discounts->addWidget(bsSkinComboBox2, 0, 2);
    discounts->addWidget(bsSkinCheckRadioBox3, 1, 0);
    discounts->addWidget(bsSkinStdLabel3, 1, 1);
    discounts->addWidget(bsSkinEdit4, 1, 2);
    discounts->addWidget(bsSkinStdLabel22, 2, 1, 1, 2);
    discounts->addWidget(bsSkinCheckRadioBox1, 3, 1, 1, 2);
    discounts->setColumnStretch(3, 1);
    discounts->setRowStretch(4, 1);
    settleLayout->addLayout(discounts, 1);
    bsSkinSpeedButton1 =
        tallButton(settle, QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("会员卡结算"), 5);
    bsSkinSpeedButton2 =
        tallButton(settle, QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("现金结算"), 8);
    settleLayout->addWidget(bsSkinSpeedButton1);
    settleLayout->addWidget(bsSkinSpeedButton2);
    bottom->addWidget(settle, 1);
    layout->addLayout(bottom);

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    bsSkinButton3 = new QPushButton(QStringLiteral("关  闭"), this);
    bsSkinButton3->setObjectName(QStringLiteral("bsSkinButton3"));
    bsSkinButton3->setAutoDefault(false);
    closeRow->addWidget(bsSkinButton3);
    layout->addLayout(closeRow);

    // The order number travels with the dialog but is never shown.
    bsSkinStdLabel4 = makeLabel(this, QStringLiteral("bsSkinStdLabel4"), QString());
    bsSkinStdLabel4->hide();

    setTabOrder(bsSkinComboBox2, bsSkinCheckRadioBox1);
    setTabOrder(bsSkinCheckRadioBox1, bsSkinCheckRadioBox2);
    setTabOrder(bsSkinCheckRadioBox2, bsSkinCheckRadioBox3);
    setTabOrder(bsSkinCheckRadioBox3, bsSkinEdit4);

    connect(bsSkinComboBox2, &QComboBox::currentIndexChanged, this,
            [this] { guarded([this] { bsSkinComboBox2Change(); }); });
    connect(bsSkinEdit4, &QSpinBox::valueChanged, this, [this] { guarded([this] { bsSkinEdit4Change(); }); });
    // The digits, not the number, are the discount: "8" and "08" are one value and two prices, so
    // a typed change between them reprices as well. (A typed change of the value has repriced
    // already by then: the box reads its text before this does.)
    connect(discountBox->edit(), &QLineEdit::textChanged, this, [this] {
        if (!bsSkinEdit4->signalsBlocked() && bsSkinEdit4->cleanText() != m_pricedDigits)
            guarded([this] { bsSkinEdit4Change(); });
    });
    connect(bsSkinCheckRadioBox1, &QCheckBox::clicked, this,
            [this] { guarded([this] { bsSkinCheckRadioBox1Click(); }); });
    connect(bsSkinCheckRadioBox2, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            guarded([this] { bsSkinCheckRadioBox2Click(); });
    });
    connect(bsSkinCheckRadioBox3, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            guarded([this] { bsSkinCheckRadioBox3Click(); });
    });
    connect(bsSkinSpeedButton1, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton1Click(); }); });
    connect(bsSkinSpeedButton2, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton2Click(); }); });
    connect(bsSkinButton3, &QPushButton::clicked, this,
            [this] { guarded([this] { bsSkinButton3Click(); }); });
}

void Tjiesuan::prepare(qint64 order, Currency amountDue) {
    m_order = order;
    m_amountDue = amountDue;
    query_mingxin->lookup(QStringLiteral("k8"), QString::number(order));
    bsSkinStdLabel4->setText(QString::number(order));
    bsSkinStdLabel7->setText(amountDue.toString());
    setToCollect(amountDue);
}

void Tjiesuan::setToCollect(Currency amount) {
    m_toCollect = amount;
    bsSkinStdLabel2->setText(amount.toString());
}

void Tjiesuan::setPresetEnabled(bool enabled) {
    bsSkinStdLabel14->setEnabled(enabled);
    bsSkinComboBox2->setEnabled(enabled);
}

void Tjiesuan::setCustomEnabled(bool enabled) {
    bsSkinStdLabel3->setEnabled(enabled);
    bsSkinEdit4->setEnabled(enabled);
}

void Tjiesuan::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

// Every checkout starts at full price with a preset discount chosen.
void Tjiesuan::FormShow() {
    bsSkinCheckRadioBox1->setChecked(false);
    bsSkinCheckRadioBox1Click();
    {
        const QSignalBlocker block(bsSkinCheckRadioBox2);
        bsSkinCheckRadioBox2->setChecked(true);
    }
    bsSkinCheckRadioBox2Click();
    bsSkinStdLabel3->setEnabled(false);
    {
        // Clearing the custom discount does not reprice the order.
        const QSignalBlocker block(bsSkinEdit4);
        bsSkinEdit4->setValue(0);
    }
    bsSkinEdit4->setEnabled(false);
}

void Tjiesuan::bsSkinComboBox2Change() {
    const int index = int(Presets.indexOf(bsSkinComboBox2->currentText()));
    if (index < 0)
        return;
    setToCollect(index == 0 ? m_amountDue : discounted(m_amountDue, presetFactor(index)));
}

void Tjiesuan::bsSkinEdit4Change() {
    const QString digits = bsSkinEdit4->cleanText();
    if (digits.isEmpty())
        return;
    m_pricedDigits = digits;
    setToCollect(discounted(m_amountDue, QStringLiteral("0.") + digits));
}

void Tjiesuan::bsSkinCheckRadioBox1Click() {
    if (bsSkinCheckRadioBox1->isChecked()) {
        setToCollect(Currency());
        setCustomEnabled(false);
        setPresetEnabled(false);
    } else {
        setToCollect(m_amountDue);
        {
            const QSignalBlocker block(bsSkinComboBox2);
            bsSkinComboBox2->setCurrentIndex(0);
        }
        bsSkinComboBox2Change();
        setCustomEnabled(false);
        setPresetEnabled(true);
    }
}

void Tjiesuan::bsSkinCheckRadioBox2Click() {
    setCustomEnabled(false);
    setPresetEnabled(true);
    setToCollect(m_amountDue);
}

void Tjiesuan::bsSkinCheckRadioBox3Click() {
    setCustomEnabled(true);
    setPresetEnabled(false);
    setToCollect(m_amountDue);
    // Ready for typing: the digits replace what the box shows.
    bsSkinEdit4->setFocus();
    bsSkinEdit4->selectAll();
}

// "会员卡结算"
void Tjiesuan::bsSkinSpeedButton1Click() {
    jiesuan_huiyuanka->prepare(m_order, m_amountDue, m_toCollect);
    jiesuan_huiyuanka->exec();
}

// "现金结算"
void Tjiesuan::bsSkinSpeedButton2Click() {
    jiesuan_xianjin->prepare(m_order, m_amountDue, m_toCollect);
    jiesuan_xianjin->exec();
}

void Tjiesuan::bsSkinButton3Click() {
    close();
}

// A key typed into an empty custom box starts from "0", which the key then replaces.
void Tjiesuan::bsSkinEdit4EditKeyPress() {
    if (!bsSkinEdit4->cleanText().isEmpty())
        return;
    bsSkinEdit4->setValue(0);
    bsSkinEdit4->selectAll();
}

bool Tjiesuan::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bsSkinEdit4 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (!key->text().isEmpty() && key->text().at(0).isPrint())
            guarded([this] { bsSkinEdit4EditKeyPress(); });
    }
    return QDialog::eventFilter(watched, event);
}
