#include "settlement/jiesuan.h"

Tjiesuan* jiesuan = nullptr;

Tjiesuan::Tjiesuan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan"));
    setWindowTitle(QStringLiteral("为订单结算"));
}
