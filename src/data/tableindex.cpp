#include "data/tableindex.h"

#include "core/errors.h"
#include "data/database.h"
#include "data/rawstatement.h"
#include "data/work.h"

#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <sqlite3.h>
#include <thread>

namespace {

char foldByte(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
}

std::u32string wide(std::string_view utf8) {
    std::u32string out;
    for (char32_t c : QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU32String())
        out.push_back((c >= 'A' && c <= 'Z') ? c + 32 : c);
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

uint64_t hashOf(std::string_view s) {
    uint64_t h = 1469598103934665603ULL; // FNV-1a
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ULL;
    return h;
}

std::string_view columnText(sqlite3_stmt* stmt, int col) {
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    return text ? std::string_view(text, size_t(sqlite3_column_bytes(stmt, col))) : std::string_view();
}

} // namespace

LikePattern::LikePattern(const QString& pattern) {
    const QByteArray utf8 = pattern.toUtf8();
    for (char c : utf8) {
        m_folded.push_back(foldByte(c));
        m_asciiLetters = m_asciiLetters || (foldByte(c) >= 'a' && foldByte(c) <= 'z');
    }
    if (m_folded.size() >= 2 && m_folded.front() == '%' && m_folded.back() == '%') {
        const std::string inner = m_folded.substr(1, m_folded.size() - 2);
        if (inner.find_first_of("%_") == std::string::npos) {
            m_literal = inner;
            m_contains = true;
        }
    }
    if (!m_contains)
        m_wide = wide(m_folded);
}

bool LikePattern::matches(std::string_view text) const {
    if (m_contains) {
        if (m_literal.empty())
            return true;
        if (!m_asciiLetters)
            return text.find(m_literal) != std::string_view::npos;
        // UTF-8 keeps every byte of a multi-byte character above 0x7F, so folding the ASCII
        // bytes and searching bytes finds exactly the character sequences.
        std::string folded(text);
        for (char& c : folded)
            c = foldByte(c);
        return folded.find(m_literal) != std::string::npos;
    }
    const std::u32string t = wide(text);
    return likeMatch(m_wide.data(), m_wide.data() + m_wide.size(), t.data(), t.data() + t.size());
}

TextPool::TextPool() : m_offsets{0, 0}, m_slots(1024, 0) {} // id 0: NULL

uint32_t TextPool::intern(std::string_view utf8) {
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hashOf(utf8) & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = m_slots[slot];
        if (entry == 0) {
            const uint32_t id = uint32_t(size());
            m_arena.append(utf8);
            m_offsets.push_back(uint32_t(m_arena.size()));
            m_slots[slot] = id + 1;
            if (size() * 2 > m_slots.size())
                grow();
            return id;
        }
        if (entry - 1 != 0 && text(entry - 1) == utf8)
            return entry - 1;
    }
}

void TextPool::grow() {
    std::vector<uint32_t> fresh(m_slots.size() * 2, 0);
    const size_t mask = fresh.size() - 1;
    for (uint32_t id = 1; id < size(); ++id) {
        size_t slot = hashOf(text(id)) & mask;
        while (fresh[slot] != 0)
            slot = (slot + 1) & mask;
        fresh[slot] = id + 1;
    }
    m_slots.swap(fresh);
}

TableIndex::TableIndex(IndexSource* source, TextPool* pool, const QString& table, const QString& key,
                       const QStringList& fields)
    : m_source(source), m_pool(pool), m_table(table), m_key(key), m_fields(fields),
      m_ids(size_t(fields.size())), m_nulls(size_t(fields.size()), 0) {}

QString TableIndex::selectFields() const {
    QString sql = QStringLiteral("select ") + m_key;
    for (const QString& f : m_fields)
        sql += QStringLiteral(", ") + f;
    return sql + QStringLiteral(" from ") + m_table;
}

void TableIndex::clearRows(size_t reserve) {
    std::vector<int64_t>().swap(m_keys);
    m_keysDense = true;
    m_denseFirst = 0;
    m_denseCount = 0;
    m_nulls.assign(m_ids.size(), 0);
    for (auto& ids : m_ids) {
        std::vector<uint32_t>().swap(ids);
        ids.reserve(reserve);
    }
}

