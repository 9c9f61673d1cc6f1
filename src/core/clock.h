#pragma once

#include <QDateTime>

// The one source of "now" for every moment the program writes. Tests fix it.
namespace Clock {
QDateTime now();
// The text every date-time column holds: yyyy-MM-dd HH:mm:ss.
QString nowText();
QString format(const QDateTime& moment);
void setFixed(const QDateTime& moment);
void useSystem();
} // namespace Clock
