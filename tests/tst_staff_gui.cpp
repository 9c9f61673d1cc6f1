// The windows of a shop with staff driven as a user would: the login before the program is used,
// wrong PINs and the wait after five, the change of hands and the idle lock with windows left open,
// the operators page, the owner's word where a right is missing, and the buttons greyed for what
// the operator may not do. A shop without operators sees none of it.
#include "app/about.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/clock.h"
#include "data/data_in.h"
#include "data/sharedquery.h"
#include "data/work.h"
#include "ledger/oplog.h"
#include "ledger/orders.h"
#include "ledger/returns.h"
#include "ledger/settlement.h"
#include "ledger/staff.h"
#include "orders/Fr_dingdan.h"
#include "shifts/shiftwindows.h"
#include "support/ledgertest.h"
#include "system/staffdesk.h"
#include "warehouse/Fr_kucun.h"
#include "widgets/buttonsbar.h"
#include "widgets/registry.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <memory>

namespace {

const QString Owner = QStringLiteral("王芳");
const QString Cashier = QStringLiteral("李明");
const QString OwnerPin = QStringLiteral("1234");
const QString CashierPin = QStringLiteral("5678");

struct Shop {
    Staff::Operator owner;
    Staff::Operator cashier;
};

// The owner makes the shop's operators, and the program starts again: nobody works here yet.
Shop withOperators(LedgerFixture& fx) {
    const qint64 owner = Staff::addOperator(Owner, Staff::OwnerRole, OwnerPin);
    const qint64 cashier = Staff::addOperator(Cashier, Staff::CashierRole, CashierPin);
    fx.teardown();
    fx.build();
    return {{owner, Owner, Staff::OwnerRole}, {cashier, Cashier, Staff::CashierRole}};
}

// Types the text into the box key by key; a Chinese character comes as an input method commits it.
void typeText(QWidget* box, const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, c.toLatin1());
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Picks the name in the login, types the PIN and presses Enter.
void typeLogin(QWidget* login, const QString& name, const QString& pin) {
    auto* names = child<QComboBox>(login, QStringLiteral("cboOperator"));
    QVERIFY(names);
    const int at = names->findText(name, Qt::MatchStartsWith);
    QVERIFY2(at >= 0, qPrintable(name));
    names->setCurrentIndex(at);
    auto* box = child<QLineEdit>(login, QStringLiteral("edtPin"));
    QVERIFY(box);
    QTest::keyClicks(box, pin);
    QTest::keyClick(box, Qt::Key_Return);
}

QString loginMessage(QWidget* login) {
    auto* label = child<QLabel>(login, QStringLiteral("lblMessage"));
    return label && !label->isHidden() ? label->text() : QString();
}

// Runs the action once the named window is the active modal one (a login over an open dialog),
// then closes it if still open. `seen` tells whether it came within the time.
class WhenWindow : public QObject {
public:
    WhenWindow(const QString& name, std::function<void(QWidget*)> action, int timeoutMs = 10000)
        : m_name(name), m_action(std::move(action)) {
        m_started.start();
        connect(&m_timer, &QTimer::timeout, this, [this, timeoutMs] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal->objectName() == m_name) {
                m_timer.stop();
                seen = true;
                m_action(modal);
                if (QApplication::activeModalWidget() == modal && modal->isVisible())
                    modal->close();
            } else if (m_started.elapsed() > timeoutMs) {
                m_timer.stop();
            }
        });
        m_timer.start(20);
    }
    bool seen = false;

private:
    QString m_name;
    std::function<void(QWidget*)> m_action;
    QTimer m_timer;
    QElapsedTimer m_started;
};

QToolButton* systemItem(const QString& caption) {
    main_window->bsSkinButtonsBar1->header(4)->click();
    for (QToolButton* b : main_window->bsSkinButtonsBar1->findChildren<QToolButton*>())
        if (b->text() == caption)
            return b;
    return nullptr;
}

// The log as "action|operator|authorized by" rows, oldest first.
QStringList logRows() {
    return LedgerFixture::rows(
        QStringLiteral("select action, operator_name, coalesce(authorized_by, '') from oplog order by id"));
}

} // namespace

class TestStaffGui : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void shopWithoutOperatorsStartsWithNoDialog();
    void cancelAtTheFirstLoginEndsTheProgram();
    void loginTellsAWrongPinAndAdmitsTheRightOne();
    void fiveWrongPinsMakeTheOperatorWaitUntilATime();
    void changeOfHandsKeepsWhatIsOpen();
    void idleLockAsksAgainOverAnOpenDialog();
    void idleMinutesAreATillsOwnSetting_data();
    void idleMinutesAreATillsOwnSetting();
    void operatorsPageMakesTheOwnerACashierAndARole();
    void ownersWordLetsOneActionThrough_data();
    void ownersWordLetsOneActionThrough();
    void cashierDeletesASettledOrderOnlyOnTheOwnersWord();
    void buttonsFollowTheRightsOfWhoWorks();
    void greyedButtonAsksForTheOwnersWord();
    void rightsFollowTheRoleAsItIsNow();
    void limitsAreTheShopsOwn();
};

