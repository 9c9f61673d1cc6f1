#include "members/Fr_hy_xiaofei.h"
#include "data/listdefinitions.h"
#include "reports/reports.h"

namespace {

ListFrame::ListSetup setup() {
    ListFrame::ListSetup s{QStringLiteral("Query_ag"),
                           QStringLiteral("g6"),
                           QStringLiteral("没有会员消费记录"),
                           [] { Reports::preview(QStringLiteral("ag.rav")); },
                           ListDefinitions::get(QStringLiteral("payments")).columns,
                           4};
    s.searchCaption = QStringLiteral("输入会员卡号速查: ");
    return s;
}

} // namespace

TFr_hy_xiaofei::TFr_hy_xiaofei(QWidget* parent)
    : ListFrame(QStringLiteral("Fr_hy_xiaofei1"), QStringLiteral("会员消费记录"),
                QStringLiteral("每一次刷卡消费的明细"), setup(), parent) {
    finishToolBar();
    addGrid();
}
