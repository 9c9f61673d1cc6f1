#pragma once

#include "widgets/listframe.h"

class DataLabel;
class DataMemo;
class QGroupBox;

// The stock page: every product with its stock, prices and stock value, newest first, the
// details of the selected one below, and the way to every operation on products.
class TFr_kucun : public ListFrame {
    Q_OBJECT
public:
    static inline const QString EmptyMessage = QStringLiteral("没有库存记录,请先新建");

    explicit TFr_kucun(QWidget* parent = nullptr);
    void bindData() override;

    QToolButton* bsSkinSpeedButton5 = nullptr;  // 新 建
    QToolButton* bsSkinSpeedButton4 = nullptr;  // 入 库
    QToolButton* bsSkinSpeedButton1 = nullptr;  // 修 改
    QToolButton* bsSkinSpeedButton2 = nullptr;  // 删 除
    QToolButton* bsSkinSpeedButton10 = nullptr; // 库存预警: only the products to reorder
    QToolButton* bsSkinSpeedButton11 = nullptr; // 标 签: shelf labels of the products listed
    QFrame* bsSkinPanel2 = nullptr;             // the details of the selected product
    QGroupBox* bsSkinGroupBox1 = nullptr;       // 备注/描述
    DataMemo* bsSkinDBMemo1 = nullptr;          // b11
    DataLabel* bsSkinDBText1 = nullptr;         // b12, the manufacturer
    DataLabel* bsSkinDBText2 = nullptr;         // b10, the creation date

public slots:
    void bsSkinSpeedButton5Click(); // new product
    void bsSkinSpeedButton4Click(); // stock-in for the selected product
    void bsSkinSpeedButton1Click(); // edit the selected product
    void bsSkinSpeedButton2Click(); // delete the selected product
    // The warning list on or off.
    void bsSkinSpeedButton10Click();
    // Shelf labels for the products the list shows now (all of them, or what a search found).
    void bsSkinSpeedButton11Click();
    // Refresh, print and search know the warning list.
    void bsSkinSpeedButton6Click() override;
    void bsSkinSpeedButton8Click() override;
    void bsSkinEdit1Change() override;
    bool warningList() const;

private:
    void leaveWarningList();
};