void TableIndex::appendRow(int64_t key, const std::string_view* texts, const bool* nulls, size_t reserve) {
    if (m_keysDense && m_denseCount == 0)
        m_denseFirst = key;
    if (m_keysDense && key != m_denseFirst + int64_t(m_denseCount)) {
        m_keys.reserve(reserve);
        storeKeys();
    }
    if (m_keysDense)
        ++m_denseCount;
    else
        m_keys.push_back(key);
    for (size_t i = 0; i < m_ids.size(); ++i) {
        m_nulls[i] += nulls[i] ? 1 : 0;
        m_ids[i].push_back(nulls[i] ? 0 : m_pool->intern(texts[i]));
    }
}

void TableIndex::build() {
    // Sized once from the count: growing by doubling would hold two copies at the peak.
    const size_t rows = size_t(extent().count) + 16;
    clearRows(rows);
    // Rows announced while the table is read are read again afterwards.
    m_touched.clear();
    m_rebuild = false;
    m_reading = 0;
    m_source->rows(selectFields() + QStringLiteral(" order by ") + m_key, int(m_fields.size()),
                   [&](int64_t key, const std::string_view* texts, const bool* nulls) {
                       appendRow(key, texts, nulls, rows);
                   });
    m_built = true;
}

void TableIndex::written(int op, int64_t rowid) {
    if (m_extentKnown) {
        Extent& e = m_extent;
        if (op == SQLITE_INSERT) {
            e.dense = e.dense && (e.count == 0 || rowid == e.max + 1);
            e.max = e.count == 0 ? rowid : std::max(e.max, rowid);
            ++e.count;
        } else if (op == SQLITE_DELETE) {
            e.dense = e.dense && rowid == e.max;
            if (e.dense)
                --e.max;
            --e.count;
            if (e.count == 0)
                e.dense = true;
        }
    }
    touch(rowid);
}

void TableIndex::touch(int64_t rowid) {
    // While the table is read elsewhere, the rows written meanwhile are noted too.
    if ((!m_built && m_reading == 0) || m_rebuild)
        return;
    m_touched.insert(rowid);
    // A bulk write is cheaper to take in with one pass over the table.
    if (m_touched.size() > 20000 && m_touched.size() > keyCount() / 10) {
        m_touched.clear();
        m_rebuild = true;
    }
}

void TableIndex::follow(const Db::Change& change) {
    if (m_source->hooked() || change.table != m_table)
        return;
    if (change.anyRow) {
        invalidate();
        return;
    }
    // Looked up once per key: an import names thousands.
    const QSet<qint64> added(change.added.cbegin(), change.added.cend());
    for (qint64 key : change.keys) {
        touch(key);
        if (!m_extentKnown)
            continue;
        // Without the table read, the count follows the added rows; a deletion makes it unknown.
        if (added.contains(key)) {
            Extent& e = m_extent;
            e.dense = e.dense && (e.count == 0 || key == e.max + 1);
            e.max = e.count == 0 ? key : std::max<int64_t>(e.max, key);
            ++e.count;
        } else if (change.removed) {
            m_extentKnown = false;
        }
    }
}

void TableIndex::invalidate() {
    // Read again when next needed (or on a thread of its own, see beginRead).
    m_extentKnown = false;
    m_touched.clear();
    m_reading = 0;
    m_built = false;
    m_rebuild = false;
}

void TableIndex::abandonRead(uint64_t read) {
    if (read != 0 && read == m_reading) {
        m_reading = 0;
        m_touched.clear();
    }
}

uint64_t TableIndex::beginRead() {
    static uint64_t reads = 0;
    m_touched.clear();
    m_reading = ++reads;
    return m_reading;
}

TableIndex::Rows TableIndex::read(IndexSource& source) const {
    Rows rows;
    const size_t n = size_t(m_fields.size());
    rows.arenas.resize(n);
    rows.ends.resize(n);
    rows.nulls.resize(n);
    source.rows(selectFields() + QStringLiteral(" order by ") + m_key, int(n),
                [&](int64_t key, const std::string_view* texts, const bool* nulls) {
                    rows.keys.push_back(key);
                    for (size_t i = 0; i < n; ++i) {
                        rows.arenas[i].append(texts[i]);
                        rows.ends[i].push_back(uint32_t(rows.arenas[i].size()));
                        rows.nulls[i].push_back(nulls[i]);
                    }
                });
    return rows;
}

