#include "data/spreadsheet.h"

#include "core/errors.h"
#include "core/money.h"
#include "data/schema.h"
#include "data/sharedquery.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDriver>
#include <QStringDecoder>
#include <QTemporaryFile>
#include <QXmlStreamReader>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <sqlite3.h>
#include <unzip.h>
#include <xlsxwriter.h>
#include <zip.h>

namespace Spreadsheet {

// libxlsxwriter packs a workbook's parts with zlib's default level and has no setting for it; a
// million-row sheet then spends most of its writing time in deflate. This definition of minizip's
// entry, found before the library's own (an executable's symbols come first), asks for zlib's
// fastest level instead and hands everything else on: the files are about a fifth larger and
// written in two thirds of the time.
extern "C" int zipOpenNewFileInZip4_64(zipFile file, const char* name, const zip_fileinfo* info,
                                       const void* localExtra, uInt localExtraSize, const void* globalExtra,
                                       uInt globalExtraSize, const char* comment, int method, int level,
                                       int raw, int windowBits, int memLevel, int strategy,
                                       const char* password, uLong crc, uLong versionMadeBy, uLong flagBase,
                                       int zip64) {
    using Entry = int (*)(zipFile, const char*, const zip_fileinfo*, const void*, uInt, const void*, uInt,
                          const char*, int, int, int, int, int, int, const char*, uLong, uLong, uLong, int);
    static const auto minizip = reinterpret_cast<Entry>(dlsym(RTLD_NEXT, "zipOpenNewFileInZip4_64"));
    if (!minizip)
        return ZIP_INTERNALERROR;
    if (method == Z_DEFLATED && level == Z_DEFAULT_COMPRESSION)
        level = Z_BEST_SPEED;
    return minizip(file, name, info, localExtra, localExtraSize, globalExtra, globalExtraSize, comment,
                   method, level, raw, windowBits, memLevel, strategy, password, crc, versionMadeBy, flagBase,
                   zip64);
}

namespace {

// Rows between two progress reports: often enough for a responsive window, rarely enough to cost
// nothing.
constexpr qint64 ProgressEvery = 2000;

// One value on its way to the file, as the database gives it: text as UTF-8 bytes (ended by a
// zero byte), never turned into a QString. A million rows are written without a conversion per
// cell.
struct Cell {
    enum Type { Null, Integer, Real, Text } type = Null;
    qint64 integer = 0;
    double real = 0;
    const char* text = nullptr;
    int size = 0;
};
using CellReader = std::function<bool(std::vector<Cell>& cells)>;

int digits(const char* p, int n) {
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return -1;
        v = v * 10 + (p[i] - '0');
    }
    return v;
}

// The moment in a text "yyyy-MM-dd HH:mm:ss" (or the date alone, "yyyy-MM-dd"), read by position.
bool parseMoment(const Cell& cell, bool withTime, lxw_datetime* out) {
    if (cell.type != Cell::Text || cell.size != (withTime ? 19 : 10))
        return false;
    const char* t = cell.text;
    if (t[4] != '-' || t[7] != '-')
        return false;
    out->year = digits(t, 4);
    out->month = digits(t + 5, 2);
    out->day = digits(t + 8, 2);
    out->hour = out->min = 0;
    int second = 0;
    if (withTime) {
        if (t[10] != ' ' || t[13] != ':' || t[16] != ':')
            return false;
        out->hour = digits(t + 11, 2);
        out->min = digits(t + 14, 2);
        second = digits(t + 17, 2);
    }
    out->sec = second;
    return out->year >= 1900 && QDate::isValid(out->year, out->month, out->day) && out->hour >= 0 &&
           out->hour < 24 && out->min >= 0 && out->min < 60 && second >= 0 && second < 60;
}

// The number a cell holds, also when it is stored as text ("12.5"); false for anything else.
bool numberOf(const Cell& cell, double* number) {
    switch (cell.type) {
    case Cell::Integer:
        *number = double(cell.integer);
        return true;
    case Cell::Real:
        *number = cell.real;
        return std::isfinite(cell.real);
    case Cell::Text: {
        if (cell.size == 0)
            return false;
        char* end = nullptr;
        *number = std::strtod(cell.text, &end);
        const bool plain = std::isdigit(static_cast<unsigned char>(cell.text[0])) || cell.text[0] == '-';
        return plain && end == cell.text + cell.size && std::isfinite(*number);
    }
    default:
        return false;
    }
}

// The text of a cell as the lists show it: numbers in the general number format.
void appendText(QByteArray& out, const Cell& cell) {
    switch (cell.type) {
    case Cell::Integer:
        out += QByteArray::number(cell.integer);
        break;
    case Cell::Real:
        if (cell.real == std::floor(cell.real) && std::fabs(cell.real) < 1e15)
            out += QByteArray::number(qint64(cell.real));
        else
            out += formatGeneral(cell.real).toUtf8();
        break;
    case Cell::Text:
        out.append(cell.text, cell.size);
        break;
    case Cell::Null:
        break;
    }
}

void appendCsvField(QByteArray& out, const Cell& cell) {
    if (cell.type != Cell::Text) {
        appendText(out, cell);
        return;
    }
    bool quote = false;
    for (int i = 0; i < cell.size && !quote; ++i) {
        const char c = cell.text[i];
        quote = c == ',' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote) {
        out.append(cell.text, cell.size);
        return;
    }
    out += '"';
    for (int i = 0; i < cell.size; ++i) {
        if (cell.text[i] == '"')
            out += '"';
        out += cell.text[i];
    }
    out += '"';
}

// A temporary file beside the target, in the same folder so that the rename at the end is one
// step of the file system.
QString temporaryBeside(const QString& path) {
    const QFileInfo target(path);
    if (!target.absoluteDir().exists())
        throw Refused(QStringLiteral("文件夹不存在：%1").arg(target.absolutePath()));
    QTemporaryFile file(
        target.absoluteDir().filePath(QStringLiteral(".") + target.fileName() + QStringLiteral(".XXXXXX")));
    file.setAutoRemove(false);
    if (!file.open())
        throw Refused(QStringLiteral("无法写入文件：%1（%2）").arg(path, file.errorString()));
    return file.fileName();
}

void finish(const QString& temporary, const QString& path) {
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(temporary);
        throw Refused(QStringLiteral("无法写入文件：%1").arg(path));
    }
}

