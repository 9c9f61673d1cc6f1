#pragma once

#include <QDialog>

// "关于"
class Tabout : public QDialog {
    Q_OBJECT
public:
    explicit Tabout(QWidget* parent = nullptr);
};

extern Tabout* about;
