#pragma once

#include "ui_operatorswindow.h"

#include <QDialog>

// "操作员与权限": the owner's page of the shop's operators (name, role, PIN), its roles (the
// rights ticked), the shop's limits of discounts and returns, and this till's own settings (its
// name in the log, the minutes before it locks).
// In a shop without operators it is where the first one, the owner, is made.
class Tcaozuoyuan : public QDialog, public Ui::Tcaozuoyuan {
    Q_OBJECT
public:
    explicit Tcaozuoyuan(QWidget* parent = nullptr);

public slots:
    void btnAddOperatorClick();
    void btnUpdateOperatorClick();
    void btnRemoveOperatorClick();
    void btnSaveRoleClick();
    void btnRemoveRoleClick();
    void btnSaveTillClick();
    void btnSaveLimitsClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showOperators();
    void showRoles();
    void showState();
    void showLimits();
    void operatorChosen();
    void roleChosen();
    // The PIN typed twice; empty when none was typed. Refused when the two differ.
    QString typedPin() const;
    qint64 chosenOperator() const;
};

extern Tcaozuoyuan* caozuoyuan;