void TestStaffGui::initTestCase() {
    // The float of a shift is asked after a login; these tests answer only the login.
    ShiftWindows::setAskFloat(false);
}

void TestStaffGui::shopWithoutOperatorsStartsWithNoDialog() {
    LedgerFixture fx;
    QVERIFY(!Staff::inForce());
    bool started = false;
    QVERIFY(opensNoWindow([&] { started = staff_desk->signInAtStart(); }));
    QVERIFY(started);
    QVERIFY(child<QLabel>(main_window, "lblOperator")->isHidden());
    QVERIFY(child<QToolButton>(main_window, "btnChangeHands")->isHidden());
    QVERIFY(!staff_desk->idleClockRunning());
    // Everything may be done, the owner's page included, and nothing is logged.
    QVERIFY(systemItem(QStringLiteral("操作员与权限"))->isEnabled());
    QVERIFY(child<QToolButton>(main_window->Fr_kucun1, "bsSkinSpeedButton4")->isEnabled());
    QVERIFY(child<QToolButton>(main_window->Fr_dingdan1, "bsSkinSpeedButton4")->isEnabled());
    QCOMPARE(fx.scalar(QStringLiteral("select count(*) from oplog")).toInt(), 0);
}

void TestStaffGui::cancelAtTheFirstLoginEndsTheProgram() {
    LedgerFixture fx;
    withOperators(fx);
    fx.teardown();
    // The whole start, as the program makes it: the login comes before the main window.
    WhenWindow login(QStringLiteral("login"), [](QWidget* w) {
        QVERIFY(!main_window->isVisible());
        QCOMPARE(child<QPushButton>(w, "btnCancel")->text(), QStringLiteral("退出程序"));
        QTest::mouseClick(child<QPushButton>(w, "btnCancel"), Qt::LeftButton);
    });
    QCOMPARE(Startup::run(*qApp, fx.folder()), 0);
    QVERIFY(login.seen);
    QVERIFY(!main_window);
}

void TestStaffGui::loginTellsAWrongPinAndAdmitsTheRightOne() {
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    QVERIFY(Staff::inForce());
    QVERIFY(!Staff::current());
    bool started = false;
    onModal([](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("login"));
        auto* pin = child<QLineEdit>(w, "edtPin");
        // Esc at the start leaves the login up: only 退出程序 ends the program.
        QTest::keyClick(pin, Qt::Key_Escape);
        QVERIFY(w->isVisible());
        QCOMPARE(pin->echoMode(), QLineEdit::Password);
        // Digits only, at most eight.
        QTest::keyClicks(pin, QStringLiteral("12a3b4567890"));
        QCOMPARE(pin->text(), QStringLiteral("12345678"));
        pin->clear();
        typeLogin(w, Cashier, QStringLiteral("0000"));
        QVERIFY(w->isVisible());
        QCOMPARE(loginMessage(w), QStringLiteral("PIN不正确（已连续输错 1 次，连续输错 5 次须等待）"));
        QVERIFY(pin->text().isEmpty());
        QVERIFY(!Staff::current());
        typeLogin(w, Cashier, CashierPin);
        QVERIFY(!w->isVisible());
    });
    started = staff_desk->signInAtStart();
    QVERIFY(started);
    QCOMPARE(Staff::current()->key, shop.cashier.key);
    QCOMPARE(child<QLabel>(main_window, "lblOperator")->text().trimmed(), QStringLiteral("操作员：李明"));
    QVERIFY(!child<QToolButton>(main_window, "btnChangeHands")->isHidden());
    QVERIFY(staff_desk->idleClockRunning());
    QCOMPARE(logRows().last(), QStringLiteral("登录|李明|"));
}

