#include "data/sharedquery.h"

#include "core/errors.h"
#include "core/money.h"

#include "data/tableindex.h"
#include <QSqlError>
#include <algorithm>
#include <functional>
#include <iterator>

#include <QRegularExpression>
#include <QScopedValueRollback>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
bool loadEverything = false;
SharedQuery::Withholding withholding;

QList<SharedQuery*>& everyQuery() {
    static QList<SharedQuery*> queries;
    return queries;
}

// A statement reading every field of the table: "select * from t ..." or "select *, ... from t".
QRegularExpressionMatch everyField(const QString& sql, const QString& table) {
    const QRegularExpression form(QStringLiteral("^(\\s*select\\s+)\\*(?=\\s*,|\\s+from\\s+%1\\b)")
                                      .arg(QRegularExpression::escape(table)),
                                  QRegularExpression::CaseInsensitiveOption);
    return form.match(sql);
}
} // namespace

void SharedQuery::setWithholding(Withholding policy) {
    withholding = std::move(policy);
}

void SharedQuery::withholdingChanged() {
    for (SharedQuery* q : everyQuery()) {
        const bool rewritten = everyField(q->m_sql, q->m_table).hasMatch();
        if (!q->takeWithholding() || !q->m_open || q->m_state != State::Browse)
            continue;
        // A list of other fields (the statistics) is read again by its page, with a statement
        // of its own for the one at the till.
        if (rewritten)
            q->reread();
    }
}

bool SharedQuery::takeWithholding() {
    QStringList fields = withholding ? withholding(m_table) : QStringList();
    if (fields == m_withheld)
        return false;
    m_withheld = std::move(fields);
    m_selectList.clear();
    // A paged list keeps its fields between opens; an open list of other rows reads its own.
    if (!m_open || m_paged)
        m_fields.clear();
    return true;
}

QString SharedQuery::selectList() const {
    if (m_withheld.isEmpty())
        return QStringLiteral("*");
    if (m_selectList.isEmpty()) {
        QSqlQuery probe(QSqlDatabase::database(m_connection, false));
        if (!probe.exec(QStringLiteral("select * from %1 limit 0").arg(m_table)))
            throw DatabaseError(Db::errorText(probe.lastError()));
        const QSqlRecord record = probe.record();
        QStringList kept;
        for (int i = 0; i < record.count(); ++i)
            if (!m_withheld.contains(record.fieldName(i), Qt::CaseInsensitive))
                kept << record.fieldName(i);
        m_selectList = kept.join(QLatin1Char(','));
    }
    return m_selectList;
}

QString SharedQuery::executed() const {
    if (m_withheld.isEmpty())
        return m_sql;
    const QRegularExpressionMatch m = everyField(m_sql, m_table);
    if (!m.hasMatch())
        return m_sql;
    return m.captured(1) + selectList() + m_sql.mid(m.capturedEnd(0));
}

void SharedQuery::setLoadEverything(bool on) {
    loadEverything = on;
}

bool SharedQuery::loadsEverything() {
    return loadEverything;
}

SharedQuery::SharedQuery(const QString& name, const QString& connection, const QString& table,
                         const QString& key, QObject* parent)
    : QAbstractTableModel(parent), m_connection(connection), m_table(table), m_key(key) {
    setObjectName(name);
    m_sql = defaultStatement();
    everyQuery().append(this);
    connect(&Db::Announcer::instance(), &Db::Announcer::committed, this, &SharedQuery::follow);
}

void SharedQuery::follow(const Db::Changes& changes) {
    // A server's index hears of the change first (a file's has heard of every row from the file).
    if (m_index)
        for (const Db::Change& change : changes)
            m_index->follow(change);
    if (!m_open || m_state != State::Browse || m_writing)
        return;
    for (const Db::Change& change : changes)
        if (change.table == m_table) {
            try {
                if (!rereadInPlace())
                    reread();
            } catch (const LedgerError& e) {
                Db::Announcer::instance().reportFailure(e.text());
            }
            return;
        }
}

