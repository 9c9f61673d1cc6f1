#include "settlement/jiesuan_huiyuanka.h"

Tjiesuan_huiyuanka* jiesuan_huiyuanka = nullptr;

Tjiesuan_huiyuanka::Tjiesuan_huiyuanka(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("jiesuan_huiyuanka"));
    setWindowTitle(QStringLiteral("选择会员卡并确认结算"));
}
