// vandrel-ledger-bench: ten busy years of a shop, and how quickly the program handles them.
// Builds the data once (in a temporary folder, or in a cache folder kept for the next run), then
// measures every operation several times, first with the lists as the program keeps them
// (indexed, read page by page) and then reading every row at every open, and prints one line per
// goal with the median and PASS or FAIL against the goals of the scale it ran. --growth runs the
// scales 1, 3 and 10 in turn and shows how each figure grows with the size of the shop.
#include "app/Fr_wel.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/clock.h"
#include "core/commandline.h"
#include "core/errors.h"
#include "data/data_in.h"
#include "data/demodata.h"
#include "data/schema.h"
#include "data/spreadsheet.h"
#include "ledger/backup.h"
#include "ledger/check.h"
#include "ledger/orders.h"
#include "ledger/reportfiles.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledger/shifts.h"
#include "ledger/staff.h"
#include "orders/new_dingdan.h"
#include "reports/reports.h"
#include "serverbench.h"
#include "staffbench.h"
#include "statistics/Fr_tongji.h"
#include "system/backupkeeper.h"
#include "timing.h"
#include "warehouse/Fr_kf_chuku.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTimer>
#include <QtEndian>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <zip.h>

namespace {

class SilentMessages : public MessageService {
public:
    QStringList seen;
    void information(const QString& text) override { seen << text; }
    bool confirm(const QString&, const QString&) override { return true; }
    void error(const QString& text, const QString&) override { seen << text; }
};

using Timing::median;
using Timing::timeRuns;

void paint(QWidget* w) {
    if (auto* grid = qobject_cast<QAbstractScrollArea*>(w))
        grid->viewport()->repaint();
    else
        w->repaint();
}

// The goals of one scale: the scale-1 and the scale-10 shop have rows of their own; a scale between
// them takes each goal on the straight line between the two, a smaller one the scale-1 row and a
// bigger one the scale-10 row.
struct Goals {
    double startup, search, searchRatio, orders, addLine, lastRow, print, memory;
    QString row;
};

Goals goalsFor(double scale) {
    const Goals one{500, 20, 0.1, 20, 10, 20, 1000, 160, QStringLiteral("scale-1 goals")};
    const Goals ten{1000, 50, 0.1, 50, 10, 100, 1000, 350, QStringLiteral("scale-10 goals")};
    if (scale <= 1)
        return one;
    if (scale >= 10)
        return ten;
    const double t = (scale - 1) / 9;
    auto at = [t](double a, double b) {
        return a + (b - a) * t;
    };
    return {at(one.startup, ten.startup),
            at(one.search, ten.search),
            at(one.searchRatio, ten.searchRatio),
            at(one.orders, ten.orders),
            at(one.addLine, ten.addLine),
            at(one.lastRow, ten.lastRow),
            at(one.print, ten.print),
            at(one.memory, ten.memory),
            QStringLiteral("goals between the scale-1 and scale-10 rows")};
}

Goals goals = goalsFor(1);

// Every figure of the runs over one data folder, in the order first measured: its values of each
// run, reported as their median.
struct Figure {
    QString mode, key, label, unit, note;
    double goal = 0;
    std::vector<double> values;
};

QList<Figure> figures;

void report(const QString& mode, const QString& key, const QString& label, double value, const QString& unit,
            double goal, const QString& note = QString()) {
    for (Figure& f : figures)
        if (f.mode == mode && f.key == key) {
            f.label = label;
            f.note = note;
            f.values.push_back(value);
            return;
        }
    figures.append({mode, key, label, unit, note, goal, {value}});
}

void printFigures(int runs) {
    if (runs > 1)
        std::printf("medians of %d runs over the same data:\n", runs);
    for (const Figure& f : figures) {
        const double value = median(f.values);
        std::printf("%-16s %-62s %10.2f %-3s goal <= %7.1f %-3s %-26s %s\n", qPrintable(f.mode),
                    qPrintable(f.label), value, qPrintable(f.unit), f.goal, qPrintable(f.unit),
                    qPrintable(f.note), value <= f.goal ? "PASS" : "FAIL");
    }
    std::fflush(stdout);
}

QWidget* chukuGrid() {
    return main_window->Fr_kf_chuku1->findChild<DataGrid*>(QStringLiteral("bsSkinDBGrid2"));
}

void searchChuku(const QString& text) {
    if (auto* edit = main_window->Fr_kf_chuku1->findChild<QLineEdit*>(QStringLiteral("bsSkinEdit1")))
        edit->setText(text);
    else
        Data_in->Query_ae->search(QStringLiteral("e2"), text);
}

qint64 peakMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// Child process: start the program on the folder, open every list, print the peak memory.
int memoryRun(const QString& folder) {
    Startup::createInstances(folder);
    main_window->show();
    QApplication::processEvents();
    for (Frame* frame : main_window->frames()) {
        main_window->switchTo(frame);
        QApplication::processEvents();
        frame->repaint();
    }
    main_window->ordersView();
    main_window->repaint();
    main_window->settlementView();
    main_window->repaint();
    main_window->membersView();
    main_window->repaint();
    // Every search index read, as after the user searched every list.
    const QList<std::pair<SharedQuery*, QString>> searched = {
        {Data_in->Query_ab, "b3"}, {Data_in->Query_ac, "c2"}, {Data_in->Query_ae, "e2"},
        {Data_in->Query_aa, "a4"}, {Data_in->Query_ag, "g6"}, {Data_in->Query_ah, "h6"},
        {Data_in->Query_aj, "jid"}};
    for (const auto& [query, field] : searched) {
        query->search(field, QStringLiteral("1"));
        query->search(field, QString());
    }
    for (SharedQuery* q : Data_in->findChildren<SharedQuery*>())
        if (q->isOpen() && q->recordCount() > 0) {
            q->last();
            q->fieldText(q->key());
        }
    QApplication::processEvents();
    std::printf("%lld\n", peakMemoryKb());
    Startup::destroyInstances();
    return 0;
}

// A whole backup (copy and verification), and how long the window stops answering at most while
// an automatic backup runs beside it. Into a fresh folder: its first backup runs the full integrity
// check (as the first backup of every week does), the next ones the quick check.
void measureBackups(const QString& mode, const QString& folder) {
    QTemporaryDir root;
    const std::vector<double> full =
        timeRuns(1, [&] { Backups::make(folder, QStringLiteral("bench"), root.path()); });
    report(mode, QStringLiteral("backup-full"),
           QStringLiteral("backup, copied and verified with the full check (weekly)"), median(full), "ms",
           5000);
    const std::vector<double> backup =
        timeRuns(2, [&] { Backups::make(folder, QStringLiteral("bench"), root.path()); });
    report(mode, QStringLiteral("backup"), QStringLiteral("backup, copied and verified"), median(backup),
           "ms", 5000);

    QElapsedTimer sinceTurn;
    double longest = 0;
    QTimer turns;
    turns.setInterval(5);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceTurn.nsecsElapsed()) / 1e6);
        sinceTurn.restart();
    });
    Backups::setRoot(folder, root.path());
    backup_keeper->refresh();
    // The window first does what waited while the backups above held its thread (after a start,
    // the lists' first reading), so that what is measured is the automatic backup's own doing.
    QEventLoop settle;
    QTimer::singleShot(3000, &settle, &QEventLoop::quit);
    sinceTurn.start();
    turns.start();
    settle.exec();
    longest = 0;
    QEventLoop done;
    QObject::connect(backup_keeper, &BackupKeeper::finished, &done, &QEventLoop::quit);
    QObject::connect(backup_keeper, &BackupKeeper::failed, &done, &QEventLoop::quit);
    QString failure;
    QObject::connect(backup_keeper, &BackupKeeper::failed, &done,
                     [&](const QString& text) { failure = text; });
    sinceTurn.start();
    turns.start();
    QElapsedTimer whole;
    whole.start();
    backup_keeper->start(QStringLiteral("自动备份"));
    done.exec();
    turns.stop();
    Backups::setRoot(folder, QString());
    if (!failure.isEmpty())
        throw DatabaseError(failure);
    report(mode, QStringLiteral("backup-pause"),
           QStringLiteral("window's longest pause during a %1 ms automatic backup").arg(whole.elapsed()),
           longest, "ms", 100);
}

