#pragma once

#include <QDialog>

// "为选中产品入库"
class Tnew_ruku : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_ruku(QWidget* parent = nullptr);
};

extern Tnew_ruku* new_ruku;
