#pragma once

#include <QDialog>

// "菜单项编辑"
class Tlist : public QDialog {
    Q_OBJECT
public:
    explicit Tlist(QWidget* parent = nullptr);
};

extern Tlist* list;
