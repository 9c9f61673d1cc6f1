#include "ledger/products.h"

#include "core/barcode.h"
#include "core/clock.h"
#include "core/errors.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace {
const QString Table = QStringLiteral("ab");

QVariant codeValue(const QString& code) {
    const QString trimmed = code.trimmed();
    return trimmed.isEmpty() ? QVariant() : QVariant(trimmed);
}

QVariant levelValue(const std::optional<Currency>& level) {
    return level ? level->toSql() : QVariant();
}

// Refuses a barcode that another product (not `self`) has already, with that product's name.
void checkCode(Db::Work& work, const QString& code, qint64 self) {
    const QVariant value = codeValue(code);
    if (value.isNull())
        return;
    // "b13 <> ''" lets the database use the barcodes' index (kept for the products with a code
    // only); without it every look-up reads the whole table.
    QSqlQuery& owner =
        work.execPrepared(QStringLiteral("select bid, b3 from ab where b13 = :a and b13 <> '' and bid <> :b"),
                          {{QStringLiteral(":a"), value}, {QStringLiteral(":b"), self}});
    const bool taken = owner.next();
    const QString found = taken ? owner.value(1).toString() : QString();
    owner.finish();
    if (taken)
        throw Refused(Products::duplicateCodeMessage(value.toString(), found));
}

// Refuses a code at the scale that is no number or that another product (not `self`) has.
void checkScaleCode(Db::Work& work, const QString& code, qint64 self) {
    const QVariant value = codeValue(code);
    if (value.isNull())
        return;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,10}$"));
    if (!digits.match(value.toString()).hasMatch())
        throw Refused(QStringLiteral("称重码 %1 应为 1 到 10 位数字").arg(value.toString()));
    QSqlQuery& owner =
        work.execPrepared(QStringLiteral("select bid, b3 from ab where b15 = :a and b15 <> '' and bid <> :b"),
                          {{QStringLiteral(":a"), value}, {QStringLiteral(":b"), self}});
    const bool taken = owner.next();
    const QString found = taken ? owner.value(1).toString() : QString();
    owner.finish();
    if (taken)
        throw Refused(
            QStringLiteral("称重码 %1 已用于产品“%2”，请换一个称重码。").arg(value.toString(), found));
}
} // namespace

namespace {

QString productKey(qint64 product) {
    return QStringLiteral("产品 %1").arg(product);
}

// A product as the log tells it: its fields, prices and stock.
QString describe(Db::Work& work, qint64 product) {
    QSqlQuery row = work.exec(
        QStringLiteral("select b1, b2, b3, b5, b6, b7, b8, b4, b13, b14, b11, b12 from ab where bid=:a"),
        {{QStringLiteral(":a"), product}});
    if (!row.next())
        return {};
    return QStringLiteral("%1/%2 %3（%4） 成本 %5 批发 %6 售价 %7 库存 %8 条码 %9 下限 %10 %11 %12")
        .arg(row.value(0).toString(), row.value(1).toString(), row.value(2).toString(),
             row.value(3).toString(), row.value(4).toString(), row.value(5).toString(),
             row.value(6).toString(), row.value(7).toString(), row.value(8).toString())
        .arg(row.value(9).toString(), row.value(10).toString(), row.value(11).toString());
}

} // namespace

