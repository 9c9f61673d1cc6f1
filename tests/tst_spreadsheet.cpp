#include "core/errors.h"
#include "corefixture.h"
#include "data/listdefinitions.h"
#include "data/sharedquery.h"
#include "data/spreadsheet.h"
#include "data/work.h"
#include "fileedges.h"
#include "ledger/importing.h"
#include "ledger/products.h"
#include "sheetfiles.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <sys/stat.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlRecord>
#include <QTest>

// Lists written to Excel and CSV files and read back by an independent reader (Python's openpyxl
// and csv modules); products and members read from files with faults; the command-line tools.
class TestSpreadsheet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void everyListExportsTheDatabaseRows_data();
    void everyListExportsTheDatabaseRows();
    void exportKeepsToTheSearchAndTheFilter();
    void cancelledOrFailedExportLeavesNoFile();
    void gb18030CsvFaultsAreReportedAndNothingWritten();
    void xlsxFaultsAreReportedAtTheirCells();
    void goodRowsOnlyWritesThemInOneTransaction();
    void problemsFarDownABigFileAreNamedAtTheirRows_data();
    void problemsFarDownABigFileAreNamedAtTheirRows();
    void aBarcodeTwiceInOneFileIsRefusedAtItsSecondRow_data();
    void aBarcodeTwiceInOneFileIsRefusedAtItsSecondRow();
    void manyProductsStopAtTheFirstRefusedOne_data();
    void manyProductsStopAtTheFirstRefusedOne();
    void membersImportAsTheNewMemberDialogMakesThem();
    void exportedListsImportAgain();
    void toolsExportAndImport();
    void hostileReferencesAreProblemsAtTheirPlace_data();
    void hostileReferencesAreProblemsAtTheirPlace();
    void filesBeyondTheLimitsAreRefused_data();
    void filesBeyondTheLimitsAreRefused();
    void sizeLimitsTakeTheirSizeAndRefuseOneByteMore_data();
    void sizeLimitsTakeTheirSizeAndRefuseOneByteMore();
    void problemsAreCappedAndLongTextsShortened();
    void csvExportGuardsFormulasAndImportTakesTheGuardOff();
    void controlCharactersAreRefusedAtTheirRowAndColumn();
    void exportsFollowTheUmask_data();
    void exportsFollowTheUmask();
    void fullReadOnlyOrMissingTargetIsSaidPlainly_data();
    void fullReadOnlyOrMissingTargetIsSaidPlainly();
};

namespace {

// Debian's Python, which has the packaged openpyxl (a python3 earlier on the PATH may not).
QString python() {
    const QString debian = QStringLiteral("/usr/bin/python3");
    return QFile::exists(debian) ? debian : QStringLiteral("python3");
}

// Reads a file with Python: every row as a list of cells, numbers as numbers, dates and
// date-times as "yyyy-MM-dd HH:mm:ss", texts as texts; CSV cells are all texts.
const char* Reader = R"PY(
import csv, datetime, json, sys
path = sys.argv[1]
rows = []
if path.endswith('.xlsx'):
    import openpyxl
    book = openpyxl.load_workbook(path, read_only=True)
    for row in book.worksheets[0].iter_rows(values_only=True):
        cells = []
        for c in row:
            if isinstance(c, datetime.datetime):
                cells.append({'date': c.strftime('%Y-%m-%d %H:%M:%S')})
            elif isinstance(c, (int, float)) and not isinstance(c, bool):
                cells.append(c)
            else:
                cells.append(c)
        rows.append(cells)
else:
    with open(path, encoding='utf-8-sig', newline='') as f:
        rows = [row for row in csv.reader(f)]
print(json.dumps(rows, ensure_ascii=False))
)PY";

QJsonArray readBack(const QString& path) {
    QProcess py;
    py.start(python(), {QStringLiteral("-c"), QString::fromUtf8(Reader), path});
    if (!py.waitForFinished(60000) || py.exitCode() != 0) {
        qWarning("python3: %s", py.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(py.readAllStandardOutput()).array();
}

// Writes an Excel file with openpyxl from rows given as JSON.
bool writeXlsx(const QString& path, const QJsonArray& rows) {
    const char* script = R"PY(
import json, sys, openpyxl
book = openpyxl.Workbook()
sheet = book.active
for row in json.loads(sys.stdin.read()):
    sheet.append(row)
book.save(sys.argv[1])
)PY";
    QProcess py;
    py.start(python(), {QStringLiteral("-c"), QString::fromUtf8(script), path});
    py.write(QJsonDocument(rows).toJson());
    py.closeWriteChannel();
    return py.waitForFinished(60000) && py.exitCode() == 0;
}

void sampleData() {
    CoreFixture::exec("insert into ab (b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12) values "
                      "('食品','零食','牛肉干',12,'包',5.5,6,8.25,99,'2026-12-01 09:15:00','',''),"
                      "('饮料','','橙汁, \"大\" 瓶',0,'瓶',1,1.2,3,0,'2026-12-02 18:00:05','',''),"
                      "('日用品','纸品','抽纸\n两层',7,'包',2,2.5,3.2,22.4,'2026-12-03 07:00:00','','')");
    CoreFixture::exec("insert into ac (c1,c2,c3,c4,c5,c6,c7,c8,c9,c10,c11,c12) values "
                      "('1','牛肉干','5','5.5','6','8.25','2026-12-04','食品','零食','','包',41.25)");
    CoreFixture::exec("insert into aa (a1,a2,a3,a4,a5,a6) values "
                      "('2026-12-05 10:00:00','未结算','','普通订单',16.5,NULL),"
                      "('2026-12-06 11:30:00','已结算','付现','会员订单',3,3)");
    // A sale and its reversal, their quantities kept as texts as the program writes them.
    CoreFixture::exec("insert into ae (e1,e2,e3,e6,e7,e8,e9,e11,e12) values "
                      "('1','牛肉干','2','8.25','2026-12-05 10:00:00','食品','零食','1','包'),"
                      "('1','牛肉干','-2','8.25','2026-12-05 10:05:00','食品','零食','1','包')");
    CoreFixture::exec("insert into aj (j1,j2,j6,j9,j10) values ('张三','13800138000','先生',120.5,"
                      "'2026-11-30 12:00:00'),('李四','','女士',0,'2026-12-01 12:00:00')");
    CoreFixture::exec("insert into ah (h1,h2,h3,h4,h5,h6,h7) values "
                      "('张三',100,'2026-12-01 08:00:00',20.5,120.5,'1','先生')");
    CoreFixture::exec("insert into ag (g1,g2,g3,g4,g5,g6,g7) values "
                      "('张三',3,'2026-12-06 11:30:00',117.5,'2','1','先生')");
}

QStringList problemTexts(const Importing::Plan& plan) {
    QStringList texts;
    for (const Importing::Problem& p : plan.problems)
        texts << QStringLiteral("%1|%2|%3").arg(p.row).arg(p.column, p.why);
    return texts;
}

int count(const char* table) {
    return CoreFixture::scalar(QStringLiteral("select count(*) from %1").arg(QLatin1String(table))).toInt();
}

} // namespace

