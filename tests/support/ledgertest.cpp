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
