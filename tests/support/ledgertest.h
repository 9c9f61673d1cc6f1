#pragma once

#include "corefixture.h"
#include "data/database.h"
#include "widgets/messages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

class DataGrid;
class QTimer;

// Records every message box instead of showing it; confirmations are answered as scripted
// (OK when nothing is scripted), and so is the offer of the owner's word (OK, no word, when
// nothing is scripted).
class MessageRecorder : public MessageService {
public:
    struct Message {
        QString kind; // "information", "confirm", "error", "ownersWord"
        QString title;
        QString text;
    };
    QList<Message> messages;
    QList<bool> answers;
    QList<bool> ownersWordAnswers;

    void information(const QString& text) override { messages.append({"information", "Information", text}); }
    bool confirm(const QString& text, const QString& title) override {
        messages.append({"confirm", title, text});
        return answers.isEmpty() ? true : answers.takeFirst();
    }
    void error(const QString& text, const QString& title) override {
        messages.append({"error", title, text});
    }
    bool offerOwnersWord(const QString& text) override {
        messages.append({"ownersWord", "Information", text});
        return ownersWordAnswers.isEmpty() ? false : ownersWordAnswers.takeFirst();
    }

    QStringList texts() const;
    QString last() const { return messages.isEmpty() ? QString() : messages.last().text; }
    void clear() { messages.clear(); }
};

// A complete program in a fresh temporary working folder: new database files, every global
// instance built, the message recorder installed and the clock fixed at 2026-12-09 10:30:00.
// The start-up guide flag is set to "1" so showing the main window opens nothing.
class LedgerFixture {
public:
    explicit LedgerFixture(bool build = true);
    ~LedgerFixture();
    LedgerFixture(const LedgerFixture&) = delete;

    void build();
    void teardown();
    QString folder() const { return m_dir.path(); }
    // The URL of the ledger on the test server (with LEDGER_TEST_SERVER), empty otherwise.
    QString serverUrl() const { return m_server ? m_server->serverUrl() : QString(); }
    MessageRecorder messages;

    // Statements on the open business file (service_a) or the lists file (service_b).
    static QSqlQuery exec(const QString& sql, const Db::Params& params = {});
    static QVariant scalar(const QString& sql, const Db::Params& params = {});
    static QVariant listsScalar(const QString& sql, const Db::Params& params = {});
    static void listsExec(const QString& sql, const Db::Params& params = {});
    // Rows of a statement as display texts joined with "|", one string per row.
    static QStringList rows(const QString& sql, const Db::Params& params = {});
    // From now on every insert, update or delete (event) of the table's rows fails with the
    // message, on either engine, until allowWrites.
    static void failWrites(const QString& table, const QString& event, const QString& message);
    static void allowWrites(const QString& table);

private:
    QTemporaryDir m_dir;
    bool m_built = false;
    // With LEDGER_TEST_SERVER set: the fresh database on the test server the folder points at.
    std::unique_ptr<CoreFixture> m_server;
};

// Writes the product row (see ProductRow) and reads the product list again, as a product dialog
// leaves it; returns the product's number.
qint64 addProduct(const ProductRow& row);

// Runs the action on the next modal window that opens (polling), then rejects the window if it
// is still open, so a failed check never leaves a test hanging. Arm it before the click that
// opens the window. No window within the time, or none before the fixture ends, fails the test:
// its checks never pass without running.
void onModal(std::function<void(QWidget*)> action, int timeoutMs = 5000);
// The watch of onModalIfAny: it stops watching when it goes, so that its action never runs once
// what the action refers to is gone.
class [[nodiscard]] ModalWatch {
public:
    explicit ModalWatch(QTimer* timer);
    ~ModalWatch();

private:
    QPointer<QTimer> m_timer;
};
// The same for a window that may rightly not open (a start that opens the guide or not): none
// within the time is no failure.
ModalWatch onModalIfAny(std::function<void(QWidget*)> action, int timeoutMs);

// Runs the action (a click) and tells whether it opened no modal window; one that opens is
// closed at once.
bool opensNoWindow(const std::function<void()>& action);

// Waits until the events posted before the call have been handled (what a window does from the
// event loop once shown, such as the start-up guide's check); false when that takes longer than
// the time.
bool waitForPostedEvents(int timeoutMs = 5000);

// Whether the program whose lock and socket are in the runtime folder answers a call as a later
// start makes it: its event loop runs. The call asks it to come to the front.
bool programAnswers(const QString& runtimeFolder);

// What the user does with the mouse (a test file takes them in with "using namespace User;").
namespace User {
// A click on a button the user sees.
void click(QAbstractButton* button);
// A click on a row of a grid (scrolled into view first), in its first visible column.
void clickRow(DataGrid* grid, int row);
} // namespace User

// The text of a PDF file as laid out on its pages (pdftotext), of one page when one is given.
QString pdfText(const QString& pdf, int page = 0);
// The first page of a PDF file as a grey picture (pdftoppm) at that many dots an inch.
QImage pdfPicture(const QString& pdf, int dpi = 300);
// The Code 128 symbols in a picture, read as a scanner would: the widths of the bars and spaces
// along a row, six a symbol, looked up in the symbology's table, the check symbol verified. Sets
// B and C only. Every row is tried, from the bottom up: the different texts read, or none.
QStringList readCode128(const QImage& picture);

// A named child of a window; fails the test when it is missing.
template <typename T> T* child(QObject* parent, const QString& name) {
    T* found = parent ? parent->findChild<T*>(name) : nullptr;
    if (!found)
        qWarning("no child %s of %s", qPrintable(name), parent ? qPrintable(parent->objectName()) : "null");
    return found;
}

// Starts QApplication prepared like the program (title, look) and runs the test object.
#define LEDGER_TEST_MAIN(TestObject)                                                                         \
    int main(int argc, char** argv) {                                                                        \
        QApplication app(argc, argv);                                                                        \
        prepareTestApplication(app);                                                                         \
        TestObject tc;                                                                                       \
        QTEST_SET_MAIN_SOURCE_PATH                                                                           \
        return QTest::qExec(&tc, argc, argv);                                                                \
    }

void prepareTestApplication(QApplication& app);
