#include "members/Fr_hy_xiaofei.h"

namespace {

ListFrame::ListSetup setup() {
    ListFrame::ListSetup s{QStringLiteral("Query_ag"),
                           QStringLiteral("g6"),
                           QStringLiteral("没有会员消费记录"),
                           QStringLiteral("ag.rav"),
                           {{QStringLiteral("g5"), QStringLiteral("相关订单号"), 90},
                            {QStringLiteral("g6"), QStringLiteral("会员卡号"), 80},
                            {QStringLiteral("g1"), QStringLiteral("会员名"), 110},
                            {QStringLiteral("g7"), QStringLiteral("称呼"), 60},
                            {QStringLiteral("g2"), QStringLiteral("消费金额"), 90},
                            {QStringLiteral("g4"), QStringLiteral("卡中余额"), 100},
                            {QStringLiteral("g3"), QStringLiteral("消费日期"), 150}},
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
