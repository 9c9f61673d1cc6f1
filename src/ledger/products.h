#pragma once

#include "core/money.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

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
    QString barcode = {}; // b13: empty for none; unique among the products that have one
    // b14: the stock at or below which the product is listed for reordering; none for no warning.
    std::optional<Currency> warnLevel = {};
    // b15: the product's code at the scale (称重码), found by the labels the scale prints; empty
    // for none; digits, unique among the products that have one.
    QString scaleCode = {};
};

// A product as the stock list shows it, handed to the dialogs that show it.
struct Product {
    qint64 key = 0; // bid
    Fields fields;
    Currency stock;      // b4
    Currency stockValue; // b9
    QString created;     // b10
};

// The message of a barcode another product has already.
QString duplicateCodeMessage(const QString& code, const QString& owner);

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
// The same for `count` rows made one at a time by `at` (an import of a million rows keeps one
// in memory); `at` may be asked again from the first row when the transaction is tried again.
int createMany(qsizetype count, const std::function<New(qsizetype)>& at);

// Rewrites the nine descriptive fields and prices. Stock, stock value and creation date stay: the
// stock value keeps the prices its movements were booked at.
void update(qint64 product, const Fields& fields);

// The product with this barcode; 0 when none has it. Blanks around the code do not count.
qint64 findByCode(const QString& code);

// A new in-store EAN-13 (first digits 20 to 29, check digit computed) that no product has: the
// next after the highest such code in the file. Refused when the range is used up.
QString newStoreCode();

// The number of products whose stock is at or below their warning level.
int lowStockCount();
// True for a product row whose stock (b4) is at or below its warning level (b14).
bool isLow(const QVariant& stock, const QVariant& level);
// The statement of the warning list: the products at or below their level, newest first, with
// how many to order to reach twice the level (field "dinghuo").
QString lowStockStatement();

// Deletes the product row only: its stock-in and stock-out records and order lines keep its number
// and name.
void remove(qint64 product);

} // namespace Products
