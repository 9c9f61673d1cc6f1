#pragma once

#include <QDialog>

// "Vandrel软件服务中心"
class Taio : public QDialog {
    Q_OBJECT
public:
    explicit Taio(QWidget* parent = nullptr);
};

extern Taio* aio;
