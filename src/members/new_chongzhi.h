#pragma once

#include "core/money.h"
#include "ui_new_chongzhi.h"

#include <QDialog>
#include <optional>

// "为会员充值": tops up one member's card. The members page hands over the member's card number,
// name, balance and salutation before each showing; saving raises the stored balance and writes
// the recharge record together.
class Tnew_chongzhi : public QDialog, public Ui::Tnew_chongzhi {
    Q_OBJECT
public:
    explicit Tnew_chongzhi(QWidget* parent = nullptr);

    // The member to recharge, as the members list shows it; a member without a stored balance
    // shows none.
    void prepare(qint64 card, const QString& name, std::optional<Currency> balance,
                 const QString& salutation);
    qint64 card() const { return m_card; }
    std::optional<Currency> balance() const { return m_balance; }

public slots:
    void FormShow();
    void bsSkinButton1Click();
    void bsSkinButton2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    qint64 m_card = 0;
    std::optional<Currency> m_balance;
};

extern Tnew_chongzhi* new_chongzhi;
