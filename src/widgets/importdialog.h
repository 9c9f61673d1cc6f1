#pragma once

#include "ledger/importing.h"

#include "ui_importdialog.h"

#include <QDialog>

// "导入产品" / "导入会员": every row of the file with its problems, before anything is written.
// "导 入" writes all rows and is offered only when no row has a problem; "只导入无误的行"
// writes the good rows and leaves the others out. Either writes in one transaction.
class ImportDialog : public QDialog, public Ui::ImportDialog {
    Q_OBJECT
public:
    ImportDialog(Importing::Plan plan, QWidget* parent = nullptr);

    // Asks for the file (dialog "importFile"), checks it and shows the dialog.
    static void run(Importing::Kind kind, QWidget* parent);

private:
    void write(bool goodRowsOnly);
    Importing::Plan m_plan;
};
