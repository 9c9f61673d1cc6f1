#pragma once

#include <QString>

namespace Db {
class Work;
}

// Settings of the whole shop, kept with its ledger (the business file, or the server) so every
// till follows the same: the limits of returns and of discounts. Each is a name and a text.
namespace ShopSettings {
// The stored text; empty when none was stored (the caller's default holds).
QString value(const QString& name);
// Stores the text in the operation's unit of work.
void store(Db::Work& work, const QString& name, const QString& value);
} // namespace ShopSettings
