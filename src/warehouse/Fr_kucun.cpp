#include "warehouse/Fr_kucun.h"
#include "data/listdefinitions.h"

#include "data/data_in.h"
#include "ledger/products.h"
#include "reports/labelsheet.h"
#include "reports/reports.h"
#include "warehouse/edit_chanpin.h"
#include "warehouse/new_chanpin.h"
#include "warehouse/new_ruku.h"
#include "warehouse/scalelayouts.h"
#include "widgets/importdialog.h"
#include "widgets/messages.h"
#include "widgets/toolbar.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {

ListFrame::ListSetup setup() {
    ListFrame::ListSetup s{QStringLiteral("Query_ab"), QStringLiteral("b3"), TFr_kucun::EmptyMessage,
                           [] { Reports::preview(QStringLiteral("ab.rav")); },
                           ListDefinitions::get(QStringLiteral("products")).columns};
    // Only the warning list has it; it stands beside the stock, where it is seen without
    // scrolling.
    int after = 0;
    while (after < s.columns.size() && s.columns[after].field != QLatin1String("b4"))
        ++after;
    s.columns.insert(std::min(after + 1, int(s.columns.size())),
                     {QStringLiteral("dinghuo"), QStringLiteral("建议订货"), 80});
    s.codeField = QStringLiteral("b13");
    return s;
}

// The selected product as the list shows it, for the dialogs that show it.
Products::Product selectedProduct() {
    const SharedQuery* q = Data_in->Query_ab;
    auto text = [q](const char* field) {
        return q->fieldText(QLatin1String(field));
    };
    auto amount = [q](const char* field) {
        return Currency::fromVariant(q->fieldValue(QLatin1String(field)));
    };
    Products::Product p;
    p.key = q->fieldValue(QStringLiteral("bid")).toLongLong();
    p.fields = {text("b1"),   text("b2"),   text("b3"),  text("b5"),  amount("b6"),
                amount("b7"), amount("b8"), text("b11"), text("b12"), text("b13")};
    if (!q->fieldValue(QStringLiteral("b14")).isNull())
        p.fields.warnLevel = amount("b14");
    p.fields.scaleCode = text("b15");
    p.stock = amount("b4");
    p.stockValue = amount("b9");
    p.created = text("b10");
    return p;
}

QLabel* detailCaption(QWidget* parent, const QString& name, const QString& text) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

} // namespace

TFr_kucun::TFr_kucun(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_kucun1"), QStringLiteral("库房"), QStringLiteral("产品、库存与入库"),
                setup(), parent) {
    bsSkinSpeedButton5 = addTool(QStringLiteral("bsSkinSpeedButton5"), QStringLiteral("新 建"), 21,
                                 [this] { bsSkinSpeedButton5Click(); });
    bsSkinSpeedButton4 = addTool(QStringLiteral("bsSkinSpeedButton4"), QStringLiteral("入 库"), 1,
                                 [this] { bsSkinSpeedButton4Click(); });
    bsSkinToolBar1->addDivider();
    bsSkinSpeedButton1 = addTool(QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("修 改"), 20,
                                 [this] { bsSkinSpeedButton1Click(); });
    bsSkinSpeedButton2 = addTool(QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("删 除"), 19,
                                 [this] { bsSkinSpeedButton2Click(); });
    bsSkinToolBar1->addDivider();
    bsSkinSpeedButton10 = addTool(QStringLiteral("bsSkinSpeedButton10"), QStringLiteral("库存预警"), 22,
                                  [this] { bsSkinSpeedButton10Click(); });
    bsSkinSpeedButton10->setCheckable(true);
    bsSkinSpeedButton10->setToolTip(QStringLiteral("只列出库存不高于库存下限的产品"));
    bsSkinSpeedButton11 = addTool(QStringLiteral("bsSkinSpeedButton11"), QStringLiteral("标 签"), 15,
                                  [this] { bsSkinSpeedButton11Click(); });
    bsSkinSpeedButton11->setToolTip(
        QStringLiteral("为选中的产品打印货架标签（按住 Ctrl 或 Shift 点选多个）；"
                       "只选中一个时为列表中的全部产品打印，先速查可只打印部分产品"));
    addTool(QStringLiteral("importProductsButton"), QStringLiteral("导 入"), 14, [this] {
        ImportDialog::run(Importing::Kind::Products, this);
    })->setToolTip(QStringLiteral("从 Excel 或 CSV 文件导入产品"));
    addTool(QStringLiteral("scaleLayoutsButton"), QStringLiteral("秤签设置"), 22, [this] {
        ScaleLayoutsDialog dialog(this);
        dialog.exec();
    })->setToolTip(QStringLiteral("电子秤打印的秤签条码的格式；产品的称重码在产品资料中填写"));
    bsSkinToolBar1->addDivider();
    finishToolBar();
    addGrid();
    auto* importing = new QAction(QStringLiteral("导入产品…"), this);
    importing->setObjectName(QStringLiteral("importProducts"));
    connectGuarded(importing, &QAction::triggered, this,
                   [this] { ImportDialog::run(Importing::Kind::Products, this); });
    bsSkinDBGrid2->addMenuAction(importing);
    bsSkinDBGrid2->allowSeveralRows();
    // Enter or a double click on a product opens it for changing, as 修改 does.
    connectGuarded(bsSkinDBGrid2, &QAbstractItemView::activated, this, [this] { bsSkinSpeedButton1Click(); });
    // Products at or below their warning level stand out.
    bsSkinDBGrid2->setRowMark([](int row) {
        const SharedQuery* q = Data_in ? Data_in->Query_ab : nullptr;
        return q &&
               Products::isLow(q->value(row, QStringLiteral("b4")), q->value(row, QStringLiteral("b14")));
    });

    auto* divider = new QFrame(this);
    divider->setObjectName(QStringLiteral("Bevel1"));
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    m_layout->addWidget(divider);

    bsSkinPanel2 = new QFrame(this);
    bsSkinPanel2->setObjectName(QStringLiteral("bsSkinPanel2"));
    bsSkinPanel2->setFixedHeight(112);
    auto* strip = new QHBoxLayout(bsSkinPanel2);
    strip->setContentsMargins(8, 2, 8, 6);
    strip->setSpacing(16);
    bsSkinGroupBox1 = new QGroupBox(QStringLiteral("备注/描述"), bsSkinPanel2);
    bsSkinGroupBox1->setObjectName(QStringLiteral("bsSkinGroupBox1"));
    auto* remark = new QVBoxLayout(bsSkinGroupBox1);
    remark->setContentsMargins(6, 12, 6, 6);
    bsSkinDBMemo1 = new DataMemo(QStringLiteral("bsSkinDBMemo1"), bsSkinGroupBox1);
    bsSkinDBMemo1->setProperty("role", QStringLiteral("memo"));
    bsSkinDBMemo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    bsSkinDBMemo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    remark->addWidget(bsSkinDBMemo1);
    strip->addWidget(bsSkinGroupBox1, 3);

    auto* facts = new QGridLayout;
    facts->setVerticalSpacing(14);
    facts->setHorizontalSpacing(8);
    bsSkinDBText1 = new DataLabel(QStringLiteral("bsSkinDBText1"), bsSkinPanel2);
    bsSkinDBText2 = new DataLabel(QStringLiteral("bsSkinDBText2"), bsSkinPanel2);
    for (DataLabel* value : {bsSkinDBText1, bsSkinDBText2}) {
        value->setProperty("role", QStringLiteral("field"));
        value->setMinimumWidth(200);
    }
    facts->addWidget(
        detailCaption(bsSkinPanel2, QStringLiteral("bsSkinStdLabel2"), QStringLiteral("厂    家:")), 0, 0);
    facts->addWidget(bsSkinDBText1, 0, 1);
    facts->addWidget(
        detailCaption(bsSkinPanel2, QStringLiteral("bsSkinStdLabel3"), QStringLiteral("创建日期:")), 1, 0);
    facts->addWidget(bsSkinDBText2, 1, 1);
    facts->setRowStretch(2, 1);
    facts->setColumnStretch(2, 1);
    auto* factsBox = new QVBoxLayout;
    factsBox->addSpacing(14);
    factsBox->addLayout(facts);
    strip->addLayout(factsBox, 2);
    m_layout->addWidget(bsSkinPanel2);
}