// Child process: start the program on the folder and export the stock-out list (a million rows at
// scale 1) as its grid's menu does; print the rows, the milliseconds and the peak memory.
int exportRun(const QString& folder, const QString& format) {
    Startup::createInstances(folder);
    main_window->show();
    main_window->switchTo(main_window->Fr_kf_chuku1);
    QApplication::processEvents();
    auto* grid = main_window->Fr_kf_chuku1->findChild<DataGrid*>(QStringLiteral("bsSkinDBGrid2"));
    SharedQuery* q = grid->query();
    const QString path = QDir(folder).filePath(QStringLiteral("stock-out.") + format);
    QElapsedTimer t;
    t.start();
    const std::clock_t cpu = std::clock();
    // The progress dialog's work between chunks: keep the window alive.
    const qint64 rows = Spreadsheet::writeQuery(
        QSqlDatabase::database(q->connection(), false), q->statement(), q->parameters(), q->table(),
        grid->shownColumns(), path,
        format == QLatin1String("xlsx") ? Spreadsheet::Format::Xlsx : Spreadsheet::Format::Csv, [](qint64) {
            QApplication::processEvents();
            return true;
        });
    const qint64 ms = t.elapsed();
    const qint64 cpuMs = qint64((std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC);
    QFile::remove(path);
    std::printf("%lld %lld %lld %lld\n", rows, ms, peakMemoryKb(), cpuMs);
    Startup::destroyInstances();
    return 0;
}

void measureExport(const QString& folder, const QString& self) {
    for (const char* format : {"xlsx", "csv"}) {
        QProcess child;
        child.start(self, {QStringLiteral("--export"), folder, QStringLiteral("--export-format"),
                           QString::fromLatin1(format)});
        child.waitForFinished(600000);
        const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
        const QString rows = QString::fromLatin1(out.value(0));
        const QString what =
            QStringLiteral("export stock-out list to %1 (%2 rows)").arg(QLatin1String(format), rows);
        const bool xlsx = QLatin1String(format) == QLatin1String("xlsx");
        const QString key = QStringLiteral("export-") + QLatin1String(format);
        report(QStringLiteral("export"), key, what, out.value(1).toDouble() / 1000.0, "s", xlsx ? 10 : 3);
        // On a shared machine the processor time tells what the export itself costs.
        report(QStringLiteral("export"), key + QStringLiteral("-cpu"),
               what + QStringLiteral(", processor time"), out.value(3).toDouble() / 1000.0, "s",
               xlsx ? 10 : 3);
        report(QStringLiteral("export"), key + QStringLiteral("-memory"),
               what + QStringLiteral(", peak memory"), out.value(2).toDouble() / 1024.0, "MB", 300);
    }
}

// A program run to its end: its exit status, the time it took, its peak memory (the kernel's
// account of the child, so nothing of this process counts) and what it printed.
struct ChildRun {
    int code = -1;
    double seconds = 0;
    double peakMb = 0;
    double processorSeconds = 0; // its own, user and system
    QString out;
};

ChildRun runMeasured(const QString& program, const QStringList& args) {
    ChildRun run;
    QTemporaryFile output;
    if (!output.open())
        return run;
    std::vector<QByteArray> texts{QFile::encodeName(program)};
    for (const QString& a : args)
        texts.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& t : texts)
        argv.push_back(t.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output.handle(), 1);
    posix_spawn_file_actions_adddup2(&actions, output.handle(), 2);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage = {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    run.seconds = t.nsecsElapsed() / 1e9;
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakMb = usage.ru_maxrss / 1024.0; // kilobytes on Linux
    run.processorSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    output.seek(0);
    run.out = QString::fromUtf8(output.readAll()).trimmed();
    return run;
}

// A workbook of the products' five required columns as Excel saves one: texts in the shared
// texts, every cell with its reference. (The program's own export writes every text in its cell
// and all twelve columns: 539 MB of sheet for a million products, above the limit of a part.)
void writeExcelStyle(const QString& path, qint64 products) {
    static const QStringList majors = {"食品", "饮料", "日用品", "烟酒", "文具", "五金", "其他"};
    static const QStringList units = {"个", "件", "瓶", "包", "袋", "盒", "箱", "公斤", "米", "套"};
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    auto begin = [&](const char* name) {
        zip_fileinfo info = {};
        zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_BEST_SPEED, 1);
    };
    auto put = [&](const QByteArray& data) {
        zipWriteInFileInZip(zip, data.constData(), unsigned(data.size()));
    };
    const QByteArray main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const QByteArray rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    begin("xl/workbook.xml");
    put("<workbook xmlns=\"" + main + "\" xmlns:r=\"" + rel +
        "\"><sheets><sheet name=\"产品\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>");
    zipCloseFileInZip(zip);
    begin("xl/_rels/workbook.xml.rels");
    put("<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
        "Id=\"rId1\" Type=\"" +
        rel + "/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>");
    zipCloseFileInZip(zip);
    // Shared texts: the titles, the categories and units, then one name a product.
    QStringList fixed = {"大类", "产品名称", "库存量", "单位", "销售价"};
    fixed += majors;
    fixed += units;
    begin("xl/sharedStrings.xml");
    QByteArray buffer = "<sst xmlns=\"" + main + "\">";
    for (const QString& t : fixed)
        buffer += "<si><t>" + t.toUtf8() + "</t></si>";
    for (qint64 i = 1; i <= products; ++i) {
        buffer +=
            "<si><t>" + QStringLiteral("产品%1号").arg(i, 7, 10, QLatin1Char('0')).toUtf8() + "</t></si>";
        if (buffer.size() > (1 << 20)) {
            put(buffer);
            buffer.clear();
        }
    }
    put(buffer + "</sst>");
    zipCloseFileInZip(zip);
    begin("xl/worksheets/sheet1.xml");
    buffer = "<worksheet xmlns=\"" + main + "\"><sheetData><row r=\"1\">";
    for (int c = 0; c < 5; ++c)
        buffer +=
            "<c r=\"" + QByteArray(1, char('A' + c)) + "1\" t=\"s\"><v>" + QByteArray::number(c) + "</v></c>";
    buffer += "</row>";
    const qint64 unitsAt = 5 + majors.size(), namesAt = unitsAt + units.size();
    for (qint64 i = 1; i <= products; ++i) {
        const QByteArray r = QByteArray::number(i + 1);
        buffer += "<row r=\"" + r + "\"><c r=\"A" + r + "\" t=\"s\"><v>" +
                  QByteArray::number(5 + i % majors.size()) + "</v></c><c r=\"B" + r + "\" t=\"s\"><v>" +
                  QByteArray::number(namesAt + i - 1) + "</v></c><c r=\"C" + r + "\"><v>" +
                  QByteArray::number(i % 500) + "</v></c><c r=\"D" + r + "\" t=\"s\"><v>" +
                  QByteArray::number(unitsAt + i % units.size()) + "</v></c><c r=\"E" + r + "\"><v>" +
                  QByteArray::number(double(i % 1000) / 2) + "</v></c></row>";
        if (buffer.size() > (1 << 20)) {
            put(buffer);
            buffer.clear();
        }
    }
    put(buffer + "</sheetData></worksheet>");
    zipCloseFileInZip(zip);
    zipClose(zip, nullptr);
}

