#pragma once

#include <QDialog>

// "打印报表"
class Tprint_dingdan : public QDialog {
    Q_OBJECT
public:
    explicit Tprint_dingdan(QWidget* parent = nullptr);
};

extern Tprint_dingdan* print_dingdan;
