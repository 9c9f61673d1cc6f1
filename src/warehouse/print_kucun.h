#pragma once

#include "ui_print_kucun.h"

#include <QDialog>

// "打印报表": the warehouse report dialog. It prints one of the three warehouse lists (stock,
// stock-in records, stock-out records) as the lists stand, filter included.
class Tprint_kucun : public QDialog, public Ui::Tprint_kucun {
    Q_OBJECT
public:
    explicit Tprint_kucun(QWidget* parent = nullptr);

public slots:
    // Runs the chosen report; an empty list shows its page's message instead.
    void bsSkinButton1Click();
    void bsSkinButton2Click();
};

extern Tprint_kucun* print_kucun;
