#include "members/Fr_huiyuan.h"

TFr_huiyuan::TFr_huiyuan(QWidget* parent) : Frame(QStringLiteral("Fr_huiyuan1"), parent) {}
