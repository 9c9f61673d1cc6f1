#include "app/instanceguard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
QString lockPath() {
    return QDir(QDir::tempPath()).absoluteFilePath(InstanceGuard::Name + QStringLiteral(".lock"));
}
} // namespace

InstanceGuard::InstanceGuard() : m_lock(std::make_unique<QLockFile>(lockPath())) {
    m_lock->setStaleLockTime(0);
}

InstanceGuard::~InstanceGuard() = default;

QString InstanceGuard::socketName() const {
    // One socket per lock file, so copies that use another temporary folder do not meet.
    const QByteArray hash =
        QCryptographicHash::hash(lockPath().toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return Name + QLatin1Char('-') + QString::fromLatin1(hash);
}

bool InstanceGuard::acquire() {
    if (!m_lock->tryLock(0))
        return false;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (m_server->listen(socketName())) {
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
    return true;
}

bool InstanceGuard::callRunningCopy() {
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    socket.connectToServer(socketName());
    if (!socket.waitForConnected(1000))
        return false;
    socket.write("show\n");
    socket.waitForBytesWritten(1000);
    socket.waitForDisconnected(1000);
    return true;
}
