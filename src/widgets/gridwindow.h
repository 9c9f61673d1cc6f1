#pragma once

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QPointer>
#include <functional>

class SharedQuery;

// What a grid's view sees of a shared query: a window of at most Capacity consecutive rows of the
// list, starting at offset(). A list that fits the window is shown whole and every change of the
// query passes through as it is, so a short list behaves as the query itself. A longer list is
// shown through the window, which the grid moves as the user scrolls: the view (and Qt's per-row
// bookkeeping in its row header) then never holds more than Capacity rows, however long the list.
//
// The window also gives the grid its column titles and the row marks (the warning colours).
class GridWindow : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int Capacity = 4096;

    explicit GridWindow(SharedQuery* query, QObject* parent = nullptr);

    SharedQuery* query() const { return m_query; }
    // The rows of the query (0 when it is closed).
    int queryRows() const;
    // The query row shown at the window's first row.
    int offset() const { return m_offset; }
    // True when the list is longer than the window.
    bool windowed() const { return queryRows() > Capacity; }
    // Moves the window so that its first row is the query's row `offset` (kept within the list).
    // The views keep their current and selected rows that stay in the window.
    void moveTo(int offset);
    // Moves the window, when needed, so that the query row is in it, about in its middle.
    void bringIn(int row);
    bool contains(int row) const { return row >= m_offset && row < m_offset + m_rows; }

    QHash<int, QString> titles;
    std::function<bool(int)> marked;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    // The window moved, or the list's length changed: the grid's scroll bar follows.
    void windowChanged();

private:
    QModelIndex source(const QModelIndex& index) const;
    void queryInserted(int first, int last);
    void queryRemoved(int first, int last);
    // Appends and prepends rows until the window is as full as the list allows.
    void fill();

    QPointer<SharedQuery> m_query;
    int m_offset = 0;
    int m_rows = 0;
    // A change of a list that fits the window both before and after it passes through as it is.
    bool m_passing = false;
};
