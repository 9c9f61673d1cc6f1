#include "ledger/check.h"

#include "core/errors.h"
#include "core/money.h"
#include "data/database.h"
#include "data/rawstatement.h"
#include "data/schema.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/staff.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSettings>
#include <QSqlQuery>
#include <QUrl>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <sqlite3.h>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace {

using Ledger::CheckProblem;
using Ledger::CheckReport;

// At most this many keys are kept for one problem, and this many shown in the text.
constexpr int KeptRows = 10000;
constexpr int ShownRows = 20;
// How much of the business file is mapped into memory while the check reads it.
constexpr qint64 MappedBytes = qint64(1) << 30;

// How many order lines the check sums in one statement: between them it can be stopped.
constexpr int LinesAtATime = 100000;

// Where the shop's folder settings keep the moment of the last full check of its files.
const QString FullCheckKey = QStringLiteral("check/lastFullFileCheck");

QString number(qint64 n) {
    return QLocale(QLocale::Chinese, QLocale::China).toString(n);
}

QString tableName(const QString& table) {
    static const QHash<QString, QString> names = {
        {"aa", "订单"},     {"ab", "产品"},     {"ac", "入库记录"}, {"ae", "出库记录"}, {"af", "af"},
        {"ag", "消费记录"}, {"ah", "充值记录"}, {"aj", "会员"},     {"ak", "订单明细"}, {"a5", "设置"}};
    return names.value(table, table);
}

QString columnName(const QString& column) {
    static const QHash<QString, QString> names = {
        {"a1", "下单时间"},   {"a5", "应收金额"},   {"a6", "实收金额"}, {"b4", "库存"},
        {"b6", "进价"},       {"b7", "批发价"},     {"b8", "零售价"},   {"b9", "库存金额"},
        {"b10", "建档时间"},  {"c12", "金额"},      {"e7", "出库时间"}, {"g2", "消费金额"},
        {"g3", "消费时间"},   {"g4", "消费后余额"}, {"h2", "充值金额"}, {"h3", "充值时间"},
        {"h4", "充值前余额"}, {"h5", "充值后余额"}, {"j9", "卡中余额"}, {"j10", "办卡时间"}};
    const QString name = names.value(column);
    return name.isEmpty() ? column : QStringLiteral("%1（%2）").arg(name, column);
}

// A stored value as an exact amount; nothing for NULL and for a value that is no number.
std::optional<Currency> amountOf(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    if (value.typeId() == QMetaType::Double) {
        // The quick way for a double whose shortest text has at most four decimals, which is what
        // Currency::fromVariant reads from it; the others take the long way.
        const double scaled = value.toDouble() * Currency::Scale;
        if (std::fabs(scaled) < 1e15) {
            const double whole = std::nearbyint(scaled);
            if (std::fabs(scaled - whole) < 1e-6)
                return Currency::fromScaled(int64_t(whole));
        }
    }
    try {
        return Currency::fromVariant(value);
    } catch (const ConversionError&) {
        return std::nullopt;
    }
}

QString shown(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("（空）");
    return QStringLiteral("'%1'").arg(value.toString());
}

// True when a text column holds no key its table gave out: a key is a positive whole number,
// written without leading zeros, not above the table's highest key ever.
QString notIssuedKey(const QString& column, qint64 highest) {
    return QStringLiteral("NOT coalesce(%1 GLOB '[1-9]*' AND NOT %1 GLOB '*[^0-9]*' AND length(%1) <= 18 AND "
                          "CAST(%1 AS INTEGER) <= %2, 0)")
        .arg(column)
        .arg(highest);
}

// True for "yyyy-MM-dd HH:mm:ss" that the database's datetime() gives back unchanged: months 1 to
// 12, days 1 to 31, hours 0 to 24, minutes and seconds 0 to 59 (the rule of the rows' check).
bool realMoment(QByteArrayView t) {
    static const char shape[] = "dddd-dd-dd dd:dd:dd";
    if (t.size() != 19)
        return false;
    for (int i = 0; i < 19; ++i)
        if (shape[i] == 'd' ? (t[i] < '0' || t[i] > '9') : t[i] != shape[i])
            return false;
    const auto number = [&t](int at, int digits) {
        int v = 0;
        for (int i = 0; i < digits; ++i)
            v = v * 10 + (t[at + i] - '0');
        return v;
    };
    const int month = number(5, 2), day = number(8, 2);
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && number(11, 2) <= 24 && number(14, 2) < 60 &&
           number(17, 2) < 60;
}

// The same for one text: the digits of a key from 1 to the highest given out, without a leading 0.
bool issuedKey(const QByteArray& text, qint64 highest) {
    if (text.isEmpty() || text.size() > 18 || text.front() < '1' || text.front() > '9')
        return false;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return value <= highest;
}

// True when a text column does not name an existing row of the table by its key, exactly as the
// program writes it.
QString notExistingKey(const QString& column, const QString& table, const QString& key) {
    return QStringLiteral("NOT EXISTS (SELECT 1 FROM %2 WHERE %2.%3 = %1 AND CAST(%2.%3 AS TEXT) = %1)")
        .arg(column, table, key);
}

// The sum of a quantity column and two sums of it weighted by the product number: equal for two
// sets of rows with the same quantity per product, and (but for a very unlikely coincidence)
// different otherwise.
QString weightedSums(const QString& product, const QString& quantity) {
    return QStringLiteral("total(%2), total(%1 * %2), total(%1 * %1 % 9967 * %2)").arg(product, quantity);
}

// True for a moment that is not "yyyy-MM-dd HH:mm:ss" with a real date and time: the database's
// own reading of it gives back another text then.
QString badDateTime(const QString& column) {
    return QStringLiteral("(%1 IS NOT NULL AND (length(%1) <> 19 OR datetime(%1) IS NOT %1))").arg(column);
}

// A rule checked on every row of one table: the rows it finds become one problem.
struct RowRule {
    QString column;    // the column whose value is shown
    QString condition; // SQL, true for a row that breaks the rule
    QString title;     // its two lowest markers left become the number of rows and an example
    QString detail;
};

// One record of a member card's chain of balances: a recharge or a card payment.
struct Movement {
    qint64 key = 0;
    bool recharge = false;
    QString time;
    std::optional<Currency> amount, before, after; // before: recharges only
    // The balance before the record as the record itself tells it: a recharge writes it, a
    // payment's is its balance after plus its amount.
    std::optional<Currency> impliedBefore() const {
        if (recharge)
            return before;
        if (amount && after)
            return *after + *amount;
        return std::nullopt;
    }
    QString name() const {
        return QStringLiteral("%1 %2（%3）")
            .arg(recharge ? QStringLiteral("充值记录") : QStringLiteral("消费记录"))
            .arg(key)
            .arg(time);
    }
};

// The lines of the database's own check of a file that are damage: a value past a column's rule
// (written with the rules switched off) is reported with its table, column and row by the rules of
// the rows, the file being whole.
QStringList damageOf(const QStringList& lines) {
    QStringList damage;
    for (const QString& line : lines)
        if (line != QLatin1String("ok") && !line.startsWith(QLatin1String("CHECK constraint failed")))
            damage << line;
    return damage;
}

bool readingAsideAllowed = true;

// The check's longest reads of the business file (the database's own check of it, the one pass
// over the stock-out records), run one after the other on a thread of their own beside the check's
// other passes, so both processors share the work. They read the file through a read-only
// connection of their own that takes no locks (the program holds the file exclusively): that
// reads every commit only while the file alone holds them, so they start once the log is written
// back and empty, and their answers count only when the file did not change while they ran
// (otherwise those parts are checked again the ordinary way).
class ReadAside {
public:
    // One read: what it finds it keeps itself; it throws a DatabaseError when it cannot finish.
    using Job = std::function<void(sqlite3*)>;

    ReadAside() = default;
    ReadAside(const ReadAside&) = delete;
    ReadAside& operator=(const ReadAside&) = delete;
    ~ReadAside() { stop(); }

    // Starts the reads; false when they cannot run aside.
    bool start(const QString& path, std::vector<Job> jobs) {
        if (QFileInfo(path + QStringLiteral("-wal")).size() > 0)
            return false;
        const QByteArray uri = "file:" + QUrl::toPercentEncoding(path, "/") + "?immutable=1";
        if (sqlite3_open_v2(uri.constData(), &m_db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) !=
            SQLITE_OK) {
            sqlite3_close(m_db);
            m_db = nullptr;
            return false;
        }
        m_path = path;
        m_before = stamp();
        m_jobs = std::move(jobs);
        m_failed = false;
        m_ended = false;
        m_thread = std::thread([this] { run(); });
        return true;
    }

    // Whether the reads have ended (or never started).
    bool idle() const { return !m_thread.joinable() || m_ended.load(); }

    // Whether what the reads found counts: they all finished and the file did not change meanwhile.
    bool finish() {
        if (m_thread.joinable())
            m_thread.join();
        const bool counts = m_db && !m_failed && stamp() == m_before;
        close();
        return counts;
    }

    // Stops reading (the whole check was cancelled).
    void stop() {
        if (m_db)
            sqlite3_interrupt(m_db);
        if (m_thread.joinable())
            m_thread.join();
        close();
    }

private:
    // What tells a change of the file: its size and the times of its last change.
    std::array<qint64, 5> stamp() const {
        struct stat st {};
        if (::stat(QFile::encodeName(m_path).constData(), &st) != 0)
            return {-1, -1, -1, -1, -1};
        return {qint64(st.st_size), qint64(st.st_mtim.tv_sec), qint64(st.st_mtim.tv_nsec),
                qint64(st.st_ctim.tv_sec), qint64(st.st_ctim.tv_nsec)};
    }

    void run() {
        sqlite3_exec(m_db, QStringLiteral("PRAGMA mmap_size = %1").arg(MappedBytes).toUtf8().constData(),
                     nullptr, nullptr, nullptr);
        try {
            for (const Job& job : m_jobs)
                job(m_db);
        } catch (const LedgerError&) {
            m_failed = true;
        }
        m_ended = true;
    }