SharedQuery::~SharedQuery() {
    everyQuery().removeOne(this);
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
    // A server's table may have been written without an announcement (another program): its
    // index reads it again.
    if (m_index && Db::isServer(QSqlDatabase::database(m_connection, false)))
        m_index->invalidate();
    reread();
}

void SharedQuery::reread() {
    close();
    open();
}

void SharedQuery::close() {
    if (!m_open && m_rows.isEmpty())
        return;
    beginResetModel();
    m_open = false;
    m_rows.clear();
    m_paged = false;
    m_dense = false;
    m_count = 0;
    m_keys.clear();
    m_pages.clear();
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
    takeWithholding();
    if (m_index && !m_editable && !loadEverything && openPaged())
        return;
    QSqlQuery query = Db::exec(QSqlDatabase::database(m_connection, false), executed(), m_params);
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
    m_fieldsOfTable = false;
    m_rows = std::move(rows);
    m_open = true;
    m_current = m_rows.isEmpty() ? -1 : 0;
    endResetModel();
    emit reopened();
    emit currentRowChanged(m_current);
}

// Statements the table's index answers: the whole table, or one field against a LIKE pattern
// (the typed text bound as :t, or a literal), newest first.
std::optional<SharedQuery::PagedRows> SharedQuery::pagedRows() const {
    // On a server the search is "cast(field as text) ilike … escape ''" (see search()): only that
    // form is answered there, as its matching is the index's (Latin letters without regard to
    // case, no escape character).
    static const QRegularExpression form(
        QStringLiteral("^select \\* from (\\w+)(?: where (?:cast\\((\\w+) as text\\)|(\\w+)) (i?like) "
                       "(?:'%' \\|\\| :t \\|\\| '%'|'([^']*)')( escape '')?"
                       "(?: or (\\w+) = :c)?)? "
                       "order by (\\w+) desc$"),
        QRegularExpression::CaseInsensitiveOption);
    const QString sql = m_sql.simplified();
    const QRegularExpressionMatch m = form.match(sql);
    if (!m.hasMatch() || m.captured(1) != m_table || m.captured(8) != m_key)
        return std::nullopt;
    const bool server = Db::isServer(QSqlDatabase::database(m_connection, false));
    if (m.capturedLength(4) > 0 &&
        (server ? (m.captured(4).compare(QLatin1String("ilike"), Qt::CaseInsensitive) != 0 ||
                   m.capturedLength(6) == 0)
                : (m.captured(4).compare(QLatin1String("like"), Qt::CaseInsensitive) != 0 ||
                   m.capturedLength(6) > 0)))
        return std::nullopt;
    const QString field = m.capturedLength(2) > 0 ? m.captured(2) : m.captured(3);
    const QString codeField = m.captured(7);
    const qsizetype literal = m.capturedLength(5);
    const QString literalText = m.captured(5);
    if (!field.isEmpty() && !m_index->covers(field))
        return std::nullopt;
    if (!codeField.isEmpty() && !m_index->covers(codeField))
        return std::nullopt;
    QVariant typed;
    QVariant code;
    if (!codeField.isEmpty()) {
        if (m_params.size() != 2 || m_params[0].first != QStringLiteral(":t") ||
            m_params[1].first != QStringLiteral(":c") || literal > 0)
            return std::nullopt;
        typed = m_params[0].second;
        code = m_params[1].second;
    } else if (!field.isEmpty() && literal == 0 && sql.contains(QStringLiteral(":t"))) {
        if (m_params.size() != 1 || m_params.front().first != QStringLiteral(":t"))
            return std::nullopt;
        typed = m_params.front().second;
    }
    if (m_checked != m_sql) {
        // The database still checks the statement, so a missing table or field fails as before
        // (at the open: a server takes two round trips for it).
        QSqlQuery check(QSqlDatabase::database(m_connection, false));
        if (!check.prepare(m_sql))
            throw DatabaseError(Db::errorText(check.lastError()));
        m_checked = m_sql;
    }
    PagedRows result;
    // An empty search box lists every row whose field is not NULL (LIKE '%%' holds for any text):
    // usually the whole table, which needs no list of keys.
    const bool everyRow = field.isEmpty() ||
                          (literal == 0 && sql.contains(QStringLiteral(":t")) && typed.toString().isEmpty() &&
                           !typed.isNull() && code.toString().isEmpty() && !m_index->anyNull(field));
    if (everyRow) {
        const TableIndex::Extent extent = m_index->extent();
        result.dense = extent.dense;
        result.max = extent.max;
        result.count = extent.count;
        if (!extent.dense)
            result.keys = m_index->keysDescending();
    } else if (literal > 0 || !sql.contains(QStringLiteral(":t"))) {
        result.keys = m_index->match(field, literalText);
    } else if (!typed.isNull()) { // a NULL text makes the whole pattern NULL: no rows
        result.keys = m_index->match(field, QLatin1Char('%') + typed.toString() + QLatin1Char('%'));
    }
    if (!codeField.isEmpty() && !code.isNull() && !code.toString().isEmpty()) {
        // The rows with the code join those found by the pattern, newest first, each once.
        const std::vector<int64_t> coded = m_index->equal(codeField, code.toString());
        std::vector<int64_t> merged;
        merged.reserve(result.keys.size() + coded.size());
        std::merge(result.keys.begin(), result.keys.end(), coded.begin(), coded.end(),
                   std::back_inserter(merged), std::greater<int64_t>());
        merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
        result.keys = std::move(merged);
    }
    return result;
}

