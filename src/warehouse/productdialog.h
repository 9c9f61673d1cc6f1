#pragma once

#include "ledger/products.h"
#include "ui_productdialog.h"

#include <QDialog>

// The form the new-product and edit-product dialogs share: the pick lists with their editor
// buttons, name, stock, manufacturer, the three prices and the remark, with save and cancel.
// The new-product dialog has the stock box (bsSkinEdit2), the edit dialog a read-only stock label
// (bsSkinStdLabel15) and the product's hidden number (bsSkinStdLabel16) instead; the ones a dialog
// does not have are removed and their members are null.
class ProductDialog : public QDialog, public Ui::ProductDialog {
    Q_OBJECT
public:
    // The message of the required-field check.
    static inline const QString RequiredMessage = QStringLiteral("红色*号为必填项，请填写。");

    ProductDialog(const QString& name, const QString& caption, bool editing, QWidget* parent);

public slots:
    // The pick-list editor, showing only the list beside the button.
    void bsSkinSpeedButton1Click();
    void bsSkinSpeedButton2Click();
    void bsSkinSpeedButton3Click();
    // A new in-store EAN-13 into the barcode box.
    void bsSkinSpeedButton4Click();
    // Cancel: close without saving.
    void bsSkinButton2Click();

protected:
    // The cost box is shown only to those who may see costs; for the others it is hidden and
    // empty, and the product keeps its stored cost.
    void showEvent(QShowEvent* event) override;
    // Save, run at the catch point when 保 存 is clicked.
    virtual void save() = 0;
    void bindData();
    // The fields as the form holds them: a list showing no entry gives the empty text, a price
    // the amount its box shows.
    Products::Fields fields() const;
    // Shows a product's fields; a list selects the stored text, offered as it is stored when the
    // list no longer holds it.
    void showFields(const Products::Fields& fields);
};
