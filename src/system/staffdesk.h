#pragma once

#include <QObject>
#include <QTimer>

class QAbstractButton;
class QWidget;

// This till's own staff settings, in the working folder's settings file: its name in the log
// (empty: the host name) and the minutes without input after which it locks (0: never).
namespace TillSettings {
inline constexpr int DefaultIdleMinutes = 10;
QString tillName(const QString& folder);
int idleMinutes(const QString& folder);
// Throws DatabaseError when the settings file cannot be written.
void save(const QString& folder, const QString& tillName, int idleMinutes);
} // namespace TillSettings

// Who works at this till, as the windows see it: the login before the main window is used, the
// change of hands, the lock after minutes without a key or the mouse, and the buttons greyed for
// what the operator may not do. A shop without operators never sees any of it.
class StaffDesk : public QObject {
    Q_OBJECT
public:
    // Starts the staff rules of the shop open in the folder and reads the till's settings.
    StaffDesk(const QString& folder, QObject* parent);
    ~StaffDesk() override;

    // At the program's start: asks who works when the shop has operators. False when the login was
    // cancelled: the program ends.
    bool signInAtStart();
    // 换人: asks who works now; nothing open is closed. Cancelled, the operator before works on.
    void changeHands();
    // Locks the till (nobody works here) and asks who works; nothing open is closed.
    void lockNow();
    // The staff rules came into force (the shop's first operator) or the operator's role changed:
    // the status bar and the buttons follow.
    void staffChanged();

    // The time without input before the till locks, in minutes (0: never); and in milliseconds,
    // which tests set short.
    void setIdleMinutes(int minutes);
    void setIdleInterval(int ms);
    int idleInterval() const { return m_idle.interval(); }
    bool idleClockRunning() const { return m_idle.isActive(); }

    // Greys the buttons of the main window whose operation the operator may not do. A greyed
    // button still answers a click: with the refusal, and the owner's word offered for it.
    static void greyButtons(QWidget* window);
    static bool isGreyed(const QWidget* button);
    // The click on a greyed button: the refusal (logged) and the owner's word offered; given, the
    // button does what it does, under the word.
    void askOwnersWord(QAbstractButton* button);

signals:
    // Another operator works here, or nobody (locked).
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the login; true when an operator was admitted.
    bool ask(int mode, qint64 preselect);
    // Operators or roles were written: the operator here follows (see Staff::refresh).
    void followStaffRecords();
    void restartIdleClock();
    void idle();

    QTimer m_idle;
    bool m_asking = false;
    bool m_idleEnabled = true;
};

extern StaffDesk* staff_desk;
