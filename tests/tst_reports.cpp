#include "core/errors.h"
#include "data/data_in.h"
#include "ledger/products.h"
#include "ledger/reportfiles.h"
#include "ledgertest.h"
#include "orders/print_dingdan.h"
#include "reports/reportdefinition.h"
#include "reports/reports.h"
#include "warehouse/print_kucun.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

class TestReports : public QObject {
    Q_OBJECT
private slots:
    void initdbWritesTheDefaultsAndKeepsEditedOnes();
    void everyDefaultDefinitionRenders();
    void listUnderNameSearchHoldsOnlyMatchingRows();
    void longListRepeatsTitlesOnEveryPage();
    void orderDetailShowsTheOrdersLinesAndParameters();
    void orderSummaryHoldsTheListedOrders();
    void orderDialogChoices();
    void definitionChangedOnDiskChangesTheNextPrint();
    void missingOrBrokenDefinitionNamesItsPath();
    void warehouseDialogGuardsEmptyLists();
    void previewShowsThePagesInQtsPreview();
    void longPrintShowsProgressAndStopsWhenCancelled();
};

namespace {

struct Capture {
    QString definition;
    Reports::Parameters parameters;
    int calls = 0;
};

// Captures what is handed to the engine instead of showing the preview.
struct HookGuard {
    Capture capture;
    explicit HookGuard(bool render = false, QString pdf = {}) {
        Reports::setPreviewHook([this, render, pdf](const QString& d, const Reports::Parameters& p) {
            capture.definition = d;
            capture.parameters = p;
            ++capture.calls;
            if (render)
                Reports::renderPdf(d, pdf, p);
        });
    }
    ~HookGuard() { Reports::setPreviewHook(nullptr); }
};

int pdfPages(const QString& pdf) {
    QProcess p;
    p.start("pdfinfo", {pdf});
    p.waitForFinished(30000);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& line : out.split('\n'))
        if (line.startsWith("Pages:"))
            return line.mid(6).trimmed().toInt();
    return -1;
}

ProductRow juice(const QString& name, int stock, const QString& price) {
    return {.name = name,
            .stock = QString::number(stock),
            .price = price,
            .major = QStringLiteral("饮料"),
            .minor = QStringLiteral("果汁"),
            .unit = QStringLiteral("瓶"),
            .cost = 2,
            .wholesale = 2.5,
            .since = QStringLiteral("2026-12-01 08:00:00"),
            .note = QStringLiteral(""),
            .maker = QStringLiteral("本地厂")};
}

void addOrder(const QString& due, const QString& status = QStringLiteral("未结算"),
              const QString& category = QStringLiteral("普通订单")) {
    LedgerFixture::exec("insert into aa (a1, a2, a4, a5) values ('2026-12-01 09:00:00', :a, :b, :c)",
                        {{":a", status}, {":b", category}, {":c", due}});
}

void addLine(int order, const QString& name, const QString& quantity, const QString& price) {
    LedgerFixture::exec("insert into ak (k1, k2, k3, k4, k5, k6, k7, k8) values "
                        "('饮料', '果汁', :a, :b, '瓶', :c, '1', :d)",
                        {{":a", name}, {":b", quantity}, {":c", price}, {":d", QString::number(order)}});
}

QString writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write(text);
    return path;
}

} // namespace