bool SharedQuery::openPaged() {
    // Every open checks the statement again; following a commit uses the check of the open.
    m_checked.clear();
    std::optional<PagedRows> paged = pagedRows();
    if (!paged)
        return false;
    // The fields of the table as read now (a statement of other fields may have been open).
    if (m_fields.isEmpty() || !m_fieldsOfTable) {
        m_fields.clear();
        QSqlQuery probe = Db::exec(QSqlDatabase::database(m_connection, false),
                                   QStringLiteral("select %1 from %2 limit 0").arg(selectList(), m_table));
        const QSqlRecord record = probe.record();
        for (int i = 0; i < record.count(); ++i)
            m_fields << record.fieldName(i);
        m_fieldsOfTable = true;
    }
    beginResetModel();
    m_rows.clear();
    m_pages.clear();
    m_keys = std::move(paged->keys);
    m_dense = paged->dense;
    m_denseMax = paged->max;
    m_count = paged->count;
    m_paged = true;
    m_open = true;
    m_current = rows() == 0 ? -1 : 0;
    endResetModel();
    emit reopened();
    emit currentRowChanged(m_current);
    return true;
}

bool SharedQuery::rereadInPlace() {
    if (!m_paged)
        return false;
    std::optional<PagedRows> paged = pagedRows();
    if (!paged)
        return false;
    const int64_t before = rows();
    const int64_t now = paged->dense ? paged->count : int64_t(paged->keys.size());
    const int64_t added = now - before;
    // The rows listed before, in the same order, below the rows written since (newest first: new
    // rows of the table come on top). Then the views only take in the new rows; a reset would
    // rebuild their row positions for every row of the list.
    bool same = added >= 0;
    if (same && m_dense && paged->dense)
        same = paged->max == m_denseMax + added;
    else if (same && !m_dense && !paged->dense)
        same = std::equal(m_keys.begin(), m_keys.end(), paged->keys.begin() + added);
    else if (same)
        for (int64_t i = 0; same && i < before; ++i)
            same = keyAt(size_t(i)) ==
                   (paged->dense ? paged->max - (i + added) : paged->keys[size_t(i + added)]);
    if (!same)
        return false;
    if (added > 0)
        beginInsertRows({}, 0, int(added - 1));
    m_pages.clear();
    m_keys = std::move(paged->keys);
    m_dense = paged->dense;
    m_denseMax = paged->max;
    m_count = paged->count;
    if (added > 0)
        endInsertRows();
    // The rows listed before may hold other values now. The first row becomes current, as after
    // a refresh.
    if (rows() > added)
        emit dataChanged(index(int(added), 0), index(rows() - 1, columnCount() - 1));
    m_current = -1;
    setCurrent(rows() == 0 ? -1 : 0);
    emit reopened();
    return true;
}

