#pragma once

#include <QDialog>

// "打印报表"
class Tprint_kucun : public QDialog {
    Q_OBJECT
public:
    explicit Tprint_kucun(QWidget* parent = nullptr);
};

extern Tprint_kucun* print_kucun;
