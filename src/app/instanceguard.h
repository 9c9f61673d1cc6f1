#pragma once

#include <QLockFile>
#include <QObject>
#include <memory>

class QLocalServer;

// Only one copy of the program runs per user: the first holds a lock named "vandrel_ledger01"
// for its whole life (the system lets go of it when the process dies, also when killed) and
// listens for later copies, which ask it to come to the front and then end. Lock and socket sit
// in a folder only this user can write (the runtime folder, else one of the user's own beside the
// cache), so other users of the machine neither block nor call it.
class InstanceGuard : public QObject {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("vandrel_ledger01");

    InstanceGuard();
    ~InstanceGuard() override;
    // True for the first copy, which now holds the guard. Also true when the lock cannot be made at
    // all (the reason goes to the standard error): the program then runs without the guard.
    bool acquire();
    // A later copy: asks the running one to show its main window. True when it answered; false
    // also when it is ending and no longer answers.
    bool callRunningCopy();
    // Waits up to the given time for the running copy to end, then holds the guard as acquire()
    // does. False when it still runs.
    bool acquireWithin(int milliseconds);

    QString lockPath() const { return m_lockPath; }

    // The program is ending (its main loop is over, the backup at its end may run for a while):
    // later copies are answered that it is ending, so they say so and wait, and nothing is shown.
    void setEnding() { m_ending = true; }

signals:
    void showRequested();

private:
    void listen();
    QString m_lockPath;
    QString m_socketPath;
    QString m_noFolder; // why there is no folder for the lock
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
    bool m_ending = false;
};
