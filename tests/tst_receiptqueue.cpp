#include "core/errors.h"
#include "ledger/receipts.h"
#include "reports/receiptprint.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

// Receipts printed through a print server of the tests' own (tests/cupsd.sh): a queue that prints,
// one that is paused and one that rejects jobs, as the system's printer settings leave them.
class TestReceiptQueue : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void aQueueThatCannotPrintNowIsReported_data();
    void aQueueThatCannotPrintNowIsReported();
};

namespace {

const QString Queue = QStringLiteral("receipt58");

QString command(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return program + QStringLiteral(" failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return {};
}

// The jobs the queue took, printed or not.
int jobs() {
    QProcess p;
    p.start(QStringLiteral("lpstat"),
            {QStringLiteral("-W"), QStringLiteral("all"), QStringLiteral("-o"), Queue});
    p.waitForFinished(30000);
    return int(QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts).size());
}

} // namespace

void TestReceiptQueue::initTestCase() {
    QVERIFY2(!qEnvironmentVariableIsEmpty("CUPS_SERVER"), "the tests' print server is not running");
    const QString made =
        command(QStringLiteral("lpadmin"), {QStringLiteral("-p"), Queue, QStringLiteral("-E"),
                                            QStringLiteral("-v"), QStringLiteral("file:///dev/null")});
    QVERIFY2(made.isEmpty(), qPrintable(made));
}

void TestReceiptQueue::aQueueThatCannotPrintNowIsReported_data() {
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("said");
    QTest::newRow("printing") << QStringList{"cupsenable", "cupsaccept"} << QString();
    QTest::newRow("paused") << QStringList{"cupsdisable", "cupsaccept"} << QStringLiteral("已暂停或出错");
    QTest::newRow("rejecting jobs") << QStringList{"cupsenable", "cupsreject"}
                                    << QStringLiteral("不接受新的打印任务");
    QTest::newRow("paused and rejecting")
        << QStringList{"cupsdisable", "cupsreject"} << QStringLiteral("不接受新的打印任务");
}

void TestReceiptQueue::aQueueThatCannotPrintNowIsReported() {
    QFETCH(QStringList, commands);
    QFETCH(QString, said);
    for (const QString& c : commands) {
        const QString failed = command(c, {Queue});
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
    Receipts::Receipt receipt;
    receipt.order = 7;
    receipt.when = QStringLiteral("2026-12-09 10:30:00");
    receipt.lines = {
        {QStringLiteral("可乐"), Currency::fromInt(2), Currency::fromInt(2), Currency::fromInt(4)}};
    receipt.due = receipt.received = Currency::fromInt(4);
    Receipts::Setup setup;
    setup.printer = Queue;
    const int before = jobs();
    QString error;
    try {
        ReceiptPrint::print(receipt, setup);
    } catch (const LedgerError& e) {
        error = e.text();
    }
    if (said.isEmpty()) {
        QCOMPARE(error, QString());
        QTRY_COMPARE_WITH_TIMEOUT(jobs(), before + 1, 10000);
    } else {
        QVERIFY2(error.contains(said) && error.contains(Queue), qPrintable(error));
        QCOMPARE(jobs(), before); // nothing left waiting in the queue
    }
}

int main(int argc, char* argv[]) {
    // The print server the fixture started: read before anything asks for printers.
    QFile socket(qEnvironmentVariable("LEDGER_TEST_CUPS_STATE") + QStringLiteral("/socket"));
    if (socket.open(QIODevice::ReadOnly))
        qputenv("CUPS_SERVER", socket.readAll().trimmed());
    QApplication app(argc, argv);
    TestReceiptQueue test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_receiptqueue.moc"
