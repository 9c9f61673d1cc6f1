#include "system/operatorswindow.h"

#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledger/staff.h"
#include "system/staffdesk.h"
#include "widgets/messages.h"

#include <QHeaderView>
#include <QRegularExpressionValidator>
#include <QSysInfo>
#include <cmath>

Tcaozuoyuan* caozuoyuan = nullptr;

Tcaozuoyuan::Tcaozuoyuan(QWidget* parent) : QDialog(parent) {
    setupUi(this);
    for (QLineEdit* pin : {edtPin1, edtPin2})
        pin->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,8}")), pin));
    tblOperators->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tblOperators->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    for (Staff::Right right : Staff::allRights()) {
        auto* item = new QListWidgetItem(Staff::name(right), lstRights);
        item->setData(Qt::UserRole, Staff::key(right));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    connectGuarded(btnAddOperator, &QPushButton::clicked, this, &Tcaozuoyuan::btnAddOperatorClick);
    connectGuarded(btnUpdateOperator, &QPushButton::clicked, this, &Tcaozuoyuan::btnUpdateOperatorClick);
    connectGuarded(btnRemoveOperator, &QPushButton::clicked, this, &Tcaozuoyuan::btnRemoveOperatorClick);
    connectGuarded(btnSaveRole, &QPushButton::clicked, this, &Tcaozuoyuan::btnSaveRoleClick);
    connectGuarded(btnRemoveRole, &QPushButton::clicked, this, &Tcaozuoyuan::btnRemoveRoleClick);
    connectGuarded(btnSaveTill, &QPushButton::clicked, this, &Tcaozuoyuan::btnSaveTillClick);
    connectGuarded(btnSaveLimits, &QPushButton::clicked, this, &Tcaozuoyuan::btnSaveLimitsClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnNewRole, &QPushButton::clicked, this, [this] {
        lstRoles->setCurrentRow(-1);
        edtRoleName->clear();
        for (int i = 0; i < lstRights->count(); ++i)
            lstRights->item(i)->setCheckState(Qt::Unchecked);
        edtRoleName->setFocus();
    });
    connect(tblOperators, &QTableWidget::itemSelectionChanged, this, [this] { operatorChosen(); });
    connect(lstRoles, &QListWidget::currentRowChanged, this, [this] { guarded([this] { roleChosen(); }); });
    // A built-in role's rights are shown, never ticked otherwise.
    connect(edtRoleName, &QLineEdit::textChanged, this, [this](const QString& name) {
        const bool builtIn = name.trimmed() == Staff::OwnerRole || name.trimmed() == Staff::CashierRole;
        lstRights->setEnabled(!builtIn);
        btnSaveRole->setEnabled(!builtIn);
        btnRemoveRole->setEnabled(!builtIn);
        lblRoleNote->setText(builtIn ? QStringLiteral("程序自带的角色，不能修改") : QString());
    });
}

void Tcaozuoyuan::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    guarded([this] {
        showOperators();
        showRoles();
        edtTillName->setPlaceholderText(QSysInfo::machineHostName());
        if (Data_in) {
            edtTillName->setText(TillSettings::tillName(Data_in->folder()));
            spnIdleMinutes->setValue(TillSettings::idleMinutes(Data_in->folder()));
        }
        showLimits();
        edtName->clear();
        edtPin1->clear();
        edtPin2->clear();
        tabs->setCurrentIndex(0);
    });
}

void Tcaozuoyuan::showState() {
    const auto now = Staff::current();
    if (!Staff::hasOperators())
        lblState->setText(QStringLiteral("本店还没有操作员，谁都可以做所有操作。新增的第一个操作员就是店主，"
                                         "新增后立即以他登录；从下次启动起，程序先请操作员登录。"));
    else
        lblState->setText(now ? QStringLiteral("本机操作员：%1（%2）").arg(now->name, now->role)
                              : QStringLiteral("本机没有操作员登录"));
}

