#include "widgets/gridwindow.h"

#include "data/sharedquery.h"

#include <algorithm>

GridWindow::GridWindow(SharedQuery* query, QObject* parent) : QAbstractTableModel(parent), m_query(query) {
    m_rows = std::min(queryRows(), Capacity);
    connect(query, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(query, &QAbstractItemModel::modelReset, this, [this] {
        m_offset = 0;
        m_rows = std::min(queryRows(), Capacity);
        endResetModel();
        emit windowChanged();
    });
    connect(query, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                m_passing = m_offset == 0 && m_rows == queryRows() && m_rows + (last - first + 1) <= Capacity;
                if (m_passing)
                    beginInsertRows({}, first, last);
            });
    connect(query, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { queryInserted(first, last); });
    connect(query, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                m_passing = m_offset == 0 && m_rows == queryRows();
                if (m_passing)
                    beginRemoveRows({}, first, last);
            });
    connect(query, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { queryRemoved(first, last); });
    connect(query, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& from, const QModelIndex& to, const QList<int>& roles) {
                const int top = std::max(from.row(), m_offset);
                const int bottom = std::min(to.row(), m_offset + m_rows - 1);
                if (top <= bottom)
                    emit dataChanged(index(top - m_offset, from.column()),
                                     index(bottom - m_offset, to.column()), roles);
            });
    connect(query, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
    connect(query, &QAbstractItemModel::layoutAboutToBeChanged, this, [this] { beginResetModel(); });
    connect(query, &QAbstractItemModel::layoutChanged, this, [this] {
        m_offset = 0;
        m_rows = std::min(queryRows(), Capacity);
        endResetModel();
        emit windowChanged();
    });
}

int GridWindow::queryRows() const {
    return m_query && m_query->isOpen() ? m_query->rowCount() : 0;
}

void GridWindow::queryInserted(int first, int last) {
    const int count = last - first + 1;
    if (std::exchange(m_passing, false)) {
        m_rows += count;
        endInsertRows();
        emit windowChanged();
        return;
    }
    if (first < m_offset || (first == m_offset && m_offset > 0)) {
        // Above the window: the rows shown stay where they are.
        m_offset += count;
    } else if (first <= m_offset + m_rows) {
        const int at = first - m_offset;
        const int taken = std::min(count, Capacity - at);
        if (taken > 0) {
            beginInsertRows({}, at, at + taken - 1);
            m_rows += taken;
            endInsertRows();
        }
        if (m_rows > Capacity) {
            beginRemoveRows({}, Capacity, m_rows - 1);
            m_rows = Capacity;
            endRemoveRows();
        }
    }
    fill();
    emit windowChanged();
}

void GridWindow::queryRemoved(int first, int last) {
    if (std::exchange(m_passing, false)) {
        m_rows -= last - first + 1;
        endRemoveRows();
        emit windowChanged();
        return;
    }
    // The rows taken away above the window move it up; those in it leave the view.
    const int above = std::max(0, std::min(last, m_offset - 1) - first + 1);
    const int top = std::max(first, m_offset);
    const int bottom = std::min(last, m_offset + m_rows - 1);
    if (top <= bottom) {
        beginRemoveRows({}, top - m_offset, bottom - m_offset);
        m_rows -= bottom - top + 1;
        endRemoveRows();
    }
    m_offset -= above;
    fill();
    emit windowChanged();
}

void GridWindow::fill() {
    const int total = queryRows();
    const int wanted = std::min(total, Capacity);
    if (m_rows < wanted && m_offset + m_rows < total) {
        const int added = std::min(wanted - m_rows, total - m_offset - m_rows);
        beginInsertRows({}, m_rows, m_rows + added - 1);
        m_rows += added;
        endInsertRows();
    }
    if (m_rows < wanted && m_offset > 0) {
        const int added = std::min(wanted - m_rows, m_offset);
        beginInsertRows({}, 0, added - 1);
        m_offset -= added;
        m_rows += added;
        endInsertRows();
    }
}

void GridWindow::moveTo(int offset) {
    offset = std::clamp(offset, 0, std::max(0, queryRows() - m_rows));
    if (offset == m_offset)
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from) {
        const int row = i.row() + m_offset - offset;
        to.append(row >= 0 && row < m_rows ? index(row, i.column()) : QModelIndex());
    }
    changePersistentIndexList(from, to);
    m_offset = offset;
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    emit windowChanged();
}

void GridWindow::bringIn(int row) {
    if (row < 0 || contains(row))
        return;
    moveTo(row - m_rows / 2);
}

int GridWindow::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int GridWindow::columnCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_query ? 0 : m_query->columnCount();
}

QModelIndex GridWindow::source(const QModelIndex& index) const {
    return m_query && index.isValid() ? m_query->index(index.row() + m_offset, index.column())
                                      : QModelIndex();
}

QVariant GridWindow::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_query)
        return {};
    if (marked && (role == Qt::BackgroundRole || role == Qt::ForegroundRole) &&
        marked(index.row() + m_offset))
        return role == Qt::BackgroundRole ? QColor(0xff, 0xd9, 0xcf) : QColor(0xa8, 0x1c, 0x07);
    return m_query->data(source(index), role);
}

QVariant GridWindow::headerData(int section, Qt::Orientation orientation, int role) const {
    if (!m_query)
        return {};
    if (orientation == Qt::Horizontal) {
        if (role == Qt::DisplayRole && titles.contains(section))
            return titles.value(section);
        return m_query->headerData(section, orientation, role);
    }
    return m_query->headerData(section + m_offset, orientation, role);
}

Qt::ItemFlags GridWindow::flags(const QModelIndex& index) const {
    return m_query ? m_query->flags(source(index)) : Qt::NoItemFlags;
}

bool GridWindow::setData(const QModelIndex& index, const QVariant& value, int role) {
    return m_query && m_query->setData(source(index), value, role);
}
