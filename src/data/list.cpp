#include "data/list.h"

Tlist* list = nullptr;

Tlist::Tlist(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("list"));
    setWindowTitle(QStringLiteral("菜单项编辑"));
}

void Tlist::showPanel(const QString& panel) {
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (w->objectName().startsWith(QStringLiteral("caidan_")))
            w->setVisible(w->objectName() == panel);
}
