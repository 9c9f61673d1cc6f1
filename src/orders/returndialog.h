#pragma once

#include "ui_returndialog.h"

#include <QDialog>

// "退货": takes goods of a settled order back. The order comes from the orders page or is typed
// or scanned from the receipt; each line shows what was sold and what came back already, and the
// quantity to take back now (never more than is left) and whether the goods are written off. The
// money goes back in cash or onto the card that paid.
class ReturnDialog : public QDialog, public Ui::ReturnDialog {
    Q_OBJECT
public:
    explicit ReturnDialog(QWidget* parent = nullptr);

    // Shows the order's lines (0: none yet, the order number is typed).
    void load(qint64 order);
    qint64 order() const { return m_order; }

public slots:
    void btnFindClick();
    void btnReturnClick();

private:
    qint64 m_order = 0;
    QList<qint64> m_lines; // the order lines of the table's rows
};
