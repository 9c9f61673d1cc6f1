#include "warehouse/Fr_kf_chuku.h"

TFr_kf_chuku::TFr_kf_chuku(QWidget* parent) : Frame(QStringLiteral("Fr_kf_chuku1"), parent) {}
