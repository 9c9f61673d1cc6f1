#pragma once

#include <QDialog>

class PickList;
class QLabel;
class QPushButton;
class QToolButton;

// "订单分类": sets the category of one order, chosen from the order-category pick list.
class Tnew_fenlei : public QDialog {
    Q_OBJECT
public:
    explicit Tnew_fenlei(QWidget* parent = nullptr);

    // Set by the orders page before showing.
    void prepare(qint64 order);

    PickList* bsSkinDBLookupComboBox2 = nullptr;
    QToolButton* bsSkinSpeedButton1 = nullptr; // opens the pick-list editor
    QPushButton* bsSkinButton1 = nullptr;      // save
    QLabel* bsSkinStdLabel1 = nullptr;         // the order number, hidden

public slots:
    void bsSkinSpeedButton1Click();
    void bsSkinButton1Click();

private:
    void keepChoice();
    QString m_choice; // the last category picked, kept from one showing to the next
    qint64 m_order = 0;
    bool m_holding = false;
};

extern Tnew_fenlei* new_fenlei;
