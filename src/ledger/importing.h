#pragma once

#include "data/spreadsheet.h"
#include "ledger/members.h"
#include "ledger/products.h"

#include <QList>
#include <QString>
#include <QStringList>

// Products and members read from a spreadsheet: every row checked before anything is written,
// then all rows (or, when the user says so, the good ones) written in one transaction. The first
// row names the columns by the titles the grids show; the rows are numbered as the spreadsheet
// numbers them, the title row being row 1.
namespace Importing {

enum class Kind { Products, Members };

struct Problem {
    int row = 0;    // the spreadsheet's row number
    QString column; // the column's title
    QString why;
};

struct Row {
    int number = 0;       // the spreadsheet's row number
    QStringList cells;    // the texts of the plan's columns
    QStringList problems; // "column: why", one a problem
};

// What an import would write.
struct Plan {
    Kind kind = Kind::Products;
    QStringList columns; // the recognised columns, in the file's order
    QList<Row> rows;
    QList<Problem> problems;       // every problem, in row order
    QList<Products::New> products; // the good rows, in file order
    QList<Members::New> members;

    bool hasProblems() const { return !problems.isEmpty(); }
    int goodRows() const { return int(kind == Kind::Products ? products.size() : members.size()); }
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
inline const QString MissingColumn = QStringLiteral("缺少必填列");
inline const QString UnknownColumn = QStringLiteral("无法识别的列，已忽略");
inline const QString NoRows = QStringLiteral("文件中没有数据行");
} // namespace Why

// Checks a table against the pick lists and the products already in the ledger (both files must
// be open). The columns of a grid that the database fills itself (编号, 合计, 会员卡号, 办卡时间)
// are accepted and left out.
Plan check(Kind kind, const Spreadsheet::Table& table);
// Reads the file (Refused when it cannot be read) and checks it.
Plan checkFile(Kind kind, const QString& path);

// Writes the plan's rows in one transaction. A plan with problems writes nothing (Refused)
// unless goodRowsOnly. Returns the number of rows written.
int write(const Plan& plan, bool goodRowsOnly);

} // namespace Importing
