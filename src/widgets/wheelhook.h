#pragma once

#include <QObject>
#include <functional>

class QAbstractScrollArea;

// The grid wheel hook: every wheel message over a grid moves its list one row (toward the user
// the next row, away from the user the previous one), whatever the delta, and the grid's own
// scrolling never sees it.
class WheelHook : public QObject {
    Q_OBJECT
public:
    WheelHook(QAbstractScrollArea* grid, std::function<void()> next, std::function<void()> prior);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_next, m_prior;
};
