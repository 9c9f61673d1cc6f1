#pragma once

#include "data/listdefinitions.h"
#include "data/sharedquery.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QScrollBar>
#include <QTableView>
#include <QTextEdit>
#include <functional>

class GridWindow;

// A read-only grid over a shared query: whole-row selection, the listed columns in their order
// with their titles, and the query's current row as its current row both ways. Every grid carries
// the wheel hook: one wheel message moves the current row by one, as a click on the next row does.
//
// The view sees the list through a window of a few thousand rows (GridWindow). A longer list
// gets the grid's own scroll bar over all its rows (rowScrollBar(), in the place of the view's),
// and the window follows the rows in view; rows, selections and clicks are always told in rows
// of the query.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(const QString& name, QWidget* parent = nullptr);
    // As a form declares it: the form names it afterwards.
    explicit DataGrid(QWidget* parent) : DataGrid(QString(), parent) {}
    void bind(SharedQuery* query, const QList<GridColumn>& columns);
    SharedQuery* query() const { return m_query; }
    // The grid's visible columns, in order.
    const QList<GridColumn>& columns() const { return m_columns; }
    // The text shown in a visible column of a row.
    QString cellText(int row, int visibleColumn) const;
    // The rows of the list (0 when the query is closed).
    int rowCount() const;
    // The view's index of a cell of a query row; the window is moved to the row first.
    QModelIndex indexOfRow(int row, int column);
    // The query row of a view's index, -1 for none.
    int rowOf(const QModelIndex& index) const;
    // The scroll bar over all rows of a list longer than the window; hidden for shorter lists,
    // which scroll with the view's own.
    QScrollBar* rowScrollBar() const { return m_rowBar; }
    // Grids edited in place: stores the text of an open cell editor into the query and closes
    // the editor. Every move of the current row by the grid does this first.
    void finishEditing();
    // Rows the test picks out are drawn in the warning colours (stock at its warning level).
    void setRowMark(std::function<bool(int row)> marked);
    // Lets the user select several rows (Ctrl and Shift with a click); the current row stays the
    // query's current row.
    void allowSeveralRows();
    // The selected rows, in the list's order.
    QList<int> selectedRows() const;
    bool rowMarked(int row) const;

    // The visible columns as the user arranged them: in the order shown, with their widths.
    QList<GridColumn> shownColumns() const;
    // The grid's menu (right click): export to Excel or CSV, the page's own items, the default
    // layout. The caller owns the menu.
    QMenu* makeMenu();
    // A page's own item in the grid's menu, after the export items.
    void addMenuAction(QAction* action);
    // Back to the columns' default widths and order; the stored arrangement is forgotten.
    void restoreDefaultLayout();

signals:
    // A click on a row (the Cell Click events of the frames).
    void cellClicked(int row);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The rows that fit the viewport wholly.
    int pageRows() const;
    // Moves the window, keeping the query row shown at the top of the viewport where it is.
    void shiftWindow(int offset);
    // The view scrolled: the window follows when the rows in view come near its ends.
    void viewScrolled(int value);
    // The user moved the grid's own scroll bar to show the query row at the top.
    void rowBarMoved(int row);
    // The scroll bars after the list or the window changed.
    void updateRowBar();
    void applyColumns();
    // Selects the query's current row; "clicked" is the row the user moved to, if any.
    void followQuery(int row, int clicked = -1);
    // Stores the arrangement after the user resized or moved a column.
    void storeLayout(int logical);

    QPointer<SharedQuery> m_query;
    GridWindow* m_proxy = nullptr;
    QScrollBar* m_rowBar = nullptr;
    bool m_scrolling = false;
    bool m_windowed = false; // the grid's bar stands in for the view's
    std::function<bool(int)> m_mark;
    QList<GridColumn> m_columns;
    QList<QAction*> m_menuActions;
    bool m_syncing = false;
    int m_userMove = -1; // the row the user is moving to, while the query follows
    bool m_arranging = false;
};

// A label showing one field of the query's current row as displayed text.
class DataLabel : public QLabel {
    Q_OBJECT
public:
    explicit DataLabel(const QString& name, QWidget* parent = nullptr);
    // As a form declares it: the form names it afterwards.
    explicit DataLabel(QWidget* parent) : DataLabel(QString(), parent) {}
    void bind(SharedQuery* query, const QString& field);

private:
    void update();
    QPointer<SharedQuery> m_query;
    QString m_field;
};

// A read-only text box showing one field of the query's current row.
class DataMemo : public QTextEdit {
    Q_OBJECT
public:
    explicit DataMemo(const QString& name, QWidget* parent = nullptr);
    // As a form declares it: the form names it afterwards.
    explicit DataMemo(QWidget* parent) : DataMemo(QString(), parent) {}
    void bind(SharedQuery* query, const QString& field);

private:
    void update();
    QPointer<SharedQuery> m_query;
    QString m_field;
};

class PickListModel;

// A drop-down list offering one field of every row of a shared query (the pick lists). Its
// current text is what the user picked; an entry added to the query is offered at once. When the
// chosen entry is deleted from the query, the list shows no choice: it never moves on to a
// neighbouring entry by itself.
class PickList : public QComboBox {
    Q_OBJECT
public:
    explicit PickList(const QString& name, QWidget* parent = nullptr);
    // As a form declares it: the form names it afterwards.
    explicit PickList(QWidget* parent) : PickList(QString(), parent) {}
    void bind(SharedQuery* query, const QString& field = QStringLiteral("z1"));
    // Selects the entry with exactly this text, or none (-1) when no entry has it.
    void selectText(const QString& text);
    // Shows a stored value: selects the entry with exactly this text; a text the query does not
    // hold (its entry was renamed or deleted) is offered as an extra entry after the query's
    // rows, marked as no longer in the list, and selected, so that the current text stays the
    // stored one until the user picks another. The empty text selects none.
    void selectStored(const QString& text);

private:
    PickListModel* m_model = nullptr;
    bool m_losingChoice = false;
};
