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
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>

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

} // namespace

Tjiesuan::Tjiesuan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan"));
    setupUi(this);

    query_mingxin = Settlement::newOrderLinesList(QStringLiteral("query_mingxin"), this);
    bsSkinDBGrid1->bind(query_mingxin, {{QStringLiteral("k1"), QStringLiteral("大类"), 80},
                                        {QStringLiteral("k2"), QStringLiteral("细类"), 80},
                                        {QStringLiteral("k3"), QStringLiteral("产品名称"), 180},
                                        {QStringLiteral("k4"), QStringLiteral("数量"), 70},
                                        {QStringLiteral("k5"), QStringLiteral("单位"), 60},
                                        {QStringLiteral("k6"), QStringLiteral("销售价"), 80}});
    bsSkinDBGrid1->horizontalHeader()->setStretchLastSection(true);
    bsSkinComboBox2->addItems(Presets);
    bsSkinEdit4->edit()->setMaxLength(2);
    bsSkinEdit4->installEventFilter(this);
    bsSkinSpeedButton1->setIcon(Pictures::icon(5));
    bsSkinSpeedButton2->setIcon(Pictures::icon(8));

    connectGuarded(bsSkinComboBox2, &QComboBox::currentIndexChanged, this, &Tjiesuan::bsSkinComboBox2Change);
    connectGuarded(bsSkinEdit4, &QSpinBox::valueChanged, this, &Tjiesuan::bsSkinEdit4Change);
    // The digits, not the number, are the discount: "8" and "08" are one value and two prices, so
    // a typed change between them reprices as well. (A typed change of the value has repriced
    // already by then: the box reads its text before this does.)
    connectGuarded(bsSkinEdit4->edit(), &QLineEdit::textChanged, this, [this] {
        if (!bsSkinEdit4->signalsBlocked() && bsSkinEdit4->cleanText() != m_pricedDigits)
            bsSkinEdit4Change();
    });
    connectGuarded(bsSkinCheckRadioBox1, &QCheckBox::clicked, this, &Tjiesuan::bsSkinCheckRadioBox1Click);
    // A radio box acts when it becomes checked, not when its partner takes the check away.
    connectGuarded(bsSkinCheckRadioBox2, &QRadioButton::toggled, this, [this] {
        if (bsSkinCheckRadioBox2->isChecked())
            bsSkinCheckRadioBox2Click();
    });
    connectGuarded(bsSkinCheckRadioBox3, &QRadioButton::toggled, this, [this] {
        if (bsSkinCheckRadioBox3->isChecked())
            bsSkinCheckRadioBox3Click();
    });
    connectGuarded(bsSkinSpeedButton1, &QToolButton::clicked, this, &Tjiesuan::bsSkinSpeedButton1Click);
    connectGuarded(bsSkinSpeedButton2, &QToolButton::clicked, this, &Tjiesuan::bsSkinSpeedButton2Click);
    connectGuarded(bsSkinButton3, &QPushButton::clicked, this, &Tjiesuan::bsSkinButton3Click);
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
    setToCollect(index == 0 ? m_amountDue : Settlement::discounted(m_amountDue, presetFactor(index)));
}

void Tjiesuan::bsSkinEdit4Change() {
    const QString digits = bsSkinEdit4->cleanText();
    if (digits.isEmpty())
        return;
    m_pricedDigits = digits;
    setToCollect(Settlement::discounted(m_amountDue, QStringLiteral("0.") + digits));
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
