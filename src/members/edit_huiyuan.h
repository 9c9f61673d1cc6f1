#pragma once

#include "ledger/members.h"

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

    // Fills every input with the member's stored data, shown whole even where a text breaks the
    // limits and filters of its box: the save writes back what is shown.
    void prepare(qint64 card, const Members::Person& person);
    qint64 card() const { return m_card; }

public slots:
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    // Shows the salutation; a text that is not in the list shows as empty.
    void setSalutation(const QString& text);

    qint64 m_card = 0;
};

extern Tedit_huiyuan* edit_huiyuan;
