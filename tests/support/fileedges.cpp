#include "fileedges.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QUuid>

#include <QElapsedTimer>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mount.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString binary(const QString& name) {
    return qEnvironmentVariable("LEDGER_BIN_DIR") + QLatin1Char('/') + name;
}

FileEdges::Run runProcess(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start(program, args);
    FileEdges::Run run;
    if (!p.waitForStarted(30000)) {
        run.err = p.errorString();
        return run;
    }
    p.closeWriteChannel();
    p.waitForFinished(300000);
    run.killed = p.exitStatus() == QProcess::CrashExit;
    run.code = run.killed ? -1 : p.exitCode();
    run.out = QString::fromUtf8(p.readAllStandardOutput());
    run.err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

FileEdges::Run injectAt(const QString& name, const QStringList& args, const QString& syscall,
                        const QString& fault, const QString& when, const QProcessEnvironment& env) {
    using FileEdges::Run;
    // strace reports the signal it sent as the traced program's own death: its exit status is
    // then 128 + the signal, which tells a kill apart from an ordinary failure.
    QStringList straceArgs{
        QStringLiteral("-f"), QStringLiteral("-qq"),
        QStringLiteral("-o"), QStringLiteral("/dev/null"),
        QStringLiteral("-e"), QStringLiteral("trace=") + syscall,
        QStringLiteral("-e"), QStringLiteral("inject=%1:%2:when=%3").arg(syscall, fault, when),
        binary(name)};
    Run run = runProcess(QStringLiteral("strace"), straceArgs + args, env);
    if (!run.killed && run.code == 128 + 9)
        run.killed = true;
    return run;
}

} // namespace

FileEdges::Run FileEdges::tool(const QString& name, const QStringList& args, const QProcessEnvironment& env) {
    return runProcess(binary(name), args, env);
}

bool FileEdges::canInject() {
    return !QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty();
}

FileEdges::Run FileEdges::injected(const QString& name, const QStringList& args, const QString& syscall,
                                   const QString& fault, int nth, const QProcessEnvironment& env) {
    return injectAt(name, args, syscall, fault, QString::number(nth), env);
}

FileEdges::Run FileEdges::injectedFrom(const QString& name, const QStringList& args, const QString& syscall,
                                       const QString& fault, int nth, const QProcessEnvironment& env) {
    return injectAt(name, args, syscall, fault, QString::number(nth) + QLatin1Char('+'), env);
}

int FileEdges::callsOf(const QString& name, const QStringList& args, const QString& syscall,
                       const QProcessEnvironment& env) {
    QTemporaryDir dir;
    const QString summary = dir.filePath(QStringLiteral("calls"));
    runProcess(QStringLiteral("strace"),
               QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"), summary,
                           QStringLiteral("-e"), QStringLiteral("trace=") + syscall, binary(name)} +
                   args,
               env);
    QFile file(summary);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    int calls = 0;
    // One line a call; an interrupted call is split into "<unfinished ...>" and "<... resumed>".
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.contains(syscall.toLatin1() + '(') && !line.contains("resumed>"))
            ++calls;
    return calls;
}

QStringList FileEdges::traceOf(const QString& name, const QStringList& args, const QString& syscalls,
                               const QProcessEnvironment& env) {
    QTemporaryDir dir;
    const QString log = dir.filePath(QStringLiteral("calls"));
    runProcess(QStringLiteral("strace"),
               QStringList{QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-y"),
                           QStringLiteral("-o"), log, QStringLiteral("-e"),
                           QStringLiteral("trace=") + syscalls, binary(name)} +
                   args,
               env);
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList calls;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
        if (!line.isEmpty() && !line.contains(QLatin1String("resumed>")))
            calls << line;
    return calls;
}

QList<int> FileEdges::callsOn(const QString& name, const QStringList& args, const QString& syscall,
                              const QString& fileEnding, const QProcessEnvironment& env) {
    // traceOf() runs with -y: every descriptor is followed by its path,
    // "pwrite64(3</shop/service_a.dll>, ...".
    const QString call = syscall + QLatin1Char('(');
    const QString on = fileEnding + QLatin1Char('>');
    QList<int> calls;
    int n = 0;
    for (const QString& line : traceOf(name, args, syscall, env)) {
        const qsizetype at = line.indexOf(call);
        if (at < 0)
            continue;
        ++n;
        const qsizetype end = line.indexOf(QLatin1Char('>'), at);
        if (end >= 0 && line.mid(at, end + 1 - at).endsWith(on))
            calls << n;
    }
    return calls;
}

FileEdges::SmallDisk::SmallDisk(qint64 bytes) : m_bytes(bytes) {
    if (::geteuid() != 0) {
        m_why = QStringLiteral("mounting a small file system needs root");
        return;
    }
    m_base =
        QDir::temp().filePath(QStringLiteral("ledger-disk-") + QUuid::createUuid().toString(QUuid::Id128));
    if (!QDir().mkpath(m_base)) {
        m_why = QStringLiteral("cannot make %1").arg(m_base);
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes) + ",mode=0755";
    if (::mount("tmpfs", QFile::encodeName(m_base).constData(), "tmpfs", 0, options.constData()) != 0) {
        m_why = QStringLiteral("mounting a tmpfs is not allowed here: %1")
                    .arg(QString::fromLocal8Bit(strerror(errno)));
        QDir().rmdir(m_base);
        return;
    }
    m_path = m_base;
}

FileEdges::SmallDisk::~SmallDisk() {
    if (m_path.isEmpty())
        return;
    ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    QDir().rmdir(m_base);
}

qint64 FileEdges::SmallDisk::freeBytes() const {
    QStorageInfo info(m_path);
    info.refresh();
    return info.bytesAvailable();
}

void FileEdges::SmallDisk::fillUpTo(qint64 freeLeft) {
    QFile filler(QDir(m_path).filePath(QStringLiteral(".filler")));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QByteArray block(4096, 'x');
    while (freeBytes() > freeLeft + block.size())
        if (filler.write(block) != block.size() || !filler.flush())
            break;
    const qint64 rest = freeBytes() - freeLeft;
    if (rest > 0)
        filler.write(block.left(int(rest)));
    filler.close();
}

void FileEdges::SmallDisk::free() {
    QFile::remove(QDir(m_path).filePath(QStringLiteral(".filler")));
}

void FileEdges::SmallDisk::setReadOnly(bool readOnly) {
    const unsigned long flags = MS_REMOUNT | (readOnly ? MS_RDONLY : 0);
    const QByteArray options = "size=" + QByteArray::number(m_bytes) + ",mode=0755";
    ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", flags, options.constData());
}

FileEdges::FakePrinter::FakePrinter() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
        return;
    m_path = QString::fromLocal8Bit(::ptsname(m_master));
    m_slave = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    if (m_slave >= 0 && ::tcgetattr(m_slave, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slave, TCSANOW, &raw);
    }
}

FileEdges::FakePrinter::~FakePrinter() {
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
}

QByteArray FileEdges::FakePrinter::received(qsizetype atLeast) {
    QByteArray bytes;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        pollfd p{m_master, POLLIN, 0};
        const int wait = bytes.size() >= atLeast ? 0 : int(std::max<qint64>(0, 5000 - waited.elapsed()));
        if (::poll(&p, 1, wait) <= 0 || !(p.revents & POLLIN))
            return bytes;
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return bytes;
        bytes.append(buffer, n);
    }
}
