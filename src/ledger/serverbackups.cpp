#include "ledger/serverbackups.h"

#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/shopsettings.h"
#include "ledger/staff.h"

namespace {
const QString TillName = QStringLiteral("backup.till");
const QString LastName = QStringLiteral("backup.last");
const QChar Separator(0x1f);
} // namespace

namespace ServerBackups {

QString till() {
    return ShopSettings::value(TillName);
}

void chooseThisTill(bool here) {
    const QString was = till();
    const QString now = here ? Staff::tillName() : (was == Staff::tillName() ? QString() : was);
    if (now == was)
        return;
    Staff::require(Staff::Right::BackupRestore, QStringLiteral("负责自动备份的收银台"));
    Db::perform(Db::business(), [&](Db::Work& work) {
        ShopSettings::store(work, TillName, now);
        OpLog::write(work, {OpLog::Settings, QStringLiteral("负责自动备份的收银台"), was, now});
        work.commit();
    });
}

void noted(const Backups::Backup& backup) {
    const QString text = QStringList{backup.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                                     Staff::tillName(), backup.summary()}
                             .join(Separator);
    Db::perform(Db::business(), [&](Db::Work& work) {
        ShopSettings::store(work, LastName, text);
        work.commit();
    });
}

std::optional<Note> last() {
    const QStringList parts = ShopSettings::value(LastName).split(Separator);
    if (parts.size() != 3)
        return std::nullopt;
    return Note{parts.at(0), parts.at(1), parts.at(2)};
}

} // namespace ServerBackups
