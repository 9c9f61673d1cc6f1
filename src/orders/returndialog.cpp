#include "orders/returndialog.h"

#include "core/errors.h"
#include "core/money.h"
#include "ledger/returns.h"
#include "reports/receiptprint.h"
#include "widgets/messages.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <algorithm>

namespace {
enum Column { Name, Price, Sold, Returned, Now, Damaged };
// More than any order number has digits, so a scan with something stuck to it still shows whole
// in the message.
constexpr int MaxTyped = 40;
} // namespace

ReturnDialog::ReturnDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setupUi(this);
    tblLines->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    tblLines->verticalHeader()->hide();
    tblLines->setSelectionMode(QAbstractItemView::NoSelection);
    connectGuarded(btnFind, &QPushButton::clicked, this, &ReturnDialog::btnFindClick);
    connectGuarded(edtOrder, &QLineEdit::returnPressed, this, &ReturnDialog::btnFindClick);
    connectGuarded(btnReturn, &QPushButton::clicked, this, &ReturnDialog::btnReturnClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A scanner types the number and Enter: Enter finds the order and never presses a button.
    for (QPushButton* button : {btnFind, btnReturn, btnCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    edtOrder->setMaxLength(MaxTyped);
    load(0);
    edtOrder->setFocus();
}

void ReturnDialog::load(qint64 order) {
    m_order = 0;
    m_lines.clear();
    tblLines->setRowCount(0);
    lblOrder->clear();
    btnReturn->setEnabled(false);
    rbCash->setChecked(true);
    rbCard->setEnabled(false);
    if (order == 0)
        return;
    const QList<Returns::Returnable> lines = Returns::returnable(order); // refuses an unsettled order
    m_order = order;
    edtOrder->setText(QString::number(order));
    const qint64 card = Returns::paidByCard(order);
    rbCard->setEnabled(card != 0);
    (card != 0 ? rbCard : rbCash)->setChecked(true);
    lblOrder->setText(card != 0 ? QStringLiteral("%1 号订单，会员卡 %2 结算").arg(order).arg(card)
                                : QStringLiteral("%1 号订单，现金结算").arg(order));
    tblLines->setRowCount(int(lines.size()));
    bool anyLeft = false;
    for (int row = 0; row < lines.size(); ++row) {
        const Returns::Returnable& l = lines[row];
        m_lines << l.line;
        const auto cell = [&](int column, const QString& text) {
            auto* item = new QTableWidgetItem(text);
            item->setFlags(Qt::ItemIsEnabled);
            tblLines->setItem(row, column, item);
        };
        cell(Name, l.name);
        cell(Price, l.price.toString());
        cell(Sold, l.sold.toString());
        cell(Returned, l.returned.toString());
        auto* now = new QDoubleSpinBox(tblLines);
        now->setObjectName(QStringLiteral("quantity%1").arg(row));
        now->setDecimals(3);
        now->setRange(0, std::max(0.0, l.left().toDouble()));
        now->setEnabled(l.left() > Currency());
        tblLines->setCellWidget(row, Now, now);
        auto* damaged = new QCheckBox(tblLines);
        damaged->setObjectName(QStringLiteral("damaged%1").arg(row));
        tblLines->setCellWidget(row, Damaged, damaged);
        anyLeft = anyLeft || l.left() > Currency();
    }
    btnReturn->setEnabled(anyLeft);
    edtOrder->selectAll(); // the next scan replaces the number
    if (!anyLeft) {
        lblOrder->setText(lblOrder->text() + QStringLiteral("，已全部退货"));
        Messages::information(QStringLiteral("%1号订单已全部退货，没有可以再退的产品").arg(order));
    }
}

void ReturnDialog::btnFindClick() {
    const QString typed = edtOrder->text().trimmed();
    if (typed.isEmpty())
        throw Refused(QStringLiteral("请输入或扫描订单编号"));
    const bool digits =
        std::all_of(typed.cbegin(), typed.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!digits) {
        load(0);
        edtOrder->selectAll();
        throw Refused(QStringLiteral("“%1”不是订单编号：订单编号只有数字").arg(typed));
    }
    bool ok = false;
    const qint64 order = typed.toLongLong(&ok);
    if (!ok || order <= 0) { // beyond any number the database gives
        load(0);
        edtOrder->selectAll();
        throw Refused(QStringLiteral("找不到订单 %1").arg(typed));
    }
    try {
        load(order);
    } catch (...) {
        load(0); // no lines of the order looked at before stay under another number
        edtOrder->selectAll();
        throw;
    }
}

void ReturnDialog::btnReturnClick() {
    QList<Returns::Line> back;
    for (int row = 0; row < m_lines.size(); ++row) {
        const auto* now = qobject_cast<QDoubleSpinBox*>(tblLines->cellWidget(row, Now));
        const auto* damaged = qobject_cast<QCheckBox*>(tblLines->cellWidget(row, Damaged));
        const Currency quantity = Currency::parse(QString::number(now->value(), 'f', 3));
        if (quantity > Currency())
            back << Returns::Line{m_lines[row], quantity, damaged->isChecked()};
    }
    const bool cash = !rbCard->isChecked();
    const Returns::Made made = Returns::make(m_order, back, cash ? Returns::Way::Cash : Returns::Way::Card,
                                             cmbReason->currentText().trimmed());
    Messages::information(
        cash ? QStringLiteral("退货完成，请从钱箱退给顾客 %1 元。").arg(made.refund.toString())
             : QStringLiteral("退货完成，已退回会员卡 %1 元。").arg(made.refund.toString()));
    // The return stands whatever becomes of its receipt: a printer failure is only reported.
    guarded([&made, cash] { ReceiptPrint::afterReturn(made.key, cash); });
    accept();
}