void TestSpreadsheet::initTestCase() {
    QProcess probe;
    probe.start(python(), {QStringLiteral("-c"), QStringLiteral("import openpyxl")});
    QVERIFY2(probe.waitForFinished(30000) && probe.exitCode() == 0,
             "python3 with openpyxl is needed (scripts/setup installs python3-openpyxl)");
}

void TestSpreadsheet::everyListExportsTheDatabaseRows_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<QString>("suffix");
    for (const ListDefinition& list : ListDefinitions::all())
        for (const char* suffix : {"xlsx", "csv"})
            QTest::addRow("%s.%s", qPrintable(list.name), suffix) << list.name << QString::fromLatin1(suffix);
}

void TestSpreadsheet::everyListExportsTheDatabaseRows() {
    QFETCH(QString, list);
    QFETCH(QString, suffix);
    CoreFixture db;
    sampleData();
    const ListDefinition& def = ListDefinitions::get(list);
    // Quantities, prices, amounts and numbers are numbers in a spreadsheet, also where a record
    // keeps them as text; phone numbers and barcodes are not (their leading zeros count).
    static const QStringList numeric = {
        "编号",     "产品编号", "入库单号", "入库数量", "出库数量",   "数量",       "成本价",    "批发价",
        "销售价",   "合计",     "库存量",   "库存下限", "相关订单号", "订单编号",   "应收金额",  "实收金额",
        "会员卡号", "消费金额", "卡中余额", "充值金额", "充值前余额", "充值后余额", "充值凭证号"};
    for (const GridColumn& c : def.columns)
        QVERIFY2((Spreadsheet::kindOf(def.table, c.field) == Spreadsheet::Kind::Number) ==
                     numeric.contains(c.title),
                 qPrintable(def.name + QLatin1Char(' ') + c.title));
    const QString path = QDir(db.folder()).filePath(list + QLatin1Char('.') + suffix);
    Spreadsheet::Format format;
    QVERIFY(Spreadsheet::formatOf(path, &format));
    Db::Params params;
    const QString sql = Spreadsheet::listStatement(def, QString(), &params);
    const qint64 written =
        Spreadsheet::writeQuery(Db::business(), sql, params, def.table, def.columns, path, format);

    // What the database holds, read on its own.
    QList<QVariantList> expected;
    QSqlQuery q = CoreFixture::exec(sql, params);
    while (q.next()) {
        QVariantList row;
        for (const GridColumn& c : def.columns)
            row << q.value(q.record().indexOf(c.field));
        expected << row;
    }
    QVERIFY(!expected.isEmpty());
    QCOMPARE(written, expected.size());

    const QJsonArray rows = readBack(path);
    QCOMPARE(rows.size(), expected.size() + 1);
    const QJsonArray titles = rows[0].toArray();
    QCOMPARE(titles.size(), def.columns.size());
    for (int c = 0; c < def.columns.size(); ++c)
        QCOMPARE(titles[c].toString(), def.columns[c].title);
    for (int r = 0; r < expected.size(); ++r) {
        const QJsonArray cells = rows[r + 1].toArray();
        for (int c = 0; c < def.columns.size(); ++c) {
            const QVariant value = expected[r][c];
            const QJsonValue cell = c < cells.size() ? cells[c] : QJsonValue();
            const Spreadsheet::Kind kind = Spreadsheet::kindOf(def.table, def.columns[c].field);
            const QString where = QStringLiteral("row %1 column %2").arg(r + 2).arg(def.columns[c].title);
            if (suffix == QLatin1String("csv")) {
                QVERIFY2(cell.isString(), qPrintable(where));
                QCOMPARE(cell.toString(), SharedQuery::displayText(value));
            } else if (value.isNull() || value.toString().isEmpty()) {
                QVERIFY2(cell.isNull() || cell.toString().isEmpty(), qPrintable(where));
            } else if (kind == Spreadsheet::Kind::Number) {
                QVERIFY2(cell.isDouble(), qPrintable(where));
                QCOMPARE(cell.toDouble(), value.toDouble());
            } else if (kind == Spreadsheet::Kind::DateTime) {
                QCOMPARE(cell.toObject().value(QLatin1String("date")).toString(), value.toString());
            } else if (kind == Spreadsheet::Kind::Date) {
                QCOMPARE(cell.toObject().value(QLatin1String("date")).toString(),
                         value.toString() + QStringLiteral(" 00:00:00"));
            } else {
                QVERIFY2(cell.isString(), qPrintable(where));
                QCOMPARE(cell.toString(), value.toString());
            }
        }
    }
    if (suffix == QLatin1String("csv")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.read(3) == QByteArray("\xEF\xBB\xBF")); // Excel reads it as UTF-8
    }
}

void TestSpreadsheet::exportKeepsToTheSearchAndTheFilter() {
    CoreFixture db;
    sampleData();
    const QString path = QDir(db.folder()).filePath(QStringLiteral("found.csv"));
    Db::Params params;
    const ListDefinition& products = ListDefinitions::get(QStringLiteral("products"));
    QString sql = Spreadsheet::listStatement(products, QStringLiteral("牛"), &params);
    QCOMPARE(Spreadsheet::writeQuery(Db::business(), sql, params, products.table, products.columns, path,
                                     Spreadsheet::Format::Csv),
             1);
    QJsonArray rows = readBack(path);
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[1].toArray()[3].toString(), QStringLiteral("牛肉干"));

    // The unsettled list keeps to the unsettled orders, whatever the search.
    const ListDefinition& unsettled = ListDefinitions::get(QStringLiteral("unsettled"));
    sql = Spreadsheet::listStatement(unsettled, QString(), &params);
    QCOMPARE(Spreadsheet::writeQuery(Db::business(), sql, params, unsettled.table, unsettled.columns, path,
                                     Spreadsheet::Format::Csv),
             1);
    rows = readBack(path);
    QCOMPARE(rows[1].toArray()[0].toString(), QStringLiteral("未结算"));
}

void TestSpreadsheet::cancelledOrFailedExportLeavesNoFile() {
    CoreFixture db;
    QDir dir(db.folder());
    const QString path = dir.filePath(QStringLiteral("big.xlsx"));
    const QStringList before = dir.entryList(QDir::Files | QDir::Hidden);
    qint64 produced = 0;
    const Spreadsheet::RowReader endless = [&produced](QVariantList& cells) {
        cells = {++produced, QStringLiteral("第%1行").arg(produced)};
        return true;
    };
    const QList<Spreadsheet::Column> columns = {{QStringLiteral("编号"), Spreadsheet::Kind::Number},
                                                {QStringLiteral("名称"), Spreadsheet::Kind::Text}};
    for (auto format : {Spreadsheet::Format::Xlsx, Spreadsheet::Format::Csv}) {
        const qint64 rows =
            Spreadsheet::write(path, format, columns, endless, [](qint64 written) { return written < 6000; });
        QCOMPARE(rows, qint64(-1));
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden), before); // no partial, no temporary file
    }

    // An existing file stays as it was when the export over it is cancelled.
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QCOMPARE(
        Spreadsheet::write(path, Spreadsheet::Format::Csv, columns, endless, [](qint64) { return false; }),
        qint64(-1));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
    old.close();

    // A folder that does not exist is refused with its name.
    try {
        Spreadsheet::write(dir.filePath(QStringLiteral("missing/x.csv")), Spreadsheet::Format::Csv, columns,
                           [](QVariantList&) { return false; });
        QFAIL("no refusal");
    } catch (const Refused& e) {
        QVERIFY(e.text().contains(QStringLiteral("missing")));
    }
}

