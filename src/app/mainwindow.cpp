#include "app/mainwindow.h"
#include "system/backupkeeper.h"

#include "app/Fr_wel.h"
#include "core/site.h"
#include "data/data_in.h"
#include "ledger/staff.h"
#include "members/Fr_huiyuan.h"
#include "members/Fr_hy_chongzhi.h"
#include "members/Fr_hy_xiaofei.h"
#include "orders/Fr_dingdan.h"
#include "settlement/Fr_jiesuan.h"
#include "shifts/shiftwindows.h"
#include "statistics/Fr_tongji.h"
#include "system/staffdesk.h"
#include "warehouse/Fr_kf_chuku.h"
#include "warehouse/Fr_kf_ruku.h"
#include "warehouse/Fr_kucun.h"
#include "widgets/buttonsbar.h"
#include "widgets/databound.h"
#include "widgets/layoutstore.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"
#include "widgets/registry.h"

#include "core/clock.h"
#include "data/work.h"
#include "ledger/costs.h"
#include "ledger/products.h"
#include "ledger/statistics.h"
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <algorithm>

Tmain* main_window = nullptr;

Tmain::Tmain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("main"));
    setWindowTitle(QStringLiteral("Vandrel通用进销存(永久免费) V1.1 祝您新年快乐,生意兴隆！"));
    resize(982, 656); // the status bar included

    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    bsSkinButtonsBar1 = new ButtonsBar(QStringLiteral("bsSkinButtonsBar1"), central);
    bsSkinButtonsBar1->setFixedWidth(75);
    auto section = [this](const QString& caption, void (Tmain::*handler)()) {
        QPushButton* header = bsSkinButtonsBar1->addSection(caption);
        if (handler)
            connectGuarded(header, &QPushButton::clicked, this, handler);
    };
    auto item = [this](const QString& caption, int picture, void (Tmain::*handler)()) {
        QToolButton* button = bsSkinButtonsBar1->addItem(caption, picture);
        connectGuarded(button, &QToolButton::clicked, this, handler);
    };
    section(QStringLiteral("订 单"), &Tmain::bsSkinButtonsBar1Sections0Click);
    item(QStringLiteral("订 单"), 0, &Tmain::bsSkinButtonsBar1Sections0Items0Click);
    item(QStringLiteral("结 算"), 8, &Tmain::bsSkinButtonsBar1Sections0Items1Click);
    section(QStringLiteral("库 房"), &Tmain::bsSkinButtonsBar1Sections1Click);
    item(QStringLiteral("库 房"), 2, &Tmain::bsSkinButtonsBar1Sections1Items0Click);
    item(QStringLiteral("入库记录"), 1, &Tmain::bsSkinButtonsBar1Sections1Items1Click);
    item(QStringLiteral("出库记录"), 3, &Tmain::bsSkinButtonsBar1Sections1Items2Click);
    section(QStringLiteral("会 员"), &Tmain::bsSkinButtonsBar1Sections2Click);
    item(QStringLiteral("会 员"), 5, &Tmain::bsSkinButtonsBar1Sections2Items0Click);
    item(QStringLiteral("充值记录"), 4, &Tmain::bsSkinButtonsBar1Sections2Items1Click);
    item(QStringLiteral("消费记录"), 4, &Tmain::bsSkinButtonsBar1Sections2Items2Click);
    section(QStringLiteral("统 计"), &Tmain::bsSkinButtonsBar1Sections3Click);
    item(QStringLiteral("统 计"), 26, &Tmain::bsSkinButtonsBar1Sections3Items0Click);
    section(QStringLiteral("系 统"), nullptr);
    item(QStringLiteral("帮  助"), 6, &Tmain::bsSkinButtonsBar1Sections4Items0Click);
    item(QStringLiteral("关  于"), 7, &Tmain::bsSkinButtonsBar1Sections4Items1Click);
    item(QStringLiteral("数据备份"), 23, &Tmain::bsSkinButtonsBar1Sections4Items2Click);
    item(QStringLiteral("数据恢复"), 24, &Tmain::bsSkinButtonsBar1Sections4Items3Click);
    item(QStringLiteral("数据检查"), 25, &Tmain::bsSkinButtonsBar1Sections4Items4Click);
    item(QStringLiteral("操作员与权限"), 27, &Tmain::bsSkinButtonsBar1Sections4Items5Click);
    item(QStringLiteral("操作日志"), 25, &Tmain::bsSkinButtonsBar1Sections4Items6Click);
    bsSkinButtonsBar1->setOpenSection(0);
    // On a small screen (a 1024 x 600 netbook) the window may be smaller than its pages and the
    // navigation bar want: they get scroll bars instead of pushing the window off the screen.
    auto scrolled = [central](QWidget* inside, const QString& name) {
        auto* area = new QScrollArea(central);
        area->setObjectName(name);
        area->setFrameShape(QFrame::NoFrame);
        area->setWidgetResizable(true);
        area->setWidget(inside);
        return area;
    };
    QScrollArea* navigation = scrolled(bsSkinButtonsBar1, QStringLiteral("navigationArea"));
    navigation->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    navigation->setFixedWidth(bsSkinButtonsBar1->width());
    layout->addWidget(navigation);

    m_pages = new QStackedWidget(central);
    m_pages->setObjectName(QStringLiteral("pages"));
    Fr_wel1 = new TFr_wel(m_pages);
    Fr_dingdan1 = new TFr_dingdan(m_pages);
    Fr_jiesuan1 = new TFr_jiesuan(m_pages);
    Fr_kucun1 = new TFr_kucun(m_pages);
    Fr_kf_ruku1 = new TFr_kf_ruku(m_pages);
    Fr_kf_chuku1 = new TFr_kf_chuku(m_pages);
    Fr_huiyuan1 = new TFr_huiyuan(m_pages);
    Fr_hy_xiaofei1 = new TFr_hy_xiaofei(m_pages);
    Fr_hy_chongzhi1 = new TFr_hy_chongzhi(m_pages);
    Fr_tongji1 = new TFr_tongji(m_pages);
    for (Frame* frame : frames())
        m_pages->addWidget(frame);
    ::Fr_dingdan1 = Fr_dingdan1;
    layout->addWidget(scrolled(m_pages, QStringLiteral("pagesArea")), 1);
    setCentralWidget(central);

    auto* status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("bsSkinStatusBar1"));
    status->setFixedHeight(21);
    status->setSizeGripEnabled(false);
    auto statusButton = [status](const QString& name, const QString& picture, const QString& tip) {
        auto* button = new QToolButton(status);
        button->setObjectName(name);
        button->setAutoRaise(true);
        button->setIcon(QIcon(Pictures::pixmap(picture, QSize(16, 16))));
        button->setToolTip(tip);
        button->setAccessibleName(tip); // the picture alone says nothing to a screen reader
        button->setFixedSize(22, 19);
        status->addWidget(button);
        return button;
    };
    bsSkinSpeedButton2 = statusButton(QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("padlock"),
                                      QStringLiteral("回到欢迎页"));
    bsSkinSpeedButton1 = statusButton(QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("envelope"),
                                      QStringLiteral("软件服务中心"));
    connectGuarded(bsSkinSpeedButton2, &QToolButton::clicked, this, &Tmain::bsSkinSpeedButton2Click);
    connectGuarded(bsSkinSpeedButton1, &QToolButton::clicked, this, &Tmain::bsSkinSpeedButton1Click);
    bsSkinStdLabel1 = new QLabel(Site::host + QLatin1Char(' '), status);
    bsSkinStdLabel1->setObjectName(QStringLiteral("bsSkinStdLabel1"));
    bsSkinStdLabel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bsSkinStdLabel1->setCursor(Qt::PointingHandCursor);
    QFont song(QStringLiteral("WenQuanYi Micro Hei"));
    song.setPixelSize(13);
    bsSkinStdLabel1->setFont(song);
    bsSkinStdLabel1->installEventFilter(this);
    // The last good backup; marked when there is none or it is older than a day.
    lblBackup = new QLabel(status);
    lblBackup->setObjectName(QStringLiteral("lblBackup"));
    lblBackup->setCursor(Qt::PointingHandCursor);
    lblBackup->installEventFilter(this);
    status->addPermanentWidget(lblBackup);
    lblServer = new QLabel(QStringLiteral(" 与数据库服务器的连接已断开，正在重新连接… "), status);
    lblServer->setObjectName(QStringLiteral("lblServer"));
    lblServer->setProperty("role", QStringLiteral("warning"));
    lblServer->hide();
    status->addPermanentWidget(lblServer);
    // Who works here, and the change of hands; shown in a shop with operators only.
    lblOperator = new QLabel(status);
    lblOperator->setObjectName(QStringLiteral("lblOperator"));
    lblOperator->setProperty("role", QStringLiteral("strong"));
    lblOperator->hide();
    status->addPermanentWidget(lblOperator);
    btnChangeHands = new QToolButton(status);
    btnChangeHands->setObjectName(QStringLiteral("btnChangeHands"));
    btnChangeHands->setText(QStringLiteral("换 人"));
    btnChangeHands->setToolTip(QStringLiteral("换一位操作员登录，打开的窗口都保留"));
    btnChangeHands->setAutoRaise(true);
    btnChangeHands->setFixedHeight(19);
    btnChangeHands->hide();
    connectGuarded(btnChangeHands, &QToolButton::clicked, this, &Tmain::btnChangeHandsClick);
    status->addPermanentWidget(btnChangeHands);
    status->addPermanentWidget(bsSkinStdLabel1);
    setStatusBar(status);

    bsSkinGroupBox1 = new QGroupBox(QStringLiteral("是否弹出指南"), this);
    bsSkinGroupBox1->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    bsSkinGroupBox1->hide();
    bsSkinDBText1 = new DataLabel(QStringLiteral("bsSkinDBText1"), bsSkinGroupBox1);
    bsSkinDBText1->setText(QStringLiteral("0"));

    switchTo(Fr_wel1);
    placeCentred();
    LayoutStore::restoreWindow(this);
}