bool TableIndex::adopt(uint64_t read, const Rows& rows) {
    if (read == 0 || read != m_reading)
        return false;
    if (m_built || m_rebuild) { // read meanwhile, or too much written meanwhile: read when needed
        m_reading = 0;
        return false;
    }
    const size_t n = m_ids.size();
    clearRows(rows.keys.size() + 16);
    std::vector<std::string_view> texts(n + 1);
    std::unique_ptr<bool[]> nulls(new bool[n + 1]);
    for (size_t r = 0; r < rows.keys.size(); ++r) {
        for (size_t i = 0; i < n; ++i) {
            const uint32_t from = r == 0 ? 0 : rows.ends[i][r - 1];
            nulls[i] = rows.nulls[i][r];
            texts[i] = std::string_view(rows.arenas[i]).substr(from, rows.ends[i][r] - from);
        }
        appendRow(rows.keys[r], texts.data(), nulls.get(), rows.keys.size() + 16);
    }
    // The rows announced while the table was read are read again at the next use.
    m_reading = 0;
    m_built = true;
    return true;
}

void TableIndex::rolledBack() {
    // The written rows are read again anyway; the extent is counted again.
    m_extentKnown = false;
}

void TableIndex::reconcile() {
    if (!m_built || m_rebuild) {
        build();
        return;
    }
    if (m_touched.empty())
        return;
    const std::vector<int64_t> touched(m_touched.begin(), m_touched.end());
    m_touched.clear();
    readRows(touched);
}

void TableIndex::readRows(const std::vector<int64_t>& keys) {
    // A few hundred keys a statement, in ascending order (rows added at the end keep the keys a
    // range); the keys are numbers, written into the statement as such.
    constexpr size_t Batch = 500;
    for (size_t from = 0; from < keys.size(); from += Batch) {
        const size_t to = std::min(keys.size(), from + Batch);
        QStringList list;
        for (size_t i = from; i < to; ++i)
            list << QString::number(keys[i]);
        std::set<int64_t> missing(keys.begin() + std::ptrdiff_t(from), keys.begin() + std::ptrdiff_t(to));
        m_source->rows(
            selectFields() +
                QStringLiteral(" where %1 in (%2) order by %1").arg(m_key, list.join(QLatin1Char(','))),
            int(m_fields.size()), [&](int64_t key, const std::string_view* texts, const bool* nulls) {
                missing.erase(key);
                const auto [position, present] = findKey(key);
                if (!present) {
                    insertKey(position, key);
                    for (size_t i = 0; i < m_ids.size(); ++i) {
                        m_ids[i].insert(m_ids[i].begin() + std::ptrdiff_t(position), 0);
                        ++m_nulls[i];
                    }
                }
                setRow(position, texts, nulls);
            });
        for (int64_t key : missing) {
            const auto [position, present] = findKey(key);
            if (!present)
                continue;
            eraseKey(position);
            for (size_t i = 0; i < m_ids.size(); ++i) {
                m_nulls[i] -= m_ids[i][position] == 0 ? 1 : 0;
                m_ids[i].erase(m_ids[i].begin() + std::ptrdiff_t(position));
            }
        }
    }
}

void TableIndex::setRow(size_t position, const std::string_view* texts, const bool* nulls) {
    for (size_t i = 0; i < m_ids.size(); ++i) {
        m_nulls[i] -= m_ids[i][position] == 0 ? 1 : 0;
        m_ids[i][position] = nulls[i] ? 0 : m_pool->intern(texts[i]);
        m_nulls[i] += m_ids[i][position] == 0 ? 1 : 0;
    }
}

