#pragma once

#include <QList>
#include <QPair>
#include <QString>

class QWidget;

// What the user arranged and is given back at the next start, per user (QSettings): the column
// widths and order of every grid, the main window's place, size and maximised state, and the
// folders last chosen for exports and backups.
namespace LayoutStore {

// A grid's columns as the user left them: fields in visual order with their widths. Empty when
// the user never changed the grid.
using Columns = QList<QPair<QString, int>>;
Columns gridColumns(const QString& grid);
void setGridColumns(const QString& grid, const Columns& columns);

// The key a widget is stored under: the object names of the widget and its windows.
QString keyOf(const QWidget* widget);

void saveWindow(const QWidget* window);
// False when nothing is stored for the window (it keeps its own place).
bool restoreWindow(QWidget* window);

// "export" or "backup": the folder last chosen, or the user's documents folder.
QString lastFolder(const QString& kind);
void setLastFolder(const QString& kind, const QString& folder);

// Forgets every stored width, order and window place; the grids and the window return to their
// default layout.
void restoreDefaults();

} // namespace LayoutStore
