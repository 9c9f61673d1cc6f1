// Reading spreadsheet files written by someone else: every size, count and reference in them is
// checked before memory is given for it. An .xlsx file is a zip package of XML parts; each part is
// unpacked piece by piece into Qt's XML stream reader, never whole. A CSV file is decoded and split
// as it is read.
#include "core/errors.h"
#include "core/money.h"
#include "data/spreadsheet.h"

#include <QBuffer>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <QXmlStreamReader>
#include <cmath>
#include <limits>
#include <unzip.h>

namespace Spreadsheet {

namespace {

QString megabytes(qint64 bytes) {
    const double mb = double(bytes) / 1e6;
    return mb >= 100 ? QString::number(mb, 'f', 0) : QString::number(mb, 'g', 3);
}

// The letters of a column (0 gives "A", 16383 gives "XFD").
QString columnName(int column) {
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

} // namespace

QString shortened(const QString& text, int most) {
    QString shown = text.size() > most ? text.left(most) + QStringLiteral("…") : text;
    // Control characters would move the cursor of a terminal or break a line of the list.
    for (QChar& c : shown)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QChar(u'�');
    return shown;
}

// Table ------------------------------------------------------------------------------------------

Table::Table(const Limits& limits) : m_limits(limits) {
    m_limits.textBytes = std::min<qint64>(m_limits.textBytes, std::numeric_limits<quint32>::max() - 1);
    m_rows.push_back({0, 0});
}

int Table::rowCount() const {
    int n = int(m_rows.size()) - 1;
    if (n > 0 && m_rows[size_t(n - 1)].firstCell == m_cells.size())
        --n; // a row begun whose cells were all empty
    return n;
}

QString Table::cell(int row, int column) const {
    const QByteArrayView found = text(row, column);
    return found.isEmpty() ? QString() : QString::fromUtf8(found);
}

QByteArrayView Table::text(int row, int column) const {
    const quint32 end = m_rows[size_t(row) + 1].firstCell;
    for (quint32 i = m_rows[size_t(row)].firstCell; i < end; ++i)
        if (m_cells[i].column == column) {
            const quint32 stop = i + 1 < m_cells.size() ? m_cells[i + 1].offset : quint32(m_text.size());
            return QByteArrayView(m_text.constData() + m_cells[i].offset, stop - m_cells[i].offset);
        }
    return QByteArrayView();
}

QList<int> Table::columns(int row) const {
    QList<int> found;
    for (quint32 i = m_rows[size_t(row)].firstCell; i < m_rows[size_t(row) + 1].firstCell; ++i)
        found << m_cells[i].column;
    return found;
}

bool Table::blank(int row) const {
    const quint32 first = m_rows[size_t(row)].firstCell;
    const quint32 end = m_rows[size_t(row) + 1].firstCell;
    if (first == end)
        return true;
    const quint32 to = end < m_cells.size() ? m_cells[end].offset : quint32(m_text.size());
    bool plain = true; // only ASCII blanks: no need to look closer
    for (quint32 i = m_cells[first].offset; i < to; ++i) {
        const uchar c = uchar(m_text[i]);
        if (c >= 0x80)
            plain = false;
        else if (c != ' ' && (c < '\t' || c > '\r'))
            return false;
    }
    if (plain)
        return true;
    for (quint32 i = first; i < end; ++i)
        if (!cell(row, m_cells[i].column).trimmed().isEmpty())
            return false;
    return true;
}

void Table::addRow(int number) {
    Row& last = m_rows[m_rows.size() - 1];
    if (m_rows.size() > 1 && m_rows[m_rows.size() - 2].firstCell == m_cells.size()) {
        m_rows[m_rows.size() - 2].number = number; // the row before held nothing: it is left out
        return;
    }
    last.number = number;
    last.firstCell = quint32(m_cells.size());
    m_rows.push_back({0, quint32(m_cells.size())});
}

void Table::addText(const char* data, qsizetype size, int column) {
    if (size == 0)
        return;
    if (m_text.size() + size > m_limits.textBytes)
        throw Refused(QStringLiteral("表格中的文字超过 %1 MB，无法导入").arg(megabytes(m_limits.textBytes)));
    if (m_cells.size() >= size_t(m_limits.cells))
        throw Refused(QStringLiteral("表格超过 %1 个单元格，无法导入").arg(m_limits.cells));
    m_cells.push_back({quint32(m_text.size()), quint16(column)});
    m_text.append(data, size);
    m_rows.back().firstCell = quint32(m_cells.size());
}

void Table::addCell(int column, QStringView text) {
    addCell(column, text.toUtf8());
}

void Table::addCell(int column, const QByteArray& utf8) {
    addText(utf8.constData(), utf8.size(), column);
}

void Table::problem(int row, const QString& where, const QString& why) {
    if (row > 0)
        problemRows.insert(row);
    if (problems.size() < m_limits.problems)
        problems.append({row, where, why});
    else
        ++moreProblems;
}

// CSV --------------------------------------------------------------------------------------------

namespace {

// Splits CSV text into cells as it comes, a piece at a time.
class CsvSplitter {
public:
    explicit CsvSplitter(Table& table) : m_table(table) {}

