#pragma once

#include <QDialog>

// "菜单项编辑"
class Tlist : public QDialog {
    Q_OBJECT
public:
    explicit Tlist(QWidget* parent = nullptr);
    // Makes exactly one of the four panels visible: "caidan_dalei", "caidan_xilei",
    // "caidan_danwei" or "caidan_dingdanlei". The opener then shows the editor modally.
    void showPanel(const QString& panel);
};

extern Tlist* list;
