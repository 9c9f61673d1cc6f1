#include "widgets/databound.h"

#include "data/sharedquery.h"
#include "ledger/staff.h"
#include "widgets/gridexport.h"
#include "widgets/gridwindow.h"
#include "widgets/layoutstore.h"
#include "widgets/messages.h"
#include "widgets/wheelhook.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QStyle>
#include <utility>

namespace {

// The view's own vertical bar: it keeps scrolling the view within the window, but is never shown
// while the grid's bar over all rows stands in its place.
class ViewBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;
    bool covered = false;
    void setVisible(bool visible) override { QScrollBar::setVisible(visible && !covered); }
};

} // namespace

DataGrid::DataGrid(const QString& name, QWidget* parent) : QTableView(parent) {
    setVerticalScrollBar(new ViewBar(Qt::Vertical, this));
    setObjectName(name);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
    // The user drags columns to the order they want; the order is kept with the layout.
    horizontalHeader()->setSectionsMovable(true);
    new WheelHook(
        this,
        [this] {
            finishEditing();
            if (m_query)
                m_query->next();
        },
        [this] {
            finishEditing();
            if (m_query)
                m_query->prior();
        });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            emit cellClicked(rowOf(index));
    });
    // A list longer than the window scrolls with this bar, in the place of the view's own.
    m_rowBar = new QScrollBar(Qt::Vertical, this);
    m_rowBar->setObjectName(QStringLiteral("rowScrollBar"));
    addScrollBarWidget(m_rowBar, Qt::AlignTop);
    m_rowBar->hide(); // after it is placed: placing it would show it with the view's

    connect(m_rowBar, &QScrollBar::valueChanged, this, &DataGrid::rowBarMoved);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &DataGrid::viewScrolled);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical) { storeLayout(logical); });
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this,
            [this](int logical) { storeLayout(logical); });
}

void DataGrid::bind(SharedQuery* query, const QList<GridColumn>& columns) {
    m_query = query;
    m_columns = columns;
    auto* window = new GridWindow(query, this);
    window->marked = m_mark;
    GridWindow* old = m_proxy;
    m_proxy = window;
    setModel(window);
    delete old;
    connect(window, &GridWindow::windowChanged, this, &DataGrid::updateRowBar);
    connect(query, &SharedQuery::reopened, this, &DataGrid::applyColumns);
    connect(query, &SharedQuery::currentRowChanged, this, [this](int row) { followQuery(row); });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (m_syncing || !m_query || !current.isValid())
                    return;
                const int row = rowOf(current);
                m_userMove = row;
                guarded([&] { m_query->setCurrentRow(row); });
                m_userMove = -1;
                // The query may refuse the move (a row it could not store): show where it is.
                followQuery(m_query->currentRow(), row);
            });
    applyColumns();
    updateRowBar();
    followQuery(query->currentRow());
}

void DataGrid::applyColumns() {
    if (!m_query)
        return;
    GridWindow* proxy = m_proxy;
    proxy->titles.clear();
    QHeaderView* header = horizontalHeader();
    const QStringList& fields = m_query->fields();
    if (fields.isEmpty())
        return;
    // The user's arrangement first (columns of it the grid no longer shows are passed over), then
    // the columns it does not name in their default order.
    QList<GridColumn> arranged;
    for (const auto& [field, width] : LayoutStore::gridColumns(LayoutStore::keyOf(this)))
        for (const GridColumn& column : m_columns)
            if (column.field == field) {
                arranged.append({column.field, column.title, width});
                break;
            }
    for (const GridColumn& column : m_columns) {
        bool placed = false;
        for (const GridColumn& a : arranged)
            placed = placed || a.field == column.field;
        if (!placed)
            arranged.append(column);
    }
    m_arranging = true;
    for (int i = 0; i < fields.size(); ++i)
        setColumnHidden(i, true);
    int visual = 0;
    for (const GridColumn& column : arranged) {
        const int logical = int(fields.indexOf(column.field));
        if (logical < 0)
            continue;
        proxy->titles.insert(logical, column.title);
        setColumnHidden(logical, false);
        header->moveSection(header->visualIndex(logical), visual++);
        setColumnWidth(logical, column.width);
    }
    m_arranging = false;
}

