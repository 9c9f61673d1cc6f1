#pragma once

#include <QDialog>

// "Vandrel进销存使用入门"
class Thelp : public QDialog {
    Q_OBJECT
public:
    explicit Thelp(QWidget* parent = nullptr);
};

extern Thelp* help;
