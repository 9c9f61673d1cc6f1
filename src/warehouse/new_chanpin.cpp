#include "warehouse/new_chanpin.h"

Tnew_chanpin* new_chanpin = nullptr;

Tnew_chanpin::Tnew_chanpin(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_chanpin"));
    setWindowTitle(QStringLiteral("新建产品"));
}
