#include "data/spreadsheet.h"

#include "core/errors.h"
#include "core/money.h"
#include "data/rawstatement.h"
#include "data/schema.h"
#include "data/sharedquery.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/statvfs.h>
#include <unistd.h>
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

bool formulaStart(char c) {
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

// A text that a spreadsheet program would take for a formula (or that it trims and then takes for
// one) gets an apostrophe before it, as spreadsheets write such a text themselves; the import
// takes it off again. A text that begins with such an apostrophe already gets one more, so that
// it comes back as it was.
bool looksLikeFormula(const Cell& cell) {
    if (cell.type != Cell::Text || cell.size == 0)
        return false;
    return formulaStart(cell.text[0]) ||
           (cell.text[0] == '\'' && cell.size > 1 && formulaStart(cell.text[1]));
}

void appendCsvField(QByteArray& out, const Cell& cell, Kind kind) {
    if (cell.type != Cell::Text) {
        appendText(out, cell);
        return;
    }
    double number;
    if (kind == Kind::Number && numberOf(cell, &number)) {
        out.append(cell.text, cell.size); // a number, also a negative one, stays a number
        return;
    }
    const bool guard = looksLikeFormula(cell);
    bool quote = false;
    for (int i = 0; i < cell.size && !quote; ++i) {
        const char c = cell.text[i];
        quote = c == ',' || c == '"' || c == '\r' || c == '\n';
    }
    if (!quote) {
        if (guard)
            out += '\'';
        out.append(cell.text, cell.size);
        return;
    }
    out += '"';
    if (guard)
        out += '\'';
    for (int i = 0; i < cell.size; ++i) {
        if (cell.text[i] == '"')
            out += '"';
        out += cell.text[i];
    }
    out += '"';
}

QString folderOf(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath());
}

// Whether a write that failed with this error failed for want of space: said so, or the folder
// has (next to) nothing left (libxlsxwriter does not always keep the error of its writes).
bool diskFull(const QString& path, int error) {
    if (error == ENOSPC || error == EDQUOT)
        return true;
    struct statvfs disk;
    return statvfs(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &disk) == 0 &&
           qint64(disk.f_bavail) * qint64(disk.f_frsize) < 256 * 1024;
}

// Why the file could not be written, said plainly: the folder full, read-only, not there or not
// the user's.
[[noreturn]] void cannotWrite(const QString& path, int error, const QString& detail = QString()) {
    const QString folder = folderOf(path);
    const QString name = QFileInfo(path).fileName();
    if (diskFull(path, error))
        throw Refused(
            QStringLiteral(
                "磁盘空间不足：文件夹“%1”没有足够的空间写入“%2”，没有留下任何文件。请腾出空间后再试。")
                .arg(folder, name));
    if (error == EROFS)
        throw Refused(QStringLiteral("文件夹“%1”是只读的，无法写入“%2”").arg(folder, name));
    if (error == EACCES || error == EPERM)
        throw Refused(QStringLiteral("没有权限写入文件夹“%1”，无法写入“%2”").arg(folder, name));
    if (error == ENOENT || error == ENOTDIR)
        throw Refused(QStringLiteral("文件夹不存在：%1").arg(folder));
    throw Refused(QStringLiteral("无法写入文件：%1（%2）")
                      .arg(QDir::toNativeSeparators(path),
                           detail.isEmpty() ? QString::fromLocal8Bit(std::strerror(error)) : detail));
}

// A temporary file beside the target, in the same folder so that the rename at the end is one
// step of the file system. It is made as any new file of the user is (0666 less the umask), so
// the export ends with the permissions the user chose for new files.
QString temporaryBeside(const QString& path) {
    const QFileInfo target(path);
    if (!target.absoluteDir().exists())
        throw Refused(QStringLiteral("文件夹不存在：%1").arg(folderOf(path)));
    for (int attempt = 0;; ++attempt) {
        const QString name = target.absoluteDir().filePath(
            QStringLiteral(".%1.%2")
                .arg(target.fileName())
                .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        const int fd =
            ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST || attempt > 100)
            cannotWrite(path, errno);
    }
}

// Forces the file (or folder) to the disk.
int syncPath(const QString& path, bool folder) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int result = ::fsync(fd) == 0 || (folder && errno == EINVAL) ? 0 : errno;
    ::close(fd);
    return result;
}

void finish(const QString& temporary, const QString& path) {
    if (const int error = syncPath(temporary, false); error != 0)
        cannotWrite(path, error);
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        cannotWrite(path, errno);
    syncPath(QFileInfo(path).absolutePath(), true);
}

