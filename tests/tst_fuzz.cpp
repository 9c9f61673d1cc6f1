#include "core/errors.h"
#include "core/money.h"
#include "corefixture.h"
#include "data/data_in.h"
#include "data/sharedquery.h"
#include "data/spreadsheet.h"
#include "ledger/importing.h"
#include "sheetfiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

// Amounts and search texts by the ten thousand, and spreadsheet files by the thousand, against references
// that cannot share a fault with the program: exact decimals for money, the database's own LIKE for the
// search. LEDGER_FUZZ_SEED and LEDGER_FUZZ_COUNT set the corpus (scripts/fuzz runs longer ones).
class TestFuzz : public QObject {
    Q_OBJECT
private slots:
    void moneyMatchesExactDecimals();
    void searchMatchesTheDatabase();
    void spreadsheetReaderReadsOrRefuses();
};

namespace {

quint32 seed() {
    bool ok = false;
    const quint32 s = qEnvironmentVariable("LEDGER_FUZZ_SEED").toUInt(&ok);
    return ok ? s : 20261209u;
}

int count(int usual) {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("LEDGER_FUZZ_COUNT", &ok);
    return ok && n > 0 ? n : usual;
}

QString outcome(const std::function<Currency()>& compute) {
    try {
        return QString::number(compute().scaled());
    } catch (const ConversionError& e) {
        return e.text().startsWith(QLatin1Char('\'')) &&
                       e.text().endsWith(QLatin1String("floating point value"))
                   ? QStringLiteral("ERR")
                   : QStringLiteral("RANGE");
    }
}

QString shown(const QString& result) {
    bool ok = false;
    const qint64 scaled = result.toLongLong(&ok);
    return ok ? Currency::fromScaled(scaled).toString() : QStringLiteral("-");
}

} // namespace

void TestFuzz::moneyMatchesExactDecimals() {
    const int n = count(100000);
    qInfo("money corpus: seed %u, %d inputs", seed(), n);
    QProcess reference;
    reference.start(QStringLiteral("python3"),
                    {QStringLiteral(QT_TESTCASE_SOURCEDIR "/scripts/money_reference.py"),
                     QString::number(seed()), QString::number(n)});
    QVERIFY2(reference.waitForFinished(600000), "the reference did not finish");
    QCOMPARE(reference.exitCode(), 0);
    const QList<QByteArray> lines = reference.readAllStandardOutput().split('\n');
    int checked = 0;
    QStringList wrong;
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        const QList<QByteArray> f = line.split('\t');
        QVERIFY(f.size() == 3 || f.size() == 8);
        const QString input = QString::fromUtf8(QByteArray::fromHex(f[0]));
        QStringList got = {outcome([&] { return Currency::parse(input); })};
        got << shown(got[0]);
        if (f.size() == 8) {
            const Currency value = Currency::fromScaled(got[0].toLongLong());
            const Currency other = Currency::fromScaled(f[3].toLongLong());
            got << QString::fromLatin1(f[3]);
            got << outcome([&] { return other * value; });
            got << shown(got[3]);
            got << outcome([&] { return other + value; });
            got << shown(got[5]);
        }
        QStringList expected;
        for (int i = 1; i < f.size(); ++i)
            expected << QString::fromLatin1(f[i]);
        if (got != expected && wrong.size() < 10)
            wrong << QStringLiteral("'%1': %2 instead of %3")
                         .arg(input, got.join(QLatin1Char(' ')), expected.join(QLatin1Char(' ')));
        ++checked;
    }
    QCOMPARE(checked, n);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
}

void TestFuzz::searchMatchesTheDatabase() {
    CoreFixture f;
    QRandomGenerator random(seed());
    const QString alphabet = QStringLiteral("abcABC%_'\"\\[]*?^$. -0123;苹果梨ÄäÉé");
    auto draw = [&](int most) {
        QString text;
        for (int i = int(random.bounded(most + 1)); i > 0; --i)
            text += alphabet.at(int(random.bounded(int(alphabet.size()))));
        return text;
    };
    for (int i = 0; i < 300; ++i)
        CoreFixture::exec("insert into ab (b3, b4, b9) values (:a, 1, 1)", {{":a", draw(8)}});
    f.close();
    TData_in data(nullptr, f.folder());
    SharedQuery* products = data.Query_ab;
    QVERIFY(products->isPaged());
    const QStringList hostile = {
        "'", "''",  "%",   "_", "%%", "\\", "' or '1'='1", "'; drop table ab; --", "\"", "[a]", "*",
        "?", "a_c", "%a%", "ä", "Ä",  "A",  "苹",          QString(200, 'a')};
    const int n = count(100000) / 50;
    qInfo("search corpus: seed %u, %d texts", seed(), int(hostile.size()) + n);
    for (int i = 0; i < int(hostile.size()) + n; ++i) {
        const QString text = i < hostile.size() ? hostile.at(i) : draw(4);
        products->search(QStringLiteral("b3"), text);
        QStringList listed;
        for (int row = 0; row < products->recordCount(); ++row)
            listed << products->text(row, QStringLiteral("bid"));
        QSqlQuery q =
            Db::exec(Db::business(),
                     QStringLiteral("select bid from ab where b3 like '%' || :t || '%' order by bid desc"),
                     {{QStringLiteral(":t"), text.isNull() ? QStringLiteral("") : text}});
        QStringList expected;
        while (q.next())
            expected << q.value(0).toString();
        QVERIFY2(listed == expected, qPrintable(QStringLiteral("search for '%1': %2 rows instead of %3")
                                                    .arg(text)
                                                    .arg(listed.size())
                                                    .arg(expected.size())));
    }
    QCOMPARE(Db::scalar(Db::business(), QStringLiteral("select count(*) from ab")).toInt(), 300);
}

