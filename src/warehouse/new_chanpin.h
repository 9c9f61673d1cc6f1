#pragma once

#include <QDialog>

// "新建产品"
class Tnew_chanpin : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_chanpin(QWidget* parent = nullptr);
};

extern Tnew_chanpin* new_chanpin;