void TestReports::initdbWritesTheDefaultsAndKeepsEditedOnes() {
    const QStringList expected{"aa.rav",  "aa_n.rav", "ab.rav",  "ac.rav",  "ae.rav",
                               "ag.rav",  "ah.rav",   "aj.rav",  "ak.rav",  "tj1.rav",
                               "tj2.rav", "tj3.rav",  "tj4.rav", "tj5.rav", "yj.rav"};
    QCOMPARE(ReportFiles::names(), expected);

    QTemporaryDir dir;
    QProcess tool;
    tool.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger-initdb", {dir.path()});
    QVERIFY(tool.waitForFinished(10000));
    QCOMPARE(tool.exitCode(), 0);
    QDir print(dir.filePath("print"));
    QCOMPARE(print.entryList(QDir::Files, QDir::Name), expected);

    // An edited definition survives a second run; a deleted one comes back.
    writeFile(print.filePath("ab.rav"), "{ \"source\": \"Rv_ab\", \"columns\": [ { \"field\": \"b3\" } ] }");
    QVERIFY(print.remove("aj.rav"));
    QProcess again;
    again.start(qEnvironmentVariable("LEDGER_BIN_DIR") + "/vandrel-ledger-initdb", {dir.path()});
    QVERIFY(again.waitForFinished(10000));
    QCOMPARE(again.exitCode(), 1); // the database files are there already
    QFile ab(print.filePath("ab.rav"));
    QVERIFY(ab.open(QIODevice::ReadOnly));
    QVERIFY(ab.readAll().startsWith("{ \"source\": \"Rv_ab\""));
    QVERIFY(print.exists("aj.rav"));
    QCOMPARE(ReportFiles::install(dir.path()), QStringList());
}

void TestReports::everyDefaultDefinitionRenders() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    addProduct(juice("苹果汁", 3, "4.5"));
    Data_in->Query_ab->refresh();
    // Each default definition names an existing connection and only fields of its table.
    for (const QString& name : ReportFiles::names()) {
        const QString pdf = QDir(f.folder()).filePath(name + ".pdf");
        // The warning list is printed from the stock page's warning list, which adds its field.
        if (name == "yj.rav") {
            LedgerFixture::exec("update ab set b14 = 5");
            Data_in->Query_ab->reset(Products::lowStockStatement());
        }
        try {
            Reports::renderPdf(name, pdf, {{"bianhao", "1"}});
        } catch (const LedgerError& e) {
            QFAIL(qPrintable(name + ": " + e.text()));
        }
        const ReportDefinition def = ReportDefinition::load(QDir(Reports::printFolder()).filePath(name));
        const QString text = pdfText(pdf);
        for (const ReportColumn& c : def.columns)
            QVERIFY2(text.contains(c.title), qPrintable(name + " lacks " + c.title));
        QVERIFY2(text.contains("打印日期: 2026-12-09 10:30:00"), qPrintable(name));
    }
}

void TestReports::listUnderNameSearchHoldsOnlyMatchingRows() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    addProduct(juice("苹果汁", 3, "4.5"));
    addProduct(juice("矿泉水", 10, "1.5"));
    addProduct(juice("鲜橙汁", 2, "6"));
    Data_in->Query_ab->search("b3", "汁");
    const QString pdf = QDir(f.folder()).filePath("ab.pdf");
    Reports::renderPdf("ab.rav", pdf);
    const QString text = pdfText(pdf);
    QVERIFY(text.contains("库存清单"));
    QVERIFY(text.contains("苹果汁"));
    QVERIFY(text.contains("鲜橙汁"));
    QVERIFY(!text.contains("矿泉水"));
    QVERIFY(text.contains("共 2 条记录"));
    QVERIFY(text.contains("25.5")); // stock value 3 × 4.5 + 2 × 6
    QVERIFY(QString(text).remove(' ').contains("第1页/共1页"));
    // Newest first, as the list shows them.
    QVERIFY(text.indexOf("鲜橙汁") < text.indexOf("苹果汁"));
    QProcess::execute("pdftoppm", {"-png", "-r", "80", "-f", "1", "-l", "1", pdf, "/tmp/report_ab"});
}

