#include "ledger/reportfiles.h"

#include "core/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QString ResourceFolder = QStringLiteral(":/reports");

} // namespace

namespace ReportFiles {

QStringList names() {
    return QDir(ResourceFolder).entryList(QDir::Files, QDir::Name);
}

QStringList install(const QString& folder) {
    const QDir target(QDir(folder).absoluteFilePath(QStringLiteral("print")));
    if (!target.exists() && !QDir().mkpath(target.path()))
        throw LedgerError(QStringLiteral("无法创建报表文件夹: %1").arg(target.path()));
    QStringList written;
    for (const QString& name : names()) {
        const QString path = target.absoluteFilePath(name);
        if (QFileInfo::exists(path))
            continue;
        QFile source(ResourceFolder + QLatin1Char('/') + name);
        QFile file(path);
        if (!source.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            throw LedgerError(QStringLiteral("无法写入报表定义文件: %1").arg(path));
        const QByteArray text = source.readAll();
        const bool complete = file.write(text) == text.size() && file.flush();
        file.close();
        if (!complete)
            throw LedgerError(QStringLiteral("无法写入报表定义文件: %1").arg(path));
        written << path;
    }
    return written;
}

} // namespace ReportFiles
