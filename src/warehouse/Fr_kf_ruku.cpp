#include "warehouse/Fr_kf_ruku.h"

TFr_kf_ruku::TFr_kf_ruku(QWidget* parent) : Frame(QStringLiteral("Fr_kf_ruku1"), parent) {}
