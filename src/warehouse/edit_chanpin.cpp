#include "warehouse/edit_chanpin.h"

#include "data/data_in.h"
#include "widgets/databound.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>

Tedit_chanpin* edit_chanpin = nullptr;

namespace {
const QString UpdateStatement =
    QStringLiteral("update ab set b1=:a,b2=:b,b3=:c,b5=:d,b6=:e,b7=:f,b8=:g,b11=:h,b12=:i where bid=:j ");
}

Tedit_chanpin::Tedit_chanpin(QWidget* parent)
    : ProductDialog(QStringLiteral("edit_chanpin"), QStringLiteral("修改产品"), true, parent) {}

void Tedit_chanpin::bsSkinButton1Click() {
    Db::exec(Db::business(), UpdateStatement,
             {{QStringLiteral(":a"), bsSkinDBLookupComboBox2->currentText()},
              {QStringLiteral(":b"), bsSkinDBLookupComboBox1->currentText()},
              {QStringLiteral(":c"), bsSkinEdit1->text()},
              {QStringLiteral(":d"), bsSkinDBLookupComboBox4->currentText()},
              {QStringLiteral(":e"), bsSkinEdit4->text()},
              {QStringLiteral(":f"), bsSkinEdit5->text()},
              {QStringLiteral(":g"), bsSkinEdit6->text()},
              {QStringLiteral(":h"), bsSkinRichEdit1->toPlainText()},
              {QStringLiteral(":i"), bsSkinEdit3->text()},
              {QStringLiteral(":j"), bsSkinStdLabel16->text()}});
    Data_in->Query_ab->refresh();
    accept();
}
