#pragma once

#include "widgets/listframe.h"

class DataLabel;
class DataMemo;
class QToolButton;

namespace Ui {
class MemberDetails;
}

// The members page: the member register with card balances, the chosen member's details, the
// search by card number, and the way to new, edited and recharged members.
class TFr_huiyuan : public ListFrame {
    Q_OBJECT
public:
    explicit TFr_huiyuan(QWidget* parent = nullptr);
    ~TFr_huiyuan() override;
    void bindData() override;

    static inline const QString EmptyMessage = QStringLiteral("没有会员记录,请先添加");
    static inline const QString DeleteQuestion =
        QStringLiteral("您确定要删除此会员吗?相关充值、消费记录也会被清除。");

    DataLabel* bsSkinDBText1 = nullptr;  // card number
    DataLabel* bsSkinDBText2 = nullptr;  // balance
    DataLabel* bsSkinDBText3 = nullptr;  // name
    DataLabel* bsSkinDBText4 = nullptr;  // salutation
    DataLabel* bsSkinDBText5 = nullptr;  // address
    DataLabel* bsSkinDBText6 = nullptr;  // postal code
    DataLabel* bsSkinDBText7 = nullptr;  // telephone
    DataLabel* bsSkinDBText8 = nullptr;  // mobile
    DataLabel* bsSkinDBText9 = nullptr;  // e-mail
    DataLabel* bsSkinDBText10 = nullptr; // card date
    DataMemo* bsSkinDBRichEdit1 = nullptr;
    QToolButton* bsSkinSpeedButton4 = nullptr; // 新会员
    QToolButton* bsSkinSpeedButton3 = nullptr; // 充 值
    QToolButton* bsSkinSpeedButton2 = nullptr; // 修改
    QToolButton* bsSkinSpeedButton1 = nullptr; // 删 除

public slots:
    void bsSkinSpeedButton4Click();
    void bsSkinSpeedButton3Click();
    void bsSkinSpeedButton2Click();
    void bsSkinSpeedButton1Click();

private:
    Ui::MemberDetails* ui;
};