void TestStaffGui::fiveWrongPinsMakeTheOperatorWaitUntilATime() {
    LedgerFixture fx;
    withOperators(fx);
    onModal([](QWidget* w) {
        for (int i = 1; i <= 4; ++i)
            typeLogin(w, Owner, QStringLiteral("9999"));
        QCOMPARE(loginMessage(w), QStringLiteral("PIN不正确（已连续输错 4 次，连续输错 5 次须等待）"));
        typeLogin(w, Owner, QStringLiteral("9999"));
        QCOMPARE(loginMessage(w), QStringLiteral("PIN已连续输错 5 次，请在 10:30:30 之后再试"));
        // While the owner waits, even the right PIN is not taken.
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 29)));
        typeLogin(w, Owner, OwnerPin);
        QVERIFY(w->isVisible());
        QCOMPARE(loginMessage(w), QStringLiteral("PIN已连续输错 5 次，请在 10:30:30 之后再试"));
        QVERIFY(!Staff::current());
        Clock::setFixed(QDateTime(QDate(2026, 12, 9), QTime(10, 30, 31)));
        typeLogin(w, Owner, OwnerPin);
        QVERIFY(!w->isVisible());
    });
    QVERIFY(staff_desk->signInAtStart());
    QCOMPARE(Staff::current()->name, Owner);
}

void TestStaffGui::changeOfHandsKeepsWhatIsOpen() {
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    Staff::actAs(shop.owner);
    staff_desk->staffChanged();
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    typeText(main_window->Fr_kucun1->bsSkinEdit1, QStringLiteral("可乐"));
    about->show(); // a window left open, not waiting for an answer
    QVERIFY(!StaffDesk::isGreyed(child<QToolButton>(main_window->Fr_kucun1, "bsSkinSpeedButton4")));

    // Cancelled: the owner works on.
    onModal([](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("login"));
        QCOMPARE(child<QComboBox>(w, "cboOperator")->currentText(), QStringLiteral("王芳（店主）"));
        QTest::mouseClick(child<QPushButton>(w, "btnCancel"), Qt::LeftButton);
    });
    User::click(child<QToolButton>(main_window, "btnChangeHands"));
    QCOMPARE(Staff::current()->key, shop.owner.key);

    onModal([](QWidget* w) { typeLogin(w, Cashier, CashierPin); });
    User::click(child<QToolButton>(main_window, "btnChangeHands"));
    QCOMPARE(Staff::current()->key, shop.cashier.key);
    QVERIFY(about->isVisible());
    QCOMPARE(main_window->currentFrame(), main_window->Fr_kucun1);
    QCOMPARE(main_window->Fr_kucun1->bsSkinEdit1->text(), QStringLiteral("可乐"));
    QCOMPARE(child<QLabel>(main_window, "lblOperator")->text().trimmed(), QStringLiteral("操作员：李明"));
    // A cashier receives no goods.
    QVERIFY(StaffDesk::isGreyed(child<QToolButton>(main_window->Fr_kucun1, "bsSkinSpeedButton4")));
    QCOMPARE(logRows().last(), QStringLiteral("换人|李明|"));
    about->close();
}

void TestStaffGui::idleLockAsksAgainOverAnOpenDialog() {
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    Staff::actAs(shop.cashier);
    staff_desk->staffChanged();
    main_window->show();
    std::unique_ptr<WhenWindow> login;
    bool dialogStayed = false;
    WhenWindow dialog(QStringLiteral("about"), [&](QWidget* open) {
        // The cashier walks away from the open window; the till locks itself after the time.
        login = std::make_unique<WhenWindow>(QStringLiteral("login"), [&](QWidget* w) {
            QVERIFY(!Staff::current());
            QCOMPARE(child<QLabel>(main_window, "lblOperator")->text().trimmed(), QStringLiteral("已锁定"));
            QCOMPARE(child<QComboBox>(w, "cboOperator")->currentText(), QStringLiteral("李明（收银员）"));
            typeLogin(w, Owner, OwnerPin);
        });
        staff_desk->setIdleInterval(200);
        QTRY_VERIFY_WITH_TIMEOUT(Staff::current() && Staff::current()->key == shop.owner.key, 10000);
        staff_desk->setIdleInterval(0);
        dialogStayed = open->isVisible();
    });
    Registry::showModal(QStringLiteral("about"));
    QVERIFY(dialog.seen);
    QVERIFY(login && login->seen);
    QVERIFY(dialogStayed);
    QCOMPARE(logRows().mid(logRows().size() - 2), (QStringList{"锁定|李明|", "换人|王芳|"}));
}

void TestStaffGui::idleMinutesAreATillsOwnSetting_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("intervalMs"); // 0: the till never locks
    QTest::newRow("none: ten minutes") << QVariant() << 10 * 60 * 1000;
    QTest::newRow("three") << QVariant(3) << 3 * 60 * 1000;
    QTest::newRow("zero: never") << QVariant(0) << 0;
    QTest::newRow("no number") << QVariant(QStringLiteral("abc")) << 10 * 60 * 1000;
    QTest::newRow("negative") << QVariant(-5) << 10 * 60 * 1000;
}

