#include "corefixture.h"

#include "core/clock.h"
#include "core/errors.h"
#include "core/money.h"
#include "data/data_in.h"
#include "data/schema.h"
#include "data/server.h"
#include "data/sharedquery.h"
#include "ledger/staff.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlRecord>

namespace {

// The URL of the test server's administrator (the file named by LEDGER_TEST_SERVER).
Server::Address adminAddress() {
    QFile file(qEnvironmentVariable("LEDGER_TEST_SERVER"));
    if (!file.open(QIODevice::ReadOnly))
        throw DatabaseError(QStringLiteral("no test server: cannot read '%1'").arg(file.fileName()));
    return Server::parseUrl(QString::fromUtf8(file.readAll()).trimmed());
}

const QString Admin = QStringLiteral("test_admin");

} // namespace

bool CoreFixture::onServer() {
    return qEnvironmentVariableIsSet("LEDGER_TEST_SERVER");
}

QString CoreFixture::emptyServerDatabase() {
    static int made = 0;
    Server::Address address = adminAddress();
    const QString name = QStringLiteral("shop_%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
    {
        QSqlDatabase admin = Server::open(Admin, address);
        Server::command(admin, QStringLiteral("drop database if exists %1").arg(name));
        Server::command(admin, QStringLiteral("create database %1").arg(name));
    }
    Db::closeConnection(Admin);
    m_databases << name;
    address.database = name;
    return address.url();
}

CoreFixture::CoreFixture() {
    if (onServer()) {
        m_url = emptyServerDatabase();
        Server::createSchema(Server::parseUrl(m_url));
        Server::writeConf(m_dir.path(), Server::parseUrl(m_url));
    } else {
        Schema::createDatabaseFiles(m_dir.path());
    }
    Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 0)));
    reopen();
}

CoreFixture::~CoreFixture() {
    close();
    Clock::useSystem();
    if (m_databases.isEmpty())
        return;
    try {
        QSqlDatabase admin = Server::open(Admin, adminAddress());
        for (const QString& name : m_databases)
            Server::command(admin, QStringLiteral("drop database if exists %1 with (force)").arg(name));
    } catch (const LedgerError& e) {
        qWarning("could not drop the test databases: %s", qPrintable(e.text()));
    }
    Db::closeConnection(Admin);
}

void CoreFixture::close() {
    if (!m_open)
        return;
    Db::closeConnection(Db::Business);
    Db::closeConnection(Db::Lists);
    m_open = false;
}

void CoreFixture::reopen() {
    close();
    if (!m_url.isEmpty()) {
        Server::openShop(Server::readConf(m_dir.path()));
        Staff::start();
        m_open = true;
        return;
    }
    const QDir dir(m_dir.path());
    Db::openExclusive(Db::Business, dir.absoluteFilePath(Db::BusinessFile));
    Db::openExclusive(Db::Lists, dir.absoluteFilePath(Db::ListsFile));
    Schema::upgradeBusinessFile(Db::business());
    Schema::createIndexes(Db::business());
    Staff::start();
    m_open = true;
}

void CoreFixture::wroteBehindTheProgram(const QString& sql) {
    // A file's lists see the statement through the file's hooks; a server's are told.
    static const QRegularExpression write(
        QStringLiteral("^\\s*(?:insert\\s+into|update|delete\\s+from)\\s+(\\w+)"),
        QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = write.match(sql); m.hasMatch() && Data_in)
        Data_in->writtenElsewhere(m.captured(1));
}

QSqlQuery CoreFixture::exec(const QString& sql, const Db::Params& params) {
    QSqlQuery q = Db::exec(Db::business(), sql, params);
    wroteBehindTheProgram(sql);
    return q;
}

QVariant CoreFixture::scalar(const QString& sql, const Db::Params& params) {
    return Db::scalar(Db::business(), sql, params);
}

QStringList CoreFixture::rows(const QString& sql, const Db::Params& params) {
    QSqlQuery q = exec(sql, params);
    QStringList out;
    while (q.next()) {
        QStringList cells;
        for (int i = 0; i < q.record().count(); ++i)
            cells << SharedQuery::displayText(q.value(i));
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

void CoreFixture::refuseInserts(const QString& table) {
    if (Db::isServer(Db::business()))
        exec(QStringLiteral("alter table %1 add constraint %1_full check (false) not valid").arg(table));
    else
        exec(QStringLiteral(
                 "create trigger %1_full before insert on %1 begin select raise(abort, 'disk full'); "
                 "end")
                 .arg(table));
}

void CoreFixture::allowInserts(const QString& table) {
    if (Db::isServer(Db::business()))
        exec(QStringLiteral("alter table %1 drop constraint %1_full").arg(table));
    else
        exec(QStringLiteral("drop trigger %1_full").arg(table));
}

qint64 CoreFixture::insert(const QString& sql, const Db::Params& params) {
    static const QRegularExpression into(QStringLiteral("^insert into (\\w+)"));
    const Schema::Table* table = Schema::findTable(into.match(sql).captured(1));
    if (!table)
        throw DatabaseError(QStringLiteral("not an insert into a ledger table: %1").arg(sql));
    QSqlQuery q = exec(sql + QStringLiteral(" returning ") + table->key, params);
    if (!q.next())
        throw DatabaseError(QStringLiteral("no key returned: %1").arg(sql));
    return q.value(0).toLongLong();
}

Products::Fields CoreFixture::snack(const QString& name, const QString& major, const QString& cost,
                                    const QString& sale) {
    return {major,
            QStringLiteral("零食"),
            name,
            QStringLiteral("个"),
            Currency::parse(cost),
            Currency::parse(sale),
            Currency::parse(sale),
            {},
            {}};
}

qint64 CoreFixture::stockedSnack(const QString& name, const QString& major, const QString& cost,
                                 const QString& sale) {
    return Products::create(snack(name, major, cost, sale), Currency::fromInt(100));
}

qint64 CoreFixture::product(const QString& name, const QString& stock, const QString& price) {
    return product(ProductRow{.name = name, .stock = stock, .price = price});
}

qint64 CoreFixture::product(const ProductRow& row) {
    const QVariant value = row.value.isNull()
                               ? QVariant((Currency::parse(row.stock) * Currency::parse(row.price)).toSql())
                               : row.value;
    const QList<std::pair<const char*, QVariant>> fields = {
        {"b1", row.major},    {"b2", row.minor},  {"b3", row.name},      {"b4", row.stock},
        {"b5", row.unit},     {"b6", row.cost},   {"b7", row.wholesale}, {"b8", row.price},
        {"b9", value},        {"b10", row.since}, {"b11", row.note},     {"b12", row.maker},
        {"b13", row.barcode}, {"b14", row.warnAt}};
    QStringList columns, names;
    Db::Params params;
    for (const auto& [column, v] : fields)
        if (!v.isNull()) {
            columns << QLatin1String(column);
            names << QStringLiteral(":") + QLatin1String(column);
            params.emplace_back(names.last(), v);
        }
    return insert(QStringLiteral("insert into ab (%1) values (%2)").arg(columns.join(", "), names.join(", ")),
                  params);
}
