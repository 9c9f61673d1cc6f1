#pragma once

#include <QDialog>

// "编辑会员资料"
class Tedit_huiyuan : public QDialog {
    Q_OBJECT
public:
    explicit Tedit_huiyuan(QWidget* parent = nullptr);
};

extern Tedit_huiyuan* edit_huiyuan;
