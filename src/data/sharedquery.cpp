#include "data/sharedquery.h"

#include "core/errors.h"
#include "core/money.h"

#include <QSqlQuery>
#include <QSqlRecord>

SharedQuery::SharedQuery(const QString& name, const QString& connection, const QString& table, const QString& key,
                         QObject* parent)
    : QAbstractTableModel(parent), m_connection(connection), m_table(table), m_key(key) {
    setObjectName(name);
    m_sql = defaultStatement();
}

QString SharedQuery::defaultStatement() const {
    return QStringLiteral("select * from %1 order by %2 desc").arg(m_table, m_key);
}

void SharedQuery::reset(const QString& sql, const Db::Params& params) {
    close();
    m_sql = sql;
    m_params = params;
    open();
}

void SharedQuery::refresh() {
    close();
    open();
}

void SharedQuery::close() {
    if (!m_open && m_rows.isEmpty())
        return;
    beginResetModel();
    m_open = false;
    m_rows.clear();
    m_current = -1;
    m_state = State::Browse;
    m_modified = false;
    endResetModel();
    emit reopened();
    emit currentRowChanged(-1);
}

void SharedQuery::open() {
    if (m_open)
        return;
    QSqlQuery query = Db::exec(QSqlDatabase::database(m_connection, false), m_sql, m_params);
    const QSqlRecord record = query.record();
    QStringList fields;
    for (int i = 0; i < record.count(); ++i)
        fields << record.fieldName(i);
    QVector<QVector<QVariant>> rows;
    const int n = int(fields.size());
    while (query.next()) {
        QVector<QVariant> row(n);
        for (int i = 0; i < n; ++i)
            row[i] = query.value(i);
        rows.push_back(std::move(row));
    }
    beginResetModel();
    m_fields = fields;
    m_rows = std::move(rows);
    m_open = true;
    m_current = m_rows.isEmpty() ? -1 : 0;
    endResetModel();
    emit reopened();
    emit currentRowChanged(m_current);
}

QString SharedQuery::searchStatement(const QString& table, const QString& field, const QString& key) {
    return QStringLiteral("select * from %1 where %2 like '%' || :t || '%' order by %3 desc").arg(table, field, key);
}

void SharedQuery::search(const QString& field, const QString& text) {
    reset(searchStatement(m_table, field, m_key), {{QStringLiteral(":t"), text}});
}

void SharedQuery::lookup(const QString& field, const QVariant& value) {
    reset(QStringLiteral("select * from %1 where %2 = :v order by %3 desc").arg(m_table, field, m_key),
          {{QStringLiteral(":v"), value}});
}

void SharedQuery::requireOpen() const {
    if (!m_open)
        throw DatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

int SharedQuery::recordCount() const {
    requireOpen();
    return int(m_rows.size());
}

void SharedQuery::setCurrent(int row) {
    if (row == m_current)
        return;
    m_current = row;
    emit currentRowChanged(row);
}

void SharedQuery::setCurrentRow(int row) {
    requireOpen();
    if (m_rows.isEmpty())
        return;
    row = std::clamp(row, 0, int(m_rows.size()) - 1);
    if (row == m_current)
        return;
    leavePendingRow();
    // Leaving an inserted row may have removed it.
    row = std::clamp(row, 0, int(m_rows.size()) - 1);
    setCurrent(m_rows.isEmpty() ? -1 : row);
}

void SharedQuery::next() {
    requireOpen();
    if (m_current + 1 < m_rows.size())
        setCurrentRow(m_current + 1);
}

void SharedQuery::prior() {
    requireOpen();
    if (m_current > 0)
        setCurrentRow(m_current - 1);
}

void SharedQuery::first() { setCurrentRow(0); }

void SharedQuery::last() { setCurrentRow(int(m_rows.size()) - 1); }

QVariant SharedQuery::value(int row, const QString& field) const {
    const int column = fieldIndex(field);
    if (row < 0 || row >= m_rows.size() || column < 0)
        return QVariant();
    return m_rows[row][column];
}

QString SharedQuery::text(int row, const QString& field) const { return displayText(value(row, field)); }

QString SharedQuery::fieldText(const QString& field) const { return text(m_current, field); }

QString SharedQuery::displayText(const QVariant& value) {
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return formatGeneral(value.toDouble());
    default:
        return value.toString();
    }
}