void TFr_kucun::bindData() {
    ListFrame::bindData();
    SharedQuery* q = Data_in->Query_ab;
    bsSkinDBMemo1->bind(q, QStringLiteral("b11"));
    bsSkinDBText1->bind(q, QStringLiteral("b12"));
    bsSkinDBText2->bind(q, QStringLiteral("b10"));
}

void TFr_kucun::bsSkinSpeedButton5Click() {
    new_chanpin->exec();
}

void TFr_kucun::bsSkinSpeedButton4Click() {
    if (!listHasRows())
        return;
    new_ruku->prepare(selectedProduct());
    new_ruku->exec();
}

void TFr_kucun::bsSkinSpeedButton1Click() {
    if (!listHasRows())
        return;
    edit_chanpin->prepare(selectedProduct());
    edit_chanpin->exec();
}

bool TFr_kucun::warningList() const {
    return bsSkinSpeedButton10->isChecked();
}

void TFr_kucun::leaveWarningList() {
    const QSignalBlocker quiet(bsSkinSpeedButton10);
    bsSkinSpeedButton10->setChecked(false);
}

void TFr_kucun::bsSkinSpeedButton10Click() {
    if (warningList())
        Data_in->Query_ab->reset(Products::lowStockStatement());
    else
        ListFrame::bsSkinSpeedButton6Click();
}

void TFr_kucun::bsSkinSpeedButton11Click() {
    if (!listHasRows())
        return;
    // Several selected products get their labels; otherwise every product the list shows.
    QList<int> rows = bsSkinDBGrid2->selectedRows();
    if (rows.size() < 2)
        rows.clear();
    LabelSheet::preview(LabelSheet::fromList(*Data_in->Query_ab, rows));
}

void TFr_kucun::bsSkinSpeedButton6Click() {
    leaveWarningList();
    ListFrame::bsSkinSpeedButton6Click();
}

void TFr_kucun::bsSkinSpeedButton8Click() {
    if (!warningList()) {
        ListFrame::bsSkinSpeedButton8Click();
        return;
    }
    if (Data_in->Query_ab->recordCount() == 0) {
        Messages::information(QStringLiteral("没有需要预警的产品"));
        return;
    }
    Reports::preview(QStringLiteral("yj.rav"));
}

void TFr_kucun::bsSkinEdit1Change() {
    // A search looks in the whole list.
    leaveWarningList();
    ListFrame::bsSkinEdit1Change();
}

void TFr_kucun::bsSkinSpeedButton2Click() {
    if (!listHasRows())
        return;
    if (!Messages::confirmDelete(QStringLiteral("您确定要删除此产品吗?")))
        return;
    // The row after it becomes current (the one before it when it was the last), as the list
    // stood before the delete.
    SharedQuery* products = Data_in->Query_ab;
    const int row = products->currentRow();
    Products::remove(products->fieldValue(QStringLiteral("bid")).toLongLong());
    products->setCurrentRow(row); // kept within the rows left
}
