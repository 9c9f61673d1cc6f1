#include "settlement/Fr_jiesuan.h"
#include "data/listdefinitions.h"

#include "data/data_in.h"
#include "ledger/orders.h"
#include "ledger/settlement.h"
#include "reports/reports.h"
#include "settlement/jiesuan.h"
#include "widgets/databound.h"
#include "widgets/messages.h"

#include <QHeaderView>
#include <QLabel>

namespace {

ListFrame::ListSetup setup() {
    ListFrame::ListSetup s{QStringLiteral("Query_aa"), QStringLiteral("aid"), TFr_jiesuan::EmptyMessage,
                           [] { Reports::preview(QStringLiteral("aa_n.rav")); },
                           ListDefinitions::get(QStringLiteral("unsettled")).columns};
    s.picture = 8;
    s.searchCaption = QStringLiteral("输入订单号速查: ");
    return s;
}

} // namespace

TFr_jiesuan::TFr_jiesuan(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_jiesuan1"), QStringLiteral("订单结算"),
                QStringLiteral("现金或会员卡付款，可选折扣"), setup(), parent) {
    // The banner's stretching picture keeps the page's own name for it.
    bsSkinImage1 = bsSkinPanel1->findChild<QLabel*>(bsSkinPanel1->objectName() + QStringLiteral("Middle"));
    bsSkinImage1->setObjectName(QStringLiteral("bsSkinImage1"));

    bsSkinSpeedButton5 = addTool(QStringLiteral("bsSkinSpeedButton5"), QStringLiteral("结 算！"), 8,
                                 [this] { bsSkinSpeedButton5Click(); });
    addDivider();
    finishToolBar();
    addGrid();

    // Hidden labels that follow the current order of the list.
    bsSkinDBText6 = new DataLabel(QStringLiteral("bsSkinDBText6"), this);
    bsSkinDBText9 = new DataLabel(QStringLiteral("bsSkinDBText9"), this);
    bsSkinDBText6->hide();
    bsSkinDBText9->hide();
}

void TFr_jiesuan::bindData() {
    ListFrame::bindData();
    bsSkinDBGrid2->horizontalHeader()->setStretchLastSection(true);
    bsSkinDBText6->bind(query(), QStringLiteral("aid"));
    bsSkinDBText9->bind(query(), QStringLiteral("a5"));
}

QString TFr_jiesuan::unsettledStatement() {
    return Settlement::unsettledOrdersStatement();
}

void TFr_jiesuan::reloadUnsettled() {
    Data_in->Query_aa->reset(unsettledStatement());
}

// "结 算！": the checkout of the current order.
void TFr_jiesuan::bsSkinSpeedButton5Click() {
    if (!listHasRows())
        return;
    SharedQuery* orders = query();
    // A settled order (a search lists those too) is never paid a second time.
    if (orders->fieldText(QStringLiteral("a2")) == Orders::Settled) {
        Messages::information(Settlement::AlreadySettled);
        return;
    }
    const qint64 order = orders->fieldValue(QStringLiteral("aid")).toLongLong();
    jiesuan->prepare(order, Orders::amountDue(order));
    jiesuan->exec();
}

void TFr_jiesuan::bsSkinSpeedButton6Click() {
    reloadUnsettled();
}

void TFr_jiesuan::bsSkinSpeedButton8Click() {
    if (!listHasRows())
        return;
    reloadUnsettled();
    Reports::preview(QStringLiteral("aa_n.rav"));
}
