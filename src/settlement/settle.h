#pragma once

#include "data/database.h"

#include <QString>

// What both ways of paying share.
namespace Settle {

// Runs the order's settling update, which changes only an order that is still "未结算". When it
// changes nothing, tells the user why (the order has been paid already, or is gone) and returns
// false.
bool markSettled(const QString& sql, const Db::Params& params, const QString& number);

} // namespace Settle