void TestSpreadsheet::gb18030CsvFaultsAreReportedAndNothingWritten() {
    CoreFixture db;
    const QString sample = QFINDTESTDATA("data/products_faults_gb18030.csv");
    QVERIFY(!sample.isEmpty());
    QSignalSpy announced(&Db::Announcer::instance(), &Db::Announcer::committed);
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, sample);
    QCOMPARE(problemTexts(plan), QStringList({
                                     QStringLiteral("3|库存量|不是数字"),
                                     QStringLiteral("4|产品名称|超过字段长度（最多 60 个字符）"),
                                     QStringLiteral("5|大类|必填项为空"),
                                     QStringLiteral("6|单位|未知单位"),
                                     QStringLiteral("7|产品名称|名称重复"),
                                     QStringLiteral("8|销售价|不是数字"),
                                 }));
    QCOMPARE(plan.rows.size(), 8);
    QCOMPARE(plan.goodRows(), 2);
    // The quoted name with its comma was read as one cell, in GB18030.
    QCOMPARE(plan.cells(plan.rows[6])[plan.columns.indexOf(QStringLiteral("产品名称"))],
             QStringLiteral("橙汁, 大瓶"));
    try {
        Importing::write(plan, false);
        QFAIL("a file with problems was written");
    } catch (const Refused& e) {
        QVERIFY(e.text().contains(QStringLiteral("6 处问题")));
    }
    QCOMPARE(count("ab"), 0);
    QCOMPARE(announced.size(), 0);
}

void TestSpreadsheet::xlsxFaultsAreReportedAtTheirCells() {
    CoreFixture db;
    CoreFixture::product(QStringLiteral("已有的产品"), QStringLiteral("1"), QStringLiteral("1"));
    const QString path = QDir(db.folder()).filePath(QStringLiteral("faults.xlsx"));
    // Numbers as numbers, as a shop keeper's own sheet holds them; a stray column; a gap row.
    const QJsonArray rows = QJsonDocument::fromJson(R"([
        ["产品名称", "大类", "单位", "库存量", "销售价", "成本价", "颜色"],
        ["矿泉水", "饮料", "瓶", 24, 1.5, 0.8, "蓝"],
        ["已有的产品", "饮料", "瓶", 1, 2, null, null],
        ["薯片", "食品", "包", 3.5, 4, null, null],
        [null, null, null, null, null, null, null],
        ["饼干", "零食类", "盒", 2, "四元", null, null],
        ["铅笔", "文具", "支", 1234567890, 1, null, null]
    ])")
                                .array();
    QVERIFY(writeXlsx(path, rows));
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, path);
    QCOMPARE(problemTexts(plan), QStringList({
                                     QStringLiteral("1|颜色|无法识别的列，已忽略"),
                                     QStringLiteral("3|产品名称|名称重复"),
                                     QStringLiteral("4|库存量|不是数字"),
                                     QStringLiteral("6|大类|未知大类"),
                                     QStringLiteral("6|销售价|不是数字"),
                                     QStringLiteral("7|单位|未知单位"),
                                     QStringLiteral("7|库存量|超过字段长度（最多 9 个字符）"),
                                 }));
    QCOMPARE(plan.goodRows(), 1);
    const Products::New water = plan.product(plan.rows[plan.good[0]]);
    QCOMPARE(water.fields.name, QStringLiteral("矿泉水"));
    QCOMPARE(water.fields.cost.toString(), QStringLiteral("0.8"));
    QVERIFY_THROWS_EXCEPTION(Refused, Importing::write(plan, false));
    QCOMPARE(count("ab"), 1);

    // A sheet without a required column says which, and has no good row.
    const QString missing = QDir(db.folder()).filePath(QStringLiteral("missing.xlsx"));
    QVERIFY(writeXlsx(missing,
                      QJsonDocument::fromJson(R"([["产品名称","大类","库存量"],["水","饮料",1]])").array()));
    const Importing::Plan noUnit = Importing::checkFile(Importing::Kind::Products, missing);
    QCOMPARE(problemTexts(noUnit),
             QStringList({QStringLiteral("1|单位|缺少必填列"), QStringLiteral("1|销售价|缺少必填列")}));
    QCOMPARE(noUnit.goodRows(), 0);
}

void TestSpreadsheet::goodRowsOnlyWritesThemInOneTransaction() {
    CoreFixture db;
    QSignalSpy announced(&Db::Announcer::instance(), &Db::Announcer::committed);
    const Importing::Plan plan =
        Importing::checkFile(Importing::Kind::Products, QFINDTESTDATA("data/products_faults_gb18030.csv"));
    QCOMPARE(Importing::write(plan, true), 2);
    // Exactly as the new-product dialog makes them: stock valued at the sale price, dated now.
    QCOMPARE(CoreFixture::rows("select b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12 from ab order by bid"),
             QStringList({QStringLiteral("食品|零食|牛肉干|10|包|5|6|8.5|85|2026-12-09 10:30:00||"),
                          QStringLiteral("日用品|纸品|抽纸|12|包|2|2.5|3.2|38.4|2026-12-09 10:30:00||")}));
    QCOMPARE(announced.size(), 1); // one announcement for the whole import

    // A failure in the middle leaves nothing behind: the second product's stock breaks the
    // statement (a NUMERIC column refuses a text that is no number).
    QList<Products::New> batch(2);
    batch[0].fields.name = QStringLiteral("甲");
    batch[1].fields.name = QStringLiteral("乙");
    CoreFixture::exec("create trigger refuse_second before insert on ab when new.b3 = '乙' "
                      "begin select raise(abort, 'refused'); end");
    QVERIFY_THROWS_EXCEPTION(DatabaseError, Products::createMany(batch));
    QCOMPARE(count("ab"), 2);
}

void TestSpreadsheet::problemsFarDownABigFileAreNamedAtTheirRows_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("csv") << QStringLiteral("csv");
    QTest::newRow("xlsx") << QStringLiteral("xlsx");
}

namespace {

// The columns of a products file with barcodes.
QList<Spreadsheet::Column> barcodedProductColumns() {
    return {{QStringLiteral("大类")},
            {QStringLiteral("产品名称")},
            {QStringLiteral("库存量"), Spreadsheet::Kind::Number},
            {QStringLiteral("单位")},
            {QStringLiteral("销售价")},
            {QStringLiteral("条码")}};
}

} // namespace

