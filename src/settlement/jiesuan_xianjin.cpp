#include "settlement/jiesuan_xianjin.h"

Tjiesuan_xianjin* jiesuan_xianjin = nullptr;

Tjiesuan_xianjin::Tjiesuan_xianjin(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan_xianjin"));
    setWindowTitle(QStringLiteral("确认现金结算"));
}