void TestStaffGui::idleMinutesAreATillsOwnSetting() {
    QFETCH(QVariant, stored);
    QFETCH(int, intervalMs);
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    {
        QSettings settings(QDir(fx.folder()).absoluteFilePath(Db::FolderSettingsFile), QSettings::IniFormat);
        if (stored.isValid())
            settings.setValue(QStringLiteral("staff/idleMinutes"), stored);
        settings.setValue(QStringLiteral("staff/tillName"), QStringLiteral(" 2号台 "));
    }
    fx.teardown();
    fx.build();
    QCOMPARE(Staff::tillName(), QStringLiteral("2号台"));
    Staff::actAs(shop.cashier);
    staff_desk->staffChanged();
    QCOMPARE(staff_desk->idleClockRunning(), intervalMs > 0);
    if (intervalMs > 0)
        QCOMPARE(staff_desk->idleInterval(), intervalMs);
}

void TestStaffGui::operatorsPageMakesTheOwnerACashierAndARole() {
    LedgerFixture fx;
    bool ran = false;
    onModal([&](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("caozuoyuan"));
        QVERIFY(child<QLabel>(w, "lblState")->text().contains(QStringLiteral("还没有操作员")));
        auto* name = child<QLineEdit>(w, "edtName");
        auto* role = child<QComboBox>(w, "cboRole");
        auto* pin1 = child<QLineEdit>(w, "edtPin1");
        auto* pin2 = child<QLineEdit>(w, "edtPin2");
        auto* add = child<QPushButton>(w, "btnAddOperator");
        auto* table = child<QTableWidget>(w, "tblOperators");
        // The first one is the owner, whatever the box would say.
        QVERIFY(!role->isEnabled());
        QCOMPARE(role->currentText(), Staff::OwnerRole);
        typeText(name, Owner);
        QTest::keyClicks(pin1, OwnerPin);
        QTest::keyClicks(pin2, OwnerPin);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(fx.messages.last(),
                 QStringLiteral("“王芳”是本店的店主，现已登录。\n从下次启动起，程序先请操作员登录。"));
        QVERIFY(Staff::inForce());
        QCOMPARE(Staff::current()->name, Owner);
        QCOMPARE(Staff::current()->role, Staff::OwnerRole);
        QCOMPARE(child<QLabel>(main_window, "lblOperator")->text().trimmed(), QStringLiteral("操作员：王芳"));
        QVERIFY(!child<QLabel>(main_window, "lblOperator")->isHidden());
        QVERIFY(staff_desk->idleClockRunning());

        // A cashier; the PIN typed twice must agree.
        QVERIFY(role->isEnabled());
        typeText(name, Cashier);
        role->setCurrentText(Staff::CashierRole);
        QTest::keyClicks(pin1, CashierPin);
        QTest::keyClicks(pin2, QStringLiteral("5679"));
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(fx.messages.last(), QStringLiteral("两次输入的PIN不一样，请重新输入"));
        QCOMPARE(Staff::operators().size(), 1);
        pin2->clear();
        QTest::keyClicks(pin2, CashierPin);
        QTest::mouseClick(add, Qt::LeftButton);
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(table->item(0, 0)->text() + table->item(0, 1)->text(), QStringLiteral("李明收银员"));
        QCOMPARE(table->item(1, 0)->text() + table->item(1, 1)->text(), QStringLiteral("王芳店主"));

        // A role of the owner's own: the rights ticked.
        auto* tabs = child<QTabWidget>(w, "tabs");
        tabs->setCurrentWidget(child<QWidget>(w, "tabRoles"));
        auto* roles = child<QListWidget>(w, "lstRoles");
        auto* rights = child<QListWidget>(w, "lstRights");
        QCOMPARE(rights->count(), Staff::allRights().size());
        roles->setCurrentRow(1); // the cashier's, built in: shown, not changed
        QCOMPARE(roles->currentItem()->text(), Staff::CashierRole);
        QVERIFY(!rights->isEnabled());
        for (int i = 0; i < rights->count(); ++i)
            QCOMPARE(rights->item(i)->checkState() == Qt::Checked,
                     Staff::cashierRights().contains(Staff::allRights()[i]));
        auto* roleName = child<QLineEdit>(w, "edtRoleName");
        roleName->clear();
        typeText(roleName, QStringLiteral("理货员"));
        QVERIFY(rights->isEnabled());
        for (int i = 0; i < rights->count(); ++i) {
            const Staff::Right right = Staff::allRights()[i];
            QCOMPARE(rights->item(i)->text(), Staff::name(right));
            rights->item(i)->setCheckState(right == Staff::Right::StockIn || right == Staff::Right::Products
                                               ? Qt::Checked
                                               : Qt::Unchecked);
        }
        QTest::mouseClick(child<QPushButton>(w, "btnSaveRole"), Qt::LeftButton);
        QCOMPARE(Staff::rightsOf(QStringLiteral("理货员")),
                 (Staff::Rights{Staff::Right::StockIn, Staff::Right::Products}));
        QCOMPARE(roles->currentItem()->text(), QStringLiteral("理货员"));

        // The cashier becomes a stock keeper; the role cannot go while someone has it.
        tabs->setCurrentWidget(child<QWidget>(w, "tabOperators"));
        table->selectRow(0);
        QCOMPARE(name->text(), Cashier);
        role->setCurrentText(QStringLiteral("理货员"));
        QTest::mouseClick(child<QPushButton>(w, "btnUpdateOperator"), Qt::LeftButton);
        QCOMPARE(table->item(0, 1)->text(), QStringLiteral("理货员"));
        tabs->setCurrentWidget(child<QWidget>(w, "tabRoles"));
        QTest::mouseClick(child<QPushButton>(w, "btnRemoveRole"), Qt::LeftButton);
        QCOMPARE(fx.messages.last(), QStringLiteral("还有操作员是“理货员”角色，不能删除"));
        QVERIFY(Staff::roleNames().contains(QStringLiteral("理货员")));

        // The only owner stays.
        tabs->setCurrentWidget(child<QWidget>(w, "tabOperators"));
        table->selectRow(1);
        QTest::mouseClick(child<QPushButton>(w, "btnRemoveOperator"), Qt::LeftButton);
        QCOMPARE(fx.messages.last(), QStringLiteral("“王芳”是唯一的店主，不能删除"));
        QCOMPARE(Staff::operators().size(), 2);

        // This till's own settings.
        tabs->setCurrentWidget(child<QWidget>(w, "tabTill"));
        auto* till = child<QLineEdit>(w, "edtTillName");
        till->clear();
        typeText(till, QStringLiteral("1号收银台"));
        child<QSpinBox>(w, "spnIdleMinutes")->setValue(5);
        QTest::mouseClick(child<QPushButton>(w, "btnSaveTill"), Qt::LeftButton);
        QCOMPARE(Staff::tillName(), QStringLiteral("1号收银台"));
        QCOMPARE(staff_desk->idleInterval(), 5 * 60 * 1000);
        QCOMPARE(TillSettings::idleMinutes(fx.folder()), 5);
        QCOMPARE(TillSettings::tillName(fx.folder()), QStringLiteral("1号收银台"));
        ran = true;
    });
    QTest::mouseClick(systemItem(QStringLiteral("操作员与权限")), Qt::LeftButton);
    QVERIFY(ran);
}