    void close() {
        sqlite3_close(m_db);
        m_db = nullptr;
    }

    sqlite3* m_db = nullptr;
    QString m_path;
    std::array<qint64, 5> m_before{};
    std::vector<Job> m_jobs;
    std::thread m_thread;
    bool m_failed = false;
    std::atomic<bool> m_ended = false;
};

class Checker {
public:
    Checker(const QSqlDatabase& business, const QSqlDatabase& lists,
            const std::function<bool(int, int)>& progress, bool fullFileCheck)
        : m_a(business), m_b(lists), m_progress(progress), m_server(Db::isServer(business)),
          m_full(fullFileCheck) {}

    CheckReport run() {
        const QList<std::pair<QString, void (Checker::*)()>> steps = {
            {QStringLiteral("营业数据文件的完整性"), &Checker::businessFile},
            {QStringLiteral("列表和设置文件的完整性"), &Checker::listsFile},
            {QStringLiteral("订单的应收金额"), &Checker::orderTotals},
            {QStringLiteral("订单明细所属的订单"), &Checker::orphanLines},
            {QStringLiteral("出库记录与订单明细"), &Checker::stockOutAgainstLines},
            {QStringLiteral("会员卡的余额"), &Checker::cardChains},
            {QStringLiteral("退货"), &Checker::returnsWithinSales},
            {QStringLiteral("出库记录的每日汇总"), &Checker::daySummary},
            {QStringLiteral("各表的行数"), &Checker::rowCounts},
            {QStringLiteral("设置"), &Checker::settings},
            {QStringLiteral("操作日志"), &Checker::operationLog},
        };
        const QList<Schema::Table>& tables = Schema::businessTables();
        m_total = int(steps.size() + tables.size());
        int& done = m_done;
        auto cancelled = [this] {
            return stopRequested();
        };
        // The check reads the whole file several times: mapped into memory, its pages are read
        // without copying them each time.
        try {
            if (m_server)
                throw DatabaseError(QStringLiteral("no file to map"));
            m_mapped = Db::scalar(m_a, QStringLiteral("PRAGMA mmap_size")).toLongLong();
            Db::exec(m_a, QStringLiteral("PRAGMA mmap_size = %1").arg(MappedBytes));
        } catch (const DatabaseError&) {
            m_mapped = -1; // read as before
        }
        startReadingAside();
        try {
            prepareLines();
        } catch (const LedgerError& e) {
            failed(QStringLiteral("订单明细"), e);
        }
        if (m_report.stopped)
            return finish();
        for (const auto& [what, step] : steps) {
            if (cancelled())
                return finish();
            part(what, [&] { (this->*step)(); });
            ++done;
        }
        for (const Schema::Table& table : tables) {
            if (cancelled())
                return finish();
            if (table.name == QLatin1String("ae"))
                stockOutRows(table); // its rules are needed only when the one pass found something
            else if (m_asideRows.contains(table.name))
                readAside(
                    tableName(table.name),
                    [this, table] {
                        reportRows(table, m_asideRows.at(table.name));
                        tableChecked(table);
                    },
                    [this, table] { scanRows(table); });
            else
                part(tableName(table.name), [&] { scanRows(table); });
            ++done;
        }
        // The reads aside end meanwhile; a stop is taken at once.
        while (m_readingAside && !(m_aside.idle() && m_asideOthers.idle())) {
            if (cancelled())
                return finish();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        takeInAside();
        if (m_progress)
            m_progress(done, m_total);
        return finish();
    }

private:
    // Asks the caller whether to go on (now and then, also within a long part); a stop marks the
    // report stopped.
    bool stopRequested() {
        if (m_report.stopped)
            return true;
        if (!m_progress || m_progress(m_done, m_total))
            return false;
        m_report.stopped = true;
        return true;
    }

    // One part of the check; a part that fails is reported and the others go on. On a server the
    // check reads one snapshot in one transaction: a failed part is rolled back to where it began.
    void part(const QString& what, const std::function<void()>& step) {
        try {
            if (m_server)
                Db::exec(m_a, QStringLiteral("SAVEPOINT check_part"));
            step();
            if (m_server)
                Db::exec(m_a, QStringLiteral("RELEASE SAVEPOINT check_part"));
        } catch (const LedgerError& e) {
            failed(what, e);
            if (m_server)
                Db::exec(m_a, QStringLiteral("ROLLBACK TO SAVEPOINT check_part"));
        }
    }

    CheckReport finish() {
        if (m_readingAside) {
            // Cancelled before the parts read aside were taken in.
            m_aside.stop();
            m_asideOthers.stop();
            m_readingAside = false;
            m_deferred.clear();
        }
        for (const char* table : {"check_lines", "check_out", "check_orders"}) {
            if (m_server)
                break; // none made
            try {
                Db::exec(m_a, QStringLiteral("DELETE FROM temp.%1").arg(QLatin1String(table)));
            } catch (const DatabaseError&) {
                // Not made in this run: the check stopped before it.
            }
        }
        if (m_mapped >= 0) {
            try {
                Db::exec(m_a, QStringLiteral("PRAGMA mmap_size = %1").arg(m_mapped));
            } catch (const DatabaseError&) {
                // Left mapped: only how the pages are read differs.
            }
        }
        return m_report;
    }

    // An empty scratch table of the connection's temporary store. The tables stay (empty) after
    // the check: a table cannot be dropped while any statement of the connection is reading, as
    // the program's lists do.
    void scratch(const QString& table, const QString& columns, const QString& indexed = {}) {
        Db::exec(m_a, QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS %1 (%2)").arg(table, columns));
        Db::exec(m_a, QStringLiteral("DELETE FROM temp.%1").arg(table));
        if (!indexed.isEmpty())
            Db::exec(m_a,
                     QStringLiteral("CREATE INDEX IF NOT EXISTS temp.%1_%2 ON %1 (%2)").arg(table, indexed));
    }

    void failed(const QString& what, const LedgerError& e) {
        CheckProblem p;
        p.title = QStringLiteral("无法完成「%1」的检查：%2").arg(what, e.text());
        p.detail = QStringLiteral("文件可能已损坏，或不是本程序的数据文件。");
        m_report.problems << p;
    }

    void add(const QString& title, const QString& detail, const QString& table, QList<qint64> rows,
             bool fixable = false) {
        CheckProblem p;
        p.title = title;
        p.detail = detail;
        p.table = table;
        p.rows = std::move(rows);
        p.fixable = fixable;
        m_report.problems << p;
    }

    qint64 highestKey(const QString& table, const QString& key) {
        if (m_server) {
            // The highest key the server's sequence handed out (none yet: NULL).
            const qint64 given =
                Db::scalar(m_a,
                           QStringLiteral("SELECT last_value FROM pg_sequences WHERE schemaname || '.' || "
                                          "sequencename = pg_get_serial_sequence(:t, :k)"),
                           {{QStringLiteral(":t"), table}, {QStringLiteral(":k"), key}})
                    .toLongLong();
            const qint64 max =
                Db::scalar(m_a, QStringLiteral("SELECT max(%1) FROM %2").arg(key, table)).toLongLong();
            return std::max(given, max);
        }
        const qint64 seq =
            Db::scalar(m_a, QStringLiteral("SELECT max(seq) FROM sqlite_sequence WHERE name = :t"),
                       {{QStringLiteral(":t"), table}})
                .toLongLong();
        const qint64 max =
            Db::scalar(m_a, QStringLiteral("SELECT max(%1) FROM %2").arg(key, table)).toLongLong();
        return std::max(seq, max);
    }

    // The database's own check of a file: the full one also matches every index with its table.
    QString fileCheckStatement() const {
        return m_full ? QStringLiteral("PRAGMA integrity_check(100)")
                      : QStringLiteral("PRAGMA quick_check(100)");
    }

    void startReadingAside() {
        if (m_server || !readingAsideAllowed)
            return;
        try {
            // The file alone holds every commit once the log is written back.
            Db::writeBack(m_a);
            sqlite3* handle = Db::sqliteHandle(m_a);
            if (!handle)
                return;
            const char* path = sqlite3_db_filename(handle, "main");
            const QByteArray fileCheck = fileCheckStatement().toUtf8();
            std::vector<ReadAside::Job> jobs = {
                [this, fileCheck](sqlite3* db) {
                    RawStatement r(db, fileCheck);
                    while (r.next())
                        m_asideFileCheck << QString::fromUtf8(r.view(0));
                },
                [this](sqlite3* db) { readStockOutFrom(db); },
            };
            m_asideFileCheck.clear();
            // The cards' chains and the rules of the other tables' rows, each table read in one
            // pass, on a second thread.
            std::vector<ReadAside::Job> others = {[this](sqlite3* db) {
                RawStatement r(db, chainStatement().toUtf8());
                while (r.next())
                    m_asideCards << QString::fromUtf8(r.view(0));
            }};
            m_asideCards.clear();
            m_asideRows.clear();
            for (const Schema::Table& table : Schema::businessTables()) {
                const QList<RowRule> rules =
                    table.name == QLatin1String("ae") ? QList<RowRule>() : rulesFor(table);
                if (rules.isEmpty())
                    continue;
                RowFindings& found = m_asideRows[table.name]; // made here: the thread only fills it
                const QByteArray sql = findStatement(table, rules).toUtf8();
                others.push_back([&found, rules, sql](sqlite3* db) {
                    RawStatement r(db, sql);
                    found = collectRows(r, rules);
                });
            }
            if (path && *path && m_aside.start(QString::fromUtf8(path), std::move(jobs))) {
                if (m_asideOthers.start(QString::fromUtf8(path), std::move(others)))
                    m_readingAside = true;
                else
                    m_aside.stop();
            }
        } catch (const LedgerError&) {
            // Every part is checked the ordinary way.
        }
    }

    // A part whose reading runs aside: its findings are taken in at the end, at this place in the
    // report. `take` reports what was read aside, `ordinary` checks the part there instead.
    struct Deferred {
        QString what;
        std::function<void()> take;
        std::function<void()> ordinary;
        qsizetype problemsAt = 0, checkedAt = 0;
    };

    // Runs the part the ordinary way, or defers it when its reading runs aside.
    void readAside(const QString& what, std::function<void()> take, std::function<void()> ordinary) {
        if (!m_readingAside) {
            ordinary();
            return;
        }
        m_deferred.push_back(
            {what, std::move(take), std::move(ordinary), m_report.problems.size(), m_report.checked.size()});
    }

    // A comparison with the stock-out records: taken in after the pass read aside, or, in turn,
    // after reading them here where no earlier part did.
    void compareWithStockOut(const QString& what, void (Checker::*compare)()) {
        readAside(
            what, [this, compare] { (this->*compare)(); },
            [this, compare] {
                if (!m_outReady)
                    readStockOut();
                (this->*compare)();
            });
    }

    // Takes in the parts read aside, each at its place in the report.
    void takeInAside() {
        if (!m_readingAside)
            return;
        m_readingAside = false;
        bool counts = m_aside.finish();
        counts = m_asideOthers.finish() && counts;
        if (counts) {
            try {
                settleStockOut();
            } catch (const LedgerError&) {
                counts = false;
            }
        }
        if (!counts) {
            // What the pass aside found so far counts for nothing: read again the ordinary way.
            m_outReady = false;
            m_scanStockOut = true;
        }
        // From the last to the first, so that each place is still where it was.
        for (auto it = m_deferred.rbegin(); it != m_deferred.rend(); ++it) {
            CheckReport later;
            std::swap(later, m_report);
            part(it->what, [&] {
                if (counts)
                    it->take();
                else
                    it->ordinary();
            });
            std::swap(later, m_report);
            for (qsizetype i = 0; i < later.problems.size(); ++i)
                m_report.problems.insert(it->problemsAt + i, later.problems[i]);
            for (qsizetype i = 0; i < later.checked.size(); ++i)
                m_report.checked.insert(it->checkedAt + i, later.checked[i]);
        }
        m_deferred.clear();
    }

    void businessFile() {
        readAside(
            QStringLiteral("营业数据文件的完整性"),
            [this] { reportIntegrity(Db::BusinessFile, damageOf(m_asideFileCheck)); },
            [this] { integrity(m_a, Db::BusinessFile); });
    }

    void listsFile() { integrity(m_b, Db::ListsFile); }

    void integrity(const QSqlDatabase& db, const QString& file) {
        if (m_server) {
            if (file == Db::BusinessFile)
                m_report.skipped << QStringLiteral("数据库文件的完整性：账本在数据库服务器上，由服务器自己保"
                                                   "证（请用服务器自己的工具和备份）")
                                 << QStringLiteral("数字列是否只有数字：服务器上的数字列只能保存数字");
            return;
        }
        QSqlQuery q = Db::exec(db, fileCheckStatement());
        QStringList lines;
        while (q.next())
            lines << q.value(0).toString();
        reportIntegrity(file, damageOf(lines));
    }

    void reportIntegrity(const QString& file, const QStringList& lines) {
        m_report.checked << (m_full ? QStringLiteral("数据库文件 %1 的完整性（完整检查）").arg(file)
                                    : QStringLiteral("数据库文件 %1 的完整性（快速检查：每一页和每一行；"
                                                     "索引与表的一致每周完整检查一次）")
                                          .arg(file));
        if (lines.isEmpty())
            return;
        add(QStringLiteral("数据库文件 %1 已损坏（数据库自检发现 %2 处错误）").arg(file).arg(lines.size()),
            QStringLiteral("请用最近一次验证过的备份恢复。数据库的说明：\n") + lines.join(QLatin1Char('\n')),
            QString(), {});
    }

    // The lines summed per order once, for the order totals and the lines without an order.
    void prepareLines() {
        if (m_server) {
            m_linesReady = true; // summed by the statements that need them
            return;
        }
        // Summed a hundred thousand lines at a time, so that a stop is taken between them: each
        // part adds to its orders' sums (an order whose lines straddle two parts gets both).
        scratch(QStringLiteral("check_lines"), QStringLiteral("o TEXT, total, n, q0, q1, q2"));
        Db::exec(m_a,
                 QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS temp.check_lines_one ON check_lines (o)"));
        const QString sums = weightedSums(QStringLiteral("k7"), QStringLiteral("k4"));
        // SQL's sum() of no numbers is NULL, and stays so until a number comes.
        const QString added = QStringLiteral(
            "ON CONFLICT (o) DO UPDATE SET total = CASE WHEN total IS NULL THEN excluded.total WHEN "
            "excluded.total IS NULL THEN total ELSE total + excluded.total END, n = n + excluded.n, "
            "q0 = q0 + excluded.q0, q1 = q1 + excluded.q1, q2 = q2 + excluded.q2");
        // Lines of no order are one group of their own (a NULL never conflicts).
        Db::exec(m_a, QStringLiteral("INSERT INTO temp.check_lines SELECT k8, sum(%2), count(*), %1 FROM ak "
                                     "WHERE k8 IS NULL GROUP BY k8")
                          .arg(sums, lineAmount()));
        QVariant from = Db::scalar(m_a, QStringLiteral("SELECT min(kid) FROM ak"));
        while (!from.isNull()) {
            const QVariant to =
                Db::scalar(m_a,
                           QStringLiteral("SELECT kid FROM ak WHERE kid >= :a ORDER BY kid LIMIT 1 OFFSET %1")
                               .arg(LinesAtATime),
                           {{QStringLiteral(":a"), from}});
            Db::exec(
                m_a,
                QStringLiteral("INSERT INTO temp.check_lines SELECT k8, sum(%4), count(*), %1 FROM ak "
                               "WHERE kid >= :a %2 AND k8 IS NOT NULL GROUP BY k8 %3")
                    .arg(sums, to.isNull() ? QString() : QStringLiteral("AND kid < :b"), added, lineAmount()),
                to.isNull() ? Db::Params{{QStringLiteral(":a"), from}}
                            : Db::Params{{QStringLiteral(":a"), from}, {QStringLiteral(":b"), to}});
            if (stopRequested())
                return;
            from = to;
        }
        m_linesReady = true;
    }

    struct OrderLines {
        Currency sum;
        QList<qint64> unreadable; // lines whose quantity or price is no number
    };

    OrderLines linesOf(const QVariant& order) {
        OrderLines result;
        const QString own = hasOwnAmounts() ? QStringLiteral("k9") : QStringLiteral("NULL");
        QSqlQuery q =
            order.isNull()
                ? Db::exec(m_a, QStringLiteral("SELECT kid, k4, k6, %1 FROM ak WHERE k8 IS NULL").arg(own))
                : Db::exec(m_a, QStringLiteral("SELECT kid, k4, k6, %1 FROM ak WHERE k8 = :o").arg(own),
                           {{QStringLiteral(":o"), order.toString()}});
        while (q.next()) {
            try {
                const QString amount = q.value(3).toString();
                result.sum += amount.isEmpty() ? Currency::parse(q.value(1).toString()) *
                                                     Currency::parse(q.value(2).toString())
                                               : Currency::parse(amount);
            } catch (const ConversionError&) {
                result.unreadable << q.value(0).toLongLong();
            }
        }
        return result;
    }

    // Every order's amount due equals the exact sum of its lines' quantity × price. SQL picks the
    // orders whose stored amount differs from the floating-point sum of the lines (that differs
    // from the exact one only where a line's amount needs rounding to four decimals) or has none;
    // each of those is summed exactly here. A text that is no number counts as 0 in SQL, so a line
    // like that makes its order differ and is found here too.
    void orderTotals() {
        if (!m_linesReady)
            return;
        QSqlQuery q =
            m_server
                ? Db::exec(m_a,
                           QStringLiteral("SELECT aa.aid, aa.a5 FROM aa LEFT JOIN (SELECT k8, sum(%3) AS "
                                          "total, bool_or(%1 IS NULL OR %2 IS NULL) AS unreadable FROM ak "
                                          "GROUP BY k8) l ON l.k8 = aa.aid::text WHERE aa.a5 IS NULL OR "
                                          "l.unreadable OR aa.a5 <> coalesce(l.total, 0) ORDER BY aa.aid")
                               .arg(serverNumber("k4"), serverNumber("k6"), lineAmount()))
                : Db::exec(m_a,
                           QStringLiteral("SELECT aa.aid, aa.a5 FROM aa LEFT JOIN temp.check_lines l "
                                          "ON l.o = CAST(aa.aid AS TEXT) "
                                          "WHERE aa.a5 IS NULL OR typeof(aa.a5) NOT IN ('integer', 'real') "
                                          "OR abs(aa.a5 - coalesce(l.total, 0)) > 0.000001 ORDER BY aa.aid"));
        struct Candidate {
            qint64 order;
            QVariant stored;
        };
        std::vector<Candidate> candidates;
        while (q.next())
            candidates.push_back({q.value(0).toLongLong(), q.value(1)});
        for (const Candidate& c : candidates) {
            // A missing amount due is mended from the lines when the files are opened: a problem
            // only when the lines cannot be summed.
            const bool missing = c.stored.isNull() || c.stored.toString().isEmpty();
            OrderLines lines;
            try {
                lines = linesOf(QString::number(c.order));
            } catch (const ConversionError&) {
                add(QStringLiteral("订单 %1 的明细合计超出了可以计算的范围").arg(c.order),
                    QStringLiteral("明细的数量或单价大得不合理，请检查这张订单的明细。"),
                    QStringLiteral("aa"), {c.order});
                continue;
            }
            if (!lines.unreadable.isEmpty()) {
                add(QStringLiteral("订单 %1 有 %2 条明细的数量或单价不是数字")
                        .arg(c.order)
                        .arg(lines.unreadable.size()),
                    QStringLiteral("这张订单的应收金额无法从明细算出。请在订单中删除这些明细后重新录入。"),
                    QStringLiteral("ak"), lines.unreadable);
                continue;
            }
            if (missing)
                continue;
            const std::optional<Currency> stored = amountOf(c.stored);
            if (stored && *stored == lines.sum)
                continue;
            add(stored ? QStringLiteral("订单 %1 的应收金额 %2 与明细合计 %3 不符")
                             .arg(c.order)
                             .arg(stored->toString(), lines.sum.toString())
                       : QStringLiteral("订单 %1 的应收金额 %2 不是数字，明细合计 %3")
                             .arg(c.order)
                             .arg(shown(c.stored), lines.sum.toString()),
                QStringLiteral(
                    "应收金额应等于各明细数量 × 单价之和。可以按明细重新计算应收金额（会先做一次备份）。"),
                QStringLiteral("aa"), {c.order}, true);
        }
        const qint64 orders = Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM aa")).toLongLong();
        const qint64 lines = Db::scalar(m_a, m_server ? QStringLiteral("SELECT count(*) FROM ak")
                                                      : QStringLiteral("SELECT sum(n) FROM temp.check_lines"))
                                 .toLongLong();
        m_report.checked << QStringLiteral("订单 %1 张、订单明细 %2 条：应收金额等于明细合计")
                                .arg(number(orders), number(lines));
    }

    // Every line belongs to an existing order (deleting an order deletes its lines).
    void orphanLines() {
        if (!m_linesReady)
            return;
        QSqlQuery q = Db::exec(
            m_a, m_server ? QStringLiteral("SELECT DISTINCT k8 FROM ak WHERE NOT EXISTS "
                                           "(SELECT 1 FROM aa WHERE aa.aid::text = ak.k8)")
                          : QStringLiteral(
                                "SELECT o FROM temp.check_lines l WHERE NOT EXISTS "
                                "(SELECT 1 FROM aa WHERE aa.aid = l.o AND CAST(aa.aid AS TEXT) = l.o)"));
        QVariantList orders;
        while (q.next())
            orders << q.value(0);
        for (const QVariant& order : orders) {
            QSqlQuery keys = order.isNull()
                                 ? Db::exec(m_a, QStringLiteral("SELECT kid FROM ak WHERE k8 IS NULL"))
                                 : Db::exec(m_a, QStringLiteral("SELECT kid FROM ak WHERE k8 = :o"),
                                            {{QStringLiteral(":o"), order.toString()}});
            QList<qint64> rows;
            while (keys.next())
                rows << keys.value(0).toLongLong();
            add(QStringLiteral("%1 条订单明细属于不存在的订单 %2").arg(rows.size()).arg(shown(order)),
                QStringLiteral("这些明细不属于任何订单，不计入任何应收金额；订单可能是在程序之外被删除的。"),
                QStringLiteral("ak"), rows);
        }
        m_report.checked << QStringLiteral("每条订单明细都属于一张现有的订单");
    }

    // Per existing order and existing product, the stock-out records add up to the quantity of
    // the order's lines: every line writes one record, every removed line a reversing one. A
    // deleted order keeps its records (the goods left the shop), and a line removed after its
    // product was deleted has nothing to reverse, so those are left out. SQL compares per order
    // the quantities and two sums of them weighted by product; the orders that differ are compared
    // product by product here.

    struct OutSums {
        double q[3] = {0, 0, 0};
    };
    using DaySums = std::array<qint64, 6>;

    // One pass over the stock-out records in the file's order: per order the quantities that are
    // compared with its lines, per day and major category the sums the statistics keep. A text
    // counts by its leading number, as the database's total() counts it.
    void readStockOut() {
        readStockOutFrom(Db::sqliteHandle(m_a));
        settleStockOut();
    }

    // The pass itself, through the given connection (the check's own, or the one reading aside).
    void readStockOutFrom(sqlite3* db) {
        const QStringList terms = Schema::daySummaryTerms();
        RawStatement r(db, QStringLiteral("SELECT e11, e3, e1 * e3, e1 * e1 % 9967 * e3, e7, "
                                          "coalesce(substr(e7, 1, 10), ''), coalesce(e8, ''), %1 FROM ae")
                               .arg(terms.join(QStringLiteral(", ")))
                               .toUtf8());
        m_scanStockOut = false;
        m_outRecords = 0;
        m_out.clear();
        m_days.clear();
        // The records of an order, and mostly of a day, follow each other: the sums of the last
        // order and of the last day and category are at hand without a look-up.
        QByteArray lastOrder, lastDay, key;
        OutSums* order = nullptr;
        DaySums* day = nullptr;
        while (r.next()) {
            ++m_outRecords;
            if (const QByteArrayView o = r.view(0); !order || o != lastOrder) {
                lastOrder = o.toByteArray();
                order = &m_out[lastOrder];
            }
            for (int i = 0; i < 3; ++i)
                if (!r.isNull(1 + i))
                    order->q[i] += r.number(1 + i);
            if (!m_scanStockOut && !r.isNull(4) && !realMoment(r.view(4)))
                m_scanStockOut = true;
            key.clear();
            key.append(r.view(5)).append('\x1f').append(r.view(6));
            if (!day || key != lastDay) {
                lastDay = key;
                day = &m_days[key];
            }
            for (size_t i = 0; i < day->size(); ++i)
                (*day)[i] += r.integer(7 + int(i));
        }
    }

    void settleStockOut() {
        // An order number that was never issued (not the digits of an order's key up to the
        // highest given out) also calls for the rules of the records' rows.
        const qint64 highest = highestKey("aa", "aid");
        for (auto it = m_out.cbegin(); it != m_out.cend() && !m_scanStockOut; ++it)
            if (!issuedKey(it.key(), highest))
                m_scanStockOut = true;
        m_outReady = true;
    }

    // No line comes back beyond what was sold.
    void returnsWithinSales() {
        QHash<qint64, Currency> back;
        QHash<qint64, QVariant> sold;
        qint64 rows = 0;
        QSqlQuery q = Db::exec(m_a, QStringLiteral("SELECT l.line_id, l.quantity, ak.k4 FROM return_lines l "
                                                   "LEFT JOIN ak ON ak.kid = l.line_id ORDER BY l.line_id"));
        while (q.next()) {
            ++rows;
            const qint64 line = q.value(0).toLongLong();
            try {
                back[line] += Currency::parse(q.value(1).toString());
            } catch (const ConversionError&) {
                add(QStringLiteral("订单明细 %1 的退货数量不是数字").arg(line), {}, QStringLiteral("ak"),
                    {line});
            }
            sold[line] = q.value(2);
        }
        for (auto it = back.cbegin(); it != back.cend(); ++it) {
            const QVariant k4 = sold.value(it.key());
            std::optional<Currency> quantity;
            try {
                if (!k4.isNull())
                    quantity = Currency::parse(k4.toString());
            } catch (const ConversionError&) {
            }
            if (!quantity || it.value() > *quantity)
                add(QStringLiteral("订单明细 %1 退货 %2，超过售出数量 %3")
                        .arg(it.key())
                        .arg(it.value().toString(),
                             quantity ? quantity->toString() : QStringLiteral("（明细不存在）")),
                    QStringLiteral("退货数量不能超过售出数量；退货记录或明细可能是在程序之外被改动的。"),
                    QStringLiteral("ak"), {it.key()});
        }
        m_report.checked << QStringLiteral("退货明细 %1 条：没有超过售出数量").arg(number(rows));
    }

    void stockOutAgainstLines() {
        if (m_server) {
            stockOutOnServer();
            return;
        }
        compareWithStockOut(QStringLiteral("出库记录与订单明细"), &Checker::compareStockOut);
    }

    void compareStockOut() {
        const qint64 records = m_outRecords;
        if (!m_linesReady)
            return;

        RawStatement r(Db::sqliteHandle(m_a),
                       QStringLiteral("SELECT aa.aid, l.q0, l.q1, l.q2 FROM aa "
                                      "LEFT JOIN temp.check_lines l ON l.o = CAST(aa.aid AS TEXT) "
                                      "ORDER BY aa.aid"));
        QStringList orders;
        const OutSums none;
        while (r.next()) {
            const QByteArray order = r.text(0);
            const auto found = m_out.constFind(order);
            const OutSums& out = found == m_out.cend() ? none : *found;
            for (int i = 0; i < 3; ++i)
                if (std::fabs((r.isNull(1 + i) ? 0.0 : r.number(1 + i)) - out.q[i]) > 0.00005) {
                    orders << QString::fromLatin1(order);
                    break;
                }
        }
        if (!orders.isEmpty())
            compareProductByProduct(orders);
        m_report.checked
            << QStringLiteral("出库记录 %1 条：每张订单每种产品的出库数量等于明细数量").arg(number(records));
    }

    // The same on a server: the quantities per order and product of the lines and of the records
    // are summed by the server; the orders (that exist) where any differ are compared here.
    void stockOutOnServer() {
        m_scanStockOut = true; // the records' order numbers are checked by the rules of the rows
        QSqlQuery q = Db::exec(
            m_a, QStringLiteral("SELECT DISTINCT coalesce(l.o, r.o) FROM "
                                "(SELECT k8 AS o, k7 AS p, sum(%1) AS q, bool_or(%1 IS NULL) AS bad FROM ak "
                                "GROUP BY k8, k7) l FULL JOIN "
                                "(SELECT e11 AS o, e1 AS p, sum(%2) AS q, bool_or(%2 IS NULL) AS bad FROM ae "
                                "GROUP BY e11, e1) r ON l.o = r.o AND l.p = r.p "
                                "WHERE (coalesce(l.q, 0) <> coalesce(r.q, 0) OR l.bad OR r.bad) "
                                "AND EXISTS (SELECT 1 FROM aa WHERE aa.aid::text = coalesce(l.o, r.o)) "
                                "ORDER BY 1")
                     .arg(serverNumber("k4"), serverNumber("e3")));
        QStringList orders;
        while (q.next())
            orders << q.value(0).toString();
        if (!orders.isEmpty())
            compareProductByProduct(orders);
        m_report.checked << QStringLiteral("出库记录 %1 条：每张订单每种产品的出库数量等于明细数量")
                                .arg(number(
                                    Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM ae")).toLongLong()));
    }

    // Whether the lines keep amounts of their own (a scale's label): a file of an earlier version,
    // read as it is, has no such column.
    bool hasOwnAmounts() {
        if (!m_ownAmounts)
            m_ownAmounts =
                Db::scalar(m_a, m_server
                                    ? QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE "
                                                     "table_schema = current_schema() AND table_name = 'ak' "
                                                     "AND column_name = 'k9'")
                                    : QStringLiteral("SELECT count(*) FROM pragma_table_info('ak') WHERE "
                                                     "name = 'k9'"))
                    .toInt() > 0;
        return *m_ownAmounts;
    }

    // A line's amount in SQL: its own where it keeps one, else quantity × price.
    QString lineAmount() {
        const QString product = m_server
                                    ? QStringLiteral("%1 * %2").arg(serverNumber("k4"), serverNumber("k6"))
                                    : QStringLiteral("k4 * k6");
        if (!hasOwnAmounts())
            return product;
        return QStringLiteral("CASE WHEN k9 IS NULL OR k9 = '' THEN %1 ELSE %2 END")
            .arg(product, m_server ? serverNumber("k9") : QStringLiteral("k9 * 1"));
    }

    // A text column's value as an exact number on a server; NULL when it is no number.
    static QString serverNumber(const char* column) {
        return QStringLiteral(
                   "(CASE WHEN %1 ~ '^ *[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+) *$' THEN %1::numeric END)")
            .arg(QLatin1String(column));
    }

    struct Quantities {
        Currency lines, records;
        bool unreadable = false;
        QList<qint64> keys; // the stock-out records
    };

    void compareProductByProduct(const QStringList& orders) {
        // order and product, separated by a unit separator
        QHash<QString, Quantities> sums;
        QStringList pairs; // in the order first seen
        auto at = [&](const QString& order, const QString& product) -> Quantities& {
            const QString key = order + QChar(0x1f) + product;
            if (!sums.contains(key))
                pairs << key;
            return sums[key];
        };
        if (!m_server)
            scratch(QStringLiteral("check_orders"), QStringLiteral("o TEXT PRIMARY KEY"));
        for (const QString& order : orders) {
            if (!m_server)
                Db::exec(m_a, QStringLiteral("INSERT OR IGNORE INTO temp.check_orders VALUES (:o)"),
                         {{QStringLiteral(":o"), order}});
            QSqlQuery lines =
                Db::exec(m_a, QStringLiteral("SELECT k7, k4 FROM ak WHERE k8 = :o ORDER BY kid"),
                         {{QStringLiteral(":o"), order}});
            while (lines.next()) {
                Quantities& s = at(order, lines.value(0).toString());
                try {
                    s.lines += Currency::parse(lines.value(1).toString());
                } catch (const ConversionError&) {
                    s.unreadable = true;
                }
            }
            // Goods returned to stock have a reversing record; goods written off stay out.
            QSqlQuery back =
                Db::exec(m_a,
                         QStringLiteral("SELECT l.product, l.quantity FROM return_lines l JOIN returns r "
                                        "ON r.id = l.return_id WHERE r.order_id = :o AND l.damaged = 0"),
                         {{QStringLiteral(":o"), order.toLongLong()}});
            while (back.next()) {
                Quantities& s = at(order, back.value(0).toString());
                try {
                    s.lines -= Currency::parse(back.value(1).toString());
                } catch (const ConversionError&) {
                    s.unreadable = true;
                }
            }
        }
        auto addRecords = [&](QSqlQuery& records) {
            while (records.next()) {
                Quantities& s = at(records.value(1).toString(), records.value(2).toString());
                s.keys << records.value(0).toLongLong();
                try {
                    s.records += Currency::parse(records.value(3).toString());
                } catch (const ConversionError&) {
                    s.unreadable = true;
                }
            }
        };
        if (m_server) {
            for (const QString& order : orders) {
                QSqlQuery records = Db::exec(
                    m_a, QStringLiteral("SELECT eid, e11, e1, e3 FROM ae WHERE e11 = :o ORDER BY eid"),
                    {{QStringLiteral(":o"), order}});
                addRecords(records);
            }
        } else {
            QSqlQuery records =
                Db::exec(m_a, QStringLiteral("SELECT eid, e11, e1, e3 FROM ae "
                                             "JOIN temp.check_orders c ON c.o = ae.e11 ORDER BY eid"));
            addRecords(records);
        }
        const QString detail = QStringLiteral("每条明细都写一条出库记录，删除明细时写一条数量为负的冲销记录，"
                                              "两者之和应相等。出库记录或明细可能是在程序之外被改动的。");
        for (const QString& key : pairs) {
            const Quantities& s = sums[key];
            if (!s.unreadable && s.lines == s.records)
                continue;
            const QString order = key.section(QChar(0x1f), 0, 0);
            const QString product = key.section(QChar(0x1f), 1);
            if (!Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM ab WHERE CAST(bid AS TEXT) = :p"),
                            {{QStringLiteral(":p"), product}})
                     .toBool())
                continue; // a removed line of a deleted product has no reversing record
            if (s.unreadable)
                add(QStringLiteral("订单 %1 中产品 %2 的出库记录或明细的数量不是数字").arg(order, product),
                    detail, QStringLiteral("ae"), s.keys);
            else
                add(QStringLiteral("订单 %1 中产品 %2 的出库数量 %3 与明细数量 %4 不符")
                        .arg(order, product, s.records.toString(), s.lines.toString()),
                    detail, QStringLiteral("ae"), s.keys);
        }
    }

    // Each card's recharges and payments, in the order of their moments, form one chain of
    // balances ending at the card's balance. The opening balance is not recorded, so the first
    // record's balance before is taken as it stands.
    void cardChains() {
        if (m_server) {
            QSqlQuery q = Db::exec(m_a, serverChainStatement());
            QStringList candidates;
            while (q.next())
                candidates << q.value(0).toString();
            followChains(candidates);
            return;
        }
        readAside(
            QStringLiteral("会员卡的余额"), [this] { followChains(m_asideCards); },
            [this] {
                QSqlQuery q = Db::exec(m_a, chainStatement());
                QStringList candidates;
                while (q.next())
                    candidates << q.value(0).toString();
                followChains(candidates);
            });
    }

    // SQL reads the records of every card in the order of their moments and keys and picks the
    // cards where that order is no unbroken chain, a record does not add up or a value is no
    // number, below zero or not the card's balance at the end; those are followed exactly by
    // followChains(), where records of the same second may take whichever order continues the
    // chain.
    static QString chainStatement() {
        const QString isNumber = QStringLiteral("typeof(%1) IN ('integer', 'real')");
        return QStringLiteral("SELECT card FROM ("
                              "SELECT card, ok, r, before, after, amount, lag(after) OVER w AS prev, "
                              "lead(k) OVER w IS NULL AS last FROM ("
                              "SELECT h6 AS card, h3 AS t, hid AS k, 1 AS r, h4 AS before, h5 AS after, h2 "
                              "AS amount, "
                              "%1 AND %2 AND %3 AS ok FROM ah UNION ALL "
                              "SELECT g6, g3, gid, 0, g4 + g2, g4, g2, %4 AND %5 FROM ag) "
                              "WINDOW w AS (PARTITION BY card ORDER BY t, k, r DESC)) "
                              "WHERE NOT ok OR before < 0 OR after < 0 "
                              "OR (prev IS NOT NULL AND abs(before - prev) > 0.00001) "
                              "OR (r AND abs(before + amount - after) > 0.00001) "
                              "OR (last AND coalesce((SELECT typeof(j9) NOT IN ('integer', 'real') OR "
                              "abs(j9 - after) "
                              "> 0.00001 "
                              "FROM aj WHERE aj.jid = card AND CAST(aj.jid AS TEXT) = card), 0)) "
                              "UNION SELECT CAST(jid AS TEXT) FROM aj WHERE j9 IS NULL OR typeof(j9) NOT IN "
                              "('integer', 'real') "
                              "OR j9 < 0")
            .arg(isNumber.arg("h2"), isNumber.arg("h4"), isNumber.arg("h5"), isNumber.arg("g2"),
                 isNumber.arg("g4"));
    }

    // Follows the chain of each card picked, and says what was checked.
    void followChains(const QStringList& candidates) {
        const qint64 cards = Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM aj")).toLongLong();
        const qint64 recharges = Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM ah")).toLongLong();
        const qint64 payments = Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM ag")).toLongLong();
        for (const QString& text : candidates) {
            bool ok = false;
            const qint64 card = text.toLongLong(&ok);
            if (!ok || QString::number(card) != text)
                continue; // records of no card: found by the rules of their rows
            QSqlQuery balance = Db::exec(m_a, QStringLiteral("SELECT j9 FROM aj WHERE jid = :c"),
                                         {{QStringLiteral(":c"), card}});
            if (!balance.next())
                continue;
            const QVariant stored = balance.value(0);
            std::vector<Movement> moves;
            const Db::Params byCard = {{QStringLiteral(":c"), text}};
            QSqlQuery h =
                Db::exec(m_a, QStringLiteral("SELECT hid, h3, h2, h4, h5 FROM ah WHERE h6 = :c"), byCard);
            while (h.next())
                moves.push_back({h.value(0).toLongLong(), true, h.value(1).toString(), amountOf(h.value(2)),
                                 amountOf(h.value(3)), amountOf(h.value(4))});
            QSqlQuery g =
                Db::exec(m_a, QStringLiteral("SELECT gid, g3, g2, g4 FROM ag WHERE g6 = :c"), byCard);
            while (g.next())
                moves.push_back({g.value(0).toLongLong(), false, g.value(1).toString(), amountOf(g.value(2)),
                                 std::nullopt, amountOf(g.value(3))});
            checkChain(card, stored, moves);
        }
        m_report.checked << QStringLiteral("会员卡 %1 张、充值记录 %2 条、消费记录 %3 条：余额前后相接")
                                .arg(number(cards), number(recharges), number(payments));
    }

    // The cards to follow, on a server: its number columns hold numbers or NULL.
    static QString serverChainStatement() {
        return QStringLiteral(
            "SELECT card FROM ("
            "SELECT card, ok, r, before, after, amount, lag(after) OVER w AS prev, "
            "lead(k) OVER w IS NULL AS last FROM ("
            "SELECT h6 AS card, h3 AS t, hid AS k, 1 AS r, h4 AS before, h5 AS after, h2 AS amount, "
            "h2 IS NOT NULL AND h4 IS NOT NULL AND h5 IS NOT NULL AS ok FROM ah UNION ALL "
            "SELECT g6, g3, gid, 0, g4 + g2, g4, g2, g2 IS NOT NULL AND g4 IS NOT NULL FROM ag) AS m "
            "WINDOW w AS (PARTITION BY card ORDER BY t, k, r DESC)) AS c "
            "WHERE NOT ok OR before < 0 OR after < 0 "
            "OR (prev IS NOT NULL AND abs(before - prev) > 0.00001) "
            "OR (r = 1 AND abs(before + amount - after) > 0.00001) "
            "OR (last AND coalesce((SELECT j9 IS NULL OR abs(j9 - after) > 0.00001 "
            "FROM aj WHERE CAST(aj.jid AS TEXT) = card), false)) "
            "UNION SELECT CAST(jid AS TEXT) FROM aj WHERE j9 IS NULL OR j9 < 0");
    }

    // Puts the records [from, to) of one second into an order in which each continues the one
    // before, starting from the balance (from any record when it is not known); false when there
    // is no such order.
    static bool chainSecond(std::vector<Movement>& moves, size_t from, size_t to,
                            std::optional<Currency> balance) {
        if (from == to)
            return true;
        for (size_t k = from; k < to; ++k) {
            const std::optional<Currency> before = moves[k].impliedBefore();
            if (balance && (!before || *before != *balance))
                continue;
            std::swap(moves[from], moves[k]);
            if (chainSecond(moves, from + 1, to, moves[from].after))
                return true;
            std::swap(moves[from], moves[k]);
        }
        return false;
    }

    void checkChain(qint64 card, const QVariant& storedBalance, std::vector<Movement>& moves) {
        std::sort(moves.begin(), moves.end(), [](const Movement& a, const Movement& b) {
            if (a.time != b.time)
                return a.time < b.time;
            if (a.key != b.key)
                return a.key < b.key;
            return a.recharge && !b.recharge;
        });
        std::optional<Currency> balance; // after the last record; unknown before the first
        const Movement* previous = nullptr;
        const QString explain = QStringLiteral(
            "会员卡的充值和消费记录按时间排列，每笔之前的余额应等于上一笔之后的余额，最后一笔之后的余额"
            "应等于卡中余额。记录或余额可能是在程序之外被改动的。");
        size_t i = 0;
        while (i < moves.size()) {
            // Records of the same second: whichever order lets the chain continue.
            size_t end = i;
            while (end < moves.size() && moves[end].time == moves[i].time)
                ++end;
            // A few records of one second are put in an order that chains them all where there is
            // one; otherwise (and for many) each next record is one that continues the chain.
            const bool chained = end - i > 1 && end - i <= 8 && chainSecond(moves, i, end, balance);
            for (size_t next = i; next < end; ++next) {
                size_t pick = next;
                for (size_t k = next; k < end && !chained; ++k) {
                    const std::optional<Currency> before = moves[k].impliedBefore();
                    bool fits = false;
                    if (balance) {
                        fits = before && *before == *balance;
                    } else {
                        // The first of a chain: the record no other record of the second leads to.
                        fits = true;
                        for (size_t other = next; other < end; ++other)
                            if (other != k && before && moves[other].after && *moves[other].after == *before)
                                fits = false;
                    }
                    if (fits) {
                        pick = k;
                        break;
                    }
                }
                std::swap(moves[next], moves[pick]);
                const Movement& m = moves[next];
                QStringList faults;
                const std::optional<Currency> before = m.impliedBefore();
                if (balance && before && *before != *balance)
                    faults << (m.recharge
                                   ? QStringLiteral("充值前余额 %1 与上一笔（%2）之后的余额 %3 不接续")
                                         .arg(before->toString(), previous->name(), balance->toString())
                                   : QStringLiteral("上一笔（%1）之后的余额为 %2，减去消费金额 %3 应为 %4，"
                                                    "记录的消费后余额却是 %5")
                                         .arg(previous->name(), balance->toString(), m.amount->toString(),
                                              (*balance - *m.amount).toString(), m.after->toString()));
                if (m.recharge && m.before && m.amount && m.after && *m.before + *m.amount != *m.after)
                    faults << QStringLiteral("充值前余额 %1 加充值金额 %2 不等于充值后余额 %3")
                                  .arg(m.before->toString(), m.amount->toString(), m.after->toString());
                if (!m.amount || !m.after || (m.recharge && !m.before))
                    faults << QStringLiteral("金额或余额不是数字");
                const Currency zero;
                if ((m.before && *m.before < zero) || (m.after && *m.after < zero))
                    faults << QStringLiteral("余额小于零");
                if (!faults.isEmpty())
                    add(QStringLiteral("会员卡 %1 的%2：%3").arg(card).arg(m.name(), faults.first()),
                        faults.mid(1).join(QStringLiteral("；")) +
                            (faults.size() > 1 ? QStringLiteral("。\n") : QString()) + explain,
                        m.recharge ? QStringLiteral("ah") : QStringLiteral("ag"), {m.key});
                balance = m.after;
                previous = &m;
            }
            i = end;
        }
        if (storedBalance.isNull() || storedBalance.toString().isEmpty()) {
            add(QStringLiteral("会员卡 %1 没有卡中余额").arg(card),
                QStringLiteral("没有余额的卡不能充值，也不能用来结算。"), QStringLiteral("aj"), {card});
            return;
        }
        const std::optional<Currency> stored = amountOf(storedBalance);
        if (!stored)
            return; // reported with the values that are no numbers
        if (balance && *balance != *stored)
            add(QStringLiteral("会员卡 %1 的卡中余额 %2 与最后一笔记录（%3）之后的余额 %4 不符")
                    .arg(card)
                    .arg(stored->toString(), previous->name(), balance->toString()),
                explain, QStringLiteral("aj"), {card});
        else if (*stored < Currency())
            add(QStringLiteral("会员卡 %1 的卡中余额 %2 小于零").arg(card).arg(stored->toString()), explain,
                QStringLiteral("aj"), {card});
    }

    // The statistics read the stock-out records summed per day and major category; the sums are
    // read afresh from the records and compared, day by day.
    void daySummary() {
        if (m_server) {
            daySummaryOnServer();
            return;
        }
        if (Db::scalar(m_a, QStringLiteral("select count(*) from sqlite_master where type = 'table' and "
                                           "name = 'ae_day'"))
                .toInt() == 0) {
            // A file of an earlier version gets it when the program next starts.
            m_report.checked << QStringLiteral("出库记录的每日汇总：尚未建立，程序下次启动时建立");
            return;
        }
        compareWithStockOut(QStringLiteral("出库记录的每日汇总"), &Checker::compareDaySummary);
    }

    void compareDaySummary() {
        // The sums kept, against those just read from the records (whole ten-thousandths: exact).
        std::set<QString> differing;
        QHash<QByteArray, DaySums> fresh = m_days;
        RawStatement kept(Db::sqliteHandle(m_a),
                          QStringLiteral("SELECT d, e8, n, nocost, qty, sales, costed, cost FROM ae_day"));
        std::set<QByteArray> keptDays;
        while (kept.next()) {
            const QByteArray day = kept.text(0);
            keptDays.insert(day);
            DaySums sums;
            bool missing = false;
            for (size_t i = 0; i < sums.size(); ++i) {
                sums[i] = kept.integer(2 + int(i));
                missing = missing || kept.isNull(2 + int(i));
            }
            const auto found = fresh.find(day + '\x1f' + kept.text(1));
            if (found == fresh.end() || *found != sums || missing)
                differing.insert(QString::fromUtf8(day));
            if (found != fresh.end())
                fresh.erase(found);
        }
        // Days and categories with records but no sums kept.
        for (auto it = fresh.cbegin(); it != fresh.cend(); ++it)
            differing.insert(QString::fromUtf8(it.key().left(it.key().indexOf('\x1f'))));
        daySummaryCompared(qint64(keptDays.size()), QStringList(differing.begin(), differing.end()));
    }

    // The days summed, and the days whose sums differ from the records.
    void daySummaryCompared(qint64 keptDays, const QStringList& days) {
        m_report.checked << QStringLiteral("出库记录的每日汇总 %1 天").arg(keptDays);
        if (days.isEmpty())
            return;
        add(QStringLiteral("%1 天的出库汇总与出库记录不符（%2）")
                .arg(days.size())
                .arg(days.mid(0, 5).join(QStringLiteral("、")) +
                     (days.size() > 5 ? QStringLiteral("…") : QString())),
            QStringLiteral("统计页的销售额和毛利可能不对。出库记录本身没有问题；汇总可以从记录重新生成。"),
            QStringLiteral("ae"), {});
    }

    // The same on a server, where its trigger keeps the summary: the server sums the records
    // afresh and compares.
    void daySummaryOnServer() {
        QStringList differs;
        for (const char* column : {"n", "nocost", "qty", "sales", "costed", "cost"})
            differs << QStringLiteral("f.%1 IS DISTINCT FROM k.%1").arg(QLatin1String(column));
        QSqlQuery q =
            Db::exec(m_a, QStringLiteral("SELECT DISTINCT coalesce(f.d, k.d) FROM (%1) AS f FULL JOIN "
                                         "ae_day AS k ON f.d = k.d AND f.e8 = k.e8 WHERE %2 ORDER BY 1")
                              .arg(Schema::daySummaryStatement(), differs.join(QStringLiteral(" OR "))));
        QStringList days;
        while (q.next())
            days << q.value(0).toString();
        daySummaryCompared(
            Db::scalar(m_a, QStringLiteral("SELECT count(DISTINCT d) FROM ae_day")).toLongLong(), days);
    }

    // The lists take each big table's row count from the counts the file keeps; each is compared
    // with the rows there are.
    void rowCounts() {
        // A server counts its tables itself: it keeps no counts of its own.
        if (m_server)
            return;
        if (Db::scalar(m_a, QStringLiteral("select count(*) from sqlite_master where type = 'table' and "
                                           "name = 'row_counts'"))
                .toInt() == 0) {
            m_report.checked << QStringLiteral("各表的行数：尚未建立，程序下次启动时建立");
            return;
        }
        QStringList differing;
        QSqlQuery kept = Db::exec(m_a, QStringLiteral("SELECT t, n FROM row_counts"));
        while (kept.next()) {
            const QString table = kept.value(0).toString();
            if (!Schema::countedTables().contains(table))
                continue;
            const qint64 rows =
                Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM %1").arg(table)).toLongLong();
            if (kept.value(1).isNull() || kept.value(1).toLongLong() != rows)
                differing << QStringLiteral("%1记下 %2 行，实有 %3 行")
                                 .arg(tableName(table),
                                      kept.value(1).isNull() ? shown(kept.value(1))
                                                             : number(kept.value(1).toLongLong()),
                                      number(rows));
        }
        m_report.checked << QStringLiteral("各表的行数");
        if (differing.isEmpty())
            return;
        add(QStringLiteral("%1 个表记下的行数与表中的行数不符（%2）")
                .arg(differing.size())
                .arg(differing.join(QStringLiteral("；"))),
            QStringLiteral("这些列表显示的行数可能不对。表中的行本身没有问题。"),
            QStringLiteral("row_counts"), {});
    }

    void settings() {
        QSqlQuery q = Db::exec(m_b, QStringLiteral("SELECT run FROM a5 WHERE ids = 8"));
        if (!q.next()) {
            add(QStringLiteral("设置行（编号 8）不存在"),
                QStringLiteral("程序无法保存“启动时显示向导”的选择。"), QStringLiteral("a5"), {});
        } else if (const QString run = q.value(0).toString();
                   run != QLatin1String("0") && run != QLatin1String("1")) {
            add(QStringLiteral("设置行（编号 8）的值 %1 既不是 '0' 也不是 '1'").arg(shown(q.value(0))),
                QStringLiteral("程序无法读出“启动时显示向导”的选择。"), QStringLiteral("a5"), {8});
        }
        m_report.checked << QStringLiteral("设置");
    }

    // The operation log only grows. In a file every row's hash follows on from the row before: a
    // row changed, removed or slipped in by hand breaks the chain there. On a server its triggers
    // refuse every change: the check makes sure they are there and enabled.
    void operationLog() {
        if (m_server) {
            if (Db::scalar(m_a, QStringLiteral("SELECT to_regclass('oplog') IS NULL")).toBool()) {
                m_report.checked << QStringLiteral("操作日志：尚未建立");
                return;
            }
            const qint64 guards =
                Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM pg_trigger WHERE tgrelid = "
                                               "to_regclass('oplog') AND tgname IN ('oplog_no_change', "
                                               "'oplog_no_truncate') AND tgenabled <> 'D'"))
                    .toLongLong();
            if (guards < 2)
                add(QStringLiteral("操作日志的保护触发器被删除或停用了"),
                    QStringLiteral("操作日志现在可以被修改或删除。请数据库管理员重新建立并启用触发器 "
                                   "oplog_no_change 和 oplog_no_truncate，并查明是谁删除或停用了它们。"),
                    OpLog::Table, {});
            m_report.checked << QStringLiteral("操作日志：服务器的触发器拒绝修改和删除");
            return;
        }
        if (Db::scalar(m_a,
                       QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = "
                                      "'oplog'"))
                .toInt() == 0) {
            m_report.checked << QStringLiteral("操作日志：尚未建立");
            return;
        }
        const QList<OpLog::Break> breaks =
            OpLog::checkChain(m_a, [this](qint64, qint64) { return !stopRequested(); });
        if (m_report.stopped)
            return;
        for (const OpLog::Break& b : breaks)
            add(b.text,
                QStringLiteral(
                    "操作日志只能追加，这里的记录在写入之后被人在程序之外改动过。请用备份中的操作日志"
                    "对照，查明改动了什么、是谁改动的。"),
                OpLog::Table, {b.key});
        m_report.checked
            << QStringLiteral("操作日志 %1 行：每一行都与前一行相接")
                   .arg(number(Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM oplog")).toLongLong()));
    }

    QList<RowRule> rulesFor(const Schema::Table& table) {
        QList<RowRule> rules;
        const QString numberDetail = QStringLiteral(
            "这一列只应保存数字；程序读到这样的值会出错。请在程序中改正这些行，或从备份恢复。");
        for (const QString& column : table.numericColumns) {
            if (m_server)
                break; // a server's number column holds nothing else
            if (table.name == QLatin1String("aa") && column == QLatin1String("a5"))
                continue; // checked with the order totals, where it can be recomputed
            rules << RowRule{
                column,
                QStringLiteral("(%1 IS NOT NULL AND typeof(%1) NOT IN ('integer', 'real'))").arg(column),
                QStringLiteral("%1的%2有 %3 行不是数字，例如 %4")
                    .arg(tableName(table.name), columnName(column)),
                numberDetail};
        }
        for (const QString& column : table.dateTimeColumns)
            rules << RowRule{
                column, m_server ? serverBadDateTime(column) : badDateTime(column),
                QStringLiteral("%1的%2有 %3 行不是“年-月-日 时:分:秒”格式的时间，例如 %4")
                    .arg(tableName(table.name), columnName(column)),
                QStringLiteral("时间应写成 2026-12-09 10:30:00 这样；别的写法排序和按日期查询都会出错。")};
        if (table.name == QLatin1String("aa")) {
            rules << RowRule{QStringLiteral("a2"),
                             QStringLiteral("(a2 IS NULL OR a2 NOT IN ('未结算', '已结算'))"),
                             QStringLiteral("%1 张订单的状态既不是“未结算”也不是“已结算”，例如 %2"),
                             QStringLiteral("这样的订单既不能结算，也不会出现在结算列表中。")};
            rules << RowRule{
                QStringLiteral("a6"),
                QStringLiteral("(a2 = '已结算' AND %1)").arg(Db::holdsNoNumber(m_a, QStringLiteral("a6"))),
                QStringLiteral("%1 张已结算的订单没有实收金额，例如 %2"),
                QStringLiteral("结算时总会写下实收金额。")};
        } else if (table.name == QLatin1String("ae")) {
            rules << RowRule{
                QStringLiteral("e11"), issuedKeyRule(QStringLiteral("e11"), highestKey("aa", "aid")),
                QStringLiteral("%1 条出库记录的订单号从未有过，例如 %2"),
                QStringLiteral("出库记录由订单明细写入，订单号总是已经发出的编号。删除订单时出库记录会保留，"
                               "这不算问题；这里的订单号却从来没有发出过。")};
        } else if (table.name == QLatin1String("ag")) {
            rules << RowRule{
                QStringLiteral("g5"), issuedKeyRule(QStringLiteral("g5"), highestKey("aa", "aid")),
                QStringLiteral("%1 条消费记录的订单号从未有过，例如 %2"),
                QStringLiteral("消费记录是用会员卡结算订单时写下的，订单号总是已经发出的编号。")};
            rules << RowRule{QStringLiteral("g6"), existingKeyRule(QStringLiteral("g6"), "aj", "jid"),
                             QStringLiteral("%1 条消费记录的会员卡不存在，例如 %2"),
                             QStringLiteral("删除会员时会一并删除其记录；这些记录的会员卡却已不存在。")};
        } else if (table.name == QLatin1String("ah")) {
            rules << RowRule{QStringLiteral("h6"), existingKeyRule(QStringLiteral("h6"), "aj", "jid"),
                             QStringLiteral("%1 条充值记录的会员卡不存在，例如 %2"),
                             QStringLiteral("删除会员时会一并删除其记录；这些记录的会员卡却已不存在。")};
        }
        return rules;
    }

    QString existingKeyRule(const QString& column, const char* table, const char* key) const {
        if (!m_server)
            return notExistingKey(column, QLatin1String(table), QLatin1String(key));
        return QStringLiteral("NOT EXISTS (SELECT 1 FROM %2 WHERE CAST(%2.%3 AS TEXT) = %1)")
            .arg(column, QLatin1String(table), QLatin1String(key));
    }

    QString issuedKeyRule(const QString& column, qint64 highest) const {
        if (!m_server)
            return notIssuedKey(column, highest);
        return QStringLiteral("NOT coalesce(%1 ~ '^[1-9][0-9]{0,17}$' AND %1::numeric <= %2, false)")
            .arg(column)
            .arg(highest);
    }

    // A moment that is no "yyyy-MM-dd HH:mm:ss" of a real month, day, hour, minute and second; the
    // server refuses any other shape on every write.
    static QString serverBadDateTime(const QString& column) {
        return QStringLiteral("(%1 IS NOT NULL AND %1 !~ "
                              "'^[0-9]{4}-(0[1-9]|1[0-2])-(0[1-9]|[12][0-9]|3[01]) "
                              "([01][0-9]|2[0-4]):[0-5][0-9]:[0-5][0-9]$')")
            .arg(column);
    }

    // The stock-out records' rules are needed only when the one pass over them found something
    // (see readStockOut), so when that pass runs aside they are taken in after it.
    void stockOutRows(const Schema::Table& table) {
        const QString what = tableName(table.name);
        if (!m_readingAside) {
            part(what, [&] { scanRows(table); });
            return;
        }
        const auto scan = [this, table] {
            scanRows(table);
        };
        readAside(what, scan, scan);
    }

    // One pass over the table for every rule of its rows; the rows a rule finds are one problem.
    void scanRows(const Schema::Table& table) {
        QList<RowRule> rules = rulesFor(table);
        if (table.name == QLatin1String("ae") && !m_scanStockOut)
            rules.clear(); // nothing to find: the stock-out records were checked per order
        if (rules.isEmpty() && table.name != QLatin1String("ae"))
            return;
        if (!rules.isEmpty())
            findRows(table, rules);
        tableChecked(table);
    }

    void tableChecked(const Schema::Table& table) {
        m_report.checked << QStringLiteral("%1 %2 行：%3")
                                .arg(tableName(table.name))
                                .arg(number(
                                    Db::scalar(m_a, QStringLiteral("SELECT count(*) FROM %1").arg(table.name))
                                        .toLongLong()))
                                .arg(ruleSummary(table));
    }

    // What the rules of a table's rows found: per rule the number of rows, the first rows' keys
    // and an example.
    struct RowFindings {
        QList<RowRule> rules;
        std::vector<QList<qint64>> rows;
        std::vector<qint64> counts;
        std::vector<QString> examples;
    };

    static QString findStatement(const Schema::Table& table, const QList<RowRule>& rules) {
        QStringList flags, columns;
        for (const RowRule& rule : rules) {
            flags << rule.condition;
            columns << rule.column;
        }
        return QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %5")
            .arg(table.key, flags.join(QStringLiteral(", ")), columns.join(QStringLiteral(", ")), table.name,
                 flags.join(QStringLiteral(" OR ")));
    }

    // Reads the rows the statement above picks, through a QSqlQuery or RawStatement.
    template <typename Rows> static RowFindings collectRows(Rows& q, const QList<RowRule>& rules) {
        const int n = int(rules.size());
        RowFindings f{rules, std::vector<QList<qint64>>(size_t(n)), std::vector<qint64>(size_t(n), 0),
                      std::vector<QString>(size_t(n))};
        while (q.next()) {
            const qint64 key = q.value(0).toLongLong();
            for (int i = 0; i < n; ++i) {
                if (!q.value(1 + i).toBool())
                    continue;
                if (f.counts[size_t(i)]++ == 0)
                    f.examples[size_t(i)] =
                        QStringLiteral("%1（第 %2 行）").arg(shown(q.value(1 + n + i))).arg(key);
                if (f.rows[size_t(i)].size() < KeptRows)
                    f.rows[size_t(i)] << key;
            }
        }
        return f;
    }

    void reportRows(const Schema::Table& table, const RowFindings& f) {
        for (qsizetype i = 0; i < f.rules.size(); ++i)
            if (f.counts[size_t(i)] > 0) {
                const RowRule& rule = f.rules[i];
                add(rule.title.arg(number(f.counts[size_t(i)]), f.examples[size_t(i)]), rule.detail,
                    table.name, f.rows[size_t(i)]);
            }
    }

    void findRows(const Schema::Table& table, const QList<RowRule>& rules) {
        QSqlQuery q = Db::exec(m_a, findStatement(table, rules));
        reportRows(table, collectRows(q, rules));
    }

    static QString ruleSummary(const Schema::Table& table) {
        QStringList what;
        if (!table.numericColumns.isEmpty())
            what << QStringLiteral("数字列都是数字");
        if (!table.dateTimeColumns.isEmpty())
            what << QStringLiteral("时间列格式正确");
        if (table.name == QLatin1String("aa"))
            what << QStringLiteral("状态和实收金额");
        else if (table.name == QLatin1String("ae") || table.name == QLatin1String("ag"))
            what << QStringLiteral("订单号");
        if (table.name == QLatin1String("ag") || table.name == QLatin1String("ah"))
            what << QStringLiteral("会员卡存在");
        return what.join(QStringLiteral("、"));
    }

    QSqlDatabase m_a, m_b;
    std::function<bool(int, int)> m_progress;
    // The ledger is on a database server: its storage is the server's to keep whole, its number
    // columns hold numbers by their type, and the statements are in the server's dialect.
    bool m_server = false;
    std::optional<bool> m_ownAmounts;
    CheckReport m_report;
    bool m_linesReady = false;
    qint64 m_mapped = -1;         // the connection's memory map size before the check
    ReadAside m_aside;            // the file's own check, the stock-out records
    ReadAside m_asideOthers;      // the cards' chains, the other tables' rows
    QStringList m_asideCards;     // the cards the chains' statement picked, read aside
    int m_done = 0, m_total = 0;  // parts of the check done, of all
    bool m_full = false;          // the database's full check of the files, not the quick one
    bool m_readingAside = false;  // parts of the check read on a thread of their own
    QStringList m_asideFileCheck; // what the database's check of the business file said, read aside
    std::map<QString, RowFindings> m_asideRows; // what the rules of the tables' rows found, read aside
    std::vector<Deferred> m_deferred;
    bool m_scanStockOut = true;
    bool m_outReady = false;
    qint64 m_outRecords = 0;
    QHash<QByteArray, OutSums> m_out;  // by order number, as the records hold it
    QHash<QByteArray, DaySums> m_days; // by day and major category
};

} // namespace

namespace Ledger {

QList<qint64> CheckReport::fixableOrders() const {
    QList<qint64> orders;
    for (const CheckProblem& p : problems)
        if (p.fixable && p.table == QLatin1String("aa"))
            for (qint64 key : p.rows)
                if (!orders.contains(key))
                    orders << key;
    return orders;
}

QString CheckReport::text() const {
    QStringList out;
    out << QStringLiteral("账本检查");
    out << QStringLiteral("已检查：");
    for (const QString& line : checked)
        out << QStringLiteral("  · ") + line;
    if (!skipped.isEmpty()) {
        out << QStringLiteral("未检查：");
        for (const QString& line : skipped)
            out << QStringLiteral("  · ") + line;
    }
    out << QString();
    if (stopped) {
        // No verdict: only part of the ledger was read.
        out << QStringLiteral("检查在完成之前被停止，没有结论。");
        if (!problems.isEmpty())
            out << QStringLiteral("停止之前已发现 %1 个问题：").arg(problems.size());
    } else if (clean()) {
        out << QStringLiteral("未发现问题。");
        return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
    } else {
        out << QStringLiteral("发现 %1 个问题：").arg(problems.size());
    }
    int n = 0;
    for (const CheckProblem& p : problems) {
        out << QStringLiteral("%1. %2").arg(++n).arg(p.title);
        for (const QString& line : p.detail.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            out << QStringLiteral("   ") + line;
        if (!p.rows.isEmpty()) {
            QStringList keys;
            for (int i = 0; i < std::min<qsizetype>(p.rows.size(), ShownRows); ++i)
                keys << QString::number(p.rows[i]);
            QString rows = keys.join(QStringLiteral(", "));
            if (p.rows.size() > ShownRows)
                rows += QStringLiteral(" 等，共 %1 行").arg(number(p.rows.size()));
            out << QStringLiteral("   涉及表 %1（%2）的行：%3").arg(p.table, tableName(p.table), rows);
        }
        if (p.fixable)
            out << QStringLiteral("   可以自动修复。");
    }
    return out.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void setReadingAside(bool aside) {
    readingAsideAllowed = aside;
}

QString shopFolderOf(const QSqlDatabase& business) {
    if (Db::isServer(business))
        return {};
    sqlite3* db = Db::sqliteHandle(business);
    const char* path = db ? sqlite3_db_filename(db, "main") : nullptr;
    return path && *path ? QFileInfo(QString::fromUtf8(path)).absolutePath() : QString();
}

QDateTime lastFullFileCheck(const QString& shopFolder) {
    const QSettings settings(QDir(shopFolder).absoluteFilePath(Db::FolderSettingsFile), QSettings::IniFormat);
    return QDateTime::fromString(settings.value(FullCheckKey).toString(), Qt::ISODate);
}

bool fullFileCheckDue(const QString& shopFolder, const QDateTime& now) {
    const QDateTime last = lastFullFileCheck(shopFolder);
    return !last.isValid() || last > now || last.secsTo(now) >= 7 * 24 * 3600;
}

CheckReport checkShop(const std::function<bool(int, int)>& progress) {
    Staff::require(Staff::Right::BackupRestore, OpLog::Check);
    return checkLedger(Db::business(), Db::lists(), progress);
}

CheckReport checkLedger(const QSqlDatabase& business, const QSqlDatabase& lists,
                        const std::function<bool(int, int)>& progress, FileCheck depth) {
    if (!Db::isServer(business)) {
        const QString folder = shopFolderOf(business);
        const bool full =
            depth == FileCheck::Full || (depth == FileCheck::Due && !folder.isEmpty() &&
                                         fullFileCheckDue(folder, QDateTime::currentDateTime()));
        CheckReport report = Checker(business, lists, progress, full).run();
        if (full && !report.stopped && !folder.isEmpty()) {
            // Remembered for the next checks; when it cannot be written, the next check is full too.
            QSettings settings(QDir(folder).absoluteFilePath(Db::FolderSettingsFile), QSettings::IniFormat);
            settings.setValue(FullCheckKey, QDateTime::currentDateTime().toString(Qt::ISODate));
            settings.sync();
        }
        return report;
    }
    // Other tills go on working meanwhile: every part reads the ledger as it was at the start.
    Db::exec(business, QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    try {
        CheckReport report = Checker(business, business, progress, false).run();
        Db::exec(business, QStringLiteral("COMMIT"));
        return report;
    } catch (...) {
        QSqlQuery(business).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

int fixAmountsDue(const QList<qint64>& orders) {
    Staff::require(Staff::Right::BackupRestore, QStringLiteral("修复应收金额"));
    Db::Work work(Db::business());
    int changed = 0;
    for (qint64 order : orders) {
        QSqlQuery row =
            work.exec(QStringLiteral("SELECT a5 FROM aa WHERE aid = :a"), {{QStringLiteral(":a"), order}});
        if (!row.next())
            continue;
        const std::optional<Currency> stored = amountOf(row.value(0));
        const Currency sum = Orders::sumOfLines(work.db(), order);
        if (stored && *stored == sum)
            continue;
        OpLog::write(work, {QStringLiteral("修复应收金额"), QStringLiteral("订单 %1").arg(order),
                            row.value(0).toString(), sum.toString()});
        work.exec(QStringLiteral("UPDATE aa SET a5 = :c WHERE aid = :a"),
                  {{QStringLiteral(":c"), sum.toSql()}, {QStringLiteral(":a"), order}});
        work.wrote(QStringLiteral("aa"), order);
        ++changed;
    }
    work.commit();
    return changed;
}

} // namespace Ledger
