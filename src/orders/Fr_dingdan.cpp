#include "orders/Fr_dingdan.h"

#include "data/data_in.h"
#include "ledger/orders.h"
#include "orders/edit_dingdan.h"
#include "orders/new_dingdan.h"
#include "orders/new_fenlei.h"
#include "orders/print_dingdan.h"
#include "widgets/databound.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"
#include "widgets/registry.h"
#include "widgets/toolbar.h"
#include "widgets/wheelhook.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

TFr_dingdan* Fr_dingdan1 = nullptr;

namespace {

QLabel* badge(QWidget* parent, const QString& name, const QString& text, const QString& colour) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    label->setStyleSheet(QStringLiteral("QLabel { color: white; background: %1; border-radius: 4px; "
                                        "padding: 2px 8px; font-weight: bold; }")
                             .arg(colour));
    label->hide();
    return label;
}

} // namespace

TFr_dingdan::TFr_dingdan(QWidget* parent) : Frame(QStringLiteral("Fr_dingdan1"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Pictures::titledBanner(this, 0, QStringLiteral("订单"),
                                             QStringLiteral("新建、分类、修改与打印订单")));

    auto* tools = new ToolBar(this);
    tools->addButton(QStringLiteral("bsSkinSpeedButton5"), QStringLiteral("新订单"), 21);
    tools->addButton(QStringLiteral("bsSkinSpeedButton2"), QStringLiteral("分 类"), 13);
    tools->addDivider();
    tools->addButton(QStringLiteral("bsSkinSpeedButton3"), QStringLiteral("修 改"), 20);
    tools->addButton(QStringLiteral("bsSkinSpeedButton4"), QStringLiteral("删 除"), 19);
    tools->addDivider();
    tools->addButton(QStringLiteral("bsSkinSpeedButton6"), QStringLiteral("刷 新"), 16);
    tools->addButton(QStringLiteral("bsSkinSpeedButton8"), QStringLiteral("打 印"), 15);
    tools->addButton(QStringLiteral("bsSkinSpeedButton9"), QStringLiteral("帮 助"), 6);
    tools->addStretch();
    bsSkinEdit1 = tools->addSearch(QStringLiteral("bsSkinStdLabel2"), QStringLiteral("输入订单号速查: "),
                                   QStringLiteral("bsSkinEdit1"));
    layout->addWidget(tools);

    auto* split = new QSplitter(Qt::Horizontal, this);
    auto* categories = new QWidget(split);
    auto* catLayout = new QVBoxLayout(categories);
    catLayout->setContentsMargins(2, 2, 2, 2);
    auto* catHeader = new QLabel(QStringLiteral("订单分类"), categories);
    catHeader->setAlignment(Qt::AlignCenter);
    catLayout->addWidget(catHeader);
    bsSkinDBGrid1 = new DataGrid(QStringLiteral("bsSkinDBGrid1"), categories);
    catLayout->addWidget(bsSkinDBGrid1);
    auto* showAll =
        makePictureButton(categories, QStringLiteral("bsSkinSpeedButton1"), QStringLiteral("显示全部"), 16);
    showAll->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    catLayout->addWidget(showAll);

    auto* right = new QSplitter(Qt::Vertical, split);
    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), right);
    bsSkinPageControl1 = new QTabWidget(right);
    bsSkinPageControl1->setObjectName(QStringLiteral("bsSkinPageControl1"));

    bsSkinTabSheet3 = new QWidget;
    bsSkinTabSheet3->setObjectName(QStringLiteral("bsSkinTabSheet3"));
    auto* details = new QHBoxLayout(bsSkinTabSheet3);
    auto* amounts = new QVBoxLayout;
    auto* numberBox = new QGroupBox(QStringLiteral("订单编号及状态"), bsSkinTabSheet3);
    auto* numberLayout = new QHBoxLayout(numberBox);
    auto* number = new DataLabel(QStringLiteral("bsSkinDBText3"), numberBox);
    number->setStyleSheet(QStringLiteral("color: navy; font-weight: bold;"));
    numberLayout->addWidget(number);
    Img_wjs =
        badge(numberBox, QStringLiteral("Img_wjs"), QStringLiteral("未结算"), QStringLiteral("#2e9d4f"));
    Img_yjs =
        badge(numberBox, QStringLiteral("Img_yjs"), QStringLiteral("已结算"), QStringLiteral("#c0392b"));
    numberLayout->addWidget(Img_wjs);
    numberLayout->addWidget(Img_yjs);
    amounts->addWidget(numberBox);
    auto* dueBox = new QGroupBox(QStringLiteral("应收金额"), bsSkinTabSheet3);
    auto* due = new DataLabel(QStringLiteral("bsSkinDBText4"), dueBox);
    due->setStyleSheet(QStringLiteral("color: green; font-weight: bold;"));
    (new QHBoxLayout(dueBox))->addWidget(due);
    amounts->addWidget(dueBox);
    auto* paidBox = new QGroupBox(QStringLiteral("实收金额"), bsSkinTabSheet3);
    auto* paid = new DataLabel(QStringLiteral("bsSkinDBText5"), paidBox);
    paid->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    (new QHBoxLayout(paidBox))->addWidget(paid);
    amounts->addWidget(paidBox);
    amounts->addStretch();
    // The captions are drawn bold on the frame's top edge, after an indent: every box is at least
    // as wide as its caption needs, so no window size cuts "订单编号及状态".
    for (QGroupBox* box : {numberBox, dueBox, paidBox}) {
        QFont bold = box->font();
        bold.setBold(true);
        box->setMinimumWidth(std::max(150, QFontMetrics(bold).horizontalAdvance(box->title()) + 40));
    }
    details->addLayout(amounts);
    bsSkinDBGrid3 = new DataGrid(QStringLiteral("bsSkinDBGrid3"), bsSkinTabSheet3);
    details->addWidget(bsSkinDBGrid3, 1);
    bsSkinPageControl1->addTab(bsSkinTabSheet3, QStringLiteral("***订单的明细"));

    bsSkinTabSheet1 = new QWidget;
    bsSkinTabSheet1->setObjectName(QStringLiteral("bsSkinTabSheet1"));
    bsSkinDBRichEdit1 = new DataMemo(QStringLiteral("bsSkinDBRichEdit1"), bsSkinTabSheet1);
    (new QVBoxLayout(bsSkinTabSheet1))->addWidget(bsSkinDBRichEdit1);
    bsSkinPageControl1->addTab(bsSkinTabSheet1, QStringLiteral("***订单的备注"));

    // Hidden labels that follow the current order of the list.
    bsSkinDBText6 = new DataLabel(QStringLiteral("bsSkinDBText6"), this);
    bsSkinDBText7 = new DataLabel(QStringLiteral("bsSkinDBText7"), this);
    bsSkinDBText6->hide();
    bsSkinDBText7->hide();

    // Only the category and order grids move with the wheel.
    for (WheelHook* hook : bsSkinDBGrid3->findChildren<WheelHook*>(Qt::FindDirectChildrenOnly))
        delete hook;

    const std::pair<const char*, void (TFr_dingdan::*)()> actions[] = {
        {"bsSkinSpeedButton5", &TFr_dingdan::bsSkinSpeedButton5Click},
        {"bsSkinSpeedButton2", &TFr_dingdan::bsSkinSpeedButton2Click},
        {"bsSkinSpeedButton3", &TFr_dingdan::bsSkinSpeedButton3Click},
        {"bsSkinSpeedButton4", &TFr_dingdan::bsSkinSpeedButton4Click},
        {"bsSkinSpeedButton6", &TFr_dingdan::bsSkinSpeedButton6Click},
        {"bsSkinSpeedButton8", &TFr_dingdan::bsSkinSpeedButton8Click},
        {"bsSkinSpeedButton9", &TFr_dingdan::bsSkinSpeedButton9Click},
        {"bsSkinSpeedButton1", &TFr_dingdan::bsSkinSpeedButton1Click},
    };
    for (const auto& [name, slot] : actions) {
        auto* button = findChild<QToolButton*>(QString::fromLatin1(name));
        connect(button, &QToolButton::clicked, this,
                [this, slot] { guarded([this, slot] { (this->*slot)(); }); });
    }
    connect(bsSkinEdit1, &QLineEdit::textChanged, this, [this] { guarded([this] { bsSkinEdit1Change(); }); });
    connect(bsSkinDBGrid1, &DataGrid::cellClicked, this,
            [this](int row) { guarded([this, row] { bsSkinDBGrid1CellClick(row); }); });
    connect(bsSkinDBGrid2, &DataGrid::cellClicked, this,
            [this] { guarded([this] { bsSkinDBGrid2CellClick(); }); });

    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({140, 760});
    right->setSizes({330, 220});
    layout->addWidget(split, 1);
}

