#include "warehouse/edit_chanpin.h"

Tedit_chanpin* edit_chanpin = nullptr;

Tedit_chanpin::Tedit_chanpin(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("edit_chanpin"));
    setWindowTitle(QStringLiteral("修改产品"));
}