    void take(QStringView text) {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (m_afterCr) {
                m_afterCr = false;
                if (c == u'\n')
                    continue; // the LF of a CR LF
            }
            if (m_quoted) {
                if (m_quoteSeen) {
                    m_quoteSeen = false;
                    if (c == u'"') {
                        append(c);
                        continue;
                    }
                    m_quoted = false; // the closing quote; c is read as outside quotes
                } else if (c == u'"') {
                    m_quoteSeen = true;
                    continue;
                } else {
                    append(c);
                    continue;
                }
            }
            if (c == u'"' && m_field.isEmpty() && !m_fieldStarted) {
                m_quoted = m_fieldStarted = true;
                startRecord();
            } else if (c == u',') {
                startRecord();
                endField();
            } else if (c == u'\r' || c == u'\n') {
                startRecord();
                endField();
                m_inRecord = false;
                m_column = 0;
                m_afterCr = c == u'\r';
            } else {
                startRecord();
                m_fieldStarted = true;
                append(c);
            }
        }
    }

    void finish() {
        if (m_inRecord)
            endField();
    }

private:
    void startRecord() {
        if (m_inRecord)
            return;
        m_inRecord = true;
        if (++m_record > MaxRow)
            throw Refused(QStringLiteral("CSV 文件超过 %1 行，无法导入").arg(MaxRow));
        m_table.addRow(m_record);
    }
    void append(QChar c) {
        if (m_field.size() <= m_table.limits().cellChars)
            m_field += c;
    }
    void endField() {
        if (++m_cells > m_table.limits().cells)
            throw Refused(QStringLiteral("表格超过 %1 个单元格，无法导入").arg(m_table.limits().cells));
        const int column = m_column++;
        if (column >= MaxColumn) {
            if (column == MaxColumn)
                m_table.problem(m_record, QStringLiteral("第 %1 行").arg(m_record),
                                QStringLiteral("超过 %1 列，其余的列已忽略").arg(MaxColumn));
        } else if (m_field.size() > m_table.limits().cellChars) {
            m_table.problem(m_record, QStringLiteral("第 %1 行第 %2 列").arg(m_record).arg(column + 1),
                            QStringLiteral("文字超过 %1 个字符，已忽略").arg(m_table.limits().cellChars));
        } else {
            // An export writes an apostrophe before a text that a spreadsheet would run as a
            // formula (and before one that begins with such an apostrophe already); it goes
            // again here.
            static const QString formulaStart = QStringLiteral("=+-@\t\r");
            const auto guarded = [](QStringView t) {
                return t.size() > 1 && t[0] == u'\'' && formulaStart.contains(t[1]);
            };
            if (guarded(m_field) ||
                (m_field.size() > 2 && m_field[0] == u'\'' && guarded(QStringView(m_field).mid(1))))
                m_field.remove(0, 1);
            m_table.addCell(column, QStringView(m_field));
        }
        m_field.clear();
        m_fieldStarted = false;
        m_quoted = m_quoteSeen = false;
    }

