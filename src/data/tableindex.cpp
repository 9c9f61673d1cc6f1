#include "data/tableindex.h"

#include "core/errors.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>

namespace {

char32_t foldAscii(char32_t c) {
    return (c >= 'A' && c <= 'Z') ? c + 32 : c;
}

std::u32string foldQString(const QString& text) {
    std::u32string out;
    for (char32_t c : text.toStdU32String())
        out.push_back(foldAscii(c));
    return out;
}

// Matches with "%" and "_" by backtracking on the last "%".
bool likeMatch(const char32_t* p, const char32_t* pEnd, const char32_t* t, const char32_t* tEnd) {
    const char32_t* starP = nullptr;
    const char32_t* starT = nullptr;
    while (t < tEnd) {
        if (p < pEnd && *p == U'%') {
            starP = ++p;
            starT = t;
        } else if (p < pEnd && (*p == U'_' || *p == *t)) {
            ++p;
            ++t;
        } else if (starP) {
            p = starP;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pEnd && *p == U'%')
        ++p;
    return p == pEnd;
}

class Statement {
public:
    Statement(sqlite3* db, const QString& sql) {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(db, utf8.constData(), int(utf8.size()), &m_stmt, nullptr) != SQLITE_OK)
            throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

} // namespace

LikePattern::LikePattern(const QString& pattern) : m_pattern(foldQString(pattern)) {
    if (m_pattern.size() >= 2 && m_pattern.front() == U'%' && m_pattern.back() == U'%') {
        std::u32string inner = m_pattern.substr(1, m_pattern.size() - 2);
        if (inner.find_first_of(U"%_") == std::u32string::npos) {
            m_literal = inner;
            m_contains = true;
        }
    }
}

bool LikePattern::matches(const std::u32string& folded) const {
    if (m_contains)
        return m_literal.empty() || folded.find(m_literal) != std::u32string::npos;
    return likeMatch(m_pattern.data(), m_pattern.data() + m_pattern.size(), folded.data(),
                     folded.data() + folded.size());
}

std::u32string LikePattern::fold(std::string_view utf8) {
    return foldQString(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
}

uint32_t TableIndex::Column::idOf(const char* utf8, int bytes, bool isNull) {
    if (isNull)
        return 0;
    const std::string_view view(utf8, size_t(bytes));
    auto it = lookup.find(view);
    if (it != lookup.end())
        return it->second;
    const uint32_t id = uint32_t(folded.size());
    folded.push_back(LikePattern::fold(view));
    lookup.emplace(std::string(view), id);
    return id;
}

TableIndex::TableIndex(sqlite3* db, const QString& table, const QString& key, const QStringList& fields)
    : m_db(db), m_table(table), m_key(key), m_fields(fields), m_columns(size_t(fields.size())) {
    for (Column& c : m_columns)
        c.folded.emplace_back(); // id 0: NULL
}

void TableIndex::build() {
    m_keys.clear();
    for (Column& c : m_columns) {
        c.ids.clear();
        c.lookup.clear();
        c.folded.resize(1);
    }
    QString sql = QStringLiteral("select ") + m_key;
    for (const QString& f : m_fields)
        sql += QStringLiteral(", ") + f;
    sql += QStringLiteral(" from ") + m_table + QStringLiteral(" order by ") + m_key;
    Statement stmt(m_db, sql);
    int rc;
    while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
        m_keys.push_back(sqlite3_column_int64(stmt.get(), 0));
        for (size_t i = 0; i < m_columns.size(); ++i) {
            const int col = int(i) + 1;
            const bool isNull = sqlite3_column_type(stmt.get(), col) == SQLITE_NULL;
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt.get(), col));
            m_columns[i].ids.push_back(
                m_columns[i].idOf(text, sqlite3_column_bytes(stmt.get(), col), isNull));
        }
    }
    if (rc != SQLITE_DONE)
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db)));
    m_touched.clear();
    m_rebuild = false;
}

void TableIndex::touch(int64_t rowid) {
    if (m_rebuild)
        return;
    m_touched.insert(rowid);
    // A bulk write is cheaper to take in with one pass over the table.
    if (m_touched.size() > 20000 && m_touched.size() > m_keys.size() / 10) {
        m_touched.clear();
        m_rebuild = true;
    }
}

void TableIndex::reconcile() {
    if (m_rebuild) {
        build();
        return;
    }
    if (m_touched.empty())
        return;
    const std::set<int64_t> touched = std::move(m_touched);
    m_touched.clear();
    for (int64_t rowid : touched)
        readRow(rowid);
}

