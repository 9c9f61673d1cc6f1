#pragma once

#include "widgets/listframe.h"

class DataGrid;
class DataLabel;
class DataMemo;
class QLabel;
class QTabWidget;
class SharedQuery;

// The orders page: the order list with its tool bar and search, and around it the order
// categories and the clicked order's details.
class TFr_dingdan : public ListFrame {
    Q_OBJECT
public:
    explicit TFr_dingdan(QWidget* parent = nullptr);
    void bindData() override;

    // Shows the details of the current order of the list: tab captions, badge, amounts, lines.
    void showDetails();
    // The page as the navigation opens it: every order, and the details of the first.
    void showEveryOrder();

    DataGrid* bsSkinDBGrid1 = nullptr;  // order categories
    DataGrid* bsSkinDBGrid3 = nullptr;  // lines of the clicked order
    DataLabel* bsSkinDBText6 = nullptr; // current order number
    DataLabel* bsSkinDBText7 = nullptr; // current order status
    QTabWidget* bsSkinPageControl1 = nullptr;
    QWidget* bsSkinTabSheet3 = nullptr; // details
    QWidget* bsSkinTabSheet1 = nullptr; // remark
    QLabel* Img_wjs = nullptr;          // unsettled badge
    QLabel* Img_yjs = nullptr;          // settled badge
    DataMemo* bsSkinDBRichEdit1 = nullptr;
    SharedQuery* Query_ddmingxi = nullptr; // the clicked order's row

    void setDetailsCaption(const QString& number);
    void showBadge(const QString& status);

public slots:
    void bsSkinSpeedButton5Click();          // new order
    void bsSkinSpeedButton2Click();          // change category
    void bsSkinSpeedButton3Click();          // modify
    void bsSkinSpeedButton4Click();          // delete
    void bsSkinSpeedButton8Click() override; // print: the order report dialog
    void bsSkinSpeedButton1Click();          // show all
    void bsSkinSpeedButton10Click();         // 打印小票: the selected settled order's receipt again
    void bsSkinSpeedButton11Click();         // 小票设置
    void bsSkinDBGrid1CellClick(int row);
    void bsSkinDBGrid2CellClick();
};

extern TFr_dingdan* Fr_dingdan1;
