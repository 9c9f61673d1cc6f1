#pragma once

#include "app/mainwindow.h"
#include "app/startup.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <functional>
#include <vector>

// How the benchmark times what it measures.
namespace Timing {

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : (v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2);
}

// Milliseconds of each of n runs of the action; prepare runs untimed before each.
inline std::vector<double> timeRuns(int n, const std::function<void()>& action,
                                    const std::function<void()>& prepare = {}) {
    std::vector<double> ms;
    for (int i = 0; i < n; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer t;
        t.start();
        action();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

// Milliseconds of each of n starts of the program on the folder, until the main window is shown
// with every list open; the program of the run before is ended untimed.
inline std::vector<double> startupRuns(const QString& folder, int n) {
    return timeRuns(
        n,
        [&] {
            Startup::createInstances(folder);
            main_window->show();
            QApplication::processEvents();
            main_window->repaint();
        },
        [] {
            if (main_window)
                Startup::destroyInstances();
        });
}

} // namespace Timing