void TFr_dingdan::bindData() {
    Query_ddmingxi = new SharedQuery(QStringLiteral("Query_ddmingxi"), Db::Business, QStringLiteral("aa"),
                                     QStringLiteral("aid"), this);
    bsSkinDBGrid1->bind(Data_in->Query_a4, {{QStringLiteral("z1"), QStringLiteral("订单分类"), 120}});
    bsSkinDBGrid1->horizontalHeader()->hide();
    bsSkinDBGrid1->horizontalHeader()->setStretchLastSection(true);
    bsSkinDBGrid2->bind(Data_in->Query_aa, {{QStringLiteral("a2"), QStringLiteral("状态"), 60},
                                            {QStringLiteral("a4"), QStringLiteral("分类"), 80},
                                            {QStringLiteral("aid"), QStringLiteral("订单编号"), 70},
                                            {QStringLiteral("a5"), QStringLiteral("应收金额"), 80},
                                            {QStringLiteral("a6"), QStringLiteral("实收金额"), 80},
                                            {QStringLiteral("a1"), QStringLiteral("创建日期"), 140}});
    bsSkinDBGrid3->bind(Data_in->Query_ak, {{QStringLiteral("k1"), QStringLiteral("大类"), 70},
                                            {QStringLiteral("k2"), QStringLiteral("细类"), 70},
                                            {QStringLiteral("k3"), QStringLiteral("产品名称"), 160},
                                            {QStringLiteral("k4"), QStringLiteral("数量"), 60},
                                            {QStringLiteral("k5"), QStringLiteral("单位"), 50},
                                            {QStringLiteral("k6"), QStringLiteral("销售价"), 70}});
    bsSkinDBText6->bind(Data_in->Query_aa, QStringLiteral("aid"));
    bsSkinDBText7->bind(Data_in->Query_aa, QStringLiteral("a2"));
    bsSkinDBRichEdit1->bind(Data_in->Query_aa, QStringLiteral("a3"));
    findChild<DataLabel*>(QStringLiteral("bsSkinDBText3"))->bind(Query_ddmingxi, QStringLiteral("aid"));
    findChild<DataLabel*>(QStringLiteral("bsSkinDBText4"))->bind(Query_ddmingxi, QStringLiteral("a5"));
    findChild<DataLabel*>(QStringLiteral("bsSkinDBText5"))->bind(Query_ddmingxi, QStringLiteral("a6"));
}