void TestReports::longListRepeatsTitlesOnEveryPage() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    LedgerFixture::exec("begin");
    for (int i = 1; i <= 150; ++i)
        addProduct(juice(QString("产品%1号 加长的名称用来测试换行是否完整显示在格子里").arg(i), i, "1"));
    LedgerFixture::exec("commit");
    Data_in->Query_ab->refresh();
    const QString pdf = QDir(f.folder()).filePath("long.pdf");
    Reports::renderPdf("ab.rav", pdf);
    const int pages = pdfPages(pdf);
    QVERIFY2(pages > 2, qPrintable(QString::number(pages)));
    for (int page = 1; page <= pages; ++page) {
        const QString text = pdfText(pdf, page);
        QVERIFY(text.contains("产品名称"));
        QVERIFY(QString(text).remove(' ').contains(QString("第%1页/共%2页").arg(page).arg(pages)));
    }
    const QString all = pdfText(pdf);
    for (int i : {1, 75, 150})
        QVERIFY2(all.contains(QString("产品%1号").arg(i)), qPrintable(QString::number(i)));
    QVERIFY(pdfText(pdf, pages).contains("共 150 条记录"));
    QVERIFY(all.contains("11325")); // stock value 1 + 2 + … + 150
    QProcess::execute("pdftoppm", {"-png", "-r", "80", "-f", "2", "-l", "2", pdf, "/tmp/report_long"});
}

void TestReports::orderDetailShowsTheOrdersLinesAndParameters() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    for (int i = 1; i <= 5; ++i)
        addOrder(QString::number(i * 10));
    addLine(4, "订单四的饼干", "1", "10");
    addLine(5, "苹果汁", "2", "4.5");
    addLine(5, "矿泉水", "3", "1.5");
    Data_in->Query_ak->refresh();

    const QString pdf = QDir(f.folder()).filePath("ak.pdf");
    HookGuard hook(true, pdf);
    print_dingdan->prepare(5, "未结算", "会员订单", Currency::parse("13.5"), Currency::parse("0"));
    child<QRadioButton>(print_dingdan, "bsSkinCheckRadioBox2")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(print_dingdan, "bsSkinButton1"), Qt::LeftButton);
    QCOMPARE(f.messages.texts(), QStringList());
    QCOMPARE(hook.capture.definition, QString("ak.rav"));

    // The shared order-line list now holds order 5's lines, as the orders page shows them.
    QCOMPARE(Data_in->Query_ak->recordCount(), 2);
    const QString text = pdfText(pdf);
    QVERIFY(text.contains("5号订单明细表"));
    QVERIFY(text.contains("苹果汁"));
    QVERIFY(text.contains("矿泉水"));
    QVERIFY(!text.contains("订单四的饼干"));
    for (const char* head :
         {"订单编号: 5", "状态: 未结算", "分类: 会员订单", "应收金额: 13.5", "实收金额: 0"})
        QVERIFY2(text.contains(QString::fromUtf8(head)), head);
    QVERIFY(text.contains("4.5")); // line amounts 9 and 4.5, total 13.5
    // The total row sums the amounts (13.5), not the quantities (5) nor the prices (6).
    QString totalRow;
    for (const QString& line : text.split('\n'))
        if (line.trimmed().startsWith(QStringLiteral("合计")))
            totalRow = line.simplified();
    QCOMPARE(totalRow, QStringLiteral("合计 13.5"));
    QProcess::execute("pdftoppm", {"-png", "-r", "80", "-f", "1", "-l", "1", pdf, "/tmp/report_ak"});
}

