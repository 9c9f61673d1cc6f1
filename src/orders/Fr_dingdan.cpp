#include "orders/Fr_dingdan.h"
#include "data/listdefinitions.h"

#include "data/data_in.h"
#include "ledger/orders.h"
#include "orders/edit_dingdan.h"
#include "orders/new_dingdan.h"
#include "orders/new_fenlei.h"
#include "orders/print_dingdan.h"
#include "orders/returndialog.h"
#include "orders/xiaopiao.h"
#include "reports/receiptprint.h"
#include "reports/reports.h"
#include "widgets/databound.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"
#include "widgets/registry.h"
#include "widgets/wheelhook.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>

TFr_dingdan* Fr_dingdan1 = nullptr;

namespace {

ListFrame::ListSetup ordersList() {
    ListFrame::ListSetup setup;
    setup.query = QStringLiteral("Query_aa");
    setup.searchField = QStringLiteral("aid");
    setup.emptyMessage = QStringLiteral("现在没有订单，请先新建");
    setup.print = [] {
        Reports::preview(QStringLiteral("aa.rav"));
    };
    setup.columns = ListDefinitions::get(QStringLiteral("orders")).columns;
    setup.picture = 0;
    setup.searchCaption = QStringLiteral("输入订单号速查: ");
    setup.searchLabel = QStringLiteral("bsSkinStdLabel2");
    return setup;
}

// An amount of the current order as the list holds it; none when the field is empty (the amount
// received of an unsettled order).
std::optional<Currency> amountOf(const SharedQuery* orders, const QString& field) {
    const QVariant value = orders->fieldValue(field);
    if (value.isNull() || value.toString().isEmpty())
        return std::nullopt;
    return Currency::fromVariant(value);
}

} // namespace

TFr_dingdan::TFr_dingdan(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_dingdan1"), QStringLiteral("订单"),
                QStringLiteral("新建、分类、修改与打印订单"), ordersList(), parent) {
    addTool(QStringLiteral("bsSkinSpeedButton5"), QStringLiteral("新订单"), 21,
            [this] { bsSkinSpeedButton5Click(); });
    addTool(QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("分 类"), 13,
            [this] { bsSkinSpeedButton2Click(); });
    addDivider();
    addTool(QStringLiteral("bsSkinSpeedButton3"), QStringLiteral("修 改"), 20,
            [this] { bsSkinSpeedButton3Click(); });
    addTool(QStringLiteral("bsSkinSpeedButton4"), QStringLiteral("删 除"), 19,
            [this] { bsSkinSpeedButton4Click(); });
    addTool(QStringLiteral("btnReturns"), QStringLiteral("退 货"), 20, [this] { btnReturnsClick(); });
    addDivider();
    addTool(QStringLiteral("bsSkinSpeedButton10"), QStringLiteral("打印小票"), 15,
            [this] { bsSkinSpeedButton10Click(); });
    addTool(QStringLiteral("bsSkinSpeedButton11"), QStringLiteral("小票设置"), 14,
            [this] { bsSkinSpeedButton11Click(); });
    addDivider();
    finishToolBar();

    // The list is not alone on this page: it shares a splitter with the categories and the
    // details, as the form lays them out.
    auto* body = new QWidget(this);
    setupUi(body);
    m_layout->addWidget(body, 1);
    ListFrame::bsSkinDBGrid2 = Ui::TFr_dingdan::bsSkinDBGrid2;
    bsSkinSpeedButton1->setIcon(Pictures::icon(16));

    // The captions are drawn bold on the frame's top edge, after an indent: every box is at least
    // as wide as its caption needs, so no window size cuts "订单编号及状态".
    for (QGroupBox* box : {numberBox, dueBox, paidBox}) {
        QFont bold = box->font();
        bold.setBold(true);
        box->setMinimumWidth(std::max(150, QFontMetrics(bold).horizontalAdvance(box->title()) + 40));
    }

    // Hidden labels that follow the current order of the list.
    bsSkinDBText6 = new DataLabel(QStringLiteral("bsSkinDBText6"), this);
    bsSkinDBText7 = new DataLabel(QStringLiteral("bsSkinDBText7"), this);
    bsSkinDBText6->hide();
    bsSkinDBText7->hide();

    // Only the category and order grids move with the wheel.
    for (WheelHook* hook : bsSkinDBGrid3->findChildren<WheelHook*>(Qt::FindDirectChildrenOnly))
        delete hook;

    connectGuarded(bsSkinSpeedButton1, &QToolButton::clicked, this, &TFr_dingdan::bsSkinSpeedButton1Click);
    connect(bsSkinDBGrid1, &DataGrid::cellClicked, this,
            [this](int row) { guarded([this, row] { bsSkinDBGrid1CellClick(row); }); });
    connectGuarded(bsSkinDBGrid2, &DataGrid::cellClicked, this, &TFr_dingdan::bsSkinDBGrid2CellClick);

    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({140, 760});
    right->setSizes({330, 220});
}