std::pair<size_t, bool> TableIndex::findKey(int64_t key) const {
    if (m_keysDense) {
        if (m_denseCount == 0 || key < m_denseFirst)
            return {0, false};
        const size_t position = size_t(std::min<int64_t>(key - m_denseFirst, int64_t(m_denseCount)));
        return {position, position < m_denseCount};
    }
    const auto at = std::lower_bound(m_keys.begin(), m_keys.end(), key);
    return {size_t(at - m_keys.begin()), at != m_keys.end() && *at == key};
}

void TableIndex::insertKey(size_t position, int64_t key) {
    if (m_keysDense && m_denseCount == 0)
        m_denseFirst = key;
    if (m_keysDense && position == m_denseCount && key == m_denseFirst + int64_t(m_denseCount)) {
        ++m_denseCount;
        return;
    }
    storeKeys();
    m_keys.insert(m_keys.begin() + std::ptrdiff_t(position), key);
}

void TableIndex::eraseKey(size_t position) {
    if (m_keysDense && (position + 1 == m_denseCount || position == 0)) {
        if (position == 0)
            ++m_denseFirst;
        --m_denseCount;
        return;
    }
    storeKeys();
    m_keys.erase(m_keys.begin() + std::ptrdiff_t(position));
}

void TableIndex::storeKeys() {
    if (!m_keysDense)
        return;
    m_keys.reserve(std::max(m_keys.capacity(), m_denseCount + 1));
    for (size_t i = 0; i < m_denseCount; ++i)
        m_keys.push_back(m_denseFirst + int64_t(i));
    m_keysDense = false;
}

TableIndex::Extent TableIndex::extent() {
    // Without hooks, the index once read knows the table best: it is brought up to date with the
    // announced rows instead of counting the table again.
    if (!m_source->hooked() && m_built && !m_rebuild) {
        reconcile();
        Extent e;
        e.count = int64_t(keyCount());
        e.max = keyCount() == 0 ? 0 : keyAt(keyCount() - 1);
        e.dense = m_keysDense;
        return e;
    }
    if (m_extentKnown)
        return m_extent;
    const IndexSource::Bounds b = m_source->bounds(m_table, m_key);
    Extent e;
    e.count = b.count;
    e.max = b.max;
    e.dense = e.count == 0 || e.max - b.min + 1 == e.count;
    // Kept in step from here on, unless a transaction is rolled back.
    if (m_source->settled()) {
        m_extent = e;
        m_extentKnown = true;
    }
    return e;
}

std::vector<int64_t> TableIndex::keysDescending() {
    if (m_built) {
        reconcile();
        std::vector<int64_t> keys(keyCount());
        for (size_t i = 0; i < keys.size(); ++i)
            keys[i] = keyAt(keys.size() - 1 - i);
        return keys;
    }
    std::vector<int64_t> keys;
    m_source->rows(QStringLiteral("select %1 from %2 order by %1 desc").arg(m_key, m_table), 0,
                   [&](int64_t key, const std::string_view*, const bool*) { keys.push_back(key); });
    return keys;
}

