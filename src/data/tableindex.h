#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace Db {
struct Change;
}

// SQL LIKE as the database evaluates it: "%" any run of characters, "_" any one character,
// ASCII letters without regard to case, everything else exactly. Texts are UTF-8.
class LikePattern {
public:
    explicit LikePattern(const QString& pattern);
    bool matches(std::string_view utf8) const;

private:
    std::string m_folded;  // the pattern, ASCII letters in lower case
    std::string m_literal; // the text between "%…%" when there is no other wildcard
    bool m_contains = false;
    bool m_asciiLetters = false;
    std::u32string m_wide; // the pattern as characters, for "_" and inner "%"
};

// The distinct texts of the searched fields, each kept once for all the tables (a product name
// appears in the products, the stock-in and the stock-out records): id 0 stands for NULL.
class TextPool {
public:
    TextPool();
    uint32_t intern(std::string_view utf8);
    std::string_view text(uint32_t id) const {
        return std::string_view(m_arena).substr(m_offsets[id], m_offsets[id + 1] - m_offsets[id]);
    }
    size_t size() const { return m_offsets.size() - 1; }

private:
    void grow();
    std::string m_arena;
    std::vector<uint32_t> m_offsets; // text i is m_arena[m_offsets[i], m_offsets[i + 1])
    std::vector<uint32_t> m_slots;   // open addressing: id + 1, 0 when free
};

// Where the indexes read the business tables: the file through its SQLite handle, or the ledger
// on a database server through the connection's driver.
class IndexSource {
public:
    virtual ~IndexSource() = default;
    // Each row of a select whose first column is an integer key and whose other columns are
    // texts: its key, and per text column its UTF-8 text and whether it is NULL.
    using Row = std::function<void(int64_t key, const std::string_view* texts, const bool* nulls)>;
    virtual void rows(const QString& sql, int textColumns, const Row& row) = 0;
    // The number of rows of the table and its lowest and highest key.
    struct Bounds {
        int64_t count = 0;
        int64_t min = 0;
        int64_t max = 0;
    };
    virtual Bounds bounds(const QString& table, const QString& key) = 0;
    // What was just read may be kept: no transaction is open that may yet roll it back.
    virtual bool settled() = 0;
    // The database itself tells the indexes of every row written (a file's update hook). Otherwise
    // they follow the changes the operations announce (this till's and, through the server's
    // notifications, the other tills').
    virtual bool hooked() const = 0;
    // The ledger's tables on a server, read through the named connection.
    static std::unique_ptr<IndexSource> server(const QString& connection);
};

// An in-memory index of one table of the business file: its keys in ascending order and the
// values of the fields that the lists search, so a list can be counted, searched and paged
// without reading the table. It is told of every row written (by the file's update hook, or by
// the announced changes on a server); the rows it was told of are read again before the index is
// next used.
class TableIndex {
public:
    TableIndex(IndexSource* source, TextPool* pool, const QString& table, const QString& key,
               const QStringList& fields);

    const QString& table() const { return m_table; }
    const QString& key() const { return m_key; }
    bool covers(const QString& field) const { return field == m_key || m_fields.contains(field); }

    // Reads the whole table; done at the first search, or early when the program is idle.
    void build();
    bool isBuilt() const { return m_built; }
    // Builds the index, or brings it up to date with the rows written since it was last used.
    void reconcile();

    // The table as a whole: the number of rows, the highest key, and whether the keys run
    // without gaps (then the i-th row from the top has the key max - i). Read through the key
    // index once, then kept in step with the writes.
    struct Extent {
        int64_t count = 0;
        int64_t max = 0;
        bool dense = false;
    };
    Extent extent();
    std::vector<int64_t> keysDescending();
    // The keys, newest first, of the rows whose field matches the LIKE pattern.
    std::vector<int64_t> match(const QString& field, const QString& pattern);
    // Whether some row's field is NULL; kept in step with the writes, so this costs nothing.
    bool anyNull(const QString& field);
    // The keys, newest first, of the rows whose field holds exactly the text.
    std::vector<int64_t> equal(const QString& field, const QString& text);