// A file as the program exports it, 3,000 products long: the problems far down are named at their
// rows and columns, among thousands of good rows.
void TestSpreadsheet::problemsFarDownABigFileAreNamedAtTheirRows() {
    QFETCH(QString, format);
    CoreFixture db;
    Products::Fields existing = CoreFixture::snack(QStringLiteral("已有的产品"), QStringLiteral("食品"),
                                                   QStringLiteral("1"), QStringLiteral("2"));
    existing.barcode = QStringLiteral("6900000000000");
    Products::create(existing, Currency::parse("1"));
    const QList<Spreadsheet::Column> columns = barcodedProductColumns();
    const QString path = QDir(db.folder()).filePath(QStringLiteral("products.") + format);
    int row = 1; // the title's
    Spreadsheet::write(
        path, format == QLatin1String("csv") ? Spreadsheet::Format::Csv : Spreadsheet::Format::Xlsx, columns,
        [&](QVariantList& cells) {
            if (++row > 3001)
                return false;
            const QString name = row == 1000 ? QStringLiteral("产品10") : QStringLiteral("产品%1").arg(row);
            const QString code = row == 1500   ? QStringLiteral("6900000000000")
                                 : row == 2500 ? QStringLiteral(" 69%1 ").arg(20, 11, 10, QLatin1Char('0'))
                                               : QStringLiteral("69%1").arg(row, 11, 10, QLatin1Char('0'));
            cells = {QStringLiteral("食品"),
                     name,
                     row % 50,
                     QStringLiteral("个"),
                     row == 2000 ? QStringLiteral("1.2.3") : QStringLiteral("2.5"),
                     code};
            return true;
        });
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, path);
    QCOMPARE(problemTexts(plan),
             QStringList({QStringLiteral("1000|产品名称|名称重复"), QStringLiteral("1500|条码|条码重复"),
                          QStringLiteral("2000|销售价|不是数字"), QStringLiteral("2500|条码|条码重复")}));
    QCOMPARE(plan.rows.size(), 3000);
    QCOMPARE(plan.goodRows(), 2996);
    QCOMPARE(Importing::write(plan, true), 2996);
    QCOMPARE(count("ab"), 2997);
    // The rows written are the file's, in its order, with their own values.
    QCOMPARE(CoreFixture::rows("select b3, b4, b8, b13 from ab where bid in (2, 1000, 2997) order by bid"),
             QStringList({QStringLiteral("产品2|2|2.5|6900000000002"),
                          QStringLiteral("产品1001|1|2.5|6900000001001"),
                          QStringLiteral("产品3001|1|2.5|6900000003001")}));
}

void TestSpreadsheet::aBarcodeTwiceInOneFileIsRefusedAtItsSecondRow_data() {
    problemsFarDownABigFileAreNamedAtTheirRows_data();
}

// A ledger without any barcode, a file holding one barcode twice.
void TestSpreadsheet::aBarcodeTwiceInOneFileIsRefusedAtItsSecondRow() {
    QFETCH(QString, format);
    CoreFixture db;
    const QList<Spreadsheet::Column> columns = barcodedProductColumns();
    const QStringList codes{QStringLiteral("6901234567892"), QStringLiteral("6901234567908"),
                            QStringLiteral("6901234567892")};
    const QString path = QDir(db.folder()).filePath(QStringLiteral("products.") + format);
    int row = 0;
    Spreadsheet::write(path,
                       format == QLatin1String("csv") ? Spreadsheet::Format::Csv : Spreadsheet::Format::Xlsx,
                       columns, [&](QVariantList& cells) {
                           if (row == codes.size())
                               return false;
                           cells = {QStringLiteral("食品"),
                                    QStringLiteral("产品%1").arg(row),
                                    5,
                                    QStringLiteral("个"),
                                    QStringLiteral("2.5"),
                                    codes.at(row)};
                           ++row;
                           return true;
                       });
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, path);
    QCOMPARE(problemTexts(plan), QStringList{QStringLiteral("4|条码|条码重复")});
    QCOMPARE(plan.goodRows(), 2);
}

void TestSpreadsheet::manyProductsStopAtTheFirstRefusedOne_data() {
    QTest::addColumn<int>("duplicateAt");  // the product given the barcode of one before it
    QTest::addColumn<int>("owner");        // that one: -1 for the product in the ledger
    QTest::addColumn<int>("unstorableAt"); // the product whose stock cannot be stored, -1 for none
    QTest::addColumn<QString>("error");
    const QString ledger =
        Products::duplicateCodeMessage(QStringLiteral("6999999999999"), QStringLiteral("已有的产品"));
    QTest::newRow("first of all") << 0 << -1 << -1 << ledger;
    QTest::newRow("in the middle of many") << 150 << -1 << -1 << ledger;
    QTest::newRow("the last") << 299 << -1 << -1 << ledger;
    QTest::newRow("of an earlier product")
        << 170 << 20 << -1
        << Products::duplicateCodeMessage(QStringLiteral("6900000000020"), QStringLiteral("产品20"));
    QTest::newRow("a stock that cannot be stored first")
        << 150 << -1 << 130 << QStringLiteral("超过15位有效数字");
    QTest::newRow("the barcode first") << 100 << -1 << 130 << ledger;
}

// Products go into the file many at a time; the one refused is the one the error is about, and
// nothing of the others stays.
void TestSpreadsheet::manyProductsStopAtTheFirstRefusedOne() {
    QFETCH(int, duplicateAt);
    QFETCH(int, owner);
    QFETCH(int, unstorableAt);
    QFETCH(QString, error);
    CoreFixture db;
    Products::Fields existing = CoreFixture::snack(QStringLiteral("已有的产品"), QStringLiteral("食品"),
                                                   QStringLiteral("1"), QStringLiteral("2"));
    existing.barcode = QStringLiteral("6999999999999");
    Products::create(existing, Currency::parse("1"));
    QList<Products::New> products;
    for (int i = 0; i < 300; ++i) {
        Products::New p{CoreFixture::snack(QStringLiteral("产品%1").arg(i), QStringLiteral("食品"),
                                           QStringLiteral("1"), QStringLiteral("2")),
                        Currency::parse(i == unstorableAt ? "123456789012.3456" : "3")};
        p.fields.barcode = QStringLiteral("69%1").arg(i, 11, 10, QLatin1Char('0'));
        products << p;
    }
    products[duplicateAt].fields.barcode = owner < 0 ? existing.barcode : products[owner].fields.barcode;
    QSignalSpy announced(&Db::Announcer::instance(), &Db::Announcer::committed);
    try {
        Products::createMany(products);
        QFAIL("written");
    } catch (const LedgerError& e) {
        QVERIFY2(e.text().contains(error), qPrintable(e.text()));
    }
    QCOMPARE(count("ab"), 1);
    QCOMPARE(announced.size(), 0);
}

