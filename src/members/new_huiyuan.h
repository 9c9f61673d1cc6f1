#pragma once

#include <QDialog>

// "添加新会员"
class Tnew_huiyuan : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_huiyuan(QWidget* parent = nullptr);
};

extern Tnew_huiyuan* new_huiyuan;
