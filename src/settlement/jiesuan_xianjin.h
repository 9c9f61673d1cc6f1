#pragma once

#include "core/money.h"
#include "ui_jiesuan_xianjin.h"

#include <QDialog>

// "确认现金结算": confirms that an order is paid in cash with the amount priced at checkout.
class Tjiesuan_xianjin : public QDialog, public Ui::Tjiesuan_xianjin {
    Q_OBJECT
public:
    explicit Tjiesuan_xianjin(QWidget* parent = nullptr);

    // The order to settle, its amount due and the amount to collect as priced at checkout.
    void prepare(qint64 order, Currency amountDue, Currency toCollect);

public slots:
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    qint64 m_order = 0;
    Currency m_amountDue;
    Currency m_toCollect;
};

extern Tjiesuan_xianjin* jiesuan_xianjin;
