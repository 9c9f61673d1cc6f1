#pragma once

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

// "编辑会员资料": rewrites a member's personal data. The members page fills every input before
// each showing; card number, balance and card date are not changed here.
class Tedit_huiyuan : public QDialog {
    Q_OBJECT
public:
    explicit Tedit_huiyuan(QWidget* parent = nullptr);

    static inline const QString UpdateMember =
        QStringLiteral("update aj set j1=:a,j2=:b,j3=:c,j4=:d,j5=:e,j6=:f,j7=:g,j8=:h where jid=:i ");

    QLineEdit* bsSkinEdit4 = nullptr;     // name
    QComboBox* bsSkinComboBox1 = nullptr; // salutation
    QLineEdit* bsSkinEdit1 = nullptr;     // mobile
    QLineEdit* bsSkinEdit2 = nullptr;     // telephone
    QLineEdit* bsSkinEdit3 = nullptr;     // e-mail
    QLineEdit* bsSkinEdit5 = nullptr;     // address
    QLineEdit* bsSkinEdit6 = nullptr;     // postal code
    QTextEdit* bsSkinRichEdit1 = nullptr; // remark
    QLabel* bsSkinStdLabel7 = nullptr;    // card number being edited (hidden)
    QPushButton* bsSkinButton1 = nullptr; // 保 存
    QPushButton* bsSkinButton2 = nullptr; // 取 消

    // Shows the salutation; a text that is not in the list shows as empty.
    void setSalutation(const QString& text);

public slots:
    void bsSkinButton1Click();
    void bsSkinButton2Click();
};

extern Tedit_huiyuan* edit_huiyuan;
