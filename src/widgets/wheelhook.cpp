#include "widgets/wheelhook.h"

#include "widgets/messages.h"

#include <QAbstractScrollArea>
#include <QWheelEvent>

WheelHook::WheelHook(QAbstractScrollArea* grid, std::function<void()> next, std::function<void()> prior)
    : QObject(grid), m_next(std::move(next)), m_prior(std::move(prior)) {
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
}

bool WheelHook::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Wheel)
        return QObject::eventFilter(watched, event);
    auto* wheel = static_cast<QWheelEvent*>(event);
    int delta = wheel->angleDelta().y();
    if (delta == 0 && wheel->angleDelta().x() == 0 && !wheel->pixelDelta().isNull())
        delta = wheel->pixelDelta().y();
    guarded([&] { delta < 0 ? m_next() : m_prior(); });
    return true;
}
