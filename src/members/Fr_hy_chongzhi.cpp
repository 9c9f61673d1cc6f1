#include "members/Fr_hy_chongzhi.h"

TFr_hy_chongzhi::TFr_hy_chongzhi(QWidget* parent) : Frame(QStringLiteral("Fr_hy_chongzhi1"), parent) {}
