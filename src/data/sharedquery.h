#pragma once

#include "data/database.h"
#include "data/work.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class TableIndex;

// A query over one table that every view bound to it shares: its statement, its rows and its
// current row. The lists, data labels and pick lists of all windows show these, so a reset or a
// move made by one window is seen by every other.
//
// The conventions: reset (close, set a new statement, open; the first row becomes current),
// refresh (re-run the present statement), search (a LIKE pattern on one field with the typed text
// bound as a parameter), look-up (rows whose field equals a value).
class SharedQuery : public QAbstractTableModel {
    Q_OBJECT
    Q_PROPERTY(QString statement READ statement)
    Q_PROPERTY(bool active READ isOpen)
    Q_PROPERTY(int recordCount READ recordCountOrMinusOne)
    Q_PROPERTY(int currentRow READ currentRow WRITE setCurrentRow NOTIFY currentRowChanged)

public:
    enum class State { Browse, Insert, Edit };

    SharedQuery(const QString& name, const QString& connection, const QString& table, const QString& key,
                QObject* parent = nullptr);
    ~SharedQuery() override;

    // What the one at the till may not read (cost prices): the fields of a table that no list
    // over it reads, a policy the ledger hands in. Asked at every open; a statement that reads
    // every field of its table ("select * from ab ...", "select *, ... from ab ...") then names
    // the other fields instead, so the withheld ones never leave the database.
    using Withholding = std::function<QStringList(const QString& table)>;
    static void setWithholding(Withholding policy);
    // The policy may answer otherwise now (another operator at the till): every open list that
    // reads every field of its table reads again, with or without the fields, when they changed.
    static void withholdingChanged();
    // The fields this list leaves out for the one at the till (a print leaves out its columns).
    const QStringList& withheld() const { return m_withheld; }

    // Lists over a big table read their rows page by page, counted and searched through the
    // table's in-memory index, instead of reading the whole result at every open.
    void setIndex(TableIndex* index) { m_index = index; }
    // The benchmarks compare with reading every row at every open.
    static void setLoadEverything(bool on);
    static bool loadsEverything();
    bool isPaged() const { return m_paged; }

    // The database connection it reads; a window's own query over the same file takes it.
    const QString& connection() const { return m_connection; }
    const QString& table() const { return m_table; }
    const QString& key() const { return m_key; }
    // The statement as it runs: the fields withheld left out.
    QString statement() const { return executed(); }
    const Db::Params& parameters() const { return m_params; }
    QString defaultStatement() const; // select * from <table> order by <key> desc

    // Close, replace the statement, open. Throws DatabaseError; the query then stays closed.
    void reset(const QString& sql, const Db::Params& params = {});
    // Re-runs the present statement, reading the table again; the first row becomes current.
    void refresh();
    void open();
    void close();
    bool isOpen() const { return m_open; }

    // Lists the rows whose field contains the text ("%" and "_" act as wildcards, a quote is
    // just a character), newest first. With a code field, also the rows whose code is exactly
    // the text (blanks around it left out).
    void search(const QString& field, const QString& text, const QString& codeField = QString());
    // Lists the rows whose field equals the value exactly, newest first.
    void lookup(const QString& field, const QVariant& value);
    static QString searchStatement(const QString& table, const QString& field, const QString& key,
                                   const QString& codeField = QString());

    // The number of rows; throws when the query is closed.
    int recordCount() const;
    int recordCountOrMinusOne() const { return m_open ? rows() : -1; }
    bool isEmpty() const { return recordCount() == 0; }

    // The current row, -1 when there is none.
    int currentRow() const { return m_current; }
    void setCurrentRow(int row);
    void next();
    void prior();
    void first();
    void last();

    int fieldIndex(const QString& field) const { return int(m_fields.indexOf(field)); }
    const QStringList& fields() const { return m_fields; }
    QVariant value(int row, const QString& field) const;
    QString text(int row, const QString& field) const;
    // The display text of a field of the current row; empty when there is no current row.
    Q_INVOKABLE QString fieldText(const QString& field) const;
    QVariant fieldValue(const QString& field) const { return value(m_current, field); }
    static QString displayText(const QVariant& value);

