#include "members/Fr_hy_chongzhi.h"

namespace {

ListFrame::ListSetup setup() {
    ListFrame::ListSetup s{QStringLiteral("Query_ah"),
                           QStringLiteral("h6"),
                           QStringLiteral("没有会员充值记录"),
                           QStringLiteral("ah.rav"),
                           {{QStringLiteral("hid"), QStringLiteral("充值凭证号"), 90},
                            {QStringLiteral("h6"), QStringLiteral("会员卡号"), 80},
                            {QStringLiteral("h1"), QStringLiteral("会员名"), 110},
                            {QStringLiteral("h7"), QStringLiteral("称呼"), 60},
                            {QStringLiteral("h2"), QStringLiteral("充值金额"), 90},
                            {QStringLiteral("h5"), QStringLiteral("充值后余额"), 100},
                            {QStringLiteral("h4"), QStringLiteral("充值前余额"), 100},
                            {QStringLiteral("h3"), QStringLiteral("充值日期"), 150}},
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
