#include "ledger/importing.h"

#include "core/errors.h"
#include "data/database.h"
#include "data/rawstatement.h"
#include "ledger/staff.h"

#include <QMultiHash>
#include <QSet>
#include <QSqlQuery>
#include <algorithm>

namespace Importing {

namespace {

enum class Type { Text, Digits, Amount, Salutation };

// A column the import understands: its title (and other names a sheet may give it), what it
// holds, its length limit (0: none) and whether it must be filled.
struct Field {
    QString title;
    QStringList aliases;
    Type type = Type::Text;
    int limit = 0;
    bool required = false;
    QString pickList; // the pick list its text must be an entry of
};

const QList<Field>& fieldsOf(Kind kind) {
    static const QList<Field> products = {
        {QStringLiteral("大类"), {}, Type::Text, 0, true, QStringLiteral("a1")},
        {QStringLiteral("细类"), {}, Type::Text, 0, false, QStringLiteral("a2")},
        {QStringLiteral("产品名称"), {}, Type::Text, 60, true, {}},
        {QStringLiteral("库存量"), {}, Type::Digits, 9, true, {}},
        {QStringLiteral("单位"), {}, Type::Text, 0, true, QStringLiteral("a3")},
        {QStringLiteral("生产厂家"), {}, Type::Text, 40, false, {}},
        {QStringLiteral("成本价"), {}, Type::Amount, 10, false, {}},
        {QStringLiteral("批发价"), {}, Type::Amount, 10, false, {}},
        {QStringLiteral("销售价"), {}, Type::Amount, 10, true, {}},
        {QStringLiteral("备注"),
         {QStringLiteral("备注/描述"), QStringLiteral("描述")},
         Type::Text,
         80,
         false,
         {}},
        {QStringLiteral("条码"), {}, Type::Text, 32, false, {}},
        {QStringLiteral("库存下限"), {}, Type::Amount, 10, false, {}},
        {QStringLiteral("称重码"), {}, Type::Digits, 10, false, {}},
    };
    static const QList<Field> members = {
        {QStringLiteral("会员名"), {}, Type::Text, 15, true, {}},
        {QStringLiteral("称呼"), {}, Type::Salutation, 0, false, {}},
        {QStringLiteral("手机"), {}, Type::Digits, 15, false, {}},
        {QStringLiteral("电话"), {}, Type::Digits, 15, false, {}},
        {QStringLiteral("电子邮件"), {}, Type::Text, 60, false, {}},
        {QStringLiteral("通讯地址"), {}, Type::Text, 80, false, {}},
        {QStringLiteral("邮编"), {}, Type::Digits, 10, false, {}},
        {QStringLiteral("备注"), {}, Type::Text, 60, false, {}},
        {QStringLiteral("卡中余额"), {QStringLiteral("初始金额")}, Type::Amount, 10, false, {}},
    };
    return kind == Kind::Products ? products : members;
}

// Columns of the grids that the database fills itself: accepted and left out.
const QStringList& ignoredColumns(Kind kind) {
    static const QStringList products = {QStringLiteral("编号"), QStringLiteral("合计")};
    static const QStringList members = {QStringLiteral("会员卡号"), QStringLiteral("办卡时间")};
    return kind == Kind::Products ? products : members;
}

// The entries of a pick list, in UTF-8 as the cells are compared with them.
QSet<QByteArray> pickList(const QString& table) {
    QSet<QByteArray> entries;
    QSqlQuery q = Db::exec(Db::lists(), QStringLiteral("select z1 from %1").arg(table));
    while (q.next())
        entries.insert(q.value(0).toString().toUtf8());
    return entries;
}

// The checks read the cells' UTF-8 as the table keeps it (always well-formed) and count and
// compare as the texts would: the length in UTF-16 characters, the blanks of QString::trimmed().

// A byte array of the text without a copy, to look it up in a set.
QByteArray key(QByteArrayView text) {
    return QByteArray::fromRawData(text.data(), text.size());
}

qsizetype length(QByteArrayView text) {
    qsizetype n = 0;
    for (const char c : text)
        n += ((uchar(c) & 0xC0) != 0x80) + (uchar(c) >= 0xF0); // four bytes make two characters
    return n;
}

// The text without the blanks around it; `storage` holds it when it had any.
QByteArrayView trimmed(QByteArrayView text, QByteArray* storage) {
    const auto solid = [](char c) {
        return uchar(c) < 0x80 && c != ' ' && (c < '\t' || c > '\r');
    };
    if (text.isEmpty() || (solid(text.front()) && solid(text.back())))
        return text;
    *storage = QString::fromUtf8(text).trimmed().toUtf8();
    return *storage;
}

bool allDigits(QByteArrayView text) {
    for (const char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

QString Problem::text() const {
    if (!where.isEmpty())
        return where + QStringLiteral("：") + why;
    return QStringLiteral("第 %1 行，列“%2”：%3").arg(row).arg(column, why);
}

QStringList Plan::cells(const Row& row) const {
    QStringList texts;
    for (int column : sheetColumns)
        texts << table->cell(row.index, column);
    return texts;
}

namespace {

// The index of the field of this title among the kind's fields.
int fieldIndex(Kind kind, const char* title) {
    const QList<Field>& fields = fieldsOf(kind);
    for (int f = 0; f < fields.size(); ++f)
        if (fields[f].title == QString::fromUtf8(title))
            return f;
    return -1;
}

// The UTF-8 of the column of this field in the row; empty when the plan has no such column.
QByteArrayView utf8Of(const Plan& plan, const Row& row, int field) {
    const int column = field < 0 || field >= plan.fieldColumns.size() ? -1 : plan.fieldColumns[field];
    return column < 0 ? QByteArrayView() : plan.table->text(row.index, column);
}

// The text of the column; a null text where the cell or the column is missing.
QString textOf(const Plan& plan, const Row& row, int field) {
    const QByteArrayView text = utf8Of(plan, row, field);
    return text.isEmpty() ? QString() : QString::fromUtf8(text);
}

Currency amountOf(const Plan& plan, const Row& row, int field) {
    const QByteArrayView text = utf8Of(plan, row, field);
    return text.isEmpty() ? Currency() : Currency::parseUtf8(text);
}

bool hasControlCharacter(QByteArrayView text) {
    for (const char c : text)
        if (uchar(c) < 0x20 && c != '\t')
            return true;
    return false;
}

} // namespace

Products::New Plan::product(const Row& row) const {
    static const int major = fieldIndex(Kind::Products, "大类"), minor = fieldIndex(Kind::Products, "细类"),
                     name = fieldIndex(Kind::Products, "产品名称"),
                     stock = fieldIndex(Kind::Products, "库存量"), unit = fieldIndex(Kind::Products, "单位"),
                     maker = fieldIndex(Kind::Products, "生产厂家"),
                     cost = fieldIndex(Kind::Products, "成本价"),
                     wholesale = fieldIndex(Kind::Products, "批发价"),
                     sale = fieldIndex(Kind::Products, "销售价"), remark = fieldIndex(Kind::Products, "备注"),
                     code = fieldIndex(Kind::Products, "条码"),
                     level = fieldIndex(Kind::Products, "库存下限"),
                     scaleCode = fieldIndex(Kind::Products, "称重码");
    auto text = [&](int field) {
        return textOf(*this, row, field);
    };
    auto amount = [&](int field) {
        return amountOf(*this, row, field);
    };
    std::optional<Currency> warnLevel;
    if (!utf8Of(*this, row, level).isEmpty())
        warnLevel = amount(level);
    return {{text(major), text(minor), text(name), text(unit), amount(cost), amount(wholesale), amount(sale),
             text(remark), text(maker), text(code).trimmed(), warnLevel, text(scaleCode).trimmed()},
            Currency::parseUtf8(utf8Of(*this, row, stock))};
}

Members::New Plan::member(const Row& row) const {
    auto text = [&](const char* title) {
        return textOf(*this, row, fieldIndex(Kind::Members, title));
    };
    QString salutation = text("称呼");
    if (salutation.isEmpty())
        salutation = QStringLiteral("先生"); // what the new-member dialog offers first
    return {{text("会员名"), text("手机"), text("电话"), text("通讯地址"), text("邮编"), salutation,
             text("电子邮件"), text("备注")},
            amountOf(*this, row, fieldIndex(Kind::Members, "卡中余额"))};
}

Plan check(Kind kind, Spreadsheet::Table read) {
    Plan plan;
    plan.kind = kind;
    const auto table = std::make_shared<const Spreadsheet::Table>(std::move(read));
    plan.table = table;
    const int most = table->limits().problems;
    const QList<Field>& fields = fieldsOf(kind);
    auto problem = [&plan, most](Row* row, int number, const QString& column, const QString& why) {
        if (row)
            row->bad = true;
        if (plan.problems.size() >= most) {
            ++plan.moreProblems;
            return;
        }
        plan.problems.append({number, Spreadsheet::shortened(column), why});
        if (row)
            row->problems.append(Spreadsheet::shortened(column) + QStringLiteral("：") + why);
    };

    // What the reader left out comes first.
    QMultiHash<int, QString> readProblems; // by row, as the row's list shows them
    for (const Spreadsheet::ReadProblem& p : table->problems) {
        plan.problems.append({p.row, QString(), p.why, p.where});
        readProblems.insert(p.row, p.where + QStringLiteral("：") + p.why);
    }
    plan.moreProblems = table->moreProblems;

    // The title row: which field each column fills.
    QHash<int, int> fieldAt; // per sheet column: the index into fields
    QList<int> used;         // the recognised fields, in the file's order
    const bool titled = table->rowCount() > 0 && table->number(0) == 1;
    if (titled)
        for (int column : table->columns(0)) {
            const QString title = table->cell(0, column).trimmed();
            int found = -1;
            for (int f = 0; f < fields.size(); ++f)
                if (fields[f].title == title || fields[f].aliases.contains(title))
                    found = f;
            if (found >= 0 && used.contains(found))
                found = -1; // a second column of the same title is left out
            if (found >= 0) {
                fieldAt.insert(column, found);
                used << found;
                plan.columns << fields[found].title;
                plan.sheetColumns << column;
            } else if (!title.isEmpty() && !ignoredColumns(kind).contains(title)) {
                problem(nullptr, 1, title, Why::UnknownColumn);
            }
        }
    bool missing = false;
    for (int f = 0; f < fields.size(); ++f)
        if (fields[f].required && !used.contains(f)) {
            problem(nullptr, 1, fields[f].title, Why::MissingColumn);
            missing = true;
        }
    plan.fieldColumns = QList<int>(fields.size(), -1);
    for (int c = 0; c < used.size(); ++c)
        plan.fieldColumns[used[c]] = plan.sheetColumns[c];

    QHash<QString, QSet<QByteArray>> lists;
    for (const Field& f : fields)
        if (!f.pickList.isEmpty())
            lists.insert(f.pickList, pickList(f.pickList));
    // The names and codes of the ledger, then those of the file's rows (the latter pointing into
    // the table, which outlives the check). The ledger's texts are kept in one block the sets
    // point into: a million products cost little more than their bytes.
    QByteArray ledgerTexts;
    std::vector<std::pair<qsizetype, qsizetype>> ledgerNames, ledgerCodes; // offset and size
    if (kind == Kind::Products) {
        auto keep = [&ledgerTexts](std::vector<std::pair<qsizetype, qsizetype>>& into, QByteArrayView text) {
            into.emplace_back(ledgerTexts.size(), text.size());
            ledgerTexts.append(text);
        };
        const QString sql = QStringLiteral("select b3, b13 from ab");
        if (sqlite3* file = Db::sqliteHandle(Db::business())) {
            RawStatement q(file, sql);
            while (q.next()) {
                keep(ledgerNames, q.view(0));
                if (!q.isNull(1))
                    keep(ledgerCodes, q.view(1));
            }
        } else {
            QSqlQuery q = Db::exec(Db::business(), sql);
            while (q.next()) {
                keep(ledgerNames, q.value(0).toString().toUtf8());
                if (!q.value(1).isNull())
                    keep(ledgerCodes, q.value(1).toString().toUtf8());
            }
        }
    }
    QSet<QByteArray> names;
    QSet<QByteArray> codes;
    if (kind == Kind::Products) {
        names.reserve(qsizetype(ledgerNames.size()) + table->rowCount());
        codes.reserve(qsizetype(ledgerCodes.size()) + table->rowCount());
    }
    for (const auto& [at, size] : ledgerNames)
        names.insert(QByteArray::fromRawData(ledgerTexts.constData() + at, size));
    for (const auto& [at, size] : ledgerCodes)
        codes.insert(QByteArray::fromRawData(ledgerTexts.constData() + at, size));
    // A member is known by name and phone: one already in the ledger, or earlier in the file, is
    // not made again (with its opening balance again).
    QSet<QByteArray> people;
    auto person = [](QByteArrayView name, QByteArrayView phone) {
        QByteArray k = name.toByteArray();
        k.append('\n').append(phone);
        return k;
    };
    if (kind == Kind::Members) {
        QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select j1, j2, j3 from aj"));
        while (q.next())
            for (int phone : {1, 2})
                if (!q.value(phone).toString().isEmpty())
                    people.insert(person(q.value(0).toString().toUtf8(), q.value(phone).toString().toUtf8()));
    }
    const qsizetype nameAt =
        plan.columns.indexOf(kind == Kind::Products ? QStringLiteral("产品名称") : QStringLiteral("会员名"));
    const qsizetype codeAt = plan.columns.indexOf(QStringLiteral("条码"));
    const QList<qsizetype> phonesAt = {plan.columns.indexOf(QStringLiteral("手机")),
                                       plan.columns.indexOf(QStringLiteral("电话"))};
    // Per recognised column: its pick list, and the problem of a text not on it.
    std::vector<const QSet<QByteArray>*> pickLists;
    for (int c = 0; c < used.size(); ++c)
        pickLists.push_back(fields[used[c]].pickList.isEmpty() ? nullptr
                                                               : &*lists.constFind(fields[used[c]].pickList));
    static const QByteArray mister = QStringLiteral("先生").toUtf8(), madam = QStringLiteral("女士").toUtf8();

    // Every row's name and code are kept for the rows after it.
    std::vector<QByteArrayView> values(used.size());
    QByteArray trimmedCode, trimmedPhone;
    for (int r = titled ? 1 : 0; r < table->rowCount(); ++r) {
        if (table->blank(r))
            continue; // the empty rows a spreadsheet leaves below its data
        Row row;
        row.number = table->number(r);
        row.index = r;
        row.bad = table->problemRows.contains(row.number);
        if (row.bad) {
            row.problems = readProblems.values(row.number);
            std::reverse(row.problems.begin(), row.problems.end()); // in the order found
        }
        for (int c = 0; c < used.size(); ++c)
            values[size_t(c)] = table->text(r, plan.sheetColumns[c]);

        for (int c = 0; c < used.size(); ++c) {
            const Field& field = fields[used[c]];
            const QByteArrayView text = values[size_t(c)];
            if (text.isEmpty()) {
                if (field.required)
                    problem(&row, row.number, field.title, Why::Required);
                continue;
            }
            if (hasControlCharacter(text)) {
                problem(&row, row.number, field.title, Why::ControlCharacter);
                continue;
            }
            if (field.limit > 0 && length(text) > field.limit) {
                problem(&row, row.number, field.title, Why::TooLong.arg(field.limit));
                continue;
            }
            switch (field.type) {
            case Type::Digits:
                if (!allDigits(text))
                    problem(&row, row.number, field.title, Why::NotANumber);
                break;
            case Type::Amount:
                try {
                    Currency::parseUtf8(text);
                } catch (const LedgerError&) {
                    problem(&row, row.number, field.title, Why::NotANumber);
                }
                break;
            case Type::Salutation:
                if (text != mister && text != madam)
                    problem(&row, row.number, field.title, Why::UnknownSalutation);
                break;
            case Type::Text:
                if (pickLists[size_t(c)] && !pickLists[size_t(c)]->contains(key(text)))
                    problem(&row, row.number, field.title,
                            field.pickList == QLatin1String("a3")   ? Why::UnknownUnit
                            : field.pickList == QLatin1String("a1") ? Why::UnknownMajor
                                                                    : Why::UnknownMinor);
                break;
            }
        }
        if (kind == Kind::Products) {
            const QByteArrayView name = nameAt < 0 ? QByteArrayView() : values[size_t(nameAt)];
            if (!name.isEmpty() && length(name) <= 60) {
                if (names.contains(key(name)))
                    problem(&row, row.number, QStringLiteral("产品名称"), Why::DuplicateName);
                names.insert(key(name));
            }
            const QByteArrayView code =
                codeAt < 0 ? QByteArrayView() : trimmed(values[size_t(codeAt)], &trimmedCode);
            if (!code.isEmpty()) {
                if (codes.contains(key(code)))
                    problem(&row, row.number, QStringLiteral("条码"), Why::DuplicateCode);
                // A code that had blanks is kept in storage of its own.
                codes.insert(code.data() == trimmedCode.constData() ? code.toByteArray() : key(code));
            }
        }
        if (kind == Kind::Members && nameAt >= 0 && !values[size_t(nameAt)].isEmpty()) {
            QList<QByteArray> keys;
            for (qsizetype at : phonesAt)
                if (at >= 0) {
                    const QByteArrayView phone = trimmed(values[size_t(at)], &trimmedPhone);
                    if (!phone.isEmpty())
                        keys << person(values[size_t(nameAt)], phone);
                }
            if (std::any_of(keys.begin(), keys.end(),
                            [&people](const QByteArray& k) { return people.contains(k); }))
                problem(&row, row.number, QStringLiteral("会员名"), Why::MemberExists);
            for (const QByteArray& k : keys)
                people.insert(k);
        }
        if (!row.bad && !missing)
            plan.good.append(int(plan.rows.size()));
        plan.rows.append(row);
    }
    if (plan.rows.isEmpty())
        problem(nullptr, table->rowCount() == 0 ? 1 : 2, QString(), Why::NoRows);
    return plan;
}

Plan checkFile(Kind kind, const QString& path, const Spreadsheet::Limits& limits) {
    Staff::require(Staff::Right::ExportImport, QStringLiteral("导入 %1").arg(path));
    return check(kind, Spreadsheet::read(path, limits));
}

int write(const Plan& plan, bool goodRowsOnly) {
    if (plan.hasProblems() && !goodRowsOnly)
        throw Refused(QStringLiteral("文件中有 %1 处问题，没有导入任何数据").arg(plan.problemCount()));
    if (plan.good.isEmpty())
        return 0;
    Staff::require(Staff::Right::ExportImport, QStringLiteral("导入"));
    if (plan.kind == Kind::Products)
        return Products::createMany(plan.good.size(),
                                    [&](qsizetype i) { return plan.product(plan.rows[plan.good[i]]); });
    return Members::createMany(plan.good.size(),
                               [&](qsizetype i) { return plan.member(plan.rows[plan.good[i]]); });
}

} // namespace Importing