    Table& m_table;
    QString m_field;
    int m_record = 0;
    int m_column = 0;
    qint64 m_cells = 0;
    bool m_inRecord = false, m_fieldStarted = false, m_quoted = false, m_quoteSeen = false, m_afterCr = false;
};

// Reads the CSV text from the device in the encoding; false when it is not that encoding (only
// for a strict decoder).
bool readCsvAs(QIODevice& device, QStringDecoder& decoder, bool strict, Table* table) {
    CsvSplitter splitter(*table);
    const qint64 most = table->limits().csvBytes;
    qint64 total = 0;
    QByteArray chunk;
    while (true) {
        chunk = device.read(1 << 20);
        if (chunk.isEmpty()) {
            if (device.atEnd() || device.isSequential())
                break;
            throw Refused(QStringLiteral("无法读取文件：%1").arg(device.errorString()));
        }
        total += chunk.size();
        if (total > most)
            throw Refused(QStringLiteral("CSV 文件超过 %1 MB，无法导入").arg(megabytes(most)));
        const QString text = decoder.decode(chunk);
        if (strict && decoder.hasError())
            return false;
        splitter.take(text);
    }
    const QString rest = decoder.decode(QByteArrayView());
    if (strict && decoder.hasError())
        return false;
    splitter.take(rest);
    splitter.finish();
    return true;
}

Table readCsvFrom(QIODevice& device, const Limits& limits) {
    if (!device.isSequential() && device.size() > limits.csvBytes)
        throw Refused(QStringLiteral("CSV 文件有 %1 MB，超过 %2 MB 的上限，无法导入")
                          .arg(megabytes(device.size()), megabytes(limits.csvBytes)));
    if (device.peek(3) == QByteArray("\xEF\xBB\xBF")) {
        device.read(3);
        QStringDecoder utf8(QStringDecoder::Utf8);
        Table table(limits);
        readCsvAs(device, utf8, false, &table);
        return table;
    }
    {
        // Text that is not valid UTF-8 is what Excel saves on Chinese systems: GB18030.
        QStringDecoder utf8(QStringDecoder::Utf8);
        Table table(limits);
        if (readCsvAs(device, utf8, true, &table))
            return table;
    }
    if (device.isSequential() || !device.seek(0))
        throw Refused(QStringLiteral("无法识别文件的编码"));
    QStringDecoder gb("GB18030");
    if (!gb.isValid())
        throw Refused(QStringLiteral("无法识别文件的编码"));
    Table table(limits);
    readCsvAs(device, gb, false, &table);
    return table;
}

} // namespace

Table readCsv(const QByteArray& bytes, const Limits& limits) {
    QByteArray copy = bytes;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    return readCsvFrom(buffer, limits);
}

// XLSX -------------------------------------------------------------------------------------------

namespace {

class Zip {
public:
    Zip(const QString& path, const Limits& limits) : m_path(path), m_limits(limits) {
        m_zip = unzOpen64(QFile::encodeName(path).constData());
        if (!m_zip)
            throw Refused(QStringLiteral("不是有效的 Excel 文件：%1").arg(path));
    }
    ~Zip() { unzClose(m_zip); }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;

    bool has(const QString& name) { return unzLocateFile(m_zip, name.toUtf8().constData(), 1) == UNZ_OK; }

