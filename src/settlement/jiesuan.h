#pragma once

#include <QDialog>

// "为订单结算"
class Tjiesuan : public QDialog {
    Q_OBJECT
public:
    explicit Tjiesuan(QWidget* parent = nullptr);
};

extern Tjiesuan* jiesuan;
