#pragma once

#include "data/database.h"
#include "ledger/products.h"

#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// A product row as the product dialog writes it (table ab). Fields left null are not written;
// the stock value is stock × sale price unless given.
struct ProductRow {
    QString name;                           // b3
    QString stock = QStringLiteral("0");    // b4
    QString price = QStringLiteral("0");    // b8, the sale price
    QVariant value = QVariant();            // b9
    QString major = QStringLiteral("食品"); // b1
    QString minor = QStringLiteral("零食"); // b2
    QString unit = QStringLiteral("个");    // b5
    QVariant cost = QVariant();             // b6
    QVariant wholesale = QVariant();        // b7
    QVariant since = QVariant();            // b10
    QVariant note = QVariant();             // b11
    QVariant maker = QVariant();            // b12
    QVariant barcode = QVariant();          // b13
    QVariant warnAt = QVariant();           // b14
};

// Fresh database files in a temporary folder, both open as the program opens them, and the clock
// fixed at 2026-12-09 10:30:00: what the tests of the operations need, without any window.
//
// With LEDGER_TEST_SERVER set (the file holding the URL of a test server's administrator, see
// tests/pgcluster.sh), the ledger is instead a fresh database on that server, made by the
// program's own schema and opened as a till opens it; the folder holds its connection file.
class CoreFixture {
public:
    CoreFixture();
    ~CoreFixture();
    CoreFixture(const CoreFixture&) = delete;

    QString folder() const { return m_dir.path(); }
    // The fixture's ledger is on a server.
    static bool onServer();
    // The URL of the fixture's database (on a server), empty otherwise.
    QString serverUrl() const { return m_url; }
    // A fresh, empty database on the test server; returns its URL. Dropped with the fixture.
    QString emptyServerDatabase();
    // Closes both files (and opens them again with reopen()), as a restart of the program does.
    void close();
    void reopen();

    static QSqlQuery exec(const QString& sql, const Db::Params& params = {});
    static QVariant scalar(const QString& sql, const Db::Params& params = {});
    // Rows of a statement as display texts joined with "|", one string per row.
    static QStringList rows(const QString& sql, const Db::Params& params = {});
    // From now on every insert into the table fails (as on a full disk), until allowInserts.
    static void refuseInserts(const QString& table);
    static void allowInserts(const QString& table);
    // Runs "insert into TABLE …" of one row; returns the key it got.
    static qint64 insert(const QString& sql, const Db::Params& params = {});
    // The statement wrote a table without the program (as another program would): on a server
    // the open program's lists are told to read that table again when next needed.
    static void wroteBehindTheProgram(const QString& sql);

    // A product with its stock valued at the sale price, as a stock-in leaves it; returns its key.
    static qint64 product(const QString& name, const QString& stock, const QString& price);
    // The product row as given; returns its key.
    static qint64 product(const ProductRow& row);
    // The fields of a snack (minor category 零食, unit 个) with its cost and a sale price that is
    // also its wholesale price.
    static Products::Fields snack(const QString& name, const QString& major, const QString& cost,
                                  const QString& sale);
    // Such a snack made as the product dialog makes it, with 100 in stock; returns its key.
    static qint64 stockedSnack(const QString& name, const QString& major, const QString& cost,
                               const QString& sale);

private:
    QTemporaryDir m_dir;
    bool m_open = false;
    QString m_url;
    QStringList m_databases; // made on the test server, dropped at the end
};
