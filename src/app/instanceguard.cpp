#include "app/instanceguard.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// Why the lock file could not be made, for the standard error.
QString lockProblem(const QLockFile& lock, const QString& path) {
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (!folder.exists())
        return QStringLiteral("the folder '%1' does not exist").arg(folder.filePath());
    if (!folder.isDir())
        return QStringLiteral("'%1' is not a folder").arg(folder.filePath());
    if (lock.error() == QLockFile::PermissionError || !folder.isWritable())
        return QStringLiteral("no permission to write in '%1'").arg(folder.filePath());
    return QStringLiteral("unknown error");
}

} // namespace

InstanceGuard::InstanceGuard() {
    // The runtime folder belongs to the user and only the user can enter it. Where there is none,
    // the temporary folder, with the user's id in the names.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    QString base = Name;
    if (folder.isEmpty()) {
        folder = QDir::tempPath();
#ifdef Q_OS_UNIX
        base += QLatin1Char('-') + QString::number(::getuid());
#endif
    }
    if (folder.isEmpty())
        return; // no folder for a lock at all
    const QDir dir(folder);
    m_lockPath = dir.absoluteFilePath(base + QStringLiteral(".lock"));
    m_socketPath = dir.absoluteFilePath(base + QStringLiteral(".socket"));
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0);
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::acquire() {
    if (!m_lock) {
        std::fprintf(stderr, "vandrel-ledger: there is neither a runtime nor a temporary folder for the lock "
                             "that keeps a second copy from starting. Starting without it.\n");
        return true;
    }
    if (m_lock->tryLock(0)) {
        listen();
        return true;
    }
    if (m_lock->error() == QLockFile::LockFailedError)
        return false; // another copy holds it
    std::fprintf(stderr,
                 "vandrel-ledger: cannot make the lock file '%s' that keeps a second copy from starting: "
                 "%s. Starting without it.\n",
                 qPrintable(QDir::toNativeSeparators(m_lockPath)),
                 qPrintable(lockProblem(*m_lock, m_lockPath)));
    return true;
}

void InstanceGuard::listen() {
    m_server = new QLocalServer(this);
    // Only this user may call; a socket left behind by a killed copy is ours to replace, since we
    // hold the lock.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath))
        return; // later copies then end without bringing this one forward
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains("show"))
                    emit showRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}

bool InstanceGuard::callRunningCopy() {
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(1000))
        return false;
    socket.write("show\n");
    socket.waitForBytesWritten(1000);
    socket.waitForDisconnected(1000);
    return true;
}