void TestReports::orderSummaryHoldsTheListedOrders() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    addOrder("10");
    addOrder("20.5", "已结算", "批发订单");
    addOrder("30", "未结算", "批发订单");
    LedgerFixture::exec("update aa set a6 = '20' where aid = 2");
    Data_in->Query_aa->search("a4", "批发订单");

    const QString pdf = QDir(f.folder()).filePath("aa.pdf");
    HookGuard hook(true, pdf);
    child<QRadioButton>(print_dingdan, "bsSkinCheckRadioBox1")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(print_dingdan, "bsSkinButton1"), Qt::LeftButton);
    QCOMPARE(hook.capture.definition, QString("aa.rav"));
    QCOMPARE(hook.capture.parameters, Reports::Parameters());
    const QString text = pdfText(pdf);
    QVERIFY(text.contains("订单汇总表"));
    QVERIFY(text.contains("20.5"));
    QVERIFY(text.contains("50.5")); // the amounts due of the two listed orders
    QVERIFY(text.contains("共 2 条记录"));
    QVERIFY(!text.contains("普通订单"));

    // The unsettled-order list prints remarks; one with line breaks and one longer than a page
    // stay inside their rows and the footer stays readable.
    LedgerFixture::exec("update aa set a3 = :a where aid = 1", {{":a", "第一行\n第二行"}});
    LedgerFixture::exec("update aa set a3 = :a where aid = 3", {{":a", QString("很长的备注").repeated(600)}});
    Data_in->Query_aa->reset("select * from aa where a2 like '未结算' order by aid desc");
    Reports::renderPdf("aa_n.rav", pdf);
    const QString unsettled = pdfText(pdf);
    QVERIFY(unsettled.contains("未结算订单"));
    QVERIFY(unsettled.contains("第一行"));
    QVERIFY(unsettled.contains("第二行"));
    QVERIFY(unsettled.contains("40")); // 10 + 30 due
    QVERIFY(QString(unsettled).remove(' ').contains("第1页/共2页"));
    QVERIFY(QString(pdfText(pdf, 2)).remove(' ').contains("共2条记录"));
    QProcess::execute("pdftoppm", {"-png", "-r", "60", "-f", "1", "-l", "2", pdf, "/tmp/report_aa_n"});
}

void TestReports::orderDialogChoices() {
    LedgerFixture f;
    HookGuard hook;
    auto* one = child<QRadioButton>(print_dingdan, "bsSkinCheckRadioBox1");
    auto* two = child<QRadioButton>(print_dingdan, "bsSkinCheckRadioBox2");
    QVERIFY(!one->isChecked() && !two->isChecked());
    print_dingdan->prepare(12, "已结算", "批发订单", Currency::parse("88"), Currency::parse("80"));
    QCOMPARE(two->text(), QString("12号订单的明细表"));

    // No choice: nothing happens.
    QTest::mouseClick(child<QPushButton>(print_dingdan, "bsSkinButton1"), Qt::LeftButton);
    QCOMPARE(hook.capture.calls, 0);

    two->setChecked(true);
    QTest::mouseClick(child<QPushButton>(print_dingdan, "bsSkinButton1"), Qt::LeftButton);
    QCOMPARE(hook.capture.calls, 1);
    QCOMPARE(hook.capture.definition, QString("ak.rav"));
    const Reports::Parameters expected{{"bianhao", "12"},
                                       {"zhuangtai", "已结算"},
                                       {"fenlei", "批发订单"},
                                       {"yingshou", "88"},
                                       {"shishou", "80"}};
    QCOMPARE(hook.capture.parameters, expected);
    QCOMPARE(Data_in->Query_ak->statement().contains("k8"), true);

    one->setChecked(true);
    QVERIFY(!two->isChecked());
    QTest::mouseClick(child<QPushButton>(print_dingdan, "bsSkinButton1"), Qt::LeftButton);
    QCOMPARE(hook.capture.definition, QString("aa.rav"));
}

void TestReports::definitionChangedOnDiskChangesTheNextPrint() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    addProduct(juice("苹果汁", 3, "4.5"));
    Data_in->Query_ab->refresh();
    const QString pdf = QDir(f.folder()).filePath("ab.pdf");
    Reports::renderPdf("ab.rav", pdf);
    QString text = pdfText(pdf);
    QVERIFY(text.contains("库存清单"));
    QVERIFY(text.contains("销售价"));

    writeFile(QDir(Reports::printFolder()).filePath("ab.rav"),
              "{ \"title\": \"盘点表\", \"source\": \"Rv_ab\",\n"
              "  \"columns\": [ { \"field\": \"b3\", \"title\": \"品名\" }, { \"field\": \"b12\", \"title\": "
              "\"厂家\" } ] }");
    Reports::renderPdf("ab.rav", pdf);
    text = pdfText(pdf);
    QVERIFY(text.contains("盘点表"));
    QVERIFY(text.contains("本地厂"));
    QVERIFY(!text.contains("库存清单"));
    QVERIFY(!text.contains("销售价"));
}

