#pragma once

#include "ui_help.h"

#include <QDialog>

// "Vandrel进销存使用入门": a six-page picture tour of the program. Page 1 carries the box that
// decides whether the guide opens when the program starts (field run of the settings row: "0"
// opens it, "1" does not).
class Thelp : public QDialog, public Ui::Thelp {
    Q_OBJECT
public:
    explicit Thelp(QWidget* parent = nullptr);

    // The page shown, 1 to 6.
    int currentPage() const;

public slots:
    void FormShow();
    void bsSkinLinkImage2Click();
    void bsSkinLinkImage4Click();
    void bsSkinLinkImage6Click();
    void bsSkinLinkImage8Click();
    void bsSkinLinkImage10Click();
    void bsSkinLinkImage12Click();
    void bsSkinCheckRadioBox1Click();

protected:
    void showEvent(QShowEvent* event) override;
    // Enter works the current page's button, as a click on it would.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showPage(int page);
    QList<QWidget*> pages() const;
};

extern Thelp* help;
