#include "system/staffdesk.h"

#include "core/errors.h"
#include "data/database.h"
#include "data/work.h"
#include "ledger/costs.h"
#include "ledger/staff.h"
#include "shifts/shiftwindows.h"
#include "system/logindialog.h"
#include "widgets/messages.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QSettings>
#include <QStyle>
#include <QWidget>

StaffDesk* staff_desk = nullptr;

namespace {

const QString TillNameKey = QStringLiteral("staff/tillName");
const QString IdleMinutesKey = QStringLiteral("staff/idleMinutes");
// Locking after more than a day without input is never locking: the box stops there.
constexpr int LongestIdleMinutes = 24 * 60;

QString settingsFile(const QString& folder) {
    return QDir(folder).absoluteFilePath(Db::FolderSettingsFile);
}

// The buttons and menu items of an operation, by the page (or window) that has them and their
// name, with the right the operation asks for. The print button of every list is named alike.
struct Gate {
    const char* page; // nullptr: anywhere in the window
    const char* name;
    Staff::Right right;
};
const Gate Gates[] = {
    {"Fr_dingdan1", "bsSkinSpeedButton5", Staff::Right::Sell},
    {"Fr_dingdan1", "bsSkinSpeedButton3", Staff::Right::Sell},
    {"Fr_dingdan1", "bsSkinSpeedButton4", Staff::Right::DeleteUnsettled},
    {"Fr_dingdan1", "bsSkinSpeedButton11", Staff::Right::Settings},
    {"Fr_jiesuan1", "bsSkinSpeedButton5", Staff::Right::Sell},
    {"Fr_kucun1", "bsSkinSpeedButton5", Staff::Right::Products},
    {"Fr_kucun1", "bsSkinSpeedButton4", Staff::Right::StockIn},
    {"Fr_kucun1", "bsSkinSpeedButton1", Staff::Right::Products},
    {"Fr_kucun1", "bsSkinSpeedButton2", Staff::Right::Products},
    {"Fr_kucun1", "bsSkinSpeedButton11", Staff::Right::PrintLists},
    {"Fr_kucun1", "importProductsButton", Staff::Right::ExportImport},
    {"Fr_kucun1", "importProducts", Staff::Right::ExportImport},
    {"Fr_huiyuan1", "bsSkinSpeedButton4", Staff::Right::Members},
    {"Fr_huiyuan1", "bsSkinSpeedButton3", Staff::Right::Recharge},
    {"Fr_huiyuan1", "bsSkinSpeedButton2", Staff::Right::Members},
    {"Fr_huiyuan1", "bsSkinSpeedButton1", Staff::Right::Members},
    {"Fr_huiyuan1", "importMembersButton", Staff::Right::ExportImport},
    {"Fr_huiyuan1", "importMembers", Staff::Right::ExportImport},
    {nullptr, "bsSkinSpeedButton8", Staff::Right::PrintLists}, // 打 印 of every list
    {"Fr_tongji1", "btnPrintDays", Staff::Right::PrintLists},
    {"Fr_tongji1", "btnPrintProducts", Staff::Right::PrintLists},
    {"Fr_tongji1", "btnPrintCategories", Staff::Right::PrintLists},
    {"Fr_tongji1", "btnPrintMembers", Staff::Right::PrintLists},
    {nullptr, "bsSkinButtonsBar1Sections4Items2", Staff::Right::BackupRestore}, // 数据备份
    {nullptr, "bsSkinButtonsBar1Sections4Items3", Staff::Right::BackupRestore}, // 数据恢复
    {nullptr, "bsSkinButtonsBar1Sections4Items4", Staff::Right::BackupRestore}, // 数据检查
    {nullptr, "bsSkinButtonsBar1Sections4Items5", Staff::Right::Operators},     // 操作员与权限
    {nullptr, "bsSkinButtonsBar1Sections4Items6", Staff::Right::ReadLog},       // 操作日志
};

// The dynamic properties of a button refused to the operator: the right it asks for (as a number),
// and the button's own icon and tip while a greyed one stands in.
const char* const RefusedRight = "refusedRight";
const char* const OwnIcon = "ownIcon";
const char* const OwnTip = "ownTip";

// A button refused to the operator is greyed (the style sheet greys its text by the property
// `refused`, its picture is the disabled one) but still answers a click, with the refusal and the
// owner's word offered. A menu item cannot answer while greyed: it is disabled.
void setAllowed(QObject* object, bool allowed, Staff::Right right) {
    if (auto* action = qobject_cast<QAction*>(object)) {
        action->setEnabled(allowed);
        return;
    }
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (!button)
        return;
    const bool wasRefused = button->property(RefusedRight).isValid();
    if (allowed == !wasRefused && (allowed || button->property(RefusedRight).toInt() == int(right)))
        return;
    if (allowed) {
        button->setProperty(RefusedRight, QVariant());
        button->setIcon(button->property(OwnIcon).value<QIcon>());
        button->setToolTip(button->property(OwnTip).toString());
    } else {
        if (!wasRefused) {
            button->setProperty(OwnIcon, button->icon());
            button->setProperty(OwnTip, button->toolTip());
        }
        button->setProperty(RefusedRight, int(right));
        const QIcon own = button->property(OwnIcon).value<QIcon>();
        QIcon greyed;
        if (!own.isNull())
            greyed.addPixmap(own.pixmap(button->iconSize(), QIcon::Disabled));
        button->setIcon(greyed);
        button->setToolTip(QStringLiteral("没有权限：%1（点击可请店主授权）").arg(Staff::name(right)));
    }
    button->setProperty("refused", !allowed);
    button->style()->unpolish(button);
    button->style()->polish(button);
}

std::optional<Staff::Right> refusedRight(QObject* object) {
    const QVariant right = object->property(RefusedRight);
    if (!right.isValid())
        return std::nullopt;
    return Staff::Right(right.toInt());
}

} // namespace

