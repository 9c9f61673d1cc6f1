#include "warehouse/new_chanpin.h"

#include "core/money.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QTextEdit>

Tnew_chanpin* new_chanpin = nullptr;

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
    bsSkinEdit7->clear();
    bsSkinEdit8->clear();
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
    Products::create(fields(), Currency::parse(bsSkinEdit2->text()));
    accept();
}
