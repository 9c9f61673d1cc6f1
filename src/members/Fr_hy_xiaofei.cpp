#include "members/Fr_hy_xiaofei.h"

TFr_hy_xiaofei::TFr_hy_xiaofei(QWidget* parent) : Frame(QStringLiteral("Fr_hy_xiaofei1"), parent) {}
