#pragma once

#include "orders/orderform.h"

class SharedQuery;

// "修改订单": adds lines to and removes lines from an existing unsettled order, with stock and
// stock-out records kept in step; closing writes the order's total.
class Tedit_dingdan : public OrderForm {
    Q_OBJECT
public:
    explicit Tedit_dingdan(QWidget* parent = nullptr);

    // Set by the orders page before showing: the order's number, category and total as displayed.
    void prepare(const QString& number, const QString& category, const QString& total);

    SharedQuery* query_mingxi = nullptr; // the order's lines, newest first

public slots:
    void FormShow();
    void FormClose();
    void bsSkinEdit1Change();
    void bsSkinButton1Click();
    void bsSkinButton2Click();
    void bsSkinButton3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;
};

extern Tedit_dingdan* edit_dingdan;
