#include "ledgertest.h"

#include "corefixture.h"

#include "app/instanceguard.h"
#include "app/startup.h"
#include "app/webview.h"
#include "core/clock.h"
#include "data/data_in.h"
#include "data/schema.h"
#include "data/server.h"
#include "data/sharedquery.h"
#include "widgets/databound.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {
// The watches of onModal still waiting for their window.
QList<QPointer<QTimer>>& waiting() {
    static QList<QPointer<QTimer>> timers;
    return timers;
}
} // namespace

QStringList MessageRecorder::texts() const {
    QStringList list;
    for (const Message& m : messages)
        list << m.text;
    return list;
}

void prepareTestApplication(QApplication& app) {
    Startup::prepareApplication(app);
    // Column widths, window places and folders are stored per user: a test keeps its own, in a
    // folder of its own, and never touches the real user's.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
}

LedgerFixture::LedgerFixture(bool buildNow) {
    if (CoreFixture::onServer()) {
        // The program's folder names a fresh ledger on the test server.
        m_server = std::make_unique<CoreFixture>();
        m_server->close();
        Server::writeConf(m_dir.path(), Server::parseUrl(m_server->serverUrl()));
    } else {
        Schema::createDatabaseFiles(m_dir.path());
    }
    MessageService::install(&messages);
    // The embedded pages never reach the network in tests: they show their offline pages.
    WebView::setNetworkBlocked(true);
    Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 0)));
    if (buildNow)
        build();
}

LedgerFixture::~LedgerFixture() {
    teardown();
    MessageService::install(nullptr);
    Clock::useSystem();
}

void LedgerFixture::build() {
    Startup::createInstances(m_dir.path());
    listsExec(QStringLiteral("update a5 set run = '1' where ids = 8"));
    Data_in->Query_a5->refresh();
    m_built = true;
}

void LedgerFixture::teardown() {
    // A window a check waited for that never opened: the check did not run.
    QList<QPointer<QTimer>> left;
    std::swap(left, waiting());
    for (const QPointer<QTimer>& timer : left)
        if (timer) {
            delete timer;
            QTest::qFail("onModal: the window waited for never opened", __FILE__, __LINE__);
        }
    if (m_built)
        Startup::destroyInstances();
    m_built = false;
}

QSqlQuery LedgerFixture::exec(const QString& sql, const Db::Params& params) {
    return CoreFixture::exec(sql, params);
}

QVariant LedgerFixture::scalar(const QString& sql, const Db::Params& params) {
    return Db::scalar(Db::business(), sql, params);
}

QVariant LedgerFixture::listsScalar(const QString& sql, const Db::Params& params) {
    return Db::scalar(Db::lists(), sql, params);
}

void LedgerFixture::listsExec(const QString& sql, const Db::Params& params) {
    Db::exec(Db::lists(), sql, params);
}

void LedgerFixture::failWrites(const QString& table, const QString& event, const QString& message) {
    if (Db::isServer(Db::business())) {
        exec(QStringLiteral("create function %1_fails() returns trigger language plpgsql as "
                            "$$ begin raise exception '%2'; end $$")
                 .arg(table, message));
        exec(
            QStringLiteral("create trigger %1_fails before %2 on %1 for each row execute function %1_fails()")
                .arg(table, event));
    } else {
        exec(QStringLiteral("create trigger %1_fails before %2 on %1 begin select raise(abort, '%3'); end")
                 .arg(table, event, message));
    }
}

void LedgerFixture::allowWrites(const QString& table) {
    exec(QStringLiteral("drop trigger %1_fails").arg(table) +
         (Db::isServer(Db::business()) ? QStringLiteral(" on ") + table : QString()));
    if (Db::isServer(Db::business()))
        exec(QStringLiteral("drop function %1_fails()").arg(table));
}

QStringList LedgerFixture::rows(const QString& sql, const Db::Params& params) {
    return CoreFixture::rows(sql, params);
}

qint64 addProduct(const ProductRow& row) {
    const qint64 key = CoreFixture::product(row);
    Data_in->Query_ab->refresh();
    return key;
}

