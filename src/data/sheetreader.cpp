// Reading spreadsheet files written by someone else: every size, count and reference in them is
// checked before memory is given for it. An .xlsx file is a zip package of XML parts; each part is
// unpacked piece by piece into expat's XML parser, never whole. A CSV file is decoded and split
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
#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <expat.h>
#include <limits>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <unzip.h>

namespace Spreadsheet {

namespace {

QString megabytes(qint64 bytes) {
    const double mb = double(bytes) / 1e6;
    return mb >= 100 ? QString::number(mb, 'f', 0) : QString::number(mb, 'g', 3);
}

// The number of UTF-16 characters of well-formed UTF-8 (the length of its QString).
qsizetype utf16Length(QByteArrayView text) {
    qsizetype n = 0;
    for (const char c : text)
        n += ((uchar(c) & 0xC0) != 0x80) + (uchar(c) >= 0xF0); // four bytes make two characters
    return n;
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
            return QByteArrayView(m_text.data() + m_cells[i].offset, stop - m_cells[i].offset);
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
    if (qint64(m_text.size()) + size > m_limits.textBytes)
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

void Table::addCell(int column, QByteArrayView utf8) {
    addText(utf8.data(), utf8.size(), column);
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

// Splits CSV text in UTF-8 into cells as it comes, a piece at a time. The separators are ASCII, so
// they are never part of a character of several bytes.
class CsvSplitter {
public:
    explicit CsvSplitter(Table& table) : m_table(table) {}

    void take(QByteArrayView text) {
        const char* const end = text.data() + text.size();
        for (const char* p = text.data(); p < end; ++p) {
            const char c = *p;
            if (m_afterCr) {
                m_afterCr = false;
                if (c == '\n')
                    continue; // the LF of a CR LF
            }
            if (m_quoted) {
                if (m_quoteSeen) {
                    m_quoteSeen = false;
                    if (c == '"') {
                        append(c);
                        continue;
                    }
                    m_quoted = false; // the closing quote; c is read as outside quotes
                } else if (c == '"') {
                    m_quoteSeen = true;
                    continue;
                } else {
                    // The run of plain bytes up to the next quote at once.
                    const char* quote = static_cast<const char*>(std::memchr(p, '"', size_t(end - p)));
                    const char* stop = quote ? quote : end;
                    append(p, stop - p);
                    p = stop - 1;
                    continue;
                }
            }
            if (c == '"' && m_field.empty() && !m_fieldStarted) {
                m_quoted = m_fieldStarted = true;
                startRecord();
            } else if (c == ',') {
                startRecord();
                endField();
            } else if (c == '\r' || c == '\n') {
                startRecord();
                endField();
                m_inRecord = false;
                m_column = 0;
                m_afterCr = c == '\r';
            } else {
                startRecord();
                m_fieldStarted = true;
                const char* q = p + 1;
                while (q < end && *q != ',' && *q != '"' && *q != '\r' && *q != '\n')
                    ++q;
                append(p, q - p);
                p = q - 1;
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
    // Bytes of the field are kept up to four for each character a cell holds and one more: more
    // bytes than that are always more characters than a cell holds.
    void append(const char* data, qsizetype size) {
        const size_t most = 4 * (size_t(m_table.limits().cellChars) + 1);
        if (m_field.size() < most)
            m_field.append(data, std::min(size_t(size), most - m_field.size()));
    }
    void append(char c) { append(&c, 1); }
    void endField() {
        if (++m_cells > m_table.limits().cells)
            throw Refused(QStringLiteral("表格超过 %1 个单元格，无法导入").arg(m_table.limits().cells));
        const int column = m_column++;
        // Bytes that are no UTF-8 become U+FFFD, as a decoder of the whole text makes them.
        if (!QByteArrayView(m_field).isValidUtf8())
            m_field = QString::fromUtf8(QByteArrayView(m_field)).toUtf8().toStdString();
        if (column >= MaxColumn) {
            if (column == MaxColumn)
                m_table.problem(m_record, QStringLiteral("第 %1 行").arg(m_record),
                                QStringLiteral("超过 %1 列，其余的列已忽略").arg(MaxColumn));
        } else if (utf16Length(QByteArrayView(m_field)) > m_table.limits().cellChars) {
            m_table.problem(m_record, QStringLiteral("第 %1 行第 %2 列").arg(m_record).arg(column + 1),
                            QStringLiteral("文字超过 %1 个字符，已忽略").arg(m_table.limits().cellChars));
        } else {
            // An export writes an apostrophe before a text that a spreadsheet would run as a
            // formula (and before one that begins with such an apostrophe already); it goes
            // again here.
            const auto guarded = [](QByteArrayView t) {
                return t.size() > 1 && t[0] == '\'' && std::strchr("=+-@\t\r", t[1]) && t[1] != '\0';
            };
            const QByteArrayView field(m_field);
            if (guarded(field) || (field.size() > 2 && field[0] == '\'' && guarded(field.sliced(1))))
                m_table.addCell(column, field.sliced(1));
            else
                m_table.addCell(column, field);
        }
        m_field.clear();
        m_fieldStarted = false;
        m_quoted = m_quoteSeen = false;
    }

    Table& m_table;
    std::string m_field; // keeps its room from field to field
    int m_record = 0;
    int m_column = 0;
    qint64 m_cells = 0;
    bool m_inRecord = false, m_fieldStarted = false, m_quoted = false, m_quoteSeen = false, m_afterCr = false;
};

// The length of the incomplete UTF-8 character at the end of the bytes (0 when the last one is
// whole).
qsizetype incompleteTail(QByteArrayView bytes) {
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, bytes.size()); ++back) {
        const uchar c = uchar(bytes[bytes.size() - back]);
        if ((c & 0xC0) == 0x80)
            continue; // a continuation byte: look further back
        const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

// Reads the CSV text from the device: UTF-8 (`decoder` null), else in the decoder's encoding.
// With `strict`, false when the text is not UTF-8 (nothing is kept of it then).
bool readCsvAs(QIODevice& device, QStringDecoder* decoder, bool strict, Table* table) {
    CsvSplitter splitter(*table);
    const qint64 most = table->limits().csvBytes;
    qint64 total = 0;
    QByteArray chunk, carried;
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
        if (decoder) {
            splitter.take(QString(decoder->decode(chunk)).toUtf8());
            continue;
        }
        if (!carried.isEmpty())
            chunk.prepend(carried);
        // A character cut by the end of the piece waits for the rest of it.
        const qsizetype tail = incompleteTail(chunk);
        carried = chunk.right(tail);
        chunk.chop(tail);
        if (strict && !QByteArrayView(chunk).isValidUtf8())
            return false;
        splitter.take(chunk);
    }
    if (decoder)
        splitter.take(QString(decoder->decode(QByteArrayView())).toUtf8());
    else
        splitter.take(carried); // a character cut off at the end of the file: U+FFFD
    splitter.finish();
    return true;
}

Table readCsvFrom(QIODevice& device, const Limits& limits) {
    if (!device.isSequential() && device.size() > limits.csvBytes)
        throw Refused(QStringLiteral("CSV 文件有 %1 MB，超过 %2 MB 的上限，无法导入")
                          .arg(megabytes(device.size()), megabytes(limits.csvBytes)));
    if (device.peek(3) == QByteArray("\xEF\xBB\xBF")) {
        device.read(3);
        Table table(limits);
        readCsvAs(device, nullptr, false, &table);
        return table;
    }
    {
        // Text that is not valid UTF-8 is what Excel saves on Chinese systems: GB18030.
        Table table(limits);
        if (readCsvAs(device, nullptr, true, &table))
            return table;
    }
    if (device.isSequential() || !device.seek(0))
        throw Refused(QStringLiteral("无法识别文件的编码"));
    QStringDecoder gb("GB18030");
    if (!gb.isValid())
        throw Refused(QStringLiteral("无法识别文件的编码"));
    Table table(limits);
    readCsvAs(device, &gb, false, &table);
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
        int got = 0;
        if (info.uncompressed_size > quint64(Piece) * 16) {
            got = unpackBeside(name, take, &total);
        } else {
            std::vector<char> buffer(Piece);
            while ((got = unzReadCurrentFile(m_zip, buffer.data(), unsigned(buffer.size()))) > 0) {
                total += got;
                if (total > m_limits.entryBytes)
                    throw tooLarge(name, total, false);
                take(buffer.data(), got);
            }
        }
        const int closed = unzCloseCurrentFile(m_zip);
        if (got < 0 || closed != UNZ_OK)
            throw Refused(QStringLiteral("Excel 文件已损坏：%1").arg(m_path));
    }

    // A large part is unpacked by a second thread while this one takes the pieces: at most a few
    // pieces wait between them. Returns what the last read returned (negative: damaged).
    int unpackBeside(const QString& name, const std::function<void(const char*, int)>& take, qint64* total) {
        struct Queue {
            std::mutex mutex;
            std::condition_variable changed;
            std::deque<std::vector<char>> pieces;
            bool finished = false, stopped = false;
            int last = 0;
        } queue;
        std::thread unpacker([this, &queue, total] {
            while (true) {
                std::vector<char> piece(Piece);
                const int got = unzReadCurrentFile(m_zip, piece.data(), unsigned(piece.size()));
                std::unique_lock lock(queue.mutex);
                if (got > 0)
                    *total += got;
                if (got <= 0 || *total > m_limits.entryBytes || queue.stopped) {
                    queue.last = got;
                    queue.finished = true;
                    queue.changed.notify_all();
                    return;
                }
                piece.resize(size_t(got));
                queue.changed.wait(lock, [&] { return queue.pieces.size() < 4 || queue.stopped; });
                queue.pieces.push_back(std::move(piece));
                queue.changed.notify_all();
            }
        });
        // The thread ends whatever happens here.
        struct Join {
            Queue& queue;
            std::thread& thread;
            ~Join() {
                {
                    std::lock_guard lock(queue.mutex);
                    queue.stopped = true;
                }
                queue.changed.notify_all();
                thread.join();
            }
        } join{queue, unpacker};
        while (true) {
            std::vector<char> piece;
            {
                std::unique_lock lock(queue.mutex);
                queue.changed.wait(lock, [&] { return !queue.pieces.empty() || queue.finished; });
                if (queue.pieces.empty()) {
                    if (*total > m_limits.entryBytes)
                        throw tooLarge(name, *total, false);
                    return queue.last;
                }
                piece = std::move(queue.pieces.front());
                queue.pieces.pop_front();
                queue.changed.notify_all();
            }
            take(piece.data(), int(piece.size()));
        }
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

    static constexpr int Piece = 1 << 16;
    QString m_path;
    Limits m_limits;
    unzFile m_zip = nullptr;
};

// The events of an XML part: elements by their local names (without a prefix), attributes as
// expat hands them (name, value, … , null), texts in UTF-8 in pieces.
class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    virtual void start(QByteArrayView name, const char** attributes) = 0;
    virtual void end(QByteArrayView name) = 0;
    virtual void text(QByteArrayView text) = 0;
};

QByteArrayView localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return QByteArrayView(colon ? colon + 1 : name);
}

// The value of the attribute of this name (as written, prefix and all); null when absent.
QByteArrayView attribute(const char** attributes, const char* name) {
    for (const char** a = attributes; *a; a += 2)
        if (std::strcmp(*a, name) == 0)
            return QByteArrayView(a[1]);
    return QByteArrayView();
}

// A reader of XML in UTF-8 made for the sheets' size: it hands the elements, attributes and texts
// over as expat does, checking what makes the document well-formed (UTF-8 and characters, tag
// nesting, quoting, references of the predefined entities and characters), and refuses any DTD.
// Parts in another encoding go to expat.
class Utf8Xml {
public:
    // `fail` raises the part's error with a line number and a reason.
    Utf8Xml(XmlHandler& handler, std::function<void(qint64, const QString&)> fail)
        : m_handler(handler), m_fail(std::move(fail)) {}

    bool whole() const { return m_closed; }

    void feed(const char* data, qsizetype size) {
        // A character cut by the end of the piece waits for the rest of it.
        m_buffer.append(data, size_t(size));
        const qsizetype start = m_checked;
        const qsizetype tail = incompleteTail(QByteArrayView(m_buffer).sliced(start));
        const QByteArrayView fresh =
            QByteArrayView(m_buffer).sliced(start, qsizetype(m_buffer.size()) - start - tail);
        if (!fresh.isValidUtf8())
            error(QStringLiteral("not well-formed (invalid UTF-8)"));
        // Without a branch a byte, so that the compiler checks many bytes at once.
        bool control = false;
        for (const char c : fresh)
            control |= (uchar(c) < 0x20) & (c != '\t') & (c != '\n') & (c != '\r');
        if (control)
            error(QStringLiteral("not well-formed (invalid character)"));
        m_checked = qsizetype(m_buffer.size()) - tail;
        scan(m_checked);
    }

    void doctype() { throw Dtd(); }
    struct Dtd {};

private:
    // The markup and text up to `end` (the bytes checked so far); what is not whole yet stays.
    void scan(qsizetype end) {
        const char* b = m_buffer.data();
        qsizetype i = 0;
        while (i < end) {
            if (b[i] != '<') {
                const char* lt = static_cast<const char*>(std::memchr(b + i, '<', size_t(end - i)));
                qsizetype stop = lt ? lt - b : end;
                if (!lt) {
                    // Keep back a reference or a CR that the next piece may finish.
                    const char* amp = static_cast<const char*>(std::memchr(b + i, '&', size_t(end - i)));
                    while (amp && std::memchr(amp, ';', size_t(b + end - amp)))
                        amp = static_cast<const char*>(std::memchr(amp + 1, '&', size_t(b + end - amp - 1)));
                    if (amp)
                        stop = amp - b;
                    if (stop > i && b[stop - 1] == '\r')
                        --stop;
                    if (stop == i) {
                        if (end - i > 64)
                            error(QStringLiteral("undefined entity"));
                        break;
                    }
                }
                characters(b + i, stop - i);
                i = stop;
                continue;
            }
            const qsizetype left = end - i;
            if (left < 2)
                break;
            const char c = b[i + 1];
            qsizetype next = -1;
            if (c == '?') {
                next = find(b, i + 2, end, "?>");
                if (next >= 0)
                    next += 2;
            } else if (c == '!') {
                if (left >= 4 && std::memcmp(b + i, "<!--", 4) == 0) {
                    next = find(b, i + 4, end, "-->");
                    if (next >= 0)
                        next += 3;
                } else if (left >= 9 && std::memcmp(b + i, "<![CDATA[", 9) == 0) {
                    next = find(b, i + 9, end, "]]>");
                    if (next >= 0) {
                        if (m_stack.empty())
                            error(QStringLiteral("not well-formed (CDATA outside the root element)"));
                        text(b + i + 9, next - i - 9, false);
                        next += 3;
                    }
                } else if (left >= 9 && std::memcmp(b + i, "<!DOCTYPE", 9) == 0) {
                    doctype();
                } else if (left >= 9) {
                    error(QStringLiteral("not well-formed (invalid token)"));
                }
            } else {
                next = tagEnd(b, i + 1, end);
                if (next < -1)
                    error(QStringLiteral("not well-formed (invalid token)"));
                if (next >= 0) {
                    if (c == '/')
                        endTag(b + i + 2, next - i - 2);
                    else
                        startTag(b + i + 1, next - i - 1);
                    ++next;
                }
            }
            if (next < 0) {
                if (left > MaxToken)
                    error(QStringLiteral("not well-formed (token too long)"));
                break;
            }
            i = next;
        }
        m_line += std::count(b, b + i, '\n');
        m_buffer.erase(0, size_t(i));
        m_checked -= i;
    }

    static qsizetype find(const char* b, qsizetype from, qsizetype end, const char* what) {
        const std::string_view haystack(b + from, size_t(end - from));
        const size_t at = haystack.find(what);
        return at == std::string_view::npos ? -1 : from + qsizetype(at);
    }

    // The '>' that ends the tag begun before `from`, outside quotes; -1 when not here yet.
    static qsizetype tagEnd(const char* b, qsizetype from, qsizetype end) {
        char quote = 0;
        for (qsizetype i = from; i < end; ++i) {
            const char c = b[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i;
            } else if (c == '<') {
                return -2 - i; // never whole: reported by the caller as an error below
            }
        }
        return -1;
    }

    static bool space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool nameChar(char c) {
        return !space(c) && c != '/' && c != '>' && c != '<' && c != '=' && c != '"' && c != '\'' &&
               c != '&' && c != '!' && c != '?';
    }

    void startTag(const char* p, qsizetype size) {
        if (size < 0)
            error(QStringLiteral("not well-formed (invalid token)"));
        if (m_closed)
            error(QStringLiteral("junk after document element"));
        const bool empty = size > 0 && p[size - 1] == '/';
        const char* end = p + size - (empty ? 1 : 0);
        const char* q = p;
        while (q < end && nameChar(*q))
            ++q;
        if (q == p)
            error(QStringLiteral("not well-formed (invalid token)"));
        m_arena.clear();
        m_arena.append(p, size_t(q - p)).push_back('\0');
        std::vector<size_t>& offsets = m_offsets;
        offsets.clear();
        while (q < end) {
            const char* at = q;
            while (q < end && space(*q))
                ++q;
            if (q == end)
                break;
            if (q == at)
                error(QStringLiteral("not well-formed (invalid token)"));
            const char* name = q;
            while (q < end && nameChar(*q))
                ++q;
            const char* nameEnd = q;
            while (q < end && space(*q))
                ++q;
            if (name == nameEnd || q == end || *q != '=')
                error(QStringLiteral("not well-formed (invalid token)"));
            ++q;
            while (q < end && space(*q))
                ++q;
            if (q == end || (*q != '"' && *q != '\''))
                error(QStringLiteral("not well-formed (invalid token)"));
            const char quote = *q++;
            const char* value = q;
            while (q < end && *q != quote)
                ++q;
            if (q == end)
                error(QStringLiteral("not well-formed (invalid token)"));
            const std::string_view attributeName(name, size_t(nameEnd - name));
            for (size_t k = 0; k < offsets.size(); k += 2)
                if (std::string_view(m_arena.data() + offsets[k]) == attributeName)
                    error(QStringLiteral("duplicate attribute"));
            offsets.push_back(m_arena.size());
            m_arena.append(attributeName).push_back('\0');
            offsets.push_back(m_arena.size());
            decode(value, q - value, true, &m_arena);
            m_arena.push_back('\0');
            ++q;
        }
        m_attributes.clear();
        for (const size_t offset : offsets)
            m_attributes.push_back(m_arena.data() + offset);
        m_attributes.push_back(nullptr);
        m_stack.emplace_back(m_arena.data());
        if (m_stack.size() > MaxDepth)
            error(QStringLiteral("not well-formed (elements nested too deep)"));
        m_handler.start(localName(m_arena.data()), m_attributes.data());
        if (empty)
            close();
    }

    void endTag(const char* p, qsizetype size) {
        if (size < 0)
            error(QStringLiteral("not well-formed (invalid token)"));
        qsizetype n = size;
        while (n > 0 && space(p[n - 1]))
            --n;
        if (m_stack.empty() || std::string_view(p, size_t(n)) != m_stack.back())
            error(QStringLiteral("mismatched tag"));
        close();
    }

    void close() {
        const std::string name = std::move(m_stack.back());
        m_stack.pop_back();
        if (m_stack.empty())
            m_closed = true;
        m_handler.end(localName(name.c_str()));
    }

    void characters(const char* p, qsizetype size) {
        if (m_stack.empty()) {
            for (qsizetype i = 0; i < size; ++i)
                if (!space(p[i]))
                    error(m_closed ? QStringLiteral("junk after document element")
                                   : QStringLiteral("not well-formed (text outside the root element)"));
            return;
        }
        text(p, size, true);
    }

    // A text: references replaced (unless `raw`, for CDATA) and line ends made LF.
    void text(const char* p, qsizetype size, bool references) {
        if ((!references || !std::memchr(p, '&', size_t(size))) && !std::memchr(p, '\r', size_t(size))) {
            if (size > 0)
                m_handler.text(QByteArrayView(p, size));
            return;
        }
        m_text.clear();
        if (references)
            decode(p, size, false, &m_text);
        else
            for (qsizetype i = 0; i < size; ++i)
                if (p[i] != '\r')
                    m_text.push_back(p[i]);
                else if (i + 1 >= size || p[i + 1] != '\n')
                    m_text.push_back('\n');
        if (!m_text.empty())
            m_handler.text(QByteArrayView(m_text.data(), qsizetype(m_text.size())));
    }

    // Appends the text with its references replaced; an attribute's blanks become spaces.
    void decode(const char* p, qsizetype size, bool attribute, std::string* out) {
        if (std::none_of(p, p + size, [](char c) {
                return c == '&' || c == '<' || c == '\r' || c == '\n' || c == '\t';
            })) {
            out->append(p, size_t(size));
            return;
        }
        for (qsizetype i = 0; i < size; ++i) {
            const char c = p[i];
            if (c == '<')
                error(QStringLiteral("not well-formed (invalid token)"));
            if (c == '\r') {
                if (i + 1 < size && p[i + 1] == '\n')
                    continue;
                out->push_back(attribute ? ' ' : '\n');
            } else if (attribute && (c == '\n' || c == '\t')) {
                out->push_back(' ');
            } else if (c != '&') {
                out->push_back(c);
            } else {
                const char* semicolon = static_cast<const char*>(std::memchr(p + i, ';', size_t(size - i)));
                if (!semicolon)
                    error(QStringLiteral("not well-formed (invalid token)"));
                const std::string_view entity(p + i + 1, size_t(semicolon - p - i - 1));
                i = semicolon - p;
                if (entity == "lt")
                    out->push_back('<');
                else if (entity == "gt")
                    out->push_back('>');
                else if (entity == "amp")
                    out->push_back('&');
                else if (entity == "quot")
                    out->push_back('"');
                else if (entity == "apos")
                    out->push_back('\'');
                else if (entity.size() > 1 && entity[0] == '#')
                    character(entity.substr(1), out);
                else
                    error(QStringLiteral("undefined entity"));
            }
        }
    }

    // A character reference ("#65", "#x41") in UTF-8.
    void character(std::string_view number, std::string* out) {
        const bool hex = !number.empty() && number[0] == 'x';
        if (hex)
            number.remove_prefix(1);
        char32_t code = 0;
        if (number.empty() || number.size() > 8)
            error(QStringLiteral("reference to invalid character number"));
        for (const char c : number) {
            const int digit = c >= '0' && c <= '9'          ? c - '0'
                              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                            : -1;
            if (digit < 0)
                error(QStringLiteral("reference to invalid character number"));
            code = code * (hex ? 16 : 10) + char32_t(digit);
        }
        const bool allowed = code == 0x9 || code == 0xA || code == 0xD || (code >= 0x20 && code <= 0xD7FF) ||
                             (code >= 0xE000 && code <= 0xFFFD) || (code >= 0x10000 && code <= 0x10FFFF);
        if (!allowed)
            error(QStringLiteral("reference to invalid character number"));
        const QByteArray utf8 = QString::fromUcs4(&code, 1).toUtf8();
        out->append(utf8.constData(), size_t(utf8.size()));
    }

    [[noreturn]] void error(const QString& why) {
        m_fail(m_line + 1, why);
        throw std::logic_error("unreachable");
    }

    static constexpr qsizetype MaxToken = 1 << 20; // one tag, comment or CDATA section
    static constexpr size_t MaxDepth = 1000;
    XmlHandler& m_handler;
    std::function<void(qint64, const QString&)> m_fail;
    std::string m_buffer;    // what came and is not read yet
    qsizetype m_checked = 0; // of it, the bytes checked (whole characters)
    qint64 m_line = 0;       // the lines read before the buffer
    std::vector<std::string> m_stack;
    bool m_closed = false;
    std::string m_arena, m_text;
    std::vector<size_t> m_offsets;
    std::vector<const char*> m_attributes;
};

// Whether the part begins as XML in UTF-8 does: its declaration names no other encoding.
bool utf8Declared(QByteArrayView start) {
    if (start.startsWith("\xEF\xBB\xBF"))
        start = start.sliced(3);
    if (!start.startsWith("<?xml"))
        return start.startsWith("<");
    const qsizetype end = start.indexOf("?>");
    if (end < 0)
        return false;
    const QByteArray declaration = start.first(end).toByteArray().toLower();
    const qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return true;
    QByteArray rest = declaration.mid(at + 8).trimmed();
    if (!rest.startsWith('='))
        return false;
    rest = rest.mid(1).trimmed();
    return rest.startsWith("\"utf-8\"") || rest.startsWith("'utf-8'");
}

// Parses a part of the package as it is unpacked: in UTF-8 (as every spreadsheet program writes
// it) with the reader above, else with expat. No DTD is accepted (so no entity of one), nothing
// outside the part is ever loaded, and a handler's exception stops the parser and comes out here.
void parse(Zip& zip, const QString& name, const QString& path, XmlHandler& handler) {
    struct State {
        XML_Parser parser = nullptr;
        XmlHandler* handler = nullptr;
        std::exception_ptr failure;
        bool dtd = false;
        int depth = 0;
        bool whole = false; // the root element has closed
        void stop(std::exception_ptr e) {
            if (!failure)
                failure = e;
            XML_StopParser(parser, XML_FALSE);
        }
    } state;
    std::unique_ptr<std::remove_pointer_t<XML_Parser>, decltype(&XML_ParserFree)> parser(
        XML_ParserCreate("UTF-8"), &XML_ParserFree);
    if (!parser)
        throw std::bad_alloc();
    state.parser = parser.get();
    state.handler = &handler;
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(
        parser.get(),
        [](void* data, const XML_Char* element, const XML_Char** attributes) {
            auto* s = static_cast<State*>(data);
            if (s->failure)
                return;
            ++s->depth;
            try {
                s->handler->start(localName(element), attributes);
            } catch (...) {
                s->stop(std::current_exception());
            }
        },
        [](void* data, const XML_Char* element) {
            auto* s = static_cast<State*>(data);
            if (s->failure)
                return;
            if (--s->depth == 0)
                s->whole = true;
            try {
                s->handler->end(localName(element));
            } catch (...) {
                s->stop(std::current_exception());
            }
        });
    XML_SetCharacterDataHandler(parser.get(), [](void* data, const XML_Char* text, int size) {
        auto* s = static_cast<State*>(data);
        if (s->failure)
            return;
        try {
            s->handler->text(QByteArrayView(text, size));
        } catch (...) {
            s->stop(std::current_exception());
        }
    });
    XML_SetStartDoctypeDeclHandler(parser.get(),
                                   [](void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
                                       auto* s = static_cast<State*>(data);
                                       s->dtd = true;
                                       XML_StopParser(s->parser, XML_FALSE);
                                   });
    auto check = [&](XML_Status status) {
        if (state.failure)
            std::rethrow_exception(state.failure);
        if (state.dtd)
            throw Refused(QStringLiteral("Excel 文件已损坏：%1（%2 含有 DTD）").arg(path, name));
        if (status != XML_STATUS_OK)
            throw Refused(
                QStringLiteral("Excel 文件已损坏：%1（%2 第 %3 行：%4）")
                    .arg(path, name)
                    .arg(XML_GetCurrentLineNumber(parser.get()))
                    .arg(shortened(QString::fromUtf8(XML_ErrorString(XML_GetErrorCode(parser.get()))), 80)));
    };
    Utf8Xml fast(handler, [&](qint64 line, const QString& why) {
        throw Refused(
            QStringLiteral("Excel 文件已损坏：%1（%2 第 %3 行：%4）").arg(path, name).arg(line).arg(why));
    });
    enum class Reader { Unknown, Fast, Expat } reader = Reader::Unknown;
    // Fed piece by piece, the parser is never told where the data ends: the document is whole
    // when its root element has closed.
    try {
        zip.stream(name, [&](const char* data, int size) {
            if (reader == Reader::Unknown) {
                reader = utf8Declared(QByteArrayView(data, size)) ? Reader::Fast : Reader::Expat;
                if (reader == Reader::Fast && QByteArrayView(data, size).startsWith("\xEF\xBB\xBF")) {
                    data += 3; // the byte-order mark
                    size -= 3;
                }
            }
            if (reader == Reader::Fast)
                fast.feed(data, size);
            else
                check(XML_Parse(parser.get(), data, size, XML_FALSE));
        });
    } catch (const Utf8Xml::Dtd&) {
        throw Refused(QStringLiteral("Excel 文件已损坏：%1（%2 含有 DTD）").arg(path, name));
    }
    if (reader == Reader::Fast ? !fast.whole() : !state.whole)
        throw Refused(QStringLiteral("Excel 文件已损坏：%1（%2 不完整）").arg(path, name));
}

// The workbook's first sheet: its name and its path inside the package.
struct SheetPart {
    QString name;
    QString path = QStringLiteral("xl/worksheets/sheet1.xml");
};

SheetPart firstSheet(Zip& zip, const QString& path) {
    struct Workbook : XmlHandler {
        SheetPart sheet;
        QByteArray id;
        bool found = false;
        void start(QByteArrayView name, const char** attributes) override {
            if (found || name != "sheet")
                return;
            found = true;
            sheet.name = shortened(QString::fromUtf8(attribute(attributes, "name")));
            for (const char** a = attributes; *a; a += 2)
                if (localName(*a) == "id")
                    id = a[1];
        }
        void end(QByteArrayView) override {}
        void text(QByteArrayView) override {}
    } workbook;
    parse(zip, QStringLiteral("xl/workbook.xml"), path, workbook);
    SheetPart& sheet = workbook.sheet;
    if (workbook.id.isEmpty() || !zip.has(QStringLiteral("xl/_rels/workbook.xml.rels")))
        return sheet;
    struct Relations : XmlHandler {
        QByteArray id;
        SheetPart* sheet = nullptr;
        bool found = false;
        void start(QByteArrayView name, const char** attributes) override {
            if (found || name != "Relationship" || attribute(attributes, "Id") != id)
                return;
            found = true;
            const QString target = QString::fromUtf8(attribute(attributes, "Target"));
            // A name inside the package, never a path on disk.
            sheet->path =
                target.startsWith(QLatin1Char('/')) ? target.mid(1) : QStringLiteral("xl/") + target;
        }
        void end(QByteArrayView) override {}
        void text(QByteArrayView) override {}
    } relations;
    relations.id = workbook.id;
    relations.sheet = &sheet;
    parse(zip, QStringLiteral("xl/_rels/workbook.xml.rels"), path, relations);
    return sheet;
}

// The text of a cell or shared string, gathered from its pieces: kept up to one character more
// than a cell holds, so that a longer one is known as such without keeping it.
class CellText {
public:
    void clear() {
        m_text.clear(); // keeps its room
        m_length = 0;
    }
    void add(QByteArrayView piece, int most) {
        if (m_length > most)
            return;
        m_text.append(piece.data(), size_t(piece.size()));
        m_length += utf16Length(piece);
    }
    bool tooLong(int most) const { return m_length > most; }
    QByteArrayView utf8() const { return QByteArrayView(m_text.data(), qsizetype(m_text.size())); }

private:
    std::string m_text;
    qsizetype m_length = 0;
};

// The shared strings of the workbook, kept in one block of UTF-8.
class SharedStrings : public XmlHandler {
public:
    int size() const { return int(m_offsets.size()) - 1; }
    bool tooLong(int i) const { return m_tooLong.contains(i); }
    QByteArrayView at(int i) const {
        return QByteArrayView(m_text.constData() + m_offsets[size_t(i)],
                              m_offsets[size_t(i) + 1] - m_offsets[size_t(i)]);
    }

    void read(Zip& zip, const QString& path, const Limits& limits) {
        if (!zip.has(QStringLiteral("xl/sharedStrings.xml")))
            return;
        m_limits = limits;
        parse(zip, QStringLiteral("xl/sharedStrings.xml"), path, *this);
    }

    void start(QByteArrayView name, const char**) override {
        if (name == "si")
            m_current.clear();
        else if (name == "rPh")
            ++m_phonetic;
        else if (name == "t")
            m_inText = m_phonetic == 0;
    }
    void end(QByteArrayView name) override {
        if (name == "si") {
            if (size() >= m_limits.cells)
                throw Refused(
                    QStringLiteral("Excel 文件中的共享文字超过 %1 条，无法导入").arg(m_limits.cells));
            if (m_current.tooLong(m_limits.cellChars)) {
                m_tooLong.insert(size());
                m_current.clear();
            }
            const QByteArrayView utf8 = m_current.utf8();
            if (m_text.size() + utf8.size() > m_limits.textBytes)
                throw Refused(
                    QStringLiteral("表格中的文字超过 %1 MB，无法导入").arg(megabytes(m_limits.textBytes)));
            m_text += utf8;
            m_offsets.push_back(quint32(m_text.size()));
        } else if (name == "rPh") {
            --m_phonetic;
        } else if (name == "t") {
            m_inText = false;
        }
    }
    void text(QByteArrayView text) override {
        if (m_inText)
            m_current.add(text, m_limits.cellChars);
    }

private:
    Limits m_limits;
    CellText m_current;
    int m_phonetic = 0;
    bool m_inText = false;
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

// An attribute's whole number as QString::toInt() reads it (0 when it is none).
int attributeNumber(QByteArrayView value, bool* ok = nullptr) {
    return QString::fromUtf8(value).toInt(ok);
}

// For every cell style: whether it shows a date.
std::vector<bool> dateStyles(Zip& zip, const QString& path, const Limits& limits) {
    struct Styles : XmlHandler {
        Limits limits;
        std::vector<bool> styles;
        QHash<int, QString> codes;
        bool inCellXfs = false;
        void start(QByteArrayView name, const char** attributes) override {
            if (name == "numFmt") {
                if (codes.size() < 10000)
                    codes.insert(attributeNumber(attribute(attributes, "numFmtId")),
                                 QString::fromUtf8(attribute(attributes, "formatCode")).left(200));
            } else if (name == "cellXfs") {
                inCellXfs = true;
            } else if (inCellXfs && name == "xf") {
                if (styles.size() >= size_t(limits.cells))
                    throw Refused(
                        QStringLiteral("Excel 文件中的单元格格式超过 %1 个，无法导入").arg(limits.cells));
                const int id = attributeNumber(attribute(attributes, "numFmtId"));
                styles.push_back(isDateFormat(id, codes.value(id)));
            }
        }
        void end(QByteArrayView name) override {
            if (name == "cellXfs")
                inCellXfs = false;
        }
        void text(QByteArrayView) override {}
    } styles;
    if (!zip.has(QStringLiteral("xl/styles.xml")))
        return {};
    styles.limits = limits;
    parse(zip, QStringLiteral("xl/styles.xml"), path, styles);
    return std::move(styles.styles);
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
int rowNumber(QByteArrayView text) {
    if (text.isEmpty() || text.size() > 7)
        return 0;
    int n = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n <= MaxRow ? n : 0;
}

// A cell reference such as "C7": its column (0 for A) and row; false when it is none or beyond
// column XFD or row 1,048,576.
bool cellReference(QByteArrayView text, int* column, int* row) {
    int i = 0, c = 0;
    while (i < text.size() && text[i] >= 'A' && text[i] <= 'Z') {
        if (++i > 3)
            return false;
        c = c * 26 + (text[i - 1] - 'A' + 1);
    }
    if (i == 0 || c > MaxColumn)
        return false;
    *column = c - 1;
    *row = rowNumber(text.sliced(i));
    return *row > 0;
}

// Whether a number's text is the one the general number format gives for it: plain digits, at
// most 15 significant ones, no trailing zeros after the point, no more than 4 zeros after the point
// before the first digit, no sign on zero.
bool generalNumberText(QByteArrayView text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    const bool negative = i < n && text[i] == '-';
    if (negative)
        ++i;
    const qsizetype wholeAt = i;
    while (i < n && text[i] >= '0' && text[i] <= '9')
        ++i;
    const qsizetype whole = i - wholeAt;
    if (whole == 0 || whole > 15 || (whole > 1 && text[wholeAt] == '0'))
        return false;
    const bool zeroWhole = whole == 1 && text[wholeAt] == '0';
    int significant = zeroWhole ? 0 : int(whole);
    bool nonZero = !zeroWhole;
    if (i < n && text[i] == '.') {
        const qsizetype fractionAt = ++i;
        int leadingZeros = 0;
        while (i < n && text[i] >= '0' && text[i] <= '9') {
            if (text[i] != '0')
                nonZero = true;
            if (nonZero)
                ++significant;
            else
                ++leadingZeros;
            ++i;
        }
        if (i == fractionAt || text[i - 1] == '0' || (zeroWhole && leadingZeros > 4))
            return false;
    }
    return i == n && significant <= 15 && (nonZero || !negative);
}

// Whether the name is this one.
inline bool is(QByteArrayView name, std::string_view literal) {
    return size_t(name.size()) == literal.size() &&
           std::memcmp(name.data(), literal.data(), literal.size()) == 0;
}

// The first sheet, read into the table.
class SheetReader : public XmlHandler {
public:
    SheetReader(Table& table, const QString& sheet, const SharedStrings& strings,
                const std::vector<bool>& dates)
        : m_table(table), m_sheet(sheet), m_strings(strings), m_dates(dates) {}

    void start(QByteArrayView name, const char** attributes) override {
        if (is(name, "c"))
            startCell(attributes);
        else if (is(name, "row"))
            startRow(attributes);
        else if (m_inCell && (is(name, "v") || is(name, "t")))
            m_inValue = true;
        else if (m_inCell && is(name, "rPh"))
            ++m_phonetic;
    }
    void text(QByteArrayView text) override {
        if (m_inValue && m_phonetic == 0)
            m_value.add(text, m_table.limits().cellChars);
    }
    void end(QByteArrayView name) override {
        if (is(name, "v") || is(name, "t"))
            m_inValue = false;
        else if (is(name, "rPh"))
            --m_phonetic;
        else if (is(name, "c"))
            endCell();
        else if (is(name, "row"))
            m_inRow = false;
    }

private:
    QString at(const QString& where) const { return QStringLiteral("工作表“%1”%2").arg(m_sheet, where); }
    static QString quoted(QByteArrayView text) { return shortened(QString::fromUtf8(text)); }

    void startRow(const char** attributes) {
        ++m_rowElements;
        m_inRow = true;
        m_rowOk = false;
        m_column = -1;
        const QByteArrayView r = attribute(attributes, "r");
        const int number = r.isNull() ? (m_row < MaxRow ? m_row + 1 : 0) : rowNumber(r);
        if (number == 0) {
            m_table.problem(
                0, at(QStringLiteral("第 %1 个 <row>").arg(m_rowElements)),
                QStringLiteral("行号“%1”无效（应在 1 到 %2 之间），这一行已忽略").arg(quoted(r)).arg(MaxRow));
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

    void startCell(const char** attributes) {
        if (++m_cells > m_table.limits().cells)
            throw Refused(QStringLiteral("表格超过 %1 个单元格，无法导入").arg(m_table.limits().cells));
        m_inCell = false;
        m_value.clear();
        m_phonetic = 0;
        if (!m_inRow || !m_rowOk)
            return; // a cell outside a row, or of a row left out
        const QByteArrayView r = attribute(attributes, "r");
        int column = m_column + 1, row = m_row;
        if (!r.isNull() && !cellReference(r, &column, &row)) {
            m_table.problem(
                m_row, at(QStringLiteral("第 %1 行的单元格“%2”").arg(m_row).arg(quoted(r))),
                QStringLiteral("单元格位置无效（列应在 A 到 XFD 之间，行在 1 到 %1 之间），已忽略")
                    .arg(MaxRow));
            return;
        }
        if (row != m_row) {
            m_table.problem(m_row, at(QStringLiteral("第 %1 行的单元格“%2”").arg(m_row).arg(quoted(r))),
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
        const QByteArrayView type = attribute(attributes, "t");
        m_type.assign(type.data(), size_t(std::min<qsizetype>(type.size(), 20)));
        const QByteArrayView style = attribute(attributes, "s");
        bool ok = false;
        m_style = style.isNull() ? -1 : plainNumber(style, &ok);
        if (!ok)
            m_style = -1;
    }

    // Where the cell is, for a problem of it.
    QString here() const { return at(columnName(m_column) + QString::number(m_row)); }

    void endCell() {
        if (!m_inCell)
            return;
        m_inCell = m_inValue = false;
        const int most = m_table.limits().cellChars;
        if (m_value.tooLong(most)) {
            m_table.problem(m_row, here(), QStringLiteral("文字超过 %1 个字符，已忽略").arg(most));
            return;
        }
        const QByteArrayView value = m_value.utf8();
        if (m_type == "s") {
            bool ok = false;
            const int index = plainNumber(value, &ok);
            if (!ok || index < 0 || index >= m_strings.size()) {
                m_table.problem(m_row, here(),
                                QStringLiteral("共享文字编号“%1”无效，已忽略").arg(quoted(value)));
                return;
            }
            if (m_strings.tooLong(index)) {
                m_table.problem(m_row, here(), QStringLiteral("文字超过 %1 个字符，已忽略").arg(most));
                return;
            }
            const QByteArrayView text = m_strings.at(index);
            m_table.addCell(m_column, text);
            return;
        }
        if (m_type == "b") {
            m_table.addCell(m_column, value == "1" ? QByteArrayLiteral("TRUE") : QByteArrayLiteral("FALSE"));
            return;
        }
        if (m_type.empty() || m_type == "n") {
            const bool dateStyle =
                m_style >= 0 && size_t(m_style) < m_dates.size() && m_dates[size_t(m_style)];
            // A number as the general format writes it stays as it is.
            if (!dateStyle && generalNumberText(value)) {
                m_table.addCell(m_column, value);
                return;
            }
            bool ok = false;
            const double number = QString::fromUtf8(value).toDouble(&ok);
            if (ok && std::isfinite(number)) {
                // Dates from the year 1900 to 9999 only: anything else is shown as the number.
                const bool date = dateStyle && number >= 0 && number < 2958466;
                m_table.addCell(m_column, QStringView(date ? serialToText(number) : formatGeneral(number)));
                return;
            }
        }
        m_table.addCell(m_column, value);
    }

    // A number as QString::toInt() reads it.
    static int plainNumber(QByteArrayView value, bool* ok) {
        if (!value.isEmpty() && value.size() <= 9 &&
            std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            *ok = true;
            int n = 0;
            for (const char c : value)
                n = n * 10 + (c - '0');
            return n;
        }
        return QString::fromUtf8(value).toInt(ok);
    }

    Table& m_table;
    QString m_sheet;
    const SharedStrings& m_strings;
    const std::vector<bool>& m_dates;
    qint64 m_rowElements = 0, m_cells = 0;
    int m_row = 0, m_column = -1, m_style = -1, m_phonetic = 0;
    bool m_inRow = false, m_rowOk = false, m_inCell = false, m_inValue = false;
    std::string m_type;
    CellText m_value;
};

Table readXlsx(const QString& path, const Limits& limits) {
    Zip zip(path, limits);
    const SheetPart sheet = firstSheet(zip, path);
    SharedStrings strings;
    strings.read(zip, path, limits);
    const std::vector<bool> dates = dateStyles(zip, path, limits);
    Table table(limits);
    SheetReader reader(table, sheet.name, strings, dates);
    parse(zip, sheet.path, path, reader);
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
