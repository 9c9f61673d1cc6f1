#include "data/databound.h"

#include "data/sharedquery.h"
#include "widgets/messages.h"
#include "widgets/wheelhook.h"

#include <QHeaderView>

namespace {

// Gives each grid its own column titles over the shared query.
class TitleProxy : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QHash<int, QString> titles;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && titles.contains(section))
            return titles.value(section);
        return QIdentityProxyModel::headerData(section, orientation, role);
    }
};

} // namespace

DataGrid::DataGrid(const QString& name, QWidget* parent) : QTableView(parent) {
    setObjectName(name);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setWordWrap(false);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->hide();
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
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
            emit cellClicked(index.row());
    });
}

void DataGrid::bind(SharedQuery* query, const QList<GridColumn>& columns) {
    m_query = query;
    m_columns = columns;
    auto* proxy = new TitleProxy(this);
    proxy->setSourceModel(query);
    delete m_proxy;
    m_proxy = proxy;
    setModel(proxy);
    connect(query, &SharedQuery::reopened, this, &DataGrid::applyColumns);
    connect(query, &SharedQuery::currentRowChanged, this, &DataGrid::followQuery);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (m_syncing || !m_query || !current.isValid())
                    return;
                guarded([&] { m_query->setCurrentRow(current.row()); });
                // The query may refuse the move (a row it could not store): show where it is.
                followQuery(m_query->currentRow());
            });
    applyColumns();
    followQuery(query->currentRow());
}

void DataGrid::applyColumns() {
    if (!m_query)
        return;
    auto* proxy = static_cast<TitleProxy*>(m_proxy);
    proxy->titles.clear();
    QHeaderView* header = horizontalHeader();
    const QStringList& fields = m_query->fields();
    if (fields.isEmpty())
        return;
    for (int i = 0; i < fields.size(); ++i)
        setColumnHidden(i, true);
    int visual = 0;
    for (const GridColumn& column : m_columns) {
        const int logical = int(fields.indexOf(column.field));
        if (logical < 0)
            continue;
        proxy->titles.insert(logical, column.title);
        setColumnHidden(logical, false);
        header->moveSection(header->visualIndex(logical), visual++);
        setColumnWidth(logical, column.width);
    }
}

void DataGrid::followQuery(int row) {
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
        const QModelIndex index = m_proxy->index(row, column);
        selectionModel()->setCurrentIndex(index,
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(index);
    }
    m_syncing = false;
}

QString DataGrid::cellText(int row, int visibleColumn) const {
    if (!m_query || visibleColumn < 0 || visibleColumn >= m_columns.size())
        return QString();
    return m_query->text(row, m_columns[visibleColumn].field);
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

PickList::PickList(const QString& name, QWidget* parent) : QComboBox(parent) {
    setObjectName(name);
    setEditable(false);
}

void PickList::bind(SharedQuery* query, const QString& field) {
    setModel(query);
    setModelColumn(std::max(0, query->fieldIndex(field)));
    setCurrentIndex(-1);
}

void PickList::selectText(const QString& text) {
    setCurrentIndex(findText(text, Qt::MatchExactly));
}
