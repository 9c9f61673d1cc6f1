#pragma once

#include "data/spreadsheet.h"
#include "ledger/members.h"
#include "ledger/products.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

// Products and members read from a spreadsheet: every row checked before anything is written,
// then all rows (or, when the user says so, the good ones) written in one transaction. The first
// row names the columns by the titles the grids show; the rows are numbered as the spreadsheet
// numbers them, the title row being row 1.
namespace Importing {

enum class Kind { Products, Members };

struct Problem {
    int row = 0;    // the spreadsheet's row number (0 when the reader could not tell it)
    QString column; // the column's title
    QString why;
    QString where = {}; // where the reader found it, for a problem of reading the file
    // The problem as a line of the lists: "第 N 行，列“X”：why", or where the reader found it.
    QString text() const;
};

struct Row {
    int number = 0;       // the spreadsheet's row number
    int index = 0;        // the row in the table read
    bool bad = false;     // the row has a problem
    QStringList problems; // "column: why", one a problem (the rows of the problems listed only)
};

// What an import would write. The texts stay in the table read; the rows to write are made from
// it one at a time.
struct Plan {
    Kind kind = Kind::Products;
    QStringList columns; // the recognised columns, in the file's order
    QList<Row> rows;
    QList<Problem> problems; // the first problems (Limits::problems), in row order
    qint64 moreProblems = 0; // and how many more there are
    QList<int> good;         // the rows without problems (into rows), in file order

    bool hasProblems() const { return !problems.isEmpty() || moreProblems > 0; }
    qint64 problemCount() const { return problems.size() + moreProblems; }
    int goodRows() const { return int(good.size()); }
    // The texts of the row's cells in the plan's columns.
    QStringList cells(const Row& row) const;
    // A good row as it is written.
    Products::New product(const Row& row) const;
    Members::New member(const Row& row) const;

    std::shared_ptr<const Spreadsheet::Table> table;
    QList<int> sheetColumns; // per recognised column: its column in the sheet
    QList<int> fieldColumns; // per field the kind has: its column in the sheet, -1 for none
};

// The texts of the problems the checks report.
namespace Why {
inline const QString NotANumber = QStringLiteral("不是数字");
inline const QString TooLong = QStringLiteral("超过字段长度（最多 %1 个字符）");
inline const QString Required = QStringLiteral("必填项为空");
inline const QString UnknownUnit = QStringLiteral("未知单位");
inline const QString UnknownMajor = QStringLiteral("未知大类");
inline const QString UnknownMinor = QStringLiteral("未知细类");
inline const QString UnknownSalutation = QStringLiteral("称呼只能是“先生”或“女士”");
inline const QString DuplicateName = QStringLiteral("名称重复");
inline const QString DuplicateCode = QStringLiteral("条码重复");
inline const QString MemberExists = QStringLiteral("会员已存在");
inline const QString MissingColumn = QStringLiteral("缺少必填列");
inline const QString UnknownColumn = QStringLiteral("无法识别的列，已忽略");
inline const QString NoRows = QStringLiteral("文件中没有数据行");
inline const QString ControlCharacter = QStringLiteral("含有控制字符（如 NUL 或换行），请删除后再导入");
} // namespace Why

// Checks a table against the pick lists and the products already in the ledger (both files must
// be open). The columns of a grid that the database fills itself (编号, 合计, 会员卡号, 办卡时间)
// are accepted and left out.
Plan check(Kind kind, Spreadsheet::Table table);
// Reads the file (Refused when it cannot be read or is beyond the reader's limits) and checks it.
Plan checkFile(Kind kind, const QString& path, const Spreadsheet::Limits& limits = {});

// Writes the plan's rows in one transaction. A plan with problems writes nothing (Refused)
// unless goodRowsOnly. Returns the number of rows written.
int write(const Plan& plan, bool goodRowsOnly);

} // namespace Importing
