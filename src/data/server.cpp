#include "data/server.h"

#include "core/errors.h"
#include "data/database.h"
#include "data/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QUrlQuery>

namespace {

const QString Driver = QStringLiteral("QPSQL");

QList<const Schema::Table*> allTables() {
    QList<const Schema::Table*> tables;
    for (const auto* list : {&Schema::businessTables(), &Schema::listTables()})
        for (const Schema::Table& t : *list)
            tables << &t;
    return tables;
}

QString columnDefinition(const Schema::Table& table, const QString& column) {
    // Amounts and quantities are exact decimals; a text that is no number is refused by the type.
    if (table.numericColumns.contains(column))
        return column + QStringLiteral(" numeric");
    if (table.dateTimeColumns.contains(column)) {
        return QStringLiteral("%1 text CONSTRAINT \"%1 must be a date and time\" CHECK (%1 IS NULL OR "
                              "%1 ~ '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}$')")
            .arg(column);
    }
    return column + QStringLiteral(" text");
}

// The indexes of the business tables. A primary key is indexed by the server itself.
QStringList indexStatements() {
    return {QStringLiteral("CREATE INDEX ak_k8 ON ak (k8)"),
            QStringLiteral("CREATE INDEX ag_g6 ON ag (g6)"),
            QStringLiteral("CREATE INDEX ah_h6 ON ah (h6)"),
            QStringLiteral("CREATE INDEX ae_e11 ON ae (e11)"),
            QStringLiteral("CREATE INDEX aa_no_amount ON aa (aid) WHERE a5 IS NULL"),
            QStringLiteral("CREATE UNIQUE INDEX ab_b13 ON ab (b13) WHERE b13 IS NOT NULL AND b13 <> ''"),
            QStringLiteral("CREATE UNIQUE INDEX ab_b15 ON ab (b15) WHERE b15 IS NOT NULL AND b15 <> ''"),
            QStringLiteral("CREATE INDEX ab_b14 ON ab (b14) WHERE b14 IS NOT NULL"),
            QStringLiteral("CREATE INDEX ae_sold ON ae (e7, e1, e3, e6, e13)"),
            QStringLiteral("CREATE INDEX aa_a1 ON aa (a1, a2, a5, a6)"),
            QStringLiteral("CREATE INDEX ag_g3 ON ag (g3, g2)"),
            QStringLiteral("CREATE INDEX ah_h3 ON ah (h3, h2)")};
}

// The stock-out records summed per day and major category for the statistics, kept by a trigger
// in the same transaction as every record written, changed or removed, as on the files.
QStringList daySummaryStatements() {
    const QStringList columns = {"n", "nocost", "qty", "sales", "costed", "cost"};
    const QStringList terms = Schema::daySummaryTerms();
    QStringList named, add, take;
    for (int i = 0; i < columns.size(); ++i) {
        named << terms[i] + QStringLiteral(" AS ") + columns[i];
        add << QStringLiteral("%1 = ae_day.%1 + excluded.%1").arg(columns[i]);
        take << QStringLiteral("%1 = ae_day.%1 - r.%1").arg(columns[i]);
    }
    // A record's sums, from the record in a row of its own.
    const auto sums = [&named](const char* record) {
        return QStringLiteral("SELECT coalesce(substr(e7, 1, 10), '') AS d, coalesce(e8, '') AS e8, %1 "
                              "FROM (SELECT %2.*) AS record")
            .arg(named.join(QStringLiteral(", ")), QLatin1String(record));
    };
    return {QStringLiteral("CREATE TABLE ae_day (d text NOT NULL, e8 text NOT NULL, n bigint NOT NULL, "
                           "nocost bigint NOT NULL, qty bigint NOT NULL, sales bigint NOT NULL, "
                           "costed bigint NOT NULL, cost bigint NOT NULL, PRIMARY KEY (d, e8))"),
            QStringLiteral("CREATE FUNCTION ae_day_follow() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                           "IF TG_OP IN ('DELETE', 'UPDATE') THEN "
                           "UPDATE ae_day SET %1 FROM (%2) AS r WHERE ae_day.d = r.d AND ae_day.e8 = r.e8; "
                           "DELETE FROM ae_day WHERE n = 0; END IF; "
                           "IF TG_OP IN ('INSERT', 'UPDATE') THEN "
                           "INSERT INTO ae_day (d, e8, %3) %4 ON CONFLICT (d, e8) DO UPDATE SET %5; END IF; "
                           "RETURN NULL; END $$")
                .arg(take.join(QStringLiteral(", ")), sums("OLD"), columns.join(QStringLiteral(", ")),
                     sums("NEW"), add.join(QStringLiteral(", "))),
            QStringLiteral("CREATE TRIGGER ae_day_follow AFTER INSERT OR UPDATE OR DELETE ON ae "
                           "FOR EACH ROW EXECUTE FUNCTION ae_day_follow()")};
}

} // namespace