std::vector<int64_t> TableIndex::match(const QString& field, const QString& pattern) {
    reconcile();
    const LikePattern like(pattern);
    std::vector<int64_t> out;
    if (field == m_key) {
        char buf[24];
        for (size_t i = keyCount(); i-- > 0;) {
            const int64_t key = keyAt(i);
            const int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(key));
            if (like.matches(std::string_view(buf, size_t(n))))
                out.push_back(key);
        }
        return out;
    }
    const std::vector<uint32_t>& ids = m_ids[size_t(m_fields.indexOf(field))];
    const size_t n = keyCount();
    // A long table is read by two threads, each over one half of the rows (the machine's two
    // cores): the upper half's keys come first, as the list is newest first.
    const size_t half = n >= std::max<size_t>(s_parallelRows, 2) ? n / 2 : 0;
    auto both = [&](auto&& work) {
        if (half == 0) {
            work(0, n, 0);
            return;
        }
        std::thread upper([&] { work(half, n, 1); });
        work(0, half, 0);
        upper.join();
    };
    // Each distinct text of the field is tested once; NULL (id 0) never matches. The texts the
    // field uses are marked first (each thread marks its half: the same value, so relaxed stores).
    std::vector<char> hit(m_pool->size(), 0);
    both([&](size_t from, size_t to, int) {
        for (size_t i = from; i < to; ++i)
            std::atomic_ref<char>(hit[ids[i]]).store(2, std::memory_order_relaxed);
    });
    // The texts are tested in two threads as well, each over half of them (a pattern keeps no
    // state while it matches).
    const auto test = [&](size_t from, size_t to) {
        for (size_t id = from; id < to; ++id)
            if (hit[id])
                hit[id] = like.matches(m_pool->text(uint32_t(id))) ? 1 : 0;
    };
    if (half == 0) {
        test(1, hit.size());
    } else {
        const size_t middle = hit.size() / 2;
        std::thread upper([&] { test(std::max<size_t>(middle, 1), hit.size()); });
        test(1, std::max<size_t>(middle, 1));
        upper.join();
    }
    hit[0] = 0;
    // Counted first, so the result is allocated once at its size; each half then writes its keys
    // into its own part of it.
    size_t counts[2] = {0, 0};
    both([&](size_t from, size_t to, int part) {
        size_t found = 0;
        for (size_t i = from; i < to; ++i)
            found += size_t(hit[ids[i]]);
        counts[part] = found;
    });
    out.resize(counts[0] + counts[1]);
    both([&](size_t from, size_t to, int part) {
        int64_t* at = out.data() + (part == 1 ? 0 : counts[1]);
        for (size_t i = to; i-- > from;)
            if (hit[ids[i]])
                *at++ = keyAt(i);
    });
    return out;
}

bool TableIndex::anyNull(const QString& field) {
    reconcile();
    // A key is never NULL.
    return field != m_key && m_nulls[size_t(m_fields.indexOf(field))] > 0;
}

std::vector<int64_t> TableIndex::equal(const QString& field, const QString& text) {
    reconcile();
    const QByteArray utf8 = text.toUtf8();
    const std::string_view wanted(utf8.constData(), size_t(utf8.size()));
    std::vector<int64_t> out;
    const std::vector<uint32_t>& ids = m_ids[size_t(m_fields.indexOf(field))];
    for (size_t i = keyCount(); i-- > 0;)
        if (ids[i] != 0 && m_pool->text(ids[i]) == wanted)
            out.push_back(keyAt(i));
    return out;
}

namespace {
// "delete from t" without a condition would empty the table without telling the update hook;
// answering SQLITE_IGNORE for deletes makes the database delete row by row instead. Tables of the
// temporary store (the ledger check's scratch tables) are no lists and are emptied at once.
int authorize(void*, int action, const char* table, const char*, const char* database, const char*) {
    const bool userTable =
        table && std::strncmp(table, "sqlite_", 7) != 0 && !(database && std::strcmp(database, "temp") == 0);
    return action == SQLITE_DELETE && userTable ? SQLITE_IGNORE : SQLITE_OK;
}
} // namespace

