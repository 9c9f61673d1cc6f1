#pragma once

#include <QDialog>

// "打印报表": the order report dialog. It offers the summary of the listed orders or the detail
// of the current order.
class Tprint_dingdan : public QDialog {
    Q_OBJECT
public:
    explicit Tprint_dingdan(QWidget* parent = nullptr);
    // Called by the orders page before showing: the current order's values as displayed.
    void prepare(const QString& number, const QString& status, const QString& category, const QString& due,
                 const QString& received);
};

extern Tprint_dingdan* print_dingdan;
