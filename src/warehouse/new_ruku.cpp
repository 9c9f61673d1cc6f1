#include "warehouse/new_ruku.h"

Tnew_ruku* new_ruku = nullptr;

Tnew_ruku::Tnew_ruku(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_ruku"));
    setWindowTitle(QStringLiteral("为选中产品入库"));
}
