#pragma once

#include "core/money.h"

#include <QDate>
#include <QString>

// Goods received into stock: the product's stock and stock value rise and one stock-in record is
// written, both or neither.
namespace StockIn {

struct Received {
    qint64 record = 0;   // cid of the stock-in record
    Currency stock;      // the product's stock after it
    Currency stockValue; // its stock value after it
    Currency total;      // quantity × sale price, the record's total
};

// Receives `quantity` of the product on `date`. The stock value rises by quantity × the product's
// sale price now; the record copies the product's name, prices, categories, unit and manufacturer
// as the stock list shows them, and the quantity as it was typed (`typed`, leading zeros
// included; the number itself when empty). A stored stock, stock value or sale price that is no
// number stops it before anything is written (ConversionError); a product that is gone and a
// quantity of 0 (Orders::NoQuantity) are refused.
Received receive(qint64 product, Currency quantity, const QDate& date, const QString& typed = {});

} // namespace StockIn
