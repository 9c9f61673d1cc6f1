#pragma once

#include <QDate>
#include <QString>
#include <functional>

// A small shop to try the program with, written through the shop's own operations day by day, so
// that every rule holds as if a shop keeper had typed it: a catalogue of a few hundred products
// whose names fit their categories and units, stock-in on delivery days over the whole period,
// orders every day (most settled in cash or from a member card), members with recharges and
// payments. Stock never goes below zero; every card's records chain from balance to balance.
namespace DemoShop {

struct Plan {
    QDate last = QDate(2026, 12, 9); // the shop's last day
    int days = 365;                  // how many days up to and including the last
    unsigned seed = 20261209;
};

// Told how far the filling has come (days done of all days); returns false to stop. Every day
// written so far stays: each step is one of the shop's operations, whole or not at all.
using Progress = std::function<bool(int done, int total)>;

struct Written {
    int products = 0;
    int stockIns = 0;
    int orders = 0;
    int settled = 0;
    int members = 0;
    int recharges = 0;
    int cardPayments = 0;
    bool stopped = false;
};

// Fills the open database files (the business connection). The clock is set to each moment
// written and goes back to the system clock afterwards.
Written fill(const Plan& plan = {}, const Progress& progress = {});

} // namespace DemoShop
