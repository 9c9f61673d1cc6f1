#pragma once

#include "core/money.h"

#include <QDialog>
#include <memory>

class DataGrid;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QToolButton;
class SharedQuery;
namespace Ui {
class Tjiesuan;
}

// "为订单结算": prices one order before it is paid. The settlement page hands over the order and
// its amount due; a discount (a preset, a custom one typed as two digits, or free of charge) sets
// the amount to collect, which one of the two payment dialogs then collects. This dialog writes
// nothing.
class Tjiesuan : public QDialog {
    Q_OBJECT
public:
    explicit Tjiesuan(QWidget* parent = nullptr);
    ~Tjiesuan() override;

    // The preset discounts in list order; "原价" has no factor.
    static const QStringList Presets;

    // The order to price, with its lines, at full price.
    void prepare(qint64 order, Currency amountDue);
    qint64 order() const { return m_order; }
    Currency amountDue() const { return m_amountDue; }
    Currency toCollect() const { return m_toCollect; }

    SharedQuery* query_mingxin = nullptr; // the order's lines
    DataGrid* bsSkinDBGrid1 = nullptr;
    QLabel* bsSkinStdLabel4 = nullptr;            // order number (hidden)
    QLabel* bsSkinStdLabel7 = nullptr;            // amount due
    QLabel* bsSkinStdLabel2 = nullptr;            // amount to collect
    QRadioButton* bsSkinCheckRadioBox2 = nullptr; // preset discount
    QLabel* bsSkinStdLabel14 = nullptr;           // "选择折扣:"
    QComboBox* bsSkinComboBox2 = nullptr;
    QRadioButton* bsSkinCheckRadioBox3 = nullptr; // custom discount
    QLabel* bsSkinStdLabel3 = nullptr;            // "输入折扣:"
    QSpinBox* bsSkinEdit4 = nullptr;
    QLabel* bsSkinStdLabel22 = nullptr;
    QCheckBox* bsSkinCheckRadioBox1 = nullptr; // "全免费"
    QToolButton* bsSkinSpeedButton1 = nullptr; // "会员卡结算"
    QToolButton* bsSkinSpeedButton2 = nullptr; // "现金结算"
    QPushButton* bsSkinButton3 = nullptr;      // "关  闭"

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

    std::unique_ptr<Ui::Tjiesuan> ui;

    qint64 m_order = 0;
    Currency m_amountDue;
    Currency m_toCollect;

    QString m_pricedDigits; // the custom discount the amount received was last worked out from
};

extern Tjiesuan* jiesuan;