void Tcaozuoyuan::showOperators() {
    const QList<Staff::Operator> all = Staff::operators();
    tblOperators->clearSelection();
    tblOperators->setRowCount(int(all.size()));
    for (int row = 0; row < all.size(); ++row) {
        auto* name = new QTableWidgetItem(all[row].name);
        name->setData(Qt::UserRole, all[row].key);
        tblOperators->setItem(row, 0, name);
        tblOperators->setItem(row, 1, new QTableWidgetItem(all[row].role));
    }
    // The first operator is the owner whatever is chosen: the box says so.
    cboRole->setEnabled(!all.isEmpty());
    btnUpdateOperator->setEnabled(!all.isEmpty());
    btnRemoveOperator->setEnabled(!all.isEmpty());
    showState();
}

void Tcaozuoyuan::showRoles() {
    const QString chosen = cboRole->currentText();
    const QStringList names = Staff::roleNames();
    cboRole->clear();
    cboRole->addItems(names);
    cboRole->setCurrentIndex(std::max(0, int(names.indexOf(chosen.isEmpty() ? Staff::CashierRole : chosen))));
    if (!Staff::hasOperators())
        cboRole->setCurrentIndex(int(names.indexOf(Staff::OwnerRole)));
    const QString role = lstRoles->currentItem() ? lstRoles->currentItem()->text() : QString();
    const QSignalBlocker quiet(lstRoles);
    lstRoles->clear();
    lstRoles->addItems(names);
    const int at = int(names.indexOf(role));
    lstRoles->setCurrentRow(at);
    if (at < 0) {
        edtRoleName->clear();
        for (int i = 0; i < lstRights->count(); ++i)
            lstRights->item(i)->setCheckState(Qt::Unchecked);
    }
}

qint64 Tcaozuoyuan::chosenOperator() const {
    const QList<QTableWidgetItem*> chosen = tblOperators->selectedItems();
    if (chosen.isEmpty())
        return 0;
    return tblOperators->item(chosen.first()->row(), 0)->data(Qt::UserRole).toLongLong();
}

void Tcaozuoyuan::operatorChosen() {
    const QList<QTableWidgetItem*> chosen = tblOperators->selectedItems();
    if (chosen.isEmpty())
        return;
    const int row = chosen.first()->row();
    edtName->setText(tblOperators->item(row, 0)->text());
    cboRole->setCurrentText(tblOperators->item(row, 1)->text());
    edtPin1->clear();
    edtPin2->clear();
}

void Tcaozuoyuan::roleChosen() {
    if (!lstRoles->currentItem())
        return;
    const QString role = lstRoles->currentItem()->text();
    edtRoleName->setText(role);
    const Staff::Rights rights = Staff::rightsOf(role);
    for (int i = 0; i < lstRights->count(); ++i) {
        QListWidgetItem* item = lstRights->item(i);
        const auto right = Staff::rightOfKey(item->data(Qt::UserRole).toString());
        item->setCheckState(right && rights.contains(*right) ? Qt::Checked : Qt::Unchecked);
    }
}

QString Tcaozuoyuan::typedPin() const {
    if (edtPin1->text() != edtPin2->text())
        throw Refused(QStringLiteral("两次输入的PIN不一样，请重新输入"));
    return edtPin1->text();
}

void Tcaozuoyuan::btnAddOperatorClick() {
    const QString pin = typedPin();
    const bool first = !Staff::hasOperators();
    const QString name = edtName->text().trimmed();
    Staff::addOperator(name, cboRole->currentText(), pin);
    edtName->clear();
    edtPin1->clear();
    edtPin2->clear();
    showOperators();
    showRoles();
    // The next one is most likely a cashier.
    cboRole->setCurrentText(Staff::CashierRole);
    if (first) {
        // The rules are in force from now on: the status bar names the owner, buttons follow.
        if (staff_desk)
            staff_desk->staffChanged();
        Messages::information(
            QStringLiteral("“%1”是本店的店主，现已登录。\n从下次启动起，程序先请操作员登录。").arg(name));
    }
}

