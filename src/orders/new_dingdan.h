#pragma once

#include <QDialog>

// "新订单"
class Tnew_dingdan : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_dingdan(QWidget* parent = nullptr);
};

extern Tnew_dingdan* new_dingdan;
