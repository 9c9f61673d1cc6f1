#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QRadioButton;

// "打印报表": the order report dialog. It offers the summary of the listed orders or the detail
// of the current order.
class Tprint_dingdan : public QDialog {
    Q_OBJECT
public:
    explicit Tprint_dingdan(QWidget* parent = nullptr);
    // Called by the orders page before showing: the current order's values as displayed.
    void prepare(const QString& number, const QString& status, const QString& category, const QString& due,
                 const QString& received);

public slots:
    // Runs the chosen report: the summary over the order list as it stands, or the detail of
    // the current order (its lines are loaded into the shared order-line list first).
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    QLabel* bsSkinStdLabel1;  // order number
    QLabel* bsSkinStdLabel7;  // status
    QLabel* bsSkinStdLabel9;  // category
    QLabel* bsSkinStdLabel8;  // amount due
    QLabel* bsSkinStdLabel10; // amount received
    QRadioButton* bsSkinCheckRadioBox1;
    QRadioButton* bsSkinCheckRadioBox2;
    QPushButton* bsSkinButton1;
    QPushButton* bsSkinButton2;
};

extern Tprint_dingdan* print_dingdan;