void TableIndex::readRow(int64_t rowid) {
    QString sql = QStringLiteral("select ") + m_key;
    for (const QString& f : m_fields)
        sql += QStringLiteral(", ") + f;
    sql += QStringLiteral(" from ") + m_table + QStringLiteral(" where ") + m_key + QStringLiteral(" = ?");
    Statement stmt(m_db, sql);
    sqlite3_bind_int64(stmt.get(), 1, rowid);
    const int rc = sqlite3_step(stmt.get());
    auto at = std::lower_bound(m_keys.begin(), m_keys.end(), rowid);
    const bool present = at != m_keys.end() && *at == rowid;
    const size_t position = size_t(at - m_keys.begin());
    if (rc == SQLITE_ROW) {
        if (!present) {
            m_keys.insert(at, rowid);
            for (Column& c : m_columns)
                c.ids.insert(c.ids.begin() + std::ptrdiff_t(position), 0);
        }
        setRow(position, stmt.get());
    } else if (rc == SQLITE_DONE) {
        if (present) {
            m_keys.erase(at);
            for (Column& c : m_columns)
                c.ids.erase(c.ids.begin() + std::ptrdiff_t(position));
        }
    } else {
        throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db)));
    }
}

void TableIndex::setRow(size_t position, void* statement) {
    auto* stmt = static_cast<sqlite3_stmt*>(statement);
    for (size_t i = 0; i < m_columns.size(); ++i) {
        const int col = int(i) + 1;
        const bool isNull = sqlite3_column_type(stmt, col) == SQLITE_NULL;
        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
        m_columns[i].ids[position] = m_columns[i].idOf(text, sqlite3_column_bytes(stmt, col), isNull);
    }
}

std::vector<int64_t> TableIndex::keysDescending() const {
    return {m_keys.rbegin(), m_keys.rend()};
}

std::vector<int64_t> TableIndex::match(const QString& field, const QString& pattern) const {
    const LikePattern like(pattern);
    std::vector<int64_t> out;
    if (field == m_key) {
        char buf[24];
        std::u32string text;
        for (auto it = m_keys.rbegin(); it != m_keys.rend(); ++it) {
            const int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(*it));
            text.assign(buf, buf + n);
            if (like.matches(text))
                out.push_back(*it);
        }
        return out;
    }
    const Column& column = m_columns[size_t(m_fields.indexOf(field))];
    std::vector<char> hit(column.folded.size(), 0);
    for (size_t id = 1; id < column.folded.size(); ++id)
        hit[id] = like.matches(column.folded[id]) ? 1 : 0;
    for (size_t i = m_keys.size(); i-- > 0;)
        if (hit[column.ids[i]])
            out.push_back(m_keys[i]);
    return out;
}

namespace {
// "delete from t" without a condition would empty the table without telling the update hook;
// answering SQLITE_IGNORE for deletes makes the database delete row by row instead.
int authorize(void*, int action, const char* table, const char*, const char*, const char*) {
    const bool userTable = table && std::strncmp(table, "sqlite_", 7) != 0;
    return action == SQLITE_DELETE && userTable ? SQLITE_IGNORE : SQLITE_OK;
}
} // namespace

TableIndexes::TableIndexes(sqlite3* db) : m_db(db) {
    sqlite3_update_hook(db, &TableIndexes::onWrite, this);
    sqlite3_set_authorizer(db, &authorize, nullptr);
}

TableIndexes::~TableIndexes() {
    sqlite3_update_hook(m_db, nullptr, nullptr);
    sqlite3_set_authorizer(m_db, nullptr, nullptr);
}

TableIndex* TableIndexes::add(const QString& table, const QString& key, const QStringList& fields) {
    m_indexes.push_back(std::make_unique<TableIndex>(m_db, table, key, fields));
    m_indexes.back()->build();
    return m_indexes.back().get();
}

TableIndex* TableIndexes::find(const QString& table) const {
    for (const auto& index : m_indexes)
        if (index->table() == table)
            return index.get();
    return nullptr;
}

void TableIndexes::onWrite(void* self, int, const char*, const char* table, long long rowid) {
    auto* indexes = static_cast<TableIndexes*>(self);
    const QLatin1String name(table);
    for (const auto& index : indexes->m_indexes)
        if (index->table() == name)
            index->touch(rowid);
}

sqlite3* nativeHandle(const QString& connection) {
    const QVariant handle = QSqlDatabase::database(connection, false).driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3* const*>(handle.constData());
    throw DatabaseError(QStringLiteral("no SQLite handle for %1").arg(connection));
}
