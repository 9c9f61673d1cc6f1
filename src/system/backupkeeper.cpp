#include "system/backupkeeper.h"

#include "core/clock.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/serverbackups.h"
#include "ledger/staff.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <algorithm>

BackupKeeper* backup_keeper = nullptr;

BackupKeeper::BackupKeeper(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("backup_keeper"));
    m_clock = new QTimer(this);
    m_clock->setInterval(60 * 1000);
    connect(m_clock, &QTimer::timeout, this, &BackupKeeper::tick);
    refresh();
}

void BackupKeeper::startClock() {
    m_clock->start();
    // The first look soon after start, once the lists are read.
    QTimer::singleShot(15 * 1000, this, &BackupKeeper::tick);
}

BackupKeeper::~BackupKeeper() {
    abandon();
}

QString BackupKeeper::root() const {
    return Backups::root(Data_in->folder());
}

void BackupKeeper::setRoot(const QString& folder) {
    Backups::setRoot(Data_in->folder(), folder);
    refresh();
}

bool BackupKeeper::backsUpHere() const {
    try {
        return Data_in && Data_in->onServer() && ServerBackups::till() == Staff::tillName();
    } catch (const LedgerError&) {
        return false;
    }
}

bool BackupKeeper::overdue() const {
    // A ledger on a server is backed up daily by the till chosen for it.
    if (Data_in && Data_in->onServer() && !backsUpHere())
        return false;
    return !m_lastGood || m_lastGood->time.secsTo(Clock::now()) > 24 * 3600;
}

void BackupKeeper::refresh() {
    try {
        m_lastGood = Backups::lastGood(root());
    } catch (const LedgerError&) {
        m_lastGood.reset();
    }
    emit changed();
}

void BackupKeeper::tick() {
    if (running() || !overdue() || !Data_in)
        return;
    // The first idle moment: no dialog open, no write waiting to be folded in.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget() || !Data_in->idle())
        return;
    start(QStringLiteral("自动备份"));
}

bool BackupKeeper::start(const QString& reason) {
    if (running())
        return false;
    if (Data_in && Data_in->onServer())
        return startOnServer(reason);
    try {
        m_job = std::make_unique<Backups::Job>(Data_in->folder(), root(), reason);
        m_slicePages = 256;
        m_job->setSlicePages(m_slicePages);
        m_job->setRowCounter([](const QString& table) { return Data_in->rowCount(table); });
    } catch (const LedgerError& e) {
        emit failed(e.text());
        return false;
    }
    emit progress(0);
    QTimer::singleShot(0, this, &BackupKeeper::nextSlice);
    return true;
}

bool BackupKeeper::startOnServer(const QString& reason) {
    Q_UNUSED(reason) // the tool names its backups of a server itself
    m_server = new QProcess(this);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // A password typed at the start is the tool's too (never on its command line).
    if (const QString password = Data_in->serverPassword(); !password.isEmpty())
        environment.insert(QStringLiteral("PGPASSWORD"), password);
    m_server->setProcessEnvironment(environment);
    connect(m_server, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        serverDone(status == QProcess::NormalExit ? code : -1);
    });
    connect(m_server, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            serverDone(-2);
    });
    emit progress(0);
    m_server->start(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vandrel-ledger-backup")),
        {Data_in->folder(), QStringLiteral("--to"), root()});
    return true;
}

void BackupKeeper::serverDone(int exitCode) {
    if (!m_server)
        return;
    QProcess* process = m_server;
    m_server = nullptr;
    process->deleteLater();
    if (m_stopping) {
        m_stopping = false;
        emit stopped(QStringLiteral("备份已停止，这份备份没有保存。"));
        return;
    }
    if (exitCode != 0) {
        QString text = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
        text.remove(QStringLiteral("备份失败 / backup failed: "));
        emit failed(
            exitCode == -2
                ? QStringLiteral("无法启动备份程序 vandrel-ledger-backup：%1").arg(process->errorString())
                : QStringLiteral("备份失败：%1").arg(text));
        return;
    }
    refresh();
    if (m_lastGood) {
        try {
            ServerBackups::noted(*m_lastGood);
        } catch (const LedgerError&) {
            // The backup stands; only the other tills' note of it is missing.
        }
    }
    emit progress(100);
    if (m_lastGood)
        emit finished(*m_lastGood);
    else
        emit failed(QStringLiteral("备份程序没有留下验证过的备份"));
}