void TFr_dingdan::setDetailsCaption(const QString& number) {
    bsSkinPageControl1->setTabText(bsSkinPageControl1->indexOf(bsSkinTabSheet3),
                                   number + QStringLiteral("号订单的明细"));
    bsSkinPageControl1->setTabText(bsSkinPageControl1->indexOf(bsSkinTabSheet1),
                                   number + QStringLiteral("号订单的备注"));
}

void TFr_dingdan::showBadge(const QString& status) {
    if (status == QStringLiteral("未结算")) {
        Img_wjs->show();
        Img_yjs->hide();
    } else if (status == QStringLiteral("已结算")) {
        Img_wjs->hide();
        Img_yjs->show();
    }
}

void TFr_dingdan::showDetails() {
    const QString number = bsSkinDBText6->text();
    setDetailsCaption(number);
    showBadge(bsSkinDBText7->text());
    Query_ddmingxi->lookup(QStringLiteral("aid"), number);
    Data_in->Query_ak->lookup(QStringLiteral("k8"), number);
}

bool TFr_dingdan::haveOrders() {
    if (Data_in->Query_aa->recordCount() > 0)
        return true;
    Messages::information(QStringLiteral("现在没有订单，请先新建"));
    return false;
}

void TFr_dingdan::showAll() {
    Data_in->Query_aa->reset(QStringLiteral("select * from aa order by aid desc"));
}

