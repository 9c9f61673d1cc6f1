#pragma once

#include <QString>

// Measures a till whose ledger is on the database server at `url` (an administrator's URL: a
// database of its own is made there and dropped afterwards) with the shop of the given scale.
// With `keep`, the database is named by the scale, kept, and used again by the next run.
// Prints one line per goal with PASS or FAIL; returns the exit status.
int serverBench(const QString& url, double scale, bool keep = false);