QList<GridColumn> DataGrid::shownColumns() const {
    QList<GridColumn> shown;
    if (!m_query || !m_proxy)
        return shown;
    const QHeaderView* header = horizontalHeader();
    const QStringList& fields = m_query->fields();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (logical < 0 || logical >= fields.size() || header->isSectionHidden(logical))
            continue;
        shown.append({fields[logical], m_proxy->headerData(logical, Qt::Horizontal).toString(),
                      header->sectionSize(logical)});
    }
    return shown;
}

void DataGrid::storeLayout(int logical) {
    if (m_arranging || !m_query || m_query->fields().isEmpty())
        return;
    QHeaderView* header = horizontalHeader();
    if (header->isSectionHidden(logical))
        return;
    // A stretched last column follows the window's width, not the user's hand.
    if (header->stretchLastSection()) {
        int last = header->count() - 1;
        while (last >= 0 && header->isSectionHidden(header->logicalIndex(last)))
            --last;
        if (last >= 0 && header->logicalIndex(last) == logical)
            return;
    }
    LayoutStore::Columns columns;
    for (const GridColumn& column : shownColumns())
        columns.append({column.field, column.width});
    LayoutStore::setGridColumns(LayoutStore::keyOf(this), columns);
}

void DataGrid::restoreDefaultLayout() {
    LayoutStore::setGridColumns(LayoutStore::keyOf(this), {});
    applyColumns();
}

QMenu* DataGrid::makeMenu() {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("gridMenu"));
    QAction* excel = menu->addAction(QStringLiteral("导出为 Excel…"));
    excel->setObjectName(QStringLiteral("exportExcel"));
    connect(excel, &QAction::triggered, this,
            [this] { guarded([this] { GridExport::run(this, Spreadsheet::Format::Xlsx); }); });
    QAction* csv = menu->addAction(QStringLiteral("导出为 CSV…"));
    csv->setObjectName(QStringLiteral("exportCsv"));
    connect(csv, &QAction::triggered, this,
            [this] { guarded([this] { GridExport::run(this, Spreadsheet::Format::Csv); }); });
    // Greyed for an operator who may not export (the export checks it as well).
    const bool canExport = m_query && m_query->isOpen() && Staff::may(Staff::Right::ExportImport);
    excel->setEnabled(canExport);
    csv->setEnabled(canExport);
    if (!m_menuActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_menuActions);
    }
    menu->addSeparator();
    QAction* layout = menu->addAction(QStringLiteral("恢复默认布局"));
    layout->setObjectName(QStringLiteral("restoreLayout"));
    connect(layout, &QAction::triggered, this, [] { LayoutStore::restoreDefaults(); });
    return menu;
}

void DataGrid::addMenuAction(QAction* action) {
    m_menuActions.append(action);
}

void DataGrid::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = makeMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
    event->accept();
}

void DataGrid::followQuery(int row, int clicked) {
    if (!m_proxy)
        return;
    m_syncing = true;
    if (row < 0) {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        int column = 0;
        if (!m_columns.isEmpty() && m_query)
            column = std::max(0, m_query->fieldIndex(m_columns.first().field));
        m_proxy->bringIn(row);
        const QModelIndex index = m_proxy->index(row - m_proxy->offset(), column);
        // Where the user moved to with a click or a key, the view selects as it does (Ctrl and
        // Shift keep a selection of several rows).
        const bool own =
            selectionMode() == QAbstractItemView::ExtendedSelection && (m_userMove == row || clicked == row);
        if (!own)
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                         QItemSelectionModel::Rows);
        scrollTo(index);
    }
    m_syncing = false;
}

void DataGrid::allowSeveralRows() {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
}

QList<int> DataGrid::selectedRows() const {
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.append(row + m_proxy->offset());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void DataGrid::setRowMark(std::function<bool(int)> marked) {
    m_mark = std::move(marked);
    if (m_proxy)
        m_proxy->marked = m_mark;
    viewport()->update();
}

bool DataGrid::rowMarked(int row) const {
    return m_mark && m_mark(row);
}

QString DataGrid::cellText(int row, int visibleColumn) const {
    if (!m_query || visibleColumn < 0)
        return QString();
    // Columns the list's statement does not give (the warning list's own) are not shown.
    for (const GridColumn& column : m_columns)
        if (m_query->fieldIndex(column.field) >= 0 && visibleColumn-- == 0)
            return m_query->text(row, column.field);
    return QString();
}

int DataGrid::rowCount() const {
    return m_proxy ? m_proxy->queryRows() : 0;
}

QModelIndex DataGrid::indexOfRow(int row, int column) {
    if (!m_proxy || row < 0 || row >= rowCount())
        return {};
    if (!m_proxy->contains(row)) {
        m_proxy->bringIn(row);
        scrollTo(m_proxy->index(row - m_proxy->offset(), column));
    }
    return m_proxy->index(row - m_proxy->offset(), column);
}

int DataGrid::rowOf(const QModelIndex& index) const {
    return index.isValid() && m_proxy ? index.row() + m_proxy->offset() : -1;
}

int DataGrid::pageRows() const {
    // As the view counts them for its own scrolling.
    if (verticalScrollBar()->pageStep() > 0 && m_proxy &&
        m_proxy->rowCount() > verticalScrollBar()->pageStep())
        return verticalScrollBar()->pageStep();
    return std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()));
}