namespace Products {

QString duplicateCodeMessage(const QString& code, const QString& owner) {
    return QStringLiteral("条码 %1 已用于产品“%2”，请换一个条码。").arg(code, owner);
}

namespace {

qint64 insertRow(Db::Work& work, const Fields& f, Currency stock, const QString& now);

// `now`: the moment written as the product's creation, one for all the rows of an operation.
qint64 insert(Db::Work& work, const Fields& f, Currency stock, const QString& now) {
    // On a server a refused statement ends the transaction: the barcode is looked up first. A
    // file refuses a taken barcode by its index, and the look-up names its owner then only (an
    // import of many products asks once instead of once a product).
    const bool server = Db::isServer(work.db());
    if (server)
        checkCode(work, f.barcode, 0);
    // The code at the scale is looked up first everywhere: it is refused for more than being taken.
    checkScaleCode(work, f.scaleCode, 0);
    try {
        return insertRow(work, f, stock, now);
    } catch (const DatabaseError& e) {
        if (!server && e.code() == QLatin1String("19"))
            checkCode(work, f.barcode, 0);
        throw;
    }
}

qint64 insertRow(Db::Work& work, const Fields& f, Currency stock, const QString& now) {
    return work.insert(QStringLiteral("insert into ab (b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12,b13,b14,b15)"
                                      "values (:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l,:m,:n,:o)"),
                       {{QStringLiteral(":a"), f.major},
                        {QStringLiteral(":b"), f.minor},
                        {QStringLiteral(":c"), f.name},
                        {QStringLiteral(":d"), stock.toSql()},
                        {QStringLiteral(":e"), f.unit},
                        {QStringLiteral(":f"), f.cost.toSql()},
                        {QStringLiteral(":g"), f.wholesale.toSql()},
                        {QStringLiteral(":h"), f.sale.toSql()},
                        {QStringLiteral(":i"), (f.sale * stock).toSql()},
                        {QStringLiteral(":j"), now},
                        {QStringLiteral(":k"), f.remark},
                        {QStringLiteral(":l"), f.manufacturer},
                        {QStringLiteral(":m"), codeValue(f.barcode)},
                        {QStringLiteral(":n"), levelValue(f.warnLevel)},
                        {QStringLiteral(":o"), codeValue(f.scaleCode)}});
}

} // namespace

qint64 create(const Fields& f, Currency stock) {
    Staff::require(Staff::Right::Products, f.name);
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const qint64 key = insert(work, f, stock, Clock::nowText());
        work.wrote(Table, key);
        // An operator who may not see costs gives none: the cost stays unknown (not 0, which
        // would count the whole price of every sale as profit) until the owner enters it.
        if (!Staff::may(Staff::Right::SeeCosts))
            work.exec(QStringLiteral("update ab set b6 = NULL where bid = :k"),
                      {{QStringLiteral(":k"), key}});
        if (Staff::inForce())
            OpLog::write(work, {OpLog::NewProduct, productKey(key), {}, describe(work, key)});
        work.commit();
        return key;
    });
}

int createMany(const QList<New>& products) {
    return createMany(products.size(), [&](qsizetype i) { return products[i]; });
}

namespace {

const QStringList Columns = {"b1", "b2",  "b3",  "b4",  "b5",  "b6",  "b7", "b8",
                             "b9", "b10", "b11", "b12", "b13", "b14", "b15"};

// The products go into the file many at a time. A group the file refuses is written again one
// product at a time, so that the product refused is the one the error is about, as it would be
// had each been written alone.
class Batch {
public:
    Batch(Db::Work& work, const QString& now) : m_work(work), m_now(now) {}

    // The values of a product as they are written; the amounts first, so that one that cannot be
    // stored stops the product before anything of it is taken.
    QList<QVariant> valuesOf(const New& p) const {
        const Fields& f = p.fields;
        const QVariant stock = p.stock.toSql(), cost = f.cost.toSql(), wholesale = f.wholesale.toSql(),
                       sale = f.sale.toSql(), value = (f.sale * p.stock).toSql();
        return {f.major,
                f.minor,
                f.name,
                stock,
                f.unit,
                cost,
                wholesale,
                sale,
                value,
                m_now,
                f.remark,
                f.manufacturer,
                codeValue(f.barcode),
                levelValue(f.warnLevel),
                codeValue(f.scaleCode)};
    }

    void add(const New& p, const QList<QVariant>& values) {
        m_values += values;
        m_products << p;
        if (m_products.size() == Db::Work::RowsAStatement)
            flush();
    }

    void flush() {
        if (m_products.isEmpty())
            return;
        const QList<New> products = std::exchange(m_products, {});
        const QList<QVariant> values = std::exchange(m_values, {});
        QList<qint64> keys;
        try {
            keys = m_work.insertRows(Table, Columns, values);
        } catch (const DatabaseError& e) {
            if (e.code() != QLatin1String("19")) // not a constraint: no product is to blame
                throw;
            for (const New& p : products)
                insert(m_work, p.fields, p.stock, m_now);
            throw;
        }
        m_work.wrote(Table, keys);
    }

private:
    Db::Work& m_work;
    const QString& m_now;
    QList<QVariant> m_values;
    QList<New> m_products;
};

} // namespace

int createMany(qsizetype count, const std::function<New(qsizetype)>& at) {
    Staff::require(Staff::Right::Products, QStringLiteral("%1 个产品").arg(count));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        const QString now = Clock::nowText();
        if (Staff::inForce() && count > 0)
            OpLog::write(work, {OpLog::NewProduct, {}, {}, QStringLiteral("%1 个产品").arg(count)});
        if (Db::isServer(work.db())) {
            for (qsizetype i = 0; i < count; ++i) {
                const New p = at(i);
                work.wrote(Table, insert(work, p.fields, p.stock, now));
            }
        } else {
            Batch batch(work, now);
            for (qsizetype i = 0; i < count; ++i) {
                New p;
                QList<QVariant> values;
                try {
                    p = at(i);
                    values = batch.valuesOf(p);
                } catch (const LedgerError&) {
                    batch.flush(); // the products before it are written first, as they come first
                    throw;
                }
                batch.add(p, values);
            }
            batch.flush();
        }
        work.commit();
        return int(count);
    });
}

