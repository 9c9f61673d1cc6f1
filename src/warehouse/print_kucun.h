#pragma once

#include <QDialog>

class QRadioButton;

// "打印报表": the warehouse report dialog. It prints one of the three warehouse lists (stock,
// stock-in records, stock-out records) as the lists stand, filter included.
class Tprint_kucun : public QDialog {
    Q_OBJECT
public:
    explicit Tprint_kucun(QWidget* parent = nullptr);

public slots:
    // Runs the chosen report; an empty list shows its page's message instead.
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    QRadioButton* bsSkinCheckRadioBox1; // stock list
    QRadioButton* bsSkinCheckRadioBox2; // stock-in records
    QRadioButton* bsSkinCheckRadioBox3; // stock-out records
};

extern Tprint_kucun* print_kucun;
