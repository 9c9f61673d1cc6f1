#include "members/edit_huiyuan.h"

Tedit_huiyuan* edit_huiyuan = nullptr;

Tedit_huiyuan::Tedit_huiyuan(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("edit_huiyuan"));
    setWindowTitle(QStringLiteral("编辑会员资料"));
}