class XlsxWriter {
public:
    XlsxWriter(const QString& file, const QList<Column>& columns) : m_columns(columns) {
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        options.use_zip64 = LXW_TRUE;
        m_book = workbook_new_opt(QFile::encodeName(file).constData(), &options);
        if (!m_book)
            throw Refused(QStringLiteral("无法写入文件：%1").arg(file));
        m_sheet = workbook_add_worksheet(m_book, nullptr);
        m_title = workbook_add_format(m_book);
        format_set_bold(m_title);
        m_dateTime = workbook_add_format(m_book);
        format_set_num_format(m_dateTime, "yyyy-mm-dd hh:mm:ss");
        m_date = workbook_add_format(m_book);
        format_set_num_format(m_date, "yyyy-mm-dd");
        for (int c = 0; c < columns.size(); ++c) {
            // Excel's width unit is about seven pixels of its default font.
            worksheet_set_column(m_sheet, lxw_col_t(c), lxw_col_t(c), std::max(columns[c].width, 40) / 7.0,
                                 nullptr);
            check(worksheet_write_string(m_sheet, 0, lxw_col_t(c), columns[c].title.toUtf8().constData(),
                                         m_title));
        }
        worksheet_freeze_panes(m_sheet, 1, 0);
    }
    ~XlsxWriter() {
        if (m_book)
            workbook_close(m_book);
    }

