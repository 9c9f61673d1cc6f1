#include "app/Fr_wel.h"

TFr_wel::TFr_wel(QWidget* parent) : Frame(QStringLiteral("Fr_wel1"), parent) {}
