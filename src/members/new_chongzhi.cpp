#include "members/new_chongzhi.h"

Tnew_chongzhi* new_chongzhi = nullptr;

Tnew_chongzhi::Tnew_chongzhi(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("new_chongzhi"));
    setWindowTitle(QStringLiteral("为会员充值"));
}