void TFr_dingdan::bindData() {
    ListFrame::bindData();
    Query_ddmingxi = new SharedQuery(QStringLiteral("Query_ddmingxi"), Data_in->Query_aa->connection(),
                                     QStringLiteral("aa"), QStringLiteral("aid"), this);
    bsSkinDBGrid1->bind(Data_in->Query_a4, {{QStringLiteral("z1"), QStringLiteral("订单分类"), 120}});
    bsSkinDBGrid1->horizontalHeader()->hide();
    bsSkinDBGrid1->horizontalHeader()->setStretchLastSection(true);
    bsSkinDBGrid3->bind(Data_in->Query_ak, {{QStringLiteral("k1"), QStringLiteral("大类"), 70},
                                            {QStringLiteral("k2"), QStringLiteral("细类"), 70},
                                            {QStringLiteral("k3"), QStringLiteral("产品名称"), 160},
                                            {QStringLiteral("k4"), QStringLiteral("数量"), 60},
                                            {QStringLiteral("k5"), QStringLiteral("单位"), 50},
                                            {QStringLiteral("k6"), QStringLiteral("销售价"), 70}});
    bsSkinDBText6->bind(Data_in->Query_aa, QStringLiteral("aid"));
    bsSkinDBText7->bind(Data_in->Query_aa, QStringLiteral("a2"));
    bsSkinDBRichEdit1->bind(Data_in->Query_aa, QStringLiteral("a3"));
    bsSkinDBText3->bind(Query_ddmingxi, QStringLiteral("aid"));
    bsSkinDBText4->bind(Query_ddmingxi, QStringLiteral("a5"));
    bsSkinDBText5->bind(Query_ddmingxi, QStringLiteral("a6"));
    // A search that finds no order shows no order's details either.
    connectGuarded(Data_in->Query_aa, &SharedQuery::reopened, this, [this] {
        if (Data_in->Query_aa->isOpen() && Data_in->Query_aa->recordCount() == 0)
            showDetails();
    });
}

void TFr_dingdan::setDetailsCaption(const QString& number) {
    bsSkinPageControl1->setTabText(bsSkinPageControl1->indexOf(bsSkinTabSheet3),
                                   number + QStringLiteral("号订单的明细"));
    bsSkinPageControl1->setTabText(bsSkinPageControl1->indexOf(bsSkinTabSheet1),
                                   number + QStringLiteral("号订单的备注"));
}

void TFr_dingdan::showBadge(const QString& status) {
    if (status == Orders::Unsettled) {
        Img_wjs->show();
        Img_yjs->hide();
    } else if (status == Orders::Settled) {
        Img_wjs->hide();
        Img_yjs->show();
    }
}

void TFr_dingdan::showDetails() {
    const QString number = bsSkinDBText6->text();
    setDetailsCaption(number);
    showBadge(bsSkinDBText7->text());
    if (number.isEmpty()) {
        Img_wjs->hide();
        Img_yjs->hide();
    }
    Query_ddmingxi->lookup(QStringLiteral("aid"), number);
    Data_in->Query_ak->lookup(QStringLiteral("k8"), number);
}

