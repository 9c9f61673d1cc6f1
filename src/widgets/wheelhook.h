#pragma once

#include <QObject>
#include <functional>

class QAbstractScrollArea;

// The grid wheel hook: every vertical wheel turn over a grid moves its list one row (toward the
// user the next row, away from the user the previous one), whatever the delta, and the grid's
// own scrolling never sees it. Wheel events with no vertical length (sideways scrolls, the begin
// and end of a touchpad scroll) move nothing and go on to the grid.
class WheelHook : public QObject {
    Q_OBJECT
public:
    WheelHook(QAbstractScrollArea* grid, std::function<void()> next, std::function<void()> prior);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_next, m_prior;
};