    void row(lxw_row_t r, const std::vector<Cell>& cells) {
        for (int c = 0; c < m_columns.size() && c < int(cells.size()); ++c) {
            const Cell& cell = cells[c];
            if (cell.type == Cell::Null || (cell.type == Cell::Text && cell.size == 0))
                continue;
            const lxw_col_t col = lxw_col_t(c);
            const Kind kind = m_columns[c].kind;
            if (kind == Kind::Number) {
                double number;
                if (numberOf(cell, &number)) {
                    check(worksheet_write_number(m_sheet, r, col, number, nullptr));
                    continue;
                }
            } else if (kind == Kind::DateTime || kind == Kind::Date) {
                lxw_datetime moment;
                if (parseMoment(cell, kind == Kind::DateTime, &moment)) {
                    check(worksheet_write_datetime(m_sheet, r, col, &moment,
                                                   kind == Kind::DateTime ? m_dateTime : m_date));
                    continue;
                }
            }
            if (cell.type == Cell::Text) {
                check(worksheet_write_string(m_sheet, r, col, cell.text, nullptr));
            } else {
                m_text.clear();
                appendText(m_text, cell);
                check(worksheet_write_string(m_sheet, r, col, m_text.constData(), nullptr));
            }
        }
    }

    void close() {
        const lxw_error error = workbook_close(m_book);
        m_book = nullptr;
        check(error);
    }

private:
    static void check(lxw_error error) {
        if (error != LXW_NO_ERROR)
            throw Refused(
                QStringLiteral("写入 Excel 文件失败：%1").arg(QString::fromUtf8(lxw_strerror(error))));
    }

    QList<Column> m_columns;
    QByteArray m_text;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_title = nullptr;
    lxw_format* m_dateTime = nullptr;
    lxw_format* m_date = nullptr;
};

qint64 writeXlsx(const QString& file, const QList<Column>& columns, const CellReader& next,
                 const Progress& progress) {
    XlsxWriter writer(file, columns);
    std::vector<Cell> cells;
    qint64 rows = 0;
    while (next(cells)) {
        writer.row(lxw_row_t(rows + 1), cells);
        ++rows;
        if (progress && rows % ProgressEvery == 0 && !progress(rows))
            return -1;
    }
    writer.close();
    return rows;
}

qint64 writeCsv(const QString& file, const QList<Column>& columns, const CellReader& next,
                const Progress& progress) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw Refused(QStringLiteral("无法写入文件：%1（%2）").arg(file, out.errorString()));
    QByteArray buffer("\xEF\xBB\xBF");
    auto flush = [&] {
        if (out.write(buffer) != buffer.size())
            throw Refused(QStringLiteral("无法写入文件：%1（%2）").arg(file, out.errorString()));
        buffer.clear();
    };
    for (int c = 0; c < columns.size(); ++c) {
        if (c > 0)
            buffer += ',';
        const QByteArray title = columns[c].title.toUtf8();
        appendCsvField(buffer, Cell{Cell::Text, 0, 0, title.constData(), int(title.size())});
    }
    buffer += "\r\n";
    std::vector<Cell> cells;
    qint64 rows = 0;
    while (next(cells)) {
        for (int c = 0; c < columns.size(); ++c) {
            if (c > 0)
                buffer += ',';
            if (c < int(cells.size()))
                appendCsvField(buffer, cells[c]);
        }
        buffer += "\r\n";
        if (buffer.size() > (1 << 16))
            flush();
        ++rows;
        if (progress && rows % ProgressEvery == 0 && !progress(rows))
            return -1;
    }
    flush();
    if (!out.flush())
        throw Refused(QStringLiteral("无法写入文件：%1（%2）").arg(file, out.errorString()));
    out.close();
    return rows;
}