void DataGrid::shiftWindow(int offset) {
    const int top = m_proxy->offset() + verticalScrollBar()->value();
    m_scrolling = true;
    m_proxy->moveTo(offset);
    verticalScrollBar()->setValue(top - m_proxy->offset());
    m_scrolling = false;
}

void DataGrid::viewScrolled(int value) {
    if (!m_proxy || m_scrolling || !m_proxy->windowed())
        return;
    // Far enough from the window's ends that a page or two never reaches them; when it comes
    // nearer, the window moves to have the rows in view in its middle.
    const int margin = GridWindow::Capacity / 4;
    const int rows = m_proxy->rowCount();
    const int page = pageRows();
    const bool above = value < margin && m_proxy->offset() > 0;
    const bool below = value + page > rows - margin && m_proxy->offset() + rows < m_proxy->queryRows();
    if (above || below)
        shiftWindow(m_proxy->offset() + value - (rows - page) / 2);
    updateRowBar();
}

void DataGrid::rowBarMoved(int row) {
    if (!m_proxy || m_scrolling || !m_proxy->windowed())
        return;
    const int page = pageRows();
    if (row < m_proxy->offset() || row + page > m_proxy->offset() + m_proxy->rowCount()) {
        m_scrolling = true;
        m_proxy->moveTo(row - (m_proxy->rowCount() - page) / 2);
        m_scrolling = false;
    }
    verticalScrollBar()->setValue(row - m_proxy->offset());
}

void DataGrid::updateRowBar() {
    if (!m_proxy)
        return;
    const bool windowed = m_proxy->windowed();
    if (windowed != m_windowed) {
        m_windowed = windowed;
        // The view's own bar keeps the place (and the scrolling within the window); the grid's
        // bar is drawn in it.
        static_cast<ViewBar*>(verticalScrollBar())->covered = windowed;
        setVerticalScrollBarPolicy(windowed ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        verticalScrollBar()->setVisible(!windowed);
        m_rowBar->setVisible(windowed);
    }
    if (!windowed)
        return;
    const int page = pageRows();
    const bool was = std::exchange(m_scrolling, true);
    m_rowBar->setRange(0, std::max(0, m_proxy->queryRows() - page));
    m_rowBar->setPageStep(page);
    m_rowBar->setValue(m_proxy->offset() + verticalScrollBar()->value());
    m_scrolling = was;
}

void DataGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    updateRowBar();
}

QModelIndex DataGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    if (m_proxy && m_proxy->windowed() && m_query) {
        // From the query's current row, wherever the window is.
        if (!currentIndex().isValid() && m_query->currentRow() >= 0)
            followQuery(m_query->currentRow());
        // The list's ends, not the window's.
        if ((modifiers & Qt::ControlModifier) && (action == MoveHome || action == MoveEnd)) {
            const int column =
                currentIndex().isValid() ? currentIndex().column() : horizontalHeader()->logicalIndex(0);
            const int row = action == MoveHome ? 0 : m_proxy->queryRows() - 1;
            shiftWindow(action == MoveHome ? 0 : m_proxy->queryRows());
            updateRowBar();
            return m_proxy->index(row - m_proxy->offset(), column);
        }
    }
    return QTableView::moveCursor(action, modifiers);
}

