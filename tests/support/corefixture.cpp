#include "corefixture.h"

#include "core/clock.h"
#include "core/money.h"
#include "data/schema.h"
#include "data/sharedquery.h"

#include <QDir>
#include <QSqlRecord>

CoreFixture::CoreFixture() {
    Schema::createDatabaseFiles(m_dir.path());
    Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 0)));
    reopen();
}

CoreFixture::~CoreFixture() {
    close();
    Clock::useSystem();
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
    const QDir dir(m_dir.path());
    Db::openExclusive(Db::Business, dir.absoluteFilePath(Db::BusinessFile));
    Db::openExclusive(Db::Lists, dir.absoluteFilePath(Db::ListsFile));
    Schema::upgradeBusinessFile(Db::business());
    for (const QString& index : Schema::indexStatements())
        Db::exec(Db::business(), index);
    m_open = true;
}

QSqlQuery CoreFixture::exec(const QString& sql, const Db::Params& params) {
    return Db::exec(Db::business(), sql, params);
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

qint64 CoreFixture::product(const QString& name, const QString& stock, const QString& price) {
    const Currency value = Currency::parse(stock) * Currency::parse(price);
    const QSqlQuery q =
        exec("insert into ab (b1, b2, b3, b4, b5, b8, b9) values ('食品', '零食', :a, :b, '个', :c, :d)",
             {{":a", name}, {":b", stock}, {":c", price}, {":d", value.toSql()}});
    return q.lastInsertId().toLongLong();
}
