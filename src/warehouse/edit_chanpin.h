#pragma once

#include "warehouse/productdialog.h"

// "修改产品": the descriptive fields and prices of one product, shown from the product the stock
// page hands in; stock, stock value and creation date stay as they are.
class Tedit_chanpin : public ProductDialog {
    Q_OBJECT
public:
    explicit Tedit_chanpin(QWidget* parent = nullptr);

    // Shows the product before the dialog opens; nothing of an earlier showing survives.
    void prepare(const Products::Product& product);
    const Products::Product& product() const { return m_product; }

public slots:
    // Save: the nine fields of the product; the stock list follows the change.
    void bsSkinButton1Click();

protected:
    void save() override { bsSkinButton1Click(); }

private:
    Products::Product m_product;
};

extern Tedit_chanpin* edit_chanpin;
