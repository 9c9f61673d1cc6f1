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
    // Only a vertical turn moves a row. A sideways scroll goes on to the grid (it may scroll its
    // columns); so does an event of no length, such as the begin or end of a touchpad scroll.
    auto* wheel = static_cast<QWheelEvent*>(event);
    int delta = wheel->angleDelta().y();
    if (wheel->angleDelta().isNull())
        delta = wheel->pixelDelta().y();
    if (delta == 0)
        return QObject::eventFilter(watched, event);
    guarded([&] { delta < 0 ? m_next() : m_prior(); });
    return true;
}
