#pragma once

#include <QDialog>

// "修改订单"
class Tedit_dingdan : public QDialog {
    Q_OBJECT
public:
    explicit Tedit_dingdan(QWidget* parent = nullptr);
};

extern Tedit_dingdan* edit_dingdan;
