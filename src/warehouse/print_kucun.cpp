#include "warehouse/print_kucun.h"

Tprint_kucun* print_kucun = nullptr;

Tprint_kucun::Tprint_kucun(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("print_kucun"));
    setWindowTitle(QStringLiteral("打印报表"));
}
