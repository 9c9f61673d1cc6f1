#include "core/clock.h"

namespace {
QDateTime fixedMoment;
}

QDateTime Clock::now() {
    return fixedMoment.isValid() ? fixedMoment : QDateTime::currentDateTime();
}

QString Clock::format(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString Clock::nowText() {
    return format(now());
}

void Clock::setFixed(const QDateTime& moment) {
    fixedMoment = moment;
}

void Clock::useSystem() {
    fixedMoment = QDateTime();
}
