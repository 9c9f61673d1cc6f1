#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

// Cost prices and profit are for those with the right to see them (查看成本价和利润). For anybody
// else no list, export, print, statistic or dialog reads them: the statements leave the columns
// out, so the figures never leave the database. A shop without operators sees them as always.
namespace Costs {

// Whether the one at this till may see cost prices and profit.
bool shown();
// The fields of a table that hold cost prices or profit: ab.b6, ac.c4, ae.e13, and the fields
// chengben, maoli, wuchengben (and the parameter maolilv) of the statistics' lists
// (table "tj").
QStringList columnsOf(const QString& table);
// Those the one at this till may not read: none when costs are shown.
QStringList withheld(const QString& table);
// A statement that reads every field of its table ("select * from ab ...") with the withheld
// fields left out; any other statement as it is.
QString readable(const QString& sql, const QString& table);

// To be run whenever the one at this till may have changed (the shop opened, a login, a change of
// hands, a lock, the rights of a role changed): the open lists read again without (or with) the
// costs, and the pages that show costs otherwise hear it through Watch.
void follow();

// Tells the pages that show costs or profit of their own (statistics, the welcome card) that
// they are to be shown or left out now.
class Watch : public QObject {
    Q_OBJECT
public:
    static Watch& instance();

signals:
    void changed(bool shown);
};

} // namespace Costs
