#pragma once

#include "core/money.h"

#include "ui_print_dingdan.h"

#include <QDialog>
#include <optional>

// "打印报表": the order report dialog. It offers the summary of the listed orders or the detail
// of the current order.
class Tprint_dingdan : public QDialog, public Ui::Tprint_dingdan {
    Q_OBJECT
public:
    explicit Tprint_dingdan(QWidget* parent = nullptr);
    // Called by the orders page before showing: the current order. An amount the order does not
    // hold yet (nothing received before it is settled) is left out of the report.
    void prepare(qint64 order, const QString& status, const QString& category, std::optional<Currency> due,
                 std::optional<Currency> received);

public slots:
    // Runs the chosen report: the summary over the order list as it stands, or the detail of
    // the current order (its lines are loaded into the shared order-line list first).
    void bsSkinButton1Click();
    void bsSkinButton2Click();

private:
    qint64 m_order = 0;
    QString m_status;
    QString m_category;
    std::optional<Currency> m_due;
    std::optional<Currency> m_received;
};

extern Tprint_dingdan* print_dingdan;