void TestStaffGui::ownersWordLetsOneActionThrough_data() {
    QTest::addColumn<bool>("asked");  // 店主授权 chosen in the refusal
    QTest::addColumn<QString>("pin"); // typed in the owner's word; empty: cancelled
    QTest::addColumn<bool>("through");
    QTest::addColumn<QString>("told"); // the last message
    QTest::newRow("not asked") << false << QString() << false << QStringLiteral("没有权限：删除已结算订单");
    QTest::newRow("cancelled") << true << QString() << false << QStringLiteral("没有权限：删除已结算订单");
    QTest::newRow("wrong PIN") << true << QStringLiteral("4321") << false << QStringLiteral("PIN不正确");
    QTest::newRow("owner's PIN") << true << OwnerPin << true << QStringLiteral("没有权限：删除已结算订单");
}

void TestStaffGui::ownersWordLetsOneActionThrough() {
    QFETCH(bool, asked);
    QFETCH(QString, pin);
    QFETCH(bool, through);
    QFETCH(QString, told);
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    Staff::actAs(shop.cashier);
    int done = 0;
    // A handler whose operation needs a right the cashier lacks.
    const auto deleteSettled = [&done] {
        Staff::require(Staff::Right::DeleteSettled, QStringLiteral("订单 7"));
        OpLog::write({OpLog::DeleteOrder, QStringLiteral("订单 7"), QStringLiteral("已结算"), {}});
        ++done;
    };
    fx.messages.ownersWordAnswers = {asked};
    bool word = false;
    std::unique_ptr<ModalWatch> watch;
    if (asked)
        onModal([&](QWidget* w) {
            word = true;
            QCOMPARE(w->objectName(), QStringLiteral("ownersWord"));
            auto* owners = child<QComboBox>(w, "cboOwner");
            QCOMPARE(owners->count(), 1);
            QCOMPARE(owners->currentText(), Owner);
            if (pin.isEmpty()) {
                QTest::mouseClick(child<QPushButton>(w, "btnCancel"), Qt::LeftButton);
                return;
            }
            QTest::keyClicks(child<QLineEdit>(w, "edtPin"), pin);
            QTest::keyClick(child<QLineEdit>(w, "edtPin"), Qt::Key_Return);
        });
    else
        watch = std::make_unique<ModalWatch>(onModalIfAny([&](QWidget*) { word = true; }, 300));
    QCOMPARE(guarded(deleteSettled), through);
    QCOMPARE(word, asked);
    QCOMPARE(done, through ? 1 : 0);
    QCOMPARE(fx.messages.messages.first().kind, QStringLiteral("ownersWord"));
    QCOMPARE(fx.messages.last(), told);
    QStringList expected{"拒绝|李明|"};
    if (through)
        expected << "店主授权|李明|王芳"
                 << "删除订单|李明|王芳";
    QCOMPARE(logRows().mid(logRows().indexOf("拒绝|李明|")), expected);
    // The word held for that one action: the cashier is refused again.
    QVERIFY(!Staff::authorizer());
    QVERIFY(!Staff::may(Staff::Right::DeleteSettled));
    QCOMPARE(Staff::current()->key, shop.cashier.key);
}

