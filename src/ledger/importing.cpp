#include "ledger/importing.h"

#include "core/errors.h"
#include "data/database.h"

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

QSet<QString> pickList(const QString& table) {
    QSet<QString> entries;
    QSqlQuery q = Db::exec(Db::lists(), QStringLiteral("select z1 from %1").arg(table));
    while (q.next())
        entries.insert(q.value(0).toString());
    return entries;
}

bool allDigits(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
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

// The text of the column of this title in the row; empty when the plan has no such column.
QString textOf(const Plan& plan, const Row& row, const char* title) {
    const qsizetype at = plan.columns.indexOf(QString::fromUtf8(title));
    return at < 0 ? QString() : plan.table->cell(row.index, plan.sheetColumns[at]);
}

Currency amountOf(const Plan& plan, const Row& row, const char* title) {
    const QString text = textOf(plan, row, title);
    return text.isEmpty() ? Currency() : Currency::parse(text);
}

bool hasControlCharacter(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20 && c != u'\t')
            return true;
    return false;
}

} // namespace

Products::New Plan::product(const Row& row) const {
    auto text = [&](const char* title) {
        return textOf(*this, row, title);
    };
    auto amount = [&](const char* title) {
        return amountOf(*this, row, title);
    };
    std::optional<Currency> level;
    if (!text("库存下限").isEmpty())
        level = amount("库存下限");
    return {{text("大类"), text("细类"), text("产品名称"), text("单位"), amount("成本价"), amount("批发价"),
             amount("销售价"), text("备注"), text("生产厂家"), text("条码").trimmed(), level},
            Currency::parse(text("库存量"))};
}

Members::New Plan::member(const Row& row) const {
    auto text = [&](const char* title) {
        return textOf(*this, row, title);
    };
    QString salutation = text("称呼");
    if (salutation.isEmpty())
        salutation = QStringLiteral("先生"); // what the new-member dialog offers first
    return {{text("会员名"), text("手机"), text("电话"), text("通讯地址"), text("邮编"), salutation,
             text("电子邮件"), text("备注")},
            amountOf(*this, row, "卡中余额")};
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

    QHash<QString, QSet<QString>> lists;
    for (const Field& f : fields)
        if (!f.pickList.isEmpty())
            lists.insert(f.pickList, pickList(f.pickList));
    QSet<QString> names;
    QSet<QString> codes;
    if (kind == Kind::Products) {
        QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select b3, b13 from ab"));
        while (q.next()) {
            names.insert(q.value(0).toString());
            if (!q.value(1).isNull())
                codes.insert(q.value(1).toString());
        }
    }
    // A member is known by name and phone: one already in the ledger, or earlier in the file, is
    // not made again (with its opening balance again).
    QSet<QString> people;
    auto person = [](const QString& name, const QString& phone) {
        return name + QLatin1Char('\n') + phone;
    };
    if (kind == Kind::Members) {
        QSqlQuery q = Db::exec(Db::business(), QStringLiteral("select j1, j2, j3 from aj"));
        while (q.next())
            for (int phone : {1, 2})
                if (!q.value(phone).toString().isEmpty())
                    people.insert(person(q.value(0).toString(), q.value(phone).toString()));
    }
    const qsizetype nameAt =
        plan.columns.indexOf(kind == Kind::Products ? QStringLiteral("产品名称") : QStringLiteral("会员名"));
    const qsizetype codeAt = plan.columns.indexOf(QStringLiteral("条码"));
    const QList<qsizetype> phonesAt = {plan.columns.indexOf(QStringLiteral("手机")),
                                       plan.columns.indexOf(QStringLiteral("电话"))};

    QStringList values;
    for (int r = titled ? 1 : 0; r < table->rowCount(); ++r) {
        if (table->blank(r))
            continue; // the empty rows a spreadsheet leaves below its data
        Row row;
        row.number = table->number(r);
        row.index = r;
        row.bad = table->problemRows.contains(row.number);
        row.problems = readProblems.values(row.number);
        std::reverse(row.problems.begin(), row.problems.end()); // in the order found
        values.clear();
        for (int c = 0; c < used.size(); ++c)
            values << table->cell(r, plan.sheetColumns[c]);

        for (int c = 0; c < used.size(); ++c) {
            const Field& field = fields[used[c]];
            const QString& text = values[c];
            if (text.isEmpty()) {
                if (field.required)
                    problem(&row, row.number, field.title, Why::Required);
                continue;
            }
            if (hasControlCharacter(text)) {
                problem(&row, row.number, field.title, Why::ControlCharacter);
                continue;
            }
            if (field.limit > 0 && text.size() > field.limit) {
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
                    Currency::parse(text);
                } catch (const LedgerError&) {
                    problem(&row, row.number, field.title, Why::NotANumber);
                }
                break;
            case Type::Salutation:
                if (text != QStringLiteral("先生") && text != QStringLiteral("女士"))
                    problem(&row, row.number, field.title, Why::UnknownSalutation);
                break;
            case Type::Text:
                if (!field.pickList.isEmpty() && !lists.value(field.pickList).contains(text))
                    problem(&row, row.number, field.title,
                            field.pickList == QLatin1String("a3")   ? Why::UnknownUnit
                            : field.pickList == QLatin1String("a1") ? Why::UnknownMajor
                                                                    : Why::UnknownMinor);
                break;
            }
        }
        if (kind == Kind::Products) {
            const QString name = nameAt < 0 ? QString() : values[nameAt];
            if (!name.isEmpty() && name.size() <= 60) {
                if (names.contains(name))
                    problem(&row, row.number, QStringLiteral("产品名称"), Why::DuplicateName);
                names.insert(name);
            }
            const QString code = codeAt < 0 ? QString() : values[codeAt].trimmed();
            if (!code.isEmpty()) {
                if (codes.contains(code))
                    problem(&row, row.number, QStringLiteral("条码"), Why::DuplicateCode);
                codes.insert(code);
            }
        }
        if (kind == Kind::Members && nameAt >= 0 && !values[nameAt].isEmpty()) {
            QStringList keys;
            for (qsizetype at : phonesAt)
                if (at >= 0 && !values[at].trimmed().isEmpty())
                    keys << person(values[nameAt], values[at].trimmed());
            if (std::any_of(keys.begin(), keys.end(),
                            [&people](const QString& k) { return people.contains(k); }))
                problem(&row, row.number, QStringLiteral("会员名"), Why::MemberExists);
            for (const QString& k : keys)
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
    return check(kind, Spreadsheet::read(path, limits));
}

int write(const Plan& plan, bool goodRowsOnly) {
    if (plan.hasProblems() && !goodRowsOnly)
        throw Refused(QStringLiteral("文件中有 %1 处问题，没有导入任何数据").arg(plan.problemCount()));
    if (plan.good.isEmpty())
        return 0;
    if (plan.kind == Kind::Products)
        return Products::createMany(plan.good.size(),
                                    [&](qsizetype i) { return plan.product(plan.rows[plan.good[i]]); });
    return Members::createMany(plan.good.size(),
                               [&](qsizetype i) { return plan.member(plan.rows[plan.good[i]]); });
}

} // namespace Importing