QString Server::Address::url() const {
    QUrl u;
    u.setScheme(QStringLiteral("postgresql"));
    u.setUserName(user);
    if (host.startsWith(QLatin1Char('/'))) {
        // A socket folder cannot be the URL's host: it goes into the query, with the port.
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("host"), host);
        query.addQueryItem(QStringLiteral("port"), QString::number(port));
        u.setQuery(query);
    } else {
        u.setHost(host);
        u.setPort(port);
    }
    u.setPath(QLatin1Char('/') + database);
    return u.toString();
}

QString Server::withoutPassword(const QString& text) {
    // Also for a text that is no valid URL: whatever stands between the user's name and the last
    // '@' before the host goes.
    static const QRegularExpression password(
        QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*://[^:/@?#\\s]*):[^\\s]*@"));
    QString shown = text;
    shown.replace(password, QStringLiteral("\\1@"));
    return shown;
}

Server::Address Server::parseUrl(const QString& text) {
    const QUrl u(text, QUrl::StrictMode);
    const QString shown = withoutPassword(text);
    if (!u.isValid() ||
        (u.scheme() != QLatin1String("postgresql") && u.scheme() != QLatin1String("postgres")))
        throw Refused(QStringLiteral("服务器地址应为 postgresql://用户@主机:端口/数据库: %1").arg(shown));
    // An address is seen by every user of the machine while a tool runs (the process list) and
    // is printed in messages: a password never travels in it.
    if (!u.password().isEmpty() || shown != text)
        throw Refused(QStringLiteral("服务器地址中不能写密码: %1\n请把密码写入 ~/.pgpass（权限 600），"
                                     "或不写密码，连接时在密码对话框中输入")
                          .arg(shown));
    Address a;
    a.host = u.host();
    const QUrlQuery query(u);
    if (query.hasQueryItem(QStringLiteral("host")))
        a.host = query.queryItemValue(QStringLiteral("host"), QUrl::FullyDecoded);
    if (a.host.isEmpty())
        a.host = QStringLiteral("localhost");
    a.port = u.port(5432);
    if (query.hasQueryItem(QStringLiteral("port")))
        a.port = query.queryItemValue(QStringLiteral("port")).toInt();
    if (a.port <= 0 || a.port > 65535)
        throw Refused(QStringLiteral("服务器地址的端口不对: %1").arg(shown));
    a.database = u.path(QUrl::FullyDecoded).mid(1);
    a.user = u.userName(QUrl::FullyDecoded);
    if (a.database.isEmpty() || a.user.isEmpty())
        throw Refused(QStringLiteral("服务器地址缺少用户或数据库: %1").arg(shown));
    return a;
}

bool Server::usesServer(const QString& folder) {
    return QFileInfo::exists(QDir(folder).absoluteFilePath(ConfFile));
}

Server::Address Server::readConf(const QString& folder) {
    const QString path = QDir(folder).absoluteFilePath(ConfFile);
    if (!QFileInfo(path).isReadable())
        throw DatabaseError(QStringLiteral("无法读取服务器连接文件 '%1'").arg(path));
    const QSettings conf(path, QSettings::IniFormat);
    Address a;
    a.host = conf.value(QStringLiteral("host")).toString();
    bool portOk = false;
    a.port = conf.value(QStringLiteral("port"), 5432).toInt(&portOk);
    a.database = conf.value(QStringLiteral("database")).toString();
    a.user = conf.value(QStringLiteral("user")).toString();
    if (conf.status() != QSettings::NoError || a.host.isEmpty() || a.database.isEmpty() || a.user.isEmpty() ||
        !portOk || a.port <= 0 || a.port > 65535)
        throw DatabaseError(
            QStringLiteral("服务器连接文件 '%1' 不完整: 需要 host、port、database 和 user").arg(path));
    return a;
}

void Server::writeConf(const QString& folder, const Address& address) {
    const QString path = QDir(folder).absoluteFilePath(ConfFile);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw DatabaseError(QStringLiteral("无法写入文件 '%1': %2").arg(path, file.errorString()));
    // host, port, database and user only: the password stays in ~/.pgpass or in memory.
    const QString text =
        QStringLiteral("host=%1\nport=%2\ndatabase=%3\nuser=%4\n")
            .arg(address.host, QString::number(address.port), address.database, address.user);
    file.write(text.toUtf8());
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    if (!file.commit())
        throw DatabaseError(QStringLiteral("无法写入文件 '%1': %2").arg(path, file.errorString()));
}

QSqlDatabase Server::open(const QString& connection, const Address& address) {
    QSqlDatabase db = QSqlDatabase::addDatabase(Driver, connection);
    db.setHostName(address.host);
    db.setPort(address.port);
    db.setDatabaseName(address.database);
    db.setUserName(address.user);
    if (!address.password.isEmpty())
        db.setPassword(address.password);
    db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=vandrel-ledger"));
    if (!db.open()) {
        const QString text = Db::errorText(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        throw DatabaseError(text.trimmed());
    }
    // Notices (such as "table does not exist, skipping") are no business of the program's.
    command(db, QStringLiteral("SET client_min_messages = warning"));
    return db;
}

namespace {
// The advisory lock tills take while they bring a shop's tables up to date.
constexpr qint64 SchemaLock = 0x76616e6472656c;
} // namespace

void Server::openShop(const Address& address) {
    open(Db::Business, address);
    try {
        open(Db::Lists, address);
        if (const QString problem = schemaProblem(Db::business()); !problem.isEmpty())
            throw DatabaseError(problem);
        // A ledger made by an earlier version gains the tables of the people at the tills and the
        // operation log; a till whose user may not make tables leaves that to the next that may.
        // Tills starting at once take turns (the server refuses to replace one function twice at
        // the same moment).
        // What the newest version adds last (the log's trigger, the shifts, the columns of the
        // orders) tells whether anything is missing.
        const bool complete =
            Db::scalar(Db::business(),
                       QStringLiteral(
                           "select (select count(*) from pg_trigger where tgname = 'oplog_no_truncate') + "
                           "(select count(*) from information_schema.columns where table_schema = "
                           "current_schema() and table_name = 'ae' and column_name = 'e15') + "
                           "(case when to_regclass('shop_settings') is null then 0 else 1 end) + "
                           "(select count(*) from information_schema.columns where table_schema = "
                           "current_schema() and table_name = 'return_lines' and column_name = "
                           "'category')"))
                .toInt() == 4;
        if (!complete) {
            command(Db::business(), QStringLiteral("select pg_advisory_lock(%1)").arg(SchemaLock));
            try {
                for (const QString& statement : Schema::staffTableStatements(true)) {
                    try {
                        command(Db::business(), statement);
                    } catch (const DatabaseError& e) {
                        if (e.code() != QLatin1String("42501")) // insufficient privilege
                            throw;
                    }
                }
                // The day summary of an earlier version sums the records otherwise: its function is
                // replaced and the summary made again, in one transaction.
                try {
                    command(Db::business(), QStringLiteral("BEGIN"));
                    command(Db::business(), QString(daySummaryStatements()[1])
                                                .replace(QStringLiteral("CREATE FUNCTION"),
                                                         QStringLiteral("CREATE OR REPLACE FUNCTION")));
                    command(Db::business(), QStringLiteral("DELETE FROM ae_day"));
                    command(
                        Db::business(),
                        QStringLiteral("INSERT INTO ae_day (d, e8, n, nocost, qty, sales, costed, cost) %1")
                            .arg(Schema::daySummaryStatement()));
                    command(Db::business(), QStringLiteral("COMMIT"));
                } catch (const DatabaseError& e) {
                    command(Db::business(), QStringLiteral("ROLLBACK"));
                    if (e.code() != QLatin1String("42501"))
                        throw;
                }
            } catch (...) {
                command(Db::business(), QStringLiteral("select pg_advisory_unlock(%1)").arg(SchemaLock));
                throw;
            }
            command(Db::business(), QStringLiteral("select pg_advisory_unlock(%1)").arg(SchemaLock));
        }
    } catch (...) {
        Db::closeConnection(Db::Lists);
        Db::closeConnection(Db::Business);
        throw;
    }
}

void Server::command(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw DatabaseError(Db::errorText(query.lastError()).trimmed(), query.lastError().nativeErrorCode());
}

bool Server::mayRunAgain(const QString& code) {
    return code == QLatin1String("40001") || code == QLatin1String("40P01");
}

bool Server::connectionError(const QString& code) {
    return code.startsWith(QLatin1String("08")) || code == QLatin1String("57P01") ||
           code == QLatin1String("57P02") || code == QLatin1String("57P03");
}

bool Server::connectionLost(const QSqlDatabase& db) {
    if (!Db::isServer(db))
        return false;
    if (!db.isOpen())
        return true;
    QSqlQuery probe(db);
    if (probe.exec(QStringLiteral("select 1")))
        return false;
    // A statement refused by a connection that still works (a transaction broken off and not
    // rolled back yet) carries a state of its own; a lost connection gives none or one of its own.
    const QString code = probe.lastError().nativeErrorCode();
    return code.isEmpty() || connectionError(code);
}

namespace {
// The channels each connection listens on, to listen again after a reconnection (a connection
// that was lost no longer knows them).
QHash<QString, QStringList>& subscriptions() {
    static QHash<QString, QStringList> channels;
    return channels;
}
} // namespace

void Server::subscribe(const QSqlDatabase& db, const QString& channel) {
    QSqlDriver* driver = db.driver();
    if (!driver->subscribedToNotifications().contains(channel) && !driver->subscribeToNotification(channel))
        throw DatabaseError(Db::errorText(driver->lastError()).trimmed(), QStringLiteral("08006"));
    QStringList& channels = subscriptions()[db.connectionName()];
    if (!channels.contains(channel))
        channels << channel;
}

void Server::reconnect(const QString& connection) {
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    if (!db.isValid())
        throw DatabaseError(QStringLiteral("no connection '%1'").arg(connection));
    db.close();
    if (!db.open())
        throw DatabaseError(Db::errorText(db.lastError()).trimmed(), QStringLiteral("08001"));
    command(db, QStringLiteral("SET client_min_messages = warning"));
    for (const QString& channel : subscriptions().value(connection))
        subscribe(db, channel);
}

bool Server::needsPassword(const QString& errorText) {
    return errorText.contains(QLatin1String("password"), Qt::CaseInsensitive);
}

QString Server::createStatement(const QString& name) {
    const Schema::Table* table = Schema::findTable(name);
    if (!table)
        return {};
    QStringList defs;
    // Keys are numbered by the server and never handed out twice, whatever the tills do at the
    // same moment (a sequence never goes back); the settings row has a fixed key.
    defs << (table->key == QLatin1String("ids")
                 ? QStringLiteral("ids bigint PRIMARY KEY")
                 : table->key + QStringLiteral(" bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY"));
    for (const QString& column : table->columns().mid(1))
        defs << columnDefinition(*table, column);
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(table->name, defs.join(QStringLiteral(", ")));
}

int Server::ledgerTablesPresent(const QSqlDatabase& db) {
    QStringList names;
    for (const Schema::Table* t : allTables())
        names << QLatin1Char('\'') + t->name + QLatin1Char('\'');
    return Db::scalar(db,
                      QStringLiteral("select count(*) from information_schema.tables where table_schema = "
                                     "current_schema() and table_name in (%1)")
                          .arg(names.join(QLatin1Char(','))))
        .toInt();
}

void Server::createTables(const QSqlDatabase& db, bool withStarterRows) {
    for (const Schema::Table* t : allTables())
        command(db, createStatement(t->name));
    for (const QString& index : indexStatements())
        command(db, index);
    for (const QString& statement : daySummaryStatements())
        command(db, statement);
    for (const QString& statement : Schema::staffTableStatements(true))
        command(db, statement);
    if (!withStarterRows)
        return;
    for (const auto& [table, entries] : Schema::defaultLists())
        for (auto it = entries.crbegin(); it != entries.crend(); ++it)
            Db::exec(db, QStringLiteral("insert into %1 (z1) values (:a)").arg(table), {{":a", *it}});
    Db::exec(db, QStringLiteral("insert into a5 (ids, run) values (8, '0')"));
}

void Server::createSchema(const Address& address) {
    const QString connection = QStringLiteral("server_schema");
    try {
        QSqlDatabase db = open(connection, address);
        if (ledgerTablesPresent(db) > 0)
            throw DatabaseError(QStringLiteral("数据库 %1 中已有账本的表，不会覆盖").arg(address.database));
        Transaction tx(db);
        createTables(db, true);
        tx.commit();
    } catch (...) {
        Db::closeConnection(connection);
        throw;
    }
    Db::closeConnection(connection);
}

QString Server::schemaProblem(const QSqlDatabase& db) {
    for (const Schema::Table* table : allTables()) {
        QSqlQuery info = Db::exec(db,
                                  QStringLiteral("select column_name from information_schema.columns where "
                                                 "table_schema = current_schema() and table_name = :t"),
                                  {{QStringLiteral(":t"), table->name}});
        QStringList present;
        while (info.next())
            present << info.value(0).toString().toLower();
        if (present.isEmpty())
            return QStringLiteral("服务器上的数据库不是本程序的账本: 缺少表 %1").arg(table->name);
        QStringList missing;
        // The columns later versions added come with the opening (Server::openShop), as for a file.
        for (const QString& column : table->columns())
            if (!present.contains(column) && !Schema::addedAtStart(table->name).contains(column))
                missing << column;
        if (!missing.isEmpty())
            return QStringLiteral("服务器上的数据库不是本程序的账本: 表 %1 缺少列 %2")
                .arg(table->name, missing.join(QStringLiteral(", ")));
    }
    if (Db::scalar(db, QStringLiteral("select count(*) from a5 where ids = 8")).toInt() != 1)
        return QStringLiteral("服务器上的账本缺少设置行（表 a5 中 ids 为 8 的行）");
    return {};
}
