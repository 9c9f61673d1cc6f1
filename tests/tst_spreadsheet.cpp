#include "core/errors.h"
#include "corefixture.h"
#include "data/listdefinitions.h"
#include "data/sharedquery.h"
#include "data/spreadsheet.h"
#include "data/work.h"
#include "ledger/importing.h"

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
    void membersImportAsTheNewMemberDialogMakesThem();
    void exportedListsImportAgain();
    void toolsExportAndImport();
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
    CoreFixture::exec("insert into ae (e1,e2,e3,e6,e7,e8,e9,e11,e12) values "
                      "('1','牛肉干','2','8.25','2026-12-05 10:00:00','食品','零食','1','包')");
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
    QSignalSpy announced(&Ledger::Announcer::instance(), &Ledger::Announcer::committed);
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
    QCOMPARE(plan.rows[6].cells[plan.columns.indexOf(QStringLiteral("产品名称"))],
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
    QCOMPARE(plan.products[0].fields.name, QStringLiteral("矿泉水"));
    QCOMPARE(plan.products[0].fields.cost.toString(), QStringLiteral("0.8"));
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
    QSignalSpy announced(&Ledger::Announcer::instance(), &Ledger::Announcer::committed);
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

QTEST_GUILESS_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