void TFr_dingdan::showEveryOrder() {
    ListFrame::bsSkinSpeedButton6Click();
    showDetails();
}

void TFr_dingdan::bsSkinSpeedButton5Click() {
    new_dingdan->exec();
}

void TFr_dingdan::bsSkinSpeedButton2Click() {
    if (!listHasRows())
        return;
    new_fenlei->prepare(Data_in->Query_aa->fieldValue(QStringLiteral("aid")).toLongLong());
    new_fenlei->exec();
}

void TFr_dingdan::bsSkinSpeedButton3Click() {
    if (!listHasRows())
        return;
    if (Data_in->Query_aa->fieldText(QStringLiteral("a2")) == Orders::Settled) {
        Messages::information(QStringLiteral("已结算的订单不可以修改！"));
        return;
    }
    SharedQuery* orders = Data_in->Query_aa;
    const qint64 order = orders->fieldValue(QStringLiteral("aid")).toLongLong();
    edit_dingdan->prepare(order, orders->fieldText(QStringLiteral("a4")), Orders::amountDue(order));
    edit_dingdan->exec();
}

void TFr_dingdan::bsSkinSpeedButton10Click() {
    if (!listHasRows())
        return;
    if (Data_in->Query_aa->fieldText(QStringLiteral("a2")) != Orders::Settled) {
        Messages::information(QStringLiteral("只有已结算的订单才有小票"));
        return;
    }
    const qint64 order = Data_in->Query_aa->fieldValue(QStringLiteral("aid")).toLongLong();
    ReceiptPrint::print(Receipts::forOrder(order), Receipts::loadSetup(Data_in->folder()));
}

void TFr_dingdan::bsSkinSpeedButton11Click() {
    const SharedQuery* orders = Data_in->Query_aa;
    const bool settled = orders->isOpen() && orders->currentRow() >= 0 &&
                         orders->fieldText(QStringLiteral("a2")) == Orders::Settled;
    xiaopiao->prepare(settled ? orders->fieldValue(QStringLiteral("aid")).toLongLong() : 0);
    xiaopiao->exec();
}

void TFr_dingdan::btnReturnsClick() {
    // The selected settled order, or one typed or scanned in the dialog.
    const SharedQuery* orders = Data_in->Query_aa;
    const bool settled = listHasRows() && orders->fieldText(QStringLiteral("a2")) == Orders::Settled;
    ReturnDialog dialog(this);
    if (settled)
        dialog.load(orders->fieldValue(QStringLiteral("aid")).toLongLong());
    dialog.exec();
}

void TFr_dingdan::bsSkinSpeedButton4Click() {
    if (!listHasRows())
        return;
    if (!Messages::confirmDelete(QStringLiteral("您确定要删除此订单吗?相关订单明细也会被清除。")))
        return;
    // The next order becomes current, as the list stood before the delete.
    SharedQuery* orders = Data_in->Query_aa;
    const int row = orders->currentRow();
    Orders::remove(orders->fieldValue(QStringLiteral("aid")).toLongLong());
    orders->setCurrentRow(row); // kept within the rows left
}

void TFr_dingdan::bsSkinSpeedButton8Click() {
    if (!listHasRows())
        return;
    const SharedQuery* orders = Data_in->Query_aa;
    print_dingdan->prepare(orders->fieldValue(QStringLiteral("aid")).toLongLong(),
                           orders->fieldText(QStringLiteral("a2")), orders->fieldText(QStringLiteral("a4")),
                           amountOf(orders, QStringLiteral("a5")), amountOf(orders, QStringLiteral("a6")));
    print_dingdan->exec();
}

void TFr_dingdan::bsSkinSpeedButton1Click() {
    bsSkinSpeedButton6Click();
}

void TFr_dingdan::bsSkinDBGrid1CellClick(int row) {
    Data_in->Query_aa->search(QStringLiteral("a4"), Data_in->Query_a4->text(row, QStringLiteral("z1")));
}

void TFr_dingdan::bsSkinDBGrid2CellClick() {
    showDetails();
}
