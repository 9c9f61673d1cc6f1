#pragma once

#include "ledger/receipts.h"

#include "ui_xiaopiao.h"

#include <QDialog>

// "小票设置": how the shop's receipts are printed (a system printer or an ESC/POS device file,
// the roll's width), the shop's name and footer line on them, and whether each settlement prints
// one. Its preview shows the receipt of the order selected on the orders page as set up here.
class Txiaopiao : public QDialog, public Ui::Txiaopiao {
    Q_OBJECT
public:
    explicit Txiaopiao(QWidget* parent = nullptr);
    // The order whose receipt the preview shows (0: none chosen).
    void prepare(qint64 order);
    // The set-up as the dialog holds it.
    Receipts::Setup setup() const;

    // The printer box's text: the printer's name, empty: the default one.
    QLineEdit* bsSkinEdit1 = nullptr;

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