class XlsxWriter {
public:
    XlsxWriter(const QString& file, const QString& path, const QList<Column>& columns)
        : m_columns(columns), m_path(path) {
        lxw_workbook_options options = {};
        options.constant_memory = LXW_TRUE;
        options.use_zip64 = LXW_TRUE;
        m_book = workbook_new_opt(QFile::encodeName(file).constData(), &options);
        if (!m_book)
            cannotWrite(m_path, errno);
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
    void check(lxw_error error) const {
        if (error != LXW_NO_ERROR)
            cannotWrite(
                m_path, errno,
                QStringLiteral("写入 Excel 文件失败：%1").arg(QString::fromUtf8(lxw_strerror(error))));
    }

    QList<Column> m_columns;
    QString m_path; // the file it becomes, for the messages
    QByteArray m_text;
    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    lxw_format* m_title = nullptr;
    lxw_format* m_dateTime = nullptr;
    lxw_format* m_date = nullptr;
};

qint64 writeXlsx(const QString& file, const QString& path, const QList<Column>& columns,
                 const CellReader& next, const Progress& progress) {
    XlsxWriter writer(file, path, columns);
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

qint64 writeCsv(const QString& file, const QString& path, const QList<Column>& columns,
                const CellReader& next, const Progress& progress) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        cannotWrite(path, errno);
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0)
                ::close(fd);
        }
    } closer{fd};
    QByteArray buffer("\xEF\xBB\xBF");
    auto flush = [&] {
        const char* p = buffer.constData();
        qsizetype left = buffer.size();
        while (left > 0) {
            const ssize_t n = ::write(fd, p, size_t(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                cannotWrite(path, n < 0 ? errno : ENOSPC);
            p += n;
            left -= n;
        }
        buffer.clear();
    };
    for (int c = 0; c < columns.size(); ++c) {
        if (c > 0)
            buffer += ',';
        const QByteArray title = columns[c].title.toUtf8();
        appendCsvField(buffer, Cell{Cell::Text, 0, 0, title.constData(), int(title.size())}, Kind::Text);
    }
    buffer += "\r\n";
    std::vector<Cell> cells;
    qint64 rows = 0;
    while (next(cells)) {
        for (int c = 0; c < columns.size(); ++c) {
            if (c > 0)
                buffer += ',';
            if (c < int(cells.size()))
                appendCsvField(buffer, cells[c], columns[c].kind);
        }
        buffer += "\r\n";
        if (buffer.size() > (1 << 16))
            flush();
        ++rows;
        if (progress && rows % ProgressEvery == 0 && !progress(rows))
            return -1;
    }
    flush();
    closer.fd = -1;
    if (::close(fd) != 0)
        cannotWrite(path, errno);
    return rows;
}

qint64 writeCells(const QString& path, Format format, const QList<Column>& columns, const CellReader& next,
                  const Progress& progress) {
    const QString temporary = temporaryBeside(path);
    qint64 rows = -1;
    try {
        rows = format == Format::Xlsx ? writeXlsx(temporary, path, columns, next, progress)
                                      : writeCsv(temporary, path, columns, next, progress);
        if (rows >= 0)
            finish(temporary, path);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
    if (rows < 0)
        QFile::remove(temporary);
    return rows;
}

// A value of a row read through SQLite's own interface, as the file holds it: the rows reach the
// file without a QVariant made of each.
Cell cellOf(const RawStatement& statement, int column) {
    Cell c;
    if (column < 0)
        return c;
    switch (sqlite3_column_type(statement.get(), column)) {
    case SQLITE_INTEGER:
        c.type = Cell::Integer;
        c.integer = statement.integer(column);
        break;
    case SQLITE_FLOAT:
        c.type = Cell::Real;
        c.real = statement.number(column);
        break;
    case SQLITE_NULL:
        break;
    default: {
        const QByteArrayView text = statement.view(column);
        c.type = text.data() ? Cell::Text : Cell::Null;
        c.text = text.data();
        c.size = int(text.size());
        break;
    }
    }
    return c;
}

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
    if (!Db::sqliteHandle(db)) {
        // A server: the rows come through its driver, one forward pass.
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.prepare(sql))
            throw Db::failure(query.lastError());
        for (const auto& [name, value] : params)
            query.bindValue(name, value);
        if (!query.exec())
            throw Db::failure(query.lastError());
        std::vector<int> at;
        for (const GridColumn& c : columns)
            at.push_back(query.record().indexOf(c.field));
        const RowReader next = [&](QVariantList& values) {
            if (!query.next())
                return false;
            values.clear();
            for (int column : at)
                values << (column < 0 ? QVariant() : query.value(column));
            return true;
        };
        return write(path, format, columnsOf(table, columns), next, progress);
    }
    RawStatement statement(Db::sqliteHandle(db), sql);
    statement.bind(params);
    std::vector<int> at;
    for (const GridColumn& c : columns)
        at.push_back(statement.column(c.field));
    const CellReader next = [&](std::vector<Cell>& cells) {
        if (!statement.next())
            return false;
        cells.resize(at.size());
        for (size_t c = 0; c < at.size(); ++c)
            cells[c] = cellOf(statement, at[c]);
        return true;
    };
    return writeCells(path, format, columnsOf(table, columns), next, progress);
}

} // namespace Spreadsheet
