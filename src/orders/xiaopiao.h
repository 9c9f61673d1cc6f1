#pragma once

#include "ledger/receipts.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "小票设置": how the shop's receipts are printed (a system printer or an ESC/POS device file,
// the roll's width), the shop's name and footer line on them, and whether each settlement prints
// one. Its preview shows the receipt of the order selected on the orders page as set up here.
class Txiaopiao : public QDialog {
    Q_OBJECT
public:
    explicit Txiaopiao(QWidget* parent = nullptr);
    // The order whose receipt the preview shows (0: none chosen).
    void prepare(qint64 order);
    // The set-up as the dialog holds it.
    Receipts::Setup setup() const;

    QRadioButton* bsSkinRadioButton1 = nullptr; // 系统打印机
    QRadioButton* bsSkinRadioButton2 = nullptr; // 设备文件 (ESC/POS)
    QComboBox* bsSkinComboBox1 = nullptr;       // 58 mm / 80 mm
    QComboBox* printerChoice = nullptr;         // the installed printers, or a name typed
    QLineEdit* bsSkinEdit1 = nullptr;           // its text: the printer's name, empty: the default one
    QLineEdit* bsSkinEdit2 = nullptr;           // the device file
    QLineEdit* bsSkinEdit3 = nullptr;           // the shop's name
    QLineEdit* bsSkinEdit4 = nullptr;           // the footer line
    QCheckBox* bsSkinCheckRadioBox1 = nullptr;  // 自动打印小票
    QPushButton* bsSkinButton3 = nullptr;       // 预 览
    QPushButton* bsSkinButton1 = nullptr;       // 保 存
    QPushButton* bsSkinButton2 = nullptr;       // 取 消

public slots:
    void FormShow();
    void bsSkinButton1Click();
    void bsSkinButton3Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    qint64 m_order = 0;
};

extern Txiaopiao* xiaopiao;