// The largest files the import accepts: a million products as the program's own export writes
// them (the products list, as .csv and as .xlsx), the file they were made from (every column the
// import knows) and a sheet as Excel saves it (shared texts); and a zip bomb. Each is imported by
// the import tool into a new shop.
void measureImport(const QString& self) {
    QTemporaryDir dir;
    const QDir tools(QFileInfo(self).absolutePath());
    const QString tool = tools.filePath(QStringLiteral("vandrel-ledger-import"));
    const qint64 products = 1000000;
    const QList<Spreadsheet::Column> columns = {{QStringLiteral("大类"), Spreadsheet::Kind::Text},
                                                {QStringLiteral("细类"), Spreadsheet::Kind::Text},
                                                {QStringLiteral("产品名称"), Spreadsheet::Kind::Text},
                                                {QStringLiteral("库存量"), Spreadsheet::Kind::Number},
                                                {QStringLiteral("单位"), Spreadsheet::Kind::Text},
                                                {QStringLiteral("生产厂家"), Spreadsheet::Kind::Text},
                                                {QStringLiteral("成本价"), Spreadsheet::Kind::Number},
                                                {QStringLiteral("批发价"), Spreadsheet::Kind::Number},
                                                {QStringLiteral("销售价"), Spreadsheet::Kind::Number},
                                                {QStringLiteral("备注"), Spreadsheet::Kind::Text},
                                                {QStringLiteral("条码"), Spreadsheet::Kind::Text},
                                                {QStringLiteral("库存下限"), Spreadsheet::Kind::Number}};
    static const QStringList majors = {"食品", "饮料", "日用品", "烟酒", "文具", "五金", "其他"};
    static const QStringList minors = {"零食", "饼干",     "方便食品", "矿泉水",
                                       "果汁", "洗化用品", "纸品",     "其他"};
    static const QStringList units = {"个", "件", "瓶", "包", "袋", "盒", "箱", "公斤", "米", "套"};
    const QString seed = dir.filePath(QStringLiteral("products.csv"));
    qint64 i = 0;
    Spreadsheet::write(seed, Spreadsheet::Format::Csv, columns, [&](QVariantList& cells) {
        if (i == products)
            return false;
        ++i;
        cells = {majors[i % majors.size()],
                 minors[i % minors.size()],
                 QStringLiteral("产品%1号").arg(i, 7, 10, QLatin1Char('0')),
                 i % 500,
                 units[i % units.size()],
                 QStringLiteral("某某食品有限公司"),
                 double(i % 1000) / 4,
                 double(i % 1000) / 5,
                 double(i % 1000) / 2,
                 i % 10 == 0 ? QStringLiteral("新品，限量供应") : QString(),
                 QStringLiteral("69%1").arg(i, 11, 10, QLatin1Char('0')),
                 5};
        return true;
    });
    // Imports the file into a new shop (named after `key`) and reports it.
    auto measure = [&](const QString& key, const QString& file, const QString& what) {
        const QString shop = dir.filePath(QStringLiteral("shop-") + key);
        QDir().mkpath(shop);
        Schema::createDatabaseFiles(shop);
        const ChildRun run = runMeasured(tool, {shop, QStringLiteral("products"), file});
        const QString text = QStringLiteral("import %1 products from %2 (%3 MB)")
                                 .arg(products)
                                 .arg(what)
                                 .arg(QFileInfo(file).size() / 1e6, 0, 'f', 0);
        const bool ok = run.code == 0 && run.out.contains(QStringLiteral("已导入 %1 行").arg(products));
        report(QStringLiteral("import"), QStringLiteral("import-") + key, text, run.seconds, "s", 10,
               ok ? QStringLiteral("processor %1 s").arg(run.processorSeconds, 0, 'f', 1)
                  : QStringLiteral("FAILED: ") + run.out.left(200));
        report(QStringLiteral("import"), QStringLiteral("import-") + key + QStringLiteral("-memory"),
               text + QStringLiteral(", peak memory"), run.peakMb, "MB", 500);
        return shop;
    };
    const QString seeded = measure(QStringLiteral("all-columns"), seed, QStringLiteral(".csv, every column"));
    QFile::remove(seed);
    // The shop's products list exported as a shop keeper exports it, then imported again.
    for (const char* format : {"csv", "xlsx"}) {
        const QString file = dir.filePath(QStringLiteral("export.") + QLatin1String(format));
        const ChildRun exported = runMeasured(tools.filePath(QStringLiteral("vandrel-ledger-export")),
                                              {seeded, QStringLiteral("products"), QStringLiteral("--format"),
                                               QLatin1String(format), QStringLiteral("-o"), file});
        if (exported.code != 0) {
            std::printf("export FAILED: %s\n", qPrintable(exported.out.left(300)));
            continue;
        }
        measure(QLatin1String(format), file, QStringLiteral("the exported .") + QLatin1String(format));
        QFile::remove(file);
    }
    const QString excel = dir.filePath(QStringLiteral("excel.xlsx"));
    writeExcelStyle(excel, products);
    measure(QStringLiteral("excel"), excel, QStringLiteral(".xlsx as Excel saves it"));
    QFile::remove(excel);

    // A gibibyte of sheet packed into about a megabyte; the same with its size declared as 1 KB.
    for (const bool lying : {false, true}) {
        const QString bomb = dir.filePath(lying ? QStringLiteral("lying.xlsx") : QStringLiteral("bomb.xlsx"));
        zipFile zip = zipOpen64(QFile::encodeName(bomb).constData(), APPEND_STATUS_CREATE);
        auto part = [&](const char* name, const QByteArray& head, qint64 filler, const QByteArray& tail) {
            zip_fileinfo info = {};
            zipOpenNewFileInZip64(zip, name, &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED, Z_BEST_SPEED,
                                  1);
            zipWriteInFileInZip(zip, head.constData(), unsigned(head.size()));
            const QByteArray spaces(1 << 20, ' ');
            for (qint64 written = 0; written < filler; written += spaces.size())
                zipWriteInFileInZip(zip, spaces.constData(), unsigned(spaces.size()));
            zipWriteInFileInZip(zip, tail.constData(), unsigned(tail.size()));
            zipCloseFileInZip(zip);
        };
        part("xl/workbook.xml",
             "<workbook xmlns:r=\"r\"><sheets><sheet name=\"1\" sheetId=\"1\" "
             "r:id=\"rId1\"/></sheets></workbook>",
             0, "");
        part("xl/worksheets/sheet1.xml", "<worksheet><sheetData>", qint64(1) << 30,
             "</sheetData></worksheet>");
        zipClose(zip, nullptr);
        if (lying) {
            // The unpacked size wherever the package states it (32 or 64 bits) says 1 KB.
            QFile f(bomb);
            f.open(QIODevice::ReadWrite);
            QByteArray bytes = f.readAll();
            const quint64 size = (quint64(1) << 30) + 46;
            for (const int width : {8, 4}) {
                QByteArray real(8, 0), declared(8, 0);
                qToLittleEndian<quint64>(size, real.data());
                qToLittleEndian<quint64>(1024, declared.data());
                real.truncate(width);
                declared.truncate(width);
                bytes.replace(real, declared);
            }
            f.seek(0);
            f.write(bytes);
        }
        const QString shop = dir.filePath(QStringLiteral("shop-bomb"));
        QDir(shop).removeRecursively();
        QDir().mkpath(shop);
        Schema::createDatabaseFiles(shop);
        const ChildRun run = runMeasured(tool, {shop, QStringLiteral("products"), bomb});
        const QString what = QStringLiteral("refuse a 1 GiB zip bomb of %1 MB%2")
                                 .arg(QFileInfo(bomb).size() / 1e6, 0, 'f', 1)
                                 .arg(lying ? QStringLiteral(", its size declared as 1 KB") : QString());
        const QString key = lying ? QStringLiteral("bomb-lying") : QStringLiteral("bomb");
        report(QStringLiteral("import"), key, what, run.seconds, "s", 2,
               run.code == 1 ? QString() : QStringLiteral("NOT REFUSED: ") + run.out.left(200));
        report(QStringLiteral("import"), key + QStringLiteral("-memory"),
               what + QStringLiteral(", peak memory"), run.peakMb, "MB", 100);
        std::printf("%s\n", qPrintable(run.out.left(300)));
    }
}

