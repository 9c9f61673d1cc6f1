#pragma once

#include "orders/orderform.h"

class QPushButton;
class SharedQuery;

// "新订单": takes a sale line by line. The first add of a showing creates the order; every add
// writes the line, its stock-out record, the lower stock and the order's amount due at once.
class Tnew_dingdan : public OrderForm {
    Q_OBJECT
public:
    explicit Tnew_dingdan(QWidget* parent = nullptr);

    QPushButton* bsSkinSpeedButton2 = nullptr; // add in next-line mode
    SharedQuery* Query_xindingdan = nullptr;   // the lines of the order being taken
    // The order created in this showing; 0 before the first add.
    qint64 order() const { return m_order; }
    bool nextLineMode() const { return m_order != 0; }

public slots:
    void FormShow();
    void bsSkinEdit1Change();
    void bsSkinButton1Click();
    void bsSkinSpeedButton2Click();
    void bsSkinButton2Click();
    void bsSkinButton3Click();

protected:
    void showEvent(QShowEvent* event) override;
    void addScanned() override;
    qint64 orderOfLabel() const override { return m_order; }
    void labelAdded(const Orders::LineAdded& added) override;

private:
    void add(bool firstLine);
    void showAdded(const Orders::LineAdded& added, bool firstLine);
    // Whole numbers, or three decimals for goods sold by weight.
    void fitQuantityToUnit();
    qint64 m_order = 0;
    QObject* m_quantityFilter = nullptr;
};

extern Tnew_dingdan* new_dingdan;
