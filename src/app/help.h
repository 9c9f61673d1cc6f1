#pragma once

#include <QDialog>

class LinkImage;
class QCheckBox;
class QTextEdit;

// "Vandrel进销存使用入门": a six-page picture tour of the program. Page 1 carries the box that
// decides whether the guide opens when the program starts (field run of the settings row: "0"
// opens it, "1" does not).
class Thelp : public QDialog {
    Q_OBJECT
public:
    explicit Thelp(QWidget* parent = nullptr);

    QWidget* P1 = nullptr;
    QWidget* P2 = nullptr;
    QWidget* P3 = nullptr;
    QWidget* P4 = nullptr;
    QWidget* P5 = nullptr;
    QWidget* P6 = nullptr;
    LinkImage* bsSkinLinkImage1 = nullptr; // page pictures
    LinkImage* bsSkinLinkImage3 = nullptr;
    LinkImage* bsSkinLinkImage5 = nullptr;
    LinkImage* bsSkinLinkImage7 = nullptr;
    LinkImage* bsSkinLinkImage9 = nullptr;
    LinkImage* bsSkinLinkImage11 = nullptr;
    LinkImage* bsSkinLinkImage2 = nullptr; // 开 始
    LinkImage* bsSkinLinkImage4 = nullptr; // 下一步
    LinkImage* bsSkinLinkImage6 = nullptr;
    LinkImage* bsSkinLinkImage8 = nullptr;
    LinkImage* bsSkinLinkImage10 = nullptr;
    LinkImage* bsSkinLinkImage12 = nullptr; // 开始使用！
    QCheckBox* bsSkinCheckRadioBox1 = nullptr;
    QTextEdit* bsSkinRichEdit1 = nullptr;

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
