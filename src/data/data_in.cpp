#include "data/data_in.h"

#include "data/schema.h"
#include "data/tableindex.h"

#include "core/errors.h"

#include "data/rawstatement.h"
#include "data/work.h"

#include <QDir>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <exception>
#include <memory>
#include <sqlite3.h>
#include <utility>

TData_in* Data_in = nullptr;

namespace {
TData_in::PasswordAsker passwordAsker;
} // namespace

void TData_in::setPasswordAsker(PasswordAsker asker) {
    passwordAsker = std::move(asker);
}

TData_in::TData_in(QObject* parent, const QString& folder) : QObject(parent) {
    setObjectName(QStringLiteral("Data_in"));
    const QDir dir(folder.isEmpty() ? QDir::currentPath() : folder);
    m_folder = dir.absolutePath();
    if (Server::usesServer(m_folder))
        m_server = Server::readConf(m_folder);
    // Both files are checked before either is changed (write-ahead log, indexes): a start that
    // fails leaves them as they were. A server's tables are checked once connected.
    for (const auto& [file, tables] : {std::pair{Db::BusinessFile, &Schema::businessTables()},
                                       std::pair{Db::ListsFile, &Schema::listTables()}}) {
        const Schema::FileCheck found =
            m_server ? Schema::FileCheck() : Schema::checkFile(dir.absoluteFilePath(file), *tables);
        if (found.fault == Schema::FileFault::DiskFull)
            throw DiskFull(found.text);
        if (found.fault != Schema::FileFault::None)
            throw DatabaseError(found.text);
    }
    m_idle = new QTimer(this);
    m_idle->setSingleShot(true);
    m_idle->setInterval(IdleMs);
    connect(m_idle, &QTimer::timeout, this, [this] {
        try {
            checkpoint();
            m_writeBackFailing = false;
        } catch (const LedgerError& e) {
            // The log stays whole and is folded in at the next chance; nothing is lost. Said once
            // until a write-back succeeds again.
            qWarning("checkpoint failed: %s", qPrintable(e.text()));
            if (!std::exchange(m_writeBackFailing, true))
                emit writeBackFailed(e.text());
        }
    });
    try {
        auto make = [this](const char* table, const char* key, const QString& connection) {
            auto* q = new SharedQuery(QStringLiteral("Query_") + QLatin1String(table), connection,
                                      QLatin1String(table), QLatin1String(key), this);
            return q;
        };
        Query_aa = make("aa", "aid", Db::Business);
        Query_ab = make("ab", "bid", Db::Business);
        Query_ac = make("ac", "cid", Db::Business);
        Query_ae = make("ae", "eid", Db::Business);
        Query_ag = make("ag", "gid", Db::Business);
        Query_ah = make("ah", "hid", Db::Business);
        Query_aj = make("aj", "jid", Db::Business);
        Query_af = make("af", "fid", Db::Business);
        Query_ak = make("ak", "kid", Db::Business);
        Query_a1 = make("a1", "zid", Db::Lists);
        Query_a2 = make("a2", "zid", Db::Lists);
        Query_a3 = make("a3", "zid", Db::Lists);
        Query_a4 = make("a4", "zid", Db::Lists);
        Query_a5 = make("a5", "ids", Db::Lists);
        openFiles();
        Query_a5->reset(QStringLiteral("select * from a5"));
        for (SharedQuery* q : {Query_aa, Query_ab, Query_ac, Query_ae, Query_ag, Query_ah, Query_aj, Query_af,
                               Query_ak, Query_a1, Query_a2, Query_a3, Query_a4})
            q->open();
    } catch (...) {
        closeAll();
        throw;
    }
    Data_in = this;
    if (m_server) {
        // A connection the server dropped (a restart of it, the network, an administrator) is
        // found within moments even while nobody works, and opened again.
        m_watch = new QTimer(this);
        m_watch->setInterval(WatchMs);
        connect(m_watch, &QTimer::timeout, this, &TData_in::watchServer);
        m_watch->start();
        auto& announcer = Db::Announcer::instance();
        connect(&announcer, &Db::Announcer::reconnected, this, &TData_in::caughtUp, Qt::QueuedConnection);
        // A change not known row by row (another till's import, a reconnection) has the tables
        // concerned read again on their own thread.
        connect(&announcer, &Db::Announcer::committed, this, [this](const Db::Changes& changes) {
            for (const Db::Change& change : changes)
                if (change.anyRow) {
                    QTimer::singleShot(0, this, &TData_in::readIndexesAside);
                    return;
                }
        });
        connect(&announcer, &Db::Announcer::disconnected, this, [this] { m_serverDown = true; });
    }
    // Read the searched fields while the program waits for the user, one table a turn, so the
    // first search does not have to.
    auto* warmUp = new QTimer(this);
    warmUp->setInterval(50);
    connect(warmUp, &QTimer::timeout, this, [this, warmUp] {
        // A server's tables are read on a thread of their own: the window goes on answering.
        if (onServer()) {
            readIndexesAside();
            warmUp->stop();
            return;
        }
        if (m_indexes)
            for (const auto& index : m_indexes->all())
                if (!index->isBuilt()) {
                    try {
                        index->build();
                    } catch (const LedgerError&) {
                        // The search that needs it will report the failure.
                    }
                    return;
                }
        warmUp->stop();
    });
    QTimer::singleShot(1500, warmUp, qOverload<>(&QTimer::start));
}