QString pdfText(const QString& pdf, int page) {
    QProcess p;
    QStringList args{"-layout", "-enc", "UTF-8"};
    if (page > 0)
        args << "-f" << QString::number(page) << "-l" << QString::number(page);
    p.start("pdftotext", args << pdf << "-");
    if (!p.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QImage pdfPicture(const QString& pdf, int dpi) {
    QTemporaryDir dir;
    const QString stem = QDir(dir.path()).absoluteFilePath("page");
    QProcess p;
    p.start("pdftoppm",
            {"-r", QString::number(dpi), "-gray", "-png", "-singlefile", "-f", "1", "-l", "1", pdf, stem});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QImage();
    return QImage(stem + ".png");
}

namespace {

// The widths of the bars and spaces of Code 128's symbols 0 to 106 (106: the stop, seven).
const char* const Code128Widths[] = {
    "212222", "222122", "222221", "121223", "121322", "131222", "122213", "122312", "132212", "221213",
    "221312", "231212", "112232", "122132", "122231", "113222", "123122", "123221", "223211", "221132",
    "221231", "213212", "223112", "312131", "311222", "321122", "321221", "312212", "322112", "322211",
    "212123", "212321", "232121", "111323", "131123", "131321", "112313", "132113", "132311", "211313",
    "231113", "231311", "112133", "112331", "132131", "113123", "113321", "133121", "313121", "211331",
    "231131", "213113", "213311", "213131", "311123", "311321", "331121", "312113", "312311", "332111",
    "314111", "221411", "431111", "111224", "111422", "121124", "121421", "141122", "141221", "112214",
    "112412", "122114", "122411", "142112", "142211", "241211", "221114", "413111", "241112", "134111",
    "111242", "121142", "121241", "114212", "124112", "124211", "411212", "421112", "421211", "212141",
    "214121", "412121", "111143", "111341", "131141", "114113", "114311", "411113", "411311", "113141",
    "114131", "311141", "411131", "211412", "211214", "211232", "2331112"};

// One row's runs of dark and light, from the first dark pixel to the last.
QList<int> runsOf(const QImage& picture, int y) {
    QList<int> runs;
    int x = 0;
    while (x < picture.width() && qGray(picture.pixel(x, y)) >= 128)
        ++x;
    bool dark = true;
    int length = 0;
    for (; x < picture.width(); ++x) {
        const bool now = qGray(picture.pixel(x, y)) < 128;
        if (now == dark) {
            ++length;
            continue;
        }
        runs << length;
        dark = now;
        length = 1;
    }
    if (dark && length > 0)
        runs << length;
    return runs;
}

// The symbol of six runs, each scaled to whole modules of the symbol's eleven; -1 for none.
int symbolOf(const QList<int>& runs, qsizetype at, int count, int modules) {
    int total = 0;
    for (int i = 0; i < count; ++i)
        total += runs[at + i];
    QString widths;
    for (int i = 0; i < count; ++i)
        widths += QChar(u'0' + qRound(runs[at + i] * double(modules) / total));
    for (int value = 0; value < 107; ++value)
        if (widths == QLatin1String(Code128Widths[value]))
            return value;
    return -1;
}

QString readRow(const QList<int>& runs) {
    if (runs.size() < 6 * 3 + 7 || (runs.size() - 7) % 6 != 0)
        return QString();
    if (symbolOf(runs, runs.size() - 7, 7, 13) != 106)
        return QString();
    QList<int> values;
    for (qsizetype at = 0; at + 7 < runs.size(); at += 6) {
        const int value = symbolOf(runs, at, 6, 11);
        if (value < 0)
            return QString();
        values << value;
    }
    qint64 check = values[0];
    for (qsizetype i = 1; i + 1 < values.size(); ++i)
        check += i * values[i];
    if (check % 103 != values.last())
        return QString();
    enum { B, C } set;
    if (values[0] == 104)
        set = B;
    else if (values[0] == 105)
        set = C;
    else
        return QString();
    QString text;
    for (qsizetype i = 1; i + 1 < values.size(); ++i) {
        const int v = values[i];
        if (set == B && v == 99)
            set = C;
        else if (set == C && v == 100)
            set = B;
        else if (set == B && v < 95)
            text += QChar(v + 32);
        else if (set == C && v < 100)
            text += QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
        else
            return QString();
    }
    return text;
}

} // namespace

QStringList readCode128(const QImage& picture) {
    QStringList found;
    for (int y = picture.height() - 1; y >= 0; --y)
        if (const QString text = readRow(runsOf(picture, y)); !text.isEmpty() && !found.contains(text))
            found << text;
    return found;
}

namespace {
QTimer* watchModal(std::function<void(QWidget*)> action, int timeoutMs, bool required) {
    auto* timer = new QTimer;
    if (required)
        waiting().append(timer);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, started, action, timeoutMs, required] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal) {
            timer->stop();
            timer->deleteLater();
            waiting().removeAll(timer);
            action(modal);
            if (QApplication::activeModalWidget() == modal && modal->isVisible()) {
                if (auto* dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
                else
                    modal->close();
            }
        } else if (started->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            waiting().removeAll(timer);
            if (required)
                QTest::qFail("onModal: no window opened in time", __FILE__, __LINE__);
        }
    });
    timer->start();
    return timer;
}
} // namespace

void onModal(std::function<void(QWidget*)> action, int timeoutMs) {
    watchModal(std::move(action), timeoutMs, true);
}

ModalWatch onModalIfAny(std::function<void(QWidget*)> action, int timeoutMs) {
    return ModalWatch(watchModal(std::move(action), timeoutMs, false));
}

ModalWatch::ModalWatch(QTimer* timer) : m_timer(timer) {}

ModalWatch::~ModalWatch() {
    delete m_timer.data();
}

bool opensNoWindow(const std::function<void()>& action) {
    bool opened = false;
    const auto closeModal = [&opened] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = true;
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
            else
                modal->close();
        }
    };
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, closeModal);
    watch.start();
    action();
    // A window opened without waiting for its answer is active now.
    closeModal();
    return !opened;
}

bool waitForPostedEvents(int timeoutMs) {
    const auto handled = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        qApp, [handled] { *handled = true; }, Qt::QueuedConnection);
    return QTest::qWaitFor([&handled] { return *handled; }, timeoutMs);
}

bool programAnswers(const QString& runtimeFolder) {
    QLocalSocket socket;
    socket.connectToServer(
        QDir(runtimeFolder).absoluteFilePath(InstanceGuard::Name + QStringLiteral(".socket")));
    if (!socket.waitForConnected(200))
        return false;
    socket.write("show\n");
    socket.waitForBytesWritten(1000);
    QByteArray answer;
    for (int i = 0; i < 10 && !answer.contains('\n'); ++i)
        if (socket.waitForReadyRead(100))
            answer += socket.readAll();
    return answer.contains("shown");
}

void User::click(QAbstractButton* button) {
    QVERIFY(button);
    QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
    QTest::mouseClick(button, Qt::LeftButton);
}

void User::clickRow(DataGrid* grid, int row) {
    QVERIFY(grid);
    const QModelIndex index = grid->indexOfRow(row, grid->query()->fieldIndex(grid->columns().first().field));
    QVERIFY(index.isValid());
    grid->scrollTo(index);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}