void TestReports::missingOrBrokenDefinitionNamesItsPath() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    const QString path = QDir::cleanPath(QDir(f.folder()).absoluteFilePath("print/ae.rav"));
    QVERIFY(QFile::remove(path));
    try {
        Reports::renderPdf("ae.rav", QDir(f.folder()).filePath("x.pdf"));
        QFAIL("no error");
    } catch (const LedgerError& e) {
        QVERIFY2(e.text().contains(path), qPrintable(e.text()));
    }
    // Through the preview, as a print button calls it: the default error box names the path.
    QVERIFY(!guarded([] { Reports::preview("ae.rav"); }));
    QCOMPARE(f.messages.messages.size(), 1);
    QCOMPARE(f.messages.messages[0].kind, QString("error"));
    QVERIFY(f.messages.last().contains(path));

    // A syntax error names the file and the line; an unknown field names the file and the field.
    writeFile(path, "{\n \"source\": \"Rv_ae\",\n \"columns\": [ { \"field\": \"e2\" }, ]\n}");
    f.messages.clear();
    QVERIFY(!guarded([] { Reports::preview("ae.rav"); }));
    QVERIFY2(f.messages.last().contains(path) && f.messages.last().contains("第 3 行"),
             qPrintable(f.messages.last()));
    writeFile(path, "{ \"source\": \"Rv_ae\", \"columns\": [ { \"field\": \"e99\" } ] }");
    QVERIFY(!guarded([] { Reports::preview("ae.rav"); }));
    QVERIFY2(f.messages.last().contains(path) && f.messages.last().contains("e99"),
             qPrintable(f.messages.last()));
    writeFile(path, "{ \"source\": \"Rv_zz\", \"columns\": [ { \"field\": \"e2\" } ] }");
    QVERIFY(!guarded([] { Reports::preview("ae.rav"); }));
    QVERIFY2(f.messages.last().contains(path) && f.messages.last().contains("Rv_zz"),
             qPrintable(f.messages.last()));
}

void TestReports::warehouseDialogGuardsEmptyLists() {
    LedgerFixture f;
    HookGuard hook;
    child<QRadioButton>(print_kucun, "bsSkinCheckRadioBox2")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(print_kucun, "bsSkinButton1"), Qt::LeftButton);
    QCOMPARE(f.messages.texts(), QStringList{"没有入库记录"});
    QCOMPARE(hook.capture.calls, 0);

    LedgerFixture::exec("insert into ae (e2, e3, e11) values ('苹果汁', '2', '5')");
    Data_in->Query_ae->refresh();
    child<QRadioButton>(print_kucun, "bsSkinCheckRadioBox3")->setChecked(true);
    QTest::mouseClick(child<QPushButton>(print_kucun, "bsSkinButton1"), Qt::LeftButton);
    QCOMPARE(hook.capture.calls, 1);
    QCOMPARE(hook.capture.definition, QString("ae.rav"));
}

void TestReports::previewShowsThePagesInQtsPreview() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    LedgerFixture::exec("begin");
    for (int i = 1; i <= 80; ++i)
        addProduct(juice(QString("产品%1").arg(i), i, "1"));
    LedgerFixture::exec("commit");
    Data_in->Query_ab->refresh();
    QString title;
    int pages = 0;
    const QString saved = QDir(f.folder()).filePath("库存清单.pdf"); // the name offered
    onModal([&](QWidget* w) {
        title = w->windowTitle();
        if (auto* view = w->findChild<QPrintPreviewWidget*>())
            pages = view->pageCount();
        // "保存为 PDF" in the preview's tool bar asks for a file name and writes the report there.
        auto* save = w->findChild<QAction*>("savePdf");
        QVERIFY(save);
        onModal([&](QWidget* chooser) {
            auto* files = qobject_cast<QFileDialog*>(chooser);
            QVERIFY(files);
            QCOMPARE(files->selectedFiles(), QStringList{saved});
            QMetaObject::invokeMethod(files, "accept");
        });
        save->trigger();
    });
    QVERIFY(guarded([] { Reports::preview("ab.rav"); }));
    QCOMPARE(title, QString("打印预览 - 库存清单"));
    QCOMPARE(pages, 3);
    QCOMPARE(f.messages.texts(), QStringList());
    QCOMPARE(pdfPages(saved), 3);
    QVERIFY(pdfText(saved).contains("产品80"));
}