// The check of the whole ledger on the open files, as it runs on most days (the database's quick
// check of the files) and once a week (its full check, indexes included). It reads the tables
// itself, so how the lists read theirs does not matter: measured once.
void measureCheck(const QString& mode) {
    for (const Ledger::FileCheck depth : {Ledger::FileCheck::Quick, Ledger::FileCheck::Full}) {
        const bool weekly = depth == Ledger::FileCheck::Full;
        Ledger::CheckReport checked;
        const std::clock_t cpu = std::clock();
        const std::vector<double> check =
            timeRuns(3, [&] { checked = Ledger::checkLedger(Db::business(), Db::lists(), {}, depth); });
        // On a shared machine the processor time tells more than the time passed.
        const double cpuMs = double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC / 3;
        report(mode, weekly ? QStringLiteral("check-weekly") : QStringLiteral("check"),
               QStringLiteral("check the whole ledger%1 (%2 problems found)")
                   .arg(weekly ? QStringLiteral(", weekly full file check") : QString())
                   .arg(checked.problems.size()),
               median(check), "ms", weekly ? 10000 : 5000,
               QStringLiteral("processor %1 ms").arg(cpuMs, 0, 'f', 0));
        if (!checked.clean())
            std::printf("%s", qPrintable(checked.text()));
    }
    // 停止 asked for every 0.3 s through the check: the longest time from the ask to the end (a
    // check that ended before its moment counts as stopped at once).
    double slowest = 0;
    for (int at = 100; at < 4000; at += 300) {
        QElapsedTimer clock;
        clock.start();
        Ledger::checkLedger(
            Db::business(), Db::lists(), [&](int, int) { return clock.elapsed() < at; },
            Ledger::FileCheck::Quick);
        // The wait for the first ask after the moment counts too.
        slowest = std::max(slowest, double(clock.elapsed() - at));
    }
    report(mode, QStringLiteral("check-stop"), QStringLiteral("stop the check (the longest of 13 stops)"),
           slowest, "ms", 500);
}

// The statistics page: choosing a period until its cards, charts and lists are painted, and the
// welcome page's glance at today. The clock stands on the last day of the data.
void measureStatistics(const QString& mode) {
    Clock::setFixed(QDateTime(QDate(2026, 11, 30), QTime(20, 30)));
    TFr_tongji* page = main_window->Fr_tongji1;
    main_window->switchTo(page);
    QApplication::processEvents();
    // On a shared machine the processor time a choice takes tells more than the time passed.
    double cpuMs = 0;
    int cpuRuns = 0;
    const auto onProcessor = [&](const std::function<void()>& action) {
        return [&cpuMs, &cpuRuns, action] {
            const std::clock_t start = std::clock();
            action();
            cpuMs += double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
            ++cpuRuns;
        };
    };
    const auto processor = [&] {
        const QString note = QStringLiteral("processor %1 ms").arg(cpuMs / std::max(cpuRuns, 1), 0, 'f', 1);
        cpuMs = 0;
        cpuRuns = 0;
        return note;
    };
    const char* spans[] = {"today", "this week", "this month", "this year"};
    for (int i = 0; i < 4; ++i) {
        const std::vector<double> choose = timeRuns(5, onProcessor([&] {
                                                        page->cbPeriod->setCurrentIndex(i);
                                                        page->repaint();
                                                    }),
                                                    [&] { page->cbPeriod->setCurrentIndex(i == 0 ? 1 : 0); });
        report(mode, QStringLiteral("statistics-") + QString::number(i),
               QStringLiteral("statistics for a period: %1 (%2 records)")
                   .arg(QLatin1String(spans[i]))
                   .arg(Statistics::summary(page->period()).records),
               median(choose), "ms", 200, processor());
    }
    // The year's ten best products, read when their tab is shown: a change of the ranking reads
    // them again.
    page->cbPeriod->setCurrentIndex(3);
    page->tabs->setCurrentIndex(1);
    int ranking = 0;
    const std::vector<double> best = timeRuns(5, onProcessor([&] {
                                                  page->cbRanking->setCurrentIndex(++ranking % 3);
                                                  page->repaint();
                                              }));
    report(mode, QStringLiteral("statistics-best"),
           QStringLiteral("statistics: the year's ten best products (their tab)"), median(best), "ms", 200,
           processor());
    page->tabs->setCurrentIndex(0);
    // Ten years at once, the longest period there is.
    const std::vector<double> decade = timeRuns(3, onProcessor([&] {
                                                    page->deFrom->setDate(QDate(2016, 12, 1));
                                                    page->repaint();
                                                }),
                                                [&] {
                                                    page->cbPeriod->setCurrentIndex(4);
                                                    page->deTo->setDate(QDate(2026, 11, 30));
                                                    page->deFrom->setDate(QDate(2026, 11, 30));
                                                });
    report(mode, QStringLiteral("statistics-decade"), QStringLiteral("statistics for a period: ten years"),
           median(decade), "ms", 200, processor());
    main_window->switchTo(main_window->Fr_wel1);
    const std::vector<double> card = timeRuns(7, [] {
        main_window->showToday();
        main_window->Fr_wel1->repaint();
    });
    report(mode, QStringLiteral("welcome-card"),
           QStringLiteral("welcome card: today's sales, profit and orders"), median(card), "ms", 50);
    Clock::useSystem();
}

