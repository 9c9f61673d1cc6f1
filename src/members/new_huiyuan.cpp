#include "members/new_huiyuan.h"

Tnew_huiyuan* new_huiyuan = nullptr;

Tnew_huiyuan::Tnew_huiyuan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_huiyuan"));
    setWindowTitle(QStringLiteral("添加新会员"));
}
