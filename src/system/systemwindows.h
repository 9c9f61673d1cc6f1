#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

// "数据备份": where backups go (the backup folder can be another disk or a share), the last
// good backup, and a backup made now.
class Tbeifen : public QDialog {
    Q_OBJECT
public:
    explicit Tbeifen(QWidget* parent = nullptr);

    QLineEdit* edtFolder = nullptr;
    QPushButton* btnBrowse = nullptr;  // 选择文件夹…
    QPushButton* btnDefault = nullptr; // 默认文件夹
    QLabel* lblLast = nullptr;
    QProgressBar* barProgress = nullptr;
    QLabel* lblState = nullptr;       // what became of the backup made here (stopped)
    QPushButton* btnBackup = nullptr; // 立即备份
    QPushButton* btnStop = nullptr;   // 停止备份
    QPushButton* btnClose = nullptr;  // 关 闭

public slots:
    void btnBrowseClick();
    void btnDefaultClick();
    void btnBackupClick();
    void btnStopClick();
    // Applies a folder typed or chosen: it must exist or be made, and be writable.
    void useFolder(const QString& folder);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showState();
};

// "数据恢复": the backups of the backup folder, newest first; the chosen one is verified again,
// the current files backed up, then swapped for the backup's, and the ledger checked.
class Thuifu : public QDialog {
    Q_OBJECT
public:
    explicit Thuifu(QWidget* parent = nullptr);

    QLabel* lblFolder = nullptr;
    QTreeWidget* lstBackups = nullptr;
    QPushButton* btnRestore = nullptr; // 恢复所选备份
    QPushButton* btnClose = nullptr;

    QString selectedFolder() const;

public slots:
    void reload();
    void btnRestoreClick();

protected:
    void showEvent(QShowEvent* event) override;
};

// "数据检查": checks the whole ledger and lists each problem with the rows it concerns; the
// amounts due that the lines prove wrong can be mended (after a backup).
class Tjiancha : public QDialog {
    Q_OBJECT
public:
    explicit Tjiancha(QWidget* parent = nullptr);

    QLabel* lblSummary = nullptr;
    QPlainTextEdit* txtReport = nullptr;
    QPushButton* btnRun = nullptr; // 重新检查
    QPushButton* btnFix = nullptr; // 修复应收金额
    QPushButton* btnClose = nullptr;

public slots:
    void btnRunClick();
    void btnFixClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QList<qint64> m_fixable;
};

extern Tbeifen* beifen;
extern Thuifu* huifu;
extern Tjiancha* jiancha;
