#pragma once

#include <QDialog>

// "订单分类"
class Tnew_fenlei : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_fenlei(QWidget* parent = nullptr);
};

extern Tnew_fenlei* new_fenlei;