void update(qint64 product, const Fields& f) {
    Staff::require(Staff::Right::Products, productKey(product));
    // An operator who may not see cost prices does not see the stored one either: it stays.
    const bool withCost = Staff::may(Staff::Right::SeeCosts);
    return Db::perform(Db::business(), [&](Db::Work& work) {
        checkCode(work, f.barcode, product);
        checkScaleCode(work, f.scaleCode, product);
        const QString was = Staff::inForce() ? describe(work, product) : QString();
        Db::Params params{{QStringLiteral(":a"), f.major},
                          {QStringLiteral(":b"), f.minor},
                          {QStringLiteral(":c"), f.name},
                          {QStringLiteral(":d"), f.unit},
                          {QStringLiteral(":f"), f.wholesale.toSql()},
                          {QStringLiteral(":g"), f.sale.toSql()},
                          {QStringLiteral(":h"), f.remark},
                          {QStringLiteral(":i"), f.manufacturer},
                          {QStringLiteral(":j"), product},
                          {QStringLiteral(":k"), codeValue(f.barcode)},
                          {QStringLiteral(":l"), levelValue(f.warnLevel)},
                          {QStringLiteral(":m"), codeValue(f.scaleCode)}};
        if (withCost)
            params.emplace_back(QStringLiteral(":e"), f.cost.toSql());
        work.exec(
            QStringLiteral(
                "update ab set b1=:a,b2=:b,b3=:c,b5=:d,%1b7=:f,b8=:g,b11=:h,b12=:i,b13=:k,b14=:l,b15=:m "
                "where bid=:j ")
                .arg(withCost ? QStringLiteral("b6=:e,") : QString()),
            params);
        work.wrote(Table, product);
        if (Staff::inForce())
            OpLog::write(work, {OpLog::EditProduct, productKey(product), was, describe(work, product)});
        work.commit();
    });
}

qint64 findByCode(const QString& code) {
    const QVariant value = codeValue(code);
    if (value.isNull())
        return 0;
    return Db::scalar(Db::business(), QStringLiteral("select bid from ab where b13 = :a and b13 <> ''"),
                      {{QStringLiteral(":a"), value}})
        .toLongLong();
}

QString newStoreCode() {
    // The in-store codes are thirteen digits starting with 2; their first twelve digits, read as a
    // number, give the highest serial used.
    // Codes of thirteen characters starting with 2, highest first: the first of only digits is the
    // highest such code (equal lengths sort as their numbers do).
    QSqlQuery codes = Db::exec(Db::business(), QStringLiteral("select b13 from ab where b13 like "
                                                              "'2____________' order by b13 desc"));
    static const QRegularExpression digits(QStringLiteral("^2[0-9]{12}$"));
    const qint64 first = 200000000000LL;
    const qint64 last = 299999999999LL;
    qint64 serial = first;
    while (codes.next()) {
        const QString code = codes.value(0).toString();
        if (digits.match(code).hasMatch()) {
            serial = code.left(12).toLongLong();
            break;
        }
    }
    for (;;) {
        ++serial;
        if (serial > last)
            throw Refused(QStringLiteral("店内条码已用完，请手工填写条码。"));
        const QString code = Barcode::ean13(QString::number(serial));
        if (findByCode(code) == 0)
            return code;
    }
}

int lowStockCount() {
    return Db::scalar(Db::business(),
                      QStringLiteral("select count(*) from ab where b14 is not null and b4 <= b14"))
        .toInt();
}

bool isLow(const QVariant& stock, const QVariant& level) {
    if (level.isNull() || level.toString().isEmpty())
        return false;
    return Currency::fromVariant(stock) <= Currency::fromVariant(level);
}

QString lowStockStatement() {
    return QStringLiteral("select *, 2 * b14 - b4 as dinghuo from ab where b14 is not null and b4 <= b14 "
                          "order by bid desc");
}

void remove(qint64 product) {
    Staff::require(Staff::Right::Products, productKey(product));
    return Db::perform(Db::business(), [&](Db::Work& work) {
        if (Staff::inForce())
            OpLog::write(work, {OpLog::DeleteProduct, productKey(product), describe(work, product), {}});
        work.exec(QStringLiteral("delete from ab where bid = :k"), {{QStringLiteral(":k"), product}});
        work.wrote(Table, product);
        work.commit();
    });
}

} // namespace Products
