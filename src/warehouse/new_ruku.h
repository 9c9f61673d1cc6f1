#pragma once

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
    // The selected product's values as the stock list shows them.
    struct Product {
        QString bid, b1, b2, b3, b4, b5, b6, b7, b8, b9, b12;
    };

    explicit Tnew_ruku(QWidget* parent = nullptr);
    // The stock page hands the selected product in before showing the dialog.
    void handIn(const Product& product);
    const Product& product() const { return m_product; }

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
    Product m_product;
};

extern Tnew_ruku* new_ruku;
