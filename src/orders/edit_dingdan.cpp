#include "orders/edit_dingdan.h"

Tedit_dingdan* edit_dingdan = nullptr;

Tedit_dingdan::Tedit_dingdan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("edit_dingdan"));
    setWindowTitle(QStringLiteral("修改订单"));
}
