#pragma once

#include <QDialog>

// "选择会员卡并确认结算"
class Tjiesuan_huiyuanka : public QDialog {
    Q_OBJECT
public:
    explicit Tjiesuan_huiyuanka(QWidget* parent = nullptr);
};

extern Tjiesuan_huiyuanka* jiesuan_huiyuanka;
