#pragma once

#include <QDialog>

class DecimalSpinBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTextEdit;

// "添加新会员": registers a member and opens the card with its initial balance. The card number
// is the row's key, given by the database.
class Tnew_huiyuan : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_huiyuan(QWidget* parent = nullptr);

    QLineEdit* bsSkinEdit4 = nullptr;      // name
    QComboBox* bsSkinComboBox1 = nullptr;  // salutation
    DecimalSpinBox* bsSkinEdit7 = nullptr; // initial amount
    QLineEdit* bsSkinEdit1 = nullptr;      // mobile
    QLineEdit* bsSkinEdit2 = nullptr;      // telephone
    QLineEdit* bsSkinEdit3 = nullptr;      // e-mail
    QLineEdit* bsSkinEdit5 = nullptr;      // address
    QLineEdit* bsSkinEdit6 = nullptr;      // postal code
    QTextEdit* bsSkinRichEdit1 = nullptr;  // remark
    QPushButton* bsSkinButton1 = nullptr;  // 保 存
    QPushButton* bsSkinButton2 = nullptr;  // 取 消

public slots:
    void FormShow();
    void bsSkinButton1Click();
    void bsSkinButton2Click();

protected:
    void showEvent(QShowEvent* event) override;
};

extern Tnew_huiyuan* new_huiyuan;
