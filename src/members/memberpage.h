#pragma once

#include "widgets/frame.h"

#include <QList>

class DataGrid;
class QLabel;
class QLineEdit;
class QToolButton;
class SharedQuery;
struct GridColumn;

namespace MemberPage {
// The decorative banner above a members page's tool bar.
QWidget* banner(QWidget* parent, const QString& title, int picture);
} // namespace MemberPage

// A page listing card movements of the members (recharges or consumptions): the list newest
// first, a search by card number, refresh, print and help. Records are never changed here.
class MemberRecordFrame : public Frame {
    Q_OBJECT
public:
    struct Setup {
        QString name;         // the frame's name in the main window
        QString title;        // banner title
        QString cardField;    // the card-number column searched
        QString report;       // report definition printed
        QString emptyMessage; // shown when printing an empty list
        SharedQuery* (*query)();
        QList<GridColumn> (*columns)();
    };

    MemberRecordFrame(const Setup& setup, QWidget* parent);
    void bindData() override;
    SharedQuery* query() const;

    DataGrid* bsSkinDBGrid2 = nullptr;
    QToolButton* bsSkinSpeedButton6 = nullptr; // 刷 新
    QToolButton* bsSkinSpeedButton8 = nullptr; // 打 印
    QToolButton* bsSkinSpeedButton9 = nullptr; // 帮 助
    QLineEdit* bsSkinEdit1 = nullptr;          // search by card number

public slots:
    void bsSkinSpeedButton6Click();
    void bsSkinSpeedButton8Click();
    void bsSkinSpeedButton9Click();
    void bsSkinEdit1Change();

private:
    Setup m_setup;
};
