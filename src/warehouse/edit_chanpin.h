#pragma once

#include <QDialog>

// "修改产品"
class Tedit_chanpin : public QDialog {
    Q_OBJECT
public:
    explicit Tedit_chanpin(QWidget* parent = nullptr);
};

extern Tedit_chanpin* edit_chanpin;
