#include "app/quitsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int pipeEnds[2] = {-1, -1};
volatile std::sig_atomic_t receivedSignal = 0;

// Runs inside the signal: only writes one byte for the event loop to read.
void onSignal(int signal) {
    receivedSignal = signal;
    const char byte = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(pipeEnds[0], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pipeEnds) != 0)
        return;
    m_notifier = new QSocketNotifier(pipeEnds[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        if (::read(pipeEnds[1], &byte, 1) != 1)
            return;
        emit quitRequested(int(byte));
        // Every event loop ends, an open dialog's as well; the program then closes as after the
        // close box.
        QCoreApplication::exit(0);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

QuitSignals::~QuitSignals() {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
    delete m_notifier;
    m_notifier = nullptr;
    for (int& end : pipeEnds)
        if (end >= 0) {
            ::close(end);
            end = -1;
        }
}

int QuitSignals::received() {
    return receivedSignal;
}