    // From this many rows on, a search reads the rows in two threads (a million by default).
    static void setParallelRows(size_t rows) { s_parallelRows = rows; }

    // From the database's hooks.
    void written(int op, int64_t rowid);
    void rolledBack();
    // On a server: a committed change of the table, this till's or another's.
    void follow(const Db::Change& change);
    // A server's table is read on a thread of its own (over a connection of that thread) and taken
    // in on the index's thread: beginRead numbers the read, from then on the rows announced are
    // noted and read again once it is taken in; read() runs on the other thread (it uses nothing
    // the index changes); adopt() takes the rows in, unless the index was read or cleared in
    // between (then false).
    struct Rows {
        std::vector<int64_t> keys;
        std::vector<std::string> arenas;         // per field, its texts one after another
        std::vector<std::vector<uint32_t>> ends; // per field and row, where its text ends
        std::vector<std::vector<bool>> nulls;
    };
    uint64_t beginRead();
    Rows read(IndexSource& source) const;
    bool adopt(uint64_t read, const Rows& rows);
    // The read could not be made: the index is read when next needed.
    void abandonRead(uint64_t read);
    bool isReading() const { return m_reading != 0; }

    // On a server: rows may have changed without being announced (a write by another program, a
    // connection that missed notifications); the table is read again when next needed.
    void invalidate();

private:
    void touch(int64_t rowid);
    // Empties the index, and adds a row after the last (a read in ascending key order).
    void clearRows(size_t reserve);
    void appendRow(int64_t key, const std::string_view* texts, const bool* nulls, size_t reserve);
    // Reads the rows of the keys again: present ones are taken in, missing ones taken out.
    void readRows(const std::vector<int64_t>& keys);
    void setRow(size_t position, const std::string_view* texts, const bool* nulls);
    QString selectFields() const;
    // The keys in ascending order. While they run without gaps from the first one (the usual
    // case: rows are only ever added at the end) they are not stored, only their first and count.
    size_t keyCount() const { return m_keysDense ? m_denseCount : m_keys.size(); }
    int64_t keyAt(size_t position) const {
        return m_keysDense ? m_denseFirst + int64_t(position) : m_keys[position];
    }
    // The position of the key, or where it would go; and whether it is there.
    std::pair<size_t, bool> findKey(int64_t key) const;
    void insertKey(size_t position, int64_t key);
    void eraseKey(size_t position);
    void storeKeys();

    static inline size_t s_parallelRows = size_t(1) << 20;

    IndexSource* m_source;
    TextPool* m_pool;
    QString m_table, m_key;
    QStringList m_fields;
    std::vector<int64_t> m_keys;
    bool m_keysDense = true;
    int64_t m_denseFirst = 0;
    size_t m_denseCount = 0;
    std::vector<std::vector<uint32_t>> m_ids; // per field, per key: the text's id in the pool
    std::vector<size_t> m_nulls;              // per field: the rows where it is NULL (id 0)
    std::set<int64_t> m_touched;
    bool m_rebuild = false;
    bool m_built = false;
    uint64_t m_reading = 0; // the read under way elsewhere
    Extent m_extent;
    bool m_extentKnown = false;
};

// The indexes of the business tables and what keeps them in step with every write.
class TableIndexes {
public:
    // The business file's: the file's hooks tell them of every write.
    explicit TableIndexes(sqlite3* db);
    // A server's, read through the named connection: they follow the announced changes.
    explicit TableIndexes(const QString& connection);
    ~TableIndexes();
    TableIndex* add(const QString& table, const QString& key, const QStringList& fields);
    const std::vector<std::unique_ptr<TableIndex>>& all() const { return m_indexes; }
    TableIndex* of(const QString& table) const;

private:
    static void onWrite(void* self, int op, const char* database, const char* table, long long rowid);
    static void onRollback(void* self);
    sqlite3* m_db = nullptr;
    std::unique_ptr<IndexSource> m_source;
    TextPool m_pool;
    std::vector<std::unique_ptr<TableIndex>> m_indexes;
};
