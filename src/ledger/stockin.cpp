#include "ledger/stockin.h"

#include "core/errors.h"
#include "data/sharedquery.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/staff.h"

#include <QSqlQuery>

namespace StockIn {

Received receive(qint64 product, Currency quantity, const QDate& date, const QString& typed) {
    if (quantity == Currency())
        throw Refused(Orders::NoQuantity);
    Staff::require(Staff::Right::StockIn, QStringLiteral("产品 %1").arg(product));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        QSqlQuery row =
            work.exec(QStringLiteral("select b1, b2, b3, b4, b5, b6, b7, b8, b9, b12 from ab where bid=:a") +
                          work.forUpdate(),
                      {{QStringLiteral(":a"), product}});
        if (!row.next())
            throw Refused(QStringLiteral("找不到该产品"));
        // The values as the stock list shows them: the record keeps these texts, and a stored amount
        // that is no number (an empty stock value) fails here rather than counting as 0.
        auto text = [&row](int column) {
            return SharedQuery::displayText(row.value(column));
        };
        auto number = [&row, product](int column, const char* name) {
            return Db::storedNumber(row.value(column), QStringLiteral("ab"), product, QLatin1String(name),
                                    false);
        };
        const Currency stock = number(3, "b4");
        const Currency salePrice = number(7, "b8");
        const Currency stockValue = number(8, "b9");
        Received r;
        r.total = quantity * salePrice;
        r.stock = stock + quantity;
        r.stockValue = stockValue + r.total;

        work.exec(QStringLiteral("update ab set b4=:b,b9=:c where bid=:a "),
                  {{QStringLiteral(":a"), product},
                   {QStringLiteral(":b"), r.stock.toSql()},
                   {QStringLiteral(":c"), r.stockValue.toSql()}});
        work.wrote(QStringLiteral("ab"), product);
        r.record =
            work.insert(QStringLiteral("insert into ac (c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12,c13)values "
                                       "(:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l,:m)"),
                        {{QStringLiteral(":a"), QString::number(product)},
                         {QStringLiteral(":b"), text(2)},
                         {QStringLiteral(":c"), typed.isEmpty() ? quantity.toString() : typed},
                         {QStringLiteral(":d"), text(5)},
                         {QStringLiteral(":e"), text(6)},
                         {QStringLiteral(":f"), text(7)},
                         {QStringLiteral(":g"), date.toString(QStringLiteral("yyyy-MM-dd"))},
                         {QStringLiteral(":h"), text(0)},
                         {QStringLiteral(":i"), text(1)},
                         {QStringLiteral(":j"), text(9)},
                         {QStringLiteral(":k"), text(4)},
                         {QStringLiteral(":l"), r.total.toSql()},
                         {QStringLiteral(":m"), Staff::signature()}});
        work.wrote(QStringLiteral("ac"), r.record);
        OpLog::write(work, {OpLog::StockIn, QStringLiteral("产品 %1，入库单 %2").arg(product).arg(r.record),
                            QStringLiteral("库存 %1").arg(stock.toString()),
                            QStringLiteral("入库 %1，库存 %2").arg(quantity.toString(), r.stock.toString())});
        work.commit();
        return r;
    });
}

} // namespace StockIn
