#include "ledger/settings.h"

#include "data/work.h"

#include <QSqlQuery>

namespace {

const QString Opens = QStringLiteral("0");
const QString StaysClosed = QStringLiteral("1");
// The key of the settings row the program writes.
constexpr qint64 SettingsRow = 8;

} // namespace

namespace Settings {

std::optional<bool> guideAtStart() {
    // The first row, as the settings list shows it.
    QSqlQuery row = Db::exec(Db::lists(), QStringLiteral("select run from a5"));
    if (!row.next())
        return std::nullopt;
    const QString flag = row.value(0).toString();
    if (flag == Opens)
        return true;
    if (flag == StaysClosed)
        return false;
    return std::nullopt;
}

void setGuideAtStart(bool open) {
    return Db::perform(Db::lists(), [&](Db::Work& work) {
        work.exec(QStringLiteral("update a5 set run=:a where ids=:b "),
                  {{QStringLiteral(":a"), open ? Opens : StaysClosed},
                   {QStringLiteral(":b"), QString::number(SettingsRow)}});
        work.wrote(QStringLiteral("a5"), SettingsRow);
        work.commit();
    });
}

} // namespace Settings
