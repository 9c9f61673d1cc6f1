#pragma once

#include "data/sharedquery.h"
#include "widgets/databound.h"
#include "widgets/frame.h"

#include <QFrame>
#include <functional>

class QLabel;
class QLineEdit;
class QToolButton;
class QVBoxLayout;
class SharedQuery;
class ToolBar;

// A page that is a list: the banner, the tool bar (the page's own buttons, then refresh, print
// and help, and the search box at its right end) and the grid over one shared query. The pages
// add their own buttons and panels around it.
class ListFrame : public Frame {
    Q_OBJECT
public:
    struct ListSetup {
        QString query;               // the shared query the page lists ("Query_ab")
        QString searchField;         // the field the search box looks in
        QString emptyMessage;        // the empty-list guard's message
        std::function<void()> print; // prints the list (the page hands in its report)
        QList<GridColumn> columns;
        int picture = 2; // the page's picture in its banner
        QString searchCaption = QStringLiteral("输入产品名称速查: ");
        QString searchLabel = QStringLiteral("bsSkinStdLabel1"); // the search caption's name
        QString codeField = {}; // a field the search box also finds by its exact value (a barcode)
    };

    ListFrame(const QString& name, const QString& title, const QString& subtitle, ListSetup setup,
              QWidget* parent);
    void bindData() override;
    SharedQuery* query() const;

    QWidget* bsSkinPanel1 = nullptr; // the banner
    ToolBar* bsSkinToolBar1 = nullptr;
    QToolButton* bsSkinSpeedButton6 = nullptr; // 刷 新
    QToolButton* bsSkinSpeedButton8 = nullptr; // 打 印
    QToolButton* bsSkinSpeedButton9 = nullptr; // 帮 助
    QLabel* bsSkinStdLabel1 = nullptr;         // 输入产品名称速查:
    QLineEdit* bsSkinEdit1 = nullptr;          // the search box
    DataGrid* bsSkinDBGrid2 = nullptr;

public slots:
    // Refresh: back to the whole list, newest first; the search box keeps its text.
    virtual void bsSkinSpeedButton6Click();
    // Print the rows listed now.
    virtual void bsSkinSpeedButton8Click();
    // The guide.
    void bsSkinSpeedButton9Click();
    // Search on every change of the box.
    virtual void bsSkinEdit1Change();

protected:
    // A tool bar button whose click runs the handler at the catch point.
    QToolButton* addTool(const QString& name, const QString& caption, int picture,
                         std::function<void()> handler);
    // A divider between groups of tool bar buttons.
    void addDivider();
    // Refresh, print, help and the search box; then the grid below the tool bar.
    void finishToolBar();
    void addGrid();
    // True when the list holds rows; otherwise shows the page's empty-list message. A closed list
    // cannot be counted: that error goes to the error box.
    bool listHasRows();

    QVBoxLayout* m_layout = nullptr;
    ListSetup m_setup;
};
