#pragma once

#include "warehouse/productdialog.h"

// "新建产品": a new product with its opening stock. Every showing starts from blank fields.
class Tnew_chanpin : public ProductDialog {
    Q_OBJECT
public:
    explicit Tnew_chanpin(QWidget* parent = nullptr);

public slots:
    // Blank fields, no list entry chosen, prices 0.00.
    void FormShow();
    // Save: the required fields, then the product row; the stock list shows it.
    void bsSkinButton1Click();

protected:
    void showEvent(QShowEvent* event) override;
    void save() override { bsSkinButton1Click(); }
};

extern Tnew_chanpin* new_chanpin;
