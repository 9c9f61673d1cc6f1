#pragma once

#include "ledger/products.h"

#include "ui_new_ruku.h"

#include <QDate>
#include <QDialog>

// "为选中产品入库": receives goods for the product selected on the stock page. Saving raises the
// product's stock and stock value and writes one stock-in record, both or neither.
class Tnew_ruku : public QDialog, public Ui::Tnew_ruku {
    Q_OBJECT
public:
    explicit Tnew_ruku(QWidget* parent = nullptr);
    // Shows the product to receive before the dialog opens.
    void prepare(const Products::Product& product);
    const Products::Product& product() const { return m_product; }
    // The stock-in date, taken at each showing.
    QDate date() const { return m_date; }

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
