#pragma once

#include "core/money.h"
#include "ledger/orders.h"
#include "ui_orderform.h"

#include <QDialog>
#include <QElapsedTimer>

class SharedQuery;

// The window the new-order and edit-order dialogs share: the product list with its search on the
// left, the add box and the order's lines with its panel on the right. Each add and each removal
// is one operation on the order, which keeps its amount due in step.
class OrderForm : public QDialog, public Ui::OrderForm {
    Q_OBJECT
public:
    OrderForm(const QString& name, const QString& caption, SharedQuery* lines, QWidget* parent);

    // The product search finds a product by its name or its exact barcode.
    static void searchProducts(const QString& text);

protected:
    // A scanned code (the code typed into the search or the quantity box, then Enter): selects
    // the product with that barcode and adds it with quantity 1. False when no product has it.
    bool takeScan(const QString& code);
    // Adds the selected product with the quantity typed, as the add button does.
    virtual void addScanned() = 0;
    // The order a scale's label adds to (0: a new one) and what follows the line added.
    virtual qint64 orderOfLabel() const = 0;
    virtual void labelAdded(const Orders::LineAdded& added) = 0;
    // How an add joins the order's lines: a scan joins the line of its product when the till is
    // set so; anything typed gets a line of its own.
    Orders::Join joinOfAdd() const;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    // A new list of order lines for the window named `name`; the window becomes its parent.
    static SharedQuery* linesQuery(const QString& name);
    // The checks before an add: a product chosen and a quantity typed. False (after the message)
    // when the add must stop.
    bool readAdd(qint64& product, Currency& quantity);
    // The unit of the selected product; empty when none is selected.
    QString selectedUnit() const;
    // Removes a line of the grid: the operation gives its stock back and lowers the amount due.
    void removeLine(int row);
    void showLines(qint64 order);
    // The order's amount due as the panel shows it.
    void showDue(Currency due);

    Currency m_due;
    SharedQuery* m_lines;

private:
    // A scanner types faster than a hand: digits each within this many milliseconds of the last,
    // then Enter, are a scanned code wherever the cursor stands.
    static constexpr int ScanGap = 50;
    QElapsedTimer m_lastKey;
    QLineEdit* m_burstBox = nullptr; // the box the digits went to
    QString m_burst;                 // the digits typed quickly so far
    QString m_before;                // the box's text before them
    bool m_scanning = false;         // the add under way is a scan's
};