namespace {

// Watches the progress boxes of a print as they appear; clicks 取消 on the one asked for.
class ProgressWatcher : public QObject {
public:
    int cancelAt = -1;
    QStringList labels;
    QStringList cancelTexts;
    int previews = 0;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show)
            return false;
        if (auto* box = qobject_cast<QProgressDialog*>(watched);
            box && box->objectName() == "reportProgress") {
            labels << box->labelText();
            auto* cancel = box->findChild<QPushButton*>();
            cancelTexts << (cancel ? cancel->text() : QString());
            if (cancel && labels.size() - 1 == cancelAt)
                QTest::mouseClick(cancel, Qt::LeftButton);
        } else if (qobject_cast<QPrintPreviewDialog*>(watched)) {
            ++previews;
        }
        return false;
    }
};

// Closes a preview left open (the test fails then instead of hanging).
struct PreviewTimeout {
    QTimer timer;
    bool fired = false;
    PreviewTimeout() {
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            fired = true;
            if (auto* preview = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget()))
                preview->reject();
        });
        timer.start(15000);
    }
};

} // namespace

void TestReports::longPrintShowsProgressAndStopsWhenCancelled() {
    LedgerFixture f;
    ReportFiles::install(f.folder());
    LedgerFixture::exec("begin");
    for (int i = 1; i <= 700; ++i)
        addProduct(juice(QString("产品%1").arg(i), i, "1"));
    LedgerFixture::exec("commit");
    Data_in->Query_ab->refresh();
    // The boxes appear once a print looks like taking longer than the delay: at once here.
    Reports::setProgressDelay(0);
    ProgressWatcher watcher;
    qApp->installEventFilter(&watcher);

    // 取消 while the rows are read: no preview, no message.
    watcher.cancelAt = 0;
    {
        PreviewTimeout timeout;
        QVERIFY(guarded([] { Reports::preview("ab.rav"); }));
        QVERIFY(!timeout.fired);
    }
    QCOMPARE(watcher.labels, QStringList{"正在读取报表的数据…"});
    QCOMPARE(watcher.cancelTexts, QStringList{"取消"});
    QCOMPARE(watcher.previews, 0);
    QCOMPARE(f.messages.texts(), QStringList());

    // 取消 while the pages are laid out: the preview closes by itself, nothing half shown stays.
    watcher.labels.clear();
    watcher.cancelAt = 1;
    {
        PreviewTimeout timeout;
        QVERIFY(guarded([] { Reports::preview("ab.rav"); }));
        QVERIFY(!timeout.fired);
    }
    QCOMPARE(watcher.labels, QStringList({"正在读取报表的数据…", "正在排版报表…"}));
    QCOMPARE(watcher.previews, 1);
    QVERIFY(!qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget()));
    QCOMPARE(f.messages.texts(), QStringList());

    // Not cancelled: the whole report, every page laid out.
    watcher.labels.clear();
    watcher.cancelAt = -1;
    int pages = 0;
    onModal([&](QWidget* w) {
        if (auto* view = w->findChild<QPrintPreviewWidget*>())
            pages = view->pageCount();
    });
    Reports::setProgressDelay(60000); // no box: onModal finds the preview itself
    QVERIFY(guarded([] { Reports::preview("ab.rav"); }));
    QVERIFY2(pages > 20, qPrintable(QString::number(pages)));
    QCOMPARE(watcher.labels, QStringList());
    qApp->removeEventFilter(&watcher);
    Reports::setProgressDelay(1000);
}

LEDGER_TEST_MAIN(TestReports)
#include "tst_reports.moc"
