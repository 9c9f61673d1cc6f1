#include "app/instanceguard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <cstdio>
#ifdef Q_OS_UNIX
#include <sys/stat.h>
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

namespace {

// A folder that only this user can write into: a real folder (not a link), owned by this user,
// that no one else may enter. Empty with the reason otherwise.
bool isPrivateFolder(const QString& path, QString* why) {
#ifdef Q_OS_UNIX
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
        *why = QStringLiteral("'%1' does not exist").arg(path);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        *why = QStringLiteral("'%1' is not a folder").arg(path);
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        *why = QStringLiteral("'%1' belongs to another user").arg(path);
        return false;
    }
    if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        *why = QStringLiteral("others may enter '%1'").arg(path);
        return false;
    }
    return true;
#else
    *why = QStringLiteral("'%1' cannot be checked").arg(path);
    return !path.isEmpty() && QFileInfo(path).isDir();
#endif
}

// The folder for the lock and the socket: the user's runtime folder; where there is none (or it
// is not the user's alone), a folder of the user's own beside the cache. Never the shared
// temporary folder, where another user could take the lock's name first. Empty, with the reasons,
// when there is no such folder.
QString privateFolder(QStringList* reasons) {
    QString why;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        reasons->append(QStringLiteral("XDG_RUNTIME_DIR is not set"));
    else if (isPrivateFolder(runtime, &why))
        return QDir(runtime).absolutePath();
    else
        reasons->append(why);
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (cache.isEmpty() || QDir::isRelativePath(cache))
        cache = QDir::home().filePath(QStringLiteral(".cache"));
    const QString own = QDir(cache).filePath(QStringLiteral("vandrel-ledger-run"));
#ifdef Q_OS_UNIX
    QDir().mkpath(cache);
    // Made by us with no rights for others, or already there: then checked like the runtime folder.
    ::mkdir(QFile::encodeName(own).constData(), 0700);
#endif
    if (isPrivateFolder(own, &why))
        return own;
    reasons->append(why);
    return {};
}

} // namespace

InstanceGuard::InstanceGuard() {
    QStringList reasons;
    const QString folder = privateFolder(&reasons);
    if (folder.isEmpty()) {
        m_noFolder = reasons.join(QStringLiteral("; "));
        return;
    }
    const QDir dir(folder);
    m_lockPath = dir.absoluteFilePath(Name + QStringLiteral(".lock"));
    m_socketPath = dir.absoluteFilePath(Name + QStringLiteral(".socket"));
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    m_lock->setStaleLockTime(0);
}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::acquire() {
    if (!m_lock) {
        std::fprintf(
            stderr,
            "vandrel-ledger: there is no folder of this user's alone for the lock that keeps a second "
            "copy from starting (%s). Starting without it.\n",
            qPrintable(m_noFolder));
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
                if (m_ending) {
                    socket->write("ending\n");
                    socket->flush();
                } else if (socket->readAll().contains("show")) {
                    emit showRequested();
                    // The answer tells the later copy that this one is there to show itself.
                    socket->write("shown\n");
                    socket->flush();
                }
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
    // A copy that is ending (its window closed, the backup at its end running) says so, or no
    // longer answers at all.
    QByteArray answer;
    for (int i = 0; i < 20 && !answer.contains("shown") && !answer.contains("ending"); ++i)
        if (socket.waitForReadyRead(100))
            answer += socket.readAll();
    return answer.contains("shown");
}

bool InstanceGuard::acquireWithin(int milliseconds) {
    if (!m_lock || !m_lock->tryLock(milliseconds))
        return false;
    listen();
    return true;
}
