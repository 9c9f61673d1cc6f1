#pragma once

#include "core/money.h"
#include "ui_jiesuan.h"

#include <QDialog>

class SharedQuery;

// "为订单结算": prices one order before it is paid. The settlement page hands over the order and
// its amount due; a discount (a preset, a custom one typed as two digits, or free of charge) sets
// the amount to collect, which one of the two payment dialogs then collects. This dialog writes
// nothing.
class Tjiesuan : public QDialog, public Ui::Tjiesuan {
    Q_OBJECT
public:
    explicit Tjiesuan(QWidget* parent = nullptr);

    // The preset discounts in list order; "原价" has no factor.
    static const QStringList Presets;

    // The order to price, with its lines, at full price.
    void prepare(qint64 order, Currency amountDue);
    qint64 order() const { return m_order; }
    Currency amountDue() const { return m_amountDue; }
    Currency toCollect() const { return m_toCollect; }

    SharedQuery* query_mingxin = nullptr; // the order's lines

public slots:
    void FormShow();
    void bsSkinComboBox2Change();
    void bsSkinEdit4Change();
    void bsSkinEdit4EditKeyPress();
    void bsSkinCheckRadioBox1Click();
    void bsSkinCheckRadioBox2Click();
    void bsSkinCheckRadioBox3Click();
    void bsSkinSpeedButton1Click();
    void bsSkinSpeedButton2Click();
    void bsSkinButton3Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setPresetEnabled(bool enabled);
    void setCustomEnabled(bool enabled);
    void setToCollect(Currency amount);

    qint64 m_order = 0;
    Currency m_amountDue;
    Currency m_toCollect;

    QString m_pricedDigits; // the custom discount the amount received was last worked out from
};

extern Tjiesuan* jiesuan;