void TFr_dingdan::bsSkinSpeedButton5Click() {
    new_dingdan->exec();
}

void TFr_dingdan::bsSkinSpeedButton2Click() {
    if (!haveOrders())
        return;
    new_fenlei->prepare(Data_in->Query_aa->fieldValue(QStringLiteral("aid")).toLongLong());
    new_fenlei->exec();
}

void TFr_dingdan::bsSkinSpeedButton3Click() {
    if (!haveOrders())
        return;
    if (Data_in->Query_aa->fieldText(QStringLiteral("a2")) == QStringLiteral("已结算")) {
        Messages::information(QStringLiteral("已结算的订单不可以修改！"));
        return;
    }
    SharedQuery* orders = Data_in->Query_aa;
    const qint64 order = orders->fieldValue(QStringLiteral("aid")).toLongLong();
    edit_dingdan->prepare(order, orders->fieldText(QStringLiteral("a4")), Orders::amountDue(order));
    edit_dingdan->exec();
}

void TFr_dingdan::bsSkinSpeedButton4Click() {
    if (!haveOrders())
        return;
    if (!Messages::confirmDelete(QStringLiteral("您确定要删除此订单吗?相关订单明细也会被清除。")))
        return;
    // The next order becomes current, as the list stood before the delete.
    SharedQuery* orders = Data_in->Query_aa;
    const int row = orders->currentRow();
    Orders::remove(orders->fieldValue(QStringLiteral("aid")).toLongLong());
    if (orders->recordCount() > 0)
        orders->setCurrentRow(std::min(row, orders->recordCount() - 1));
}

void TFr_dingdan::bsSkinSpeedButton6Click() {
    showAll();
}

void TFr_dingdan::bsSkinSpeedButton8Click() {
    if (!haveOrders())
        return;
    const SharedQuery* orders = Data_in->Query_aa;
    print_dingdan->prepare(orders->fieldText(QStringLiteral("aid")), orders->fieldText(QStringLiteral("a2")),
                           orders->fieldText(QStringLiteral("a4")), orders->fieldText(QStringLiteral("a5")),
                           orders->fieldText(QStringLiteral("a6")));
    print_dingdan->exec();
}

void TFr_dingdan::bsSkinSpeedButton9Click() {
    Registry::showModal(QStringLiteral("help"));
}

void TFr_dingdan::bsSkinSpeedButton1Click() {
    showAll();
}

void TFr_dingdan::bsSkinEdit1Change() {
    Data_in->Query_aa->search(QStringLiteral("aid"), bsSkinEdit1->text());
}

void TFr_dingdan::bsSkinDBGrid1CellClick(int row) {
    Data_in->Query_aa->search(QStringLiteral("a4"), Data_in->Query_a4->text(row, QStringLiteral("z1")));
}

void TFr_dingdan::bsSkinDBGrid2CellClick() {
    showDetails();
}