qint64 stockOutRows = 0;

void measure(const QString& mode, const QString& folder, const QString& self, bool everything,
             bool withScaleOneOnly) {
    SharedQuery::setLoadEverything(everything);
    const int n = everything ? 3 : 7;

    // Start-up until the main window is shown with every list open.
    const std::vector<double> startup = Timing::startupRuns(folder, everything ? 2 : 5);
    report(mode, QStringLiteral("startup"), QStringLiteral("start-up, main window shown, every list open"),
           median(startup), "ms", goals.startup);

    // A keystroke in the stock-out records' search, until the grid has painted its first screen.
    main_window->switchTo(main_window->Fr_kf_chuku1);
    QApplication::processEvents();
    stockOutRows = Data_in->Query_ae->recordCount();
    for (const QString& pattern : {QStringLiteral("金"), QStringLiteral("矿泉水")}) {
        const std::vector<double> search = timeRuns(
            n,
            [&] {
                searchChuku(pattern);
                paint(chukuGrid());
            },
            [] { searchChuku(QStringLiteral("x")); });
        const QString counted =
            QStringLiteral("select count(*) from (%1)").arg(Data_in->Query_ae->statement());
        const Db::Params params = Data_in->Query_ae->parameters();
        int rows = 0;
        const std::vector<double> sqlite =
            timeRuns(n, [&] { rows = Db::scalar(Db::business(), counted, params).toInt(); });
        const double ratio = median(search) / median(sqlite);
        const QString what = QStringLiteral("search stock-out records '%1' (%2 rows)")
                                 .arg(pattern)
                                 .arg(Data_in->Query_ae->recordCount());
        report(mode, QStringLiteral("search-") + pattern, what, median(search), "ms", goals.search);
        report(mode, QStringLiteral("search-ratio-") + pattern, what + QStringLiteral(", against SQLite"),
               ratio, "x", goals.searchRatio,
               QStringLiteral("SQLite counts in %1 ms").arg(median(sqlite), 0, 'f', 1));
        if (rows != Data_in->Query_ae->recordCount())
            std::printf("    count differs: SQLite %d, list %d\n", rows, Data_in->Query_ae->recordCount());
    }
    searchChuku(QString());

    // The orders view: reset of the order list and the newest order's lines.
    const std::vector<double> orders = timeRuns(n, [] {
        main_window->ordersView();
        main_window->repaint();
    });
    report(mode, QStringLiteral("orders"),
           QStringLiteral("orders view (order list and newest order's lines)"), median(orders), "ms",
           goals.orders);

    // Adding an order line: its transaction and the refreshes.
    Db::exec(Db::business(),
             QStringLiteral("update ab set b4 = 100000 where bid = (select max(bid) from ab)"));
    Data_in->Query_ab->refresh();
    new_dingdan->show();
    QApplication::processEvents();
    bool first = true;
    const std::vector<double> add = timeRuns(n, [&] {
        if (first)
            new_dingdan->bsSkinButton1Click();
        else
            new_dingdan->bsSkinSpeedButton2Click();
        first = false;
        new_dingdan->repaint();
    });
    new_dingdan->hide();
    report(mode, QStringLiteral("add"), QStringLiteral("add an order line (transaction and refreshes)"),
           median(add), "ms", goals.addLine);

    // Moving to the last row of the million stock-out records.
    main_window->switchTo(main_window->Fr_kf_chuku1);
    const std::vector<double> last = timeRuns(
        n,
        [] {
            Data_in->Query_ae->last();
            paint(chukuGrid());
        },
        [] { Data_in->Query_ae->first(); });
    report(mode, QStringLiteral("last"),
           QStringLiteral("move to the last of %1 stock-out records").arg(Data_in->Query_ae->recordCount()),
           median(last), "ms", goals.lastRow);

    // The print of 10,000 stock-out rows, the whole document.
    Data_in->Query_ae->reset(QStringLiteral("select * from ae where eid > (select max(eid) - 10000 from ae) "
                                            "order by eid desc"));
    QTemporaryDir pdfDir;
    const QString pdf = pdfDir.filePath(QStringLiteral("ae.pdf"));
    try {
        const std::vector<double> print =
            timeRuns(everything ? 1 : 3, [&] { Reports::renderPdf(QStringLiteral("ae.rav"), pdf, {}); });
        report(mode, QStringLiteral("print"),
               QStringLiteral("print %1 stock-out rows, the whole document")
                   .arg(Data_in->Query_ae->recordCount()),
               median(print), "ms", goals.print);
    } catch (const LedgerError& e) {
        std::printf("%-16s print: %s\n", qPrintable(mode), qPrintable(e.text()));
    }
    // Backups, the check and the statistics have goals of the scale-1 shop only.
    if (!everything && withScaleOneOnly)
        measureBackups(mode, folder);
    if (!everything && withScaleOneOnly)
        measureCheck(mode);
    if (!everything && withScaleOneOnly)
        measureStatistics(mode);
    Startup::destroyInstances();

    // Peak memory of the program with every list open, in a process of its own.
    QProcess child;
    QStringList args{QStringLiteral("--memory"), folder};
    if (everything)
        args << QStringLiteral("--load-everything");
    child.start(self, args);
    child.waitForFinished(600000);
    const double mb = child.readAllStandardOutput().trimmed().toDouble() / 1024.0;
    report(mode, QStringLiteral("memory"), QStringLiteral("peak memory, every list open and searched"), mb,
           "MB", goals.memory);
}

