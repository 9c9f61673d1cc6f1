#pragma once

#include "core/money.h"
#include "ui_jiesuan_huiyuanka.h"

#include <QDialog>

class SharedQuery;

// "选择会员卡并确认结算": pays an order from a member's prepaid card. The card must cover the
// amount received as priced at checkout; the order, the card balance and the consumption record
// are written together.
class Tjiesuan_huiyuanka : public QDialog, public Ui::Tjiesuan_huiyuanka {
    Q_OBJECT
public:
    explicit Tjiesuan_huiyuanka(QWidget* parent = nullptr);

    // The order to settle, its amount due and the amount to collect as priced at checkout; the
    // member list shows every member again, whatever the search box still holds.
    void prepare(qint64 order, Currency amountDue, Currency toCollect);

    SharedQuery* Query_huiyuan = nullptr; // the members to choose from

public slots:
    void bsSkinEdit1Change();
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    qint64 m_order = 0;
    Currency m_amountDue;
    Currency m_toCollect;
};

extern Tjiesuan_huiyuanka* jiesuan_huiyuanka;
