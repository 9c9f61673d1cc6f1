#pragma once

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

} // namespace Timing
