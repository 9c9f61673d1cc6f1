#include "orders/print_dingdan.h"

Tprint_dingdan* print_dingdan = nullptr;

Tprint_dingdan::Tprint_dingdan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("print_dingdan"));
    setWindowTitle(QStringLiteral("打印报表"));
}

void Tprint_dingdan::prepare(const QString&, const QString&, const QString&, const QString&, const QString&) {
}