    // How a list edited in place stores its rows: operations of the ledger, handed in by whoever
    // lets the list be edited. Each gets the list and the row; add returns the new row's key.
    // The list itself never writes.
    struct Writer {
        std::function<qint64(const SharedQuery&, int)> add;
        std::function<void(const SharedQuery&, int)> change;
        std::function<void(const SharedQuery&, int)> remove;
    };
    // With add and change, the cells can be edited in place.
    void setWriter(Writer writer);

    // Removes the current row at once through the writer; the row after it becomes current (the
    // one before it when it was the last).
    void deleteCurrent();

    // Editing in place (pick lists): insert an empty row at the current position, change cells
    // of the current row, post stores it, cancel drops it. Moving to another row posts a changed
    // row and cancels an unchanged one; an inserted row that holds no text is never stored by
    // a move, it is cancelled.
    State state() const { return m_state; }
    void insertRecord();
    void post();
    void cancel();
    // Cancels the inserted row when it holds no text; true when it did.
    bool dropBlankInsert();

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Reads the rows again after a committed operation that wrote this query's table, so every
    // list shows what the files hold; a list that is closed or being edited is left alone.
    void follow(const Db::Changes& changes);

signals:
    void currentRowChanged(int row);
    // Emitted after every open, close and row removal, when the rows changed as a whole.
    void reopened();

private:
    int rows() const {
        return m_paged ? int(m_dense ? m_count : int64_t(m_keys.size())) : int(m_rows.size());
    }
    int64_t keyAt(size_t row) const { return m_dense ? m_denseMax - int64_t(row) : m_keys[row]; }
    const QVector<QVariant>* rowAt(int row) const;
    // The keys a paged statement lists, read from the table's index; none when the statement is
    // not one the index can answer.
    struct PagedRows {
        std::vector<int64_t> keys;
        bool dense = false;
        int64_t max = 0;
        int64_t count = 0;
    };
    std::optional<PagedRows> pagedRows() const;
    bool openPaged();
    // After a change that left the listed rows as they were, or only added rows above them:
    // takes in the new rows and reads the values again without resetting the views. False when
    // the rows changed otherwise.
    bool rereadInPlace();
    // Re-runs the present statement over what the list's index knows.
    void reread();
    void requireOpen() const;
    // Asks the policy; a change forgets the fields read so far. True when it changed.
    bool takeWithholding();
    // The fields a statement of every field reads: "*", or the table's fields but the withheld.
    QString selectList() const;
    // The present statement as it runs.
    QString executed() const;
    void leavePendingRow();
    void setCurrent(int row);

    QString m_connection, m_table, m_key;
    QString m_sql;
    QStringList m_withheld;
    mutable QString m_selectList; // the fields read instead of "*" while some are withheld
    mutable QString m_checked;    // the statement the database accepted
    Db::Params m_params;
    bool m_open = false;
    QStringList m_fields;
    bool m_fieldsOfTable = false;      // m_fields are the table's, as a paged list reads them
    QVector<QVector<QVariant>> m_rows; // every row, when not paged
    int m_current = -1;

    // Paged lists: the keys of the result in order, and the pages read so far.
    static constexpr int PageSize = 64;
    TableIndex* m_index = nullptr;
    bool m_paged = false;
    std::vector<int64_t> m_keys;
    // A whole table whose keys run without gaps needs no key list: row i has the key max - i.
    bool m_dense = false;
    int64_t m_denseMax = 0;
    int64_t m_count = 0;
    mutable QHash<int, QVector<QVector<QVariant>>> m_pages;

    Writer m_writer;
    bool m_editable = false; // the writer adds and changes rows
    bool m_writing = false;  // its own deletion is being stored
    State m_state = State::Browse;
    bool m_modified = false;
    QVector<QVariant> m_saved; // the row as it was before an edit
};
