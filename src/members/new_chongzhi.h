#pragma once

#include <QDialog>

class DecimalSpinBox;
class QLabel;
class QPushButton;

// "为会员充值": tops up one member's card. The members page fills in the member's card number,
// name, balance and salutation before each showing; saving raises the balance and writes the
// recharge record together.
class Tnew_chongzhi : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_chongzhi(QWidget* parent = nullptr);

    static inline const QString UpdateBalance = QStringLiteral("update aj set j9=:a where jid=:b ");
    static inline const QString InsertRecharge =
        QStringLiteral("insert into ah (h1,h2,h3,h4,h5,h6,h7)values (:a,:b,:c,:d,:e,:f,:g)");

    QLabel* bsSkinStdLabel4 = nullptr;     // card number
    QLabel* bsSkinStdLabel5 = nullptr;     // name
    QLabel* bsSkinStdLabel6 = nullptr;     // balance before the recharge
    QLabel* bsSkinStdLabel8 = nullptr;     // salutation (hidden)
    DecimalSpinBox* bsSkinEdit3 = nullptr; // amount
    QPushButton* bsSkinButton1 = nullptr;  // 保 存
    QPushButton* bsSkinButton2 = nullptr;  // 取 消

public slots:
    void FormShow();
    void bsSkinButton1Click();
    void bsSkinButton2Click();

protected:
    void showEvent(QShowEvent* event) override;
};

extern Tnew_chongzhi* new_chongzhi;
