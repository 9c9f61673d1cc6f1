#pragma once

#include "ui_Fr_huiyuan.h"
#include "widgets/listframe.h"

class QToolButton;

// The members page: the member register with card balances, the chosen member's details, the
// search by card number, and the way to new, edited and recharged members.
class TFr_huiyuan : public ListFrame, public Ui::MemberDetails {
    Q_OBJECT
public:
    explicit TFr_huiyuan(QWidget* parent = nullptr);
    void bindData() override;
    // The list's grid, the form's own (both name the same widget).
    using ListFrame::bsSkinDBGrid2;

    static inline const QString EmptyMessage = QStringLiteral("没有会员记录,请先添加");
    static inline const QString DeleteQuestion =
        QStringLiteral("您确定要删除此会员吗?相关充值、消费记录也会被清除。");

    QToolButton* bsSkinSpeedButton4 = nullptr; // 新会员
    QToolButton* bsSkinSpeedButton3 = nullptr; // 充 值
    QToolButton* bsSkinSpeedButton2 = nullptr; // 修改
    QToolButton* bsSkinSpeedButton1 = nullptr; // 删 除

public slots:
    void bsSkinSpeedButton4Click();
    void bsSkinSpeedButton3Click();
    void bsSkinSpeedButton2Click();
    void bsSkinSpeedButton1Click();
};
