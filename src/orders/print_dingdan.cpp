#include "orders/print_dingdan.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "widgets/messages.h"

Tprint_dingdan* print_dingdan = nullptr;

Tprint_dingdan::Tprint_dingdan(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // The two choices are exclusive, and both unset until the user picks one; the choice stays
    // for later showings.
    connectGuarded(bsSkinButton1, &QPushButton::clicked, this, &Tprint_dingdan::bsSkinButton1Click);
    connectGuarded(bsSkinButton2, &QPushButton::clicked, this, &Tprint_dingdan::bsSkinButton2Click);
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