QString TillSettings::tillName(const QString& folder) {
    const QSettings settings(settingsFile(folder), QSettings::IniFormat);
    return settings.value(TillNameKey).toString().trimmed();
}

int TillSettings::idleMinutes(const QString& folder) {
    const QSettings settings(settingsFile(folder), QSettings::IniFormat);
    bool ok = false;
    const int minutes = settings.value(IdleMinutesKey, DefaultIdleMinutes).toInt(&ok);
    // A value no one could have typed (edited by hand) is the default, not "never".
    return ok && minutes >= 0 && minutes <= LongestIdleMinutes ? minutes : DefaultIdleMinutes;
}

void TillSettings::save(const QString& folder, const QString& tillName, int idleMinutes) {
    QSettings settings(settingsFile(folder), QSettings::IniFormat);
    settings.setValue(TillNameKey, tillName.trimmed());
    settings.setValue(IdleMinutesKey, std::clamp(idleMinutes, 0, LongestIdleMinutes));
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw DatabaseError(QStringLiteral("无法保存设置文件 %1").arg(settings.fileName()));
}

StaffDesk::StaffDesk(const QString& folder, QObject* parent) : QObject(parent) {
    Staff::setTillName(TillSettings::tillName(folder));
    Staff::start();
    Costs::follow();
    m_idle.setSingleShot(true);
    connect(&m_idle, &QTimer::timeout, this, &StaffDesk::idle);
    setIdleMinutes(TillSettings::idleMinutes(folder));
    qApp->installEventFilter(this);
    // Operators or roles changed, here or at another till: the operator here works with the
    // rights as they are now, from the next operation on. Once the commit is done with.
    connect(
        &Db::Announcer::instance(), &Db::Announcer::committed, this,
        [this](const Db::Changes& changes) {
            for (const Db::Change& change : changes)
                if (change.table == QLatin1String("operators") || change.table == QLatin1String("roles")) {
                    followStaffRecords();
                    return;
                }
        },
        Qt::QueuedConnection);
}

void StaffDesk::followStaffRecords() {
    Staff::Refreshed now = Staff::Refreshed::Same;
    if (!guarded([&] { now = Staff::refresh(); }))
        return;
    if (now == Staff::Refreshed::Same)
        return;
    staffChanged();
    // Removed while signed in: someone else signs in, or the program ends.
    if (now == Staff::Refreshed::Gone && !m_asking && !ask(int(TLogin::Mode::Locked), 0))
        QCoreApplication::exit(0);
}

StaffDesk::~StaffDesk() {
    qApp->removeEventFilter(this);
}

void StaffDesk::setIdleMinutes(int minutes) {
    m_idleEnabled = minutes > 0;
    m_idle.setInterval(std::max(minutes, 1) * 60 * 1000);
    restartIdleClock();
}

void StaffDesk::setIdleInterval(int ms) {
    m_idleEnabled = ms > 0;
    m_idle.setInterval(std::max(ms, 1));
    restartIdleClock();
}

void StaffDesk::restartIdleClock() {
    if (m_idleEnabled && Staff::inForce() && Staff::current())
        m_idle.start();
    else
        m_idle.stop();
}