namespace {

class FileSource : public IndexSource {
public:
    explicit FileSource(sqlite3* db) : m_db(db) {}
    void rows(const QString& sql, int textColumns, const Row& row) override {
        RawStatement stmt(m_db, sql);
        std::vector<std::string_view> texts(size_t(textColumns) + 1);
        std::unique_ptr<bool[]> nulls(new bool[size_t(textColumns) + 1]);
        int rc;
        while ((rc = sqlite3_step(stmt.get())) == SQLITE_ROW) {
            for (int i = 0; i < textColumns; ++i) {
                nulls[size_t(i)] = sqlite3_column_type(stmt.get(), i + 1) == SQLITE_NULL;
                texts[size_t(i)] = nulls[size_t(i)] ? std::string_view() : columnText(stmt.get(), i + 1);
            }
            row(sqlite3_column_int64(stmt.get(), 0), texts.data(), nulls.get());
        }
        if (rc != SQLITE_DONE)
            stmt.fail();
    }
    Bounds bounds(const QString& table, const QString& key) override {
        // The count the file keeps (a table without one is counted); the lowest and the highest
        // key are each one step down the table's tree.
        RawStatement stmt(m_db, QStringLiteral("select coalesce((select n from row_counts where t = '%2'), "
                                               "(select count(*) from %2)), (select min(%1) from %2), "
                                               "(select max(%1) from %2)")
                                    .arg(key, table));
        if (sqlite3_step(stmt.get()) != SQLITE_ROW)
            stmt.fail();
        return {sqlite3_column_int64(stmt.get(), 0), sqlite3_column_int64(stmt.get(), 1),
                sqlite3_column_int64(stmt.get(), 2)};
    }
    bool settled() override { return sqlite3_get_autocommit(m_db) != 0; }
    bool hooked() const override { return true; }

private:
    sqlite3* m_db;
};

class ServerSource : public IndexSource {
public:
    explicit ServerSource(const QString& connection) : m_connection(connection) {}
    void rows(const QString& sql, int textColumns, const Row& row) override {
        QSqlQuery query(QSqlDatabase::database(m_connection, false));
        query.setForwardOnly(true);
        if (!query.exec(sql))
            throw Db::failure(query.lastError());
        std::vector<QByteArray> utf8(size_t(textColumns) + 1);
        std::vector<std::string_view> texts(size_t(textColumns) + 1);
        std::unique_ptr<bool[]> nulls(new bool[size_t(textColumns) + 1]);
        while (query.next()) {
            for (int i = 0; i < textColumns; ++i) {
                const QVariant value = query.value(i + 1);
                nulls[size_t(i)] = value.isNull();
                utf8[size_t(i)] = nulls[size_t(i)] ? QByteArray() : value.toString().toUtf8();
                texts[size_t(i)] =
                    std::string_view(utf8[size_t(i)].constData(), size_t(utf8[size_t(i)].size()));
            }
            row(query.value(0).toLongLong(), texts.data(), nulls.get());
        }
        if (query.lastError().isValid())
            throw Db::failure(query.lastError());
    }
    Bounds bounds(const QString& table, const QString& key) override {
        QSqlQuery query =
            Db::exec(QSqlDatabase::database(m_connection, false),
                     QStringLiteral("select count(*), coalesce(min(%1), 0), coalesce(max(%1), 0) "
                                    "from %2")
                         .arg(key, table));
        if (!query.next())
            throw Db::failure(query.lastError());
        return {query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toLongLong()};
    }
    bool settled() override { return true; }
    bool hooked() const override { return false; }

private:
    QString m_connection;
};

} // namespace

std::unique_ptr<IndexSource> IndexSource::server(const QString& connection) {
    return std::make_unique<ServerSource>(connection);
}

TableIndexes::TableIndexes(sqlite3* db) : m_db(db), m_source(std::make_unique<FileSource>(db)) {
    sqlite3_update_hook(db, &TableIndexes::onWrite, this);
    sqlite3_rollback_hook(db, &TableIndexes::onRollback, this);
    sqlite3_set_authorizer(db, &authorize, nullptr);
}

TableIndexes::TableIndexes(const QString& connection) : m_source(IndexSource::server(connection)) {}

TableIndexes::~TableIndexes() {
    if (!m_db)
        return;
    sqlite3_update_hook(m_db, nullptr, nullptr);
    sqlite3_rollback_hook(m_db, nullptr, nullptr);
    sqlite3_set_authorizer(m_db, nullptr, nullptr);
}

TableIndex* TableIndexes::add(const QString& table, const QString& key, const QStringList& fields) {
    m_indexes.push_back(std::make_unique<TableIndex>(m_source.get(), &m_pool, table, key, fields));
    return m_indexes.back().get();
}

TableIndex* TableIndexes::of(const QString& table) const {
    for (const auto& index : m_indexes)
        if (index->table() == table)
            return index.get();
    return nullptr;
}

void TableIndexes::onWrite(void* self, int op, const char*, const char* table, long long rowid) {
    auto* indexes = static_cast<TableIndexes*>(self);
    const QLatin1String name(table);
    for (const auto& index : indexes->m_indexes)
        if (index->table() == name)
            index->written(op, rowid);
}

void TableIndexes::onRollback(void* self) {
    for (const auto& index : static_cast<TableIndexes*>(self)->m_indexes)
        index->rolledBack();
}
