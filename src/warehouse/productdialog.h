#pragma once

#include "ledger/products.h"

#include <QDialog>
#include <memory>

class PickList;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QToolButton;
namespace Ui {
class ProductDialog;
}

// The form the new-product and edit-product dialogs share: the pick lists with their editor
// buttons, name, stock, manufacturer, the three prices and the remark, with save and cancel.
// The new-product dialog has the stock box, the edit dialog a read-only stock label instead.
class ProductDialog : public QDialog {
    Q_OBJECT
public:
    // The message of the required-field check.
    static inline const QString RequiredMessage = QStringLiteral("红色*号为必填项，请填写。");

    ProductDialog(const QString& name, const QString& caption, bool editing, QWidget* parent);
    ~ProductDialog() override;

    PickList* bsSkinDBLookupComboBox2 = nullptr; // 大类 (a1)
    PickList* bsSkinDBLookupComboBox1 = nullptr; // 细类 (a2)
    PickList* bsSkinDBLookupComboBox4 = nullptr; // 单位 (a3)
    QToolButton* bsSkinSpeedButton1 = nullptr;   // edits the major categories
    QToolButton* bsSkinSpeedButton2 = nullptr;   // edits the minor categories
    QToolButton* bsSkinSpeedButton3 = nullptr;   // edits the units
    QLineEdit* bsSkinEdit1 = nullptr;            // 产品名称, 60 characters
    QLineEdit* bsSkinEdit7 = nullptr;            // 条  码: a scanner types the code and Enter
    QToolButton* bsSkinSpeedButton4 = nullptr;   // gives the product an in-store EAN-13
    QLineEdit* bsSkinEdit8 = nullptr;            // 库存下限, empty for no warning
    QLineEdit* bsSkinEdit2 = nullptr;            // 库存量, digits only (new product only)
    QLabel* bsSkinStdLabel15 = nullptr;          // 库存量, read-only (edit product only)
    QLabel* bsSkinStdLabel16 = nullptr;          // the product's number (edit product only, hidden)
    QLineEdit* bsSkinEdit3 = nullptr;            // 生产厂家, 40 characters
    QDoubleSpinBox* bsSkinEdit4 = nullptr;       // 成本价
    QDoubleSpinBox* bsSkinEdit5 = nullptr;       // 批发价
    QDoubleSpinBox* bsSkinEdit6 = nullptr;       // 销售价
    QGroupBox* bsSkinGroupBox1 = nullptr;        // 备注/描述
    QTextEdit* bsSkinRichEdit1 = nullptr;        // the remark, 80 characters
    QPushButton* bsSkinButton1 = nullptr;        // 保 存
    QPushButton* bsSkinButton2 = nullptr;        // 取 消

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
    // Save, run at the catch point when 保 存 is clicked.
    virtual void save() = 0;
    void bindData();
    // The fields as the form holds them: a list showing no entry gives the empty text, a price
    // the amount its box shows.
    Products::Fields fields() const;
    // Shows a product's fields; a list selects the stored text, offered as it is stored when the
    // list no longer holds it.
    void showFields(const Products::Fields& fields);

private:
    std::unique_ptr<Ui::ProductDialog> m_ui;
};
