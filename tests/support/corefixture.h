#pragma once

#include "data/database.h"

#include <QStringList>
#include <QTemporaryDir>

// Fresh database files in a temporary folder, both open as the program opens them, and the clock
// fixed at 2026-12-09 10:30:00: what the tests of the operations need, without any window.
class CoreFixture {
public:
    CoreFixture();
    ~CoreFixture();
    CoreFixture(const CoreFixture&) = delete;

    QString folder() const { return m_dir.path(); }
    // Closes both files (and opens them again with reopen()), as a restart of the program does.
    void close();
    void reopen();

    static QSqlQuery exec(const QString& sql, const Db::Params& params = {});
    static QVariant scalar(const QString& sql, const Db::Params& params = {});
    // Rows of a statement as display texts joined with "|", one string per row.
    static QStringList rows(const QString& sql, const Db::Params& params = {});

    // A product with its stock valued at the sale price, as a stock-in leaves it; returns its key.
    static qint64 product(const QString& name, const QString& stock, const QString& price);

private:
    QTemporaryDir m_dir;
    bool m_open = false;
};
