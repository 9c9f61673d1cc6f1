#pragma once

#include "core/money.h"

#include <QDialog>
#include <memory>

class DataGrid;
class DataLabel;
class QLabel;
class QLineEdit;
class QPushButton;
class SharedQuery;
namespace Ui {
class Tjiesuan_huiyuanka;
}

// "选择会员卡并确认结算": pays an order from a member's prepaid card. The card must cover the
// amount received as priced at checkout; the order, the card balance and the consumption record
// are written together.
class Tjiesuan_huiyuanka : public QDialog {
    Q_OBJECT
public:
    explicit Tjiesuan_huiyuanka(QWidget* parent = nullptr);
    ~Tjiesuan_huiyuanka() override;

    // The order to settle, its amount due and the amount to collect as priced at checkout; the
    // member list shows every member again, whatever the search box still holds.
    void prepare(qint64 order, Currency amountDue, Currency toCollect);

    SharedQuery* Query_huiyuan = nullptr; // the members to choose from
    QLineEdit* bsSkinEdit1 = nullptr;     // card number search
    DataGrid* bsSkinDBGrid1 = nullptr;
    DataLabel* bsSkinDBText1 = nullptr;   // card number
    DataLabel* bsSkinDBText2 = nullptr;   // name
    DataLabel* bsSkinDBText3 = nullptr;   // balance
    DataLabel* bsSkinDBText4 = nullptr;   // salutation
    QLabel* bsSkinStdLabel9 = nullptr;    // order number
    QLabel* bsSkinStdLabel4 = nullptr;    // amount due
    QLabel* bsSkinStdLabel6 = nullptr;    // amount to collect
    QPushButton* bsSkinButton1 = nullptr; // "选中并结帐"
    QPushButton* bsSkinButton2 = nullptr; // "取  消"

public slots:
    void bsSkinEdit1Change();
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    std::unique_ptr<Ui::Tjiesuan_huiyuanka> ui;
    qint64 m_order = 0;
    Currency m_amountDue;
    Currency m_toCollect;
};

extern Tjiesuan_huiyuanka* jiesuan_huiyuanka;