bool StaffDesk::eventFilter(QObject* watched, QEvent* event) {
    // A greyed button's own click never runs: the refusal is shown instead, once the event is
    // done with (the owner's word asks in a window of its own). Only the events of a click or a
    // key look at the object: others reach objects half destroyed.
    const QEvent::Type type = event->type();
    const bool input = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
                       type == QEvent::MouseButtonRelease || type == QEvent::Shortcut ||
                       type == QEvent::KeyPress || type == QEvent::KeyRelease;
    if (input && watched->isWidgetType() && refusedRight(watched)) {
        bool ask = false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            ask = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            [[fallthrough]];
        case QEvent::MouseButtonDblClick: // the press before it asked already
        case QEvent::MouseButtonRelease:
            if (m_idle.isActive())
                m_idle.start();
            if (ask)
                QTimer::singleShot(
                    0, this,
                    [this, button = QPointer<QAbstractButton>(qobject_cast<QAbstractButton*>(watched))] {
                        if (button)
                            askOwnersWord(button);
                    });
            return true;
        case QEvent::Shortcut:
        case QEvent::KeyPress: {
            if (event->type() == QEvent::KeyPress) {
                const int key = static_cast<QKeyEvent*>(event)->key();
                if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter &&
                    key != Qt::Key_Select)
                    break;
            }
            QTimer::singleShot(
                0, this, [this, button = QPointer<QAbstractButton>(qobject_cast<QAbstractButton*>(watched))] {
                    if (button)
                        askOwnersWord(button);
                });
            return true;
        }
        case QEvent::KeyRelease:
            return true;
        default:
            break;
        }
    }
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        // Only a running clock starts again: a locked till stays locked.
        if (m_idle.isActive())
            m_idle.start();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void StaffDesk::idle() {
    // The login is up already (a change of hands under way): it asks anyway.
    if (m_asking || !Staff::inForce() || !Staff::current())
        return;
    lockNow();
}

bool StaffDesk::ask(int mode, qint64 preselect) {
    m_asking = true;
    m_idle.stop();
    // Over every window: a dialog left open stays under it, as it was.
    QWidget* over = QApplication::activeModalWidget();
    TLogin login(TLogin::Mode(mode), over);
    if (preselect)
        login.preselect(preselect);
    const bool admitted = login.exec() == QDialog::Accepted;
    m_asking = false;
    staffChanged();
    // Whoever signed in works in this till's shift: one left open from an earlier day is closed,
    // and the float asked when none is open.
    if (admitted)
        ShiftWindows::afterLogin(over);
    return admitted;
}

bool StaffDesk::signInAtStart() {
    if (!Staff::inForce())
        return true;
    return ask(int(TLogin::Mode::Start), 0);
}

void StaffDesk::changeHands() {
    if (!Staff::inForce() || m_asking)
        return;
    const auto now = Staff::current();
    ask(int(TLogin::Mode::ChangeHands), now ? now->key : 0);
}

void StaffDesk::lockNow() {
    if (!Staff::inForce() || m_asking)
        return;
    const auto was = Staff::current();
    if (!guarded([] { Staff::lock(); }))
        return;
    staffChanged();
    // Nobody works here until someone signs in; giving up ends the program.
    if (!ask(int(TLogin::Mode::Locked), was ? was->key : 0))
        QCoreApplication::exit(0);
}

void StaffDesk::staffChanged() {
    // The lists are read again with or without the costs, for whom works now.
    Costs::follow();
    restartIdleClock();
    emit changed();
}

void StaffDesk::greyButtons(QWidget* window) {
    if (!window)
        return;
    for (const Gate& gate : Gates) {
        QObject* within = window;
        if (gate.page) {
            within = window->findChild<QObject*>(QLatin1String(gate.page));
            if (!within)
                continue;
        }
        const bool allowed = Staff::may(gate.right);
        for (QObject* found : within->findChildren<QObject*>(QLatin1String(gate.name)))
            setAllowed(found, allowed, gate.right);
    }
}

bool StaffDesk::isGreyed(const QWidget* button) {
    return button && button->property(RefusedRight).isValid();
}

void StaffDesk::askOwnersWord(QAbstractButton* button) {
    const auto right = refusedRight(button);
    if (!right)
        return;
    const QPointer<QAbstractButton> alive(button);
    // Refused and logged as any operation is; under the owner's word the button does what it
    // does for an owner, and the word holds until that is done (a window it opened is closed).
    guarded([&] {
        Staff::require(*right, alive ? alive->text().simplified().remove(QLatin1Char(' ')) : QString());
        if (alive)
            alive->click();
    });
}
