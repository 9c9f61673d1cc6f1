#include "orders/new_dingdan.h"

Tnew_dingdan* new_dingdan = nullptr;

Tnew_dingdan::Tnew_dingdan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_dingdan"));
    setWindowTitle(QStringLiteral("新订单"));
}