void TestStaffGui::cashierDeletesASettledOrderOnlyOnTheOwnersWord() {
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    Staff::actAs(shop.owner);
    const qint64 cola =
        CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("10"), QStringLiteral("3"));
    QList<qint64> orders;
    for (int i = 0; i < 2; ++i) {
        orders << Orders::addLine(0, cola, Currency::fromInt(1)).order;
        Settlement::payCash(orders.last(), Orders::amountDue(orders.last()));
    }
    Staff::actAs(shop.cashier);
    staff_desk->staffChanged();
    main_window->show();
    main_window->ordersView();
    auto* remove = child<QToolButton>(main_window->Fr_dingdan1, "bsSkinSpeedButton4");
    const auto count = [](qint64 order) {
        return LedgerFixture::scalar(QStringLiteral("select count(*) from aa where aid = :a"),
                                     {{":a", order}})
            .toInt();
    };
    QCOMPARE(Data_in->Query_aa->fieldValue(QStringLiteral("aid")).toLongLong(), orders.last());

    // The owner's PIN: that order goes, and the log names both.
    fx.messages.ownersWordAnswers = {true};
    onModal([](QWidget* w) {
        QCOMPARE(w->objectName(), QStringLiteral("ownersWord"));
        QTest::keyClicks(child<QLineEdit>(w, "edtPin"), OwnerPin);
        QTest::keyClick(child<QLineEdit>(w, "edtPin"), Qt::Key_Return);
    });
    User::click(remove);
    QCOMPARE(count(orders.last()), 0);
    const QStringList log = logRows();
    QCOMPARE(log.mid(log.indexOf("拒绝|李明|")),
             (QStringList{"拒绝|李明|", "店主授权|李明|王芳", "删除订单|李明|王芳"}));

    // Once only: the next settled order stays, refused again.
    QCOMPARE(Data_in->Query_aa->fieldValue(QStringLiteral("aid")).toLongLong(), orders.first());
    fx.messages.clear();
    fx.messages.ownersWordAnswers = {false};
    User::click(remove);
    QCOMPARE(count(orders.first()), 1);
    QCOMPARE(fx.messages.last(), QStringLiteral("没有权限：删除已结算订单"));
    QCOMPARE(logRows().last(), QStringLiteral("拒绝|李明|"));
}