void TestSpreadsheet::membersImportAsTheNewMemberDialogMakesThem() {
    CoreFixture db;
    const QString path = QDir(db.folder()).filePath(QStringLiteral("members.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("会员卡号,会员名,称呼,手机,卡中余额,邮编,电子邮件\r\n"
                              "99,王五,,13912345678,50.5,100000,w@example.com\r\n"
                              ",赵六,女士,,,,\r\n"
                              ",一个名字长到超过十五个字的会员名称,先生,,,,\r\n"
                              ",钱七,小姐,139-1234,abc,,\r\n")
                   .toUtf8()); // UTF-8 without a byte-order mark
    file.close();
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Members, path);
    QCOMPARE(problemTexts(plan), QStringList({
                                     QStringLiteral("4|会员名|超过字段长度（最多 15 个字符）"),
                                     QStringLiteral("5|称呼|称呼只能是“先生”或“女士”"),
                                     QStringLiteral("5|手机|不是数字"),
                                     QStringLiteral("5|卡中余额|不是数字"),
                                 }));
    QCOMPARE(Importing::write(plan, true), 2);
    // The card number is the database's; no recharge record for the opening balance.
    QCOMPARE(CoreFixture::rows("select jid>0,j1,j2,j3,j4,j5,j6,j7,j8,j9,j10 from aj order by jid"),
             QStringList(
                 {QStringLiteral("1|王五|13912345678|||100000|先生|w@example.com||50.5|2026-12-09 10:30:00"),
                  QStringLiteral("1|赵六|||||女士|||0|2026-12-09 10:30:00")}));
    QCOMPARE(count("ah"), 0);

    // The same members again: one already in the ledger by name and phone (mobile or landline),
    // or twice in the file, is not made again with its opening balance again.
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QStringLiteral("会员名,手机,电话,卡中余额\r\n"
                              "王五,13912345678,,50.5\r\n"
                              "王五,,13912345678,50.5\r\n"
                              "王五,13800000000,,1\r\n"
                              "孙八,13700000000,,10\r\n"
                              "孙八,,13700000000,10\r\n")
                   .toUtf8());
    file.close();
    const Importing::Plan again = Importing::checkFile(Importing::Kind::Members, path);
    QCOMPARE(problemTexts(again),
             QStringList({QStringLiteral("2|会员名|会员已存在"), QStringLiteral("3|会员名|会员已存在"),
                          QStringLiteral("6|会员名|会员已存在")}));
    QCOMPARE(Importing::write(again, true), 2);
    QCOMPARE(CoreFixture::rows("select count(*), sum(j9) from aj where j1 = '王五'"),
             QStringList({"2|51.5"}));
}

void TestSpreadsheet::exportedListsImportAgain() {
    CoreFixture db;
    sampleData();
    CoreFixture::exec("delete from ab where b3 like '%抽纸%' or b3 like '%橙汁%'");
    const QString path = QDir(db.folder()).filePath(QStringLiteral("products.xlsx"));
    const ListDefinition& products = ListDefinitions::get(QStringLiteral("products"));
    Db::Params params;
    Spreadsheet::writeQuery(Db::business(), Spreadsheet::listStatement(products, QString(), &params), params,
                            products.table, products.columns, path, Spreadsheet::Format::Xlsx);
    CoreFixture::exec("delete from ab");
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, path);
    QCOMPARE(problemTexts(plan), QStringList());
    QCOMPARE(Importing::write(plan, false), 1);
    QCOMPARE(CoreFixture::rows("select b1,b2,b3,b4,b5,b6,b7,b8,b9 from ab"),
             QStringList({QStringLiteral("食品|零食|牛肉干|12|包|5.5|6|8.25|99")}));
}

void TestSpreadsheet::toolsExportAndImport() {
    const QString bin = qEnvironmentVariable("LEDGER_BIN_DIR");
    QVERIFY(!bin.isEmpty());
    CoreFixture db;
    sampleData();
    const QString folder = db.folder();
    auto run = [&](const QString& tool, const QStringList& args, QString* out = nullptr) {
        QProcess p;
        p.start(QDir(bin).filePath(QStringLiteral("vandrel-ledger-") + tool), args);
        p.waitForFinished(60000);
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
        return p.exitCode();
    };
    QString output;
    // The files are open here, as the program holds them: the tools refuse clearly.
    const QString file = QDir(folder).filePath(QStringLiteral("m.csv"));
    QCOMPARE(run(QStringLiteral("export"),
                 {folder, QStringLiteral("members"), QStringLiteral("--format"), QStringLiteral("csv"),
                  QStringLiteral("-o"), file},
                 &output),
             1);
    QVERIFY2(output.contains(QStringLiteral("请先关闭")), qPrintable(output));
    QVERIFY(!QFile::exists(file));

    db.close();
    QCOMPARE(run(QStringLiteral("export"),
                 {folder, QStringLiteral("members"), QStringLiteral("--format"), QStringLiteral("csv"),
                  QStringLiteral("-o"), file, QStringLiteral("--search"), QStringLiteral("1")},
                 &output),
             0);
    QJsonArray rows = readBack(file);
    QCOMPARE(rows.size(), 2); // card 1 only
    QCOMPARE(rows[1].toArray()[1].toString(), QStringLiteral("张三"));
    QCOMPARE(run(QStringLiteral("export"),
                 {folder, QStringLiteral("nothing"), QStringLiteral("--format"), QStringLiteral("csv"),
                  QStringLiteral("-o"), file},
                 &output),
             2);
    QVERIFY(output.contains(QStringLiteral("payments")));
    QCOMPARE(run(QStringLiteral("export"), {QStringLiteral("--help")}, &output), 0);
    QVERIFY(output.contains(QStringLiteral("stock-in")) && output.contains(QStringLiteral("导出")));

    const QString sample = QFINDTESTDATA("data/products_faults_gb18030.csv");
    QCOMPARE(run(QStringLiteral("import"), {folder, QStringLiteral("products"), sample}, &output), 1);
    QVERIFY2(output.contains(QStringLiteral("第 6 行，列“单位”：未知单位")), qPrintable(output));
    db.reopen();
    QCOMPARE(count("ab"), 3); // nothing written
    db.close();
    QCOMPARE(run(QStringLiteral("import"),
                 {folder, QStringLiteral("products"), sample, QStringLiteral("--good-rows-only")}, &output),
             0);
    // 牛肉干 is in the ledger already: only 抽纸 is new.
    QVERIFY2(output.contains(QStringLiteral("已导入 1 行")), qPrintable(output));
    db.reopen();
    QCOMPARE(count("ab"), 4);
}

namespace {

QByteArray sha256Of(const QString& folder) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& name : {Db::BusinessFile, Db::ListsFile}) {
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            hash.addData(&file);
    }
    return hash.result();
}

QString readProblems(const Spreadsheet::Table& table) {
    QStringList texts;
    for (const Spreadsheet::ReadProblem& p : table.problems)
        texts << QStringLiteral("%1|%2|%3").arg(p.row).arg(p.where, p.why);
    return texts.join(QLatin1Char('\n'));
}

} // namespace

