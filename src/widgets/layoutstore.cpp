#include "widgets/layoutstore.h"

#include "widgets/databound.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

namespace LayoutStore {

namespace {
const QString Grids = QStringLiteral("grids/");
const QString Windows = QStringLiteral("windows/");
const QString Folders = QStringLiteral("folders/");

// ~/.config/vandrel-ledger/layout.conf: the user's own, whatever working folder is open.
struct Store : QSettings {
    Store() : QSettings(QStringLiteral("vandrel-ledger"), QStringLiteral("layout")) {}
};
} // namespace

QString keyOf(const QWidget* widget) {
    QStringList names;
    for (const QObject* o = widget; o; o = o->parent())
        if (!o->objectName().isEmpty())
            names.prepend(o->objectName());
    return names.join(QLatin1Char('.'));
}

Columns gridColumns(const QString& grid) {
    Columns columns;
    const QStringList stored = Store().value(Grids + grid).toStringList();
    for (const QString& entry : stored) {
        const qsizetype at = entry.lastIndexOf(QLatin1Char(':'));
        bool ok = false;
        const int width = at > 0 ? entry.mid(at + 1).toInt(&ok) : 0;
        if (ok && width > 0)
            columns.append({entry.left(at), width});
    }
    return columns;
}

void setGridColumns(const QString& grid, const Columns& columns) {
    QStringList stored;
    for (const auto& [field, width] : columns)
        stored << QStringLiteral("%1:%2").arg(field).arg(width);
    Store().setValue(Grids + grid, stored);
}

void saveWindow(const QWidget* window) {
    Store().setValue(Windows + keyOf(window), window->saveGeometry());
}

bool restoreWindow(QWidget* window) {
    const QByteArray geometry = Store().value(Windows + keyOf(window)).toByteArray();
    return !geometry.isEmpty() && window->restoreGeometry(geometry);
}

QString lastFolder(const QString& kind) {
    const QString folder = Store().value(Folders + kind).toString();
    if (!folder.isEmpty())
        return folder;
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void setLastFolder(const QString& kind, const QString& folder) {
    Store().setValue(Folders + kind, folder);
}

void restoreDefaults() {
    Store settings;
    settings.remove(QStringLiteral("grids"));
    settings.remove(QStringLiteral("windows"));
    for (QWidget* widget : QApplication::allWidgets())
        if (auto* grid = qobject_cast<DataGrid*>(widget))
            grid->restoreDefaultLayout();
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->metaObject()->indexOfMethod("restoreDefaultPlace()") >= 0)
            QMetaObject::invokeMethod(window, "restoreDefaultPlace");
}

} // namespace LayoutStore
