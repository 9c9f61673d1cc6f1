#pragma once

#include <QString>

class QApplication;

namespace Startup {
// The application's name, the look (style, font, Chinese standard buttons).
void prepareApplication(QApplication& app);
// Creates the global instances in their fixed order: the main window, the data module (opening
// the database files of the folder, the working directory by default), then the dialogs.
// Throws DatabaseError when the files cannot be opened; nothing is left behind then.
void createInstances(const QString& folder = QString());
void destroyInstances();
// The box that ends a failed start: "Application Error" with the error's text.
void reportStartupFailure(const char* kind, const QString& text);
// The working folder of a start: the one given; without one, the current folder when it holds
// either database file, otherwise ~/vandrel-ledger, which gets the files and report definitions
// of a new shop when it has neither file (existing files are never touched). Throws
// DatabaseError when they cannot be made.
QString workingFolder(const QString& given);
// The backup of the program's end. Every window goes at once and a small one of its own says
// "正在备份…" with the progress and 停止备份; it answers throughout. Stopped, the backup leaves
// nothing and the shop keeper is told it was skipped; after a quit signal (a log-out, `kill`) it
// gets a few seconds at most and no box waits for an answer (a backup cut off is cleared by the
// next one). Returns once the backup is done, failed or stopped. Nothing for a ledger on a server.
void backUpAtExit();
// The whole program after the instance guard: the working folder, instances, main window, event
// loop.
int run(QApplication& app, const QString& folder = QString());
} // namespace Startup
