#include "data/list.h"

Tlist* list = nullptr;

Tlist::Tlist(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("list"));
    setWindowTitle(QStringLiteral("菜单项编辑"));
}