qint64 writeCells(const QString& path, Format format, const QList<Column>& columns, const CellReader& next,
                  const Progress& progress) {
    const QString temporary = temporaryBeside(path);
    qint64 rows = -1;
    try {
        rows = format == Format::Xlsx ? writeXlsx(temporary, columns, next, progress)
                                      : writeCsv(temporary, columns, next, progress);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    if (rows < 0) {
        QFile::remove(temporary);
        return -1;
    }
    // The temporary file is made for the owner only; the export gets the usual permissions.
    QFile::setPermissions(temporary, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                         QFileDevice::ReadGroup | QFileDevice::ReadOther);
    finish(temporary, path);
    return rows;
}

// A statement run on the connection's own SQLite handle, so that the rows reach the file as the
// database holds them (Qt's driver would make a QVariant of every column of every row).
class Statement {
public:
    Statement(const QSqlDatabase& db, const QString& sql, const Db::Params& params) {
        const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
            throw DatabaseError(QStringLiteral("Not a SQLite connection"));
        m_db = *static_cast<sqlite3* const*>(handle.constData());
        if (!m_db ||
            sqlite3_prepare_v2(m_db, sql.toUtf8().constData(), -1, &m_statement, nullptr) != SQLITE_OK)
            fail();
        for (const auto& [name, value] : params) {
            const int at = sqlite3_bind_parameter_index(m_statement, name.toUtf8().constData());
            if (at == 0)
                continue;
            int rc = SQLITE_OK;
            if (value.isNull())
                rc = sqlite3_bind_null(m_statement, at);
            else if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int)
                rc = sqlite3_bind_int64(m_statement, at, value.toLongLong());
            else if (value.typeId() == QMetaType::Double)
                rc = sqlite3_bind_double(m_statement, at, value.toDouble());
            else {
                const QByteArray text = value.toString().toUtf8();
                rc = sqlite3_bind_text(m_statement, at, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            }
            if (rc != SQLITE_OK)
                fail();
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int column(const QString& name) const {
        for (int i = 0; i < sqlite3_column_count(m_statement); ++i)
            if (name == QLatin1String(sqlite3_column_name(m_statement, i)))
                return i;
        return -1;
    }
    bool next() {
        const int rc = sqlite3_step(m_statement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail();
        return false;
    }
    Cell cell(int column) const {
        Cell c;
        if (column < 0)
            return c;
        switch (sqlite3_column_type(m_statement, column)) {
        case SQLITE_INTEGER:
            c.type = Cell::Integer;
            c.integer = sqlite3_column_int64(m_statement, column);
            break;
        case SQLITE_FLOAT:
            c.type = Cell::Real;
            c.real = sqlite3_column_double(m_statement, column);
            break;
        case SQLITE_NULL:
            break;
        default:
            c.type = Cell::Text;
            c.text = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
            c.size = sqlite3_column_bytes(m_statement, column);
            if (!c.text)
                c.type = Cell::Null;
            break;
        }
        return c;
    }

private:
    [[noreturn]] void fail() { throw DatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db))); }
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace

Kind kindOf(const QString& table, const QString& field) {
    const Schema::Table* t = Schema::findTable(table);
    if (!t)
        return Kind::Text;
    // Columns kept as the text of a number (quantities as typed, prices, product, order and card
    // numbers) are numbers in a spreadsheet all the same.
    static const QHash<QString, QStringList> numbersAsText = {
        {QStringLiteral("ac"), {"c1", "c3", "c4", "c5", "c6"}},
        {QStringLiteral("ae"), {"e1", "e3", "e6", "e11"}},
        {QStringLiteral("ag"), {"g5", "g6"}},
        {QStringLiteral("ah"), {"h6"}},
        {QStringLiteral("ak"), {"k4", "k6", "k7", "k8"}},
    };
    if (field == t->key || t->numericColumns.contains(field) || numbersAsText.value(table).contains(field))
        return Kind::Number;
    if (t->dateTimeColumns.contains(field))
        return Kind::DateTime;
    // The stock-in record keeps the day of the stock-in as a text yyyy-MM-dd.
    if (table == QLatin1String("ac") && field == QLatin1String("c7"))
        return Kind::Date;
    return Kind::Text;
}

QList<Column> columnsOf(const QString& table, const QList<GridColumn>& columns) {
    QList<Column> result;
    for (const GridColumn& c : columns)
        result.append({c.title, kindOf(table, c.field), c.width});
    return result;
}

bool formatOf(const QString& path, Format* format) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("xlsx"))
        *format = Format::Xlsx;
    else if (suffix == QLatin1String("csv"))
        *format = Format::Csv;
    else
        return false;
    return true;
}

