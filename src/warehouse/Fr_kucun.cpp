#include "warehouse/Fr_kucun.h"

TFr_kucun::TFr_kucun(QWidget* parent) : Frame(QStringLiteral("Fr_kucun1"), parent) {}