void Tmain::restoreDefaultPlace() {
    showNormal();
    resize(982, 656);
    placeCentred();
}

void Tmain::closeEvent(QCloseEvent* event) {
    LayoutStore::saveWindow(this);
    QMainWindow::closeEvent(event);
}

void Tmain::placeCentred() {
    // Centred on the desktop. On a desktop smaller than the window its top-left corner stays on the
    // desktop, so the caption can still be reached.
    const QRect desktop = screen()->availableGeometry();
    QRect area(QPoint(), size());
    area.moveCenter(desktop.center());
    move(std::max(area.left(), desktop.left()), std::max(area.top(), desktop.top()));
}

void Tmain::bringToFront() {
    // Back from the task bar as it was before (a maximised window stays maximised); never resized.
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void Tmain::bindData() {
    // The lists leave out what the one at the till may not see from their first reading on.
    Costs::follow();
    bsSkinDBText1->bind(Data_in->Query_a5, QStringLiteral("run"));
    for (Frame* frame : frames())
        frame->bindData();
    connect(&Db::Announcer::instance(), &Db::Announcer::committed, this, [this](const Db::Changes& changes) {
        bool products = false, sales = false;
        for (const Db::Change& change : changes) {
            products = products || change.table == QLatin1String("ab");
            sales = sales || change.table == QLatin1String("ae") || change.table == QLatin1String("aa");
        }
        if (products)
            guarded([this] { showLowStock(); });
        if (sales)
            guarded([this] { showToday(); });
    });
    // Another operator at the till: the profit shown or left out.
    connect(&Costs::Watch::instance(), &Costs::Watch::changed, this,
            [this] { guarded([this] { showToday(); }); });
    showLowStock();
    showToday();
    // 开班/交班, the drawer and the past shifts, once the ledger is open.
    ShiftWindows::addTo(statusBar(), this);
}

void Tmain::showToday() {
    const Statistics::Glance today = Statistics::glance(Clock::now().date());
    Fr_wel1->showToday(today.sales, today.withCosts ? std::optional<Currency>(today.profit) : std::nullopt,
                       today.orders);
}

void Tmain::showLowStock() {
    const int low = Products::lowStockCount();
    QToolButton* item = bsSkinButtonsBar1->item(1, 0);
    item->setText(low > 0 ? QStringLiteral("库 房(%1)").arg(low) : QStringLiteral("库 房"));
    item->setToolTip(low > 0 ? QStringLiteral("有 %1 种产品库存不足").arg(low) : QString());
    Fr_wel1->showLowStock(low);
}

void Tmain::lowStockView() {
    switchTo(Fr_kucun1);
    if (!Fr_kucun1->warningList())
        Fr_kucun1->bsSkinSpeedButton10->click();
}

QList<Frame*> Tmain::frames() const {
    return {Fr_wel1,      Fr_dingdan1, Fr_jiesuan1,    Fr_kucun1,       Fr_kf_ruku1,
            Fr_kf_chuku1, Fr_huiyuan1, Fr_hy_xiaofei1, Fr_hy_chongzhi1, Fr_tongji1};
}

void Tmain::switchTo(Frame* frame) {
    m_pages->setCurrentWidget(frame);
}

Frame* Tmain::currentFrame() const {
    return static_cast<Frame*>(m_pages->currentWidget());
}

void Tmain::openWebPage(const QString& address) {
    QDesktopServices::openUrl(QUrl::fromUserInput(address));
}

void Tmain::ordersView() {
    switchTo(Fr_dingdan1);
    Fr_dingdan1->showEveryOrder();
}

void Tmain::settlementView() {
    switchTo(Fr_jiesuan1);
    TFr_jiesuan::reloadUnsettled();
}

void Tmain::membersView() {
    switchTo(Fr_huiyuan1);
    Data_in->Query_aj->reset(Data_in->Query_aj->defaultStatement());
}

void Tmain::startupGuideCheck() {
    if (bsSkinDBText1->text() == QStringLiteral("0"))
        Registry::showModal(QStringLiteral("help"));
}

void Tmain::bsSkinButtonsBar1Sections0Click() {
    ordersView();
}
void Tmain::bsSkinButtonsBar1Sections0Items0Click() {
    ordersView();
}
void Tmain::bsSkinButtonsBar1Sections0Items1Click() {
    settlementView();
}
void Tmain::bsSkinButtonsBar1Sections1Click() {
    switchTo(Fr_kucun1);
}
void Tmain::bsSkinButtonsBar1Sections1Items0Click() {
    switchTo(Fr_kucun1);
}
void Tmain::bsSkinButtonsBar1Sections1Items1Click() {
    switchTo(Fr_kf_ruku1);
}
void Tmain::bsSkinButtonsBar1Sections1Items2Click() {
    switchTo(Fr_kf_chuku1);
}
void Tmain::bsSkinButtonsBar1Sections2Click() {
    membersView();
}
void Tmain::bsSkinButtonsBar1Sections2Items0Click() {
    membersView();
}
void Tmain::bsSkinButtonsBar1Sections2Items1Click() {
    switchTo(Fr_hy_chongzhi1);
}
void Tmain::bsSkinButtonsBar1Sections2Items2Click() {
    switchTo(Fr_hy_xiaofei1);
}
void Tmain::bsSkinButtonsBar1Sections3Click() {
    switchTo(Fr_tongji1);
}
void Tmain::bsSkinButtonsBar1Sections3Items0Click() {
    switchTo(Fr_tongji1);
}
void Tmain::bsSkinButtonsBar1Sections4Items0Click() {
    Registry::showModal(QStringLiteral("help"));
}
void Tmain::bsSkinButtonsBar1Sections4Items2Click() {
    Registry::showModal(QStringLiteral("beifen"));
}
void Tmain::bsSkinButtonsBar1Sections4Items3Click() {
    Registry::showModal(QStringLiteral("huifu"));
}
void Tmain::bsSkinButtonsBar1Sections4Items4Click() {
    Registry::showModal(QStringLiteral("jiancha"));
}
void Tmain::bsSkinButtonsBar1Sections4Items6Click() {
    Registry::showModal(QStringLiteral("rizhi"));
}

void Tmain::showBackupState(const QString& lastGood, bool overdue) {
    lblBackup->setText(lastGood.isEmpty() ? QStringLiteral(" 尚无备份 ")
                                          : QStringLiteral(" 上次备份：%1 ").arg(lastGood));
    lblBackup->setToolTip(overdue ? QStringLiteral("超过一天没有成功的备份，请点击这里备份")
                                  : QStringLiteral("点击这里查看备份"));
    lblBackup->setProperty("role", overdue ? QStringLiteral("warning") : QStringLiteral("note"));
    lblBackup->style()->unpolish(lblBackup);
    lblBackup->style()->polish(lblBackup);
}

void Tmain::showServerBackups(const QString& last, const QString& till, bool overdue) {
    lblBackup->setText(last.isEmpty() ? QStringLiteral(" 尚无备份 ")
                                      : QStringLiteral(" 上次备份：%1 ").arg(last));
    lblBackup->setToolTip(till.isEmpty()
                              ? QStringLiteral("还没有收银台负责每日自动备份服务器上的账本，请点击这里选定")
                              : QStringLiteral("服务器上的账本每天由“%1”备份；点击这里查看备份").arg(till));
    lblBackup->setProperty("role",
                           overdue || till.isEmpty() ? QStringLiteral("warning") : QStringLiteral("note"));
    lblBackup->style()->unpolish(lblBackup);
    lblBackup->style()->polish(lblBackup);
}

void Tmain::showOperator() {
    const bool inForce = Staff::inForce();
    const auto now = Staff::current();
    lblOperator->setText(now ? QStringLiteral(" 操作员：%1 ").arg(now->name) : QStringLiteral(" 已锁定 "));
    lblOperator->setToolTip(now ? now->role : QString());
    lblOperator->setVisible(inForce);
    btnChangeHands->setVisible(inForce);
    StaffDesk::greyButtons(this);
}

void Tmain::btnChangeHandsClick() {
    staff_desk->changeHands();
}

void Tmain::bsSkinButtonsBar1Sections4Items5Click() {
    // Greyed for whom may not; each change on the page asks for the right itself. Opened on the
    // owner's word (a click on the greyed item), the word holds until the page is closed.
    Registry::showModal(QStringLiteral("caozuoyuan"));
}

void Tmain::showServerLost(const QString& reason) {
    lblServer->setToolTip(reason);
    lblServer->setVisible(!reason.isEmpty());
}

void Tmain::bsSkinButtonsBar1Sections4Items1Click() {
    Registry::showModal(QStringLiteral("about"));
}
void Tmain::bsSkinSpeedButton1Click() {
    Registry::showModal(QStringLiteral("aio"));
}
void Tmain::bsSkinSpeedButton2Click() {
    switchTo(Fr_wel1);
}
void Tmain::bsSkinStdLabel1Click() {
    openWebPage(Site::url());
}

void Tmain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_guideChecked) {
        m_guideChecked = true;
        // After the window is on screen, so the guide opens on top of it.
        QTimer::singleShot(0, this, [this] { guarded([this] { startupGuideCheck(); }); });
    }
}

bool Tmain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == bsSkinStdLabel1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guarded([this] { bsSkinStdLabel1Click(); });
        return true;
    }
    if (watched == lblBackup && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // A shortcut to 数据备份: only for whom that item is not greyed.
        if (Staff::may(Staff::Right::BackupRestore))
            guarded([this] { bsSkinButtonsBar1Sections4Items2Click(); });
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
