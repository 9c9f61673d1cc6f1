#include "ledger/products.h"

#include "core/clock.h"
#include "data/work.h"

#include <QSqlQuery>

namespace {
const QString Table = QStringLiteral("ab");
} // namespace

namespace Products {

namespace {

qint64 insert(Ledger::Work& work, const Fields& f, Currency stock) {
    const QSqlQuery inserted =
        work.exec(QStringLiteral("insert into ab (b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12)"
                                 "values (:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l)"),
                  {{QStringLiteral(":a"), f.major},
                   {QStringLiteral(":b"), f.minor},
                   {QStringLiteral(":c"), f.name},
                   {QStringLiteral(":d"), stock.toSql()},
                   {QStringLiteral(":e"), f.unit},
                   {QStringLiteral(":f"), f.cost.toSql()},
                   {QStringLiteral(":g"), f.wholesale.toSql()},
                   {QStringLiteral(":h"), f.sale.toSql()},
                   {QStringLiteral(":i"), (f.sale * stock).toSql()},
                   {QStringLiteral(":j"), Clock::nowText()},
                   {QStringLiteral(":k"), f.remark},
                   {QStringLiteral(":l"), f.manufacturer}});
    return inserted.lastInsertId().toLongLong();
}

} // namespace

qint64 create(const Fields& f, Currency stock) {
    Ledger::Work work(Db::business());
    const qint64 key = insert(work, f, stock);
    work.wrote(Table, key);
    work.commit();
    return key;
}

int createMany(const QList<New>& products) {
    Ledger::Work work(Db::business());
    for (const New& p : products)
        insert(work, p.fields, p.stock);
    work.wrote(Table);
    work.commit();
    return int(products.size());
}

void update(qint64 product, const Fields& f) {
    Ledger::Work work(Db::business());
    work.exec(
        QStringLiteral("update ab set b1=:a,b2=:b,b3=:c,b5=:d,b6=:e,b7=:f,b8=:g,b11=:h,b12=:i where bid=:j "),
        {{QStringLiteral(":a"), f.major},
         {QStringLiteral(":b"), f.minor},
         {QStringLiteral(":c"), f.name},
         {QStringLiteral(":d"), f.unit},
         {QStringLiteral(":e"), f.cost.toSql()},
         {QStringLiteral(":f"), f.wholesale.toSql()},
         {QStringLiteral(":g"), f.sale.toSql()},
         {QStringLiteral(":h"), f.remark},
         {QStringLiteral(":i"), f.manufacturer},
         {QStringLiteral(":j"), product}});
    work.wrote(Table, product);
    work.commit();
}

void remove(qint64 product) {
    Ledger::Work work(Db::business());
    work.exec(QStringLiteral("delete from ab where bid = :k"), {{QStringLiteral(":k"), product}});
    work.wrote(Table, product);
    work.commit();
}

} // namespace Products
