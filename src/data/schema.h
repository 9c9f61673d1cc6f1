#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;

// The tables of the two database files and the tool that creates them.
namespace Schema {

struct Table {
    QString name;
    QString key;
    QStringList numericColumns;  // numbers only (a text that is no number is refused)
    QStringList dateTimeColumns; // "yyyy-MM-dd HH:mm:ss"
    QStringList textColumns;
    QStringList columns() const; // key first, then the data columns in their natural order
    bool operator==(const Table& other) const { return name == other.name; }
};

const QList<Table>& businessTables(); // service_a.dll
const QList<Table>& listTables();     // service_b.dll
const Table* findTable(const QString& name);

// Creates service_a.dll and service_b.dll in the folder with every table, the default pick
// lists and the settings row, readable by their owner only. Refuses to overwrite a file.
void createDatabaseFiles(const QString& folder);

// The indexes of the business file.
QStringList indexStatements();

// Adds to a business file made by an earlier version the columns it lacks (the products'
// barcode and warning level) and the barcode's index, in one transaction; nothing else changes.
// Returns the columns added ("ab.b13").
QStringList upgradeBusinessFile(const QSqlDatabase& db);

// The CREATE TABLE statement of a table.
QString createStatement(const Table& table);

} // namespace Schema
