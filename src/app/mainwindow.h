#pragma once

#include <QMainWindow>

class ButtonsBar;
class DataLabel;
class Frame;
class QGroupBox;
class QLabel;
class QStackedWidget;
class QToolButton;
class TFr_dingdan;
class TFr_huiyuan;
class TFr_hy_chongzhi;
class TFr_hy_xiaofei;
class TFr_jiesuan;
class TFr_kf_chuku;
class TFr_kf_ruku;
class TFr_kucun;
class TFr_tongji;
class TFr_wel;

// The main window: the navigation bar on the left, ten pages of which one is shown, and the
// status bar. Navigation switches pages and re-opens the lists some pages show.
class Tmain : public QMainWindow {
    Q_OBJECT
public:
    explicit Tmain(QWidget* parent = nullptr);
    // Connects the data-bound controls of the window and its pages once the data module exists.
    void bindData();

    // Shows one page and hides the others; nothing else changes.
    void switchTo(Frame* frame);
    Frame* currentFrame() const;
    QList<Frame*> frames() const;

    ButtonsBar* bsSkinButtonsBar1 = nullptr;
    QToolButton* bsSkinSpeedButton1 = nullptr; // envelope
    QToolButton* bsSkinSpeedButton2 = nullptr; // padlock
    QLabel* bsSkinStdLabel1 = nullptr;         // the maker's host
    QLabel* lblBackup = nullptr;               // the last good backup
    QLabel* lblServer = nullptr;               // shown while the server cannot be reached
    QLabel* lblOperator = nullptr;             // the operator working here (a shop with operators)
    QToolButton* btnChangeHands = nullptr;     // 换 人
    QGroupBox* bsSkinGroupBox1 = nullptr;
    DataLabel* bsSkinDBText1 = nullptr; // the start-up guide flag

    TFr_wel* Fr_wel1 = nullptr;
    TFr_dingdan* Fr_dingdan1 = nullptr;
    TFr_jiesuan* Fr_jiesuan1 = nullptr;
    TFr_kucun* Fr_kucun1 = nullptr;
    TFr_kf_ruku* Fr_kf_ruku1 = nullptr;
    TFr_kf_chuku* Fr_kf_chuku1 = nullptr;
    TFr_huiyuan* Fr_huiyuan1 = nullptr;
    TFr_hy_xiaofei* Fr_hy_xiaofei1 = nullptr;
    TFr_hy_chongzhi* Fr_hy_chongzhi1 = nullptr;
    TFr_tongji* Fr_tongji1 = nullptr;

    // The status bar's backup label: the time of the last good backup ("" for none), marked
    // when overdue.
    void showBackupState(const QString& lastGood, bool overdue);
    // A ledger on a server is backed up by the server's own backups: the mark says so.
    // A ledger on a server: the shop's last backup (any till's), the till that makes the daily one.
    void showServerBackups(const QString& last, const QString& till, bool overdue);
    // While the server cannot be reached, the status bar says so (empty `reason`: reached again).
    void showServerLost(const QString& reason);
    // The operator working here in the status bar, and the buttons greyed for what they may not
    // do; nothing of it in a shop without operators.
    void showOperator();

    // A later copy of the program was started: this window comes to the front, at its size.
    void bringToFront();

    // Today's sales, profit and orders on the welcome page; read again after every sale.
    void showToday();

    // The number of products at or below their warning level, on the navigation item "库 房"
    // and the welcome page; read again after every change to the products or their stock.
    void showLowStock();
    // The stock page with the warning list.
    void lowStockView();

    // Opens an address in the system's web browser; the result is not examined.
    static void openWebPage(const QString& address);

public slots:
    void ordersView();
    void settlementView();
    void membersView();
    // The start-up guide check: the guide opens when the flag reads exactly "0".
    void startupGuideCheck();

    void bsSkinButtonsBar1Sections0Click();
    void bsSkinButtonsBar1Sections0Items0Click();
    void bsSkinButtonsBar1Sections0Items1Click();
    void bsSkinButtonsBar1Sections1Click();
    void bsSkinButtonsBar1Sections1Items0Click();
    void bsSkinButtonsBar1Sections1Items1Click();
    void bsSkinButtonsBar1Sections1Items2Click();
    void bsSkinButtonsBar1Sections2Click();
    void bsSkinButtonsBar1Sections2Items0Click();
    void bsSkinButtonsBar1Sections2Items1Click();
    void bsSkinButtonsBar1Sections2Items2Click();
    void bsSkinButtonsBar1Sections3Click(); // 统 计
    void bsSkinButtonsBar1Sections3Items0Click();
    void bsSkinButtonsBar1Sections4Items0Click();
    void bsSkinButtonsBar1Sections4Items1Click();
    void bsSkinButtonsBar1Sections4Items2Click(); // 数据备份
    void bsSkinButtonsBar1Sections4Items3Click(); // 数据恢复
    void bsSkinButtonsBar1Sections4Items4Click(); // 数据检查
    void bsSkinButtonsBar1Sections4Items5Click(); // 操作员与权限
    void btnChangeHandsClick();
    void bsSkinButtonsBar1Sections4Items6Click(); // 操作日志
    void bsSkinSpeedButton1Click();
    void bsSkinSpeedButton2Click();
    void bsSkinStdLabel1Click();
    // The default size, centred, not maximised: what "恢复默认布局" gives back.
    void restoreDefaultPlace();

protected:
    void showEvent(QShowEvent* event) override;
    // The window's place, size and maximised state are kept for the next start.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeCentred();
    QStackedWidget* m_pages = nullptr;
    bool m_guideChecked = false;
};

// The main window of the running program (its objectName is "main").
extern Tmain* main_window;
