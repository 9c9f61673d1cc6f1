#pragma once

#include <QDialog>

// "为会员充值"
class Tnew_chongzhi : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_chongzhi(QWidget* parent = nullptr);
};

extern Tnew_chongzhi* new_chongzhi;
