#pragma once

// What the command-line tools share: opening a working folder's files as the program opens them,
// and a clear refusal when the program has them open.
#include "core/errors.h"
#include "data/database.h"

#include <QDir>
#include <QString>

namespace ToolFolder {

// Opens the folder's business file (and the lists file when asked). Throws Refused with a clear
// message when the program (or another tool) holds the files.
inline void open(const QString& folder, bool lists) {
    const QDir dir(folder);
    try {
        Db::openExclusive(Db::Business, dir.filePath(Db::BusinessFile));
        if (lists)
            Db::openExclusive(Db::Lists, dir.filePath(Db::ListsFile));
    } catch (const DatabaseError& e) {
        if (e.text().contains(QLatin1String("locked"), Qt::CaseInsensitive))
            throw Refused(QStringLiteral("账本文件正被程序使用，请先关闭 vandrel-ledger 再运行本工具"
                                         "（the ledger is open in the program: close it first）"));
        throw;
    }
}

} // namespace ToolFolder