const QVector<QVariant>* SharedQuery::rowAt(int row) const {
    if (row < 0 || row >= rows())
        return nullptr;
    if (!m_paged)
        return &m_rows[row];
    const int page = row / PageSize;
    auto it = m_pages.find(page);
    if (it == m_pages.end()) {
        if (m_pages.size() > 256)
            m_pages.clear();
        const size_t first = size_t(page) * PageSize;
        const size_t last = std::min(size_t(rows()), first + PageSize);
        // The keys are numbers of the program's own, written into the statement as such: one
        // round trip to a server, where a prepared statement takes three.
        QStringList keys;
        for (size_t i = first; i < last; ++i)
            keys << QString::number(keyAt(i));
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("select %1 from %2 where %3 in (%4)")
                            .arg(selectList(), m_table, m_key, keys.join(QLatin1Char(',')))))
            throw DatabaseError(Db::errorText(query.lastError()));
        const int n = int(m_fields.size());
        const int keyColumn = fieldIndex(m_key);
        QHash<qint64, QVector<QVariant>> found;
        while (query.next()) {
            QVector<QVariant> values(n);
            for (int i = 0; i < n; ++i)
                values[i] = query.value(i);
            found.insert(values[keyColumn].toLongLong(), std::move(values));
        }
        QVector<QVector<QVariant>> rowsOfPage;
        rowsOfPage.reserve(int(last - first));
        for (size_t i = first; i < last; ++i)
            rowsOfPage.push_back(found.value(keyAt(i), QVector<QVariant>(n)));
        it = m_pages.insert(page, std::move(rowsOfPage));
    }
    return &it.value()[row % PageSize];
}

QString SharedQuery::searchStatement(const QString& table, const QString& field, const QString& key,
                                     const QString& codeField) {
    if (!codeField.isEmpty())
        return QStringLiteral("select * from %1 where %2 like '%' || :t || '%' or %3 = :c order by %4 desc")
            .arg(table, field, codeField, key);
    return QStringLiteral("select * from %1 where %2 like '%' || :t || '%' order by %3 desc")
        .arg(table, field, key);
}

void SharedQuery::search(const QString& field, const QString& text, const QString& codeField) {
    // An empty box lists every row: bind an empty text, never NULL.
    const QString typed = text.isNull() ? QStringLiteral("") : text;
    QString sql = searchStatement(m_table, field, m_key, codeField);
    if (Db::isServer(QSqlDatabase::database(m_connection, false)))
        // A server compares a number with a pattern only as text, its LIKE minds the case where
        // the file's does not (for Latin letters), and it takes a backslash as an escape
        // character unless told otherwise: the file's has none.
        sql.replace(field + QStringLiteral(" like '%' || :t || '%'"),
                    QStringLiteral("cast(%1 as text) ilike '%' || :t || '%' escape ''").arg(field));
    if (codeField.isEmpty())
        reset(sql, {{QStringLiteral(":t"), typed}});
    else
        reset(sql, {{QStringLiteral(":t"), typed}, {QStringLiteral(":c"), typed.trimmed()}});
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
    return rows();
}

void SharedQuery::setCurrent(int row) {
    if (row == m_current)
        return;
    m_current = row;
    emit currentRowChanged(row);
}

