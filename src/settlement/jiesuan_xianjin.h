#pragma once

#include "core/money.h"

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
namespace Ui {
class Tjiesuan_xianjin;
}

// "确认现金结算": confirms that an order is paid in cash with the amount priced at checkout.
class Tjiesuan_xianjin : public QDialog {
    Q_OBJECT
public:
    explicit Tjiesuan_xianjin(QWidget* parent = nullptr);
    ~Tjiesuan_xianjin() override;

    // The order to settle, its amount due and the amount to collect as priced at checkout.
    void prepare(qint64 order, Currency amountDue, Currency toCollect);

    QLabel* bsSkinStdLabel8 = nullptr;    // order number
    QLabel* bsSkinStdLabel4 = nullptr;    // amount due
    QLabel* bsSkinStdLabel6 = nullptr;    // amount to collect
    QPushButton* bsSkinButton1 = nullptr; // "确认并结帐"
    QPushButton* bsSkinButton2 = nullptr; // "取  消"

public slots:
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    std::unique_ptr<Ui::Tjiesuan_xianjin> ui;
    qint64 m_order = 0;
    Currency m_amountDue;
    Currency m_toCollect;
};

extern Tjiesuan_xianjin* jiesuan_xianjin;
