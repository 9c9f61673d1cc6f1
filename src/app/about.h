#pragma once

#include "ui_about.h"

#include <QDialog>

// "关于": product name, version and edition, links to the maker's web site and forum.
class Tabout : public QDialog, public Ui::Tabout {
    Q_OBJECT
public:
    explicit Tabout(QWidget* parent = nullptr);

public slots:
    void bsSkinLinkLabel1Click();
    void bsSkinLinkLabel2Click();
};

extern Tabout* about;
