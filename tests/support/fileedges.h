#pragma once

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Helpers for the tests of the files' edges: the program's tools run with a fault injected at
// one of their system calls, and small file systems that fill up.
namespace FileEdges {

// What a tool run gave: its exit code (-1 when it was killed), and what it printed.
struct Run {
    int code = -1;
    bool killed = false;
    QString out;
    QString err;
};

// Runs one of the program's tools (a name under the build's bin/ folder, e.g.
// "vandrel-ledger-import") with the arguments, and returns when it ended (at most five minutes).
Run tool(const QString& name, const QStringList& args, const QProcessEnvironment& env = {});

// Whether strace is there to inject faults (tests skip with that reason otherwise).
bool canInject();
// Runs the tool under strace with the fault injected at the nth call of the system call
// (from 1), e.g. injected("vandrel-ledger-import", {...}, "pwrite64", "signal=KILL", 300) or
// "error=ENOSPC". Calls of the tool's children are counted too.
Run injected(const QString& name, const QStringList& args, const QString& syscall, const QString& fault,
             int nth, const QProcessEnvironment& env = {});
// The same with the fault injected at the nth call and every later one (a disk that stays full).
Run injectedFrom(const QString& name, const QStringList& args, const QString& syscall, const QString& fault,
                 int nth, const QProcessEnvironment& env = {});
// How often the tool makes the system call when it runs without a fault (for sweeping every
// point of a write-back or a swap).
int callsOf(const QString& name, const QStringList& args, const QString& syscall,
            const QProcessEnvironment& env = {});
// The calls of the system calls (comma-separated, e.g. "fsync,rename") the tool makes when it
// runs without a fault, one line each in strace's words, with the path of every file descriptor
// ("fsync(5</tmp/x/service_a.dll>) = 0"): which call is the nth, and in what order they came.
QStringList traceOf(const QString& name, const QStringList& args, const QString& syscalls,
                    const QProcessEnvironment& env = {});

// The numbers (from 1, as injected() counts them) of the tool's calls of the system call whose file
// descriptor is a path ending with `fileEnding` (e.g. "/service_a.dll": the database file's own
// writes, not its log's), in a run without a fault.
QList<int> callsOn(const QString& name, const QStringList& args, const QString& syscall,
                   const QString& fileEnding, const QProcessEnvironment& env = {});

// A file system of the given size mounted at a fresh folder (a tmpfs, which needs root; or
// nothing, see available()), unmounted and removed with the object.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    // False when no file system could be mounted (not root, or mounting not allowed here); why()
    // says why, for QSKIP.
    bool available() const { return !m_path.isEmpty(); }
    QString why() const { return m_why; }
    QString path() const { return m_path; }
    // Bytes still free on it.
    qint64 freeBytes() const;
    // Fills it up to the given number of free bytes with a filler file (removed by free()).
    void fillUpTo(qint64 freeLeft);
    // Removes the filler, so the space is there again.
    void free();
    // Mounts it read-only (true) or writable again (false).
    void setReadOnly(bool readOnly);

private:
    QString m_base;
    QString m_path;
    QString m_why;
    qint64 m_bytes = 0;
};

// A stand-in for a receipt printer's device file: a pseudo-terminal in raw mode, a character device
// as a printer's is. What is written to path() is read back with received().
class FakePrinter {
public:
    FakePrinter();
    ~FakePrinter();
    FakePrinter(const FakePrinter&) = delete;
    FakePrinter& operator=(const FakePrinter&) = delete;
    QString path() const { return m_path; }
    // The bytes written since the last call: at least `atLeast` of them, awaited for up to five
    // seconds (the terminal passes them on a moment after the write).
    QByteArray received(qsizetype atLeast = 0);

private:
    int m_master = -1;
    int m_slave = -1; // kept open, so the terminal stays up between writers
    QString m_path;
};

} // namespace FileEdges
