#pragma once

#include "warehouse/productdialog.h"

// "修改产品": the descriptive fields and prices of one product. The stock page fills it from the
// selected product before showing it; stock, stock value and creation date stay as they are.
class Tedit_chanpin : public ProductDialog {
    Q_OBJECT
public:
    explicit Tedit_chanpin(QWidget* parent = nullptr);

public slots:
    // Save: the nine fields of the product; the stock list shows the change.
    void bsSkinButton1Click();

protected:
    void save() override { bsSkinButton1Click(); }
};

extern Tedit_chanpin* edit_chanpin;
