#include "reports/reportdefinition.h"

#include "core/errors.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

[[noreturn]] void fail(const QString& path, const QString& what) {
    throw LedgerError(QStringLiteral("报表定义文件 %1 有误: %2").arg(path, what));
}

QString requiredText(const QJsonObject& object, const QString& key, const QString& path,
                     const QString& where) {
    const QJsonValue value = object.value(key);
    if (!value.isString() || value.toString().trimmed().isEmpty())
        fail(path, QStringLiteral("%1缺少 \"%2\"").arg(where, key));
    return value.toString();
}

Qt::Alignment alignment(const QString& text, const QString& path, const QString& where) {
    if (text.isEmpty() || text == QLatin1String("left"))
        return Qt::AlignLeft;
    if (text == QLatin1String("center"))
        return Qt::AlignHCenter;
    if (text == QLatin1String("right"))
        return Qt::AlignRight;
    fail(path, QStringLiteral("%1的 \"align\" 只能是 left、center 或 right").arg(where));
}

int lineOf(const QByteArray& text, int offset) {
    return int(text.left(offset).count('\n')) + 1;
}

} // namespace

bool ReportDefinition::hasSums() const {
    for (const ReportColumn& c : columns)
        if (c.sum)
            return true;
    return false;
}

ReportDefinition ReportDefinition::load(const QString& path) {
    const QString full = QFileInfo(path).absoluteFilePath();
    QFile file(full);
    if (!file.exists())
        throw LedgerError(QStringLiteral("报表定义文件不存在: %1").arg(full));
    if (!file.open(QIODevice::ReadOnly))
        throw LedgerError(QStringLiteral("报表定义文件无法读取: %1 (%2)").arg(full, file.errorString()));
    return parse(file.readAll(), full);
}

ReportDefinition ReportDefinition::parse(const QByteArray& text, const QString& path) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        fail(path, QStringLiteral("第 %1 行: %2").arg(lineOf(text, error.offset)).arg(error.errorString()));
    if (!doc.isObject())
        fail(path, QStringLiteral("内容应是一个 JSON 对象 { … }"));
    const QJsonObject root = doc.object();

    ReportDefinition def;
    def.path = path;
    def.source = requiredText(root, QStringLiteral("source"), path, QString());
    def.title = root.value(QStringLiteral("title")).toString();

    const QString orientation = root.value(QStringLiteral("orientation")).toString();
    if (orientation == QLatin1String("landscape"))
        def.orientation = QPageLayout::Landscape;
    else if (!orientation.isEmpty() && orientation != QLatin1String("portrait"))
        fail(path, QStringLiteral("\"orientation\" 只能是 portrait 或 landscape"));

    if (root.contains(QStringLiteral("fontSize"))) {
        def.fontSize = root.value(QStringLiteral("fontSize")).toDouble();
        if (def.fontSize < 5 || def.fontSize > 24)
            fail(path, QStringLiteral("\"fontSize\" 应在 5 到 24 之间"));
    }
    if (root.contains(QStringLiteral("count")))
        def.count = root.value(QStringLiteral("count")).toBool(true);

    const QJsonArray head = root.value(QStringLiteral("head")).toArray();
    for (int i = 0; i < head.size(); ++i) {
        const QString where = QStringLiteral("\"head\" 第 %1 项").arg(i + 1);
        const QJsonObject item = head[i].toObject();
        def.head.append({item.value(QStringLiteral("label")).toString(),
                         requiredText(item, QStringLiteral("parameter"), path, where)});
    }

    const QJsonValue columns = root.value(QStringLiteral("columns"));
    if (!columns.isArray() || columns.toArray().isEmpty())
        fail(path, QStringLiteral("缺少 \"columns\" (至少一列)"));
    const QJsonArray list = columns.toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("\"columns\" 第 %1 列").arg(i + 1);
        if (!list[i].isObject())
            fail(path, where + QStringLiteral("应是一个 JSON 对象"));
        const QJsonObject c = list[i].toObject();
        ReportColumn column;
        if (c.contains(QStringLiteral("product"))) {
            for (const QJsonValue& v : c.value(QStringLiteral("product")).toArray())
                column.product << v.toString();
            if (column.product.size() != 2 || column.product.contains(QString()))
                fail(path, where + QStringLiteral("的 \"product\" 应是两个字段名"));
        } else {
            column.field = requiredText(c, QStringLiteral("field"), path, where);
        }
        column.title = c.value(QStringLiteral("title")).toString(column.field);
        if (c.contains(QStringLiteral("width"))) {
            column.width = c.value(QStringLiteral("width")).toDouble();
            if (column.width <= 0)
                fail(path, where + QStringLiteral("的 \"width\" 应大于 0"));
        }
        column.align = alignment(c.value(QStringLiteral("align")).toString(), path, where);
        column.sum = c.value(QStringLiteral("sum")).toBool(false);
        def.columns.append(column);
    }
    return def;
}
