#pragma once

#include "orders/orderform.h"

class SharedQuery;

// "修改订单": adds lines to and removes lines from an existing unsettled order, with stock,
// stock-out records and the amount due kept in step.
class Tedit_dingdan : public OrderForm {
    Q_OBJECT
public:
    explicit Tedit_dingdan(QWidget* parent = nullptr);

    // Set by the orders page before showing: the order, its category and its amount due.
    void prepare(qint64 order, const QString& category, Currency amountDue);

    SharedQuery* query_mingxi = nullptr; // the order's lines, newest first

public slots:
    void FormShow();
    void bsSkinEdit1Change();
    void bsSkinButton1Click();
    void bsSkinButton2Click();
    void bsSkinButton3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void addScanned() override;
    qint64 orderOfLabel() const override { return m_order; }
    void labelAdded(const Orders::LineAdded& added) override { showDue(added.amountDue); }

private:
    qint64 m_order = 0;
};

extern Tedit_dingdan* edit_dingdan;
