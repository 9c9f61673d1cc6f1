#include "ledger/costs.h"

#include "data/schema.h"
#include "data/sharedquery.h"
#include "ledger/staff.h"

#include <QRegularExpression>

namespace Costs {

bool shown() {
    return Staff::may(Staff::Right::SeeCosts);
}

QStringList columnsOf(const QString& table) {
    if (table == QLatin1String("ab"))
        return {QStringLiteral("b6")};
    if (table == QLatin1String("ac"))
        return {QStringLiteral("c4")};
    if (table == QLatin1String("ae"))
        return {QStringLiteral("e13")};
    if (table == QLatin1String("tj"))
        return {QStringLiteral("chengben"), QStringLiteral("maoli"), QStringLiteral("wuchengben"),
                QStringLiteral("maolilv")};
    return {};
}

QStringList withheld(const QString& table) {
    return shown() ? QStringList() : columnsOf(table);
}

QString readable(const QString& sql, const QString& table) {
    const QStringList left = withheld(table);
    const Schema::Table* t = Schema::findTable(table);
    if (left.isEmpty() || !t)
        return sql;
    const QRegularExpression form(QStringLiteral("^(\\s*select\\s+)\\*(?=\\s*,|\\s+from\\s+%1\\b)")
                                      .arg(QRegularExpression::escape(table)),
                                  QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(sql);
    if (!m.hasMatch())
        return sql;
    QStringList kept = t->columns();
    for (const QString& field : left)
        kept.removeAll(field);
    return m.captured(1) + kept.join(QLatin1Char(',')) + sql.mid(m.capturedEnd(0));
}

void follow() {
    SharedQuery::setWithholding(&withheld);
    SharedQuery::withholdingChanged();
    emit Watch::instance().changed(shown());
}

Watch& Watch::instance() {
    static Watch watch;
    return watch;
}

} // namespace Costs
