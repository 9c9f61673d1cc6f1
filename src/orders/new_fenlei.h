#pragma once

#include "ui_new_fenlei.h"

#include <QDialog>

// "订单分类": sets the category of one order, chosen from the order-category pick list.
class Tnew_fenlei : public QDialog, public Ui::Tnew_fenlei {
    Q_OBJECT
public:
    explicit Tnew_fenlei(QWidget* parent = nullptr);

    // Set by the orders page before showing.
    void prepare(qint64 order);

public slots:
    void bsSkinSpeedButton1Click();
    void bsSkinButton1Click();

private:
    void keepChoice();
    QString m_choice; // the last category picked, kept from one showing to the next
    qint64 m_order = 0;
    bool m_holding = false;
};

extern Tnew_fenlei* new_fenlei;
