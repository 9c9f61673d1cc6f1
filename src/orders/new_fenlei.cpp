#include "orders/new_fenlei.h"

Tnew_fenlei* new_fenlei = nullptr;

Tnew_fenlei::Tnew_fenlei(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_fenlei"));
    setWindowTitle(QStringLiteral("订单分类"));
}
