#include "ledger/exporting.h"

#include "ledger/costs.h"
#include "ledger/oplog.h"
#include "ledger/staff.h"

#include <QDir>
#include <QFileInfo>

namespace Exporting {

void require(const QString& what) {
    Staff::require(Staff::Right::ExportImport, what);
}

qint64 write(const QSqlDatabase& db, const QString& sql, const Db::Params& params, const QString& table,
             QList<GridColumn> columns, const QString& path, Spreadsheet::Format format, const QString& what,
             const Spreadsheet::Progress& progress) {
    require(what);
    const QStringList left = Costs::withheld(table);
    columns.removeIf([&left](const GridColumn& c) { return left.contains(c.field); });
    const qint64 rows = Spreadsheet::writeQuery(db, Costs::readable(sql, table), params, table, columns, path,
                                                format, progress);
    if (rows >= 0)
        OpLog::write(
            {OpLog::Export, what, {}, QStringLiteral("%1 行 %2").arg(rows).arg(QFileInfo(path).fileName())});
    return rows;
}

qint64 writeList(const ListDefinition& list, const QString& search, const QString& path,
                 Spreadsheet::Format format, const Spreadsheet::Progress& progress) {
    Db::Params params;
    const QString sql = Spreadsheet::listStatement(list, search, &params);
    return write(Db::business(), sql, params, list.table, list.columns, path, format,
                 QStringLiteral("列表 ") + list.description, progress);
}

} // namespace Exporting
