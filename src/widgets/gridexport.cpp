#include "widgets/gridexport.h"

#include "data/sharedquery.h"
#include "ledger/exporting.h"
#include "widgets/databound.h"
#include "widgets/layoutstore.h"
#include "widgets/messages.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <limits>

namespace GridExport {

namespace {

// The name of the list: the page's title when the grid sits on a page.
QString listName(const DataGrid* grid) {
    QString name = grid->window()->windowTitle();
    for (const QWidget* w = grid->parentWidget(); w; w = w->parentWidget()) {
        const QString title = w->property("listTitle").toString();
        if (!title.isEmpty()) {
            name = title;
            break;
        }
    }
    return name.isEmpty() ? QStringLiteral("列表") : name;
}

} // namespace

void run(DataGrid* grid, Spreadsheet::Format format) {
    SharedQuery* query = grid->query();
    if (!query || !query->isOpen())
        return;
    // Refused before a file is asked for.
    const QString what = QStringLiteral("列表 ") + listName(grid);
    Exporting::require(what);
    run(grid->window(), listName(grid), format, query->recordCount(),
        [grid, query, format, what](const QString& path, const Spreadsheet::Progress& progress) {
            return Exporting::write(QSqlDatabase::database(query->connection(), false), query->statement(),
                                    query->parameters(), query->table(), grid->shownColumns(), path, format,
                                    what, progress);
        });
}

void run(QWidget* parent, const QString& name, Spreadsheet::Format format, qint64 total,
         const Writer& write) {
    const bool xlsx = format == Spreadsheet::Format::Xlsx;
    QFileDialog dialog(parent, xlsx ? QStringLiteral("导出为 Excel") : QStringLiteral("导出为 CSV"),
                       LayoutStore::lastFolder(QStringLiteral("export")),
                       xlsx ? QStringLiteral("Excel 文件 (*.xlsx)") : QStringLiteral("CSV 文件 (*.csv)"));
    dialog.setObjectName(QStringLiteral("exportFile"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDefaultSuffix(xlsx ? QStringLiteral("xlsx") : QStringLiteral("csv"));
    // A file name for the list: its name and today's date.
    dialog.selectFile(name + QLatin1Char('_') + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")) +
                      (xlsx ? QStringLiteral(".xlsx") : QStringLiteral(".csv")));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString path = dialog.selectedFiles().first();
    LayoutStore::setLastFolder(QStringLiteral("export"), QFileInfo(path).absolutePath());

    const int maximum = int(std::min<qint64>(total, std::numeric_limits<int>::max()));
    QProgressDialog progress(total > 0 ? QStringLiteral("正在导出 %1 行…").arg(total)
                                       : QStringLiteral("正在导出…"),
                             QStringLiteral("取 消"), 0, maximum, parent);
    progress.setObjectName(QStringLiteral("exportProgress"));
    progress.setWindowTitle(dialog.windowTitle());
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(400);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    // The export runs on the window's thread (the files are open on it only); the window is kept
    // alive between chunks of rows.
    const Spreadsheet::Progress report = [&progress, maximum](qint64 written) {
        if (maximum > 0)
            progress.setValue(int(std::min<qint64>(written, maximum)));
        QCoreApplication::processEvents();
        return !progress.wasCanceled();
    };
    const qint64 rows = write(path, report);
    progress.close();
    if (rows < 0)
        Messages::information(QStringLiteral("导出已取消，没有写入文件。"));
    else
        Messages::information(
            QStringLiteral("已导出 %1 行到 %2").arg(rows).arg(QDir::toNativeSeparators(path)));
}

} // namespace GridExport