namespace {

// Damages a part of a file in one of the ways a hostile or broken file is damaged.
class Mutator {
public:
    explicit Mutator(quint32 seed) : m_random(seed) {}
    int below(int n) { return n <= 0 ? 0 : int(m_random.bounded(n)); }

    // Something that takes the place of a number or a reference.
    QByteArray hostileValue() {
        static const QList<QByteArray> values = {
            "0",        "-3",          "abc",          "2147483647", "4294967296", "1048576", "1048577",
            "AAAAAAA1", "XFD1048576",  "XFE1",         "A0",         "",           "A",       "1e3",
            " 1",       "99999999999", "\xef\xbc\x91", "-0",         "ZZZ9",       "A-1",     "\xff\xfe"};
        if (below(4) == 0)
            return QByteArray::number(qint64(m_random.generate64() >> below(64)));
        return values[below(int(values.size()))];
    }

    void mutate(QByteArray& data, bool xml) {
        if (data.isEmpty())
            data = "x";
        const int at = below(int(data.size()));
        switch (below(xml ? 9 : 7)) {
        case 0: // a byte changed
            data[at] = char(m_random.generate());
            break;
        case 1: // bytes removed
            data.remove(at, 1 + below(16));
            break;
        case 2: { // bytes that mean something inserted
            static const QList<QByteArray> pieces = {
                "<",    ">",   "&",    "\"",    "'",    QByteArray(1, '\0'), "\xff", "\xc3", "\r", "\n", ",",
                "\"\"", "]]>", "&#0;", "&amp;", "<!--", "\xef\xbb\xbf"};
            data.insert(at, pieces[below(int(pieces.size()))]);
            break;
        }
        case 3: // a piece repeated
            data.insert(at, data.mid(below(int(data.size())), below(200)).repeated(1 + below(50)));
            break;
        case 4: // cut short
            data.truncate(at);
            break;
        case 5: // a long text
            data.insert(at, QByteArray(below(100000), 'a' + char(below(26))));
            break;
        case 6: // a number or reference replaced
            for (int i = at; i < data.size(); ++i)
                if (data[i] >= '0' && data[i] <= '9') {
                    int end = i;
                    while (end < data.size() &&
                           ((data[end] >= '0' && data[end] <= '9') || (data[end] >= 'A' && data[end] <= 'Z')))
                        ++end;
                    data.replace(i, end - i, hostileValue());
                    break;
                }
            break;
        case 7: { // an attribute's value replaced
            const qsizetype quote = data.indexOf("=\"", at);
            const qsizetype end = quote < 0 ? -1 : data.indexOf('"', quote + 2);
            if (end > 0)
                data.replace(quote + 2, end - quote - 2, hostileValue());
            break;
        }
        case 8: { // another encoding declared
            static const QList<QByteArray> encodings = {"UTF-16", "GB18030", "ISO-8859-1", "x-none",
                                                        "UTF-32"};
            data.replace("UTF-8", encodings[below(int(encodings.size()))]);
            break;
        }
        }
    }

private:
    QRandomGenerator m_random;
};

} // namespace

