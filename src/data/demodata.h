#pragma once

#include <QString>

// Plausible generated shop data for trying the program and for the benchmarks: products with
// Chinese names, ten years of stock-in records, orders with their lines and stock-out records,
// members with recharges and consumption records.
namespace DemoData {

struct Counts {
    int products = 0;
    int stockIns = 0;
    int orders = 0;
    int linesPerOrder = 5;
    int members = 0;
    int recharges = 0;
    int consumptions = 0;
};

// The benchmark scale is 1: 100,000 products, 300,000 stock-in records, 200,000 orders with
// 1,000,000 lines and stock-out records, 20,000 members with 100,000 recharges and 100,000
// consumption records. Smaller scales shrink every count (at least a few rows of each).
Counts countsFor(double scale);

// Fills the open database files (the business connection) with generated rows.
// progress, when given, is told what is being written.
void fill(const Counts& counts, unsigned seed = 20261209, void (*progress)(const char*) = nullptr);

} // namespace DemoData