    // Hands the unpacked part over piece by piece. The size the package declares is checked before
    // anything is unpacked, and what is unpacked is counted, since the declaration may lie.
    void stream(const QString& name, const std::function<void(const char*, int)>& take) {
        unz_file_info64 info;
        if (!has(name) || unzGetCurrentFileInfo64(m_zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            throw Refused(QStringLiteral("不是有效的 Excel 文件：%1").arg(m_path));
        if (qint64(info.uncompressed_size) > m_limits.entryBytes || info.uncompressed_size > (1ull << 62))
            throw tooLarge(name, qint64(std::min<quint64>(info.uncompressed_size, 1ull << 62)), true);
        if (unzOpenCurrentFile(m_zip) != UNZ_OK)
            throw Refused(QStringLiteral("不是有效的 Excel 文件：%1").arg(m_path));
        qint64 total = 0;
        std::vector<char> buffer(1 << 16);
        int got = 0;
        while ((got = unzReadCurrentFile(m_zip, buffer.data(), unsigned(buffer.size()))) > 0) {
            total += got;
            if (total > m_limits.entryBytes)
                throw tooLarge(name, total, false);
            take(buffer.data(), got);
        }
        const int closed = unzCloseCurrentFile(m_zip);
        if (got < 0 || closed != UNZ_OK)
            throw Refused(QStringLiteral("Excel 文件已损坏：%1").arg(m_path));
    }

    QByteArray entry(const QString& name) {
        QByteArray data;
        stream(name, [&data](const char* p, int n) { data.append(p, n); });
        return data;
    }

private:
    // Declared: the size the package states; else what was unpacked before it was stopped.
    Refused tooLarge(const QString& name, qint64 bytes, bool declared) const {
        if (declared)
            return Refused(QStringLiteral("Excel 文件中的 %1 解压后有 %2 MB，超过 %3 MB 的上限，无法导入")
                               .arg(shortened(name), megabytes(bytes), megabytes(m_limits.entryBytes)));
        return Refused(QStringLiteral("Excel 文件中的 %1 解压后超过 %2 MB 的上限，无法导入")
                           .arg(shortened(name), megabytes(m_limits.entryBytes)));
    }

    QString m_path;
    Limits m_limits;
    unzFile m_zip = nullptr;
};

// Parses a part of the package as it is unpacked, calling `token` for each XML token.
void parse(Zip& zip, const QString& name, const QString& path,
           const std::function<void(QXmlStreamReader&, QXmlStreamReader::TokenType)>& token) {
    QXmlStreamReader xml;
    // Fed piece by piece, the reader cannot know where the data ends: the document is whole when
    // its root element has closed.
    int depth = 0;
    bool whole = false;
    auto drain = [&] {
        while (true) {
            const auto t = xml.readNext();
            if (t == QXmlStreamReader::StartElement)
                ++depth;
            else if (t == QXmlStreamReader::EndElement && --depth == 0)
                whole = true;
            if (t == QXmlStreamReader::Invalid) {
                if (xml.error() == QXmlStreamReader::PrematureEndOfDocumentError)
                    return;
                throw Refused(QStringLiteral("Excel 文件已损坏：%1（%2 第 %3 行：%4）")
                                  .arg(path, name)
                                  .arg(xml.lineNumber())
                                  .arg(shortened(xml.errorString(), 80)));
            }
            if (t == QXmlStreamReader::DTD)
                throw Refused(QStringLiteral("Excel 文件已损坏：%1（%2 含有 DTD）").arg(path, name));
            token(xml, t);
            if (t == QXmlStreamReader::EndDocument)
                return;
        }
    };
    zip.stream(name, [&](const char* data, int size) {
        xml.addData(QByteArray(data, size));
        drain();
    });
    drain();
    if (!whole)
        throw Refused(QStringLiteral("Excel 文件已损坏：%1（%2 不完整）").arg(path, name));
}

// The workbook's first sheet: its name and its path inside the package.
struct SheetPart {
    QString name;
    QString path = QStringLiteral("xl/worksheets/sheet1.xml");
};

SheetPart firstSheet(Zip& zip, const QString& path) {
    SheetPart sheet;
    QString id;
    bool found = false;
    parse(zip, QStringLiteral("xl/workbook.xml"), path, [&](QXmlStreamReader& xml, auto t) {
        if (!found && t == QXmlStreamReader::StartElement && xml.name() == QLatin1String("sheet")) {
            found = true;
            sheet.name = shortened(xml.attributes().value(QLatin1String("name")).toString());
            for (const QXmlStreamAttribute& a : xml.attributes())
                if (a.name() == QLatin1String("id"))
                    id = a.value().toString();
        }
    });
    if (id.isEmpty() || !zip.has(QStringLiteral("xl/_rels/workbook.xml.rels")))
        return sheet;
    bool targetFound = false;
    parse(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), path, [&](QXmlStreamReader& xml, auto t) {
        if (!targetFound && t == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("Relationship") &&
            xml.attributes().value(QLatin1String("Id")) == id) {
            targetFound = true;
            const QString target = xml.attributes().value(QLatin1String("Target")).toString();
            // A name inside the package, never a path on disk.
            sheet.path = target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
        }
    });
    return sheet;
}

// The shared strings of the workbook, kept in one block of UTF-8.
class SharedStrings {
public:
    int size() const { return int(m_offsets.size()) - 1; }
    bool tooLong(int i) const { return m_tooLong.contains(i); }
    QByteArray at(int i) const {
        return QByteArray(m_text.constData() + m_offsets[size_t(i)],
                          m_offsets[size_t(i) + 1] - m_offsets[size_t(i)]);
    }