void TestStaffGui::buttonsFollowTheRightsOfWhoWorks() {
    LedgerFixture fx;
    struct Button {
        const char* page; // the page, or the navigation bar
        const char* name;
        bool cashier; // enabled for a cashier
    };
    const QList<Button> buttons{
        {"Fr_dingdan1", "bsSkinSpeedButton5", true},                      // 新订单
        {"Fr_dingdan1", "bsSkinSpeedButton4", true},                      // 删除 (an unsettled order)
        {"Fr_dingdan1", "bsSkinSpeedButton11", false},                    // 小票设置
        {"Fr_kucun1", "bsSkinSpeedButton5", false},                       // 新建产品
        {"Fr_kucun1", "bsSkinSpeedButton4", false},                       // 入库
        {"Fr_kucun1", "bsSkinSpeedButton2", false},                       // 删除产品
        {"Fr_kucun1", "importProductsButton", false},                     // 导入
        {"Fr_kucun1", "bsSkinSpeedButton8", true},                        // 打印
        {"Fr_huiyuan1", "bsSkinSpeedButton4", true},                      // 新会员
        {"Fr_huiyuan1", "bsSkinSpeedButton3", true},                      // 充值
        {"Fr_huiyuan1", "importMembersButton", false},                    // 导入
        {"bsSkinButtonsBar1", "bsSkinButtonsBar1Sections4Items2", false}, // 数据备份
        {"bsSkinButtonsBar1", "bsSkinButtonsBar1Sections4Items3", false}, // 数据恢复
        {"bsSkinButtonsBar1", "bsSkinButtonsBar1Sections4Items5", false}, // 操作员与权限
    };
    const auto check = [&](const char* who, bool cashier) {
        for (const Button& b : buttons) {
            QWidget* button =
                child<QWidget>(child<QWidget>(main_window, QLatin1String(b.page)), QLatin1String(b.name));
            QVERIFY(button);
            // Greyed, never disabled: a click still asks for the owner's word.
            QVERIFY2(button->isEnabled() && StaffDesk::isGreyed(button) == (cashier && !b.cashier),
                     qPrintable(QStringLiteral("%1: %2").arg(QLatin1String(who), QLatin1String(b.name))));
        }
    };
    check("no operators", false);
    const Shop shop = withOperators(fx);
    Staff::actAs(shop.cashier);
    staff_desk->staffChanged();
    check("cashier", true);
    // The status bar's backup mark is no way round the greyed 数据备份.
    auto* backupMark = child<QLabel>(main_window, "lblBackup");
    QVERIFY(opensNoWindow([&] { QTest::mouseClick(backupMark, Qt::LeftButton); }));
    Staff::actAs(shop.owner);
    staff_desk->staffChanged();
    check("owner", false);
    QVERIFY(!opensNoWindow([&] { QTest::mouseClick(backupMark, Qt::LeftButton); }));
}

void TestStaffGui::greyedButtonAsksForTheOwnersWord() {
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    Staff::actAs(shop.cashier);
    staff_desk->staffChanged();
    main_window->show();
    main_window->switchTo(main_window->Fr_kucun1);
    auto* add = child<QToolButton>(main_window->Fr_kucun1, "bsSkinSpeedButton5"); // 新建产品
    QVERIFY(StaffDesk::isGreyed(add));
    QCOMPARE(add->toolTip(), QStringLiteral("没有权限：新增、修改、删除产品（点击可请店主授权）"));
    const int before = logRows().size();

    // No word: nothing opens; the refusal is told and logged.
    fx.messages.ownersWordAnswers = {false};
    QVERIFY(opensNoWindow([&] {
        QTest::mouseClick(add, Qt::LeftButton);
        QTRY_COMPARE(fx.messages.messages.size(), 1);
    }));
    QCOMPARE(fx.messages.messages.first().kind, QStringLiteral("ownersWord"));
    QCOMPARE(fx.messages.last(), QStringLiteral("没有权限：新增、修改、删除产品"));
    QCOMPARE(logRows().mid(before), QStringList{"拒绝|李明|"});

    // The owner's PIN: the product dialog opens for the owner's word, which ends when it closes.
    fx.messages.clear();
    fx.messages.ownersWordAnswers = {true};
    bool heldInDialog = false;
    WhenWindow product(QStringLiteral("new_chanpin"),
                       [&](QWidget*) { heldInDialog = Staff::may(Staff::Right::Products); });
    WhenWindow word(QStringLiteral("ownersWord"), [](QWidget* w) {
        QTest::keyClicks(child<QLineEdit>(w, "edtPin"), OwnerPin);
        QTest::keyClick(child<QLineEdit>(w, "edtPin"), Qt::Key_Return);
    });
    QTest::mouseClick(add, Qt::LeftButton);
    QTRY_VERIFY(product.seen);
    QVERIFY(word.seen);
    QVERIFY(heldInDialog);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QVERIFY(!Staff::may(Staff::Right::Products));
    QCOMPARE(logRows().mid(before + 1), (QStringList{"拒绝|李明|", "店主授权|李明|王芳"}));

    // A keyboard shortcut or the space bar is no way round either.
    fx.messages.clear();
    fx.messages.ownersWordAnswers = {false};
    add->setFocus();
    QVERIFY(opensNoWindow([&] {
        QTest::keyClick(add, Qt::Key_Space);
        QTRY_COMPARE(fx.messages.messages.size(), 1);
    }));
    QCOMPARE(fx.messages.last(), QStringLiteral("没有权限：新增、修改、删除产品"));
}

