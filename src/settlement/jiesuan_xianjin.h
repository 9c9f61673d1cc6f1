#pragma once

#include <QDialog>

// "确认现金结算"
class Tjiesuan_xianjin : public QDialog {
    Q_OBJECT
public:
    explicit Tjiesuan_xianjin(QWidget* parent = nullptr);
};

extern Tjiesuan_xianjin* jiesuan_xianjin;
