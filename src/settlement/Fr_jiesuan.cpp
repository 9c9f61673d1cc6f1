#include "settlement/Fr_jiesuan.h"

#include "data/data_in.h"
#include "reports/reports.h"
#include "settlement/jiesuan.h"
#include "widgets/databound.h"
#include "widgets/messages.h"
#include "widgets/pictures.h"
#include "widgets/registry.h"
#include "widgets/toolbar.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString NoOrders = QStringLiteral("现在没有订单，请先新建");

} // namespace

TFr_jiesuan::TFr_jiesuan(QWidget* parent) : Frame(QStringLiteral("Fr_jiesuan1"), parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QWidget* banner = Pictures::titledBanner(this, 8, QStringLiteral("订单结算"),
                                             QStringLiteral("现金或会员卡付款，可选折扣"));
    // The banner's stretching picture keeps the page's own name for it.
    bsSkinImage1 = banner->findChild<QLabel*>(banner->objectName() + QStringLiteral("Middle"));
    bsSkinImage1->setObjectName(QStringLiteral("bsSkinImage1"));
    layout->addWidget(banner);

    auto* tools = new ToolBar(this);
    bsSkinSpeedButton5 = tools->addButton(QStringLiteral("bsSkinSpeedButton5"), QStringLiteral("结 算！"), 8);
    tools->addDivider();
    bsSkinSpeedButton6 = tools->addButton(QStringLiteral("bsSkinSpeedButton6"), QStringLiteral("刷 新"), 16);
    bsSkinSpeedButton8 = tools->addButton(QStringLiteral("bsSkinSpeedButton8"), QStringLiteral("打 印"), 15);
    bsSkinSpeedButton9 = tools->addButton(QStringLiteral("bsSkinSpeedButton9"), QStringLiteral("帮 助"), 6);
    tools->addStretch();
    bsSkinEdit1 = tools->addSearch(QStringLiteral("bsSkinStdLabel1"), QStringLiteral("输入订单号速查: "),
                                   QStringLiteral("bsSkinEdit1"));
    layout->addWidget(tools);

    bsSkinDBGrid2 = new DataGrid(QStringLiteral("bsSkinDBGrid2"), this);
    layout->addWidget(bsSkinDBGrid2, 1);

    // Hidden labels that follow the current order of the list.
    bsSkinDBText6 = new DataLabel(QStringLiteral("bsSkinDBText6"), this);
    bsSkinDBText9 = new DataLabel(QStringLiteral("bsSkinDBText9"), this);
    bsSkinDBText6->hide();
    bsSkinDBText9->hide();

    connect(bsSkinSpeedButton5, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton5Click(); }); });
    connect(bsSkinSpeedButton6, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton6Click(); }); });
    connect(bsSkinSpeedButton8, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton8Click(); }); });
    connect(bsSkinSpeedButton9, &QToolButton::clicked, this,
            [this] { guarded([this] { bsSkinSpeedButton9Click(); }); });
    connect(bsSkinEdit1, &QLineEdit::textChanged, this, [this] { guarded([this] { bsSkinEdit1Change(); }); });
}

void TFr_jiesuan::bindData() {
    bsSkinDBGrid2->bind(Data_in->Query_aa, {{QStringLiteral("a2"), QStringLiteral("状态"), 60},
                                            {QStringLiteral("a4"), QStringLiteral("分类"), 90},
                                            {QStringLiteral("aid"), QStringLiteral("订单编号"), 70},
                                            {QStringLiteral("a5"), QStringLiteral("应收金额"), 80},
                                            {QStringLiteral("a6"), QStringLiteral("实收金额"), 80},
                                            {QStringLiteral("a1"), QStringLiteral("创建日期"), 140},
                                            {QStringLiteral("a3"), QStringLiteral("备注"), 260}});
    bsSkinDBGrid2->horizontalHeader()->setStretchLastSection(true);
    bsSkinDBText6->bind(Data_in->Query_aa, QStringLiteral("aid"));
    bsSkinDBText9->bind(Data_in->Query_aa, QStringLiteral("a5"));
}

QString TFr_jiesuan::unsettledStatement() {
    return QStringLiteral("select * from aa where a2 like '未结算' order by aid desc");
}

void TFr_jiesuan::reloadUnsettled() {
    Data_in->Query_aa->reset(unsettledStatement());
}

// "结 算！": the checkout of the current order.
void TFr_jiesuan::bsSkinSpeedButton5Click() {
    SharedQuery* orders = Data_in->Query_aa;
    if (orders->recordCount() == 0) {
        Messages::information(NoOrders);
        return;
    }
    // A settled order (a search lists those too) is never paid a second time.
    if (orders->fieldText(QStringLiteral("a2")) == QStringLiteral("已结算")) {
        Messages::information(Tjiesuan::AlreadySettled);
        return;
    }
    const QString number = bsSkinDBText6->text();
    jiesuan->query_mingxin->lookup(QStringLiteral("k8"), number);
    jiesuan->bsSkinStdLabel2->setText(bsSkinDBText9->text());
    jiesuan->bsSkinStdLabel7->setText(bsSkinDBText9->text());
    jiesuan->bsSkinStdLabel4->setText(number);
    jiesuan->exec();
}

// "刷 新": back to the unsettled orders; the search box keeps its text.
void TFr_jiesuan::bsSkinSpeedButton6Click() {
    reloadUnsettled();
}

// "打 印": the list of unsettled orders, whatever search is in force.
void TFr_jiesuan::bsSkinSpeedButton8Click() {
    if (Data_in->Query_aa->recordCount() == 0) {
        Messages::information(NoOrders);
        return;
    }
    reloadUnsettled();
    Reports::preview(QStringLiteral("aa_n.rav"));
}

void TFr_jiesuan::bsSkinSpeedButton9Click() {
    Registry::showModal(QStringLiteral("help"));
}

// Orders whose number contains the typed text, settled ones included; an empty box lists all.
void TFr_jiesuan::bsSkinEdit1Change() {
    Data_in->Query_aa->search(QStringLiteral("aid"), bsSkinEdit1->text());
}