void SharedQuery::setCurrentRow(int row) {
    requireOpen();
    if (rows() == 0)
        return;
    row = std::clamp(row, 0, rows() - 1);
    if (row == m_current)
        return;
    const int left = m_current;
    const int count = rows();
    leavePendingRow();
    // Leaving an inserted row may have removed it: a row below it moved up by one.
    if (rows() < count && row > left)
        --row;
    row = std::clamp(row, 0, rows() - 1);
    setCurrent(rows() == 0 ? -1 : row);
}

void SharedQuery::next() {
    requireOpen();
    if (m_current + 1 < rows())
        setCurrentRow(m_current + 1);
}

void SharedQuery::prior() {
    requireOpen();
    if (m_current > 0)
        setCurrentRow(m_current - 1);
}

void SharedQuery::first() {
    setCurrentRow(0);
}

void SharedQuery::last() {
    setCurrentRow(rows() - 1);
}

QVariant SharedQuery::value(int row, const QString& field) const {
    const int column = fieldIndex(field);
    const QVector<QVariant>* values = column < 0 ? nullptr : rowAt(row);
    return values ? values->value(column) : QVariant();
}

QString SharedQuery::text(int row, const QString& field) const {
    return displayText(value(row, field));
}

QString SharedQuery::fieldText(const QString& field) const {
    return text(m_current, field);
}

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

void SharedQuery::setWriter(Writer writer) {
    m_writer = std::move(writer);
    m_editable = m_writer.add && m_writer.change;
}

void SharedQuery::deleteCurrent() {
    requireOpen();
    if (m_current < 0)
        throw DatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    if (m_state == State::Insert) {
        cancel();
        return;
    }
    if (!m_writer.remove)
        throw DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    {
        // The list takes the row out itself below, and not again when it hears of the commit.
        const QScopedValueRollback<bool> writing(m_writing, true);
        m_writer.remove(*this, m_current);
    }
    const int row = m_current;
    beginRemoveRows({}, row, row);
    if (m_paged) {
        if (m_dense) {
            m_keys.resize(size_t(m_count));
            for (size_t i = 0; i < m_keys.size(); ++i)
                m_keys[i] = keyAt(i);
            m_dense = false;
        }
        m_keys.erase(m_keys.begin() + row);
        m_pages.clear();
    } else {
        m_rows.removeAt(row);
    }
    m_state = State::Browse;
    m_modified = false;
    endRemoveRows();
    m_current = -1;
    setCurrent(rows() == 0 ? -1 : std::min(row, rows() - 1));
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
    // An inserted row holding nothing is dropped, never stored, also when it is posted.
    if (m_state == State::Browse || dropBlankInsert())
        return;
    // One operation like any other, announced to the other lists (and tills) after its commit.
    // While it runs the row is still being edited, so this list does not read itself again; a
    // row the database refuses stays being edited, to be corrected.
    if (!m_editable)
        throw DatabaseError(QStringLiteral("Cannot modify a read-only dataset"));
    if (m_state == State::Insert)
        m_rows[m_current][fieldIndex(m_key)] = m_writer.add(*this, m_current);
    else
        m_writer.change(*this, m_current);
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

bool SharedQuery::dropBlankInsert() {
    if (m_state != State::Insert)
        return false;
    const QVector<QVariant>& row = m_rows[m_current];
    for (int i = 0; i < row.size(); ++i)
        if (m_fields[i] != m_key && !displayText(row[i]).isEmpty())
            return false;
    cancel();
    return true;
}

void SharedQuery::leavePendingRow() {
    if (m_state == State::Browse || dropBlankInsert())
        return;
    if (m_modified)
        post();
    else
        cancel();
}

int SharedQuery::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int SharedQuery::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_fields.size());
}

QVariant SharedQuery::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= m_fields.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    try {
        const QVector<QVariant>* values = rowAt(index.row());
        return values ? displayText(values->value(index.column())) : QVariant();
    } catch (const LedgerError&) {
        return QVariant(); // a page that cannot be read shows empty cells
    }
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
