#pragma once

#include "ledger/backup.h"

#include <QString>

// The backups of a shop whose ledger is on a server: the tills share it, so one till (chosen by
// the owner, kept with the ledger) makes the daily backup into its own backup folder, any till may
// make one on request, and every till shows when the last one was made and by which till.
namespace ServerBackups {

// The till that makes the daily backup; empty while none is chosen.
QString till();
// Makes this till the one that makes the daily backup, or (false) lets it go when it is. Asks the
// right to back up; logged.
void chooseThisTill(bool here);
// Notes a backup made at this till, for every till to show.
void noted(const Backups::Backup& backup);
// The last backup noted: when, at which till, what it holds; empty when none was.
struct Note {
    QString time; // yyyy-MM-dd HH:mm:ss
    QString till;
    QString summary;
};
std::optional<Note> last();

} // namespace ServerBackups