void SharedQuery::deleteCurrent() {
    requireOpen();
    if (m_current < 0)
        throw DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    const QVariant keyValue = value(m_current, m_key);
    Db::exec(QSqlDatabase::database(m_connection, false),
             QStringLiteral("delete from %1 where %2 = :k").arg(m_table, m_key), {{QStringLiteral(":k"), keyValue}});
    const int row = m_current;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    m_state = State::Browse;
    m_modified = false;
    endRemoveRows();
    m_current = -1;
    setCurrent(m_rows.isEmpty() ? -1 : std::min(row, int(m_rows.size()) - 1));
    emit reopened();
}

void SharedQuery::insertRecord() {
    requireOpen();
    leavePendingRow();
    const int row = std::max(m_current, 0);
    beginInsertRows({}, row, row);
    m_rows.insert(row, QVector<QVariant>(m_fields.size()));
    endInsertRows();
    m_state = State::Insert;
    m_modified = false;
    m_current = -1;
    setCurrent(row);
}

void SharedQuery::post() {
    if (m_state == State::Browse)
        return;
    const QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    const QVector<QVariant>& row = m_rows[m_current];
    QStringList columns;
    Db::Params params;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields[i] == m_key)
            continue;
        columns << m_fields[i];
        params.emplace_back(QStringLiteral(":p%1").arg(i), row[i]);
    }
    if (m_state == State::Insert) {
        QStringList names;
        for (const auto& p : params)
            names << p.first;
        QSqlQuery q = Db::exec(db, QStringLiteral("insert into %1 (%2) values (%3)")
                                       .arg(m_table, columns.join(QStringLiteral(", ")), names.join(QStringLiteral(", "))),
                               params);
        m_rows[m_current][fieldIndex(m_key)] = q.lastInsertId();
    } else {
        QStringList sets;
        for (int i = 0; i < int(columns.size()); ++i)
            sets << columns[i] + QStringLiteral(" = ") + params[i].first;
        params.emplace_back(QStringLiteral(":k"), value(m_current, m_key));
        Db::exec(db, QStringLiteral("update %1 set %2 where %3 = :k").arg(m_table, sets.join(QStringLiteral(", ")), m_key),
                 params);
    }
    m_state = State::Browse;
    m_modified = false;
    emit dataChanged(index(m_current, 0), index(m_current, columnCount() - 1));
}

void SharedQuery::cancel() {
    if (m_state == State::Insert) {
        const int row = m_current;
        // Browse before the views hear of the removal: a view moving its current row away from
        // the dropped row must not store it.
        m_state = State::Browse;
        m_modified = false;
        beginRemoveRows({}, row, row);
        m_rows.removeAt(row);
        endRemoveRows();
        m_current = -1;
        setCurrent(m_rows.isEmpty() ? -1 : std::min(row, int(m_rows.size()) - 1));
    } else if (m_state == State::Edit) {
        m_rows[m_current] = m_saved;
        m_state = State::Browse;
        m_modified = false;
        emit dataChanged(index(m_current, 0), index(m_current, columnCount() - 1));
    }
}

void SharedQuery::leavePendingRow() {
    if (m_state == State::Browse)
        return;
    if (m_modified)
        post();
    else
        cancel();
}

int SharedQuery::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int SharedQuery::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(m_fields.size()); }

QVariant SharedQuery::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() || index.column() >= m_fields.size())
        return QVariant();
    const QVariant& v = m_rows[index.row()][index.column()];
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return displayText(v);
    return QVariant();
}

QVariant SharedQuery::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section >= 0 && section < m_fields.size())
        return m_fields[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags SharedQuery::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_editable && index.isValid() && m_fields.value(index.column()) != m_key)
        f |= Qt::ItemIsEditable;
    return f;
}

bool SharedQuery::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!m_editable || role != Qt::EditRole || !index.isValid() || index.row() >= m_rows.size())
        return false;
    if (index.row() != m_current)
        setCurrentRow(index.row());
    if (m_rows[index.row()][index.column()] == value)
        return true;
    if (m_state == State::Browse) {
        m_saved = m_rows[index.row()];
        m_state = State::Edit;
    }
    m_rows[index.row()][index.column()] = value;
    m_modified = true;
    emit dataChanged(index, index);
    return true;
}
