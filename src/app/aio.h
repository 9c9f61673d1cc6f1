#pragma once

#include "ui_aio.h"

#include <QDialog>

// "Vandrel软件服务中心": the maker's service page in an embedded browser. The page starts loading
// when the window is made at start-up and is never reloaded: every showing finds the page as the
// user left it.
class Taio : public QDialog, public Ui::Taio {
    Q_OBJECT
public:
    explicit Taio(QWidget* parent = nullptr);

    static QString serviceAddress();

public slots:
    void FormCreate();
};

extern Taio* aio;
