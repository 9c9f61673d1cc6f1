#pragma once

#include "ledger/importing.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// "导入产品" / "导入会员": every row of the file with its problems, before anything is written.
// "导 入" writes all rows and is offered only when no row has a problem; "只导入无误的行"
// writes the good rows and leaves the others out. Either writes in one transaction.
class ImportDialog : public QDialog {
    Q_OBJECT
public:
    ImportDialog(Importing::Plan plan, QWidget* parent = nullptr);

    // Asks for the file (dialog "importFile"), checks it and shows the dialog.
    static void run(Importing::Kind kind, QWidget* parent);

    QLabel* summary = nullptr;
    QTableWidget* rows = nullptr;
    QPushButton* importAll = nullptr;  // 导 入
    QPushButton* importGood = nullptr; // 只导入无误的行
    QPushButton* cancel = nullptr;     // 取 消

private:
    void write(bool goodRowsOnly);
    Importing::Plan m_plan;
};
