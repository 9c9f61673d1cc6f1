#pragma once

#include "widgets/listframe.h"

class QLabel;

// The settlement page: the unsettled orders, a search by order number, and the checkout of the
// chosen order.
class TFr_jiesuan : public ListFrame {
    Q_OBJECT
public:
    static inline const QString EmptyMessage = QStringLiteral("现在没有订单，请先新建");

    explicit TFr_jiesuan(QWidget* parent = nullptr);
    void bindData() override;

    // The statement of the unsettled-order list.
    static QString unsettledStatement();
    // Reloads the shared order list with the unsettled orders, newest first.
    static void reloadUnsettled();

    QLabel* bsSkinImage1 = nullptr;            // the banner's picture
    QToolButton* bsSkinSpeedButton5 = nullptr; // 结 算！
    DataLabel* bsSkinDBText6 = nullptr;        // current order number
    DataLabel* bsSkinDBText9 = nullptr;        // current amount due

public slots:
    void bsSkinSpeedButton5Click();
    // Back to the unsettled orders; the search box keeps its text.
    void bsSkinSpeedButton6Click() override;
    // The unsettled orders, whatever search is in force.
    void bsSkinSpeedButton8Click() override;
};