void TestStaffGui::rightsFollowTheRoleAsItIsNow() {
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    Staff::actAs(shop.owner);
    const QString Lead = QStringLiteral("领班");
    Staff::saveRole(Lead, {Staff::Right::Sell, Staff::Right::StockIn});
    const qint64 lead = Staff::addOperator(QStringLiteral("赵强"), Lead, QStringLiteral("2468"));
    Staff::actAs(Staff::Operator{lead, QStringLiteral("赵强"), Lead});
    staff_desk->staffChanged();
    main_window->show();
    auto* stockIn = child<QToolButton>(main_window->Fr_kucun1, "bsSkinSpeedButton4");
    QVERIFY(!StaffDesk::isGreyed(stockIn));

    // The owner takes the right away (here, on the owner's word): it is gone at once, not at the
    // next login.
    {
        const Staff::OwnersWord word(shop.owner.key, OwnerPin);
        Staff::saveRole(Lead, {Staff::Right::Sell});
    }
    QTRY_VERIFY(StaffDesk::isGreyed(stockIn));
    QVERIFY_THROWS_EXCEPTION(Staff::NoRight, Staff::require(Staff::Right::StockIn));

    // Another till gives it back: its notice of the change is followed as this till's own.
    LedgerFixture::exec(QStringLiteral("update roles set rights = 'sell,stockIn' where name = :n"),
                        {{":n", Lead}});
    emit Db::Announcer::instance().committed({Db::Change::anyRowOf(QStringLiteral("roles"))});
    QTRY_VERIFY(!StaffDesk::isGreyed(stockIn));
    QVERIFY(Staff::may(Staff::Right::StockIn));

    // Removed while signed in: nobody works here until someone signs in.
    WhenWindow login(QStringLiteral("login"), [](QWidget* w) { typeLogin(w, Cashier, CashierPin); });
    {
        const Staff::OwnersWord word(shop.owner.key, OwnerPin);
        Staff::removeOperator(lead);
    }
    QTRY_VERIFY(login.seen);
    QCOMPARE(Staff::current()->key, shop.cashier.key);
    QTRY_VERIFY(StaffDesk::isGreyed(stockIn));
}

void TestStaffGui::limitsAreTheShopsOwn() {
    LedgerFixture fx;
    const Shop shop = withOperators(fx);
    const qint64 cola =
        CoreFixture::product(QStringLiteral("可乐"), QStringLiteral("100"), QStringLiteral("10"));
    const auto page = [](const std::function<void(QWidget*)>& action) {
        onModal([&](QWidget* w) {
            QCOMPARE(w->objectName(), QStringLiteral("caozuoyuan"));
            child<QTabWidget>(w, "tabs")->setCurrentWidget(child<QWidget>(w, "tabLimits"));
            action(w);
        });
        Registry::showModal(QStringLiteral("caozuoyuan"));
    };
    // The owner: 八折, three days, 50 yuan.
    Staff::actAs(shop.owner);
    page([](QWidget* w) {
        QCOMPARE(child<QDoubleSpinBox>(w, "spnDiscountLimit")->value(), 9.0);
        QCOMPARE(child<QSpinBox>(w, "spnReturnDays")->value(), 7);
        child<QDoubleSpinBox>(w, "spnDiscountLimit")->setValue(8);
        child<QSpinBox>(w, "spnReturnDays")->setValue(3);
        child<QDoubleSpinBox>(w, "spnReturnAmount")->setValue(50);
        QTest::mouseClick(child<QPushButton>(w, "btnSaveLimits"), Qt::LeftButton);
    });
    QCOMPARE(fx.messages.last(), QStringLiteral("已保存限额"));
    QCOMPARE(Settlement::discountLimit(), 0.8);
    QCOMPARE(Returns::limits().days, 3);
    QCOMPARE(Returns::limits().amount.toString(), QStringLiteral("50"));

    // A cashier settles at 8.5 折 now without a word, and under 八折 only with one.
    Staff::actAs(shop.cashier);
    const qint64 first = Orders::addLine(0, cola, Currency::fromInt(1)).order;
    Settlement::payCash(first, Currency::parse(QStringLiteral("8.5")));
    const qint64 second = Orders::addLine(0, cola, Currency::fromInt(1)).order;
    QVERIFY_THROWS_EXCEPTION(Staff::NoRight,
                             Settlement::payCash(second, Currency::parse(QStringLiteral("7.9"))));

    // A cashier may not change them: refused, nothing stored.
    fx.messages.clear();
    page([](QWidget* w) {
        child<QDoubleSpinBox>(w, "spnDiscountLimit")->setValue(5);
        QTest::mouseClick(child<QPushButton>(w, "btnSaveLimits"), Qt::LeftButton);
    });
    QVERIFY(fx.messages.texts().contains(QStringLiteral("没有权限：设置（小票、备份文件夹、限额）")));
    QCOMPARE(Settlement::discountLimit(), 0.8);
}

LEDGER_TEST_MAIN(TestStaffGui)
#include "tst_staff_gui.moc"
