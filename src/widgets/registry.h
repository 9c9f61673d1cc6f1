#pragma once

#include <QString>

class QWidget;

// The global instances by name, filled at start-up. A window that must open a window of a
// subsystem it does not know (every help button opens the guide) finds it here.
namespace Registry {
void add(QWidget* window);
QWidget* find(const QString& name);
// Shows the named dialog modally and returns its result; 0 when there is no such window.
int showModal(const QString& name);
void clear();
} // namespace Registry