// The data of one scale: made in the cache folder's "scale-N" folder and kept there (marked complete
// only once made, so an interrupted build is made again), or in a temporary folder.
QString prepareData(double scale, const QString& cache, QTemporaryDir& temporary) {
    QString folder = temporary.path();
    if (!cache.isEmpty()) {
        folder = QDir(cache).filePath(QStringLiteral("scale-%1").arg(scale));
        if (QFile::exists(QDir(folder).filePath(QStringLiteral("complete")))) {
            std::printf("data of scale %g reused from %s\n", scale, qPrintable(folder));
            return folder;
        }
        QDir(folder).removeRecursively();
        if (!QDir().mkpath(folder))
            throw Refused(QStringLiteral("cannot make %1").arg(folder));
    }
    QElapsedTimer t;
    t.start();
    Schema::createDatabaseFiles(folder);
    {
        TData_in data(nullptr, folder);
        DemoData::fill(DemoData::countsFor(scale));
        // The guide would open over the main window at every start.
        Db::exec(Db::lists(), QStringLiteral("update a5 set run = '1'"));
        data.checkpoint();
    }
    ReportFiles::install(folder);
    if (!cache.isEmpty()) {
        QFile mark(QDir(folder).filePath(QStringLiteral("complete")));
        if (!mark.open(QIODevice::WriteOnly))
            throw Refused(QStringLiteral("cannot write %1").arg(mark.fileName()));
    }
    std::printf("data built in %.1f s (scale %g)\n", t.elapsed() / 1000.0, scale);
    std::fflush(stdout);
    return folder;
}

struct ScaleFigures {
    double scale = 0;
    qint64 rows = 0;
    QList<Figure> figures;
};

// Signing in: checking an operator's PIN against its stored hash, the work a login waits for.
void measureLogin() {
    const QString stored = Staff::hashPin(QStringLiteral("20261210"));
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        const bool matches = Staff::pinMatches(QStringLiteral("20261210"), stored);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!matches)
            std::printf("login FAILED: the PIN does not match its own hash\n");
    }
    std::sort(times.begin(), times.end());
    report(QStringLiteral("staff"), QStringLiteral("login"),
           QStringLiteral("check an operator's PIN (Argon2id)"), times[times.size() / 2], "ms", 300);
}

// The close report of a busy shift: 2,000 orders settled in it (cash and card), recharges and cash
// moves, among the ten years of the data; its figures worked out from the records and laid out for
// the roll. Written in a transaction that is rolled back, so the data stay as they were.
void measureShiftClose(const QString& folder) {
    Startup::createInstances(folder);
    QSqlDatabase db = Db::business();
    if (!db.transaction())
        throw LedgerError(QStringLiteral("cannot begin a transaction for the shift"));
    const QString till = QStringLiteral("bench-till");
    Staff::setTillName(till);
    Db::exec(
        db,
        QStringLiteral("insert into shifts (till_name, operator_name, opened_at, day, opening_float) values "
                       "(:t, '小李', '2026-11-30 08:00:00', '2026-11-30', 2000000)"),
        {{QStringLiteral(":t"), till}});
    const qint64 key = Db::scalar(db, QStringLiteral("select max(id) from shifts")).toLongLong();
    const QString shift = QString::number(key);
    {
        QSqlQuery order(db);
        order.prepare(QStringLiteral("insert into aa (a1, a2, a3, a4, a5, a6, a10, a11) values "
                                     "(:when, '已结算', '', '普通订单', :due, :paid, :shift, :tender)"));
        for (int i = 0; i < 2000; ++i) {
            const QTime at = QTime(8, 0).addSecs(i * 20);
            order.bindValue(QStringLiteral(":when"),
                            QStringLiteral("2026-11-30 ") + at.toString(QStringLiteral("HH:mm:ss")));
            order.bindValue(QStringLiteral(":due"), 12.5 + i % 7);
            order.bindValue(QStringLiteral(":paid"), i % 10 == 0 ? 11.25 + i % 7 : 12.5 + i % 7);
            order.bindValue(QStringLiteral(":shift"), shift);
            order.bindValue(QStringLiteral(":tender"),
                            i % 4 == 0 ? QStringLiteral("会员卡") : QStringLiteral("现金"));
            if (!order.exec())
                throw LedgerError(QStringLiteral("cannot write the shift's orders"));
        }
    }
    // Twenty returns paid out of the drawer, each a movement of the report.
    for (int i = 0; i < 20; ++i)
        Db::exec(db,
                 QStringLiteral(
                     "insert into returns (order_id, returned_at, operator_name, till_name, shift_id, "
                     "reason, refund, way) values (:o, '2026-11-30 15:00:00', '小李', :t, :s, '不新鲜', "
                     "125000, '现金')"),
                 {{QStringLiteral(":o"), i + 1}, {QStringLiteral(":t"), till}, {QStringLiteral(":s"), key}});
    for (int i = 0; i < 40; ++i) {
        Db::exec(db, QStringLiteral("insert into ah (h1, h2, h9) values (1, 100, :s)"),
                 {{QStringLiteral(":s"), shift}});
        Db::exec(
            db,
            QStringLiteral("insert into cash_moves (shift_id, moved_at, kind, amount, reason) values "
                           "(:s, '2026-11-30 12:00:00', :k, 500000, '找零备用金')"),
            {{QStringLiteral(":s"), key}, {QStringLiteral(":k"), i % 2 ? Shifts::CashIn : Shifts::CashOut}});
    }
    int lines = 0;
    const std::vector<double> times = timeRuns(7, [&] {
        const Shifts::Figures f = Shifts::figures(key);
        lines = int(Shifts::reportLines(f, 32).size() + Shifts::reportLines(f, 48).size());
        if (f.cashOrders + f.cardOrders != 2000)
            std::printf("shift-close FAILED: %d orders found\n", f.cashOrders + f.cardOrders);
    });
    db.rollback();
    db = QSqlDatabase(); // the connection closes with the program's instances
    Staff::setTillName(QString());
    Startup::destroyInstances();
    report(
        QStringLiteral("shifts"), QStringLiteral("shift-close"),
        QStringLiteral("close report of a busy shift (2,000 orders, 60 cash movements): figures and %1 lines")
            .arg(lines),
        median(times), "ms", 200);
}

