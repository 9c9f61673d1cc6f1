#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// "确认现金结算": confirms that an order is paid in cash with the amount priced at checkout.
class Tjiesuan_xianjin : public QDialog {
    Q_OBJECT
public:
    explicit Tjiesuan_xianjin(QWidget* parent = nullptr);

    QLabel* bsSkinStdLabel8 = nullptr;    // order number
    QLabel* bsSkinStdLabel4 = nullptr;    // amount due
    QLabel* bsSkinStdLabel6 = nullptr;    // amount received
    QPushButton* bsSkinButton1 = nullptr; // "确认并结帐"
    QPushButton* bsSkinButton2 = nullptr; // "取  消"

public slots:
    void bsSkinButton1Click();
    void bsSkinButton2Click();
};

extern Tjiesuan_xianjin* jiesuan_xianjin;