void TestSpreadsheet::hostileReferencesAreProblemsAtTheirPlace_data() {
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<QString>("where"); // empty: no problem, the far cell is read
    QTest::addColumn<QString>("why");
    auto cell = [](const char* ref) {
        return SheetFiles::text(ref, QStringLiteral("远"));
    };
    for (const char* r : {"0", "-3", "abc", "2147483647", "1048577", "", "1e3"})
        QTest::addRow("row r=\"%s\"", r) << ("<row r=\"" + QByteArray(r) + "\">" + cell("A5") + "</row>")
                                         << QStringLiteral("工作表“货品”第 2 个 <row>")
                                         << QStringLiteral("行号“%1”无效").arg(QLatin1String(r));
    for (const char* ref : {"AAAAAAA2", "XFE2", "a2", "A0", "A", "2", "A2147483647", "ZZZZZZZZZZZZZZ2"})
        QTest::addRow("cell r=\"%s\"", ref)
            << ("<row r=\"2\">" + cell(ref) + "</row>")
            << QStringLiteral("工作表“货品”第 2 行的单元格“%1”").arg(QLatin1String(ref))
            << QStringLiteral("单元格位置无效");
    QTest::newRow("cell of another row")
        << ("<row r=\"2\">" + cell("A7") + "</row>") << QStringLiteral("工作表“货品”第 2 行的单元格“A7”")
        << QStringLiteral("不在它所在的行");
    QTest::newRow("row before the last")
        << ("<row r=\"9\"/><row r=\"4\">" + cell("A4") + "</row>") << QStringLiteral("工作表“货品”第 4 行")
        << QStringLiteral("不在上一行");
    QTest::newRow("cell before the last")
        << ("<row r=\"2\">" + cell("C2") + cell("B2") + "</row>")
        << QStringLiteral("工作表“货品”第 2 行第 2 个单元格") << QStringLiteral("不在前一个单元格（C2）之后");
    QTest::newRow("past column XFD") << ("<row r=\"2\">" + cell("XFD2") +
                                         "<c t=\"inlineStr\"><is><t>x</t></is></c></row>")
                                     << QStringLiteral("工作表“货品”第 2 行第 16385 个单元格")
                                     << QStringLiteral("超过 XFD 列");
    QTest::newRow("shared text out of range")
        << QByteArray("<row r=\"2\"><c r=\"B2\" t=\"s\"><v>-1</v></c></row>")
        << QStringLiteral("工作表“货品”B2") << QStringLiteral("共享文字编号“-1”无效");
    QTest::newRow("far corner, alone")
        << ("<row r=\"1048576\">" + cell("XFD1048576") + "</row>") << QString() << QString();
}

void TestSpreadsheet::hostileReferencesAreProblemsAtTheirPlace() {
    QFETCH(QByteArray, rows);
    QFETCH(QString, where);
    QFETCH(QString, why);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hostile.xlsx"));
    QVERIFY(SheetFiles::writeZip(path, SheetFiles::workbook("<row r=\"1\">" +
                                                            SheetFiles::text("A1", QStringLiteral("名称")) +
                                                            "</row>" + rows)));
    const Spreadsheet::Table table = Spreadsheet::read(path);
    // The good row stays, whatever came after it.
    QVERIFY(table.rowCount() >= 1);
    QCOMPARE(table.number(0), 1);
    QCOMPARE(table.cell(0, 0), QStringLiteral("名称"));
    if (where.isEmpty()) {
        QCOMPARE(readProblems(table), QString());
        QCOMPARE(table.rowCount(), 2);
        QCOMPARE(table.number(1), Spreadsheet::MaxRow);
        QCOMPARE(table.columns(1), QList<int>{Spreadsheet::MaxColumn - 1});
        QCOMPARE(table.cell(1, Spreadsheet::MaxColumn - 1), QStringLiteral("远"));
        QCOMPARE(table.cellCount(), 2); // nothing kept for the empty cells between
        return;
    }
    QCOMPARE(table.problems.size(), 1);
    QVERIFY2(table.problems[0].where == where && table.problems[0].why.contains(why),
             qPrintable(readProblems(table)));
    QCOMPARE(table.cellCount(), 1 + rows.count("<c") - 1); // all but the refused cell
}

void TestSpreadsheet::filesBeyondTheLimitsAreRefused_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("limit"); // the limit scaled down for the case
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("part declared 1,100 MB")
        << QStringLiteral("declared.xlsx") << QString() << qint64(0)
        << QStringLiteral("xl/worksheets/sheet1.xml 解压后有 1100 MB，超过 1000 MB 的上限");
    QTest::newRow("part larger than declared")
        << QStringLiteral("lying.xlsx") << QString() << qint64(0) << QStringLiteral("Excel 文件已损坏");
    QTest::newRow("part beyond the limit") << QStringLiteral("big.xlsx") << QStringLiteral("entry")
                                           << qint64(100000) << QStringLiteral("MB，超过 0.1 MB 的上限");
    QTest::newRow("too many cells") << QStringLiteral("cells.xlsx") << QStringLiteral("cells") << qint64(2000)
                                    << QStringLiteral("表格超过 2000 个单元格");
    QTest::newRow("too much shared text") << QStringLiteral("shared.xlsx") << QStringLiteral("text")
                                          << qint64(20000) << QStringLiteral("表格中的文字超过 0.02 MB");
    QTest::newRow("CSV cells") << QStringLiteral("cells.csv") << QStringLiteral("cells") << qint64(2000)
                               << QStringLiteral("表格超过 2000 个单元格");
    QTest::newRow("CSV rows") << QStringLiteral("rows.csv") << QString() << qint64(0)
                              << QStringLiteral("CSV 文件超过 1048576 行");
}