// A return of a 50-line order: every line comes back whole (every tenth written off), the money in
// cash, as one operation. On a copy of the shop's files, so the data stay as they were; seven
// orders, each returned once.
void measureReturn(const QString& folder) {
    QTemporaryDir copy;
    for (const QString& name : {Db::BusinessFile, Db::ListsFile})
        if (!QFile::copy(QDir(folder).filePath(name), copy.filePath(name)))
            throw LedgerError(QStringLiteral("cannot copy the shop's files for the return"));
    Startup::createInstances(copy.path());
    QList<qint64> products;
    QSqlQuery q =
        Db::exec(Db::business(),
                 QStringLiteral("select bid from ab where cast(b4 as double precision) >= 10 order by bid "
                                "limit 50"));
    while (q.next())
        products << q.value(0).toLongLong();
    std::vector<double> times;
    for (int run = 0; run < 7 && products.size() == 50; ++run) {
        Orders::LineAdded added;
        for (const qint64 product : products)
            added = Orders::addLine(added.order, product, Currency::fromInt(1));
        Settlement::payCash(added.order, added.amountDue);
        QList<Returns::Line> back;
        for (const Returns::Returnable& r : Returns::returnable(added.order))
            back << Returns::Line{r.line, r.left(), r.line % 10 == 0};
        QElapsedTimer timer;
        timer.start();
        const Returns::Made made =
            Returns::make(added.order, back, Returns::Way::Cash, QStringLiteral("整单退货"));
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (made.refund != added.amountDue || made.state != Returns::Wholly)
            std::printf("return FAILED: %s back of %s\n", qPrintable(made.refund.toString()),
                        qPrintable(added.amountDue.toString()));
    }
    // Orders from the middle of the data, years old, whose records lie deep among the others:
    // each returned whole, the money back the way it came.
    std::vector<double> old;
    const qint64 middle =
        Db::scalar(Db::business(), QStringLiteral("select max(aid) / 2 from aa")).toLongLong();
    QSqlQuery settled =
        Db::exec(Db::business(),
                 QStringLiteral("select aid from aa where aid >= :m and a2 = '已结算' order by aid limit 7"),
                 {{QStringLiteral(":m"), middle}});
    QList<qint64> orders;
    while (settled.next())
        orders << settled.value(0).toLongLong();
    int lines = 0;
    for (const qint64 order : orders) {
        QList<Returns::Line> back;
        for (const Returns::Returnable& r : Returns::returnable(order))
            back << Returns::Line{r.line, r.left(), false};
        lines = std::max(lines, int(back.size()));
        const Returns::Way way = Returns::paidByCard(order) != 0 ? Returns::Way::Card : Returns::Way::Cash;
        QElapsedTimer timer;
        timer.start();
        Returns::make(order, back, way, QStringLiteral("整单退货"));
        old.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    Startup::destroyInstances();
    if (times.empty() || old.empty()) {
        std::printf("return FAILED: no 50 products with stock or no settled orders\n");
        return;
    }
    report(QStringLiteral("returns"), QStringLiteral("return-50"),
           QStringLiteral("a return of a 50-line order (every line, in cash, some written off)"),
           median(times), "ms", 50);
    report(
        QStringLiteral("returns"), QStringLiteral("return-old"),
        QStringLiteral("a return of a whole order from the middle of the data (up to %1 lines)").arg(lines),
        median(old), "ms", 50);
}

// Measures one scale runs times over the same data and prints the medians.
ScaleFigures runScale(double scale, const QString& cache, bool compare, bool exportToo, int runs,
                      const QString& self) {
    QTemporaryDir temporary;
    const QString folder = prepareData(scale, cache, temporary);
    goals = goalsFor(scale);
    figures.clear();
    std::printf("scale %g: %s\n", scale, qPrintable(goals.row));
    std::fflush(stdout);
    const bool scaleOne = scale <= 1;
    if (scaleOne) {
        measureLogin();
        measureShiftClose(folder);
        measureReturn(folder);
    }
    if (exportToo && scaleOne) {
        measureExport(folder, self);
        measureImport(self);
    }
    for (int run = 0; run < runs; ++run) {
        measure(QStringLiteral("indexed"), folder, self, false, scaleOne && run == 0);
        if (compare)
            measure(QStringLiteral("load-everything"), folder, self, true, false);
    }
    printFigures(runs);
    ScaleFigures out{scale, stockOutRows, {}};
    for (const Figure& f : figures)
        if (f.mode == QLatin1String("indexed"))
            out.figures.append(f);
    return out;
}

// Each figure at every scale run, with its ratio to the first scale's.
void printGrowth(const QList<ScaleFigures>& scales) {
    if (scales.isEmpty())
        return;
    std::printf("\ngrowth with the size of the shop (indexed, medians; x = ratio to scale %g)\n",
                scales.front().scale);
    std::printf("%-62s", "");
    for (const ScaleFigures& s : scales)
        std::printf(" %22s", qPrintable(QStringLiteral("scale %1").arg(s.scale)));
    std::printf("\n%-62s", "stock-out records");
    for (const ScaleFigures& s : scales)
        std::printf(" %22s",
                    qPrintable(QStringLiteral("%1 (%2x)")
                                   .arg(s.rows)
                                   .arg(double(s.rows) / double(std::max<qint64>(1, scales.front().rows)), 0,
                                        'f', 1)));
    std::printf("\n");
    for (const Figure& base : scales.front().figures) {
        QString label = base.label;
        label.remove(QRegularExpression(QStringLiteral(" \\(\\d+ rows\\)")));
        label.replace(QRegularExpression(QStringLiteral(" of \\d+ ")), QStringLiteral(" of the "));
        std::printf("%-62s", qPrintable(label));
        const double first = median(base.values);
        for (const ScaleFigures& s : scales) {
            QString cell = QStringLiteral("-");
            for (const Figure& f : s.figures)
                if (f.key == base.key) {
                    const double v = median(f.values);
                    cell = QStringLiteral("%1 %2 (%3x)")
                               .arg(v, 0, 'f', v < 10 ? 2 : 1)
                               .arg(f.unit)
                               .arg(first > 0 ? v / first : 0, 0, 'f', 2);
                }
            std::printf(" %22s", qPrintable(cell));
        }
        std::printf("\n");
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    CommandLine::prepare(parser,
                         QStringLiteral("在临时文件夹中生成十年的繁忙商店数据，测量每项操作并与目标比较。\n"
                                        "Builds ten busy years of a shop in a temporary folder, measures "
                                        "each operation and compares it with its goal."));
    const QCommandLineOption scaleOption(QStringLiteral("scale"),
                                         QStringLiteral("数据规模（默认 1）/ the data's scale (default 1)"),
                                         QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption noCompare(
        QStringLiteral("no-compare"), QStringLiteral("不测量全部读入的方式 / skip the load-everything runs"));
    // The memory of one start is measured in a child process of its own.
    const QCommandLineOption memory(
        QStringLiteral("memory"),
        QStringLiteral("（内部）测量打开文件夹的内存 / (internal) measure the memory "
                       "of opening FOLDER"),
        QStringLiteral("FOLDER"));
    const QCommandLineOption loadEverything(
        QStringLiteral("load-everything"),
        QStringLiteral("（内部）与 --memory 一起 / (internal) with --memory"));
    const QCommandLineOption exportOnly(
        QStringLiteral("export-only"),
        QStringLiteral("只测量导出一百万行 / measure only the export of a million rows"));
    const QCommandLineOption importOnly(
        QStringLiteral("import-only"),
        QStringLiteral("只测量导入一百万个产品和拒绝压缩炸弹 / measure only the import of a million products "
                       "and the refusal of a zip bomb"));
    const QCommandLineOption loginOnly(
        QStringLiteral("login-only"),
        QStringLiteral("只测量操作员登录时核对密码 / measure only the check of an "
                       "operator's PIN at login"));
    const QCommandLineOption staff(
        QStringLiteral("staff"),
        QStringLiteral(
            "只测量操作员登录、有操作员时加订单明细和 N 行操作日志的查询 / measure only a login, an "
            "order line with operators and the log page over N log rows"),
        QStringLiteral("N"));
    const QCommandLineOption shiftOnly(
        QStringLiteral("shift-only"),
        QStringLiteral("只测量繁忙班次的交班报表 / measure only the close report of a busy shift"));
    const QCommandLineOption returnOnly(
        QStringLiteral("return-only"),
        QStringLiteral("只测量 50 行订单的整单退货 / measure only the return of a 50-line order"));
    const QCommandLineOption exportFolder(
        QStringLiteral("export"),
        QStringLiteral("（内部）导出文件夹的出库记录 / (internal) export FOLDER's stock-out list"),
        QStringLiteral("FOLDER"));
    const QCommandLineOption exportFormat(
        QStringLiteral("export-format"),
        QStringLiteral("（内部）与 --export 一起：xlsx 或 csv / (internal) with --export"),
        QStringLiteral("FORMAT"), QStringLiteral("xlsx"));
    const QCommandLineOption checkFolder(
        QStringLiteral("check"),
        QStringLiteral("只测量检查一个已有文件夹的账目 / measure only the check of FOLDER"),
        QStringLiteral("FOLDER"));
    const QCommandLineOption backupFolder(
        QStringLiteral("backup"),
        QStringLiteral("只测量一个已有文件夹的备份 / measure only the backups of FOLDER"),
        QStringLiteral("FOLDER"));
    const QCommandLineOption statisticsFolder(
        QStringLiteral("statistics"),
        QStringLiteral("只测量一个已有文件夹的统计页 / measure only the statistics of FOLDER"),
        QStringLiteral("FOLDER"));
    const QCommandLineOption runsOption(
        QStringLiteral("runs"),
        QStringLiteral(
            "在同一份数据上重复测量 N 次，报告中位数 / repeat the measurements N times over the same "
            "data and report the medians"),
        QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption dataCache(
        QStringLiteral("data-cache"),
        QStringLiteral(
            "生成的数据保存在 DIR/scale-N 中并在下次重用 / keep the generated data in DIR/scale-N and "
            "reuse it next time"),
        QStringLiteral("DIR"));
    const QCommandLineOption growth(
        QStringLiteral("growth"),
        QStringLiteral("依次测量规模 1、3、10，并列出增长 / measure scales 1, 3 and 10 in turn and show the "
                       "growth"));
    const QCommandLineOption server(
        QStringLiteral("server"),
        QStringLiteral("在数据库服务器上测量收银台（URL 为管理员的地址）/ measure a till on the database "
                       "server at URL (an administrator's)"),
        QStringLiteral("URL"));
    parser.addOptions({server, scaleOption, noCompare, memory, loadEverything, exportOnly, importOnly,
                       loginOnly, staff, shiftOnly, returnOnly, exportFolder, exportFormat, checkFolder,
                       backupFolder, statisticsFolder, runsOption, dataCache, growth});
    if (const int status = CommandLine::read(parser, 0, 0); status >= 0)
        return status;
    Startup::prepareApplication(app);
    SilentMessages messages;
    MessageService::install(&messages);
    try {
        // Only the check, on a folder made before (vandrel-ledger-demo FOLDER --scale 1).
        if (parser.isSet(checkFolder)) {
            Startup::createInstances(parser.value(checkFolder));
            measureCheck(QStringLiteral("indexed"));
            Startup::destroyInstances();
            printFigures(1);
            return 0;
        }
        // Only the backups, on a folder made before (vandrel-ledger-demo FOLDER --scale 1), the
        // runs asked for.
        if (parser.isSet(backupFolder)) {
            // The window is not shown: a demo folder's start-up guide would wait for a click.
            Startup::createInstances(parser.value(backupFolder));
            const int runs = std::max(1, parser.value(runsOption).toInt());
            for (int run = 0; run < runs; ++run)
                measureBackups(QStringLiteral("indexed"), parser.value(backupFolder));
            Startup::destroyInstances();
            printFigures(runs);
            return 0;
        }
        // Only the statistics, on a folder made before (vandrel-ledger-demo FOLDER --scale 1).
        if (parser.isSet(statisticsFolder)) {
            Startup::createInstances(parser.value(statisticsFolder));
            main_window->show();
            measureStatistics(QStringLiteral("indexed"));
            Startup::destroyInstances();
            printFigures(1);
            return 0;
        }
        if (parser.isSet(memory)) {
            SharedQuery::setLoadEverything(parser.isSet(loadEverything));
            return memoryRun(parser.value(memory));
        }
        if (parser.isSet(exportFolder))
            return exportRun(parser.value(exportFolder), parser.value(exportFormat));
        bool scaleOk = false;
        const double scale = parser.value(scaleOption).toDouble(&scaleOk);
        if (!scaleOk || scale <= 0 || scale > 100) {
            std::fprintf(stderr,
                         "vandrel-ledger-bench: --scale 需要 0 到 100 之间的数 / needs a number between 0 "
                         "and 100\n");
            return 2;
        }
        bool runsOk = false;
        const int runs = parser.value(runsOption).toInt(&runsOk);
        if (!runsOk || runs < 1) {
            std::fprintf(stderr, "vandrel-ledger-bench: --runs 需要正整数 / needs a positive whole number\n");
            return 2;
        }
        if (parser.isSet(server))
            // With a data cache the shop stays on the server for the next run.
            return serverBench(parser.value(server), scale, parser.isSet(dataCache));
        const bool compare = !parser.isSet(noCompare);
        const QString cache = parser.value(dataCache);
        const QString self = app.applicationFilePath();
        if (parser.isSet(staff)) {
            bool rowsOk = false;
            const qint64 rows = parser.value(staff).toLongLong(&rowsOk);
            if (!rowsOk || rows < 1) {
                std::fprintf(stderr,
                             "vandrel-ledger-bench: --staff 需要正整数 / needs a positive whole number\n");
                return 2;
            }
            return staffBench(cache, rows);
        }
        if (parser.isSet(loginOnly)) {
            measureLogin();
            printFigures(1);
            return 0;
        }
        if (parser.isSet(shiftOnly)) {
            QTemporaryDir temporary;
            measureShiftClose(prepareData(scale, cache, temporary));
            printFigures(1);
            return 0;
        }
        if (parser.isSet(returnOnly)) {
            QTemporaryDir temporary;
            measureReturn(prepareData(scale, cache, temporary));
            printFigures(1);
            return 0;
        }
        if (parser.isSet(importOnly)) {
            measureImport(self);
            printFigures(1);
            return 0;
        }
        if (parser.isSet(exportOnly)) {
            QTemporaryDir temporary;
            measureExport(prepareData(scale, cache, temporary), self);
            printFigures(1);
            return 0;
        }
        if (!parser.isSet(growth)) {
            runScale(scale, cache, compare, true, runs, self);
            return 0;
        }
        // Reading every row at every open is compared at scale 1 only: at scale 10 it would need
        // gigabytes.
        QList<ScaleFigures> scales;
        for (const double s : {1.0, 3.0, 10.0}) {
            scales.append(runScale(s, cache, compare && s <= 1, false, runs, self));
            printGrowth(scales);
        }
    } catch (const LedgerError& e) {
        std::fprintf(stderr, "vandrel-ledger-bench: %s\n", qPrintable(e.text()));
        return 1;
    }
    return 0;
}
