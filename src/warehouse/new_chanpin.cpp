#include "warehouse/new_chanpin.h"

#include "core/clock.h"
#include "core/money.h"
#include "data/data_in.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QTextEdit>

Tnew_chanpin* new_chanpin = nullptr;

namespace {
const QString InsertStatement = QStringLiteral(
    "insert into ab (b1,b2,b3,b4,b5,b6,b7,b8,b9,b10,b11,b12)values (:a,:b,:c,:d,:e,:f,:g,:h,:i,:j,:k,:l)");
}

Tnew_chanpin::Tnew_chanpin(QWidget* parent)
    : ProductDialog(QStringLiteral("new_chanpin"), QStringLiteral("新建产品"), false, parent) {}

void Tnew_chanpin::showEvent(QShowEvent* event) {
    FormShow();
    ProductDialog::showEvent(event);
}

void Tnew_chanpin::FormShow() {
    bsSkinDBLookupComboBox2->setCurrentIndex(-1);
    bsSkinDBLookupComboBox1->setCurrentIndex(-1);
    bsSkinDBLookupComboBox4->setCurrentIndex(-1);
    bsSkinEdit1->clear();
    bsSkinEdit2->clear();
    bsSkinEdit3->clear();
    for (QDoubleSpinBox* price : {bsSkinEdit4, bsSkinEdit5, bsSkinEdit6})
        price->setValue(0.0);
    bsSkinRichEdit1->clear();
    bsSkinDBLookupComboBox2->setFocus();
}

void Tnew_chanpin::bsSkinButton1Click() {
    // Required: major category, stock, name, unit, sale price (blanks count as filled).
    if (bsSkinDBLookupComboBox2->currentText().isEmpty() || bsSkinEdit2->text().isEmpty() ||
        bsSkinEdit1->text().isEmpty() || bsSkinDBLookupComboBox4->currentText().isEmpty() ||
        bsSkinEdit6->text().isEmpty()) {
        Messages::information(RequiredMessage);
        return;
    }
    // The opening stock value: opening stock × sale price.
    const Currency value = Currency::parse(bsSkinEdit6->text()) * Currency::parse(bsSkinEdit2->text());
    Db::exec(Db::business(), InsertStatement,
             {{QStringLiteral(":a"), bsSkinDBLookupComboBox2->currentText()},
              {QStringLiteral(":b"), bsSkinDBLookupComboBox1->currentText()},
              {QStringLiteral(":c"), bsSkinEdit1->text()},
              {QStringLiteral(":d"), bsSkinEdit2->text()},
              {QStringLiteral(":e"), bsSkinDBLookupComboBox4->currentText()},
              {QStringLiteral(":f"), bsSkinEdit4->text()},
              {QStringLiteral(":g"), bsSkinEdit5->text()},
              {QStringLiteral(":h"), bsSkinEdit6->text()},
              {QStringLiteral(":i"), value.toSql()},
              {QStringLiteral(":j"), Clock::nowText()},
              {QStringLiteral(":k"), bsSkinRichEdit1->toPlainText()},
              {QStringLiteral(":l"), bsSkinEdit3->text()}});
    Data_in->Query_ab->refresh();
    accept();
}