qint64 write(const QString& path, Format format, const QList<Column>& columns, const RowReader& next,
             const Progress& progress) {
    QVariantList values;
    std::vector<QByteArray> texts;
    const CellReader cells = [&](std::vector<Cell>& out) {
        if (!next(values))
            return false;
        out.assign(values.size(), Cell());
        texts.assign(values.size(), QByteArray());
        for (int c = 0; c < values.size(); ++c) {
            const QVariant& v = values[c];
            Cell& cell = out[c];
            if (v.isNull())
                continue;
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
                cell.type = Cell::Integer;
                cell.integer = v.toLongLong();
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                cell.type = Cell::Real;
                cell.real = v.toDouble();
                break;
            default:
                texts[c] = v.toString().toUtf8();
                cell.type = Cell::Text;
                cell.text = texts[c].constData();
                cell.size = int(texts[c].size());
            }
        }
        return true;
    };
    return writeCells(path, format, columns, cells, progress);
}

QString listStatement(const ListDefinition& list, const QString& search, Db::Params* params) {
    QStringList conditions;
    if (!list.filter.isEmpty())
        conditions << list.filter;
    params->clear();
    if (!search.isEmpty()) {
        conditions << list.searchField + QStringLiteral(" like '%' || :t || '%'");
        params->emplace_back(QStringLiteral(":t"), search);
    }
    QString sql = QStringLiteral("select * from ") + list.table;
    if (!conditions.isEmpty())
        sql += QStringLiteral(" where ") + conditions.join(QStringLiteral(" and "));
    return sql + QStringLiteral(" order by %1 desc").arg(list.key);
}

qint64 writeQuery(const QSqlDatabase& db, const QString& sql, const Db::Params& params, const QString& table,
                  const QList<GridColumn>& columns, const QString& path, Format format,
                  const Progress& progress) {
    Statement statement(db, sql, params);
    std::vector<int> at;
    for (const GridColumn& c : columns)
        at.push_back(statement.column(c.field));
    const CellReader next = [&](std::vector<Cell>& cells) {
        if (!statement.next())
            return false;
        cells.resize(at.size());
        for (size_t c = 0; c < at.size(); ++c)
            cells[c] = statement.cell(at[c]);
        return true;
    };
    return writeCells(path, format, columnsOf(table, columns), next, progress);
}

// Reading ---------------------------------------------------------------------------------------

Table readCsv(const QByteArray& raw) {
    QByteArray bytes = raw;
    QString text;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = QString::fromUtf8(bytes.mid(3));
    } else {
        // Text that is not valid UTF-8 is what Excel saves on Chinese systems: GB18030.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        text = utf8.decode(bytes);
        if (utf8.hasError()) {
            QStringDecoder gb("GB18030");
            if (!gb.isValid())
                throw Refused(QStringLiteral("无法识别文件的编码"));
            text = gb.decode(bytes);
        }
    }
    Table table;
    QStringList row;
    QString field;
    bool quoted = false, fieldStarted = false;
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = fieldStarted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            fieldStarted = true;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            row << field;
            table.rows << row;
            row.clear();
            field.clear();
            fieldStarted = false;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (fieldStarted || !field.isEmpty() || !row.isEmpty()) {
        row << field;
        table.rows << row;
    }
    return table;
}

