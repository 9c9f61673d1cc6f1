#pragma once

#include <QObject>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a log-out, `kill`, Ctrl+C in a terminal) end the program the
// orderly way: through the event loop, as the close box does, so the files are closed whole.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;
    // The signal that ended the program, or 0.
    static int received();

signals:
    void quitRequested(int signal);

private:
    QSocketNotifier* m_notifier = nullptr;
};
