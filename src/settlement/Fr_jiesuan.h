#pragma once

#include "widgets/frame.h"

class DataGrid;
class DataLabel;
class QLabel;
class QLineEdit;
class QToolButton;

// The settlement page: the unsettled orders, a search by order number, and the checkout of the
// chosen order.
class TFr_jiesuan : public Frame {
    Q_OBJECT
public:
    explicit TFr_jiesuan(QWidget* parent = nullptr);
    void bindData() override;

    // The statement of the unsettled-order list.
    static QString unsettledStatement();
    // Reloads the shared order list with the unsettled orders, newest first.
    static void reloadUnsettled();

    QLabel* bsSkinImage1 = nullptr; // banner
    QToolButton* bsSkinSpeedButton5 = nullptr;
    QToolButton* bsSkinSpeedButton6 = nullptr;
    QToolButton* bsSkinSpeedButton8 = nullptr;
    QToolButton* bsSkinSpeedButton9 = nullptr;
    QLineEdit* bsSkinEdit1 = nullptr;
    DataGrid* bsSkinDBGrid2 = nullptr;
    DataLabel* bsSkinDBText6 = nullptr; // current order number
    DataLabel* bsSkinDBText9 = nullptr; // current amount due

public slots:
    void bsSkinSpeedButton5Click();
    void bsSkinSpeedButton6Click();
    void bsSkinSpeedButton8Click();
    void bsSkinSpeedButton9Click();
    void bsSkinEdit1Change();
};