void Tcaozuoyuan::btnUpdateOperatorClick() {
    const qint64 key = chosenOperator();
    if (!key)
        throw Refused(QStringLiteral("请先在列表中选择要修改的操作员"));
    const QString pin = typedPin();
    Staff::updateOperator(key, cboRole->currentText(), pin);
    edtPin1->clear();
    edtPin2->clear();
    showOperators();
    if (staff_desk && Staff::current() && Staff::current()->key == key)
        staff_desk->staffChanged();
    Messages::information(QStringLiteral("已修改操作员“%1”").arg(edtName->text()));
}

void Tcaozuoyuan::btnRemoveOperatorClick() {
    const qint64 key = chosenOperator();
    if (!key)
        throw Refused(QStringLiteral("请先在列表中选择要删除的操作员"));
    const QString name = tblOperators->item(tblOperators->selectedItems().first()->row(), 0)->text();
    if (!Messages::confirmDelete(QStringLiteral("删除操作员“%1”吗？").arg(name)))
        return;
    Staff::removeOperator(key);
    edtName->clear();
    showOperators();
    // Whoever was removed works here no longer.
    if (staff_desk && Staff::current() && Staff::current()->key == key)
        staff_desk->lockNow();
}

void Tcaozuoyuan::btnSaveRoleClick() {
    Staff::Rights rights;
    for (int i = 0; i < lstRights->count(); ++i)
        if (lstRights->item(i)->checkState() == Qt::Checked)
            if (const auto right = Staff::rightOfKey(lstRights->item(i)->data(Qt::UserRole).toString()))
                rights.insert(*right);
    const QString name = edtRoleName->text().trimmed();
    Staff::saveRole(name, rights);
    showRoles();
    const int at = int(Staff::roleNames().indexOf(name));
    lstRoles->setCurrentRow(at);
    Messages::information(QStringLiteral("已保存角色“%1”").arg(name));
}

void Tcaozuoyuan::btnRemoveRoleClick() {
    const QString name = edtRoleName->text().trimmed();
    if (name.isEmpty())
        throw Refused(QStringLiteral("请先选择要删除的角色"));
    if (!Messages::confirmDelete(QStringLiteral("删除角色“%1”吗？").arg(name)))
        return;
    Staff::removeRole(name);
    lstRoles->setCurrentRow(-1);
    showRoles();
}

void Tcaozuoyuan::btnSaveTillClick() {
    Staff::require(Staff::Right::Operators, QStringLiteral("本机设置"));
    TillSettings::save(Data_in->folder(), edtTillName->text(), spnIdleMinutes->value());
    Staff::setTillName(edtTillName->text());
    if (staff_desk)
        staff_desk->setIdleMinutes(spnIdleMinutes->value());
    Messages::information(QStringLiteral("已保存本机设置"));
}

void Tcaozuoyuan::showLimits() {
    spnDiscountLimit->setValue(Settlement::discountLimit() * 10);
    const Returns::Limits limits = Returns::limits();
    spnReturnDays->setValue(limits.days);
    spnReturnAmount->setValue(limits.amount.toDouble());
}

void Tcaozuoyuan::btnSaveLimitsClick() {
    // Each is its own operation, logged as a change of settings; an unchanged one is not written.
    const double discount = spnDiscountLimit->value() / 10;
    if (std::abs(discount - Settlement::discountLimit()) > 0.001)
        Settlement::setDiscountLimit(discount);
    const Returns::Limits now{spnReturnDays->value(),
                              Currency::parse(QString::number(spnReturnAmount->value(), 'f', 2))};
    const Returns::Limits was = Returns::limits();
    if (now.days != was.days || now.amount != was.amount)
        Returns::setLimits(now);
    showLimits();
    Messages::information(QStringLiteral("已保存限额"));
}