void DataGrid::finishEditing() {
    if (state() != QAbstractItemView::EditingState)
        return;
    for (QWidget* editor : viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!editor->isVisible())
            continue;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

DataLabel::DataLabel(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
}

void DataLabel::bind(SharedQuery* query, const QString& field) {
    m_query = query;
    m_field = field;
    connect(query, &SharedQuery::currentRowChanged, this, &DataLabel::update);
    connect(query, &SharedQuery::reopened, this, &DataLabel::update);
    connect(query, &QAbstractItemModel::dataChanged, this, &DataLabel::update);
    update();
}

void DataLabel::update() {
    setText(m_query ? m_query->fieldText(m_field) : QString());
}

DataMemo::DataMemo(const QString& name, QWidget* parent) : QTextEdit(parent) {
    setObjectName(name);
    setReadOnly(true);
}

void DataMemo::bind(SharedQuery* query, const QString& field) {
    m_query = query;
    m_field = field;
    connect(query, &SharedQuery::currentRowChanged, this, &DataMemo::update);
    connect(query, &SharedQuery::reopened, this, &DataMemo::update);
    connect(query, &QAbstractItemModel::dataChanged, this, &DataMemo::update);
    update();
}

void DataMemo::update() {
    setPlainText(m_query ? m_query->fieldText(m_field) : QString());
}

// What a pick list offers: one field of every row of the query, in the query's order, then the
// kept text when there is one. The rows follow the query's inserts, removals and resets as they
// happen.
class PickListModel : public QAbstractListModel {
public:
    PickListModel(SharedQuery* query, const QString& field, QObject* parent)
        : QAbstractListModel(parent), m_query(query), m_field(field) {
        connect(query, &QAbstractItemModel::rowsAboutToBeInserted, this,
                [this](const QModelIndex&, int first, int last) { beginInsertRows({}, first, last); });
        connect(query, &QAbstractItemModel::rowsInserted, this, [this] { endInsertRows(); });
        connect(query, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex&, int first, int last) { beginRemoveRows({}, first, last); });
        connect(query, &QAbstractItemModel::rowsRemoved, this, [this] { endRemoveRows(); });
        connect(query, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
        connect(query, &QAbstractItemModel::modelReset, this, [this] { endResetModel(); });
        connect(query, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    emit dataChanged(index(from.row()), index(to.row()));
                });
    }

    int queryRows() const { return m_query ? m_query->rowCount() : 0; }
    bool isKept(int row) const { return !m_kept.isEmpty() && row == queryRows(); }

    void setKept(const QString& text) {
        if (!m_kept.isEmpty()) {
            beginRemoveRows({}, queryRows(), queryRows());
            m_kept.clear();
            endRemoveRows();
        }
        if (!text.isEmpty()) {
            beginInsertRows({}, queryRows(), queryRows());
            m_kept = text;
            endInsertRows();
        }
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : queryRows() + (m_kept.isEmpty() ? 0 : 1);
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid())
            return {};
        if (!isKept(index.row()))
            return m_query ? m_query->data(m_query->index(index.row(), m_query->fieldIndex(m_field)), role)
                           : QVariant();
        switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole:
            return m_kept;
        case Qt::DecorationRole:
            return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
        case Qt::ToolTipRole:
            return KeptTip;
        case Qt::ForegroundRole:
            return QColor(Qt::darkGray);
        case Qt::FontRole: {
            QFont font;
            font.setItalic(true);
            return font;
        }
        default:
            return {};
        }
    }

    static inline const QString KeptTip = QStringLiteral("已不在列表中：不另选时保存原样保留");

private:
    QPointer<SharedQuery> m_query;
    QString m_field;
    QString m_kept;
};

PickList::PickList(const QString& name, QWidget* parent) : QComboBox(parent) {
    setObjectName(name);
    setEditable(false);
    connect(this, &QComboBox::currentIndexChanged, this, [this](int row) {
        setToolTip(m_model && m_model->isKept(row) ? PickListModel::KeptTip : QString());
    });
}

void PickList::bind(SharedQuery* query, const QString& field) {
    PickListModel* old = m_model;
    m_model = new PickListModel(query, field, this);
    setModel(m_model);
    delete old;
    setCurrentIndex(-1);
    // The combo box moves its choice to a neighbour when the chosen row goes; take it back.
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) {
                m_losingChoice = currentIndex() >= first && currentIndex() <= last;
            });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] {
        if (std::exchange(m_losingChoice, false))
            setCurrentIndex(-1);
    });
}

void PickList::selectText(const QString& text) {
    if (m_model)
        m_model->setKept(QString());
    setCurrentIndex(findText(text, Qt::MatchExactly));
}

void PickList::selectStored(const QString& text) {
    selectText(text);
    if (currentIndex() >= 0 || text.isEmpty() || !m_model)
        return;
    m_model->setKept(text);
    setCurrentIndex(m_model->queryRows());
}
