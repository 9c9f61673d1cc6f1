#pragma once

#include "core/money.h"

#include <QList>
#include <QString>

// Products in table ab: the descriptive fields and prices the product dialogs write. Stock and
// stock value change only through stock-in and the orders; a product is created with its opening
// stock valued at its sale price.
namespace Products {

// What the product dialogs write. A pick list showing no entry writes the empty text.
struct Fields {
    QString major;        // b1
    QString minor;        // b2
    QString name;         // b3
    QString unit;         // b5
    Currency cost;        // b6
    Currency wholesale;   // b7
    Currency sale;        // b8
    QString remark;       // b11
    QString manufacturer; // b12
};

// A product as the stock list shows it, handed to the dialogs that show it.
struct Product {
    qint64 key = 0; // bid
    Fields fields;
    Currency stock;      // b4
    Currency stockValue; // b9
    QString created;     // b10
};

// Creates the product with its opening stock, valued at stock × sale price and dated now;
// returns its key.
qint64 create(const Fields& fields, Currency stock);

// Creates many products as create() does, all in one transaction announced once: all are
// written or none. Returns how many.
struct New {
    Fields fields;
    Currency stock;
};
int createMany(const QList<New>& products);

// Rewrites the nine descriptive fields and prices. Stock, stock value and creation date stay: the
// stock value keeps the prices its movements were booked at.
void update(qint64 product, const Fields& fields);

// Deletes the product row only: its stock-in and stock-out records and order lines keep its number
// and name.
void remove(qint64 product);

} // namespace Products