    void read(Zip& zip, const QString& path, const Limits& limits) {
        if (!zip.has(QStringLiteral("xl/sharedStrings.xml")))
            return;
        QString current;
        int phonetic = 0;
        bool inText = false;
        parse(zip, QStringLiteral("xl/sharedStrings.xml"), path, [&](QXmlStreamReader& xml, auto t) {
            switch (t) {
            case QXmlStreamReader::StartElement:
                if (xml.name() == QLatin1String("si"))
                    current.clear();
                else if (xml.name() == QLatin1String("rPh"))
                    ++phonetic;
                else if (xml.name() == QLatin1String("t"))
                    inText = phonetic == 0;
                break;
            case QXmlStreamReader::EndElement:
                if (xml.name() == QLatin1String("si")) {
                    if (size() >= limits.cells)
                        throw Refused(
                            QStringLiteral("Excel 文件中的共享文字超过 %1 条，无法导入").arg(limits.cells));
                    if (current.size() > limits.cellChars) {
                        m_tooLong.insert(size());
                        current.clear();
                    }
                    const QByteArray utf8 = current.toUtf8();
                    if (m_text.size() + utf8.size() > limits.textBytes)
                        throw Refused(QStringLiteral("表格中的文字超过 %1 MB，无法导入")
                                          .arg(megabytes(limits.textBytes)));
                    m_text += utf8;
                    m_offsets.push_back(quint32(m_text.size()));
                } else if (xml.name() == QLatin1String("rPh")) {
                    --phonetic;
                } else if (xml.name() == QLatin1String("t")) {
                    inText = false;
                }
                break;
            case QXmlStreamReader::Characters:
                if (inText && current.size() <= limits.cellChars)
                    current += xml.text().left(limits.cellChars + 1);
                break;
            default:
                break;
            }
        });
    }

private:
    QByteArray m_text;
    std::vector<quint32> m_offsets{0};
    QSet<int> m_tooLong;
};

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
std::vector<bool> dateStyles(Zip& zip, const QString& path, const Limits& limits) {
    std::vector<bool> styles;
    if (!zip.has(QStringLiteral("xl/styles.xml")))
        return styles;
    QHash<int, QString> codes;
    bool inCellXfs = false;
    parse(zip, QStringLiteral("xl/styles.xml"), path, [&](QXmlStreamReader& xml, auto t) {
        if (t == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("numFmt")) {
                if (codes.size() < 10000)
                    codes.insert(xml.attributes().value(QLatin1String("numFmtId")).toInt(),
                                 xml.attributes().value(QLatin1String("formatCode")).left(200).toString());
            } else if (xml.name() == QLatin1String("cellXfs")) {
                inCellXfs = true;
            } else if (inCellXfs && xml.name() == QLatin1String("xf")) {
                if (styles.size() >= size_t(limits.cells))
                    throw Refused(
                        QStringLiteral("Excel 文件中的单元格格式超过 %1 个，无法导入").arg(limits.cells));
                const int id = xml.attributes().value(QLatin1String("numFmtId")).toInt();
                styles.push_back(isDateFormat(id, codes.value(id)));
            }
        } else if (t == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs")) {
            inCellXfs = false;
        }
    });
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

// A row number as a sheet writes it: 1 to 1,048,576 in plain digits; 0 for anything else.
int rowNumber(QStringView text) {
    if (text.isEmpty() || text.size() > 7)
        return 0;
    int n = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return 0;
        n = n * 10 + (c.unicode() - u'0');
    }
    return n <= MaxRow ? n : 0;
}

// A cell reference such as "C7": its column (0 for A) and row; false when it is none or beyond
// column XFD or row 1,048,576.
bool cellReference(QStringView text, int* column, int* row) {
    int i = 0, c = 0;
    while (i < text.size() && text[i] >= u'A' && text[i] <= u'Z') {
        if (++i > 3)
            return false;
        c = c * 26 + (text[i - 1].unicode() - u'A' + 1);
    }
    if (i == 0 || c > MaxColumn)
        return false;
    *column = c - 1;
    *row = rowNumber(text.mid(i));
    return *row > 0;
}

// The first sheet, read into the table.
class SheetReader {
public:
    SheetReader(Table& table, const QString& sheet, const SharedStrings& strings,
                const std::vector<bool>& dates)
        : m_table(table), m_sheet(sheet), m_strings(strings), m_dates(dates) {}

