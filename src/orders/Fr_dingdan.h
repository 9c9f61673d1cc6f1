#pragma once

#include "ui_Fr_dingdan.h"
#include "widgets/listframe.h"

class SharedQuery;

// The orders page: the order list with its tool bar and search, and around it the order
// categories and the clicked order's details.
class TFr_dingdan : public ListFrame, public Ui::TFr_dingdan {
    Q_OBJECT
public:
    explicit TFr_dingdan(QWidget* parent = nullptr);
    void bindData() override;
    // The list's grid, the form's own (both name the same widget).
    using ListFrame::bsSkinDBGrid2;

    // Shows the details of the current order of the list: tab captions, badge, amounts, lines.
    void showDetails();
    // The page as the navigation opens it: every order, and the details of the first.
    void showEveryOrder();

    DataLabel* bsSkinDBText6 = nullptr;    // current order number
    DataLabel* bsSkinDBText7 = nullptr;    // current order status
    SharedQuery* Query_ddmingxi = nullptr; // the clicked order's row

    void setDetailsCaption(const QString& number);
    void showBadge(const QString& status);

public slots:
    void bsSkinSpeedButton5Click();          // new order
    void bsSkinSpeedButton2Click();          // change category
    void bsSkinSpeedButton3Click();          // modify
    void bsSkinSpeedButton4Click();          // delete
    void btnReturnsClick();                  // 退货: the selected settled order, or one typed
    void bsSkinSpeedButton8Click() override; // print: the order report dialog
    void bsSkinSpeedButton1Click();          // show all
    void bsSkinSpeedButton10Click();         // 打印小票: the selected settled order's receipt again
    void bsSkinSpeedButton11Click();         // 小票设置
    void bsSkinDBGrid1CellClick(int row);
    void bsSkinDBGrid2CellClick();
};

extern TFr_dingdan* Fr_dingdan1;