namespace {

class Zip {
public:
    explicit Zip(const QString& path) : m_path(path) {
        m_zip = unzOpen64(QFile::encodeName(path).constData());
        if (!m_zip)
            throw Refused(QStringLiteral("不是有效的 Excel 文件：%1").arg(path));
    }
    ~Zip() { unzClose(m_zip); }
    bool has(const QString& name) { return unzLocateFile(m_zip, name.toUtf8().constData(), 1) == UNZ_OK; }
    QByteArray entry(const QString& name) {
        if (!has(name) || unzOpenCurrentFile(m_zip) != UNZ_OK)
            throw Refused(QStringLiteral("不是有效的 Excel 文件：%1").arg(m_path));
        QByteArray data;
        char buffer[65536];
        int got = 0;
        while ((got = unzReadCurrentFile(m_zip, buffer, sizeof buffer)) > 0)
            data.append(buffer, got);
        const int closed = unzCloseCurrentFile(m_zip);
        if (got < 0 || closed != UNZ_OK)
            throw Refused(QStringLiteral("Excel 文件已损坏：%1").arg(m_path));
        return data;
    }

private:
    QString m_path;
    unzFile m_zip = nullptr;
};

// The path inside the package of the workbook's first sheet.
QString firstSheet(Zip& zip) {
    QString id;
    QXmlStreamReader book(zip.entry(QStringLiteral("xl/workbook.xml")));
    while (!book.atEnd() && id.isEmpty())
        if (book.readNext() == QXmlStreamReader::StartElement && book.name() == QLatin1String("sheet"))
            for (const QXmlStreamAttribute& a : book.attributes())
                if (a.name() == QLatin1String("id"))
                    id = a.value().toString();
    if (!id.isEmpty() && zip.has(QStringLiteral("xl/_rels/workbook.xml.rels"))) {
        QXmlStreamReader rels(zip.entry(QStringLiteral("xl/_rels/workbook.xml.rels")));
        while (!rels.atEnd())
            if (rels.readNext() == QXmlStreamReader::StartElement &&
                rels.name() == QLatin1String("Relationship") &&
                rels.attributes().value(QLatin1String("Id")) == id) {
                QString target = rels.attributes().value(QLatin1String("Target")).toString();
                if (target.startsWith(QLatin1Char('/')))
                    return target.mid(1);
                return QStringLiteral("xl/") + target;
            }
    }
    return QStringLiteral("xl/worksheets/sheet1.xml");
}

QStringList sharedStrings(Zip& zip) {
    QStringList strings;
    if (!zip.has(QStringLiteral("xl/sharedStrings.xml")))
        return strings;
    QXmlStreamReader xml(zip.entry(QStringLiteral("xl/sharedStrings.xml")));
    QString current;
    int phonetic = 0;
    bool inText = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (xml.name() == QLatin1String("si"))
                current.clear();
            else if (xml.name() == QLatin1String("rPh"))
                ++phonetic;
            else if (xml.name() == QLatin1String("t"))
                inText = phonetic == 0;
            break;
        case QXmlStreamReader::EndElement:
            if (xml.name() == QLatin1String("si"))
                strings << current;
            else if (xml.name() == QLatin1String("rPh"))
                --phonetic;
            else if (xml.name() == QLatin1String("t"))
                inText = false;
            break;
        case QXmlStreamReader::Characters:
            if (inText)
                current += xml.text();
            break;
        default:
            break;
        }
    }
    return strings;
}

bool isDateFormat(int id, const QString& code) {
    if ((id >= 14 && id <= 22) || (id >= 45 && id <= 47))
        return true;
    QString plain;
    bool inQuote = false, inBracket = false;
    for (const QChar c : code) {
        if (c == QLatin1Char('"'))
            inQuote = !inQuote;
        else if (!inQuote && c == QLatin1Char('['))
            inBracket = true;
        else if (!inQuote && c == QLatin1Char(']'))
            inBracket = false;
        else if (!inQuote && !inBracket)
            plain += c.toLower();
    }
    return plain.contains(QLatin1Char('y')) || plain.contains(QLatin1Char('d')) ||
           plain.contains(QLatin1Char('h'));
}

// For every cell style: whether it shows a date.
QList<bool> dateStyles(Zip& zip) {
    QList<bool> styles;
    if (!zip.has(QStringLiteral("xl/styles.xml")))
        return styles;
    QXmlStreamReader xml(zip.entry(QStringLiteral("xl/styles.xml")));
    QHash<int, QString> codes;
    bool inCellXfs = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("numFmt"))
                codes.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                             xml.attributes().value(QLatin1String("formatCode")).toString());
            else if (xml.name() == QLatin1String("cellXfs"))
                inCellXfs = true;
            else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                styles << isDateFormat(id, codes.value(id));
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    }
    return styles;
}

