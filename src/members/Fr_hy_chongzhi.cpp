#include "members/Fr_hy_chongzhi.h"
#include "data/listdefinitions.h"
#include "reports/reports.h"

namespace {

ListFrame::ListSetup setup() {
    ListFrame::ListSetup s{QStringLiteral("Query_ah"),
                           QStringLiteral("h6"),
                           QStringLiteral("没有会员充值记录"),
                           [] { Reports::preview(QStringLiteral("ah.rav")); },
                           ListDefinitions::get(QStringLiteral("recharges")).columns,
                           4};
    s.searchCaption = QStringLiteral("输入会员卡号速查: ");
    return s;
}

} // namespace

TFr_hy_chongzhi::TFr_hy_chongzhi(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_hy_chongzhi1"), QStringLiteral("会员充值记录"),
                QStringLiteral("每一次充值的凭证"), setup(), parent) {
    finishToolBar();
    addGrid();
}