int BackupKeeper::percent() const {
    return m_job ? m_job->percent() : 0;
}

void BackupKeeper::nextSlice() {
    if (!m_job || m_verifier)
        return;
    bool copied = false;
    QElapsedTimer slice;
    slice.start();
    try {
        copied = m_job->step();
    } catch (const LedgerError& e) {
        // The text says what failed and whether the unfinished backup was removed.
        m_job.reset();
        emit failed(e.text());
        return;
    }
    emit progress(m_job->percent());
    // Slices of about 8 ms whatever the disk and the machine's load, so that a slice stalled by
    // other programs still leaves the window answering: a slow slice shrinks the next at once, a
    // quick one lets it grow (twice as large at most).
    const qint64 ns = std::max<qint64>(slice.nsecsElapsed(), 1);
    m_slicePages =
        int(std::clamp<qint64>(qint64(m_slicePages) * 8'000'000 / ns, 32, std::min(2 * m_slicePages, 4096)));
    m_job->setSlicePages(m_slicePages);
    if (!copied) {
        QTimer::singleShot(0, this, &BackupKeeper::nextSlice);
        return;
    }
    // The copy is complete: it is checked away from the windows, which stay responsive.
    Backups::Job* job = m_job.get();
    m_verifier = QThread::create([this, job] {
        try {
            m_result = job->finish();
        } catch (const Backups::Stopped& e) {
            m_stopped = true;
            m_error = e.text();
        } catch (const LedgerError& e) {
            m_error = e.text();
        }
    });
    connect(m_verifier, &QThread::finished, this, &BackupKeeper::verified);
    m_verifier->start();
}

void BackupKeeper::verified() {
    m_verifier->wait();
    delete m_verifier;
    m_verifier = nullptr;
    m_job.reset();
    std::optional<Backups::Backup> result = std::move(m_result);
    const QString error = m_error;
    const bool wasStopped = m_stopped;
    m_result.reset();
    m_error.clear();
    m_stopped = false;
    m_stopping = false;
    if (wasStopped) {
        emit stopped(error);
        return;
    }
    if (!result) {
        emit failed(error);
        return;
    }
    try {
        Backups::prune(root(), result->folder);
    } catch (const LedgerError&) {
        // Older backups stay; the new one is good.
    }
    refresh();
    emit progress(100);
    emit finished(*result);
}

void BackupKeeper::stop() {
    if (m_server && !m_stopping) {
        // The tool leaves nothing behind that the next backup does not clear away.
        m_stopping = true;
        m_server->kill();
        return;
    }
    if (!m_job || m_stopping)
        return;
    if (m_verifier) {
        // The verifying thread heeds it and removes the folder; verified() then reports.
        m_stopping = m_job->stop();
        return;
    }
    // Between two slices of the copy: the next slice removes the unfinished folder and says so.
    m_job->stop();
    QString text = QStringLiteral("备份已停止，这份备份已删除。");
    try {
        m_job->step();
    } catch (const LedgerError& e) {
        text = e.text();
    }
    m_job.reset();
    emit stopped(text);
}

void BackupKeeper::abandon() {
    if (m_server) {
        disconnect(m_server, nullptr, this, nullptr);
        m_server->kill();
        m_server->waitForFinished(5000);
        delete m_server;
        m_server = nullptr;
        m_stopping = false;
    }
    if (m_verifier) {
        disconnect(m_verifier, nullptr, this, nullptr);
        m_job->stop();
        m_verifier->wait();
        delete m_verifier;
        m_verifier = nullptr;
        m_result.reset();
        m_error.clear();
        m_stopped = false;
    }
    m_stopping = false;
    m_job.reset();
}