TData_in::~TData_in() {
    if (Data_in == this)
        Data_in = nullptr;
    closeAll();
}

namespace {

// Called by SQLite after every commit into a write-ahead log. Replaces the engine's own hook, so
// it also does that hook's work: a log grown past a thousand pages is folded in at once.
int onLogWritten(void* self, sqlite3* db, const char* database, int pages) {
    if (pages >= 1000)
        sqlite3_wal_checkpoint_v2(db, database, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    static_cast<TData_in*>(self)->written();
    return SQLITE_OK;
}

} // namespace

void TData_in::openFiles() {
    if (m_server) {
        // Asked once: a password the server refuses is asked again, an empty answer gives up.
        for (;;) {
            try {
                Server::openShop(*m_server);
                break;
            } catch (const DatabaseError& e) {
                if (!Server::needsPassword(e.text()) || !passwordAsker)
                    throw;
                m_server->password = passwordAsker((m_server->password.isEmpty()
                                                        ? QStringLiteral("数据库服务器要求输入密码。")
                                                        : QStringLiteral("密码不正确，请重新输入。")) +
                                                   QStringLiteral("\n（%1）").arg(e.text()));
                if (m_server->password.isEmpty())
                    throw;
            }
        }
        // Another till's commit tells which rows of which tables it wrote; the lists (and their
        // indexes) follow them as they follow a commit of this program.
        QSqlDriver* driver = Db::business().driver();
        Server::subscribe(Db::business(), Db::Work::Channel);
        connect(driver, &QSqlDriver::notification, this,
                [](const QString& name, QSqlDriver::NotificationSource source, const QVariant& payload) {
                    if (name != Db::Work::Channel || source == QSqlDriver::SelfSource)
                        return;
                    // This till's own commits on its other connection (the pick lists, the
                    // settings) were announced here already.
                    QString origin;
                    const Db::Changes changes = Db::changesOfPayload(payload.toString(), &origin);
                    if (!changes.isEmpty() && origin != Db::tillId())
                        emit Db::Announcer::instance().committed(changes);
                });
        if (!SharedQuery::loadsEverything())
            indexLists(std::make_unique<TableIndexes>(Db::Business));
        return;
    }
    const QDir dir(m_folder);
    Db::openExclusive(Db::Business, dir.absoluteFilePath(Db::BusinessFile));
    Db::openExclusive(Db::Lists, dir.absoluteFilePath(Db::ListsFile));
    // A file of an earlier version gains the columns added since, before any list reads it.
    Schema::upgradeBusinessFile(Db::business());
    for (const QString& connection : {Db::Business, Db::Lists})
        sqlite3_wal_hook(Db::requireSqlite(QSqlDatabase::database(connection, false)), &onLogWritten, this);
    if (SharedQuery::loadsEverything())
        return;
    // The big lists are counted, searched and paged through in-memory indexes.
    // Files made by an older version lack some indexes: add them once.
    Schema::createIndexes(Db::business());
    indexLists(std::make_unique<TableIndexes>(Db::requireSqlite(Db::business())));
}

void TData_in::indexLists(std::unique_ptr<TableIndexes> indexes) {
    m_indexes = std::move(indexes);
    const QList<std::tuple<SharedQuery*, const char*, QStringList>> searched = {
        {Query_aa, "aid", {"a2", "a4"}}, {Query_ab, "bid", {"b3", "b13"}},
        {Query_ac, "cid", {"c2"}},       {Query_ae, "eid", {"e2"}},
        {Query_ag, "gid", {"g6"}},       {Query_ah, "hid", {"h6"}},
        {Query_aj, "jid", {}},           {Query_ak, "kid", {}}};
    for (const auto& [query, key, fields] : searched)
        query->setIndex(m_indexes->add(query->table(), QLatin1String(key), fields));
}

TableIndex* TData_in::index(const QString& table) const {
    return m_indexes ? m_indexes->of(table) : nullptr;
}

void TData_in::readIndexesAside() {
    if (!m_indexes || !onServer())
        return;
    if (m_reader.joinable()) {
        if (!m_readerDone)
            return;
        m_reader.join();
    }
    m_readerDone = false;
    std::vector<std::pair<TableIndex*, uint64_t>> pending;
    for (const auto& index : m_indexes->all())
        if (!index->isBuilt() && !index->isReading())
            pending.emplace_back(index.get(), index->beginRead());
    if (pending.empty())
        return;
    static int readers = 0;
    const QString connection = QStringLiteral("index_reader_%1").arg(++readers);
    const Server::Address address = *m_server;
    const int generation = m_readerGeneration;
    m_reader = std::thread([this, connection, address, pending, generation] {
        try {
            Server::open(connection, address);
            const std::unique_ptr<IndexSource> source = IndexSource::server(connection);
            for (const auto& [index, read] : pending) {
                auto rows = std::make_shared<TableIndex::Rows>(index->read(*source));
                // Taken in on the window's thread, where the index lives; dropped with the files.
                QMetaObject::invokeMethod(
                    this,
                    [this, index, read, rows, generation] {
                        if (generation == m_readerGeneration)
                            index->adopt(read, *rows);
                    },
                    Qt::QueuedConnection);
                if (m_stopReader)
                    break;
            }
        } catch (const LedgerError&) {
            // The search that needs an index not read reads the table itself (and reports a
            // failure).
            QMetaObject::invokeMethod(
                this,
                [this, pending, generation] {
                    if (generation == m_readerGeneration)
                        for (const auto& [index, read] : pending)
                            index->abandonRead(read);
                },
                Qt::QueuedConnection);
        }
        Db::closeConnection(connection);
        m_readerDone = true;
    });
}

void TData_in::closeFiles() {
    m_idle->stop();
    m_stopReader = true;
    if (m_reader.joinable())
        m_reader.join();
    m_stopReader = false;
    ++m_readerGeneration;
    for (SharedQuery* q : findChildren<SharedQuery*>())
        q->setIndex(nullptr);
    m_indexes.reset();
    // The logs are written back before the files are closed, so a failure is said; the log of a
    // file that could not be written back stays beside it, whole, for the next open.
    for (const QString& connection : {Db::Business, Db::Lists}) {
        try {
            Db::writeBack(QSqlDatabase::database(connection, false));
        } catch (const LedgerError& e) {
            qWarning("closing: %s", qPrintable(e.text()));
            emit writeBackFailed(e.text());
        }
    }
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
}

void TData_in::closeAll() {
    for (SharedQuery* q : findChildren<SharedQuery*>())
        delete q;
    closeFiles();
}

void TData_in::written() {
    // A burst of writes is folded in once, when the program has been idle for a moment.
    m_idle->start();
}

std::optional<qint64> TData_in::rowCount(const QString& table) const {
    if (TableIndex* kept = index(table))
        return kept->extent().count;
    return std::nullopt;
}

void TData_in::writtenElsewhere(const QString& table) {
    if (!m_indexes || !onServer())
        return;
    if (TableIndex* index = m_indexes->of(table)) {
        index->invalidate();
        QTimer::singleShot(0, this, &TData_in::readIndexesAside);
    }
}

bool TData_in::idle() const {
    return !m_idle->isActive();
}

void TData_in::checkpoint() {
    m_idle->stop();
    // Every committed page is written into the file and the log is emptied, so a copy of the file
    // alone holds everything.
    for (const QString& connection : {Db::Business, Db::Lists})
        Db::writeBack(QSqlDatabase::database(connection, false));
}

void TData_in::reopen(const std::function<void()>& whileClosed) {
    QList<SharedQuery*> wereOpen;
    for (SharedQuery* q : findChildren<SharedQuery*>())
        if (q->isOpen())
            wereOpen << q;
    for (SharedQuery* q : wereOpen)
        q->close();
    closeFiles();
    std::exception_ptr failure;
    try {
        whileClosed();
    } catch (...) {
        failure = std::current_exception();
    }
    // Whatever happened in between, the files in the folder are opened again and every list
    // that was open reads them afresh.
    openFiles();
    for (SharedQuery* q : wereOpen)
        q->open();
    if (failure)
        std::rethrow_exception(failure);
    Db::Changes everything;
    for (SharedQuery* q : findChildren<SharedQuery*>())
        everything << Db::Change::anyRowOf(q->table());
    emit Db::Announcer::instance().committed(everything);
}

bool TData_in::reopenLost() {
    bool reopened = false;
    for (const QString& connection : {Db::Business, Db::Lists})
        if (Server::connectionLost(QSqlDatabase::database(connection, false))) {
            Server::reconnect(connection);
            reopened = true;
        }
    return reopened;
}

void TData_in::watchServer() {
    try {
        if (reopenLost())
            emit Db::Announcer::instance().reconnected();
    } catch (const DatabaseError& e) {
        if (!m_serverDown)
            emit Db::Announcer::instance().disconnected(e.text());
    }
}

void TData_in::caughtUp() {
    m_serverDown = false;
    try {
        reopenLost();
    } catch (const DatabaseError& e) {
        emit Db::Announcer::instance().disconnected(e.text());
        return;
    }
    Db::Changes everything;
    for (const auto* tables : {&Schema::businessTables(), &Schema::listTables()})
        for (const Schema::Table& t : *tables)
            everything << Db::Change::anyRowOf(t.name);
    emit Db::Announcer::instance().committed(everything);
}

SharedQuery* TData_in::query(const QString& name) const {
    return findChild<SharedQuery*>(name);
}

QStringList TData_in::reportConnections() {
    return {QStringLiteral("Rv_aa"), QStringLiteral("Rv_ab"), QStringLiteral("Rv_ac"),
            QStringLiteral("Rv_ae"), QStringLiteral("Rv_aj"), QStringLiteral("Rv_ah"),
            QStringLiteral("Rv_ag"), QStringLiteral("Rv_ak"),
            // The statistics page's lists, made by the page with the data module as their owner.
            QStringLiteral("Rv_tj1"), QStringLiteral("Rv_tj2"), QStringLiteral("Rv_tj3"),
            QStringLiteral("Rv_tj4"), QStringLiteral("Rv_tj5")};
}

SharedQuery* TData_in::reportSource(const QString& connection) const {
    if (!reportConnections().contains(connection))
        return nullptr;
    return query(QStringLiteral("Query_") + connection.mid(3));
}
