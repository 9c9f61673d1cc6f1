#pragma once

#include "ledger/products.h"

#include <QDate>
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "为选中产品入库": receives goods for the product selected on the stock page. Saving raises the
// product's stock and stock value and writes one stock-in record, both or neither.
class Tnew_ruku : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_ruku(QWidget* parent = nullptr);
    // Shows the product to receive before the dialog opens.
    void prepare(const Products::Product& product);
    const Products::Product& product() const { return m_product; }
    // The stock-in date, taken at each showing.
    QDate date() const { return m_date; }

    QGroupBox* bsSkinGroupBox1 = nullptr; // 入库操作
    QLabel* bsSkinStdLabel7 = nullptr;    // the product's name
    QLabel* bsSkinStdLabel6 = nullptr;    // its stock now
    QLineEdit* bsSkinEdit3 = nullptr;     // the quantity received, digits only
    QLabel* bsSkinStdLabel8 = nullptr;    // its unit
    QLabel* bsSkinStdLabel5 = nullptr;    // the stock-in date
    QLabel* bsSkinStdLabel9 = nullptr;    // hidden: the product's number
    QLabel* bsSkinStdLabel10 = nullptr;   // hidden: its stock value
    QLabel* bsSkinStdLabel11 = nullptr;   // hidden: its sale price
    QPushButton* bsSkinButton1 = nullptr; // 保 存
    QPushButton* bsSkinButton2 = nullptr; // 取 消

public slots:
    // An empty quantity box and today's date.
    void FormShow();
    void bsSkinButton1Click();
    void bsSkinButton2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    Products::Product m_product;
    QDate m_date;
};

extern Tnew_ruku* new_ruku;
