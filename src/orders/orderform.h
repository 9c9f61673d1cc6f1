#pragma once

#include "core/money.h"

#include <QDialog>

class DataGrid;
class DataLabel;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class SharedQuery;

// The window the new-order and edit-order dialogs share: the product list with its search on the
// left, the add box and the order's lines with its panel on the right. Each add and each removal
// writes at once, in one transaction; the running total and the order number live in the panel's
// labels.
class OrderForm : public QDialog {
    Q_OBJECT
public:
    OrderForm(const QString& name, const QString& caption, SharedQuery* lines, QWidget* parent);

    QGroupBox* bsSkinGroupBox1 = nullptr; // "库房"
    DataGrid* bsSkinDBGrid1 = nullptr;    // products
    QLabel* bsSkinStdLabel3 = nullptr;
    QLineEdit* bsSkinEdit1 = nullptr;     // product search
    QGroupBox* bsSkinGroupBox3 = nullptr; // "添加到订单"
    DataLabel* bsSkinDBText1 = nullptr;   // the selected product's name
    QLabel* bsSkinStdLabel4 = nullptr;
    QLineEdit* bsSkinEdit2 = nullptr;     // quantity
    QPushButton* bsSkinButton1 = nullptr; // add
    QPushButton* bsSkinButton2 = nullptr; // remove line
    QGroupBox* bsSkinGroupBox2 = nullptr; // the order
    DataGrid* bsSkinDBGrid2 = nullptr;    // the order's lines
    QFrame* bsSkinPanel2 = nullptr;       // category, number, running total
    QLabel* bsSkinStdLabel14 = nullptr;   // category
    QLabel* bsSkinStdLabel20 = nullptr;   // order number
    QLabel* bsSkinStdLabel19 = nullptr;   // running total
    QPushButton* bsSkinButton3 = nullptr; // close

protected:
    // What an add needs of the selected product, read before anything is written.
    struct Product {
        QString bid, b1, b2, b3, b5, price;
        Currency stock, salePrice, stockValue;
    };
    // The checks before an add; false (after the message) when the add must stop.
    bool checkAdd(Product& product, QString& quantityText, Currency& quantity);
    // The line, its stock-out record and the lower stock of its product, for an order that exists.
    // Call inside a transaction.
    static void writeLine(const QString& order, const Product& product, const QString& quantityText,
                          Currency quantity);
    // The line's product gets its stock back and the line is deleted, in one transaction.
    // Returns the running total less the line's amount.
    Currency removeLine(int row);
    void showLines(const QString& order);
    Currency runningTotal() const;
    // Writes the running total into the order.
    void writeTotal(const QString& order);
    // The lists an add changed: stock-out records, the order's lines, the products.
    void refreshAfterAdd(const QString& order);

    SharedQuery* m_lines;
    QWidget* m_addArea = nullptr; // where the add buttons sit
};
