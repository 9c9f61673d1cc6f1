#pragma once

#include "widgets/frame.h"

class DataGrid;
class DataLabel;
class DataMemo;
class QLabel;
class QLineEdit;
class QTabWidget;
class QToolButton;
class SharedQuery;

// The orders page: order categories, the order list, and the clicked order's details.
class TFr_dingdan : public Frame {
    Q_OBJECT
public:
    explicit TFr_dingdan(QWidget* parent = nullptr);
    void bindData() override;

    // Shows the details of the current order of the list: tab captions, badge, amounts, lines.
    void showDetails();

    DataGrid* bsSkinDBGrid1 = nullptr;  // order categories
    DataGrid* bsSkinDBGrid2 = nullptr;  // orders
    DataGrid* bsSkinDBGrid3 = nullptr;  // lines of the clicked order
    DataLabel* bsSkinDBText6 = nullptr; // current order number
    DataLabel* bsSkinDBText7 = nullptr; // current order status
    QTabWidget* bsSkinPageControl1 = nullptr;
    QWidget* bsSkinTabSheet3 = nullptr; // details
    QWidget* bsSkinTabSheet1 = nullptr; // remark
    QLabel* Img_wjs = nullptr;          // unsettled badge
    QLabel* Img_yjs = nullptr;          // settled badge
    DataMemo* bsSkinDBRichEdit1 = nullptr;
    QLineEdit* bsSkinEdit1 = nullptr;
    SharedQuery* Query_ddmingxi = nullptr; // the clicked order's row

    void setDetailsCaption(const QString& number);
    void showBadge(const QString& status);

public slots:
    void bsSkinSpeedButton5Click(); // new order
    void bsSkinSpeedButton2Click(); // change category
    void bsSkinSpeedButton3Click(); // modify
    void bsSkinSpeedButton4Click(); // delete
    void bsSkinSpeedButton6Click(); // refresh
    void bsSkinSpeedButton8Click(); // print
    void bsSkinSpeedButton9Click(); // help
    void bsSkinSpeedButton1Click(); // show all
    void bsSkinEdit1Change();
    void bsSkinDBGrid1CellClick(int row);
    void bsSkinDBGrid2CellClick();

private:
    // The empty-list guard of the buttons that work on the current order.
    bool haveOrders();
    void showAll();
};

extern TFr_dingdan* Fr_dingdan1;
