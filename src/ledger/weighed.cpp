#include "ledger/weighed.h"

#include "core/errors.h"
#include "data/database.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/shopsettings.h"
#include "ledger/staff.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSqlQuery>

namespace {

const QString LayoutsName = QStringLiteral("scale_layouts");

QJsonObject toJson(const ScaleLabels::Layout& l) {
    return {{QStringLiteral("name"), l.name},
            {QStringLiteral("length"), l.length},
            {QStringLiteral("prefixDigits"), l.prefixDigits},
            {QStringLiteral("prefixFrom"), l.prefixFrom},
            {QStringLiteral("prefixTo"), l.prefixTo},
            {QStringLiteral("codeAt"), l.codeAt},
            {QStringLiteral("codeDigits"), l.codeDigits},
            {QStringLiteral("priceAt"), l.priceAt},
            {QStringLiteral("priceDigits"), l.priceDigits},
            {QStringLiteral("weightAt"), l.weightAt},
            {QStringLiteral("weightDigits"), l.weightDigits}};
}

// A stored layout; none when a field is missing or no whole number.
std::optional<ScaleLabels::Layout> fromJson(const QJsonValue& value) {
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    bool complete = true;
    const auto number = [&o, &complete](const char* key) {
        const QJsonValue v = o.value(QLatin1String(key));
        const double d = v.toDouble(-1e9);
        if (!v.isDouble() || d != double(int(d)))
            complete = false;
        return int(d);
    };
    ScaleLabels::Layout l;
    l.name = o.value(QStringLiteral("name")).toString();
    l.length = number("length");
    l.prefixDigits = number("prefixDigits");
    l.prefixFrom = number("prefixFrom");
    l.prefixTo = number("prefixTo");
    l.codeAt = number("codeAt");
    l.codeDigits = number("codeDigits");
    l.priceAt = number("priceAt");
    l.priceDigits = number("priceDigits");
    l.weightAt = number("weightAt");
    l.weightDigits = number("weightDigits");
    if (!complete || !l.problem().isEmpty())
        return std::nullopt;
    return l;
}

QString describe(const QList<ScaleLabels::Layout>& layouts) {
    QStringList names;
    for (const ScaleLabels::Layout& l : layouts)
        names << l.name;
    return names.join(QStringLiteral("；"));
}

} // namespace

namespace Weighed {

QList<ScaleLabels::Layout> layouts() {
    const QString stored = ShopSettings::value(LayoutsName);
    if (stored.isEmpty())
        return ScaleLabels::defaultLayouts();
    const QJsonDocument doc = QJsonDocument::fromJson(stored.toUtf8());
    QList<ScaleLabels::Layout> read;
    for (const QJsonValue& v : doc.array()) {
        const std::optional<ScaleLabels::Layout> layout = fromJson(v);
        // One layout spoilt by hand makes the whole list doubtful: the common ones hold.
        if (!layout)
            return ScaleLabels::defaultLayouts();
        read << *layout;
    }
    return read.isEmpty() ? ScaleLabels::defaultLayouts() : read;
}

void storeLayouts(const QList<ScaleLabels::Layout>& layouts) {
    if (layouts.isEmpty())
        throw Refused(QStringLiteral("至少要有一种秤签格式"));
    for (int i = 0; i < layouts.size(); ++i) {
        const ScaleLabels::Layout& l = layouts[i];
        if (l.name.trimmed().isEmpty())
            throw Refused(QStringLiteral("第 %1 种秤签格式没有名称").arg(i + 1));
        if (const QString problem = l.problem(); !problem.isEmpty())
            throw Refused(QStringLiteral("秤签格式“%1”：%2").arg(l.name, problem));
        for (int j = 0; j < i; ++j) {
            const ScaleLabels::Layout& o = layouts[j];
            if (o.length == l.length && o.prefixDigits == l.prefixDigits && o.prefixFrom <= l.prefixTo &&
                l.prefixFrom <= o.prefixTo)
                throw Refused(
                    QStringLiteral("秤签格式“%1”与“%2”的位数和前缀相同，扫描时无法区分").arg(l.name, o.name));
        }
    }
    Staff::require(Staff::Right::Settings, QStringLiteral("秤签格式"));
    QJsonArray array;
    for (const ScaleLabels::Layout& l : layouts)
        array.append(toJson(l));
    const QString before = describe(Weighed::layouts());
    Db::perform(Db::business(), [&](Db::Work& work) {
        ShopSettings::store(work, LayoutsName,
                            QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact)));
        OpLog::write(work, {OpLog::Settings, QStringLiteral("秤签格式"), before, describe(layouts)});
        work.commit();
    });
}

int gramsPerUnit(const QString& unit) {
    const QString u = unit.trimmed().toLower();
    if (u == QStringLiteral("公斤") || u == QStringLiteral("千克") || u == QLatin1String("kg"))
        return 1000;
    if (u == QStringLiteral("斤") || u == QStringLiteral("市斤"))
        return 500;
    if (u == QStringLiteral("两"))
        return 50;
    if (u == QStringLiteral("克") || u == QLatin1String("g"))
        return 1;
    return 0;
}

QString unknownCodeMessage(const QString& scanned, const QString& scaleCode) {
    return QStringLiteral("没有条码为 %1 的产品，按秤签读出的称重码 %2 也没有对应的产品")
        .arg(scanned, scaleCode);
}

std::optional<Orders::LineAdded> addLabel(qint64 order, const QString& code, const QString& category) {
    const std::optional<ScaleLabels::Label> label = ScaleLabels::read(code, layouts());
    if (!label)
        return std::nullopt;
    // The code at the scale as the label prints it, leading zeros and all; a product's code
    // typed without them ("123" for "00123") is found too.
    const QString trimmed =
        QString(label->productCode).remove(QRegularExpression(QStringLiteral("^0+(?=.)")));
    QSqlQuery found = Db::exec(Db::business(),
                               QStringLiteral("select bid, b3 from ab where b15 in (:a, :b) and b15 <> '' "
                                              "order by case when b15 = :a then 0 else 1 end limit 1"),
                               {{QStringLiteral(":a"), label->productCode}, {QStringLiteral(":b"), trimmed}});
    if (!found.next())
        throw Refused(unknownCodeMessage(code.trimmed(), label->productCode));
    const qint64 product = found.value(0).toLongLong();
    const QString name = found.value(1).toString();
    return Orders::addMeasuredLine(
        order, product,
        [&](Currency salePrice, const QString& unit) {
            const int grams = gramsPerUnit(unit);
            if (grams == 0)
                throw Refused(QStringLiteral("产品“%1”的单位“%2”不是重量单位（公斤、斤），不能按秤签销售")
                                  .arg(name, unit));
            const ScaleLabels::Line line = ScaleLabels::lineOf(*label, salePrice, grams);
            return Orders::Measured{line.quantity, line.amount};
        },
        category, Orders::Join::NewLine);
}

} // namespace Weighed