void TestFuzz::spreadsheetReaderReadsOrRefuses() {
    // Small limits, so that every limit is reached by some files; the program's own are the same
    // code with larger numbers.
    Spreadsheet::Limits limits;
    limits.entryBytes = 2 * 1000 * 1000;
    limits.csvBytes = 1000 * 1000;
    limits.cells = 20000;
    limits.textBytes = 500 * 1000;
    limits.cellChars = 5000;
    limits.problems = 50;
    CoreFixture f;
    QTemporaryDir dir;
    const int n = count(100000) / 100;
    qInfo("spreadsheet corpus: seed %u, %d .xlsx and %d .csv files", seed(), n, n);
    Mutator mutate(seed());

    QByteArray rows = "<row r=\"1\">" + SheetFiles::text("A1", QStringLiteral("产品名称")) +
                      SheetFiles::text("B1", QStringLiteral("大类")) +
                      SheetFiles::text("C1", QStringLiteral("单位")) +
                      SheetFiles::text("D1", QStringLiteral("库存量")) +
                      SheetFiles::text("E1", QStringLiteral("销售价")) + "</row>";
    for (int r = 2; r < 12; ++r) {
        const QByteArray n = QByteArray::number(r);
        rows += "<row r=\"" + n + "\"><c r=\"A" + n + "\" t=\"s\"><v>" + QByteArray::number(r % 3) +
                "</v></c>" + SheetFiles::text("B" + n, QStringLiteral("食品")) +
                SheetFiles::text("C" + n, QStringLiteral("包")) + SheetFiles::number("D" + n, n) +
                "<c r=\"E" + n + "\" s=\"1\"><v>4" + n + ".5</v></c></row>";
    }
    const SheetFiles::Parts valid =
        SheetFiles::workbook(rows, "<si><t>薯片</t></si><si><r><t>牛肉</t></r><rPh><t>ニク</t></rPh></"
                                   "si><si><t xml:space=\"preserve\"> 干 </t></si>");
    const QByteArray styles =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><styleSheet><numFmts><numFmt numFmtId=\"164\" "
        "formatCode=\"yyyy-mm-dd\"/></numFmts><cellXfs><xf numFmtId=\"0\"/><xf "
        "numFmtId=\"164\"/></cellXfs></styleSheet>";
    const QByteArray csv =
        "\xef\xbb\xbf产品名称,大类,单位,库存量,销售价\r\n\"薯片, 大\",食品,包,3,4.5\r\n'=1+1,食品,包,"
        "2,1\r\n\"多\r\n行\",食品,包,1,1\r\n";

    auto checkTable = [&](const Spreadsheet::Table& table, const QString& what) {
        QVERIFY2(table.cellCount() <= limits.cells, qPrintable(what));
        QVERIFY2(table.problems.size() <= limits.problems, qPrintable(what));
        int last = 0;
        for (int r = 0; r < table.rowCount(); ++r) {
            QVERIFY2(table.number(r) > last && table.number(r) <= Spreadsheet::MaxRow, qPrintable(what));
            last = table.number(r);
            int column = -1;
            for (int c : table.columns(r)) {
                QVERIFY2(c > column && c < Spreadsheet::MaxColumn, qPrintable(what));
                QVERIFY2(table.cell(r, c).size() <= limits.cellChars, qPrintable(what));
                column = c;
            }
        }
        // The import's checks take whatever the reader gives.
        const Importing::Plan plan = Importing::check(Importing::Kind::Products, table);
        QVERIFY2(plan.problems.size() <= limits.problems, qPrintable(what));
    };

    int read = 0, refused = 0;
    for (int i = 0; i < 2 * n; ++i) {
        const bool xlsx = i % 2 == 0;
        const QString path = dir.filePath(QStringLiteral("f%1.%2").arg(i).arg(xlsx ? "xlsx" : "csv"));
        if (xlsx) {
            SheetFiles::Parts parts = valid;
            parts.append({QStringLiteral("xl/styles.xml"), styles});
            const int mutations = 1 + mutate.below(4);
            for (int m = 0; m < mutations; ++m)
                mutate.mutate(parts[mutate.below(int(parts.size()))].second, true);
            QHash<QString, quint32> declared;
            if (mutate.below(10) == 0)
                declared.insert(parts[mutate.below(int(parts.size()))].first,
                                mutate.below(2) ? quint32(mutate.below(100)) : 0xfffffff0u);
            QVERIFY(SheetFiles::writeZip(path, parts, declared));
            if (mutate.below(5) == 0) { // the package itself damaged: headers, sizes, names
                QFile file(path);
                QVERIFY(file.open(QIODevice::ReadWrite));
                QByteArray bytes = file.readAll();
                for (int m = 1 + mutate.below(3); m > 0; --m)
                    mutate.mutate(bytes, false);
                file.resize(0);
                file.write(bytes);
            }
        } else {
            QByteArray bytes = csv;
            const int form = mutate.below(3); // with a byte-order mark, without, or GB18030
            if (form == 1)
                bytes = csv.mid(3);
            else if (form == 2)
                bytes = QStringEncoder("GB18030").encode(QString::fromUtf8(csv.mid(3)));
            const int mutations = 1 + mutate.below(6);
            for (int m = 0; m < mutations; ++m)
                mutate.mutate(bytes, false);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bytes);
        }
        try {
            checkTable(Spreadsheet::read(path, limits), path);
            ++read;
        } catch (const Refused& e) {
            QVERIFY2(!e.text().isEmpty() && e.text().size() < 400, qPrintable(e.text()));
            ++refused;
        }
        QFile::remove(path);
    }
    qInfo("read %d, refused %d", read, refused);
    QVERIFY(read > n / 4 && refused > n / 20); // the mutations reach both ends
}

QTEST_GUILESS_MAIN(TestFuzz)
#include "tst_fuzz.moc"
