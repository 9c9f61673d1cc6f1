#include "settlement/Fr_jiesuan.h"

TFr_jiesuan::TFr_jiesuan(QWidget* parent) : Frame(QStringLiteral("Fr_jiesuan1"), parent) {}