void TestSpreadsheet::filesBeyondTheLimitsAreRefused() {
    QFETCH(QString, name);
    QFETCH(QString, limit);
    QFETCH(qint64, value);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QByteArray title = "<row r=\"1\">" + SheetFiles::text("A1", QStringLiteral("名称")) + "</row>";
    QByteArray rows = title;
    for (int r = 2; r <= 3000; ++r)
        rows += "<row r=\"" + QByteArray::number(r) + "\">" +
                SheetFiles::number("A" + QByteArray::number(r), "1") + "</row>";
    if (name == QLatin1String("declared.xlsx")) {
        QVERIFY(SheetFiles::writeZip(path, SheetFiles::workbook(title),
                                     {{QStringLiteral("xl/worksheets/sheet1.xml"), 1100000000u}}));
    } else if (name == QLatin1String("lying.xlsx")) {
        // 30 MB of sheet said to be 2 KB: never unpacked beyond what it declares.
        QByteArray sheet = SheetFiles::workbook(title).at(2).second;
        sheet.insert(sheet.indexOf("<sheetData>"), QByteArray(30 * 1000 * 1000, ' '));
        SheetFiles::Parts parts = SheetFiles::workbook(title);
        parts[2].second = sheet;
        QVERIFY(SheetFiles::writeZip(path, parts, {{QStringLiteral("xl/worksheets/sheet1.xml"), 2000u}}));
    } else if (name == QLatin1String("big.xlsx") || name == QLatin1String("cells.xlsx")) {
        QVERIFY(SheetFiles::writeZip(path, SheetFiles::workbook(rows)));
    } else if (name == QLatin1String("shared.xlsx")) {
        rows = title;
        for (int r = 2; r <= 1000; ++r)
            rows += "<row><c t=\"s\"><v>0</v></c></row>";
        QVERIFY(SheetFiles::writeZip(
            path, SheetFiles::workbook(rows, "<si><t>" + QByteArray(100, 'x') + "</t></si>")));
    } else {
        // Written as it streams: never the whole file in memory.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (name == QLatin1String("rows.csv")) {
            file.write(QByteArray(Spreadsheet::MaxRow + 1, '\n'));
        } else {
            for (int r = 0; r < 100; ++r)
                file.write("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25\r\n");
        }
    }
    Spreadsheet::Limits limits;
    if (limit == QLatin1String("entry"))
        limits.entryBytes = value;
    else if (limit == QLatin1String("cells"))
        limits.cells = value;
    else if (limit == QLatin1String("text"))
        limits.textBytes = value;
    try {
        const Spreadsheet::Table table = Spreadsheet::read(path, limits);
        QFAIL(qPrintable(QStringLiteral("read with %1 cells, not refused").arg(table.cellCount())));
    } catch (const Refused& e) {
        QVERIFY2(e.text().contains(refusal), qPrintable(e.text()));
    }
}

// The program's own export of a million products is read: the limits are the sizes at which a
// file is still read, one byte more is refused, with the limit named.
void TestSpreadsheet::sizeLimitsTakeTheirSizeAndRefuseOneByteMore_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<qint64>("size");     // of the CSV file, or declared by the sheet
    QTest::addColumn<QString>("refusal"); // empty: read
    const qint64 part = Spreadsheet::Limits().entryBytes, csv = Spreadsheet::Limits().csvBytes;
    QCOMPARE(part, qint64(1000) * 1000 * 1000);
    QCOMPARE(csv, qint64(200) * 1000 * 1000);
    QTest::newRow("sheet of 1,000 MB") << QStringLiteral("sheet.xlsx") << part << QString();
    QTest::newRow("sheet a byte more") << QStringLiteral("sheet.xlsx") << part + 1
                                       << QStringLiteral("解压后有 1000 MB，超过 1000 MB 的上限");
    QTest::newRow("CSV of 200 MB") << QStringLiteral("file.csv") << csv << QString();
    QTest::newRow("CSV a byte more") << QStringLiteral("file.csv") << csv + 1
                                     << QStringLiteral("CSV 文件有 200 MB，超过 200 MB 的上限");
}

void TestSpreadsheet::sizeLimitsTakeTheirSizeAndRefuseOneByteMore() {
    QFETCH(QString, name);
    QFETCH(qint64, size);
    QFETCH(QString, refusal);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const QByteArray rows = "<row r=\"1\">" + SheetFiles::text("A1", QStringLiteral("名称")) + "</row>";
    if (name.endsWith(QLatin1String(".xlsx"))) {
        // The sheet is small; the reader goes by the size its package declares.
        QVERIFY(SheetFiles::writeZip(path, SheetFiles::workbook(rows),
                                     {{QStringLiteral("xl/worksheets/sheet1.xml"), quint32(size)}}));
    } else {
        // A title and a row, then blanks up to the size (a sparse file: nothing is written).
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("名称\r\n水\r\n");
        QVERIFY(file.resize(size));
        file.close();
        QVERIFY(QFileInfo(path).size() == size);
    }
    try {
        const Spreadsheet::Table table = Spreadsheet::read(path);
        QVERIFY2(refusal.isEmpty(), "read, not refused");
        QCOMPARE(table.cell(0, 0), QStringLiteral("名称"));
    } catch (const Refused& e) {
        QVERIFY2(!refusal.isEmpty() && e.text().contains(refusal), qPrintable(e.text()));
    }
}

void TestSpreadsheet::problemsAreCappedAndLongTextsShortened() {
    CoreFixture db;
    const QString folder = db.folder();
    const QString path = QDir(folder).filePath(QStringLiteral("many.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    // A title of 100,000 characters, one of 2,000, and 3,000 rows of which every one is wrong.
    file.write("大类,产品名称,库存量,单位,销售价," + QByteArray(100000, 'T') + "," + QByteArray(2000, 'U') +
               "\r\n");
    for (int r = 0; r < 3000; ++r)
        file.write("食品,品" + QByteArray::number(r) + ",x,包,1,,\r\n");
    file.close();
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, path);
    QCOMPARE(plan.problems.size(), 1000);
    QCOMPARE(plan.problemCount(), 3002);
    QCOMPARE(plan.goodRows(), 0);
    QCOMPARE(plan.problems[0].text(), QStringLiteral("第 1 行第 6 列：文字超过 32767 个字符，已忽略"));
    QCOMPARE(plan.problems[1].text(),
             QStringLiteral("第 1 行，列“%1…”：无法识别的列，已忽略").arg(QString(40, QLatin1Char('U'))));

    const QByteArray before = sha256Of(folder);
    db.close();
    const FileEdges::Run run =
        FileEdges::tool(QStringLiteral("vandrel-ledger-import"), {folder, QStringLiteral("products"), path});
    QCOMPARE(run.code, 1);
    QVERIFY2(run.out.contains(QStringLiteral("第 2 行，列“库存量”：不是数字")),
             qPrintable(run.out.left(300)));
    QVERIFY2(run.out.contains(QStringLiteral("还有 2002 处问题未列出")), qPrintable(run.out.right(300)));
    QVERIFY2(run.err.contains(QStringLiteral("文件中有 3002 处问题")), qPrintable(run.err));
    QCOMPARE(run.out.count(QLatin1Char('\n')), 1001);
    QVERIFY(run.out.size() < 100000);
    QVERIFY(!run.out.contains(QString(41, QLatin1Char('U'))));
    QCOMPARE(sha256Of(folder), before);
}

void TestSpreadsheet::csvExportGuardsFormulasAndImportTakesTheGuardOff() {
    CoreFixture db;
    const QStringList names = {QStringLiteral("=HYPERLINK(\"http://example.com/x\",\"点这里\")"),
                               QStringLiteral("=cmd|' /C calc'!A0"),
                               QStringLiteral("+1+1"),
                               QStringLiteral("-2-2"),
                               QStringLiteral("@SUM(A1:A2)"),
                               QStringLiteral("\t=1+1"),
                               QStringLiteral("'=自己的撇号"),
                               QStringLiteral("a=b")};
    for (const QString& name : names)
        CoreFixture::exec("insert into ab (b1,b2,b3,b4,b5,b8,b9) values ('食品','-细',:a,-5,'包',-1.5,7.5)",
                          {{":a", name}});
    const QString path = QDir(db.folder()).filePath(QStringLiteral("products.csv"));
    const ListDefinition& products = ListDefinitions::get(QStringLiteral("products"));
    Db::Params params;
    Spreadsheet::writeQuery(Db::business(), Spreadsheet::listStatement(products, QString(), &params), params,
                            products.table, products.columns, path, Spreadsheet::Format::Csv);
    const QJsonArray rows = readBack(path);
    QCOMPARE(rows.size(), names.size() + 1);
    const QJsonArray titles = rows[0].toArray();
    auto column = [&](const QString& title) {
        for (int c = 0; c < titles.size(); ++c)
            if (titles[c].toString() == title)
                return c;
        return -1;
    };
    QStringList written;
    for (int r = 1; r < rows.size(); ++r) {
        const QJsonArray cells = rows[r].toArray();
        written.prepend(cells[column(QStringLiteral("产品名称"))].toString());
        // Numbers stay numbers, negative ones too; a text column's "-" is guarded.
        QCOMPARE(cells[column(QStringLiteral("库存量"))].toString(), QStringLiteral("-5"));
        QCOMPARE(cells[column(QStringLiteral("销售价"))].toString(), QStringLiteral("-1.5"));
        QCOMPARE(cells[column(QStringLiteral("细类"))].toString(), QStringLiteral("'-细"));
    }
    QStringList guarded;
    const QString formula = QStringLiteral("=+-@\t");
    for (const QString& name : names)
        guarded << (formula.contains(name[0]) || (name[0] == QLatin1Char('\'') && formula.contains(name[1]))
                        ? QLatin1Char('\'') + name
                        : name);
    QCOMPARE(written, guarded);

    // The import takes the apostrophe off where the export put it, and only there.
    CoreFixture::exec("delete from ab");
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Products, path);
    QStringList read;
    for (const Importing::Row& row : plan.rows)
        read.prepend(plan.cells(row)[plan.columns.indexOf(QStringLiteral("产品名称"))]);
    QCOMPARE(read, names);
}

