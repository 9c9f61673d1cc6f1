#pragma once

#include <QDialog>

class LinkImage;
class LinkLabel;
class QGroupBox;
class QLabel;

// "关于": product name, version and edition, links to the maker's web site and forum.
class Tabout : public QDialog {
    Q_OBJECT
public:
    explicit Tabout(QWidget* parent = nullptr);

    LinkImage* Image1 = nullptr;
    QLabel* bsSkinStdLabel6 = nullptr;
    QGroupBox* bsSkinGroupBox1 = nullptr;
    QLabel* bsSkinStdLabel1 = nullptr;
    QLabel* bsSkinStdLabel4 = nullptr;
    QLabel* bsSkinStdLabel2 = nullptr;
    LinkLabel* bsSkinLinkLabel1 = nullptr;
    QLabel* bsSkinStdLabel5 = nullptr;
    LinkLabel* bsSkinLinkLabel2 = nullptr;

public slots:
    void bsSkinLinkLabel1Click();
    void bsSkinLinkLabel2Click();
};

extern Tabout* about;