    void token(QXmlStreamReader& xml, QXmlStreamReader::TokenType t) {
        if (t == QXmlStreamReader::StartElement) {
            const auto name = xml.name();
            if (name == QLatin1String("row"))
                startRow(xml);
            else if (name == QLatin1String("c"))
                startCell(xml);
            else if (m_inCell && (name == QLatin1String("v") || name == QLatin1String("t")))
                m_inValue = true;
            else if (m_inCell && name == QLatin1String("rPh"))
                ++m_phonetic;
        } else if (t == QXmlStreamReader::Characters) {
            if (m_inValue && m_phonetic == 0 && m_value.size() <= m_table.limits().cellChars)
                m_value += xml.text().left(m_table.limits().cellChars + 1);
        } else if (t == QXmlStreamReader::EndElement) {
            const auto name = xml.name();
            if (name == QLatin1String("v") || name == QLatin1String("t"))
                m_inValue = false;
            else if (name == QLatin1String("rPh"))
                --m_phonetic;
            else if (name == QLatin1String("c"))
                endCell();
            else if (name == QLatin1String("row"))
                m_inRow = false;
        }
    }

private:
    QString at(const QString& where) const { return QStringLiteral("工作表“%1”%2").arg(m_sheet, where); }

    void startRow(QXmlStreamReader& xml) {
        ++m_rowElements;
        m_inRow = true;
        m_rowOk = false;
        m_column = -1;
        const auto r = xml.attributes().value(QLatin1String("r"));
        const bool given = xml.attributes().hasAttribute(QLatin1String("r"));
        const int number = !given ? (m_row < MaxRow ? m_row + 1 : 0) : rowNumber(r);
        if (number == 0) {
            m_table.problem(0, at(QStringLiteral("第 %1 个 <row>").arg(m_rowElements)),
                            QStringLiteral("行号“%1”无效（应在 1 到 %2 之间），这一行已忽略")
                                .arg(shortened(r.toString()))
                                .arg(MaxRow));
            return;
        }
        if (number <= m_row) {
            m_table.problem(number, at(QStringLiteral("第 %1 行").arg(number)),
                            QStringLiteral("行号不在上一行（第 %1 行）之后，这一行已忽略").arg(m_row));
            return;
        }
        m_row = number;
        m_rowOk = true;
        m_table.addRow(number);
    }

    void startCell(QXmlStreamReader& xml) {
        if (++m_cells > m_table.limits().cells)
            throw Refused(QStringLiteral("表格超过 %1 个单元格，无法导入").arg(m_table.limits().cells));
        m_inCell = false;
        m_value.clear();
        m_phonetic = 0;
        if (!m_inRow || !m_rowOk)
            return; // a cell outside a row, or of a row left out
        const auto r = xml.attributes().value(QLatin1String("r"));
        int column = m_column + 1, row = m_row;
        if (xml.attributes().hasAttribute(QLatin1String("r")) && !cellReference(r, &column, &row)) {
            m_table.problem(
                m_row, at(QStringLiteral("第 %1 行的单元格“%2”").arg(m_row).arg(shortened(r.toString()))),
                QStringLiteral("单元格位置无效（列应在 A 到 XFD 之间，行在 1 到 %1 之间），已忽略")
                    .arg(MaxRow));
            return;
        }
        if (row != m_row) {
            m_table.problem(
                m_row, at(QStringLiteral("第 %1 行的单元格“%2”").arg(m_row).arg(shortened(r.toString()))),
                QStringLiteral("单元格不在它所在的行（第 %1 行），已忽略").arg(m_row));
            return;
        }
        if (column >= MaxColumn || column <= m_column) {
            m_table.problem(m_row, at(QStringLiteral("第 %1 行第 %2 个单元格").arg(m_row).arg(column + 1)),
                            column >= MaxColumn ? QStringLiteral("超过 XFD 列，已忽略")
                                                : QStringLiteral("单元格不在前一个单元格（%1）之后，已忽略")
                                                      .arg(columnName(m_column) + QString::number(m_row)));
            return;
        }
        m_column = column;
        m_inCell = true;
        m_type = xml.attributes().value(QLatin1String("t")).toString().left(20);
        bool ok = false;
        m_style = xml.attributes().value(QLatin1String("s")).toInt(&ok);
        if (!ok)
            m_style = -1;
    }