void TestSpreadsheet::controlCharactersAreRefusedAtTheirRowAndColumn() {
    CoreFixture db;
    const QString path = QDir(db.folder()).filePath(QStringLiteral("control.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    const char nul = '\0';
    file.write(QByteArray("会员名,备注,通讯地址\r\n"
                          "好人,有\t制表符,\r\n"
                          "坏") +
               nul +
               QByteArray("人,,\r\n"
                          "钟,\x01,\r\n"
                          "\"换\n行\",,\r\n"
                          "末,,\x1f街\r\n"));
    file.close();
    const Importing::Plan plan = Importing::checkFile(Importing::Kind::Members, path);
    const QString why = Importing::Why::ControlCharacter;
    QCOMPARE(problemTexts(plan),
             QStringList({QStringLiteral("3|会员名|") + why, QStringLiteral("4|备注|") + why,
                          QStringLiteral("5|会员名|") + why, QStringLiteral("6|通讯地址|") + why}));
    QCOMPARE(Importing::write(plan, true), 1);
    QCOMPARE(CoreFixture::rows("select j1, j8 from aj"), QStringList({QStringLiteral("好人|有\t制表符")}));
    QCOMPARE(CoreFixture::scalar("select count(*) from aj where instr(j1, char(0)) > 0").toInt(), 0);
}

void TestSpreadsheet::exportsFollowTheUmask_data() {
    QTest::addColumn<int>("mask");
    QTest::addColumn<QString>("suffix");
    for (int mask : {077, 022, 027})
        for (const char* suffix : {"csv", "xlsx"})
            QTest::addRow("umask %03o %s", mask, suffix) << mask << QString::fromLatin1(suffix);
}

void TestSpreadsheet::exportsFollowTheUmask() {
    QFETCH(int, mask);
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("members.") + suffix);
    const mode_t before = ::umask(mode_t(mask));
    Spreadsheet::Format format;
    QVERIFY(Spreadsheet::formatOf(path, &format));
    int left = 3;
    Spreadsheet::write(path, format, {{QStringLiteral("手机"), Spreadsheet::Kind::Text}},
                       [&](QVariantList& cells) {
                           cells = {QStringLiteral("13800138000")};
                           return left-- > 0;
                       });
    ::umask(before);
    struct stat info;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 0777), 0666 & ~mask);
}

void TestSpreadsheet::fullReadOnlyOrMissingTargetIsSaidPlainly_data() {
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("message");
    for (const char* suffix : {"csv", "xlsx"}) {
        QTest::addRow("%s on a full disk", suffix)
            << QString::fromLatin1(suffix) << QStringLiteral("full")
            << QStringLiteral("磁盘空间不足：文件夹“%1”没有足够的空间写入“list.%2”")
                   .arg(QStringLiteral("%1"), QLatin1String(suffix));
        QTest::addRow("%s on a read-only disk", suffix)
            << QString::fromLatin1(suffix) << QStringLiteral("read-only")
            << QStringLiteral("文件夹“%1”是只读的，无法写入“list.%2”")
                   .arg(QStringLiteral("%1"), QLatin1String(suffix));
        QTest::addRow("%s to a missing folder", suffix)
            << QString::fromLatin1(suffix) << QStringLiteral("missing") << QStringLiteral("文件夹不存在：%1");
    }
}

void TestSpreadsheet::fullReadOnlyOrMissingTargetIsSaidPlainly() {
    QFETCH(QString, suffix);
    QFETCH(QString, target);
    QFETCH(QString, message);
    FileEdges::SmallDisk disk(4 * 1024 * 1024);
    if (!disk.available())
        QSKIP(qPrintable(disk.why()));
    QDir folder(disk.path());
    if (target == QLatin1String("missing"))
        folder.setPath(disk.path() + QStringLiteral("/gone"));
    const QString path = folder.filePath(QStringLiteral("list.") + suffix);
    // An earlier export of the same name, which stays as it was.
    QFile old(QDir(disk.path()).filePath(QStringLiteral("list.") + suffix));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    if (target == QLatin1String("full"))
        disk.fillUpTo(64 * 1024);
    if (target == QLatin1String("read-only"))
        disk.setReadOnly(true);
    const QStringList before =
        QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    // Rows that do not pack small: a few megabytes in any format.
    QRandomGenerator random(7);
    qint64 produced = 0;
    const Spreadsheet::RowReader rows = [&](QVariantList& cells) {
        cells = {++produced,
                 QString::number(random.generate64(), 36) + QString::number(random.generate64(), 36)};
        return produced <= 100000;
    };
    const QList<Spreadsheet::Column> columns = {{QStringLiteral("编号"), Spreadsheet::Kind::Number},
                                                {QStringLiteral("名称"), Spreadsheet::Kind::Text}};
    Spreadsheet::Format format;
    QVERIFY(Spreadsheet::formatOf(path, &format));
    try {
        Spreadsheet::write(path, format, columns, rows);
        QFAIL("no refusal");
    } catch (const Refused& e) {
        QVERIFY2(e.text().startsWith(message.arg(folder.absolutePath())), qPrintable(e.text()));
    }
    disk.setReadOnly(false);
    QCOMPARE(QDir(disk.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
}

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
