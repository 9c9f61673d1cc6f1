#include "ledger/shopsettings.h"

#include "data/work.h"

namespace {
const QString Table = QStringLiteral("shop_settings");
}

namespace ShopSettings {

QString value(const QString& name) {
    return Db::scalar(Db::business(), QStringLiteral("select value from shop_settings where name = :n"),
                      {{QStringLiteral(":n"), name}})
        .toString();
}

void store(Db::Work& work, const QString& name, const QString& value) {
    work.exec(QStringLiteral("delete from shop_settings where name = :n"), {{QStringLiteral(":n"), name}});
    work.wrote(Table, work.insert(QStringLiteral("insert into shop_settings (name, value) values (:n, :v)"),
                                  {{QStringLiteral(":n"), name}, {QStringLiteral(":v"), value}}));
}

} // namespace ShopSettings
