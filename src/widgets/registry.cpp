#include "widgets/registry.h"

#include <QDialog>
#include <QHash>
#include <QPointer>

namespace {
QHash<QString, QPointer<QWidget>>& windows() {
    static QHash<QString, QPointer<QWidget>> map;
    return map;
}
} // namespace

void Registry::add(QWidget* window) {
    windows().insert(window->objectName(), window);
}

QWidget* Registry::find(const QString& name) {
    return windows().value(name);
}

int Registry::showModal(const QString& name) {
    QWidget* w = find(name);
    if (auto* dialog = qobject_cast<QDialog*>(w))
        return dialog->exec();
    return 0;
}

void Registry::clear() {
    windows().clear();
}