QString serialToText(double serial) {
    const qint64 totalSeconds = qint64(std::llround(serial * 86400.0));
    const qint64 days = totalSeconds / 86400;
    const qint64 seconds = totalSeconds % 86400;
    const QDate date = QDate(1899, 12, 30).addDays(days);
    if (seconds == 0 && serial == std::floor(serial))
        return date.toString(QStringLiteral("yyyy-MM-dd"));
    return date.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" %1:%2:%3")
                                                             .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                                                             .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                                                             .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

// The column number of a cell reference ("C7" gives 2).
int columnOf(QStringView reference) {
    int column = 0;
    for (const QChar c : reference) {
        if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
            break;
        column = column * 26 + (c.unicode() - 'A' + 1);
    }
    return column - 1;
}

int rowOf(QStringView reference) {
    int i = 0;
    while (i < reference.size() && reference[i] >= QLatin1Char('A') && reference[i] <= QLatin1Char('Z'))
        ++i;
    return reference.mid(i).toInt() - 1;
}

Table readXlsx(const QString& path) {
    Zip zip(path);
    const QStringList strings = sharedStrings(zip);
    const QList<bool> dates = dateStyles(zip);
    QXmlStreamReader xml(zip.entry(firstSheet(zip)));
    Table table;
    QStringList* row = nullptr;
    int column = -1;
    QString type, value;
    int style = 0;
    bool inValue = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const auto name = xml.name();
            if (name == QLatin1String("row")) {
                const int r = xml.attributes().hasAttribute(QLatin1String("r"))
                                  ? xml.attributes().value(QLatin1String("r")).toInt() - 1
                                  : int(table.rows.size());
                while (table.rows.size() <= r)
                    table.rows.append(QStringList());
                row = &table.rows[r];
                column = -1;
            } else if (name == QLatin1String("c") && row) {
                const auto ref = xml.attributes().value(QLatin1String("r"));
                column = ref.isEmpty() ? column + 1 : columnOf(ref);
                if (!ref.isEmpty() && rowOf(ref) != int(row - table.rows.data()))
                    column = -1;
                type = xml.attributes().value(QLatin1String("t")).toString();
                style = xml.attributes().value(QLatin1String("s")).toInt();
                value.clear();
            } else if (name == QLatin1String("v") || name == QLatin1String("t")) {
                inValue = true;
            }
        } else if (token == QXmlStreamReader::Characters && inValue) {
            value += xml.text();
        } else if (token == QXmlStreamReader::EndElement) {
            const auto name = xml.name();
            if (name == QLatin1String("v") || name == QLatin1String("t")) {
                inValue = false;
            } else if (name == QLatin1String("c") && row && column >= 0) {
                QString text = value;
                if (type == QLatin1String("s")) {
                    const int index = value.toInt();
                    text = index >= 0 && index < strings.size() ? strings[index] : QString();
                } else if (type == QLatin1String("b")) {
                    text = value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                } else if (type.isEmpty() || type == QLatin1String("n")) {
                    bool ok = false;
                    const double number = value.toDouble(&ok);
                    if (ok)
                        text = style < dates.size() && dates[style] ? serialToText(number)
                                                                    : formatGeneral(number);
                }
                while (row->size() <= column)
                    row->append(QString());
                (*row)[column] = text;
            } else if (name == QLatin1String("row")) {
                row = nullptr;
            }
        }
    }
    if (xml.hasError())
        throw Refused(QStringLiteral("Excel 文件已损坏：%1").arg(path));
    return table;
}

} // namespace

Table read(const QString& path) {
    Format format;
    if (!formatOf(path, &format))
        throw Refused(QStringLiteral("只能导入 .xlsx 或 .csv 文件"));
    if (format == Format::Xlsx)
        return readXlsx(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Refused(QStringLiteral("无法读取文件：%1（%2）").arg(path, file.errorString()));
    return readCsv(file.readAll());
}

} // namespace Spreadsheet