    void endCell() {
        if (!m_inCell)
            return;
        m_inCell = m_inValue = false;
        const QString where = at(columnName(m_column) + QString::number(m_row));
        if (m_value.size() > m_table.limits().cellChars) {
            m_table.problem(m_row, where,
                            QStringLiteral("文字超过 %1 个字符，已忽略").arg(m_table.limits().cellChars));
            return;
        }
        if (m_type == QLatin1String("s")) {
            bool ok = false;
            const int index = m_value.toInt(&ok);
            if (!ok || index < 0 || index >= m_strings.size()) {
                m_table.problem(m_row, where,
                                QStringLiteral("共享文字编号“%1”无效，已忽略").arg(shortened(m_value)));
                return;
            }
            if (m_strings.tooLong(index)) {
                m_table.problem(m_row, where,
                                QStringLiteral("文字超过 %1 个字符，已忽略").arg(m_table.limits().cellChars));
                return;
            }
            m_table.addCell(m_column, m_strings.at(index));
            return;
        }
        QString text = m_value;
        if (m_type == QLatin1String("b")) {
            text = m_value == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        } else if (m_type.isEmpty() || m_type == QLatin1String("n")) {
            bool ok = false;
            const double number = m_value.toDouble(&ok);
            if (ok && std::isfinite(number)) {
                // Dates from the year 1900 to 9999 only: anything else is shown as the number.
                const bool date = m_style >= 0 && size_t(m_style) < m_dates.size() &&
                                  m_dates[size_t(m_style)] && number >= 0 && number < 2958466;
                text = date ? serialToText(number) : formatGeneral(number);
            }
        }
        m_table.addCell(m_column, QStringView(text));
    }

    Table& m_table;
    QString m_sheet;
    const SharedStrings& m_strings;
    const std::vector<bool>& m_dates;
    qint64 m_rowElements = 0, m_cells = 0;
    int m_row = 0, m_column = -1, m_style = -1, m_phonetic = 0;
    bool m_inRow = false, m_rowOk = false, m_inCell = false, m_inValue = false;
    QString m_type, m_value;
};

Table readXlsx(const QString& path, const Limits& limits) {
    Zip zip(path, limits);
    const SheetPart sheet = firstSheet(zip, path);
    SharedStrings strings;
    strings.read(zip, path, limits);
    const std::vector<bool> dates = dateStyles(zip, path, limits);
    Table table(limits);
    SheetReader reader(table, sheet.name, strings, dates);
    parse(zip, sheet.path, path, [&](QXmlStreamReader& xml, auto t) { reader.token(xml, t); });
    return table;
}

} // namespace

Table read(const QString& path, const Limits& limits) {
    Format format;
    if (!formatOf(path, &format))
        throw Refused(QStringLiteral("只能导入 .xlsx 或 .csv 文件"));
    if (!QFileInfo(path).isFile())
        throw Refused(QStringLiteral("不是文件：%1").arg(path));
    if (format == Format::Xlsx)
        return readXlsx(path, limits);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Refused(QStringLiteral("无法读取文件：%1（%2）").arg(path, file.errorString()));
    return readCsvFrom(file, limits);
}

} // namespace Spreadsheet
