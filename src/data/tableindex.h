#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct sqlite3;

// SQL LIKE as the database evaluates it: "%" any run of characters, "_" any one character,
// ASCII letters without regard to case, everything else exactly.
class LikePattern {
public:
    explicit LikePattern(const QString& pattern);
    bool matches(const std::u32string& foldedText) const;
    static std::u32string fold(std::string_view utf8);

private:
    std::u32string m_pattern;
    std::u32string m_literal; // set when the pattern is "%literal%" without other wildcards
    bool m_contains = false;
};

// An in-memory index of one table of the business file: its keys in ascending order and the
// values of the fields that the lists search, so a list can be counted, searched and paged
// without reading the table. The database tells it of every row written (update hook); the
// rows it was told of are read again before the index is next used.
class TableIndex {
public:
    TableIndex(sqlite3* db, const QString& table, const QString& key, const QStringList& fields);

    const QString& table() const { return m_table; }
    const QString& key() const { return m_key; }
    bool covers(const QString& field) const { return field == m_key || m_fields.contains(field); }

    void build();
    void touch(int64_t rowid);
    // Brings the index up to date with the rows written since it was last used.
    void reconcile();

    size_t size() const { return m_keys.size(); }
    std::vector<int64_t> keysDescending() const;
    // The keys, newest first, of the rows whose field matches the LIKE pattern.
    std::vector<int64_t> match(const QString& field, const QString& pattern) const;

private:
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
    };
    struct Column {
        std::vector<uint32_t> ids;          // per key; 0 means NULL
        std::vector<std::u32string> folded; // per id, for matching
        std::unordered_map<std::string, uint32_t, Hash, std::equal_to<>> lookup;
        uint32_t idOf(const char* utf8, int bytes, bool isNull);
    };
    void readRow(int64_t rowid);
    void setRow(size_t position, void* statement);

    sqlite3* m_db;
    QString m_table, m_key;
    QStringList m_fields;
    std::vector<int64_t> m_keys;
    std::vector<Column> m_columns;
    std::set<int64_t> m_touched;
    bool m_rebuild = false;
};

// The indexes of the business file and the hook that keeps them in step with every write.
class TableIndexes {
public:
    explicit TableIndexes(sqlite3* db);
    ~TableIndexes();
    TableIndex* add(const QString& table, const QString& key, const QStringList& fields);
    TableIndex* find(const QString& table) const;

private:
    static void onWrite(void* self, int op, const char* database, const char* table, long long rowid);
    sqlite3* m_db;
    std::vector<std::unique_ptr<TableIndex>> m_indexes;
};

// The native handle of an open SQLite connection.
sqlite3* nativeHandle(const QString& connection);
