#pragma once

#include <QString>

// Measures a shop with staff: an operator's login, an order line with its log row against one in
// a shop without operators, and the log page over a log of `logRows` rows (made in a temporary
// folder, or kept in the cache folder when one is given). Prints one line per goal with PASS or
// FAIL; returns the exit status.
int staffBench(const QString& cache, qint64 logRows);
